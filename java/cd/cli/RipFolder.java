package cd.cli;

import cd.Printable;
import cd.RipLog;
import java.io.File;
import java.io.IOException;
import java.util.regex.Pattern;

/**
 * The folder a rip writes into. One that holds a rip already is refused, unless the rip is to
 * replace it: then its log and sheet go before anything is read, so that no earlier log stays
 * to describe files a failed or interrupted rip replaced. The rip's own log is written before
 * its first track and again after each file, so that what the folder holds is always what its
 * log says, a rip that stopped included.
 */
final class RipFolder {
  static final String LOG = "rip.log";
  static final String SHEET = "disc.cue";
  // What a rip writes: its log, its sheet, and its tracks' or the disc's audio files.
  private static final Pattern RIP_FILE =
      Pattern.compile("rip\\.log|disc\\.cue|(track\\d\\d|disc)\\.(wav|flac)");

  private final File folder;

  private RipFolder(File folder) {
    this.folder = folder;
  }

  /**
   * Refuses a folder that holds a rip, unless `overwrite`; nothing is made or removed here, so
   * that a wrong argument found later leaves the folder as it was.
   */
  static void checkFree(File folder, boolean overwrite) {
    String[] names = folder.list();
    if (overwrite || names == null) {
      return;
    }
    for (String name : names) {
      if (RIP_FILE.matcher(name).matches()) {
        throw new IllegalArgumentException("the folder " + Printable.escape(folder.getPath())
            + " holds a rip (" + Printable.escape(name) + "): give --overwrite to replace it,"
            + " or another folder");
      }
    }
  }

  /** Makes the folder, and removes an earlier rip's log and sheet. */
  static RipFolder make(File folder) throws IOException {
    if (!folder.isDirectory() && !folder.mkdirs()) {
      throw new IOException(
          "the folder " + Printable.escape(folder.getPath()) + " can not be made");
    }
    for (String name : new String[] {LOG, SHEET}) {
      File earlier = new File(folder, name);
      if (earlier.exists() && !earlier.delete()) {
        throw new IOException("the earlier rip's " + Printable.escape(earlier.getPath())
            + " can not be removed");
      }
    }
    return new RipFolder(folder);
  }

  File file(String name) {
    return new File(folder, name);
  }

  void writeLog(RipLog log) throws IOException {
    RipFiles.writeText(file(LOG), log.toString());
  }

  void writeSheet(String sheet) throws IOException {
    RipFiles.writeText(file(SHEET), sheet);
  }
}
