package cd;

/**
 * Reads the table of contents of the audio CD in the computer's drive.
 *
 * <p>Both methods return " " (one space) when no table of contents can be read; the reason
 * has then been written to standard error by the native library. The library is loaded on
 * first use: the file that the tocmate.library.path property names, else the one on
 * java.library.path, else this jar's copy. Calls are served one at a time, and a call gives
 * up with " " after waiting 30 seconds for another, or at once when its thread is interrupted
 * while it waits (the thread stays interrupted).
 */
public final class Tocmate {
  /** The text both methods return when no disc could be read. */
  public static final String NO_DISC = " ";

  static {
    NativeLibrary.loadTocmate();
  }

  private Tocmate() {}

  /**
   * The disc's CDDB identifier (eight hexadecimal digits), the track count, every track's
   * start in frames (1/75 s) and the disc's length in seconds, separated by spaces.
   *
   * @return the CDDB numbers, or {@link #NO_DISC} when no table of contents can be read
   */
  public static native String getCDDBNumbers();

  /**
   * The track count and every track's length in whole seconds, separated by spaces.
   *
   * @return the track lengths, or {@link #NO_DISC} when no table of contents can be read
   */
  public static native String getTrackLengths();

  /**
   * Both texts from one reading of the drive, a line feed between them: the CDDB numbers,
   * then the track lengths. A drive that becomes ready, or loses its disc, between two calls
   * of the methods above could pair one disc's numbers with another state's lengths; this
   * call can not.
   *
   * @return the two texts, or {@link #NO_DISC} when no table of contents can be read
   */
  public static native String getBothTexts();

  /**
   * The same two texts, made by the same code, for a disc read by {@link Disc#read(String)}:
   * a table-of-contents file, a CUE sheet or a drive read with extras.
   *
   * @param disc the disc
   * @return the CDDB numbers, a line feed, the track lengths
   */
  public static String getBothTexts(Disc disc) {
    int[] table = new int[3 + disc.getTracks().size()];
    table[0] = disc.getFirstTrack();
    table[1] = disc.getLastTrack();
    table[2] = disc.getLeadOut();
    for (int i = 0; i < disc.getTracks().size(); i++) {
      table[3 + i] = disc.getTracks().get(i).getStart();
    }
    return bothTextsOf(table);
  }

  /** The two texts of a table: first track, last track, lead-out, every track's start. */
  private static native String bothTextsOf(int[] table);

  /**
   * The command line: {@code java -cp tocmate-<version>.jar cd.Tocmate --help} tells what it
   * does.
   *
   * @param args the options; {@code --help} lists them
   */
  public static void main(String[] args) {
    cd.cli.CommandLine.main(args);
  }
}
