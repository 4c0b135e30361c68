package cd;

import java.io.IOException;

/**
 * Thrown when {@link Disc#read(String)} can not read a disc's table of contents, and when a
 * drive can not be watched or its tray moved ({@link CdDrive}). The message
 * says what went wrong, where, and, where it helps, what to do: for example
 * {@code "/dev/sr0: Permission denied; the user needs read access to it, for example as a
 * member of its group 'cdrom'"} or {@code "disc.toc line 2: 'x' is not a number of frames"}.
 * {@link #getReason()} tells the cause apart for a program; {@link #getDrive()} names the
 * drive or file.
 *
 * <p>Bytes that came from outside the program (a path, a file's contents) appear in the
 * message and the drive escaped: every control character, DEL and every byte outside
 * printable ASCII is written as {@code \xNN}, so that printing them is always safe.
 */
public final class DiscReadException extends IOException {
  private static final long serialVersionUID = 1L;

  /** Why a disc could not be read. */
  public enum Reason {
    /**
     * There is no such drive: no CD drive in the system, a path that does not exist or is
     * neither a CD drive nor a table-of-contents file, a drive letter that is not a CD drive, a
     * file a CUE sheet names that does not exist.
     */
    NO_DRIVE,
    /**
     * The drive or file exists but this user may not read it. On Linux, read access to a
     * drive's device node usually comes with membership of its group ({@code cdrom} on
     * Debian).
     */
    NO_ACCESS,
    /** The drive holds no disc, or its tray is open. */
    NO_DISC,
    /** The drive is becoming ready or is busy: trying again in a moment may succeed. */
    NOT_READY,
    /** The drive or file failed while being read (an input/output error). */
    READ_FAILED,
    /**
     * What was read is no valid table of contents: a malformed table-of-contents file, or a
     * drive reporting impossible tracks.
     */
    BAD_TABLE_OF_CONTENTS,
    /**
     * The thread was interrupted while it waited for the drive, which another call was using.
     * Its interrupt status stays set.
     */
    INTERRUPTED,
    /** The tray can not be opened: a program keeps it locked. */
    TRAY_LOCKED,
    /**
     * The drive can not do what was asked: a slot-loading or manual drive does not close its
     * tray, a drive without a motor does not eject, a drive reads no Q sub-channel
     * ({@link DiscAudio#readLayout()}).
     */
    UNSUPPORTED
  }

  /** Why the read failed: never null. */
  private final Reason reason;
  /** The drive the read was of, as it was given. */
  private final String drive;

  DiscReadException(Reason reason, String drive, String message) {
    super(message);
    this.reason = reason;
    this.drive = drive;
  }

  /**
   * Why the disc could not be read; never null.
   *
   * @return why the read failed
   */
  public Reason getReason() {
    return reason;
  }

  /**
   * The drive or file that was read, as the system names it: the device node or file on
   * Linux ({@code "/dev/sr0"}, also when {@link Disc#read()} chose it), the drive letter on
   * Windows ({@code "D:"}), or the name as given when it names no drive. Empty when
   * {@link Disc#read()} found no CD drive at all. Never null.
   *
   * @return the drive or file, or empty when there was none
   */
  public String getDrive() {
    return drive;
  }
}
