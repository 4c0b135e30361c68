package cd;

import java.io.FileInputStream;
import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.ByteOrder;
import java.nio.LongBuffer;
import java.nio.channels.FileChannel;
import java.nio.file.FileAlreadyExistsException;
import java.nio.file.Files;
import java.nio.file.LinkOption;
import java.nio.file.OpenOption;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.BasicFileAttributes;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.FileTime;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.Arrays;
import java.util.HashSet;
import java.util.concurrent.TimeUnit;
import java.util.zip.CRC32;

/**
 * The jar's library as a file that JVMs of this user reuse: {@code <base>/<name>/<build>/<file>},
 * the build folder named by version and content, both folders for this user only, made only
 * once the folders above them are found safe. The file is written under a temporary name,
 * flushed to the disk, renamed and stamped, and loaded only from a folder that {@link
 * SafeFolders} finds no other user can change, only while it is a plain file of this user's
 * that no other may write.
 *
 * <p>Such a file is the jar's library when it is of its size and carries the modification
 * time this loader stamps its copies with ({@link #WRITTEN_STAMP}): a file written any
 * other way carries the time it was written, and only its owner or root could set another. The
 * library is then not even read out of the jar. A copy not stamped (one written by an older
 * loader, or touched) is compared with the jar's library byte for byte, and stamped if equal;
 * one that differs, is cut short or is not this user's is replaced.
 *
 * <p>Where the system shows a process its open files (/proc/self/fd), the copy is opened
 * through a second name that is then removed, checked through the open file, and loaded
 * through the descriptor: what is loaded is what was checked, whatever happens to the folder
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
  // 2001-09-09 01:46:40 UTC: a whole second, even, as the coarsest file systems keep times.
  // In seconds, the unit in which a file's whole-second time is read: compared in another,
  // the times would be made Instants, whose classes a fresh JVM would first have to load.
  private static final FileTime WRITTEN_STAMP = FileTime.from(1_000_000_000L, TimeUnit.SECONDS);

  // The opened copy this class loader loaded, kept open so that its descriptor's number, by
  // which the JVM knows the library, is not given to another class loader's copy.
  private static FileInputStream loaded;
  // Added to the names made, so that two made in one clock tick differ.
  private static int namesGiven;

  private final String resource;
  private final String fileName;
  private final long size;
  private final long checksum;
  private byte[] library; // read out of the jar when first needed

  private CachedCopy(String resource, String fileName, long size, long checksum, byte[] library) {
    this.resource = resource;
    this.fileName = fileName;
    this.size = size;
    this.checksum = checksum;
    this.library = library;
  }

  /**
   * The library that the jar holds as resource, to be loaded as fileName; null where the jar
   * has none. Its size and checksum come from the jar's directory where it lists them.
   */
  static CachedCopy of(String resource, String fileName) throws IOException {
    long[] listed = NativeLibrary.listedSizeAndChecksum(resource);
    if (listed != null) {
      return new CachedCopy(resource, fileName, listed[0], listed[1], null);
    }
    byte[] library = NativeLibrary.readResource(resource);
    return library != null
        ? new CachedCopy(resource, fileName, library.length, checksum(library), library)
        : null;
  }

  /**
   * Eight hexadecimal digits of the library's checksum, so that two builds of one version
   * keep apart.
   */
  String contentName() {
    return Long.toHexString(checksum | 1L << 32).substring(1);
  }

  private static long checksum(byte[] bytes) {
    CRC32 crc = new CRC32();
    crc.update(bytes, 0, bytes.length);
    return crc.getValue();
  }

  /** The library's bytes, read out of the jar at the first need and checked against its listing. */
  private byte[] library() throws IOException {
    if (library == null) {
      byte[] read = NativeLibrary.readResource(resource);
      if (read == null || read.length != size || checksum(read) != checksum) {
        throw new IOException("the jar's " + resource + " is not the size and checksum it lists");
      }
      library = read;
    }
    return library;
  }

  /**
   * Loads the library from {@code <base>/<name>/<build>}, where name is prefix, or in a base
   * that all users share, this user's folder named after prefix ({@link
   * SafeFolders#ownFolderName}). Each folder is checked before anything is made in it; a base
   * not shared is made too, where it is missing.
   */
  void load(Path base, boolean shared, String prefix, String build) throws IOException {
    Path existing = base;
    while (!shared && !Files.isDirectory(existing)) {
      existing = existing.getParent();
      if (existing == null) {
        throw new IOException(base + " is not in any folder");
      }
    }
    SafeFolders user = SafeFolders.forThisUser(existing);
    Path checked = user.check(existing);
    if (!existing.equals(base)) {
      // The missing folders of base one by one, each checked before one is made in it.
      for (Path missing : existing.relativize(base)) {
        checked = user.checkBelow(checked, makeFolder(checked.resolve(missing.toString())));
      }
    }
    String name = shared ? user.ownFolderName(prefix) : prefix;
    Path parent = user.checkBelow(checked, makeFolder(checked.resolve(name)));
    Path real = user.checkBelow(parent, makeFolder(parent.resolve(build)));
    String[] names = real.toFile().list();
    // Mostly the copy is there alone, and the clean-up's class need not even be loaded.
    boolean copyAlone =
        names == null || names.length == 0 || names.length == 1 && names[0].equals(fileName);
    if (!copyAlone) {
      LeftoverCopies.remove(real, names, fileName, user);
    }
    if (Files.isDirectory(DESCRIPTORS)) {
      loadThroughDescriptor(real, user);
    } else {
      loadByPath(real, user);
    }
  }

  private void loadThroughDescriptor(Path folder, SafeFolders user) throws IOException {
    Path target = folder.resolve(fileName);
    boolean written = false;
    for (int attempt = 0; attempt < 2; attempt++) {
      if (!Files.isRegularFile(target, LinkOption.NOFOLLOW_LINKS)) {
        written = write(target);
      }
      Path aside = uniqueName(folder, "." + fileName, OPENED);
      if (!makeSecondName(aside, target)) {
        // A file system without hard links.
        loadByPath(folder, user);
        return;
      }
      FileInputStream opened = openRemoving(aside);
      try {
        Path descriptor = opened != null ? descriptor(aside) : null;
        if (opened != null && descriptor == null) {
          // Descriptors not named by their files' paths.
          loadByPath(folder, user);
          return;
        }
        if (opened != null && user.ownsUnwritableByOthers(descriptor)
            && isLibrary(descriptor, opened)) {
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
      written = write(target);
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
    // From the last: Linux lists them in order, and a file just opened mostly has the highest.
    for (int i = descriptors != null ? descriptors.length - 1 : -1; i >= 0; i--) {
      Path descriptor = DESCRIPTORS.resolve(descriptors[i]);
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

  private void loadByPath(Path folder, SafeFolders user) throws IOException {
    IOException firstFailure = null;
    for (int copy = 1; copy <= COPIES_BY_PATH; copy++) {
      Path target = folder.resolve(copy == 1 ? fileName : numbered(fileName, copy));
      try {
        boolean written = false;
        if (!Files.isRegularFile(target, LinkOption.NOFOLLOW_LINKS)
            || !user.ownsUnwritableByOthers(target) || !isLibrary(target, null)) {
          written = write(target);
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

  /**
   * Writes the library under a new name and renames it to target, replacing what is there,
   * and stamps it: flushed to the disk first, so that a crash cannot leave a stamped copy that
   * is not whole, and stamped once renamed, as a file being written must look young to the
   * clean-up of other JVMs ({@link LeftoverCopies}).
   */
  private boolean write(Path target) throws IOException {
    byte[] content = library();
    Path part = uniqueName(target.getParent(), "." + target.getFileName(), PART);
    try {
      try (FileChannel channel = createToWrite(part)) {
        ByteBuffer buffer = ByteBuffer.wrap(content);
        while (buffer.hasRemaining()) {
          channel.write(buffer);
        }
        channel.force(true);
      }
      Files.move(part, target, StandardCopyOption.ATOMIC_MOVE);
      stamp(target);
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
  private static FileChannel createToWrite(Path file) throws IOException {
    HashSet<OpenOption> options = new HashSet<OpenOption>(Arrays.asList(
        StandardOpenOption.CREATE_NEW, StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS));
    return FileChannel.open(file, options, ownerOnly("rw-------"));
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

  /**
   * Whether the file, this user's and writable by no other, is the jar's library: of its size
   * and stamped, or else equal byte for byte (through opened where given), and then stamped so
   * that later loads need not compare.
   */
  private boolean isLibrary(Path file, FileInputStream opened) throws IOException {
    BasicFileAttributes attributes = Files.readAttributes(file, BasicFileAttributes.class);
    if (attributes.size() != size) {
      return false;
    }
    if (attributes.lastModifiedTime().equals(WRITTEN_STAMP)) {
      return true;
    }
    boolean equal;
    if (opened != null) {
      equal = holds(opened, library());
    } else {
      try (FileInputStream in = new FileInputStream(file.toFile())) {
        equal = holds(in, library());
      }
    }
    if (equal) {
      stamp(file);
    }
    return equal;
  }

  /** Stamps a whole copy, where the file system lets it; if not, it is compared at each load. */
  private static void stamp(Path copy) {
    try {
      Files.setLastModifiedTime(copy, WRITTEN_STAMP);
    } catch (IOException e) {
      // Compared again next time.
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
