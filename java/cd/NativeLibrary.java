package cd;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.security.CodeSource;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Locale;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * Loads the native library: the file that the {@code tocmate.library.path} property names,
 * else one on java.library.path, so that a user can always override, else the copy for this
 * platform that the jar carries. A library from outside the jar must be of this jar's version.
 * The jar lists its copies in {@code /cd/tocmate/natives/platforms}, one "platform/file" a
 * line, such as "linux-x86_64/libTocmate.so". The jar's copy is loaded from a copy that this
 * user's JVMs reuse ({@link CachedCopy}): in {@code tocmate.tmpdir} where it is set, else in
 * the user's cache folder, which is the user's own on every platform and outlives a JVM
 * without leaving one file per JVM (Windows cannot remove a loaded library's file), else in
 * java.io.tmpdir, for where there is no home to write.
 */
final class NativeLibrary {
  static final String LIBRARY_PATH_PROPERTY = "tocmate.library.path";
  static final String TMPDIR_PROPERTY = "tocmate.tmpdir";
  private static final String NATIVES = "/cd/tocmate/natives/";
  private static final int READ_PIECE = 32 * 1024;

  // Whether this class loader's classes have their library.
  private static boolean loaded;

  private NativeLibrary() {}

  /** The version the loaded library was built as. */
  static native String libraryVersion();

  /**
   * Loads the Tocmate library for this class loader once; the classes with native methods ask
   * for it in their initialisers. A load that failed is tried again at the next request.
   */
  static synchronized void loadTocmate() {
    if (!loaded) {
      load("Tocmate");
      loaded = true;
    }
  }

  static void load(String name) {
    String fileName = System.mapLibraryName(name);
    String chosen = System.getProperty(LIBRARY_PATH_PROPERTY, "");
    if (!chosen.isEmpty()) {
      Path library = chosenLibrary(chosen, fileName);
      System.load(library.toString());
      checkVersion(library, "set " + LIBRARY_PATH_PROPERTY + " to the library of version "
          + Version.NUMBER + ", or leave it unset to use the jar's own copy");
      return;
    }
    Path onLibraryPath = onLibraryPath(fileName);
    if (onLibraryPath != null) {
      // The file found, not the JVM's own search, which takes an empty or relative entry of
      // java.library.path (and on Windows every folder of PATH) as the working folder.
      System.load(onLibraryPath.toString());
      checkVersion(onLibraryPath, "put the library of version " + Version.NUMBER
          + " there, or take its folder off java.library.path to use the jar's own copy");
      return;
    }
    loadFromJar(name, fileName);
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
      os = lettersAndDigits(os);
    }
    if (arch.equals("amd64") || arch.equals("x86_64")) {
      arch = "x86_64";
    } else if (arch.equals("arm64")) {
      arch = "aarch64";
    }
    return os + "-" + arch;
  }

  static String lettersAndDigits(String text) {
    StringBuilder kept = new StringBuilder(text.length());
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c >= 'a' && c <= 'z' || c >= '0' && c <= '9') {
        kept.append(c);
      }
    }
    return kept.toString();
  }

  /** The library the property names: the file itself, or the library in that folder. */
  private static Path chosenLibrary(String chosen, String fileName) {
    try {
      Path path = Paths.get(chosen).toAbsolutePath();
      Path library = Files.isDirectory(path) ? path.resolve(fileName) : path;
      if (Files.isRegularFile(library)) {
        return library;
      }
    } catch (InvalidPathException e) {
      // Reported below like a missing file.
    }
    throw new UnsatisfiedLinkError(LIBRARY_PATH_PROPERTY + " is \"" + Printable.escape(chosen)
        + "\", which is neither a " + fileName + " nor a folder holding one");
  }

  /**
   * The library in the first folder of java.library.path that holds one. Only absolute folders
   * count: an empty or relative one would be the working folder, or one in it, which anyone
   * may have chosen. (java.io.File answers a folder that cannot be a path, a NUL in it, with
   * false, not an exception, and costs a start less than making NIO paths.)
   */
  private static Path onLibraryPath(String fileName) {
    for (String folder : System.getProperty("java.library.path", "").split(File.pathSeparator)) {
      File library = new File(folder, fileName);
      if (new File(folder).isAbsolute() && library.isFile()) {
        return library.toPath();
      }
    }
    return null;
  }

  /**
   * Refuses a library from outside the jar that is not of this jar's version: its functions
   * may not be those these classes call, and its texts may differ. It stays loaded, but the
   * class that needs it fails to initialise with this message.
   */
  private static void checkVersion(Path library, String remedy) {
    String version;
    try {
      version = libraryVersion();
    } catch (UnsatisfiedLinkError e) {
      throw new UnsatisfiedLinkError(Printable.escape(library.toString())
          + " is a Tocmate library of an older version than " + Version.NUMBER
          + ", which these classes need: " + remedy);
    }
    if (!Version.NUMBER.equals(version)) {
      throw new UnsatisfiedLinkError(Printable.escape(library + " is version " + version)
          + " of the Tocmate library, but these classes need version " + Version.NUMBER + ": "
          + remedy);
    }
  }

  private static void loadFromJar(String name, String fileName) {
    String platform = platform();
    String resource = NATIVES + platform + "/" + fileName;
    CachedCopy copy;
    try {
      copy = CachedCopy.of(resource, fileName);
    } catch (IOException e) {
      throw linkError("can not read the " + name + " library out of the jar: "
          + Printable.escape(e.toString()), e);
    }
    if (copy == null) {
      List<String> bundled = bundledPlatforms();
      throw new UnsatisfiedLinkError(bundled.contains(platform + "/" + fileName)
              ? "the jar lists the " + name + " library for " + platform + ", but " + resource
                  + " is not in it"
              : "no " + name + " library for the platform " + platform + " on java.library.path"
                  + " or in the jar, which holds it for: " + String.join(", ", platformsOf(bundled)));
    }
    String build = Version.NUMBER + "-" + copy.contentName();
    List<String> failures = new ArrayList<>();
    String tmpdir = System.getProperty(TMPDIR_PROPERTY);
    if (tmpdir != null && tryTemporaryFolder(TMPDIR_PROPERTY, tmpdir, build, copy, failures)) {
      return;
    }
    Path cache = null;
    try {
      cache = cacheBase();
      copy.load(cache, false, "tocmate", build);
      return;
    } catch (IOException | InvalidPathException | UnsatisfiedLinkError e) {
      failures.add("the cache folder" + (cache != null ? " (" + cache + ")" : "") + ": "
          + reason(e));
    }
    if (tmpdir == null && tryTemporaryFolder("java.io.tmpdir",
        System.getProperty("java.io.tmpdir", ""), build, copy, failures)) {
      return;
    }
    throw new UnsatisfiedLinkError("can not load the " + name + " library copied out of the jar,"
        + " in " + Printable.escape(String.join("; nor in ", failures)) + ". Set "
        + TMPDIR_PROPERTY + " to a folder it can be copied to and loaded from, or "
        + LIBRARY_PATH_PROPERTY + " to a " + fileName + " of version " + Version.NUMBER
        + " to load instead");
  }

  /**
   * Loads the library from this user's folder in a temporary folder that all users share:
   * {@code <tmpdir>/tocmate.<user>/<build>}. Whether it did; if not, why is in failures.
   */
  private static boolean tryTemporaryFolder(String property, String tmpdir, String build,
      CachedCopy copy, List<String> failures) {
    if (tmpdir.isEmpty()) {
      failures.add(property + ", which is empty");
      return false;
    }
    try {
      copy.load(Paths.get(tmpdir).toAbsolutePath(), true, "tocmate", build);
      return true;
    } catch (IOException | InvalidPathException | UnsatisfiedLinkError e) {
      failures.add(property + " (" + tmpdir + "): " + reason(e));
      return false;
    }
  }

  /**
   * This user's cache folder: {@code $XDG_CACHE_HOME} or {@code ~/.cache}, on Windows
   * {@code %LOCALAPPDATA%}.
   */
  private static Path cacheBase() throws IOException {
    if (platform().startsWith("windows-")) {
      Path base = absolute(System.getenv("LOCALAPPDATA"));
      if (base == null) {
        throw new IOException("LOCALAPPDATA is not set");
      }
      return base;
    }
    Path base = absolute(System.getenv("XDG_CACHE_HOME"));
    if (base != null) {
      return base;
    }
    Path home = absolute(System.getenv("HOME"));
    if (home == null) {
      home = absolute(System.getProperty("user.home"));
    }
    if (home == null) {
      throw new IOException("neither XDG_CACHE_HOME nor HOME names a folder");
    }
    return home.resolve(".cache");
  }

  /** The path, if it is an absolute one: a relative one would depend on the working folder. */
  private static Path absolute(String path) {
    return path != null && !path.isEmpty() && Paths.get(path).isAbsolute() ? Paths.get(path) : null;
  }

  /** Why a way of loading failed: a link error says it all, other failures need their kind. */
  private static String reason(Throwable failure) {
    return failure instanceof UnsatisfiedLinkError ? failure.getMessage() : failure.toString();
  }

  private static UnsatisfiedLinkError linkError(String message, Throwable cause) {
    UnsatisfiedLinkError error = new UnsatisfiedLinkError(message);
    error.initCause(cause);
    return error;
  }

  private static List<String> bundledPlatforms() {
    List<String> entries = new ArrayList<>();
    try {
      byte[] index = readResource(NATIVES + "platforms");
      for (String line : new String(index != null ? index : new byte[0], StandardCharsets.UTF_8)
               .split("\n")) {
        if (!line.trim().isEmpty()) {
          entries.add(line.trim());
        }
      }
    } catch (IOException e) {
      // A missing or unreadable index bundles nothing.
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
   * The bytes of a resource of the jar these classes came from, or null where there is none;
   * name is absolute, such as "/cd/tocmate/natives/platforms". They are read straight from the
   * jar file where the classes came from one, which costs a fresh JVM a fraction of what the
   * class loader's resource URLs do, else through the class loader.
   */
  static byte[] readResource(String name) throws IOException {
    File jar = ownJar();
    if (jar != null) {
      try (ZipFile zip = new ZipFile(jar)) {
        ZipEntry entry = zip.getEntry(name.substring(1));
        if (entry != null) {
          try (InputStream in = zip.getInputStream(entry)) {
            return readAll(in, entry.getSize());
          }
        }
      } catch (IOException e) {
        // Read through the class loader below, as one not in this jar.
      }
    }
    try (InputStream in = NativeLibrary.class.getResourceAsStream(name)) {
      return in != null ? readAll(in, -1) : null;
    }
  }

  /**
   * The size and CRC-32 that the jar file these classes came from lists for a resource (name
   * as for {@link #readResource}), read from its directory alone; null where it lists none.
   */
  static long[] listedSizeAndChecksum(String name) {
    File jar = ownJar();
    if (jar != null) {
      try (ZipFile zip = new ZipFile(jar)) {
        ZipEntry entry = zip.getEntry(name.substring(1));
        if (entry != null && entry.getSize() >= 0 && entry.getCrc() >= 0) {
          return new long[] {entry.getSize(), entry.getCrc()};
        }
      } catch (IOException e) {
        // Read through the class loader, as one not in this jar.
      }
    }
    return null;
  }

  /** The jar file that holds this class, or null where it came from elsewhere. */
  private static File ownJar() {
    try {
      CodeSource source = NativeLibrary.class.getProtectionDomain().getCodeSource();
      URL location = source != null ? source.getLocation() : null;
      if (location != null && location.getProtocol().equals("file")
          && location.getPath().endsWith(".jar")) {
        File jar = new File(location.toURI());
        return jar.isFile() ? jar : null;
      }
    } catch (Exception e) {
      // A location that is no file's URI, for one: not a plain file.
    }
    return null;
  }

  private static byte[] readAll(InputStream in, long size) throws IOException {
    if (size >= 0 && size < Integer.MAX_VALUE) {
      byte[] content = new byte[(int) size];
      int length = 0;
      // A piece at a time: the JDK reads through a native buffer as large as the read, and a
      // fresh one of the library's size costs a start more than the reading.
      for (int count; length < content.length
           && (count = in.read(content, length, Math.min(READ_PIECE, content.length - length)))
               > 0;) {
        length += count;
      }
      if (length == content.length && in.read() == -1) {
        return content;
      }
      throw new IOException("a resource of the jar is not of its listed size");
    }
    ByteArrayOutputStream content = new ByteArrayOutputStream();
    byte[] buffer = new byte[65536];
    for (int count; (count = in.read(buffer)) != -1;) {
      content.write(buffer, 0, count);
    }
    return content.toByteArray();
  }
}
