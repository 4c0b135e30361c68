package cd;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileTime;

/**
 * Removes what JVMs that ended too early (killed) left in a copy's folder: a copy being
 * written ({@code .<file>-<n>.part}) or the second name of one being opened
 * ({@code .<file>-<n>.open}). Only in a folder that no other user can change (checked before),
 * only those names, only this user's regular files (never a link's target, and nothing is
 * opened, so nothing can make it wait) and only ones untouched for a minute, which a JVM still
 * writing or opening them would not leave. It is a courtesy: whatever fails, loading goes on.
 */
final class LeftoverCopies {
  private static final long MINIMUM_AGE_MILLIS = 60_000;

  private LeftoverCopies() {}

  /** Removes what is left among the names of entries in the folder. */
  static void remove(Path folder, String[] names, String fileName, SafeFolders user) {
    String prefix = "." + fileName + "-";
    for (String name : names) {
      if (name.startsWith(prefix)
          && (name.endsWith(CachedCopy.PART) || name.endsWith(CachedCopy.OPENED))) {
        removeIfLeft(folder.resolve(name), user);
      }
    }
  }

  private static void removeIfLeft(Path entry, SafeFolders user) {
    try {
      BasicFileAttributes attributes =
          Files.readAttributes(entry, BasicFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
      if (attributes.isRegularFile() && user.owns(entry)
          && System.currentTimeMillis() - lastChange(entry, attributes) >= MINIMUM_AGE_MILLIS) {
        Files.delete(entry);
      }
    } catch (IOException | RuntimeException e) {
      // Removed by another JVM meanwhile, or not ours to remove.
    }
  }

  /**
   * When the entry last changed. A second name made for a file (a hard link) has the file's
   * modification time, however old: on POSIX systems its status change, which making the name
   * sets, counts too.
   */
  private static long lastChange(Path entry, BasicFileAttributes attributes) throws IOException {
    long modified = attributes.lastModifiedTime().toMillis();
    if (!SafeFolders.POSIX || !entry.getFileName().toString().endsWith(CachedCopy.OPENED)) {
      return modified;
    }
    FileTime changed =
        (FileTime) Files.getAttribute(entry, "unix:ctime", LinkOption.NOFOLLOW_LINKS);
    return Math.max(modified, changed.toMillis());
  }
}
