package cd;

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

  /** What {@link Disc#read(String)} takes: {@code /dev/sr0} on Linux, {@code D:} on Windows. */
  public String getName() {
    return name;
  }

  /** The vendor the drive reports, such as {@code "HL-DT-ST"}; may be empty. */
  public String getVendor() {
    return vendor;
  }

  /** The drive's model as it reports it; may be empty. */
  public String getModel() {
    return model;
  }

  /** The drive's firmware revision; may be empty. */
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
