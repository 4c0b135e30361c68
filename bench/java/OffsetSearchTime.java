import cd.AccurateRipResults;
import cd.DiscAudio;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Arrays;

/**
 * The drive's read offset found from an AccurateRip answer, against reading track 1 once, what
 * a search costs for each candidate offset when it reads the track at each: medians of RUNS
 * runs in milliseconds, and the sectors each reads (the fake drive's FAKE_CDROM_READ_COUNTS
 * file), on the drive TOCMATE_DRIVE names. Prints "search MS SECTORS OFFSET track MS
 * SECTORS". Usage: OffsetSearchTime ANSWER RUNS
 */
public final class OffsetSearchTime {
  public static void main(String[] args) throws Exception {
    AccurateRipResults results = AccurateRipResults.parse(Files.readAllBytes(Paths.get(args[0])));
    int runs = Integer.parseInt(args[1]);
    long[] search = new long[runs];
    long[] track = new long[runs];
    long searchSectors = 0;
    long trackSectors = 0;
    int offset = 0;
    OutputStream nowhere = new OutputStream() {
      @Override
      public void write(int b) {}

      @Override
      public void write(byte[] b, int off, int len) {}
    };
    try (DiscAudio audio = DiscAudio.open(System.getenv("TOCMATE_DRIVE"))) {
      audio.readTrack(1, nowhere);  // the JVM warmed
      for (int run = 0; run < runs; run++) {
        long before = discReads();
        long start = System.nanoTime();
        offset = results.findReadOffset(audio).get().getOffset();
        search[run] = System.nanoTime() - start;
        searchSectors = discReads() - before;
        before = discReads();
        start = System.nanoTime();
        audio.readTrack(1, nowhere);
        track[run] = System.nanoTime() - start;
        trackSectors = discReads() - before;
      }
    }
    System.out.printf("search %.3f %d %d track %.3f %d%n", median(search), searchSectors, offset,
        median(track), trackSectors);
  }

  private static long discReads() throws Exception {
    String counts = new String(Files.readAllBytes(Paths.get(System.getenv("FAKE_CDROM_READ_COUNTS"))));
    return Long.parseLong(counts.split(" ")[1]);
  }

  private static double median(long[] nanos) {
    long[] sorted = nanos.clone();
    Arrays.sort(sorted);
    return sorted[sorted.length / 2] / 1e6;
  }
}
