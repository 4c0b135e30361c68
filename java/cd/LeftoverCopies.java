package cd;

import java.io.IOException;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.SeekableByteChannel;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.NoSuchFileException;
import java.nio.file.OpenOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.SecureDirectoryStream;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributeView;
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.util.Arrays;
import java.util.HashSet;

/**
 * Removes the copies that JVMs which have ended left in the temporary folder (a JVM killed
 * before its exit, or Windows, which keeps a loaded library's file). Only folders made as
 * {@link TemporaryCopy} makes them qualify: this user's, not links, access for this user only,
 * older than a minute, and holding a lock that is a regular file and can be taken. Only the
 * names a copy writes are removed, relative to the opened folder; nothing is followed or
 * waited for. Where the file system cannot open a folder's entries relative to it, or other
 * users could rename entries of the temporary folder (writable by them and not sticky), there
 * is no clean-up. It is a courtesy: whatever fails, loading goes on.
 */
final class LeftoverCopies {
  // A younger copy's JVM may still be about to take its lock.
  private static final long MINIMUM_AGE_MILLIS = 60_000;
  private static final int STICKY = 01000;
  private static final int WRITABLE_BY_OTHERS = 0022;
  private static final Path LOCK = Paths.get(TemporaryCopy.LOCK_NAME);

  private LeftoverCopies() {}

  static void remove(Path parent, TemporaryCopy ours, String libraryName) {
    try {
      UserPrincipal user = ours.owner();
      if (!entriesStayPut(parent)) {
        return;
      }
      try (DirectoryStream<Path> entries =
          Files.newDirectoryStream(parent, TemporaryCopy.PREFIX + "*")) {
        if (!(entries instanceof SecureDirectoryStream)) {
          return;
        }
        SecureDirectoryStream<Path> folder = (SecureDirectoryStream<Path>) entries;
        for (Path entry : folder) {
          Path name = entry.getFileName();
          if (!name.equals(ours.name())) {
            removeIfEnded(folder, name, user, Paths.get(libraryName));
          }
        }
      }
    } catch (IOException | RuntimeException e) {
      // Cleaning up is a courtesy; the library loads all the same.
    }
  }

  /**
   * Whether only this user can rename or replace this user's entries in the folder: a folder
   * that others cannot write, or a sticky one such as /tmp. In a folder where others can, an
   * entry checked here could be swapped for theirs before it is opened.
   */
  private static boolean entriesStayPut(Path folder) throws IOException {
    int mode = (Integer) Files.getAttribute(folder, "unix:mode");
    return (mode & STICKY) != 0 || (mode & WRITABLE_BY_OTHERS) == 0;
  }

  private static void removeIfEnded(
      SecureDirectoryStream<Path> parent, Path name, UserPrincipal user, Path libraryName) {
    try {
      // Checked before opening, which would wait on a FIFO; then again on the opened folder.
      if (!isCopy(parent.getFileAttributeView(name, PosixFileAttributeView.class,
          LinkOption.NOFOLLOW_LINKS).readAttributes(), user)) {
        return;
      }
      try (SecureDirectoryStream<Path> copy =
          parent.newDirectoryStream(name, LinkOption.NOFOLLOW_LINKS)) {
        PosixFileAttributes opened =
            copy.getFileAttributeView(PosixFileAttributeView.class).readAttributes();
        if (!isCopy(opened, user)
            || System.currentTimeMillis() - opened.lastModifiedTime().toMillis()
                < MINIMUM_AGE_MILLIS
            || !copy.getFileAttributeView(LOCK, BasicFileAttributeView.class,
                    LinkOption.NOFOLLOW_LINKS).readAttributes().isRegularFile()) {
          return;
        }
        // Opened for reading and writing, which does not wait even on a FIFO swapped in
        // after the check (only this user can swap it in a folder only this user can write).
        try (SeekableByteChannel channel = copy.newByteChannel(LOCK, new HashSet<OpenOption>(
                Arrays.asList(StandardOpenOption.READ, StandardOpenOption.WRITE,
                    LinkOption.NOFOLLOW_LINKS)));
            FileLock lock =
                channel instanceof FileChannel ? ((FileChannel) channel).tryLock() : null) {
          if (lock == null) {
            return; // In use, or no lock to take.
          }
          try {
            copy.deleteFile(libraryName);
          } catch (NoSuchFileException e) {
            // Its JVM ended before it was written.
          }
          copy.deleteFile(LOCK);
        }
      }
      parent.deleteDirectory(name);
    } catch (IOException | RuntimeException e) {
      // Another user's, in use, being removed by another JVM, or holding more than a copy
      // does: not ours to force.
    }
  }

  /** A folder as a copy is made: this user's, not a link, and for this user only. */
  private static boolean isCopy(PosixFileAttributes folder, UserPrincipal user) {
    return folder.isDirectory() && folder.owner().equals(user)
        && PosixFilePermissions.toString(folder.permissions()).equals("rwx------");
  }
}
