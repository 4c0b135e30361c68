import cd.FlacOutput;
import java.io.File;
import java.io.IOException;
import java.nio.channels.FileChannel;
import java.nio.file.StandardOpenOption;
import java.util.Arrays;

/**
 * cd.FlacOutput's refusals, a case a row: samples fewer or more than said, part of a sample at
 * the end, tags beyond the room kept for them or with names Vorbis comments can not have.
 * Each must end in its exception with its words; where writing is fine, the file must pass
 * flac -t (run here) and hold the samples. Prints each failure; exits with 1 on any.
 */
public final class FlacCheck {
  private interface Writing {
    void run(FlacOutput flac) throws IOException;
  }

  private static int failures;

  public static void main(String[] args) throws Exception {
    byte[] second = new byte[44100 * 4];
    for (int i = 0; i < second.length; i++) {
      second[i] = (byte) (i * 7 + (i >> 9));
    }
    check("one second, in odd pieces", 44100, null, flac -> {
      flac.addTag("TITLE", "Zwölf \uD834\uDD1E");
      for (int at = 0; at < second.length; at += 4097) {
        flac.write(second, at, Math.min(4097, second.length - at));
      }
    });
    check("fewer samples", 44101, "the file was made for 44101 samples, and 44100 came",
        flac -> flac.write(second));
    check("more samples", 44099, "more samples came than the file was made for (44099)",
        flac -> flac.write(second));
    check("part of a sample", 44100, "end with part of one (3 bytes)", flac -> {
      flac.write(second);
      flac.write(second, 0, 3);
    });
    char[] long_ = new char[9000];
    Arrays.fill(long_, 'x');
    check("tags beyond their room", 44100, "take more than the 8192 bytes kept for them", flac -> {
      flac.addTag("COMMENT", new String(long_));
      flac.write(second);
    });
    check("a name with '='", 44100, "printable ASCII without '='", flac -> flac.addTag("A=B", ""));
    check("an empty name", 44100, "name is empty", flac -> flac.addTag("", "x"));
    System.exit(failures == 0 ? 0 : 1);
  }

  private static void check(String name, long samples, String refusal, Writing writing)
      throws Exception {
    File file = File.createTempFile("flac-check", ".flac");
    try {
      String message = null;
      try (FileChannel channel = FileChannel.open(file.toPath(), StandardOpenOption.WRITE);
           FlacOutput flac = new FlacOutput(channel, samples)) {
        writing.run(flac);
      } catch (IOException | IllegalArgumentException e) {
        message = e.getMessage();
      }
      if (refusal == null ? message != null : message == null || !message.contains(refusal)) {
        fail(name + ": " + (message == null ? "no refusal" : message));
      } else if (refusal == null) {
        Process test = new ProcessBuilder("flac", "-t", "-s", file.getPath()).inheritIO().start();
        if (test.waitFor() != 0) {
          fail(name + ": flac -t fails");
        }
      }
      if (failures == 0) {
        System.out.println("ok: " + name);
      }
    } finally {
      file.delete();
    }
  }

  private static void fail(String what) {
    System.out.println("FAILED " + what);
    failures++;
  }
}
