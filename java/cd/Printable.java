package cd;

/**
 * The rule by which every text from outside (a path, a drive's name, a library's version, an
 * error's message) is made safe to print on the Java side: only printable ASCII stays as it
 * is. Control characters, DEL, and every other character, Unicode's format and
 * bidirectional controls (such as U+202E, which reverses what follows) and line separators
 * among them, are escaped, so that a message is the one line it claims to be and reads in
 * the order it was written, whatever the console's character set. A backslash, which starts
 * every escape, is escaped too: the four characters {@code \x1b} never print as ESC does.
 */
public final class Printable {
  private Printable() {}

  /**
   * Whether the character prints as itself: printable ASCII.
   *
   * @param c the character
   * @return whether it needs no escape
   */
  public static boolean isPlain(char c) {
    return c >= ' ' && c < 0x7f;
  }

  /**
   * The text with every character that is not plain escaped: below U+0100 as {@code \xNN},
   * as the native library writes bytes, else as a backslash, {@code u} and four hexadecimal
   * digits; a backslash as two. Null gives "null".
   *
   * @param text the text from outside
   * @return the text safe to print on one line
   */
  public static String escape(String text) {
    text = String.valueOf(text);
    StringBuilder escaped = new StringBuilder(text.length());
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c == '\\') {
        escaped.append("\\\\");
      } else if (isPlain(c)) {
        escaped.append(c);
      } else {
        escaped.append(String.format(c < 0x100 ? "\\x%02x" : "\\u%04x", (int) c));
      }
    }
    return escaped.toString();
  }
}
