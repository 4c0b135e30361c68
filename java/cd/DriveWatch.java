package cd;

import java.io.Closeable;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.locks.LockSupport;

/**
 * A watch of one drive: a daemon thread that polls the drive about once a second and tells
 * its listener of each change. The native side holds the drive open and keeps the state
 * that makes each change one report; this side keeps the time and calls the listener.
 */
final class DriveWatch implements Closeable {
  static {
    NativeLibrary.loadTocmate();
  }

  static final long POLL_INTERVAL_NANOS = TimeUnit.SECONDS.toNanos(1);

  private final DiscListener listener;
  private final long handle;
  private final String drive;
  private final Thread thread;
  private volatile boolean closed;

  DriveWatch(String drive, DiscListener listener) throws DiscReadException {
    this.listener = listener;
    handle = open(drive);
    try {
      this.drive = name(handle);
      thread = new Thread(this::run, "Tocmate watch of " + this.drive);
    } catch (RuntimeException | Error e) {
      release(handle);
      throw e;
    }
    // A watch never keeps the JVM from ending.
    thread.setDaemon(true);
  }

  /** Starts the polls; the first at once, which reports a disc already in the drive. */
  void start() {
    thread.start();
  }

  /** The drive as the system names it, escaped. */
  String drive() {
    return drive;
  }

  /**
   * Ends the watch: the listener is not called again once its thread has seen this, within a
   * poll (at once where it is waiting for the next). Closing again does nothing.
   */
  @Override
  public void close() {
    closed = true;
    LockSupport.unpark(thread);
  }

  @Override
  public String toString() {
    return "DriveWatch[" + drive + (closed ? ", closed]" : "]");
  }

  private void run() {
    try {
      long nextPoll = System.nanoTime();
      while (!closed) {
        Object[] report = poll(handle);
        if (report != null) {
          tell(report);
        }
        nextPoll += POLL_INTERVAL_NANOS;
        long now = System.nanoTime();
        if (nextPoll - now < 0) {
          // A poll or a listener took longer than the interval: a full interval from now,
          // never a burst of polls to catch up.
          nextPoll = now + POLL_INTERVAL_NANOS;
        }
        // An interrupt is no way to end a watch (close is): cleared, it would end every wait
        // at once.
        Thread.interrupted();
        for (long left = nextPoll - now; !closed && left > 0; left = nextPoll - System.nanoTime()) {
          LockSupport.parkNanos(this, left);
        }
      }
    } finally {
      release(handle);
    }
  }

  // In the order the changes happened: the disc that left, the one that came, an
  // unreadable one.
  private void tell(Object[] report) {
    if (report[0] != null && !closed) {
      String removed = (String) report[0];
      call(() -> listener.discRemoved(removed));
    }
    if (report[1] != null && !closed) {
      Disc disc = Disc.ofTable((int[]) report[1], drive);
      call(() -> listener.discInserted(disc));
    }
    if (report[2] != null && !closed) {
      String[] failure = (String[]) report[2];
      DiscReadException problem =
          new DiscReadException(DiscReadException.Reason.valueOf(failure[0]), failure[1],
              failure[2]);
      call(() -> listener.discUnreadable(problem));
    }
  }

  private void call(Runnable listenerCall) {
    try {
      listenerCall.run();
    } catch (Throwable e) {
      // The listener's own failure, even an Error (its deep recursion, its memory): its
      // thread's handler hears of it, and the watch goes on, its stack unwound.
      try {
        thread.getUncaughtExceptionHandler().uncaughtException(thread, e);
      } catch (Throwable handlerFailure) {
        // A handler that fails too has no one left to tell.
      }
    }
  }

  /** Opens the drive for watching; the handle of the native watch. */
  private static native long open(String drive) throws DiscReadException;

  /** The drive's name as the system gives it, escaped. */
  private static native String name(long handle);

  /**
   * One poll: null when nothing changed or the drive was busy, else {the drive's name when
   * its disc left or null, the table of the disc that arrived (as Disc's) or null, {reason,
   * drive, message} of a disc that stays unreadable or null}.
   */
  private static native Object[] poll(long handle);

  /** Closes the drive and frees the native watch. */
  private static native void release(long handle);
}
