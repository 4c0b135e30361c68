package cd;

/**
 * Reads the table of contents of the audio CD in the computer's drive.
 *
 * <p>Both methods return " " (one space) when no table of contents can be read; the reason
 * has then been written to standard error by the native library. The library is loaded on
 * first use: from java.library.path when it is there, else from this jar. Calls are served
 * one at a time, and a call gives up with " " after waiting 30 seconds for another.
 */
public final class Tocmate {
  /** The text both methods return when no disc could be read. */
  public static final String NO_DISC = " ";

  private static final String HELP =
      String.join(
          "\n",
          "Usage: java -jar tocmate.jar [--help]",
          "",
          "Reads the table of contents of the audio CD in the drive and prints two lines:",
          "  1. the disc's CDDB identifier (eight hexadecimal digits), the track count, every",
          "     track's start in frames (1/75 s) and the disc's length in seconds: the",
          "     numbers of a CDDB query (\"cddb query\" followed by this line);",
          "  2. the track count and every track's length in whole seconds.",
          "When no disc can be read, both lines hold one space and the reason goes to standard",
          "error.",
          "",
          "On Linux, TOCMATE_DRIVE names the disc: a CD drive's device node (such as /dev/sr0)",
          "or a table-of-contents file (first track, last track, lead-out, then every track's",
          "start, in frames; '#' starts a comment). Without it, the first CD drive is read:",
          "/dev/cdrom, else the first drive in /proc/sys/dev/cdrom/info.",
          "",
          "Exit status: 0 when a disc was read, 1 when not, 2 for a wrong argument.");

  static {
    NativeLibrary.load("Tocmate");
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
    if (args.length > 0) {
      boolean help = args.length == 1 && (args[0].equals("--help") || args[0].equals("-h"));
      (help ? System.out : System.err).println(HELP);
      System.exit(help ? 0 : 2);
    }
    String numbers = getCDDBNumbers();
    String lengths = getTrackLengths();
    System.out.println(numbers);
    System.out.println(lengths);
    System.exit(numbers.equals(NO_DISC) && lengths.equals(NO_DISC) ? 1 : 0);
  }
}
