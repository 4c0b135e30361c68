package cd;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Loads a native library: from java.library.path when it is there, so that a user can always
 * override, else from the copy for this platform that the jar carries. The jar lists its
 * copies in {@code /natives/platforms}, one "platform/file" a line, such as
 * "linux-x86_64/libTocmate.so".
 */
final class NativeLibrary {
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
      System.load(extract("/natives/" + platform + "/" + fileName, fileName).toString());
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
    try (InputStream index = NativeLibrary.class.getResourceAsStream("/natives/platforms")) {
      if (index != null) {
        for (String line : new String(index.readAllBytes(), StandardCharsets.UTF_8).split("\n")) {
          if (!line.isBlank()) {
            entries.add(line.trim());
          }
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
    return platforms.isEmpty() ? List.of("none") : platforms;
  }

  /**
   * Copies the resource into a new folder of its own, with a name no one can guess and access
   * for this user only, so that JVMs starting together and other users of the temporary
   * folder cannot meet or swap the file. Both are removed when the JVM exits.
   */
  private static Path extract(String resource, String fileName) throws IOException {
    Path folder = Files.createTempDirectory("tocmate-");
    folder.toFile().deleteOnExit();
    Path library = folder.resolve(fileName);
    try (InputStream in = NativeLibrary.class.getResourceAsStream(resource)) {
      if (in == null) {
        throw new IOException(resource + " is listed but missing");
      }
      Files.copy(in, library);
    }
    // Registered last, deleted first: the file goes before its folder.
    library.toFile().deleteOnExit();
    return library;
  }
}
