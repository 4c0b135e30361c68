import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Paths;

/**
 * Two class loaders in one JVM, each with the jar and nothing else, each load cd.Disc (and so
 * the native library) and read the drive. Usage: TwoLoaders JAR DRIVE MUSICBRAINZ-ID
 */
public final class TwoLoaders {
  public static void main(String[] args) throws Exception {
    URL jar = Paths.get(args[0]).toUri().toURL();
    Class<?> previous = null;
    boolean failed = false;
    for (int i = 1; i <= 2; i++) {
      // No parent but the platform's: each loader defines cd.Disc itself.
      URLClassLoader loader = new URLClassLoader(new URL[] {jar}, null);
      Class<?> disc = Class.forName("cd.Disc", true, loader);
      Object read = disc.getMethod("read", String.class).invoke(null, args[1]);
      Method id = disc.getMethod("getMusicBrainzId");
      String got = (String) id.invoke(read);
      if (disc == previous || !args[2].equals(got)) {
        System.out.println(
            "class loader " + i + ": " + got + (disc == previous ? ", a class shared" : ""));
        failed = true;
      }
      previous = disc;
    }
    System.out.println(failed ? "failed" : "ok: two class loaders");
    System.exit(failed ? 1 : 0);
  }
}
