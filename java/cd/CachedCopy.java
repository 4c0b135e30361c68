package cd;

import java.io.FileInputStream;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.LongBuffer;
import java.nio.channels.SeekableByteChannel;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.OpenOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.HashSet;

/**
 * The jar's library as a file that JVMs of this user reuse: {@code <base>/<name>/<build>/<file>},
 * the build folder named by version and content, both folders for this user only. The file is
 * written under a temporary name and renamed, compared with the jar's bytes before every load
 * (a copy that differs, is cut short or is not a plain file of this user's is replaced) and
 * loaded only from a folder that {@link SafeFolders} finds no other user can change.
 *
 * <p>Where the system shows a process its open files (/proc/self/fd), the copy is opened
 * through a second name that is then removed, compared through the open file, and loaded
 * through the descriptor: what is loaded is what was compared, whatever happens to the folder
 * meanwhile, and each class loader loads it under a name of its own. Elsewhere it is loaded
 * by its path, and a class loader that finds the file taken by another takes the next of a few
 * numbered copies.
 *
 * <p>It names the files it writes and opens itself, and makes the file by which {@link
 * SafeFolders} learns the user where there is no /proc: a class of their own would cost every
 * start a good part of a millisecond to load.
 */
final class CachedCopy {
  static final String PART = ".part";
  static final String OPENED = ".open";
  private static final Path DESCRIPTORS = Paths.get("/proc/self/fd");
  private static final String REMOVED = " (deleted)";
  private static final int COPIES_BY_PATH = 3;
  private static final int PIECE = 32 * 1024;
  private static final int UNIQUE_NAME_TRIES = 100;

  // The opened copy this class loader loaded, kept open so that its descriptor's number, by
  // which the JVM knows the library, is not given to another class loader's copy.
  private static FileInputStream loaded;
  // Added to the names made, so that two made in one clock tick differ.
  private static int namesGiven;

  private CachedCopy() {}

  /**
   * Loads the library from build folder under base/name, making the folders (base only if
   * makeBase) and the copy as needed.
   */
  static void load(Path base, boolean makeBase, String name, String build, String fileName,
      byte[] library) throws IOException {
    if (makeBase && !Files.isDirectory(base)) {
      Files.createDirectories(base, ownerOnly("rwx------"));
    }
    Path parent = makeFolder(base.resolve(name));
    SafeFolders user = SafeFolders.forThisUser(parent);
    // Nothing is made in a folder refused.
    Path real = user.checkBelow(user.check(parent), makeFolder(parent.resolve(build)));
    String[] names = real.toFile().list();
    // Mostly the copy is there alone, and the clean-up's class need not even be loaded.
    boolean copyAlone =
        names == null || names.length == 0 || names.length == 1 && names[0].equals(fileName);
    if (!copyAlone) {
      LeftoverCopies.remove(real, names, fileName, user);
    }
    if (Files.isDirectory(DESCRIPTORS)) {
      loadThroughDescriptor(real, fileName, library, user);
    } else {
      loadByPath(real, fileName, library, user);
    }
  }

  private static void loadThroughDescriptor(
      Path folder, String fileName, byte[] library, SafeFolders user) throws IOException {
    Path target = folder.resolve(fileName);
    boolean written = false;
    for (int attempt = 0; attempt < 2; attempt++) {
      if (!Files.isRegularFile(target, LinkOption.NOFOLLOW_LINKS)) {
        written = write(library, target);
      }
      Path aside = uniqueName(folder, "." + fileName, OPENED);
      if (!makeSecondName(aside, target)) {
        // A file system without hard links.
        loadByPath(folder, fileName, library, user);
        return;
      }
      FileInputStream opened = openRemoving(aside);
      try {
        Path descriptor = opened != null ? descriptor(aside) : null;
        if (opened != null && descriptor == null) {
          // Descriptors not named by their files' paths.
          loadByPath(folder, fileName, library, user);
          return;
        }
        if (opened != null && holds(opened, library) && user.ownsUnwritableByOthers(descriptor)) {
          loadOrRemove(descriptor.toString(), written ? target : null);
          loaded = opened;
          opened = null;
          return;
        }
      } finally {
        if (opened != null) {
          opened.close();
        }
      }
      written = write(library, target);
    }
    throw new IOException(target + " does not hold the jar's library even when just written");
  }

  /** Gives the target a second name, aside; whether it could. */
  private static boolean makeSecondName(Path aside, Path target) {
    try {
      Files.createLink(aside, target);
      return true;
    } catch (IOException | RuntimeException e) { // Unsupported, for one.
      return false;
    }
  }

  /**
   * Opens the file named aside and removes the name; null where there is none or it is not a
   * plain file (the second name of a link or a folder).
   */
  private static FileInputStream openRemoving(Path aside) throws IOException {
    try {
      // A second name of a plain file, in a folder only this user can change.
      return new FileInputStream(aside.toFile());
    } catch (IOException e) {
      return null;
    } finally {
      Files.deleteIfExists(aside);
    }
  }

  /**
   * The descriptor of the file opened as aside, a name now gone (and unique: no other file
   * open in this process had it); null where there is none.
   */
  private static Path descriptor(Path aside) throws IOException {
    String opened = aside + REMOVED;
    String[] descriptors = DESCRIPTORS.toFile().list();
    for (String number : descriptors != null ? descriptors : new String[0]) {
      Path descriptor = DESCRIPTORS.resolve(number);
      try {
        if (Files.readSymbolicLink(descriptor).toString().equals(opened)) {
          return descriptor;
        }
      } catch (IOException e) {
        // Closed meanwhile.
      }
    }
    return null;
  }

  private static void loadByPath(Path folder, String fileName, byte[] library, SafeFolders user)
      throws IOException {
    IOException firstFailure = null;
    for (int copy = 1; copy <= COPIES_BY_PATH; copy++) {
      Path target = folder.resolve(copy == 1 ? fileName : numbered(fileName, copy));
      try {
        boolean written = false;
        if (!Files.isRegularFile(target, LinkOption.NOFOLLOW_LINKS)
            || !user.ownsUnwritableByOthers(target) || !holds(target, library)) {
          written = write(library, target);
        }
        loadOrRemove(target.toString(), written ? target : null);
        return;
      } catch (IOException | UnsatisfiedLinkError e) {
        // Taken by another class loader, or in use and so not to be replaced (Windows).
        if (firstFailure == null) {
          firstFailure =
              e instanceof IOException ? (IOException) e : new IOException(e.getMessage(), e);
        }
      }
    }
    throw firstFailure;
  }

  /** "Tocmate-2.dll" for "Tocmate.dll". */
  private static String numbered(String fileName, int copy) {
    int dot = fileName.lastIndexOf('.');
    return fileName.substring(0, dot) + "-" + copy + fileName.substring(dot);
  }

  /** Loads the library; one that does not load is no use to later JVMs either. */
  private static void loadOrRemove(String path, Path written) {
    try {
      System.load(path);
    } catch (UnsatisfiedLinkError e) {
      if (written != null) {
        try {
          Files.deleteIfExists(written);
        } catch (IOException removal) {
          e.addSuppressed(removal);
        }
      }
      throw e;
    }
  }

  /** Writes the library under a new name and renames it to target, replacing what is there. */
  private static boolean write(byte[] library, Path target) throws IOException {
    Path part = uniqueName(target.getParent(), "." + target.getFileName(), PART);
    try {
      try (SeekableByteChannel channel = createToWrite(part)) {
        ByteBuffer content = ByteBuffer.wrap(library);
        while (content.hasRemaining()) {
          channel.write(content);
        }
      }
      Files.move(part, target, StandardCopyOption.ATOMIC_MOVE);
      return true;
    } finally {
      Files.deleteIfExists(part);
    }
  }

  /**
   * A new name "<prefix>-<unique><suffix>" in the folder, one that only this user can change,
   * for a file being written or opened: unique among the JVMs that share the folder, not
   * secret (so no random source, which would cost a start far more than the whole load).
   */
  private static Path uniqueName(Path folder, String prefix, String suffix) {
    long unique = System.nanoTime() ^ (long) System.identityHashCode(new Object()) << 32;
    synchronized (CachedCopy.class) {
      unique += namesGiven++;
    }
    return folder.resolve(prefix + "-" + Long.toHexString(unique) + suffix);
  }

  /** Makes a new empty file for this user only: "<prefix>-<unique>" in the folder. */
  static Path createUnique(Path folder, String prefix) throws IOException {
    for (int i = 0;; i++) {
      Path file = uniqueName(folder, prefix, "");
      try {
        createToWrite(file).close();
        return file;
      } catch (FileAlreadyExistsException e) {
        if (i == UNIQUE_NAME_TRIES) {
          throw e;
        }
      }
    }
  }

  /** Creates the file, which must not be there, for this user only, and opens it to write. */
  private static SeekableByteChannel createToWrite(Path file) throws IOException {
    HashSet<OpenOption> options = new HashSet<OpenOption>(Arrays.asList(
        StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS));
    return Files.newByteChannel(file, options, ownerOnly("rw-------"));
  }

  /** Makes the folder for this user only, or takes the one there if it is a folder. */
  private static Path makeFolder(Path folder) throws IOException {
    if (Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS)) {
      return folder;
    }
    try {
      Files.createDirectory(folder, ownerOnly("rwx------"));
    } catch (IOException e) {
      // Made by another JVM meanwhile, or a link or a file in the way.
      if (!Files.isDirectory(folder, LinkOption.NOFOLLOW_LINKS)) {
        throw Files.exists(folder, LinkOption.NOFOLLOW_LINKS)
            ? new IOException(folder + " is not a folder (a link is not taken)")
            : e;
      }
    }
    return folder;
  }

  private static boolean holds(Path file, byte[] library) throws IOException {
    try (FileInputStream in = new FileInputStream(file.toFile())) {
      return holds(in, library);
    }
  }

  /**
   * Whether the opened file holds exactly the library. It is compared a piece at a time: at a
   * JVM's start fresh memory is dear (a whole copy's worth of arrays, and the JDK's native
   * buffer for a large read, took longer than the comparison), and eight bytes at a time in a
   * plain loop, as nothing is compiled yet and Arrays.equals, which calls into the JVM at each
   * step, takes twice as long there.
   */
  private static boolean holds(FileInputStream file, byte[] library) throws IOException {
    byte[] piece = new byte[PIECE];
    long[] pieceLongs = new long[PIECE / 8];
    long[] libraryLongs = new long[PIECE / 8];
    for (int at = 0; at < library.length; at += PIECE) {
      int length = Math.min(PIECE, library.length - at);
      int read = 0;
      for (int count; read < length && (count = file.read(piece, read, length - read)) > 0;) {
        read += count;
      }
      if (read < length) {
        return false;
      }
      int longs = length / 8;
      asLongs(piece, 0, length).get(pieceLongs, 0, longs);
      asLongs(library, at, length).get(libraryLongs, 0, longs);
      for (int i = 0; i < longs; i++) {
        if (pieceLongs[i] != libraryLongs[i]) {
          return false;
        }
      }
      for (int i = 8 * longs; i < length; i++) {
        if (piece[i] != library[at + i]) {
          return false;
        }
      }
    }
    return file.read() == -1;
  }

  /** The bytes from offset on as longs, eight bytes each, the last few left out. */
  private static LongBuffer asLongs(byte[] bytes, int offset, int length) {
    return ByteBuffer.wrap(bytes, offset, length)
        .slice()
        .order(ByteOrder.nativeOrder())
        .asLongBuffer();
  }

  private static FileAttribute<?>[] ownerOnly(String permissions) {
    return SafeFolders.POSIX ? new FileAttribute<?>[] {PosixFilePermissions.asFileAttribute(
               PosixFilePermissions.fromString(permissions))}
                             : new FileAttribute<?>[ 0 ];
  }
}
