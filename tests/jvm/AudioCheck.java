import cd.AccurateRipResults;
import cd.CdDrive;
import cd.Disc;
import cd.DiscAudio;
import cd.DiscReadException;
import cd.TrackRip;
import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Optional;
import java.util.concurrent.atomic.AtomicReference;
import java.util.zip.CRC32;
import javax.sound.sampled.AudioFileFormat;
import javax.sound.sampled.AudioInputStream;
import javax.sound.sampled.AudioSystem;

/**
 * Checks cd.DiscAudio's API in a real JVM, on the fake drive that TOCMATE_DRIVE names (the
 * samples themselves are checked by audio_rips.sh). Prints "ok: ..." or every mismatch;
 * exits with 1 on any.
 *
 * <pre>
 * AudioCheck api DATA-TRACK IMAGE
 *     Every audio track through openTrack and AudioSystem.write gives the bytes readTrack
 *     writes, with the samples getTrackSamples counts (openTrack's frame length too); the
 *     progress ends at the track's sectors; a rip's text shows offset 0 without a sign;
 *     AccurateRipResults gives each rip the highest confidence of the pressings with its v1
 *     or v2 in a dBAR answer made here, none from a pressing of fewer tracks; the drive gives
 *     C2 pointers and flags nothing; the cache is the 2 MB the drive reports, then as set; the
 *     data track, a missing track, an offset beyond 100 sectors (not one of 100), a dBAR
 *     header of no track, a cache of 0 or more than 64 MB and a closed DiscAudio are refused,
 *     and so is a table-of-contents file; while the DiscAudio is open, Disc.read and another
 *     DiscAudio.open wait for the drive (interrupted, they say so), but the CUE sheet IMAGE
 *     opens at once, and in secure mode reads its tracks once, saying so; once the DiscAudio
 *     is closed, on another thread, they read.
 * AudioCheck long
 *     Track 1 (twenty minutes) streams through a small heap, its CRC-32 that of zlib.
 * AudioCheck gone TRACK
 *     The disc goes away during TRACK: NO_DISC, whole sectors written until then.
 * AudioCheck offset OFFSET TRACKS
 *     With a dBAR answer built here from the fake drive's rule for the disc's samples (not
 *     from the library), findReadOffset finds the drive's OFFSET, confirmed by TRACKS (such
 *     as 1+3: a track of 460 sectors or fewer has no room for the search), reading at most 40
 *     sectors a track (FAKE_CDROM_READ_COUNTS); a rip of track 2 at it has the answer's
 *     checksum. An answer for another disc, or one whose tracks each match at another offset,
 *     gives none. Two pressings 637 samples apart: both offsets fit, the more confident
 *     first, or at equal confidence the nearer 0, and findReadOffset gives none.
 * AudioCheck first
 *     AccurateRip first, secure: track 2 with an answer of this disc that holds it at
 *     confidence 5 is read once into its output and confirmed by AccurateRip; with an answer
 *     of confidence 0, or one of another disc that holds it, it is read twice, confirmed by
 *     reads that agreed; through an OutputStream, read twice and then confirmed by the answer.
 * AudioCheck swap
 *     Another disc put in after the opening, its unit attention taken by another process (as
 *     the kernel's polling takes it): the next track is refused, NO_DISC, nothing written.
 *     The schedule goes to the file FAKE_CDROM_MEDIUM names.
 * </pre>
 */
public final class AudioCheck {
  private static final List<String> problems = new ArrayList<>();
  private static final String drive = System.getenv("TOCMATE_DRIVE");

  public static void main(String[] args) throws Exception {
    if (args.length == 3 && args[0].equals("api")) {
      checkApi(Integer.parseInt(args[1]), args[2]);
    } else if (args.length == 1 && args[0].equals("long")) {
      checkLongTrack();
    } else if (args.length == 2 && args[0].equals("gone")) {
      checkDiscGone(Integer.parseInt(args[1]));
    } else if (args.length == 3 && args[0].equals("offset")) {
      checkOffset(Integer.parseInt(args[1]), args[2]);
    } else if (args.length == 1 && args[0].equals("first")) {
      checkAccurateRipFirst();
    } else if (args.length == 1 && args[0].equals("swap")) {
      checkDiscSwapped();
    } else {
      System.out.println(
          "usage: AudioCheck api DATA-TRACK IMAGE | long | gone TRACK | offset OFFSET TRACKS | first"
              + " | swap");
      System.exit(2);
    }
    for (String problem : problems) {
      System.out.println(problem);
    }
    System.exit(problems.isEmpty() ? 0 : 1);
  }

  private static void check(boolean holds, String what) {
    if (holds) {
      System.out.println("ok: " + what);
    } else {
      problems.add("FAILED: " + what);
    }
  }

  private static void checkApi(int dataTrack, String image) throws Exception {
    check(Disc.read().getAccurateRipUrl().equals(Disc.read(drive).getAccurateRipUrl()),
        "Disc.read() reads the drive TOCMATE_DRIVE names");
    DiscAudio audio = DiscAudio.open();
    Disc disc = audio.getDisc();
    List<TrackRip> rips = new ArrayList<>();
    for (Disc.Track track : disc.getTracks()) {
      if (!track.isAudio()) {
        continue;
      }
      int number = track.getNumber();
      List<int[]> updates = new ArrayList<>();
      audio.setProgress((n, done, all) -> updates.add(new int[] {n, done, all}));
      ByteArrayOutputStream pcm = new ByteArrayOutputStream();
      TrackRip rip = audio.readTrack(number, pcm);
      rips.add(rip);
      audio.setProgress(null);
      File wave = File.createTempFile("audio-check", ".wav");
      try {
        AudioInputStream stream = audio.openTrack(number);
        check(stream.getFrameLength() == audio.getTrackSamples(number),
            "track " + number + ": the stream's frames are the track's samples");
        AudioSystem.write(stream, AudioFileFormat.Type.WAVE, wave);
        byte[] written = Files.readAllBytes(wave.toPath());
        byte[] samples = Arrays.copyOfRange(written, 44, written.length);
        check(Arrays.equals(samples, pcm.toByteArray()),
            "track " + number + ": openTrack's samples are readTrack's");
      } finally {
        wave.delete();
      }
      check(audio.openTrack(number).getFrameLength() == audio.getTrackSamples(number),
          "track " + number + ": openTrack's frames are getTrackSamples'");
      long sectors = audio.getTrackSamples(number) / 588;
      int[] last = updates.get(updates.size() - 1);
      check(pcm.size() == audio.getTrackSamples(number) * 4 && rip.getSamples() * 4 == pcm.size()
              && last[0] == number && last[1] == sectors && last[2] == sectors,
          "track " + number + ": " + pcm.size() + " bytes, progress to " + last[1] + " of "
              + last[2] + " sectors");
      CRC32 crc = new CRC32();
      crc.update(pcm.toByteArray());
      check(rip.getCrc32().equals(String.format("%08X", crc.getValue()))
              && rip.getAccurateRipV1().matches("[0-9A-F]{8}") && rip.isComplete()
              && rip.isC2Used() && rip.getC2Sectors().length == 0
              && rip.toString().contains(", offset 0, burst, C2, 0 sectors read again"),
          "track " + number + ": " + rip);
    }
    checkResults(rips, disc.getFirstTrack());
    checkClosedStream(audio, rips.get(0).getTrackNumber());
    checkRefusals(audio, dataTrack);
    checkHeldDrive(audio, image);
  }

  /**
   * A dBAR answer of two pressings, a track at its place on the disc (a data track first
   * takes the first place, and the last audio track then has none): the first pressing with
   * every rip's v1 but track 2's, the second with every v2 and lower confidences, the third
   * of one track, less confident, with the first rip's v1.
   */
  private static void checkResults(List<TrackRip> rips, int firstTrack) {
    int tracks = rips.size();
    ByteBuffer answer =
        ByteBuffer.allocate(2 * (13 + 9 * tracks) + 13 + 9).order(ByteOrder.LITTLE_ENDIAN);
    for (int pressing = 0; pressing < 2; pressing++) {
      answer.put((byte) tracks).putInt(0x0002189a).putInt(0x00087f33).putInt(0x1f02e004);
      for (int place = 0; place < tracks; place++) {
        int value = 0;
        for (TrackRip rip : rips) {
          if (rip.getTrackNumber() - firstTrack == place && !(pressing == 0 && place == 1)) {
            value = (int) Long.parseLong(
                pressing == 0 ? rip.getAccurateRipV1() : rip.getAccurateRipV2(), 16);
          }
        }
        answer.put((byte) (10 * (1 - pressing) + place + 1)).putInt(value).putInt(0);
      }
    }
    answer.put((byte) 1).putInt(0x0002189a).putInt(0x00087f33).putInt(0x1f02e004);
    answer.put((byte) 7).putInt((int) Long.parseLong(rips.get(0).getAccurateRipV1(), 16)).putInt(0);
    AccurateRipResults results = AccurateRipResults.parse(answer.array());
    int[] got = new int[tracks];
    int[] wanted = new int[tracks];
    for (int i = 0; i < tracks; i++) {
      got[i] = results.confidence(rips.get(i));
      int place = rips.get(i).getTrackNumber() - firstTrack;
      wanted[i] = place >= tracks ? 0 : place == 1 ? 2 : 11 + place;
    }
    check(Arrays.equals(got, wanted) && results.getPressings().get(1).getDiscId2() == 0x00087f33,
        "AccurateRip confidences " + Arrays.toString(got) + ", wanted " + Arrays.toString(wanted));
    // The entries' tracks numbered as the disc numbers them (a Mixed Mode disc's data track 1).
    AccurateRipResults.Pressing second = results.getPressings().get(1);
    boolean numbered = true;
    for (TrackRip rip : rips) {
      int number = rip.getTrackNumber() - firstTrack + 1;
      if (number <= tracks) {
        numbered &= second.getCrc(number) == (int) Long.parseLong(rip.getAccurateRipV2(), 16)
            && second.getConfidence(number) == number;
      }
    }
    check(numbered, "a pressing's tracks numbered from 1, at the disc's numbers");
  }

  /** A track's stream closed gives nothing more, not even what it had fetched. */
  private static void checkClosedStream(DiscAudio audio, int track) throws IOException {
    AudioInputStream stream = audio.openTrack(track);
    byte[] some = new byte[400];
    int read = stream.read(some);
    stream.close();
    check(read == some.length && thrown(() -> stream.read(some)).startsWith("IOException"),
        "a closed stream gives nothing more");
  }

  private static void checkRefusals(DiscAudio audio, int dataTrack) {
    check(thrown(() -> audio.readTrack(dataTrack, new ByteArrayOutputStream()))
            .equals("IllegalArgumentException: track " + dataTrack
                + " is a data track: it holds no audio"),
        "a data track is refused");
    check(thrown(() -> audio.openTrack(100)).startsWith("IllegalArgumentException"),
        "a missing track is refused");
    check(thrown(() -> audio.setReadOffset(58801)).startsWith("IllegalArgumentException")
            && thrown(() -> audio.setReadOffset(-58801)).startsWith("IllegalArgumentException"),
        "an offset beyond any drive's is refused");
    int reported = audio.getCacheSize();
    audio.setCacheSize(300);
    // The fake drive reports 2048 KB: less than 8 MB is not believed.
    check(reported == 8192 && audio.getCacheSize() == 300
            && thrown(() -> audio.setCacheSize(0)).startsWith("IllegalArgumentException")
            && thrown(() -> audio.setCacheSize(65537)).startsWith("IllegalArgumentException"),
        "the cache: 8 MB for the drive's 2048 KB, then as set; 0 and 64 MB and more refused");
    check(thrown(() -> {
      audio.setReadOffset(-58800);
      audio.setReadOffset(58800);
      audio.setReadOffset(0);
    }).isEmpty(), "an offset of 100 sectors either way is taken");
    byte[] noTrack = new byte[13];
    check(thrown(() -> AccurateRipResults.parse(noTrack)).startsWith("IllegalArgumentException"),
        "a dBAR header of no track is refused");
  }

  /** While the DiscAudio is open, others wait for the drive; closing it lets them read. */
  private static void checkHeldDrive(DiscAudio audio, String image) throws Exception {
    check(waitOnce(() -> Disc.read(drive)).equals("INTERRUPTED"), "Disc.read waits for the drive");
    check(waitOnce(() -> DiscAudio.open(drive).close()).equals("INTERRUPTED"),
        "a second DiscAudio waits for the drive");
    long opening = System.nanoTime();
    try (DiscAudio sample = DiscAudio.open(image)) {
      sample.setSecure(true);
      TrackRip rip = sample.readTrack(1, new ByteArrayOutputStream());
      check(System.nanoTime() - opening < 5_000_000_000L && sample.isImage() && !audio.isImage()
              && rip.isFromImage() && !rip.isSecure() && rip.toString().contains(", image, 0 "),
          "an image opens beside the held drive and reads once: " + rip);
      for (DiscAudio reading : new DiscAudio[] {sample, audio}) {
        int first = reading.getDisc().getTracks().stream().filter(Disc.Track::isAudio)
            .findFirst().get().getNumber();
        Thread.currentThread().interrupt();
        String interrupted = thrown(() -> reading.readTrack(first, new ByteArrayOutputStream()));
        check(interrupted.startsWith("INTERRUPTED: ") && Thread.interrupted(),
            "an interrupted thread reads no more of " + (reading == sample ? "an image" : "a drive")
                + ", its status kept: " + interrupted);
      }
    }
    // Only for that drive: another drive, a file and another drive's tray wait for nothing.
    String toc = System.getenv("FAKE_CDROM_DISC");
    check(waitOnce(() -> Disc.read(toc)).equals("returned")
            && waitOnce(() -> Disc.read("/nonexistent/sr9")).equals("NO_DRIVE")
            && waitOnce(() -> CdDrive.eject("/nonexistent/sr9")).equals("NO_DRIVE"),
        "a file and another drive are read at once");
    Thread closer = new Thread(audio::close);
    closer.start();
    closer.join();
    check(thrown(() -> audio.openTrack(1)).startsWith("IllegalStateException"),
        "a closed DiscAudio reads nothing");
    long start = System.nanoTime();
    check(thrown(() -> Disc.read(drive)).isEmpty() && System.nanoTime() - start < 5_000_000_000L,
        "closed on another thread, the drive is free");
    check(thrown(() -> DiscAudio.open(drive).close()).isEmpty(), "and opens again");
    check(thrown(() -> DiscAudio.open(toc).close())
            .equals("NO_DRIVE: " + toc + ": a table-of-contents file holds no audio to read"),
        "a table-of-contents file is refused");
  }

  /** Runs `call` on a thread interrupted after half a second: its exception's reason. */
  private static String waitOnce(Call call) throws InterruptedException {
    AtomicReference<String> outcome = new AtomicReference<>("returned");
    Thread waiting = new Thread(() -> {
      try {
        call.run();
      } catch (DiscReadException e) {
        outcome.set(e.getReason().name());
      } catch (Exception e) {
        outcome.set(e.toString());
      }
    });
    waiting.start();
    Thread.sleep(500);
    waiting.interrupt();
    waiting.join(5000);
    return outcome.get();
  }

  private static void checkLongTrack() throws IOException {
    try (DiscAudio audio = DiscAudio.open(drive)) {
      CRC32 crc = new CRC32();
      long[] bytes = {0};
      TrackRip rip = audio.readTrack(1, new OutputStream() {
        @Override
        public void write(int b) {
          throw new UnsupportedOperationException();
        }

        @Override
        public void write(byte[] b, int off, int len) {
          crc.update(b, off, len);
          bytes[0] += len;
        }
      });
      check(bytes[0] == 20L * 60 * 44100 * 4
              && rip.getCrc32().equals(String.format("%08X", crc.getValue())),
          "twenty minutes, " + bytes[0] + " bytes, in a heap of "
              + Runtime.getRuntime().maxMemory() / (1 << 20) + " MB");
    }
  }

  private static void checkDiscGone(int track) throws IOException {
    try (DiscAudio audio = DiscAudio.open(drive)) {
      ByteArrayOutputStream pcm = new ByteArrayOutputStream();
      String failure = thrown(() -> audio.readTrack(track, pcm));
      check(failure.startsWith("NO_DISC: ") && pcm.size() > 0 && pcm.size() % 2352 == 0
              && pcm.size() < audio.getTrackSamples(track) * 4,
          "the disc taken out: " + failure + " after " + pcm.size() + " bytes");
    }
  }

  /** The fake drive's disc sample at `position`, counted in samples from block 0. */
  private static int sampleAt(long position) {
    return (int) (position * 2654435761L + 12345);
  }

  /** AccurateRip's checksum of a track's frame 450: each sample times its place, 1 to 588. */
  private static int frame450(int startSector, int shift) {
    int sum = 0;
    for (int i = 0; i < 588; i++) {
      sum += (i + 1) * sampleAt((startSector + 450L) * 588 + i + shift);
    }
    return sum;
  }

  /** AccurateRip v1 of a whole track in the middle of the disc. */
  private static int accurateRipV1(int startSector, int endSector) {
    int sum = 0;
    for (long i = 0; i < (endSector - startSector) * 588L; i++) {
      sum += (int) (i + 1) * sampleAt(startSector * 588L + i);
    }
    return sum;
  }

  /** A dBAR answer of one pressing for `ids` with each track's frame 450 at `shifts[i]`. */
  private static byte[] answer(String ids, Disc disc, int[] shifts) {
    return answer(ids, disc, shifts, 5);
  }

  private static byte[] answer(String ids, Disc disc, int[] shifts, int confidence) {
    List<Disc.Track> audio = new ArrayList<>();
    for (Disc.Track track : disc.getTracks()) {
      if (track.isAudio()) {
        audio.add(track);
      }
    }
    String[] parts = ids.split("-");
    ByteBuffer answer = ByteBuffer.allocate(13 + 9 * audio.size()).order(ByteOrder.LITTLE_ENDIAN);
    answer.put((byte) audio.size());
    for (int i = 1; i <= 3; i++) {
      answer.putInt(Integer.parseUnsignedInt(parts[i], 16));
    }
    for (int i = 0; i < audio.size(); i++) {
      int start = audio.get(i).getStart() - 150;
      int end = i + 1 < audio.size() ? audio.get(i + 1).getStart() - 150 : start;
      answer.put((byte) confidence).putInt(i == 1 ? accurateRipV1(start, end) : 0)
          .putInt(frame450(start, shifts[i]));
    }
    return answer.array();
  }

  private static void checkOffset(int offset, String tracks) throws Exception {
    File counts = new File(System.getenv("FAKE_CDROM_READ_COUNTS"));
    int[] confirming = Arrays.stream(tracks.split("\\+")).mapToInt(Integer::parseInt).toArray();
    try (DiscAudio audio = DiscAudio.open(drive)) {
      Disc disc = audio.getDisc();
      String ids = disc.getAccurateRipId();
      AccurateRipResults results = AccurateRipResults.parse(answer(ids, disc, new int[3]));
      Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
      long reads = Long.parseLong(new String(Files.readAllBytes(counts.toPath())).split(" ")[1]);
      check(match.isPresent() && match.get().getOffset() == offset
              && Arrays.equals(match.get().getTracks(), confirming)
              && match.get().getConfidence() == 5 && reads <= confirming.length * 40,
          "offset " + offset + " found: " + match + ", " + reads + " sectors read");
      audio.setReadOffset(match.map(AccurateRipResults.OffsetMatch::getOffset).orElse(0));
      TrackRip rip = audio.readTrack(2, new ByteArrayOutputStream());
      check(results.confidence(rip) == 5,
          "a rip at the offset matches the answer: " + rip);
      // Another disc of as many tracks: its first disc ID differs.
      String other = ids.substring(0, 11) + (ids.charAt(11) == '0' ? "1" : "0") + ids.substring(12);
      check(!AccurateRipResults.parse(answer(other, disc, new int[3])).findReadOffset(audio)
              .isPresent(), "another disc's answer finds nothing");
      check(!AccurateRipResults.parse(answer(ids, disc, new int[] {0, 40, -700}))
              .findReadOffset(audio).isPresent(), "tracks that agree on no offset find nothing");
      checkTwoPressings(audio, ids, offset);
    } finally {
      counts.delete();
    }
  }

  private static void checkAccurateRipFirst() throws IOException {
    try (DiscAudio audio = DiscAudio.open(drive)) {
      Disc disc = audio.getDisc();
      String ids = disc.getAccurateRipId();
      String other = ids.substring(0, 11) + (ids.charAt(11) == '0' ? "1" : "0") + ids.substring(12);
      audio.setSecure(true);
      audio.setCacheSize(64);
      //    answer                                          starts, secure, how, confidence
      Object[][] cases = {
          {answer(ids, disc, new int[3], 5), 1, false, TrackRip.Confirmation.ACCURATERIP, 5},
          {answer(ids, disc, new int[3], 0), 1, true, TrackRip.Confirmation.READS_AGREED, 0},
          {answer(other, disc, new int[3], 5), 1, true, TrackRip.Confirmation.READS_AGREED, 0},
      };
      for (Object[] row : cases) {
        audio.setAccurateRipResults(AccurateRipResults.parse((byte[]) row[0]));
        int[] starts = {0};
        ByteArrayOutputStream[] pcm = new ByteArrayOutputStream[1];
        TrackRip rip = audio.readTrack(2, () -> {
          starts[0]++;
          return pcm[0] = new ByteArrayOutputStream();
        });
        CRC32 crc = new CRC32();
        crc.update(pcm[0].toByteArray());
        check(starts[0] == (int) row[1] && rip.isSecure() == (boolean) row[2]
                && rip.getConfirmation() == row[3] && rip.getConfirmingConfidence() == (int) row[4]
                && rip.getTestCrc32() == null && rip.getCrc32().equals(String.format("%08X", crc.getValue()))
                && pcm[0].size() == audio.getTrackSamples(2) * DiscAudio.SAMPLE_BYTES,
            "AccurateRip first, " + row[3] + " " + row[4] + ": " + starts[0] + " starts, " + rip);
      }
      audio.setAccurateRipResults(AccurateRipResults.parse(answer(ids, disc, new int[3], 5)));
      TrackRip rip = audio.readTrack(2, new ByteArrayOutputStream());
      check(rip.isSecure() && rip.getConfirmation() == TrackRip.Confirmation.ACCURATERIP,
          "a stream read twice, then confirmed by AccurateRip: " + rip);
    }
  }

  /** Two pressings of the disc, the second's audio 637 samples earlier: both offsets fit. */
  private static void checkTwoPressings(DiscAudio audio, String ids, int offset)
      throws IOException {
    Disc disc = audio.getDisc();
    int[] early = {-637, -637, -637};
    for (int confidence : new int[] {9, 5}) {
      byte[] first = answer(ids, disc, new int[3], confidence);
      byte[] second = answer(ids, disc, early, 5);
      byte[] both = Arrays.copyOf(first, first.length + second.length);
      System.arraycopy(second, 0, both, first.length, second.length);
      AccurateRipResults results = AccurateRipResults.parse(both);
      List<String> found = new ArrayList<>();
      for (AccurateRipResults.OffsetMatch fitting : results.findReadOffsets(audio)) {
        found.add(fitting.getOffset() + "/" + fitting.getConfidence());
      }
      // The more confident first; at equal confidence, the offset nearer 0.
      List<String> wanted = confidence > 5 || Math.abs(offset) < Math.abs(offset - 637)
          ? Arrays.asList(offset + "/" + confidence, (offset - 637) + "/5")
          : Arrays.asList((offset - 637) + "/5", offset + "/" + confidence);
      check(found.equals(wanted) && !results.findReadOffset(audio).isPresent(),
          "two pressings 637 samples apart, confidences " + confidence + " and 5: " + found
              + ", wanted " + wanted + ", and no one offset");
    }
  }

  /** The disc swapped under an open DiscAudio, unseen by it: its next track is refused. */
  private static void checkDiscSwapped() throws IOException, InterruptedException {
    File schedule = new File(System.getenv("FAKE_CDROM_MEDIUM"));
    schedule.getParentFile().mkdirs();
    try {
      String tables = "0 disc " + System.getenv("FAKE_CDROM_TOC") + "\n1 disc 1 2 1950 150 900\n";
      Files.write(schedule.toPath(), tables.getBytes(StandardCharsets.US_ASCII));
      try (DiscAudio audio = DiscAudio.open(drive)) {
        Thread.sleep(1500);
        // Another process reads the drive: the new disc's unit attention is its.
        Process other = new ProcessBuilder(
            new File(System.getProperty("java.home"), "bin/java").getPath(),
            "-Djava.library.path=" + System.getProperty("java.library.path"),
            "-cp", System.getProperty("java.class.path"), "cd.cli.CommandLine", "--drive", drive)
            .redirectErrorStream(true).redirectOutput(new File("/dev/null")).start();
        other.waitFor();
        ByteArrayOutputStream pcm = new ByteArrayOutputStream();
        String failure = thrown(() -> audio.readTrack(1, pcm));
        check(failure.startsWith("NO_DISC: ") && failure.contains("changed") && pcm.size() == 0,
            "a disc swapped under the reading: " + failure);
      }
    } finally {
      new File(schedule.getPath() + ".state").delete();
      schedule.delete();
      schedule.getParentFile().delete();
    }
  }

  private interface Call {
    void run() throws Exception;
  }

  /** What `call` throws: a DiscReadException's reason and message, else its class and
   *  message; empty when it returns. */
  private static String thrown(Call call) {
    try {
      call.run();
      return "";
    } catch (DiscReadException e) {
      return e.getReason() + ": " + e.getMessage();
    } catch (Exception e) {
      return e.getClass().getSimpleName() + ": " + e.getMessage();
    }
  }
}
