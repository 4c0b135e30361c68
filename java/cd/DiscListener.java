package cd;

import java.util.EventListener;

/**
 * What a watch of a drive ({@link CdDrive#watch(String, DiscListener)}) tells: each disc that
 * arrives, once, when its table of contents can be read; each that leaves, once. A disc still
 * spinning up is waited for and reported when it is ready, never as a failure.
 *
 * <p>The methods are called from the watch's own thread, one at a time, in the order of the
 * changes. An exception thrown by one goes to that thread's uncaught exception handler; the
 * watch goes on.
 */
public interface DiscListener extends EventListener {
  /**
   * A disc is in the drive and its table of contents was read: a disc already in the drive
   * when the watch started, one put in, or one that was ejected and loaded again.
   *
   * @param disc the disc, read
   */
  void discInserted(Disc disc);

  /**
   * The disc last reported (inserted or unreadable) has left the drive, or its tray was opened.
   *
   * @param drive the drive, as the system names it (as {@link DiscReadException#getDrive()})
   */
  void discRemoved(String drive);

  /**
   * A disc is in the drive and stays unreadable (a data disc the drive can not read, a
   * damaged one): reported once, after a few tries; its removal is reported as any other.
   * Ignored unless overridden.
   *
   * @param e why the disc could not be read
   */
  default void discUnreadable(DiscReadException e) {}
}
