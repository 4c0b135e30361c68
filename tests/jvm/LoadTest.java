import cd.Tocmate;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicLong;

/**
 * Many threads call both native methods many thousands of times; every text must be right,
 * and neither the JVM's heap nor the process's resident memory may grow between the first
 * and the last thousand calls.
 *
 * <p>Usage: LoadTest THREADS CALLS EXPECTED-NUMBERS EXPECTED-LENGTHS, with TOCMATE_DRIVE naming
 * the disc. CALLS counts the calls of both methods together.
 */
public final class LoadTest {
  private static final long MEGABYTE = 1024 * 1024;
  // Room for the JIT and the allocator settling; a leak of one record a call is far above.
  private static final long RESIDENT_GROWTH_ALLOWED = 16 * MEGABYTE;
  private static final long HEAP_GROWTH_ALLOWED = 4 * MEGABYTE;

  private static long residentBytes() throws IOException {
    for (String line : Files.readAllLines(Paths.get("/proc/self/status"))) {
      if (line.startsWith("VmRSS:")) {
        return Long.parseLong(line.replaceAll("[^0-9]", "")) * 1024;
      }
    }
    throw new IOException("no VmRSS in /proc/self/status");
  }

  private static long usedHeapBytes() {
    Runtime runtime = Runtime.getRuntime();
    for (int i = 0; i < 3; i++) {
      System.gc();
    }
    return runtime.totalMemory() - runtime.freeMemory();
  }

  public static void main(String[] args) throws Exception {
    int threads = Integer.parseInt(args[0]);
    long calls = Long.parseLong(args[1]);
    String numbers = args[2];
    String lengths = args[3];
    AtomicLong made = new AtomicLong();
    AtomicInteger wrong = new AtomicInteger();
    long[] firstThousand = new long[2];
    long[] lastThousand = new long[2];
    Object measure = new Object();

    List<Thread> workers = new ArrayList<>();
    for (int t = 0; t < threads; t++) {
      Thread worker =
          new Thread(
              () -> {
                for (long call; (call = made.getAndAdd(2)) < calls; ) {
                  if (!Tocmate.getCDDBNumbers().equals(numbers)
                      || !Tocmate.getTrackLengths().equals(lengths)) {
                    wrong.incrementAndGet();
                  }
                  long[] into = call == 1000 ? firstThousand : call == calls - 1000 ? lastThousand : null;
                  if (into != null) {
                    synchronized (measure) {
                      into[0] = usedHeapBytes();
                      try {
                        into[1] = residentBytes();
                      } catch (IOException e) {
                        throw new RuntimeException(e);
                      }
                    }
                  }
                }
              });
      workers.add(worker);
      worker.start();
    }
    for (Thread worker : workers) {
      worker.join();
    }
    long heapGrowth = lastThousand[0] - firstThousand[0];
    long residentGrowth = lastThousand[1] - firstThousand[1];
    System.out.printf(
        "%d calls on %d threads, %d wrong; from call 1000 to call %d the heap grew by %d KiB,"
            + " resident memory by %d KiB%n",
        calls, threads, wrong.get(), calls - 1000, heapGrowth / 1024, residentGrowth / 1024);
    boolean flat = heapGrowth < HEAP_GROWTH_ALLOWED && residentGrowth < RESIDENT_GROWTH_ALLOWED;
    System.exit(wrong.get() == 0 && flat && lastThousand[1] != 0 ? 0 : 1);
  }
}
