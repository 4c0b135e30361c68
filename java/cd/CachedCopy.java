package cd;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.SeekableByteChannel;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFileAttributes;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.nio.file.attribute.UserPrincipal;
import java.util.Arrays;

/**
 * The library in this user's cache folder, for where no copy in the temporary folder can be
 * loaded (a temporary folder mounted noexec, full, or not set): {@code
 * $XDG_CACHE_HOME/tocmate/<version>} or {@code ~/.cache/tocmate/<version>}, on Windows {@code
 * %LOCALAPPDATA%\tocmate\<version>}. The copy stays there for later JVMs. Its folders are made
 * for this user only and must not be links; the library is written under a temporary name and
 * then renamed, so that a JVM never loads a half-written one.
 */
final class CachedCopy {
  private static final boolean POSIX =
      FileSystems.getDefault().supportedFileAttributeViews().contains("posix");

  private CachedCopy() {}

  static Path folder() throws IOException {
    Path base;
    if (NativeLibrary.platform().startsWith("windows-")) {
      base = absolute(System.getenv("LOCALAPPDATA"));
      if (base == null) {
        throw new IOException("LOCALAPPDATA is not set");
      }
    } else {
      base = absolute(System.getenv("XDG_CACHE_HOME"));
      if (base == null) {
        Path home = absolute(System.getenv("HOME"));
        if (home == null) {
          home = absolute(System.getProperty("user.home"));
        }
        if (home == null) {
          throw new IOException("neither XDG_CACHE_HOME nor HOME names a folder");
        }
        base = home.resolve(".cache");
      }
    }
    return base.resolve("tocmate").resolve(Version.NUMBER);
  }

  /** The path, if it is an absolute one: a relative one would depend on the working folder. */
  private static Path absolute(String path) {
    return path != null && !path.isEmpty() && Paths.get(path).isAbsolute() ? Paths.get(path) : null;
  }

  static void load(Path folder, String fileName, byte[] library) throws IOException {
    Path tocmate = folder.getParent();
    Files.createDirectories(tocmate.getParent(), ownerOnly("rwx------"));
    makeFolder(tocmate);
    makeFolder(folder);
    Path target = folder.resolve(fileName);
    boolean written = place(library, target);
    try {
      System.load(target.toString());
    } catch (UnsatisfiedLinkError e) {
      // What cannot be loaded here is no use to a later JVM either.
      if (written) {
        try {
          Files.deleteIfExists(target);
        } catch (IOException removal) {
          e.addSuppressed(removal);
        }
      }
      throw e;
    }
  }

  /** Puts the library at target unless this user's exact copy is there; whether it wrote. */
  private static boolean place(byte[] library, Path target) throws IOException {
    Path folder = target.getParent();
    Path part = Files.createTempFile(
        folder, "." + target.getFileName() + "-", ".part", ownerOnly("rw-------"));
    try {
      UserPrincipal user = Files.getOwner(part, LinkOption.NOFOLLOW_LINKS);
      checkPrivate(folder, user);
      if (holds(target, library, user)) {
        return false;
      }
      Files.write(part, library, StandardOpenOption.WRITE, StandardOpenOption.TRUNCATE_EXISTING,
          LinkOption.NOFOLLOW_LINKS);
      Files.move(part, target, StandardCopyOption.ATOMIC_MOVE);
      return true;
    } finally {
      Files.deleteIfExists(part);
    }
  }

  /** Makes the folder for this user only, or takes the one there if it is a folder. */
  private static void makeFolder(Path folder) throws IOException {
    try {
      Files.createDirectory(folder, ownerOnly("rwx------"));
    } catch (FileAlreadyExistsException e) {
      if (!Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS)) {
        throw new IOException(folder + " is not a folder (a link is not taken)");
      }
    }
  }

  /** Refuses a folder of another user's, or one that others may write into. */
  private static void checkPrivate(Path folder, UserPrincipal user) throws IOException {
    if (!Files.getOwner(folder, LinkOption.NOFOLLOW_LINKS).equals(user)) {
      throw new IOException(folder + " belongs to another user");
    }
    if (POSIX) {
      PosixFileAttributes attributes =
          Files.readAttributes(folder, PosixFileAttributes.class, LinkOption.NOFOLLOW_LINKS);
      if (attributes.permissions().contains(PosixFilePermission.GROUP_WRITE)
          || attributes.permissions().contains(PosixFilePermission.OTHERS_WRITE)) {
        throw new IOException(folder + " can be written by other users");
      }
    }
  }

  /** Whether the file is this user's own regular file holding exactly the library. */
  private static boolean holds(Path file, byte[] library, UserPrincipal user) throws IOException {
    if (!Files.isRegularFile(file, LinkOption.NOFOLLOW_LINKS)
        || !Files.getOwner(file, LinkOption.NOFOLLOW_LINKS).equals(user)
        || Files.size(file) != library.length) {
      return false;
    }
    ByteBuffer content = ByteBuffer.allocate(library.length);
    try (SeekableByteChannel channel =
        Files.newByteChannel(file, StandardOpenOption.READ, LinkOption.NOFOLLOW_LINKS)) {
      while (content.hasRemaining() && channel.read(content) >= 0) {
        // Reads on.
      }
    }
    return Arrays.equals(content.array(), library);
  }

  private static FileAttribute<?>[] ownerOnly(String permissions) {
    return POSIX
        ? new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(
            PosixFilePermissions.fromString(permissions))}
        : new FileAttribute<?>[0];
  }
}
