import cd.Tocmate;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;

/**
 * Many threads call both native methods at once, over and over; every call must give the
 * disc's texts. Usage: ConcurrentCalls THREADS CALLS-PER-THREAD, with TOCMATE_DRIVE naming the
 * worked example's disc.
 */
public final class ConcurrentCalls {
  private static final String NUMBERS = "11028803 3 150 18000 33765 650";
  private static final String LENGTHS = "3 238 210 200";

  public static void main(String[] args) throws InterruptedException {
    int threads = Integer.parseInt(args[0]);
    int calls = Integer.parseInt(args[1]);
    AtomicInteger wrong = new AtomicInteger();
    List<Thread> workers = new ArrayList<>();
    for (int t = 0; t < threads; t++) {
      Thread worker =
          new Thread(
              () -> {
                for (int i = 0; i < calls; i++) {
                  String numbers = Tocmate.getCDDBNumbers();
                  String lengths = Tocmate.getTrackLengths();
                  if (!numbers.equals(NUMBERS) || !lengths.equals(LENGTHS)) {
                    if (wrong.getAndIncrement() < 5) {
                      System.err.println("wrong: [" + numbers + "] [" + lengths + "]");
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
    int total = threads * calls * 2;
    System.out.println((total - wrong.get() * 2) + " of " + total + " calls right");
    System.exit(wrong.get() == 0 ? 0 : 1);
  }
}
