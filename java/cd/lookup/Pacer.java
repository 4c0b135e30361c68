package cd.lookup;

import java.util.concurrent.Semaphore;

/**
 * Spaces a service's requests out across the threads of a process: one at a time, each sent
 * at least an interval after the answer to the one before began to arrive, so that the
 * service sees them that far apart however long connecting takes. A thread waits for another
 * one's request at most that request's deadline.
 */
final class Pacer {
  private final long intervalNanos;
  private final Semaphore turn = new Semaphore(1, true);
  // When the last request was answered; read and written by the thread holding the turn.
  private long lastAnswered;
  private boolean asked;

  Pacer(long intervalMillis) {
    this.intervalNanos = intervalMillis * 1_000_000L;
  }

  /** Waits for this request's turn; {@link #answered()} must follow. */
  void await() throws LookupException {
    try {
      turn.acquire();
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
      throw new LookupException("a request", "interrupted while waiting for its turn");
    }
    for (long left; asked && (left = lastAnswered + intervalNanos - System.nanoTime()) > 0; ) {
      try {
        Thread.sleep(left / 1_000_000L, (int) (left % 1_000_000L));
      } catch (InterruptedException e) {
        turn.release();
        Thread.currentThread().interrupt();
        throw new LookupException("a request", "interrupted while waiting for its turn");
      }
    }
  }

  /** The request's answer has begun, or it failed: the next one may wait its interval. */
  void answered() {
    lastAnswered = System.nanoTime();
    asked = true;
    turn.release();
  }
}
