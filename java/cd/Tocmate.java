package cd;

/**
 * Reads the table of contents of the audio CD in the computer's drive.
 *
 * <p>Both methods return " " (one space) when no table of contents can be read; the reason
 * has then been written to standard error by the native library.
 */
public final class Tocmate {
  /** The text both methods return when no disc could be read. */
  public static final String NO_DISC = " ";

  static {
    System.loadLibrary("Tocmate");
  }

  private Tocmate() {}

  /**
   * The disc's CDDB identifier (eight hexadecimal digits), the track count, every track's
   * start in frames (1/75 s) and the disc's length in seconds, separated by spaces.
   */
  public static native String getCDDBNumbers();

  /** The track count and every track's length in whole seconds, separated by spaces. */
  public static native String getTrackLengths();

  /** Prints both texts, one a line; exits with 1 when no disc could be read. */
  public static void main(String[] args) {
    String numbers = getCDDBNumbers();
    String lengths = getTrackLengths();
    System.out.println(numbers);
    System.out.println(lengths);
    System.exit(numbers.equals(NO_DISC) && lengths.equals(NO_DISC) ? 1 : 0);
  }
}
