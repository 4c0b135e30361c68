package cd;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.ArrayList;
import java.util.List;

/**
 * The log of a rip: the program and its version, the drive, how it read (mode, read offset,
 * cache handling; each track's C2 use), the table of contents, each track's file, pregap, peak level,
 * extraction speed, copy CRC (and the test CRC of a first read dropped), AccurateRip checksums
 * with their confidence, suspicious positions and how the copy was confirmed, then a summary, which says whether the rip ran to its end ({@link #finish()}) or
 * stopped, and why ({@link #stop}). Its last line holds the SHA-256 of everything above it
 * ({@link #verify(String)}): that catches accidental changes (a file cut short, a line edited
 * by mistake), not forgery, since anyone who changes the log can compute the hash again.
 *
 * <pre>{@code
 * RipLog log = new RipLog(audio, driveInfo, layout);
 * log.addTrack(rip, "track01.wav", peak, millis, confidence);
 * log.finish();
 * Files.write(path, log.toString().getBytes(StandardCharsets.UTF_8));
 * }</pre>
 *
 * <p>Texts from the drive and the disc are escaped to printable ASCII.
 */
public final class RipLog {
  private static final String HASH_PREFIX =
      "Log SHA-256 (catches accidental changes, not forgery) ";
  private static final double CD_BYTES_PER_SECOND = 44100.0 * DiscAudio.SAMPLE_BYTES;

  private final Disc disc;
  private final DiscLayout layout;
  private final StringBuilder header = new StringBuilder();
  private final StringBuilder tracks = new StringBuilder();
  private int ripped;
  private int complete;
  private int accurate;
  private int checked;
  private boolean finished;
  private String stopped;
  private String names;

  /**
   * Starts a log of a rip from {@code audio}.
   *
   * @param audio the reading, its disc, mode and read offset as they are now
   * @param drive the drive's vendor, model and revision (from {@link CdDrive#list()}), or null
   *     where they are not known
   * @param layout the disc's layout, or null where it was not read
   */
  public RipLog(DiscAudio audio, CdDrive drive, DiscLayout layout) {
    this.disc = audio.getDisc();
    this.layout = layout;
    line(header, "Tocmate " + Version.NUMBER + " rip log");
    line(header, "");
    line(header, "Drive: " + (drive == null ? "unknown"
        : Printable.escape(drive.getVendor()) + " " + Printable.escape(drive.getModel())
            + ", revision " + Printable.escape(drive.getRevision())));
    boolean onceFirst = audio.isSecure() && !audio.isImage()
        && audio.getAccurateRipResults() != null
        && audio.getAccurateRipResults().isFor(disc);
    line(header, "Read mode: " + (audio.isImage()
        ? "a disc image: its files read the same every time, so every sector is read once"
        : audio.isSecure()
        ? "secure: " + (onceFirst ? "a track the AccurateRip answer has read once and kept"
                + " where it confirms it, else " : "")
            + "every sector read twice from the disc; where reads differ, kept only by a"
            + " clear majority (three reads and three to one, up to sixteen reads)"
        : "burst: every sector read once, again only where the drive reports an error"));
    int offset = audio.getReadOffset();
    line(header, "Read offset correction: " + (offset > 0 ? "+" : "") + offset + " samples");
    line(header, "Cache handling: " + audio.cacheHandling());
    line(header, "");
    line(header, "Table of contents");
    line(header, "  Track |    Start |   Length | First sector | Last sector");
    for (Disc.Track track : disc.getTracks()) {
      int first = track.getStart() - Disc.LEAD_IN_FRAMES;
      line(header, String.format("  %5d | %8s | %8s | %12d | %11d%s", track.getNumber(),
          Frames.time(first), Frames.time(track.getLength()), first,
          first + track.getLength() - 1, track.isAudio() ? "" : " (data)"));
    }
    line(header, "");
    if (layout != null) {
      line(header, "Layout" + (layout.isComplete() ? "" : " (incomplete: -1 is unknown)"));
      line(header, "  Hidden track: " + layout.getHiddenTrackLength() + " sectors"
          + (layout.getHiddenTrackLength() == 0 ? ""
              : layout.hasHiddenAudio() ? ", holding audio" : ", silent"));
      line(header, "");
    }
  }

  /**
   * Says where the names of the rip's sheet came from, as a line after the layout.
   *
   * @param source such as "the disc's CD-Text", {@link DiscNames#getSource()}, or why there
   *     are none
   */
  public void setNamesSource(String source) {
    names = source;
  }

  /**
   * Adds a track's rip.
   *
   * @param rip what the reading gave
   * @param file the file it went to
   * @param peak its highest sample's magnitude, 0 to 32768 (see {@link #peakOf})
   * @param millis how long the reading took
   * @param confidence its AccurateRip confidence among the pressings of this disc
   *     ({@link TrackRip#getConfirmingConfidence()}), or null when no answer was given
   */
  public void addTrack(TrackRip rip, String file, int peak, long millis, Integer confidence) {
    int number = rip.getTrackNumber();
    line(tracks, number == 0 ? "Hidden track (before track 1)" : "Track " + number);
    line(tracks, "  File: " + Printable.escape(file));
    if (layout != null && number != 0) {
      DiscLayout.Track laid = layout.getTrack(number);
      line(tracks, "  Pregap: " + (laid.getPregapLength() < 0 ? "unknown"
          : Frames.time(laid.getPregapLength())));
      line(tracks, "  Pre-emphasis: " + laid.getPreEmphasisSource());
    }
    line(tracks, String.format("  Peak level: %.1f %%", 100.0 * peak / 32768));
    double seconds = Math.max(millis, 1) / 1000.0;
    line(tracks, String.format("  Extraction speed: %.1fx",
        rip.getSamples() * DiscAudio.SAMPLE_BYTES / CD_BYTES_PER_SECOND / seconds));
    if (rip.getTestCrc32() != null) {
      line(tracks, "  Test CRC: " + rip.getTestCrc32() + " (a first read, not confirmed, dropped)");
    }
    line(tracks, "  Copy CRC: " + rip.getCrc32());
    if (number != 0) {
      line(tracks, "  AccurateRip v1: " + rip.getAccurateRipV1() + ", v2: " + rip.getAccurateRipV2()
          + (confidence == null ? ", not checked" : ", confidence " + confidence));
      checked += confidence == null ? 0 : 1;
      accurate += confidence != null && confidence > 0 ? 1 : 0;
    }
    line(tracks, "  C2 error pointers: " + (rip.isFromImage() ? "none: a disc image"
        : rip.isC2Used() ? "used" : "not given by the drive"));
    line(tracks, "  Sectors read again: " + rip.getRereadSectors());
    int start = number == 0 ? 0 : disc.getTrack(number).getStart() - Disc.LEAD_IN_FRAMES;
    line(tracks, "  Suspicious positions:" + times(rip.getUnreadableSectors(), start, "unread")
        + times(rip.getUnconfirmedSectors(), start, "unconfirmed")
        + times(rip.getC2Sectors(), start, "C2 flagged")
        + (rip.isComplete() && rip.getC2Sectors().length == 0 ? " none" : ""));
    if (rip.isCacheUnproven()) {
      line(tracks, "  Not secure: the disc's audio is too short to push the drive's cache out");
    }
    TrackRip.Confirmation confirmation = rip.getConfirmation();
    line(tracks, "  Confirmed: " + (confirmation == TrackRip.Confirmation.ACCURATERIP
            ? "by AccurateRip, confidence " + rip.getConfirmingConfidence()
            : confirmation == TrackRip.Confirmation.READS_AGREED ? "by reads that agreed"
            : "no"));
    line(tracks, "  " + (rip.isComplete() ? "Copy OK" : "Copy incomplete"));
    line(tracks, "");
    ripped++;
    complete += rip.isComplete() ? 1 : 0;
  }

  /** Marks the rip as run to its end: every track it was to copy was added. */
  public void finish() {
    finished = true;
  }

  /**
   * Marks the rip as stopped before its end, by a failure.
   *
   * @param failure why it stopped, such as the disc taken out
   */
  public void stop(IOException failure) {
    String why = failure.getMessage() != null ? failure.getMessage() : failure.toString();
    // The library's own failures are escaped already.
    stopped = failure instanceof DiscReadException ? why : Printable.escape(why);
  }

  /**
   * The highest magnitude among 16-bit little-endian samples, starting from a peak so far.
   *
   * @param pcm the samples' bytes
   * @param offset where they start
   * @param length how many bytes (even)
   * @param peak the peak so far
   * @return the new peak, 0 to 32768
   */
  public static int peakOf(byte[] pcm, int offset, int length, int peak) {
    for (int i = offset; i + 1 < offset + length; i += 2) {
      int value = (short) ((pcm[i] & 0xff) | pcm[i + 1] << 8);
      peak = Math.max(peak, Math.abs(value));
    }
    return peak;
  }

  /**
   * The log's text, its hash as the last line. Until {@link #finish()}, it says the rip is
   * incomplete: written while the rip goes on, it is true of a rip interrupted then.
   */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder(header);
    if (names != null) {
      line(text, "Names: " + Printable.escape(names));
      line(text, "");
    }
    text.append(tracks);
    line(text, "Summary");
    if (!finished) {
      line(text, "  Rip incomplete: " + (stopped != null ? "stopped by a failure: " + stopped
          : "it did not run to its end (interrupted, or going on when this was written);"
              + " only the tracks above were copied"));
    }
    line(text, "  Tracks copied: " + ripped + ", complete: " + complete
        + (checked == 0 ? ", AccurateRip not checked"
            : ", accurately ripped: " + accurate + " of " + checked));
    line(text, "  " + (finished && complete == ripped ? "No errors occurred" : "There were errors"));
    line(text, "");
    return line(text, HASH_PREFIX + sha256(text.toString())).toString();
  }

  /**
   * Whether a log's last line is the SHA-256 of everything above it: false where the log was
   * changed by accident. A log changed on purpose can carry a hash made again.
   *
   * @param log a log's text as {@link #toString()} gave it
   * @return false for a log changed since, or no log
   */
  public static boolean verify(String log) {
    int end = log.endsWith("\n") ? log.length() - 1 : log.length();
    int last = log.lastIndexOf('\n', end - 1) + 1;
    String line = log.substring(last, end);
    return line.startsWith(HASH_PREFIX)
        && line.substring(HASH_PREFIX.length()).equals(sha256(log.substring(0, last)));
  }

  private static String times(int[] sectors, int trackStart, String what) {
    StringBuilder text = new StringBuilder();
    for (int sector : sectors) {
      text.append(' ').append(Frames.time(sector - trackStart)).append(" (").append(what)
          .append(')');
    }
    return text.toString();
  }

  private static StringBuilder line(StringBuilder text, String line) {
    return text.append(line).append('\n');
  }

  private static String sha256(String text) {
    try {
      byte[] digest =
          MessageDigest.getInstance("SHA-256").digest(text.getBytes(StandardCharsets.UTF_8));
      StringBuilder hex = new StringBuilder();
      for (byte b : digest) {
        Disc.appendHex(hex, b & 0xff, 2, false);
      }
      return hex.toString();
    } catch (NoSuchAlgorithmException e) {
      throw new IllegalStateException("every Java has SHA-256", e);
    }
  }
}
