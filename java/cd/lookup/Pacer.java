package cd.lookup;

/**
 * Spaces requests out: each waits until its turn, at least an interval after the one before,
 * across the threads of the process. The turn is taken under the lock, the wait is outside it.
 */
final class Pacer {
  private final long intervalNanos;
  private long nextTurn = System.nanoTime();

  Pacer(long intervalMillis) {
    this.intervalNanos = intervalMillis * 1_000_000L;
  }

  /** Waits for this request's turn. */
  void await() throws LookupException {
    long turn;
    synchronized (this) {
      turn = Math.max(nextTurn, System.nanoTime());
      nextTurn = turn + intervalNanos;
    }
    for (long left; (left = turn - System.nanoTime()) > 0;) {
      try {
        Thread.sleep(left / 1_000_000L, (int) (left % 1_000_000L));
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
        throw new LookupException("a request", "interrupted while waiting for its turn");
      }
    }
  }
}
