package cd;

import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Objects;
import javax.sound.sampled.AudioFormat;
import javax.sound.sampled.AudioInputStream;

/**
 * The audio of the CD in a drive, read track by track, offset-corrected and checked:
 *
 * <pre>{@code
 * try (DiscAudio audio = DiscAudio.open("/dev/sr0")) {
 *   audio.setReadOffset(6);   // the drive's correction, from AccurateRip's list of drives
 *   audio.setSecure(true);    // every sector read twice and compared
 *   try (OutputStream pcm = new FileOutputStream("01.pcm")) {
 *     TrackRip rip = audio.readTrack(1, pcm);
 *     System.out.println(rip.getAccurateRipV2() + " " + rip.getCrc32());
 *   }
 * }
 * }</pre>
 *
 * <p>Samples are 16-bit little-endian stereo at 44.1 kHz, as the CD holds them. The read
 * offset says where the drive's samples lie against the disc's: with offset {@code n}, the
 * track's sample {@code i} is the one the drive returns at {@code i + n}. Samples that this
 * puts before the disc's start or at or after its lead-out are silence, as AccurateRip
 * counts them. A track is never held in memory: it streams through a buffer of 61,152 bytes.
 *
 * <p>From {@link #open(String)} to {@link #close()} the drive is this object's: other reads
 * of the drive in this process ({@link Disc#read(String)}, {@link Tocmate}) wait for it, at
 * most 30 seconds each, as they wait for each other; so close it when done. The tray is not
 * locked: a disc taken out ends the read under way with {@link DiscReadException.Reason#NO_DISC},
 * the samples written so far kept. A {@code DiscAudio} may be used from any thread, one read
 * at a time.
 */
public final class DiscAudio implements AutoCloseable {
  /** The bytes of a sector of audio: 588 stereo samples of 4 bytes. */
  public static final int SECTOR_BYTES = 2352;

  /** The bytes of a stereo sample: two 16-bit little-endian channels. */
  public static final int SAMPLE_BYTES = 4;
  // The most bytes one native read hands out: 26 sectors, a READ CD's worth.
  private static final int CHUNK_BYTES = 26 * SECTOR_BYTES;
  // The largest read offset any drive has: within a hundred sectors either way.
  private static final int MAX_OFFSET = 100 * 588;
  // The most a cache may be said to hold, in KB.
  private static final int MOST_CACHE_KILOBYTES = 65536;

  static {
    NativeLibrary.loadTocmate();
  }

  /** Told how far a read has come, after every block of sectors, on the reading thread. */
  public interface Progress {
    /**
     * @param track the track being read
     * @param sectorsDone its sectors written so far (75 a second)
     * @param sectors all its sectors
     */
    void update(int track, int sectorsDone, int sectors);
  }

  /**
   * Where a track's samples go, started anew for each read of the track that may be kept: in
   * secure mode with an AccurateRip answer ({@link #setAccurateRipResults}), a first read that
   * the answer does not confirm is dropped and the track read again.
   */
  public interface TrackOutput {
    /**
     * Starts the track's samples from the first: the stream they go to, holding none yet.
     * The stream an earlier call returned gets no more samples, and what it got is not the
     * track's: for the caller to drop (truncate the file, say). No stream is closed here.
     *
     * @return where the samples go, from the track's first
     * @throws IOException when the destination can not be started again
     */
    OutputStream restart() throws IOException;
  }

  private final String drive;
  private final Disc disc;
  private final boolean image;
  // The native reading of the drive; 0 once closed.
  private long session;
  private int readOffset;
  private boolean secure;
  // What the drive's cache is said to hold, in KB; 0: the drive's own estimate.
  private int cacheKilobytes;
  private Progress progress;
  // The AccurateRip answer that confirms tracks, or null.
  private AccurateRipResults answer;
  // The stream of the track being read; a new one ends it.
  private TrackStream current;

  private DiscAudio(String drive, long session) {
    this.drive = drive;
    this.session = session;
    Disc read;
    try {
      read = Disc.ofTable(table(session), drive);
    } catch (RuntimeException | Error e) {
      closeDrive(session);
      throw e;
    }
    this.disc = read;
    this.image = readsImage(session);
  }

  /**
   * Opens the drive that {@link Disc#read()} chooses: that of {@code TOCMATE_DRIVE}, else the
   * system's first CD drive.
   *
   * @return the drive's audio, held until {@link #close()}
   * @throws DiscReadException as {@link #open(String)}
   */
  public static DiscAudio open() throws DiscReadException {
    return open(Disc.defaultDrive());
  }

  /**
   * Opens a drive, reads its table of contents and holds the drive until {@link #close()}.
   *
   * @param drive as {@link Disc#read(String)} takes it; a CUE sheet (a name ending in
   *     {@code .cue}) opens the disc image it describes, which locks nothing; a
   *     table-of-contents file holds no audio and is refused
   *     ({@link DiscReadException.Reason#NO_DRIVE})
   * @return the open drive
   * @throws DiscReadException as {@link Disc#read(String)}: no such drive, no access, no
   *     disc, not ready (another read held the drive for 30 seconds), a read failing, or the
   *     thread interrupted while it waited
   */
  public static DiscAudio open(String drive) throws DiscReadException {
    Objects.requireNonNull(drive, "drive");
    return new DiscAudio(drive, openDrive(drive));
  }

  /**
   * Whether this reads a disc image (a CUE sheet and its files) rather than a drive. An
   * image's files read the same every time: secure reading reads it once, and its
   * {@link TrackRip}s say so.
   *
   * @return true for an image
   */
  public boolean isImage() {
    return image;
  }

  /**
   * The disc's table of contents and identifiers, as read when the drive was opened.
   *
   * @return the disc as read at the opening
   */
  public Disc getDisc() {
    return disc;
  }

  /**
   * Sets the drive's read offset correction in samples, as AccurateRip's list of drives
   * gives it (such as +6, +667 or -1164); 0 by default. Applies to the reads that start after.
   *
   * @param samples the correction, in samples
   * @throws IllegalArgumentException beyond 100 sectors (58,800 samples) either way
   */
  public synchronized void setReadOffset(int samples) {
    if (Math.abs(samples) > MAX_OFFSET) {
      throw new IllegalArgumentException(
          "a read offset of " + samples + " samples is beyond any drive's (" + MAX_OFFSET + ")");
    }
    readOffset = samples;
  }

  /**
   * The drive's read offset correction, as set by {@link #setReadOffset(int)}.
   *
   * @return the correction in samples
   */
  public synchronized int getReadOffset() {
    return readOffset;
  }

  /**
   * Secure reading (false by default: every sector read once, and again only when it fails or
   * the drive's C2 error pointers flag it). In secure mode the track is read in windows of at
   * least twice the drive's cache ({@link #getCacheSize()}), each window twice, so that the
   * second read comes from the disc and not from the cache (a shorter window is followed by a
   * cache's worth of reads of audio elsewhere on the disc, far enough that read-ahead can not
   * bring it back; a FUA drop goes before every second read, though nothing relies on it).
   * Sectors whose two reads differ, fail or are flagged are read again together after such a
   * push, until a value wins a clear majority: at least three reads and three times as many
   * as any other value (two against one is not clear), at most sixteen reads. One that never
   * does is kept as last read and reported ({@link TrackRip#getUnconfirmedSectors()}); where
   * the disc's audio is too short to push the cache out, the sectors read are reported so too
   * ({@link TrackRip#isCacheUnproven()}). A drive whose C2 flags agreeing reads contradict is
   * not trusted for the rest of the disc. A clean disc costs about two reads a sector; with
   * an AccurateRip answer for it ({@link #setAccurateRipResults}), about one.
   *
   * @param secure whether to read securely
   */
  public synchronized void setSecure(boolean secure) {
    this.secure = secure;
  }

  /**
   * Whether reads are secure.
   *
   * @return as {@link #setSecure(boolean)} set it
   */
  public synchronized boolean isSecure() {
    return secure;
  }

  /**
   * Sets what the drive's cache of audio is taken to hold, for secure reading, overriding the
   * drive's own estimate. Applies to the reads that start after.
   *
   * @param kilobytes the cache's size in KB (1024 bytes), from 1 to 65,536
   * @throws IllegalArgumentException for 0, a negative size or more than 64 MB
   */
  public synchronized void setCacheSize(int kilobytes) {
    if (kilobytes < 1 || kilobytes > MOST_CACHE_KILOBYTES) {
      throw new IllegalArgumentException("a drive's cache of " + kilobytes
          + " KB: it takes 1 to " + MOST_CACHE_KILOBYTES + " KB");
    }
    cacheKilobytes = kilobytes;
  }

  /**
   * What the drive's cache is taken to hold: the size {@link #setCacheSize(int)} set, else the
   * buffer size the drive reports (MODE SENSE, capabilities page) where it is more than 8 MB,
   * else 8 MB: drives under-report, and 8 MB is the largest common cache.
   *
   * @return the size in KB
   * @throws IllegalStateException once closed
   */
  public synchronized int getCacheSize() {
    checkOpen();
    return cacheKilobytes > 0 ? cacheKilobytes : cacheKilobytes(session);
  }

  private void checkOpen() {
    if (session == 0) {
      throw new IllegalStateException("the drive " + Printable.escape(drive) + " was closed");
    }
  }

  /** How reads get past the drive's audio cache, as a rip's log words it. */
  synchronized String cacheHandling() {
    if (image) {
      return "none: a disc image's files have no cache";
    }
    int kilobytes = getCacheSize();
    return secure
        ? "windows of twice the cache (" + kilobytes + " KB) read twice, a cache's worth of audio"
            + " read elsewhere before a second read where needed, a FUA drop before each"
        : "a sector read again (failed, or flagged by C2) after a cache's worth (" + kilobytes
            + " KB) read elsewhere";
  }

  /**
   * Reads sectors once, as they are, for a look at a few of them.
   *
   * @return false where the drive could not read one of them
   */
  synchronized boolean readSectors(int lba, int count, byte[] out) throws DiscReadException {
    checkOpen();
    return readSectors(session, lba, count, out);
  }

  /**
   * Sets the AccurateRip answer that tracks are checked against; null (the default) for none.
   * Each track read after is confirmed by it ({@link TrackRip#getConfirmation()}) where its v1
   * or v2 checksum is that of a pressing of this disc (the disc's AccurateRip identifiers, see
   * {@link AccurateRipResults#isFor(Disc)}) at confidence 1 or more; an entry of confidence 0
   * or a pressing of another disc confirms nothing. In secure mode,
   * {@link #readTrack(int, TrackOutput)} then reads a track that such an entry may confirm
   * once, as burst mode reads, and
   * keeps that read where the answer confirms it and every sector came; otherwise it starts
   * the output again and reads the track in full secure mode, the first read's CRC-32 kept as
   * the test CRC ({@link TrackRip#getTestCrc32()}). An answer for another disc never spares
   * a read.
   *
   * @param answer the answer of the AccurateRip database for this disc, or null
   */
  public synchronized void setAccurateRipResults(AccurateRipResults answer) {
    this.answer = answer;
  }

  /**
   * The AccurateRip answer tracks are checked against.
   *
   * @return as {@link #setAccurateRipResults} set it, or null
   */
  public synchronized AccurateRipResults getAccurateRipResults() {
    return answer;
  }

  /**
   * Sets what is told of a read's progress; null for nothing.
   *
   * @param progress told of each block of sectors read, or null
   */
  public synchronized void setProgress(Progress progress) {
    this.progress = progress;
  }

  /**
   * Reads a track and writes its samples to {@code pcm}, which stays open. The samples go out
   * as they are read, so a stream can not be started again: in secure mode every sector is
   * read twice, even with an AccurateRip answer ({@link #readTrack(int, TrackOutput)} reads a
   * track the answer confirms once).
   *
   * @param number the track's number on the disc
   * @param pcm where the samples go: 16-bit little-endian stereo, 44.1 kHz
   * @return the track's checksums and what the reading met
   * @throws DiscReadException when the disc goes away or was changed since the opening
   *     ({@code NO_DISC}), or the drive fails: the samples written until then stay written
   * @throws IOException when {@code pcm} fails
   * @throws IllegalArgumentException for a track the disc does not have, or a data track
   * @throws IllegalStateException once closed
   */
  public TrackRip readTrack(int number, OutputStream pcm) throws IOException {
    Objects.requireNonNull(pcm, "pcm");
    return copy(startTrack(number, false), pcm);
  }

  /**
   * Reads a track as {@link #readTrack(int, OutputStream)}, into an output that can start
   * again: in secure mode with an AccurateRip answer for this disc, the track is read once and
   * kept where the answer confirms it; else {@code output} is started again and the track read
   * in full secure mode (see {@link #setAccurateRipResults}). Otherwise it is read once into
   * the output's first start.
   *
   * @param number the track's number on the disc
   * @param output where the samples go, started before each read of the track
   * @return the kept read's checksums, what its reading met and how it was confirmed
   * @throws DiscReadException as {@link #readTrack(int, OutputStream)}
   * @throws IOException when {@code output} fails
   * @throws IllegalArgumentException for a track the disc does not have, or a data track
   * @throws IllegalStateException once closed
   */
  public TrackRip readTrack(int number, TrackOutput output) throws IOException {
    Objects.requireNonNull(output, "output");
    boolean onceFirst;
    synchronized (this) {
      onceFirst = secure && !image && answer != null
          && answer.canConfirm(disc, number - disc.getFirstTrack());
    }
    if (!onceFirst) {
      return copy(startTrack(number, false), output.restart());
    }
    TrackRip test = copy(startTrack(number, true), output.restart());
    if (test.getConfirmation() == TrackRip.Confirmation.ACCURATERIP && test.isComplete()) {
      return test;
    }
    TrackRip copy = copy(startTrack(number, false), output.restart());
    return copy.confirmed(copy.getConfirmingConfidence(), test.getCrc32());
  }

  private static TrackRip copy(TrackStream stream, OutputStream pcm) throws IOException {
    byte[] buffer = new byte[CHUNK_BYTES];
    for (int read; (read = stream.read(buffer, 0, buffer.length)) > 0; ) {
      pcm.write(buffer, 0, read);
    }
    return stream.rip();
  }

  /**
   * The track's samples as a stream, as {@link #readTrack} reads them, for
   * {@code AudioSystem.write(stream, AudioFileFormat.Type.WAVE, file)} for example. A failure
   * of the drive comes out of its read as a {@link DiscReadException}. Closing the stream,
   * reading another track or closing this object ends it: its reads then throw an
   * {@code IOException}.
   *
   * @param number the track's number on the disc
   * @return its samples, {@link #getTrackSamples} frames of 16-bit stereo at 44.1 kHz
   * @throws DiscReadException when the disc was changed since the opening, or is gone
   * @throws IllegalArgumentException for a track the disc does not have, or a data track
   * @throws IllegalStateException once closed
   * @throws DiscReadException when the drive can not start reading the track: the disc gone ({@code
   *     NO_DISC}) or the drive failing
   */
  public AudioInputStream openTrack(int number) throws DiscReadException {
    TrackStream stream = startTrack(number, false);
    // Made here, so that only this method needs javax.sound (the java.desktop module).
    AudioFormat cdAudio = new AudioFormat(44100f, 16, 2, true, false);
    return new AudioInputStream(stream, cdAudio, stream.bytes / SAMPLE_BYTES);
  }

  /**
   * Reads the disc's layout from its Q sub-channel: pregaps, index points, pre-emphasis and
   * the hidden track. Each boundary takes a few reads of a few sectors, not a read of every
   * sector; the audio before the first track is read until it shows sound.
   *
   * @return the layout; what the drive's Q data did not confirm is unknown in it
   * @throws DiscReadException when the drive reads no Q sub-channel ({@code UNSUPPORTED}),
   *     the disc goes away or the drive fails
   * @throws IllegalStateException once closed
   */
  public synchronized DiscLayout readLayout() throws DiscReadException {
    checkOpen();
    current = null;
    return new DiscLayout(disc, readLayout(session, disc.getAudioLeadOut()));
  }

  /**
   * Copies the audio before the first track (a hidden track, in the first track's pregap),
   * offset-corrected as {@link #readTrack} copies a track, to {@code pcm}, which stays open.
   * AccurateRip keeps no checksums of it: the result gives its CRC-32 alone.
   *
   * @param pcm where its samples go
   * @return its CRC-32 and what the reading met; track number 0, no AccurateRip checksums
   * @throws DiscReadException when the drive can not read a sector there ({@code
   *     READ_FAILED}, before that sector's samples are written), the disc goes away or the
   *     drive fails
   * @throws IOException when {@code pcm} fails
   * @throws IllegalStateException when the first track starts at the disc's start (see
   *     {@link DiscLayout#getHiddenTrackLength()}), or once closed
   */
  public TrackRip readHiddenTrack(OutputStream pcm) throws IOException {
    Objects.requireNonNull(pcm, "pcm");
    TrackStream stream;
    synchronized (this) {
      checkOpen();
      boolean twice = secure && !image;
      long bytes =
          startHiddenReading(session, disc.getAudioLeadOut(), readOffset, twice, cacheKilobytes);
      current = stream = new TrackStream(0, bytes, readOffset, twice, progress);
    }
    return copy(stream, pcm);
  }

  /** Lets the drive go; a second call does nothing. */
  @Override
  public synchronized void close() {
    if (session != 0) {
      closeDrive(session);
      session = 0;
      current = null;
    }
  }

  /**
   * The samples a track holds: 588 a sector, up to the next track, the last audio track up
   * to the lead-out (on an Enhanced CD, that of the audio session).
   *
   * @param number the track's number
   * @return the track's samples, one for each channel pair
   * @throws IllegalArgumentException for a track the disc does not have, or a data track
   */
  public long getTrackSamples(int number) {
    Disc.Track track = audioTrack(number);
    return (endOf(track) - track.getStart()) * 588L;
  }

  private Disc.Track audioTrack(int number) {
    if (number < disc.getFirstTrack() || number > disc.getLastTrack()) {
      throw new IllegalArgumentException("the disc has no track " + number);
    }
    Disc.Track track = disc.getTrack(number);
    if (!track.isAudio()) {
      throw new IllegalArgumentException("track " + number + " is a data track: it holds no audio");
    }
    return track;
  }

  // Where an audio track ends, in absolute frames.
  private int endOf(Disc.Track track) {
    int number = track.getNumber();
    for (int later = number + 1; later <= disc.getLastTrack(); later++) {
      if (disc.getTrack(later).isAudio()) {
        return disc.getTrack(number + 1).getStart();
      }
    }
    return disc.getAudioLeadOut();
  }

  /** Starts reading a track: once where `once`, else as the mode says. */
  private synchronized TrackStream startTrack(int number, boolean once)
      throws DiscReadException {
    checkOpen();
    Disc.Track track = audioTrack(number);
    boolean twice = secure && !image && !once;
    long bytes = startReading(session, number, endOf(track), disc.getAudioLeadOut(), readOffset,
        twice, cacheKilobytes);
    current = new TrackStream(number, bytes, readOffset, twice, progress);
    return current;
  }

  /** The stream's next samples: their size, 0 at its end. A failure ends the stream. */
  private synchronized int readFor(TrackStream stream, byte[] buffer) throws IOException {
    checkCurrent(stream);
    try {
      return readSamples(session, buffer);
    } catch (DiscReadException e) {
      current = null;
      throw e;
    }
  }

  private synchronized void checkCurrent(TrackStream stream) throws IOException {
    if (stream != current) {
      throw new IOException("track " + stream.number + "'s reading has ended: "
          + (session == 0 ? "the drive was closed"
              : "its stream was closed, it failed, or another track is read"));
    }
  }

  /** Ends the stream's reading: nothing more comes out of it. */
  private synchronized void end(TrackStream stream) {
    if (stream == current) {
      current = null;
    }
  }

  private synchronized TrackRip ripOf(TrackStream stream) throws IOException {
    checkCurrent(stream);
    TrackRip rip = new TrackRip(stream.number, stream.number - disc.getFirstTrack(),
        stream.number == 0 ? 0 : disc.getTrack(stream.number).getStart() - Disc.LEAD_IN_FRAMES,
        stream.bytes, stream.readOffset,
        stream.secure, image, trackResult(session));
    return answer == null || stream.number == 0 ? rip
        : rip.confirmed(answer.confidenceOn(disc, rip), null);
  }

  /** A track's samples in order, whole samples only, fetched a block of sectors at a time. */
  private final class TrackStream extends InputStream {
    final int number;
    final long bytes;
    final int readOffset;
    final boolean secure;
    private final Progress progress;
    private final byte[] one = new byte[SAMPLE_BYTES];
    private final byte[] chunk = new byte[CHUNK_BYTES];
    private int chunkStart;
    private int chunkEnd;
    private long done;

    TrackStream(int number, long bytes, int readOffset, boolean secure, Progress progress) {
      this.number = number;
      this.bytes = bytes;
      this.readOffset = readOffset;
      this.secure = secure;
      this.progress = progress;
    }

    @Override
    public int read() throws IOException {
      return read(one, 0, 1) < 0 ? -1 : one[0] & 0xff;
    }

    @Override
    public int read(byte[] buffer, int offset, int length) throws IOException {
      if (offset < 0 || length < 0 || length > buffer.length - offset) {
        throw new IndexOutOfBoundsException();
      }
      // Also what it holds already is not handed out once it was closed or ended.
      checkCurrent(this);
      if (length == 0) {
        return 0;
      }
      if (chunkStart == chunkEnd) {
        if (done == bytes) {
          return -1;
        }
        chunkStart = 0;
        chunkEnd = readFor(this, chunk);
        if (chunkEnd == 0) {
          throw new IOException("track " + number + " ended " + (bytes - done) + " bytes early");
        }
        done += chunkEnd;
        if (progress != null) {
          progress.update(number, (int) (done / SECTOR_BYTES), (int) (bytes / SECTOR_BYTES));
        }
      }
      int count = Math.min(length, chunkEnd - chunkStart);
      System.arraycopy(chunk, chunkStart, buffer, offset, count);
      chunkStart += count;
      return count;
    }

    @Override
    public int available() {
      return chunkEnd - chunkStart;
    }

    @Override
    public void close() {
      end(this);
    }

    /** The rip of the whole track, read to its end. */
    TrackRip rip() throws IOException {
      if (done != bytes || chunkStart != chunkEnd) {
        throw new IllegalStateException("track " + number + " was not read to its end");
      }
      return ripOf(this);
    }
  }

  /** Opens the drive, holding it, and reads its table: the session's handle. */
  private static native long openDrive(String drive) throws DiscReadException;

  /** The table as Disc.readTableOfContents gives it. */
  private static native int[] table(long session);

  private static native void closeDrive(long session);

  /** Whether the session reads a disc image rather than a drive. */
  private static native boolean readsImage(long session);

  /** Starts reading a track: the bytes of its samples. */
  private static native long startReading(long session, int track, int end, int audioLeadOut,
      int offset, boolean secure, int cacheKilobytes) throws DiscReadException;

  /** Starts reading the audio before the first track: the bytes of its samples. */
  private static native long startHiddenReading(long session, int audioLeadOut, int offset,
      boolean secure, int cacheKilobytes) throws DiscReadException;

  /** The layout as DiscLayout's constructor takes it. */
  private static native int[] readLayout(long session, int audioLeadOut)
      throws DiscReadException;

  /** Reads the next samples into `buffer`, as many as fit: their size, 0 at the end. */
  private static native int readSamples(long session, byte[] buffer) throws DiscReadException;

  /**
   * What the track's reading found: AccurateRip v1, v2, CRC-32, the sectors read again,
   * whether the drive gave C2 pointers (1) or not (0), then three lists, each its count and
   * the addresses: the unreadable sectors, the unconfirmed ones and those C2 flagged.
   */
  private static native int[] trackResult(long session);

  /** The drive's cache as estimated from what it reports, in KB. */
  private static native int cacheKilobytes(long session);

  /** Reads sectors once into `out`: false where the drive could not read one of them. */
  private static native boolean readSectors(long session, int lba, int count, byte[] out)
      throws DiscReadException;
}
