import cd.AccurateRipResults;
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
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.atomic.AtomicReference;
import java.util.zip.CRC32;
import javax.sound.sampled.AudioFileFormat;
import javax.sound.sampled.AudioSystem;

/**
 * Checks cd.DiscAudio's API in a real JVM, on the fake drive that TOCMATE_DRIVE names (the
 * samples themselves are checked by audio_rips.sh). Prints "ok: ..." or every mismatch;
 * exits with 1 on any.
 *
 * <pre>
 * AudioCheck api DATA-TRACK
 *     Every audio track through openTrack and AudioSystem.write gives the bytes readTrack
 *     writes, with the samples getTrackSamples counts (openTrack's frame length too); the
 *     progress ends at the track's sectors; a rip's text shows offset 0 without a sign;
 *     AccurateRipResults gives each rip the highest confidence of the pressings with its v1
 *     or v2 in a dBAR answer made here, none from a pressing of fewer tracks; the data track,
 *     a missing track, an offset beyond 100 sectors (not one of 100), a dBAR header of no track
 *     and a closed DiscAudio are refused, and so is a table-of-contents file; while the
 *     DiscAudio is open, Disc.read and another DiscAudio.open wait for the drive (interrupted,
 *     they say so), and once it is closed, on another thread, they read.
 * AudioCheck long
 *     Track 1 (twenty minutes) streams through a small heap, its CRC-32 that of zlib.
 * AudioCheck gone TRACK
 *     The disc goes away during TRACK: NO_DISC, whole sectors written until then.
 * </pre>
 */
public final class AudioCheck {
  private static final List<String> problems = new ArrayList<>();
  private static final String drive = System.getenv("TOCMATE_DRIVE");

  public static void main(String[] args) throws Exception {
    if (args.length == 2 && args[0].equals("api")) {
      checkApi(Integer.parseInt(args[1]));
    } else if (args.length == 1 && args[0].equals("long")) {
      checkLongTrack();
    } else if (args.length == 2 && args[0].equals("gone")) {
      checkDiscGone(Integer.parseInt(args[1]));
    } else {
      System.out.println("usage: AudioCheck api DATA-TRACK | long | gone TRACK");
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

  private static void checkApi(int dataTrack) throws Exception {
    DiscAudio audio = DiscAudio.open(drive);
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
        AudioSystem.write(audio.openTrack(number), AudioFileFormat.Type.WAVE, wave);
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
              && rip.toString().contains(", offset 0, burst, 0 sectors read again"),
          "track " + number + ": " + rip);
    }
    checkResults(rips);
    checkRefusals(audio, dataTrack);
    checkHeldDrive(audio);
  }

  /**
   * A dBAR answer of three pressings: the first with every rip's v1, the second its v2, the
   * third of one track, less confident, with the first rip's v1.
   */
  private static void checkResults(List<TrackRip> rips) {
    int tracks = rips.size();
    ByteBuffer answer =
        ByteBuffer.allocate(2 * (13 + 9 * tracks) + 13 + 9).order(ByteOrder.LITTLE_ENDIAN);
    for (int pressing = 0; pressing < 2; pressing++) {
      answer.put((byte) tracks).putInt(0x0002189a).putInt(0x00087f33).putInt(0x1f02e004);
      for (int i = 0; i < tracks; i++) {
        TrackRip rip = rips.get(i);
        String crc = pressing == 0 ? rip.getAccurateRipV1() : rip.getAccurateRipV2();
        // Track 2 of the second pressing matches nothing.
        int value = pressing == 1 && i == 1 ? 0x12345678 : (int) Long.parseLong(crc, 16);
        answer.put((byte) (10 * pressing + i + 1)).putInt(value).putInt(0);
      }
    }
    answer.put((byte) 1).putInt(0x0002189a).putInt(0x00087f33).putInt(0x1f02e004);
    answer.put((byte) 7).putInt((int) Long.parseLong(rips.get(0).getAccurateRipV1(), 16)).putInt(0);
    AccurateRipResults results = AccurateRipResults.parse(answer.array());
    int[] got = new int[tracks];
    for (int i = 0; i < tracks; i++) {
      got[i] = results.confidence(rips.get(i));
    }
    int[] wanted = {11, 2, 13};
    check(Arrays.equals(got, Arrays.copyOf(wanted, tracks))
            && results.getPressings().get(1).getDiscId2() == 0x00087f33,
        "AccurateRip confidences " + Arrays.toString(got));
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
  private static void checkHeldDrive(DiscAudio audio) throws Exception {
    check(waitOnce(() -> Disc.read(drive)).equals("INTERRUPTED"), "Disc.read waits for the drive");
    check(waitOnce(() -> DiscAudio.open(drive).close()).equals("INTERRUPTED"),
        "a second DiscAudio waits for the drive");
    Thread closer = new Thread(audio::close);
    closer.start();
    closer.join();
    check(thrown(() -> audio.openTrack(1)).startsWith("IllegalStateException"),
        "a closed DiscAudio reads nothing");
    long start = System.nanoTime();
    check(thrown(() -> Disc.read(drive)).isEmpty() && System.nanoTime() - start < 5_000_000_000L,
        "closed on another thread, the drive is free");
    check(thrown(() -> DiscAudio.open(drive).close()).isEmpty(), "and opens again");
    String toc = System.getenv("FAKE_CDROM_DISC");
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
