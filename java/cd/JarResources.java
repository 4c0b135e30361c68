package cd;

import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.security.CodeSource;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;

/**
 * Reads resources of the jar these classes came from: straight from the jar file where they
 * came from one, which costs a fresh JVM a fraction of what the class loader's resource URLs
 * do, else through the class loader.
 */
final class JarResources {
  private JarResources() {}

  /**
   * The resource's bytes, or null where there is none; name is absolute, such as
   * "/cd/tocmate/natives/platforms".
   */
  static byte[] read(String name) throws IOException {
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
    try (InputStream in = JarResources.class.getResourceAsStream(name)) {
      return in != null ? readAll(in, -1) : null;
    }
  }

  /** The jar file that holds this class, or null where it came from elsewhere. */
  private static File ownJar() {
    try {
      CodeSource source = JarResources.class.getProtectionDomain().getCodeSource();
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
      for (int count; length < content.length
           && (count = in.read(content, length, content.length - length)) > 0;) {
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
