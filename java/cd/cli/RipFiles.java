package cd.cli;

import cd.DiscAudio;
import cd.RipLog;
import java.io.BufferedOutputStream;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.channels.Channels;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;

/**
 * The files a rip writes into its folder, each under a name of its own until whole and only
 * then under its real name: a rip that fails or is interrupted (a shutdown hook removes the
 * file) leaves an earlier copy as it was, and no file that claims to be whole.
 */
final class RipFiles {
  private static final int WAVE_HEADER_BYTES = 44;

  /** What goes into a file being written. */
  interface Contents<T> {
    T writeTo(OutputStream file) throws IOException;
  }

  private RipFiles() {}

  /** What goes into a file being written, through its channel. */
  interface ChannelContents<T> {
    T writeTo(FileChannel file) throws IOException;
  }

  /** Writes `file` whole through `contents`; returns what `contents` returned. */
  static <T> T writeWhole(File file, Contents<T> contents) throws IOException {
    return writeWholeChannel(file, channel -> {
      OutputStream unbuffered = Channels.newOutputStream(channel);
      try (OutputStream out = new BufferedOutputStream(unbuffered, 1 << 16)) {
        return contents.writeTo(out);
      }
    });
  }

  /** Writes `file` whole through its channel, as writeWhole. */
  static <T> T writeWholeChannel(File file, ChannelContents<T> contents) throws IOException {
    File partial = File.createTempFile("." + file.getName() + ".", ".part", file.getParentFile());
    Thread removal = new Thread(partial::delete);
    Runtime.getRuntime().addShutdownHook(removal);
    try {
      T written;
      try (FileChannel channel = FileChannel.open(partial.toPath(), StandardOpenOption.WRITE)) {
        written = contents.writeTo(channel);
      }
      Files.move(partial.toPath(), file.toPath(), StandardCopyOption.REPLACE_EXISTING,
          StandardCopyOption.ATOMIC_MOVE);
      return written;
    } finally {
      partial.delete();
      try {
        Runtime.getRuntime().removeShutdownHook(removal);
      } catch (IllegalStateException shuttingDown) {
        // The hook runs, or ran: the file is gone either way.
      }
    }
  }

  /** Writes a text file whole, in UTF-8. */
  static void writeText(File file, String text) throws IOException {
    writeWhole(file, out -> {
      out.write(text.getBytes(StandardCharsets.UTF_8));
      return null;
    });
  }

  /** The header of a WAVE file of CD audio whose samples take `bytes`. */
  static byte[] waveHeader(long bytes) {
    byte[] header = new byte[WAVE_HEADER_BYTES];
    putAscii(header, 0, "RIFF");
    putLittleEndian(header, 4, bytes + WAVE_HEADER_BYTES - 8, 4);
    putAscii(header, 8, "WAVEfmt ");
    putLittleEndian(header, 16, 16, 4);  // the format's size
    putLittleEndian(header, 20, 1, 2);  // PCM
    putLittleEndian(header, 22, 2, 2);  // channels
    putLittleEndian(header, 24, 44100, 4);
    putLittleEndian(header, 28, 44100 * DiscAudio.SAMPLE_BYTES, 4);  // bytes a second
    putLittleEndian(header, 32, DiscAudio.SAMPLE_BYTES, 2);  // bytes a sample
    putLittleEndian(header, 34, 16, 2);  // bits a value
    putAscii(header, 36, "data");
    putLittleEndian(header, 40, bytes, 4);
    return header;
  }

  private static void putAscii(byte[] bytes, int at, String text) {
    for (int i = 0; i < text.length(); i++) {
      bytes[at + i] = (byte) text.charAt(i);
    }
  }

  private static void putLittleEndian(byte[] bytes, int at, long value, int size) {
    for (int i = 0; i < size; i++) {
      bytes[at + i] = (byte) (value >>> (8 * i));
    }
  }

  /** Passes on the first `kept` bytes and measures the peak of all. */
  static final class Metered extends OutputStream {
    private final OutputStream out;
    private long room;
    private int peak;

    Metered(OutputStream out, long kept) {
      this.out = out;
      this.room = kept;
    }

    int peak() {
      return peak;
    }

    @Override
    public void write(int b) {
      throw new UnsupportedOperationException("samples come in blocks");
    }

    @Override
    public void write(byte[] bytes, int offset, int length) throws IOException {
      peak = RipLog.peakOf(bytes, offset, length, peak);
      int passed = (int) Math.min(room, length);
      out.write(bytes, offset, passed);
      room -= passed;
    }
  }
}
