package cd;

import java.io.BufferedReader;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.channels.OverlappingFileLockException;
import java.nio.file.DirectoryIteratorException;
import java.nio.file.DirectoryStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Locale;

/**
 * Loads a native library: from java.library.path when it is there, so that a user can always
 * override, else from the copy for this platform that the jar carries. The jar lists its
 * copies in {@code /cd/tocmate/natives/platforms}, one "platform/file" a line, such as
 * "linux-x86_64/libTocmate.so".
 */
final class NativeLibrary {
  private static final String COPY_PREFIX = "tocmate-";
  // Held for as long as the JVM that made the copy lives: a copy whose lock can be taken is
  // left over from a JVM that has ended.
  private static final String LOCK_NAME = "in-use.lock";
  private static final long MINIMUM_AGE_OF_LEFTOVERS_MILLIS = 60_000;
  private static FileChannel heldLock;

  private NativeLibrary() {}

  static void load(String name) {
    String fileName = System.mapLibraryName(name);
    if (onLibraryPath(fileName)) {
      System.loadLibrary(name);
      return;
    }
    String platform = platform();
    List<String> bundled = bundledPlatforms();
    if (!bundled.contains(platform + "/" + fileName)) {
      throw new UnsatisfiedLinkError(
          "no " + name + " library for the platform " + platform + " on java.library.path or in"
              + " the jar, which holds it for: " + String.join(", ", platformsOf(bundled)));
    }
    try {
      System.load(extract("/cd/tocmate/natives/" + platform + "/" + fileName, fileName).toString());
    } catch (IOException e) {
      UnsatisfiedLinkError error =
          new UnsatisfiedLinkError("can not copy the " + name + " library out of the jar: " + e);
      error.initCause(e);
      throw error;
    }
  }

  /** The platform as the jar names it, such as "linux-x86_64" or "windows-x86_64". */
  static String platform() {
    String os = System.getProperty("os.name").toLowerCase(Locale.ROOT);
    String arch = System.getProperty("os.arch").toLowerCase(Locale.ROOT);
    if (os.startsWith("windows")) {
      os = "windows";
    } else if (os.startsWith("mac")) {
      os = "macos";
    } else {
      os = os.replaceAll("[^a-z0-9]", "");
    }
    if (arch.equals("amd64") || arch.equals("x86_64")) {
      arch = "x86_64";
    } else if (arch.equals("arm64")) {
      arch = "aarch64";
    }
    return os + "-" + arch;
  }

  private static boolean onLibraryPath(String fileName) {
    for (String folder : System.getProperty("java.library.path", "").split(File.pathSeparator)) {
      if (!folder.isEmpty() && Files.isRegularFile(Paths.get(folder, fileName))) {
        return true;
      }
    }
    return false;
  }

  private static List<String> bundledPlatforms() {
    List<String> entries = new ArrayList<>();
    InputStream index = NativeLibrary.class.getResourceAsStream("/cd/tocmate/natives/platforms");
    if (index == null) {
      return entries;
    }
    try (BufferedReader lines =
        new BufferedReader(new InputStreamReader(index, StandardCharsets.UTF_8))) {
      for (String line; (line = lines.readLine()) != null; ) {
        if (!line.trim().isEmpty()) {
          entries.add(line.trim());
        }
      }
    } catch (IOException e) {
      // An unreadable index bundles nothing.
    }
    return entries;
  }

  private static List<String> platformsOf(List<String> entries) {
    List<String> platforms = new ArrayList<>();
    for (String entry : entries) {
      platforms.add(entry.substring(0, entry.indexOf('/')));
    }
    return platforms.isEmpty() ? Collections.singletonList("none") : platforms;
  }

  /**
   * Copies the resource into a new folder of its own, with a name no one can guess and access
   * for this user only, so that JVMs starting together and other users of the temporary
   * folder cannot meet or swap the file. Both are removed when the JVM exits; where that
   * fails (Windows keeps a loaded library's file), the next JVM removes them.
   */
  private static Path extract(String resource, String fileName) throws IOException {
    Path folder = Files.createTempDirectory(COPY_PREFIX);
    folder.toFile().deleteOnExit();
    Path lock = folder.resolve(LOCK_NAME);
    lock.toFile().deleteOnExit();
    FileChannel channel = FileChannel.open(lock, StandardOpenOption.CREATE, StandardOpenOption.WRITE);
    channel.lock();
    heldLock = channel;
    removeCopiesOfEndedJvms(folder);
    Path library = folder.resolve(fileName);
    try (InputStream in = NativeLibrary.class.getResourceAsStream(resource)) {
      if (in == null) {
        throw new IOException(resource + " is listed but missing");
      }
      Files.copy(in, library);
    }
    // Registered last, deleted first: the files go before their folder.
    library.toFile().deleteOnExit();
    return library;
  }

  private static void removeCopiesOfEndedJvms(Path ours) {
    try (DirectoryStream<Path> copies =
        Files.newDirectoryStream(ours.getParent(), COPY_PREFIX + "*")) {
      for (Path copy : copies) {
        if (!copy.equals(ours)) {
          removeIfEnded(copy);
        }
      }
    } catch (IOException | DirectoryIteratorException e) {
      // Cleaning up is a courtesy; the library loads all the same.
    }
  }

  /**
   * Removes another JVM's copy when that JVM has ended: its lock is free. A copy younger than
   * a minute is left alone, since its JVM may still be about to take the lock.
   */
  private static void removeIfEnded(Path copy) {
    Path lockFile = copy.resolve(LOCK_NAME);
    try {
      long age = System.currentTimeMillis() - Files.getLastModifiedTime(copy).toMillis();
      if (age < MINIMUM_AGE_OF_LEFTOVERS_MILLIS || !Files.isRegularFile(lockFile)) {
        return;
      }
      try (FileChannel channel = FileChannel.open(lockFile, StandardOpenOption.WRITE);
          FileLock lock = channel.tryLock()) {
        if (lock == null) {
          return;
        }
        try (DirectoryStream<Path> files = Files.newDirectoryStream(copy)) {
          for (Path file : files) {
            if (!file.equals(lockFile)) {
              Files.delete(file);
            }
          }
        }
      }
      Files.delete(lockFile);
      Files.delete(copy);
    } catch (IOException | OverlappingFileLockException | DirectoryIteratorException e) {
      // Another JVM's, in use, or being removed by a third: not ours to force.
    }
  }
}
