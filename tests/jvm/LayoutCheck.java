import cd.DiscAudio;
import cd.DiscLayout;
import cd.RipLog;
import cd.TrackRip;
import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.zip.CRC32;

/**
 * Checks DiscAudio.readLayout, readHiddenTrack and RipLog in a real JVM, on the fake drive
 * that TOCMATE_DRIVE names holding tests/discs/audio/hidden-track.toc with the layout
 * "pregap 2 150 index 2 1800 emphasis 1 both emphasis 3 q": the layout exactly; the hidden
 * track's bytes the fake drive's samples (p * 2654435761 + 12345 at position p), with zlib's
 * CRC-32 and no AccurateRip checksums; a rip log that verifies, and that no longer does once
 * any one of its characters is changed. Prints every mismatch; exits with 1 on any.
 */
public final class LayoutCheck {
  private static final List<String> problems = new ArrayList<>();

  public static void main(String[] args) throws Exception {
    try (DiscAudio audio = DiscAudio.open(System.getenv("TOCMATE_DRIVE"))) {
      DiscLayout layout = audio.readLayout();
      check(layout.isComplete(), "the layout is complete");
      check(layout.getHiddenTrackLength() == 450 && layout.hasHiddenAudio(),
          "a hidden track of 450 sectors with audio: " + layout);
      String[] tracks = {
        "track 1 pregap 150 450 indexes pre-emphasis BOTH",
        "track 2 pregap 1350 150 indexes 1800 pre-emphasis NONE",
        "track 3 pregap 2200 0 indexes pre-emphasis SUBCHANNEL"
      };
      for (int i = 0; i < tracks.length; i++) {
        check(layout.getTrack(i + 1).toString().equals(tracks[i]),
            "track " + (i + 1) + ": " + layout.getTrack(i + 1) + ", wanted " + tracks[i]);
      }
      check(layout.getTrack(3).hasPreEmphasis() && !layout.getTrack(2).hasPreEmphasis()
          && Arrays.equals(layout.getTrack(2).getIndexes(), new int[] {1800}),
          "the tracks' getters agree with their lines");

      ByteArrayOutputStream hidden = new ByteArrayOutputStream();
      TrackRip rip = audio.readHiddenTrack(hidden);
      byte[] wanted = samples(0, 450);
      check(Arrays.equals(hidden.toByteArray(), wanted), "the hidden track's bytes are the disc's");
      CRC32 crc = new CRC32();
      crc.update(wanted);
      check(rip.getTrackNumber() == 0 && rip.getAccurateRipV1() == null
          && rip.getCrc32().equals(String.format("%08X", crc.getValue())),
          "the hidden track's rip: " + rip);

      RipLog log = new RipLog(audio, null, layout);
      log.addTrack(rip, "track00.wav", RipLog.peakOf(wanted, 0, wanted.length, 0), 1000, null);
      log.addTrack(audio.readTrack(1, new ByteArrayOutputStream()), "track01.wav", 32767, 800, 2);
      String unfinished = log.toString();
      log.finish();
      checkLog(log.toString());
      check(unfinished.contains("\n  Rip incomplete: it did not run to its end")
              && unfinished.contains("\n  There were errors\n")
              && !log.toString().contains("Rip incomplete")
              && log.toString().contains("\n  No errors occurred\n"),
          "the log says the rip is incomplete until it is finished");
    }
    for (String problem : problems) {
      System.out.println(problem);
    }
    System.exit(problems.isEmpty() ? 0 : 1);
  }

  private static void checkLog(String text) {
    check(RipLog.verify(text), "the log verifies:\n" + text);
    check(text.contains("AccurateRip v1: ") && text.contains(", confidence 2")
        && text.contains("Hidden track: 450 sectors, holding audio"), "the log holds the rips");
    int refused = 0;
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      String changed = text.substring(0, i) + (char) (c == 'x' ? 'y' : 'x') + text.substring(i + 1);
      refused += RipLog.verify(changed) ? 0 : 1;
    }
    check(refused == text.length(), (text.length() - refused) + " changed characters go unseen");
  }

  // The fake drive's samples of `count` sectors from block `first`, read offset 0.
  private static byte[] samples(int first, int count) {
    ByteBuffer bytes = ByteBuffer.allocate(count * 2352).order(ByteOrder.LITTLE_ENDIAN);
    for (long p = first * 588L; p < (first + count) * 588L; p++) {
      bytes.putInt((int) (p * 2654435761L + 12345));
    }
    return bytes.array();
  }

  private static void check(boolean holds, String what) {
    if (!holds) {
      problems.add("FAILED " + what);
    }
  }
}
