import cd.DiscAudio;
import java.io.OutputStream;
import java.util.Arrays;

/**
 * How long DiscAudio takes to read a track in burst mode, timed inside the JVM: the track is
 * read once first (the JVM warmed, the drive spun), then RUNS times. Prints the median in
 * milliseconds, then each run's. Usage: AudioReadTime DRIVE TRACK RUNS
 */
public final class AudioReadTime {
  public static void main(String[] args) throws Exception {
    int track = Integer.parseInt(args[1]);
    long[] millis = new long[Integer.parseInt(args[2])];
    OutputStream nowhere = new OutputStream() {
      @Override
      public void write(int b) {}

      @Override
      public void write(byte[] b, int off, int len) {}
    };
    try (DiscAudio audio = DiscAudio.open(args[0])) {
      audio.readTrack(track, nowhere);
      for (int run = 0; run < millis.length; run++) {
        long start = System.nanoTime();
        audio.readTrack(track, nowhere);
        millis[run] = (System.nanoTime() - start) / 1_000_000;
      }
    }
    long[] sorted = millis.clone();
    Arrays.sort(sorted);
    System.out.println(sorted[sorted.length / 2] + " " + Arrays.toString(millis));
  }
}
