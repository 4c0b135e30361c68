package cd;

import java.io.IOException;
import java.nio.channels.SeekableByteChannel;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.OpenOption;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.HashSet;

/**
 * New names in a folder that only this user can change, for files being written or opened:
 * unique among the JVMs that share the folder, not secret (so no random source, which would
 * cost a start far more than the whole load).
 */
final class UniqueName {
  private static final int TRIES = 100;
  private static int counter;

  private UniqueName() {}

  /** A name "<prefix>-<unique><suffix>" in the folder that is not there yet. */
  static Path next(Path folder, String prefix, String suffix) {
    long unique = System.nanoTime() ^ (long) System.identityHashCode(new Object()) << 32;
    synchronized (UniqueName.class) {
      unique += counter++;
    }
    return folder.resolve(prefix + "-" + Long.toHexString(unique) + suffix);
  }

  /** Makes a new empty file for this user only: "<prefix>-<unique>" in the folder. */
  static Path create(Path folder, String prefix) throws IOException {
    for (int i = 0;; i++) {
      Path file = next(folder, prefix, "");
      try {
        open(file).close();
        return file;
      } catch (FileAlreadyExistsException e) {
        if (i == TRIES) {
          throw e;
        }
      }
    }
  }

  /** Creates the file, which must not be there, for this user only, and opens it to write. */
  static SeekableByteChannel open(Path file) throws IOException {
    HashSet<OpenOption> options = new HashSet<OpenOption>(Arrays.asList(
        StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS));
    FileAttribute<?>[] ownerOnly = SafeFolders.POSIX
        ? new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(
            PosixFilePermissions.fromString("rw-------"))}
        : new FileAttribute<?>[ 0 ];
    return Files.newByteChannel(file, options, ownerOnly);
  }
}
