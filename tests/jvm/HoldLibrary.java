import cd.Tocmate;

/** Loads the library, says so, and keeps running until its standard input closes. */
public final class HoldLibrary {
  public static void main(String[] args) throws Exception {
    System.out.println(Tocmate.getCDDBNumbers().equals(Tocmate.NO_DISC) ? "no disc" : "loaded");
    System.out.flush();
    while (System.in.read() != -1) {
      // Waits.
    }
  }
}
