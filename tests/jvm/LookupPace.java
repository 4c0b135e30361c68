import cd.Disc;
import cd.lookup.DiscLookup;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicBoolean;

/**
 * Usage: LookupPace DISC THREADS. Looks the disc up on MusicBrainz from that many threads at
 * once; each must find the stand-in's two releases. The stand-in's log holds the requests'
 * times, which the script checks.
 */
public final class LookupPace {
  private LookupPace() {}

  public static void main(String[] args) throws Exception {
    Disc disc = Disc.read(args[0]);
    AtomicBoolean failed = new AtomicBoolean();
    List<Thread> threads = new ArrayList<>();
    for (int i = 0; i < Integer.parseInt(args[1]); i++) {
      Thread thread = new Thread(() -> {
        try {
          if (DiscLookup.musicBrainz(disc).size() != 2) {
            failed.set(true);
          }
        } catch (Exception e) {
          System.err.println(e);
          failed.set(true);
        }
      });
      thread.start();
      threads.add(thread);
    }
    for (Thread thread : threads) {
      thread.join();
    }
    System.exit(failed.get() ? 1 : 0);
  }
}
