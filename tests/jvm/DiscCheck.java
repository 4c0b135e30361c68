import cd.Disc;
import cd.DiscReadException;
import cd.Tocmate;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Objects;
import java.util.Set;

/**
 * Checks cd.Disc in a real JVM. Prints "ok: ..." or every mismatch; exits with 1 on any.
 *
 * <pre>
 * DiscCheck values DISC.toc
 *     Reads the disc that TOCMATE_DRIVE names (a file, or the fake drive; data tracks are
 *     those DISC.toc marks and those in FAKE_CDROM_DATA) and checks every value against
 *     DISC.toc: its numbers, its "# query", "# lengths", "# musicbrainz" and
 *     "# musicbrainz-toc" lines, and Tocmate's texts for the disc.
 * DiscCheck failure DRIVE REASON DRIVE-GIVEN MESSAGE-START
 *     Disc.read(DRIVE) throws a DiscReadException with that reason, getDrive() and a message
 *     that starts so. "\\uXXXX" in an argument stands for that character.
 * DiscCheck failure-while-held DRIVE REASON DRIVE-GIVEN MESSAGE-START
 *     The same while another thread is inside a call of Tocmate's that holds the drive.
 * DiscCheck interrupted-then-exit DRIVE
 *     While a call of Tocmate's holds the drive, a Disc.read(DRIVE) and a getTrackLengths()
 *     that wait for it are interrupted: within a second they throw INTERRUPTED and give " ",
 *     their threads still interrupted. Then, with another Disc.read waiting, the JVM exits;
 *     the last line printed is "exit <time in ms>", just before System.exit.
 * DiscCheck interrupted-extras MILLISECONDS
 *     A Disc.read(TOCMATE_DRIVE, ISRC) interrupted after that long throws INTERRUPTED within
 *     a second, its thread still interrupted.
 * </pre>
 */
public final class DiscCheck {
  private static final List<String> problems = new ArrayList<>();

  public static void main(String[] args) throws IOException, InterruptedException {
    if (args.length == 2 && args[0].equals("values")) {
      checkValues(Paths.get(args[1]), System.getenv("TOCMATE_DRIVE"), dataTracks());
    } else if (args.length == 5 && args[0].equals("failure")) {
      checkFailure(unescape(args[1]), args[2], unescape(args[3]), unescape(args[4]));
    } else if (args.length == 5 && args[0].equals("failure-while-held")) {
      holdDrive();
      checkFailure(unescape(args[1]), args[2], unescape(args[3]), unescape(args[4]));
    } else if (args.length == 2 && args[0].equals("interrupted-then-exit")) {
      checkInterruptedWaits(args[1]);
    } else if (args.length == 2 && args[0].equals("interrupted-extras")) {
      checkInterruptedExtras(System.getenv("TOCMATE_DRIVE"), Long.parseLong(args[1]));
    } else {
      System.out.println("usage: DiscCheck values DISC.toc | failure DRIVE REASON DRIVE MESSAGE");
      System.exit(2);
    }
    for (String problem : problems) {
      System.out.println(problem);
    }
    if (args[0].equals("interrupted-then-exit")) {
      System.out.println("exit " + System.currentTimeMillis());
    }
    System.exit(problems.isEmpty() ? 0 : 1);
  }

  private static void checkValues(Path file, String drive, Set<Integer> data) throws IOException {
    String text = new String(Files.readAllBytes(file), StandardCharsets.UTF_8);
    Map<String, String> comments = new HashMap<>();
    List<Integer> numbers = new ArrayList<>();
    List<Integer> markedData = new ArrayList<>(); // indexes of the starts written "<frames>d"
    for (String line : text.split("\n")) {
      if (line.startsWith("# ") && line.indexOf(' ', 2) > 0) {
        comments.put(line.substring(2, line.indexOf(' ', 2)), line.substring(line.indexOf(' ', 2) + 1));
      }
      for (String word : line.replaceAll("#.*", "").trim().split("\\s+")) {
        if (word.endsWith("d")) {
          markedData.add(numbers.size());
          word = word.substring(0, word.length() - 1);
        }
        if (!word.isEmpty()) {
          numbers.add(Integer.parseInt(word));
        }
      }
    }
    int first = numbers.get(0);
    int last = numbers.get(1);
    int leadOut = numbers.get(2);
    List<Integer> starts = numbers.subList(3, numbers.size());
    for (int index : markedData) {
      data.add(first + index - 3);
    }

    Disc disc;
    try {
      disc = Disc.read(drive);
    } catch (DiscReadException e) {
      problems.add("reading " + drive + ": " + e.getReason() + ": " + e.getMessage());
      return;
    }
    expect("first track", first, disc.getFirstTrack());
    expect("last track", last, disc.getLastTrack());
    expect("lead-out", leadOut, disc.getLeadOut());
    List<Disc.Track> tracks = disc.getTracks();
    expect("track count", starts.size(), tracks.size());
    StringBuilder lengths = new StringBuilder().append(tracks.size());
    for (int i = 0; i < tracks.size() && i < starts.size(); i++) {
      Disc.Track track = tracks.get(i);
      int number = first + i;
      int end = i + 1 < starts.size() ? starts.get(i + 1) : leadOut;
      expect("track " + number + " number", number, track.getNumber());
      expect("track " + number + " start", starts.get(i), track.getStart());
      expect("track " + number + " length", end - starts.get(i), track.getLength());
      expect("track " + number + " is audio", !data.contains(number), track.isAudio());
      expect("getTrack(" + number + ")", track, disc.getTrack(number));
      lengths.append(' ').append(track.getLengthSeconds());
    }
    expect("lengths in seconds", comments.get("lengths"), lengths.toString());
    try {
      tracks.remove(0);
      problems.add("the track list can be changed");
    } catch (UnsupportedOperationException expected) {
      // unmodifiable, as documented
    }

    String query = comments.get("query").toLowerCase(Locale.ROOT);
    expect("CDDB query", "cddb query " + query, disc.getCddbQuery());
    expect("freedb ID", query.substring(0, query.indexOf(' ')), disc.getFreedbId());
    if (first == 1) {
      // Tocmate's texts number tracks from 1.
      expect("Tocmate.getCDDBNumbers() in lower case",
          Tocmate.getCDDBNumbers().toLowerCase(Locale.ROOT),
          disc.getCddbQuery().substring("cddb query ".length()));
      expect("Tocmate.getTrackLengths()", Tocmate.getTrackLengths(), lengths.toString());
    }
    checkMusicBrainz(disc, first, last, leadOut, starts, data, comments.get("musicbrainz"),
        comments.get("musicbrainz-toc"));
    checkRipperValues(disc, comments);

    Disc again = Disc.read(drive);
    expect("a second reading", disc, again);
    expect("a second reading's hash code", disc.hashCode(), again.hashCode());
    expect("a second reading's text", disc.toString(), again.toString());
    if (!disc.toString().contains(disc.getFreedbId())) {
      problems.add("toString() does not name the freedb ID: " + disc);
    }
    if (problems.isEmpty()) {
      System.out.println("ok: " + disc + " " + disc.getCddbQuery() + " toc " + disc.getMusicBrainzToc());
    }
  }

  // The audio session: up to the last audio track; when data tracks follow it, its lead-out
  // lies 11400 frames before the first of them.
  private static void checkMusicBrainz(Disc disc, int first, int last, int leadOut,
      List<Integer> starts, Set<Integer> data, String publishedId, String givenToc)
      throws IOException {
    int lastAudio = last;
    while (lastAudio >= first && data.contains(lastAudio)) {
      lastAudio--;
    }
    if (lastAudio < first) {
      expect("MusicBrainz ID of a disc without audio", null, disc.getMusicBrainzId());
      expect("MusicBrainz TOC of a disc without audio", null, disc.getMusicBrainzToc());
      expect("MusicBrainz URL of a disc without audio", null, disc.getMusicBrainzSubmissionUrl());
      expect("AccurateRip ID of a disc without audio", null, disc.getAccurateRipId());
      expect("CTDB TOC ID of a disc without audio", null, disc.getCtdbTocId());
      return;
    }
    int audioLeadOut = lastAudio == last ? leadOut : starts.get(lastAudio + 1 - first) - 11400;
    StringBuilder toc = new StringBuilder().append(first).append(' ').append(lastAudio);
    toc.append(' ').append(audioLeadOut);
    for (int number = first; number <= lastAudio; number++) {
      toc.append(' ').append(starts.get(number - first));
    }
    expect("MusicBrainz TOC", givenToc != null ? givenToc : toc.toString(),
        disc.getMusicBrainzToc());
    String id = disc.getMusicBrainzId();
    if (id == null || !id.matches("[0-9A-Za-z._]{27}-")) {
      problems.add("MusicBrainz ID: not 27 characters of Base64 and '-': " + id);
    }
    expect("MusicBrainz submission URL",
        "https://musicbrainz.org/cdtoc/attach?id=" + id + "&tracks=" + (lastAudio - first + 1)
            + "&toc=" + disc.getMusicBrainzToc().replace(' ', '+'),
        disc.getMusicBrainzSubmissionUrl());
    // A published ID is that of the disc as its file has it, data marks included.
    if (publishedId != null && System.getenv("FAKE_CDROM_DATA") == null) {
      expect("MusicBrainz ID", publishedId, id);
    }
    if (lastAudio < last) {
      // The ID is that of an audio disc holding just the audio session.
      Path session = Files.createTempFile("session", ".toc");
      try {
        Files.write(session, disc.getMusicBrainzToc().getBytes(StandardCharsets.US_ASCII));
        expect("MusicBrainz ID of the audio session on its own",
            Disc.read(session.toString()).getMusicBrainzId(), id);
      } finally {
        Files.delete(session);
      }
    }
  }

  // The sample disc's "# accuraterip", "# ctdb", "# ctdb-lookup" and "# pregap" lines.
  private static void checkRipperValues(Disc disc, Map<String, String> comments) {
    String accurateRip = comments.get("accuraterip");
    if (accurateRip != null) {
      expect("AccurateRip ID", accurateRip, disc.getAccurateRipId());
      String sum = accurateRip.substring(4, 12);
      expect("AccurateRip URL", "http://www.accuraterip.com/accuraterip/" + sum.charAt(7) + "/"
          + sum.charAt(6) + "/" + sum.charAt(5) + "/dBAR-" + accurateRip + ".bin",
          disc.getAccurateRipUrl());
    }
    if (comments.containsKey("ctdb")) {
      expect("CTDB TOC ID", comments.get("ctdb"), disc.getCtdbTocId());
    }
    if (comments.containsKey("ctdb-lookup")) {
      expect("CTDB lookup", "https://db.cue.tools/lookup2.php?version=3&ctdb=1&fuzzy=1&toc="
          + comments.get("ctdb-lookup"), disc.getCtdbLookupUrl());
    }
    if (comments.containsKey("pregap")) {
      expect("first track's pregap", Integer.parseInt(comments.get("pregap")),
          disc.getFirstTrackPregap());
    }
  }

  private static void checkFailure(String drive, String reason, String driveGiven,
      String messageStart) {
    try {
      Disc disc = Disc.read(drive);
      problems.add("read " + disc + ", expected " + reason);
    } catch (DiscReadException e) {
      expect("reason", reason, e.getReason().name());
      expect("drive", driveGiven, e.getDrive());
      if (!e.getMessage().startsWith(messageStart)) {
        problems.add("message: expected to start with\n  " + messageStart + "\ngot\n  " + e.getMessage());
      }
      if (problems.isEmpty()) {
        System.out.println("ok: " + e.getReason() + ": " + e.getMessage());
      }
    }
  }

  private static void checkInterruptedWaits(String drive) throws InterruptedException {
    holdDrive();
    String[] results = new String[2];
    Thread discReader = new Thread(() -> {
      try {
        results[0] = "read " + Disc.read(drive);
      } catch (DiscReadException e) {
        results[0] = e.getReason() + ": " + e.getMessage();
      }
      results[0] += Thread.currentThread().isInterrupted() ? ", interrupted" : ", not interrupted";
    });
    Thread textReader = new Thread(() -> {
      results[1] = "[" + Tocmate.getTrackLengths() + "]";
      results[1] += Thread.currentThread().isInterrupted() ? ", interrupted" : ", not interrupted";
    });
    discReader.start();
    textReader.start();
    Thread.sleep(300);
    discReader.interrupt();
    textReader.interrupt();
    discReader.join(1000);
    textReader.join(1000);
    synchronized (results) {
      expect("Disc.read, interrupted while waiting",
          "INTERRUPTED: " + drive + ": The wait for the CD drive was interrupted, interrupted",
          results[0]);
      expect("getTrackLengths(), interrupted while waiting", "[ ], interrupted", results[1]);
    }
    // One more waits, on a thread that does not keep the JVM alive by itself.
    new Thread(() -> {
      try {
        Disc.read(drive);
      } catch (DiscReadException e) {
        System.out.println("the last reader ended: " + e.getMessage());
      }
    }).start();
    Thread.sleep(300);
  }

  private static void checkInterruptedExtras(String drive, long millis)
      throws InterruptedException {
    String[] result = new String[1];
    Thread reader = new Thread(() -> {
      String outcome;
      try {
        outcome = "read " + Disc.read(drive, Disc.Extra.ISRC);
      } catch (DiscReadException e) {
        outcome = e.getReason() + ": " + e.getMessage();
      }
      outcome += Thread.currentThread().isInterrupted() ? ", interrupted" : ", not interrupted";
      synchronized (result) {
        result[0] = outcome;
      }
    });
    reader.setDaemon(true);
    reader.start();
    Thread.sleep(millis);
    reader.interrupt();
    reader.join(1000);
    synchronized (result) {
      expect("Disc.read(drive, ISRC) interrupted after " + millis + " ms",
          "INTERRUPTED: " + drive + ": interrupted while reading an ISRC, interrupted", result[0]);
    }
  }

  /** Starts a call of Tocmate's that holds the drive for as long as the drive takes. */
  private static void holdDrive() {
    Thread holder = new Thread(Tocmate::getCDDBNumbers);
    holder.setDaemon(true);
    holder.start();
    try {
      Thread.sleep(1000);
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
    }
  }

  private static Set<Integer> dataTracks() {
    Set<Integer> tracks = new HashSet<>();
    String list = System.getenv("FAKE_CDROM_DATA");
    for (String number : list == null ? new String[0] : list.trim().split("\\s+")) {
      if (!number.isEmpty()) {
        tracks.add(Integer.parseInt(number));
      }
    }
    return tracks;
  }

  private static String unescape(String text) {
    StringBuilder result = new StringBuilder();
    for (int i = 0; i < text.length(); i++) {
      if (text.startsWith("\\u", i) && i + 6 <= text.length()) {
        result.append((char) Integer.parseInt(text.substring(i + 2, i + 6), 16));
        i += 5;
      } else {
        result.append(text.charAt(i));
      }
    }
    return result.toString();
  }

  private static void expect(String what, Object expected, Object actual) {
    if (!Objects.equals(expected, actual)) {
      problems.add(what + ": expected\n  " + expected + "\ngot\n  " + actual);
    }
  }
}
