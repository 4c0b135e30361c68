package cd;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;

/**
 * The command line's --rip: each chosen track of the disc written to a WAVE file, with a line
 * of checksums a track on standard output; --verify, the same lines of a disc or an image
 * checked against AccurateRip's answer, nothing written; and --find-offset, the drive's read
 * offset found with the AccurateRip database's answer.
 */
final class RipCommand {
  static final String USAGE =
      "[--drive DRIVE] --rip FOLDER [--tracks LIST] [--read-offset N]\n"
          + "                                [--secure] [--cache-size KB]"
          + " [--accuraterip-results FILE]\n"
          + "       java -jar tocmate-" + Version.NUMBER + ".jar [--drive DRIVE] --verify "
          + "--accuraterip-results FILE\n"
          + "                                [--tracks LIST] [--read-offset N]\n"
          + "       java -jar tocmate-" + Version.NUMBER + ".jar [--drive DRIVE] --find-offset"
          + " --accuraterip-results FILE";
  static final String HELP =
      String.join(
          "\n",
          "  --rip FOLDER   write each audio track of the disc to FOLDER as a WAVE file",
          "                 (track01.wav, ...), and print a line a track: its number, its",
          "                 AccurateRip v1 and v2 checksums, its CRC-32 and the sectors read",
          "                 again; progress goes to standard error on a terminal. Exit",
          "                 status 1 when a sector could not be read (or, with --secure, not",
          "                 confirmed), and standard error names the track and the sectors",
          "  --tracks LIST  only these tracks, such as 1,3-5",
          "  --read-offset N  the drive's read offset correction in samples, as AccurateRip's",
          "                 list of drives gives it (such as 6 or -1164)",
          "  --secure       read every sector at least twice, each time from the disc and not",
          "                 the drive's cache, and keep it once a value has come twice",
          "  --cache-size KB  what the drive's cache holds, where it says too little (1 to",
          "                 65536); by default the buffer size it reports, 1 to 8 MB",
          "  --accuraterip-results FILE  the AccurateRip database's answer for the disc",
          "                 (the file --accuraterip names), fetched beforehand: each line",
          "                 also gives how many rips in it match the track (its confidence)",
          "  --verify       read the tracks as --rip does, writing nothing, and check each",
          "                 against --accuraterip-results: exit status 0 only when every",
          "                 track matches; standard error names those that do not, and the",
          "                 read offset at which they match where it is another. With",
          "                 --drive rip.cue, a rip already made (a CUE sheet and its files)",
          "  --find-offset  find the drive's read offset with --accuraterip-results: print it",
          "                 and the tracks that confirmed it, such as '+6 (tracks 1 2 3)';",
          "                 exit status 1, and why on standard error, when none is found");

  private static final int EXIT_OK = 0;
  private static final int EXIT_INCOMPLETE = 1;
  private static final int EXIT_WRONG_ARGUMENT = 2;
  private static final int WAVE_HEADER_BYTES = 44;
  // Where --verify's samples go: only their checksums are kept.
  private static final OutputStream DISCARDED = new OutputStream() {
    @Override
    public void write(int b) {}

    @Override
    public void write(byte[] b, int off, int len) {}
  };
  private static final Set<String> OPTIONS = new HashSet<>(Arrays.asList("--rip", "--drive",
      "--tracks", "--read-offset", "--secure", "--accuraterip-results", "--verify", "--find-offset",
      "--cache-size"));

  private final PrintStream out;
  private final PrintStream err;
  private String drive = "";
  private File folder;
  // The tracks --tracks names, in its order, each once; null for all.
  private Set<Integer> tracks;
  private int readOffset;
  private boolean secure;
  private File resultsFile;
  private boolean verify;
  private boolean findOffset;
  private Integer cacheKilobytes;

  private RipCommand(PrintStream out, PrintStream err) {
    this.out = out;
    this.err = err;
  }

  /** Whether the arguments ask for a rip. */
  static boolean wanted(String[] args) {
    for (String arg : args) {
      if (arg.equals("--rip") || arg.startsWith("--rip=") || arg.equals("--verify")
          || arg.equals("--find-offset")) {
        return true;
      }
    }
    return false;
  }

  /** The exit status. */
  static int run(String[] args, PrintStream out, PrintStream err) {
    RipCommand command = new RipCommand(out, err);
    try {
      command.parse(args);
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + e.getMessage());
      err.println("Usage: java -jar tocmate-" + Version.NUMBER + ".jar " + USAGE);
      return EXIT_WRONG_ARGUMENT;
    }
    try {
      return command.findOffset ? command.findOffset() : command.rip();
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + Printable.escape(e.getMessage()));
      return EXIT_WRONG_ARGUMENT;
    } catch (IOException e) {
      err.println(Printable.escape(e.getMessage() != null ? e.getMessage() : e.toString()));
    } catch (LinkageError e) {
      err.println(Printable.escape(e.toString()));
    }
    return EXIT_INCOMPLETE;
  }

  private void parse(String[] args) {
    Set<String> given = new HashSet<>();
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      int equals = arg.indexOf('=');
      String name = arg.startsWith("--") && equals > 0 ? arg.substring(0, equals) : arg;
      if (!OPTIONS.contains(name)) {
        throw new IllegalArgumentException(
            "unknown argument '" + Printable.escape(arg) + "' with --rip");
      }
      if (!given.add(name)) {
        throw new IllegalArgumentException(name + " is given twice");
      }
      if (name.equals("--secure") && equals < 0) {
        secure = true;
        continue;
      }
      if (name.equals("--verify") && equals < 0) {
        verify = true;
        continue;
      }
      if (name.equals("--find-offset") && equals < 0) {
        findOffset = true;
        continue;
      }
      String value;
      if (equals > 0 && arg.startsWith("--")) {
        value = arg.substring(equals + 1);
      } else if (i + 1 < args.length) {
        value = args[++i];
      } else {
        throw new IllegalArgumentException(name + " needs a value");
      }
      if (name.equals("--rip")) {
        folder = new File(value);
      } else if (name.equals("--drive")) {
        drive = value;
      } else if (name.equals("--tracks")) {
        tracks = trackList(value);
      } else if (name.equals("--read-offset")) {
        readOffset = number(value, "--read-offset");
      } else if (name.equals("--cache-size")) {
        cacheKilobytes = number(value, "--cache-size");
      } else if (name.equals("--accuraterip-results")) {
        resultsFile = new File(value);
      } else {
        throw new IllegalArgumentException(name + " takes no value");
      }
    }
    if (verify && folder != null) {
      throw new IllegalArgumentException("--verify writes nothing: it takes no --rip FOLDER");
    }
    if (verify && resultsFile == null) {
      throw new IllegalArgumentException(
          "--verify needs --accuraterip-results FILE, the database's answer for the disc");
    }
    if (findOffset && (resultsFile == null || folder != null)) {
      throw new IllegalArgumentException(
          "--find-offset takes --accuraterip-results FILE, and no --rip");
    }
    if (drive.isEmpty()) {
      drive = Disc.chosenDrive();
    }
  }

  private static int number(String value, String option) {
    try {
      return Integer.parseInt(value.startsWith("+") ? value.substring(1) : value);
    } catch (NumberFormatException e) {
      throw new IllegalArgumentException(
          option + " takes a whole number, not '" + Printable.escape(value) + "'");
    }
  }

  /** "1,3-5" as the tracks it names, each once; a range whose end is before its start is none. */
  private static Set<Integer> trackList(String list) {
    Set<Integer> chosen = new LinkedHashSet<>();
    for (String part : list.split(",", -1)) {
      int dash = part.indexOf('-', 1);
      int from = number(dash < 0 ? part : part.substring(0, dash), "--tracks");
      int to = dash < 0 ? from : number(part.substring(dash + 1), "--tracks");
      if (to < from || from < 1 || to > 99) {
        throw new IllegalArgumentException("--tracks: " + Printable.escape(part)
            + (to < from ? " ends before it starts" : " is not within a CD's tracks, 1 to 99"));
      }
      for (int number = from; number <= to; number++) {
        chosen.add(number);
      }
    }
    return chosen;
  }

  /** The database's answer from --accuraterip-results; a file that is none is a wrong argument. */
  private AccurateRipResults readResults() throws IOException {
    String path = Printable.escape(resultsFile.getPath());
    if (!resultsFile.exists()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " does not exist");
    }
    if (!resultsFile.isFile()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " is no file");
    }
    byte[] answer;
    try {
      answer = Files.readAllBytes(resultsFile.toPath());
    } catch (IOException e) {
      throw new IOException("--accuraterip-results: " + path + " can not be read: " + e, e);
    }
    try {
      return AccurateRipResults.parse(answer);
    } catch (IllegalArgumentException e) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + ": " + e.getMessage());
    }
  }

  private int rip() throws IOException {
    AccurateRipResults results = resultsFile == null ? null : readResults();
    boolean complete = true;
    boolean matched = true;
    try (DiscAudio audio = DiscAudio.open(drive)) {
      if (!verify && !folder.isDirectory() && !folder.mkdirs()) {
        throw new IOException("the folder " + Printable.escape(folder.getPath())
            + " can not be made");
      }
      if (secure && audio.isImage()) {
        err.println("tocmate: an image's files read the same every time: each is read once");
      }
      audio.setReadOffset(readOffset);
      audio.setSecure(secure);
      if (cacheKilobytes != null) {
        audio.setCacheSize(cacheKilobytes);
      }
      if (System.console() != null) {
        audio.setProgress(this::showProgress);
      }
      for (int number : chosenTracks(audio.getDisc())) {
        TrackRip rip = ripTrack(audio, number);
        StringBuilder line = new StringBuilder()
            .append(number < 10 ? "0" : "").append(number)
            .append(" v1 ").append(rip.getAccurateRipV1())
            .append(" v2 ").append(rip.getAccurateRipV2())
            .append(" crc32 ").append(rip.getCrc32())
            .append(" reread ").append(rip.getRereadSectors());
        if (results != null) {
          int confidence = results.confidence(rip);
          line.append(" confidence ").append(confidence);
          if (verify && confidence == 0) {
            err.println("track " + number + ": no rip in the AccurateRip answer has its checksums");
            matched = false;
          }
        }
        out.println(line);
        if (rip.getUnreadableSectors().length > 0) {
          err.println("track " + number + ": sectors never read, their samples silence: "
              + rip.list(rip.getUnreadableSectors()));
        }
        if (rip.getUnconfirmedSectors().length > 0) {
          err.println("track " + number + ": sectors whose reads never agreed: "
              + rip.list(rip.getUnconfirmedSectors()));
        }
        if (rip.getC2Sectors().length > 0) {
          err.println("track " + number + ": sectors the drive's C2 pointers flagged, read"
              + " again: " + rip.list(rip.getC2Sectors()));
        }
        complete &= rip.isComplete();
      }
      if (!matched) {
        nameOtherOffset(results, audio);
      }
    }
    return complete && matched ? EXIT_OK : EXIT_INCOMPLETE;
  }

  /** Where tracks did not match: the read offset at which the answer's pressings do, if another. */
  private void nameOtherOffset(AccurateRipResults results, DiscAudio audio) throws IOException {
    Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
    if (match.isPresent() && match.get().getOffset() != readOffset) {
      int offset = match.get().getOffset();
      err.println("matches at offset " + (offset > 0 ? "+" : "") + offset
          + ": the rip was made with a read offset " + Math.abs(offset - readOffset)
          + " samples off");
    }
  }

  private int findOffset() throws IOException {
    AccurateRipResults results = readResults();
    try (DiscAudio audio = DiscAudio.open(drive)) {
      Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
      if (match.isPresent()) {
        out.println(match.get());
        return EXIT_OK;
      }
      err.println("no read offset found: no two tracks of six seconds or more match a pressing"
          + " of this disc (" + audio.getDisc().getAccurateRipId() + ") in the answer");
      return EXIT_INCOMPLETE;
    }
  }

  /**
   * Writes the track under a name of its own in the folder and gives it the track's name only
   * once whole: a rip that fails or is interrupted (a shutdown hook removes the file) leaves
   * an earlier copy as it was, and no file that claims to be whole.
   */
  private TrackRip ripTrack(DiscAudio audio, int number) throws IOException {
    if (verify) {
      return audio.readTrack(number, DISCARDED);
    }
    String name = "track" + (number < 10 ? "0" : "") + number + ".wav";
    File partial = File.createTempFile("." + name + ".", ".part", folder);
    Thread removal = new Thread(partial::delete);
    Runtime.getRuntime().addShutdownHook(removal);
    try {
      TrackRip rip;
      try (OutputStream wave = new BufferedOutputStream(new FileOutputStream(partial), 1 << 16)) {
        wave.write(waveHeader(audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES));
        rip = audio.readTrack(number, wave);
      }
      Files.move(partial.toPath(), new File(folder, name).toPath(),
          StandardCopyOption.REPLACE_EXISTING, StandardCopyOption.ATOMIC_MOVE);
      return rip;
    } finally {
      partial.delete();
      try {
        Runtime.getRuntime().removeShutdownHook(removal);
      } catch (IllegalStateException shuttingDown) {
        // The hook runs, or ran: the file is gone either way.
      }
      if (System.console() != null) {
        err.print("\r\033[K");
        err.flush();
      }
    }
  }

  private void showProgress(int track, int sectorsDone, int sectors) {
    err.print("\rtrack " + track + ": " + (sectors == 0 ? 100 : 100L * sectorsDone / sectors) + "%");
    err.flush();
  }

  /** The tracks --tracks names, each checked against the disc; else all its audio tracks. */
  private List<Integer> chosenTracks(Disc disc) {
    List<Integer> chosen = new ArrayList<>();
    if (tracks == null) {
      for (Disc.Track track : disc.getTracks()) {
        if (track.isAudio()) {
          chosen.add(track.getNumber());
        }
      }
      return chosen;
    }
    for (int number : tracks) {
      if (number < disc.getFirstTrack() || number > disc.getLastTrack()) {
        throw new IllegalArgumentException("the disc has no track " + number);
      }
      if (!disc.getTrack(number).isAudio()) {
        throw new IllegalArgumentException(
            "track " + number + " is a data track: it holds no audio");
      }
      chosen.add(number);
    }
    return chosen;
  }

  /** The header of a WAVE file of CD audio whose samples take `bytes`. */
  private static byte[] waveHeader(long bytes) {
    byte[] header = new byte[WAVE_HEADER_BYTES];
    putAscii(header, 0, "RIFF");
    putLittleEndian(header, 4, bytes + WAVE_HEADER_BYTES - 8, 4);
    putAscii(header, 8, "WAVEfmt ");
    putLittleEndian(header, 16, 16, 4);  // the format's size
    putLittleEndian(header, 20, 1, 2);  // PCM
    putLittleEndian(header, 22, 2, 2);  // channels
    putLittleEndian(header, 24, 44100, 4);
    putLittleEndian(header, 28, 44100 * DiscAudio.SAMPLE_BYTES, 4);  // bytes a second
    putLittleEndian(header, 32, DiscAudio.SAMPLE_BYTES, 2);  // bytes a sample
    putLittleEndian(header, 34, 16, 2);  // bits a value
    putAscii(header, 36, "data");
    putLittleEndian(header, 40, bytes, 4);
    return header;
  }

  private static void putAscii(byte[] bytes, int at, String text) {
    for (int i = 0; i < text.length(); i++) {
      bytes[at + i] = (byte) text.charAt(i);
    }
  }

  private static void putLittleEndian(byte[] bytes, int at, long value, int size) {
    for (int i = 0; i < size; i++) {
      bytes[at + i] = (byte) (value >>> (8 * i));
    }
  }
}
