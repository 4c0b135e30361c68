package cd;

import java.io.Closeable;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/**
 * A CD drive of this machine, with the names it gives itself.
 *
 * <pre>{@code
 * for (CdDrive drive : CdDrive.list()) {
 *   Disc disc = Disc.read(drive.getName());
 * }
 * }</pre>
 */
public final class CdDrive {
  static {
    NativeLibrary.loadTocmate();
  }

  private final String name;
  private final String vendor;
  private final String model;
  private final String revision;

  private CdDrive(String name, String vendor, String model, String revision) {
    this.name = name;
    this.vendor = vendor;
    this.model = model;
    this.revision = revision;
  }

  /**
   * The machine's CD drives, in the system's order (on Linux by number: sr2 before sr10; the
   * first is the one {@link Disc#read()} reads where there is no {@code /dev/cdrom}); an empty
   * list when there is none. Listing opens no drive for long and spins none up; a drive whose
   * names can not be read is listed with empty names. The list is unmodifiable.
   *
   * @return the drives, in the system's order; empty when it has none
   */
  public static List<CdDrive> list() {
    String[] names = listDrives();
    List<CdDrive> drives = new ArrayList<>(names.length / 4);
    for (int i = 0; i + 3 < names.length; i += 4) {
      drives.add(new CdDrive(names[i], names[i + 1], names[i + 2], names[i + 3]));
    }
    return Collections.unmodifiableList(drives);
  }

  // Four strings a drive: name, vendor, model, revision; bytes other than printable ASCII
  // escaped as \xNN.
  private static native String[] listDrives();

  /**
   * Watches a drive: tells the listener of a disc already in it, then of every disc put in
   * and taken out, each once, until the watch is closed. The watch asks the drive about once
   * a second, with commands that spin no disc up (one or two a poll; the table of contents
   * is read once a disc), and holds the drive only for those commands: a {@link Disc#read}
   * beside it waits no longer than they take. While another user of this process keeps the
   * drive (an audio stream), the watch skips its polls and reports nothing.
   *
   * <p>The listener is called from the watch's thread, a daemon thread of its own, one call
   * at a time in the order of the changes; an exception it throws goes to that thread's
   * uncaught exception handler and the watch goes on.
   *
   * <pre>{@code
   * Closeable watch = CdDrive.watch("/dev/sr0", new DiscListener() {
   *   public void discInserted(Disc disc) { rip(disc); }
   *   public void discRemoved(String drive) { stopRipping(); }
   * });
   * ...
   * watch.close();
   * }</pre>
   *
   * @param drive as {@link Disc#read(String)} takes it, a drive and not a table-of-contents
   *     file; empty: the system's first CD drive
   * @param listener told of each disc inserted and removed, on the watch's own thread
   * @return the watch; closing it ends the watch within a poll
   * @throws DiscReadException when the drive does not exist or may not be opened
   * @throws NullPointerException when drive or listener is null
   */
  public static Closeable watch(String drive, DiscListener listener) throws DiscReadException {
    Objects.requireNonNull(drive, "drive");
    Objects.requireNonNull(listener, "listener");
    DriveWatch watch = new DriveWatch(drive, listener);
    watch.start();
    return watch;
  }

  /**
   * Ejects the drive's disc, or opens its empty tray. A watch of the drive reports the disc
   * removed.
   *
   * @param drive as {@link Disc#read(String)} takes it; empty: the system's first CD drive
   * @throws DiscReadException when the drive can not eject: {@code TRAY_LOCKED} when a
   *     program keeps its tray locked, {@code UNSUPPORTED} when it has no such motor, or as
   *     {@link Disc#read(String)} for a drive that does not exist or may not be used
   */
  public static void eject(String drive) throws DiscReadException {
    moveTray(Objects.requireNonNull(drive, "drive"), true);
  }

  /**
   * Closes the drive's tray. A disc in it is then reported by a watch of the drive when it
   * is ready.
   *
   * @param drive as {@link Disc#read(String)} takes it; empty: the system's first CD drive
   * @throws DiscReadException when the tray can not be closed: {@code UNSUPPORTED} for a
   *     drive that does not close its tray by itself (a slot-loading or manual drive), or as
   *     {@link #eject(String)}
   */
  public static void closeTray(String drive) throws DiscReadException {
    moveTray(Objects.requireNonNull(drive, "drive"), false);
  }

  private static native void moveTray(String drive, boolean eject) throws DiscReadException;

  /**
   * What {@link Disc#read(String)} takes: {@code /dev/sr0} on Linux, {@code D:} on Windows.
   *
   * @return the drive's name
   */
  public String getName() {
    return name;
  }

  /**
   * The vendor the drive reports, such as {@code "HL-DT-ST"}; may be empty.
   *
   * @return the vendor, or an empty text
   */
  public String getVendor() {
    return vendor;
  }

  /**
   * The drive's model as it reports it; may be empty.
   *
   * @return the model, or an empty text
   */
  public String getModel() {
    return model;
  }

  /**
   * The drive's firmware revision; may be empty.
   *
   * @return the firmware revision, or an empty text
   */
  public String getRevision() {
    return revision;
  }

  @Override
  public boolean equals(Object other) {
    if (!(other instanceof CdDrive)) {
      return false;
    }
    CdDrive drive = (CdDrive) other;
    return name.equals(drive.name) && vendor.equals(drive.vendor) && model.equals(drive.model)
        && revision.equals(drive.revision);
  }

  @Override
  public int hashCode() {
    return Objects.hash(name, vendor, model, revision);
  }

  @Override
  public String toString() {
    return "CdDrive[" + name + ", " + vendor + " " + model + " " + revision + "]";
  }
}
