package cd;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
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
import java.nio.file.attribute.PosixFileAttributeView;
import java.nio.file.attribute.UserPrincipal;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;

/**
 * A copy of the library in a new folder of its own, with a name no one can guess and access
 * for this user only, so that JVMs starting together and other users of the temporary folder
 * cannot meet or swap the file. The folder holds a lock for as long as its JVM lives, by which
 * a later JVM tells the copy of an ended JVM (whose lock is free) from one in use. The copy
 * removes exactly the files it wrote, when its JVM exits or at once when loading fails; where
 * the file system offers it, through the opened folder, so that a folder swapped for a link
 * is never followed.
 */
final class TemporaryCopy {
  static final String PREFIX = "tocmate-";
  static final String LOCK_NAME = "in-use.lock";

  private final Path folder;
  private final SecureDirectoryStream<Path> opened; // null where the file system has none
  private final List<Path> written = new ArrayList<>();
  private FileChannel lock;

  private TemporaryCopy(Path folder, SecureDirectoryStream<Path> opened) {
    this.folder = folder;
    this.opened = opened;
  }

  /** Copies the library into a new folder in parent and loads it from there. */
  static void load(Path parent, String fileName, byte[] library) throws IOException {
    TemporaryCopy copy = open(Files.createTempDirectory(parent, PREFIX));
    try {
      copy.takeLock();
      LeftoverCopies.remove(parent, copy, fileName);
      Path written = copy.write(fileName, library);
      System.load(written.toString());
    } catch (Throwable e) {
      copy.remove();
      throw e;
    }
    try {
      Runtime.getRuntime().addShutdownHook(new Thread("tocmate library removal") {
        @Override
        public void run() {
          copy.remove();
        }
      });
    } catch (RuntimeException e) {
      // The JVM is already exiting: the loaded library needs its file no more.
      copy.remove();
    }
  }

  private static TemporaryCopy open(Path folder) throws IOException {
    DirectoryStream<Path> stream;
    try {
      stream = Files.newDirectoryStream(folder);
    } catch (IOException | RuntimeException e) {
      removeQuietly(folder);
      throw e;
    }
    if (stream instanceof SecureDirectoryStream) {
      return new TemporaryCopy(folder, (SecureDirectoryStream<Path>) stream);
    }
    stream.close();
    return new TemporaryCopy(folder, null);
  }

  private void takeLock() throws IOException {
    SeekableByteChannel channel = create(Paths.get(LOCK_NAME));
    if (!(channel instanceof FileChannel)) {
      channel.close();
      throw new IOException("no lock can be taken in " + folder);
    }
    lock = (FileChannel) channel;
    if (lock.tryLock() == null) {
      throw new IOException(folder.resolve(LOCK_NAME) + " is locked by another process");
    }
  }

  Path name() {
    return folder.getFileName();
  }

  /** The user who made the copy; only where the folder is open as a secure stream. */
  UserPrincipal owner() throws IOException {
    if (opened == null) {
      throw new IOException("the file system opens no folder as a secure stream");
    }
    return opened
        .getFileAttributeView(
            Paths.get(LOCK_NAME), PosixFileAttributeView.class, LinkOption.NOFOLLOW_LINKS)
        .readAttributes()
        .owner();
  }

  private Path write(String fileName, byte[] content) throws IOException {
    try (SeekableByteChannel channel = create(Paths.get(fileName))) {
      ByteBuffer buffer = ByteBuffer.wrap(content);
      while (buffer.hasRemaining()) {
        channel.write(buffer);
      }
    }
    return folder.resolve(fileName);
  }

  /** A new file in the folder, noted for removal before anything is written into it. */
  private SeekableByteChannel create(Path name) throws IOException {
    HashSet<OpenOption> options = new HashSet<>(Arrays.asList(StandardOpenOption.CREATE_NEW,
        StandardOpenOption.WRITE, LinkOption.NOFOLLOW_LINKS));
    SeekableByteChannel channel = opened != null ? opened.newByteChannel(name, options)
        : Files.newByteChannel(folder.resolve(name), options);
    written.add(name);
    return channel;
  }

  /**
   * Removes the files written, the library first, then the folder. Where the library cannot
   * be removed (Windows keeps a loaded library's file), the lock stays with it, so that the
   * copy can be told for what it is.
   */
  private void remove() {
    for (int i = written.size() - 1; i >= 0; i--) {
      Path name = written.get(i);
      if (name.toString().equals(LOCK_NAME)) {
        closeQuietly(lock);
      }
      try {
        if (opened != null) {
          opened.deleteFile(name);
        } else {
          Files.delete(folder.resolve(name));
        }
      } catch (NoSuchFileException e) {
        // Gone already.
      } catch (IOException | RuntimeException e) {
        closeQuietly(opened);
        return;
      }
    }
    closeQuietly(opened);
    removeQuietly(folder);
  }

  private static void closeQuietly(AutoCloseable closeable) {
    try {
      if (closeable != null) {
        closeable.close();
      }
    } catch (Exception e) {
      // Nothing more can be done with it.
    }
  }

  /** Removes the folder if it is empty (a link in its place is removed, never followed). */
  private static void removeQuietly(Path folder) {
    try {
      Files.delete(folder);
    } catch (IOException | RuntimeException e) {
      // Not ours to force.
    }
  }
}
