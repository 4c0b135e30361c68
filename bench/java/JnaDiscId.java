import com.sun.jna.Library;
import com.sun.jna.Native;
import com.sun.jna.Pointer;

/**
 * The same as FirstDiscId through JNA and the system's libdiscid. Usage: JnaDiscId DRIVE
 */
public final class JnaDiscId {
  /** The few functions of libdiscid that a disc ID needs. */
  public interface DiscId extends Library {
    Pointer discid_new();

    int discid_read_sparse(Pointer disc, String device, int features);

    String discid_get_id(Pointer disc);

    String discid_get_error_msg(Pointer disc);

    void discid_free(Pointer disc);
  }

  public static void main(String[] args) {
    long start = System.nanoTime();
    DiscId library = Native.load("libdiscid.so.0", DiscId.class);
    Pointer disc = library.discid_new();
    if (library.discid_read_sparse(disc, args[0], 0) == 0) {
      System.err.println(library.discid_get_error_msg(disc));
      System.exit(1);
    }
    String id = library.discid_get_id(disc);
    library.discid_free(disc);
    System.out.println(id + " " + (System.nanoTime() - start) / 1000);
  }
}
