package cd;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.ByteBuffer;
import java.nio.channels.SeekableByteChannel;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Objects;

/**
 * Writes CD audio as a FLAC file through libFLAC, the reference encoder, linked into the
 * native library: the samples written to this stream (16-bit little-endian stereo at
 * 44.1 kHz, as {@link DiscAudio#readTrack} gives them) are encoded as they come, and
 * {@link #close()} ends the file with its metadata: STREAMINFO with the MD5 of the samples, a
 * seek point every ten seconds and the Vorbis comments {@link #addTag} gave, which may be
 * added until then (an AccurateRip result, say, known only once the samples are read).
 *
 * <pre>{@code
 * try (FileChannel file = FileChannel.open(path, StandardOpenOption.CREATE_NEW,
 *          StandardOpenOption.WRITE);
 *      FlacOutput flac = new FlacOutput(file, audio.getTrackSamples(1))) {
 *   flac.addTag("TRACKNUMBER", "1");
 *   TrackRip rip = audio.readTrack(1, flac);
 * }
 * }</pre>
 *
 * <p>The file is written at the channel's positions from 0, the metadata last: a file whose
 * stream was not closed, or whose closing failed, is no FLAC file and is for the caller to
 * remove. The channel stays open.
 */
public final class FlacOutput extends OutputStream {
  /** The compression level of the reference encoder when none is given, as here. */
  public static final int DEFAULT_LEVEL = 5;

  private static final int BLOCK_BYTES = 26 * DiscAudio.SECTOR_BYTES;

  static {
    NativeLibrary.loadTocmate();
  }

  private final SeekableByteChannel file;
  private final List<byte[]> tags = new ArrayList<>();
  private final byte[] block = new byte[BLOCK_BYTES];
  private final long[] offset = new long[1];
  private int held;
  // The native encoder; 0 once closed.
  private long encoder;

  /**
   * An encoder at the default level, {@value #DEFAULT_LEVEL}.
   *
   * @param file where the FLAC file goes, written from position 0
   * @param samples the stereo samples the file will hold, exactly
   * @throws IOException when libFLAC refuses to start
   */
  public FlacOutput(SeekableByteChannel file, long samples) throws IOException {
    this(file, samples, DEFAULT_LEVEL);
  }

  /**
   * An encoder at a compression level of the reference encoder's.
   *
   * @param file where the FLAC file goes, written from position 0
   * @param samples the stereo samples the file will hold, exactly
   * @param level from 0 (fastest) to 8 (smallest)
   * @throws IOException when libFLAC refuses to start
   * @throws IllegalArgumentException for a negative count or a level beyond 0 to 8
   */
  public FlacOutput(SeekableByteChannel file, long samples, int level) throws IOException {
    this.file = Objects.requireNonNull(file, "file");
    if (samples < 0 || level < 0 || level > 8) {
      throw new IllegalArgumentException(
          samples < 0 ? "a negative count of samples" : "FLAC's levels are 0 to 8, not " + level);
    }
    encoder = open(samples, level);
  }

  /**
   * Adds a Vorbis comment, such as {@code TITLE}; a name may come more than once.
   *
   * @param name the field's name: printable ASCII without {@code =}
   * @param value its value, any text
   * @throws IllegalArgumentException for a name that is empty or has other characters
   */
  public void addTag(String name, String value) {
    Objects.requireNonNull(value, "value");
    if (name.isEmpty()) {
      throw new IllegalArgumentException("a Vorbis comment's name is empty");
    }
    for (char c : name.toCharArray()) {
      if (c < 0x20 || c > 0x7d || c == '=') {
        throw new IllegalArgumentException(
            "a Vorbis comment's name is printable ASCII without '=': " + Printable.escape(name));
      }
    }
    tags.add((name + "=" + value).getBytes(StandardCharsets.UTF_8));
  }

  @Override
  public void write(int b) throws IOException {
    write(new byte[] {(byte) b}, 0, 1);
  }

  @Override
  public void write(byte[] bytes, int start, int length) throws IOException {
    if (start < 0 || length < 0 || length > bytes.length - start) {
      throw new IndexOutOfBoundsException();
    }
    checkOpen();
    while (length > 0) {
      int count = Math.min(length, block.length - held);
      System.arraycopy(bytes, start, block, held, count);
      held += count;
      start += count;
      length -= count;
      if (held == block.length) {
        encodeHeld();
      }
    }
  }

  private void checkOpen() throws IOException {
    if (encoder == 0) {
      throw new IOException("the FLAC file was closed");
    }
  }

  // Encodes the whole samples held; a part of a sample waits for the rest.
  private void encodeHeld() throws IOException {
    int whole = held - held % DiscAudio.SAMPLE_BYTES;
    encode(encoder, block, whole);
    System.arraycopy(block, whole, block, 0, held - whole);
    held -= whole;
    writePieces();
  }

  private void writePieces() throws IOException {
    for (byte[] piece; (piece = nextPiece(encoder, offset)) != null; ) {
      file.position(offset[0]);
      ByteBuffer buffer = ByteBuffer.wrap(piece);
      while (buffer.hasRemaining()) {
        file.write(buffer);
      }
    }
  }

  /**
   * Ends the file: its last samples and its metadata are written. A second call does nothing.
   *
   * @throws IOException when fewer or more samples came than were said, or part of one, when
   *     the tags take more than the 8,192 bytes kept for them, or the channel fails
   */
  @Override
  public void close() throws IOException {
    if (encoder == 0) {
      return;
    }
    try {
      encodeHeld();
      if (held > 0) {
        throw new IOException("FLAC: the samples end with part of one (" + held + " bytes)");
      }
      finish(encoder, tags.toArray(new byte[0][]));
      writePieces();
    } finally {
      close(encoder);
      encoder = 0;
    }
  }

  private static native long open(long samples, int level) throws IOException;

  private static native void encode(long encoder, byte[] pcm, int length) throws IOException;

  /** Ends the stream, the tags ("NAME=value" in UTF-8) in its metadata. */
  private static native void finish(long encoder, byte[][] tags) throws IOException;

  /** The next piece of the file to write, at offset[0]; null when none is left. */
  private static native byte[] nextPiece(long encoder, long[] offset);

  private static native void close(long encoder);
}
