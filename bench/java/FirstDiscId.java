import cd.Disc;
import java.io.FileInputStream;
import java.io.IOException;

/**
 * A fresh JVM's first disc ID: one Disc.read of the drive and its MusicBrainz ID. Prints the
 * ID, the microseconds from the start of main to the ID, and of those the microseconds the
 * thread ran on a processor (where Linux tells it: what a machine with a core to spare would
 * take). Usage: FirstDiscId DRIVE
 */
public final class FirstDiscId {
  public static void main(String[] args) throws Exception {
    long start = System.nanoTime();
    long startOnCpu = nanosOnCpu();
    String id = Disc.read(args[0]).getMusicBrainzId();
    long onCpu = nanosOnCpu() - startOnCpu;
    long micros = (System.nanoTime() - start) / 1000;
    System.out.println(id + " " + micros + " " + onCpu / 1000);
  }

  // The first number of the thread's schedstat, read with the plainest file API so that
  // measuring loads nothing the loader would.
  private static long nanosOnCpu() throws IOException {
    byte[] text = new byte[64];
    int length;
    try (FileInputStream in = new FileInputStream("/proc/thread-self/schedstat")) {
      length = in.read(text);
    } catch (IOException e) {
      return 0;
    }
    long nanos = 0;
    for (int i = 0; i < length && text[i] >= '0' && text[i] <= '9'; i++) {
      nanos = nanos * 10 + (text[i] - '0');
    }
    return nanos;
  }
}
