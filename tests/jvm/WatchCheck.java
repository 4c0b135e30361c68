import cd.CdDrive;
import cd.Disc;
import cd.DiscListener;
import cd.DiscReadException;
import java.io.Closeable;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * A watch of the fake drive while its medium follows a schedule: every report must be one
 * that is expected, in order, each within two polls of its change; and the steps asked for
 * run at their times. Usage: WatchCheck DRIVE SCHEDULE END STEP..., times in seconds from the
 * schedule file's modification time, steps as:
 *   inserted@T:FREEDB-ID   a disc reported (once) with that freedb ID
 *   removed@T              a removal reported (once)
 *   unreadable@T           a disc reported unreadable (once), within four polls
 *   eject@T, close@T       CdDrive.eject or CdDrive.closeTray
 *   eject-refused@T:REASON, close-refused@T:REASON
 *                          those fail with that DiscReadException reason
 *   reads@T                Disc.read beside the watch for two seconds: none may wait long
 *   read@T                 one Disc.read, however long it takes, whatever it finds
 *   throw@T                the listener fails at its first call after T, with an Error
 *                          (its stack overflows); the watch goes on
 * At END the watch is closed: its thread must end within a poll.
 */
public final class WatchCheck {
  private static final double POLL = 1.0;
  // Two polls, and the time a poll takes on a slow machine.
  private static final double LATE = 2 * POLL + 0.4;
  private static final long LONGEST_READ_MILLIS = 500;

  private static final List<String> failures = Collections.synchronizedList(new ArrayList<>());
  private static final List<String> seen = Collections.synchronizedList(new ArrayList<>());
  private static double origin;
  private static volatile double throwAfter = Double.MAX_VALUE;

  private static double now() {
    return System.currentTimeMillis() / 1000.0 - origin;
  }

  public static void main(String[] args) throws Exception {
    String drive = args[0];
    origin = Files.getLastModifiedTime(Paths.get(args[1])).toMillis() / 1000.0;
    double end = Double.parseDouble(args[2]);
    List<String[]> expected = new ArrayList<>();
    List<String[]> actions = new ArrayList<>();
    for (int i = 3; i < args.length; i++) {
      String[] step = args[i].split("[@:]");
      boolean report = step[0].equals("inserted") || step[0].equals("removed")
          || step[0].equals("unreadable");
      (report ? expected : actions).add(step);
    }
    double started = now();
    Thread main = Thread.currentThread();
    Closeable watch = CdDrive.watch(drive, new DiscListener() {
      @Override
      public void discInserted(Disc disc) {
        note("inserted", disc.getFreedbId());
      }

      @Override
      public void discRemoved(String removed) {
        if (!removed.equals(drive)) {
          failures.add("removed from " + removed + ", not " + drive);
        }
        note("removed", null);
      }

      @Override
      public void discUnreadable(DiscReadException e) {
        note("unreadable", e.getReason() + " " + e.getMessage());
      }
    });
    for (String[] action : actions) {
      double at = Double.parseDouble(action[1]);
      sleepUntil(at);
      switch (action[0]) {
        case "eject":
          CdDrive.eject(drive);
          break;
        case "close":
          CdDrive.closeTray(drive);
          break;
        case "reads":
          readBeside(drive, at + 2);
          break;
        case "read":
          try {
            Disc.read(drive);
          } catch (DiscReadException e) {
            // The disc may leave while it is read: the reading held the drive all the same.
            System.out.println("read: " + e.getMessage());
          }
          break;
        case "eject-refused":
        case "close-refused":
          expectRefusal(drive, action[0].startsWith("eject"), action[2]);
          break;
        case "throw":
          throwAfter = at;
          break;
        default:
          throw new IllegalArgumentException(action[0]);
      }
    }
    sleepUntil(end);
    Thread watching = watchThread();
    long closing = System.nanoTime();
    watch.close();
    int reportsAtClose = seen.size();
    watching.join(1200);
    if (watching.isAlive()) {
      failures.add("the watch's thread still runs " + (System.nanoTime() - closing) / 1000000
          + " ms after close()");
    } else {
      System.out.println("the watch's thread ended " + (System.nanoTime() - closing) / 1000000
          + " ms after close()");
    }
    if (!watching.isDaemon()) {
      failures.add("the watch's thread would hold up the JVM's exit");
    }
    if (seen.size() != reportsAtClose) {
      failures.add("a report after close()");
    }
    compare(expected, started);
    for (String line : seen) {
      System.out.println(line);
    }
    for (String failure : failures) {
      System.out.println("FAILED: " + failure);
    }
    System.exit(failures.isEmpty() ? 0 : 1);
  }

  private static void note(String what, String detail) {
    double at = now();
    seen.add(String.format("%.2f %s%s", at, what, detail == null ? "" : " " + detail));
    if (at >= throwAfter) {
      throwAfter = Double.MAX_VALUE;
      overflow(0);
    }
  }

  private static int overflow(int depth) {
    return overflow(depth + 1) + 1;
  }

  private static void compare(List<String[]> expected, double started) {
    if (seen.size() != expected.size()) {
      failures.add(expected.size() + " reports expected, " + seen.size() + " seen");
    }
    for (int i = 0; i < Math.min(seen.size(), expected.size()); i++) {
      String[] step = expected.get(i);
      String[] report = seen.get(i).split(" ");
      double at = Double.parseDouble(report[0]);
      double due = Math.max(Double.parseDouble(step[1]), started);
      double late = step[0].equals("unreadable") ? 4 * POLL + 0.4 : LATE;
      if (!report[1].equals(step[0])) {
        failures.add("report " + (i + 1) + ": " + report[1] + " where " + step[0] + " was due");
      } else if (step.length > 2 && !report[2].equalsIgnoreCase(step[2])) {
        failures.add("report " + (i + 1) + ": disc " + report[2] + ", not " + step[2]);
      }
      if (at < due - 0.05 || at > due + late) {
        failures.add(String.format("report %d at %.2f s, due from %.2f s", i + 1, at, due));
      }
    }
  }

  private static void expectRefusal(String drive, boolean eject, String reason) {
    try {
      if (eject) {
        CdDrive.eject(drive);
      } else {
        CdDrive.closeTray(drive);
      }
      failures.add((eject ? "eject" : "close") + " succeeded where " + reason + " was due");
    } catch (DiscReadException e) {
      System.out.println((eject ? "eject: " : "close: ") + e.getReason() + ": " + e.getMessage());
      if (!e.getReason().name().equals(reason)) {
        failures.add((eject ? "eject: " : "close: ") + e.getReason() + " where " + reason
            + " was due");
      }
    }
  }

  private static void readBeside(String drive, double until)
      throws DiscReadException, InterruptedException {
    long longest = 0;
    while (now() < until) {
      long start = System.nanoTime();
      Disc.read(drive);
      longest = Math.max(longest, (System.nanoTime() - start) / 1000000);
      sleepUntil(now() + 0.05);
    }
    System.out.println("longest Disc.read beside the watch: " + longest + " ms");
    if (longest > LONGEST_READ_MILLIS) {
      failures.add("a Disc.read beside the watch took " + longest + " ms");
    }
  }

  private static Thread watchThread() {
    for (Thread thread : Thread.getAllStackTraces().keySet()) {
      if (thread.getName().startsWith("Tocmate watch")) {
        return thread;
      }
    }
    throw new IllegalStateException("no watch thread");
  }

  private static void sleepUntil(double at) throws InterruptedException {
    double left = at - now();
    if (left > 0) {
      Thread.sleep((long) (left * 1000));
    }
  }
}
