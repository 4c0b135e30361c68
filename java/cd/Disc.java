package cd;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Base64;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/**
 * A CD's table of contents, read once from a drive, and the identifiers by which music
 * databases know the disc: the freedb disc ID and the CDDB query that gnudb answers, and the
 * MusicBrainz disc ID; on request ({@link #read(String, Extra...)}), also what the disc carries
 * besides: its Media Catalog Number, each track's ISRC and its CD-Text.
 *
 * <pre>{@code
 * Disc disc = Disc.read();               // the system's first CD drive
 * String id = disc.getMusicBrainzId();   // "xUp1F2NkfP8s8jaeFn_Av3jNEI4-"
 * String query = disc.getCddbQuery();    // "cddb query 370fce16 22 150 9700 ... 4048"
 * }</pre>
 *
 * <p>Addresses and lengths are in frames (1/75 second); addresses are absolute, counted from
 * the start of the disc including the two-second (150-frame) lead-in, as drives report them.
 * Track numbers are the disc's own: a disc's first track need not be track 1.
 *
 * <p>A {@code Disc} is immutable and may be shared between threads. Reading one writes
 * nothing to standard error: every failure is a {@link DiscReadException}. The identifiers
 * are computed from the table of contents when the disc is read; only reading touches the
 * drive.
 */
public final class Disc {
  private static final int FRAMES_PER_SECOND = 75;
  // The lead-in before the program area; LBA addresses start after it.
  static final int LEAD_IN_FRAMES = 150;
  private static final int HIGHEST_TRACK = 99;
  // The bit of a track's CONTROL nibble that marks data.
  private static final int DATA_TRACK_CONTROL = 0x4;
  private static final String SUBMISSION_URL = "https://musicbrainz.org/cdtoc/attach";

  static {
    NativeLibrary.loadTocmate();
  }

  private final String drive;
  private final int firstTrack;
  private final int lastTrack;
  private final int leadOut;
  private final List<Track> tracks;
  // The end of the disc's audio session; 0 without audio tracks.
  private final int audioLeadOut;
  private final String freedbId;
  private final String cddbQuery;
  private final String musicBrainzToc;
  private final String musicBrainzId;
  private final String musicBrainzSubmissionUrl;
  private final String mediaCatalogNumber;
  private final CdText cdText;

  /**
   * What a disc carries besides its table of contents, read on request by
   * {@link #read(String, Extra...)}, each at the cost of drive commands of its own.
   */
  public enum Extra {
    /** The Media Catalog Number (one command). */
    MCN,
    /**
     * Each audio track's ISRC (a command a track, and one more to confirm an answer that may
     * be stale; more on drives that repeat old ones).
     */
    ISRC,
    /** The CD-Text (at most two commands). */
    CD_TEXT;

    // The native reader's bit for it.
    int bit() {
      return 1 << ordinal();
    }
  }

  /**
   * Reads the table of contents of the disc in the drive that the {@code TOCMATE_DRIVE}
   * variable names (a drive or a table-of-contents file, as {@link Tocmate} and the command
   * line take it), else in the system's first CD drive: on Linux {@code /dev/cdrom} where it
   * exists, else the first of {@link CdDrive#list()}; on Windows the first drive letter of
   * type CD-ROM.
   *
   * @return the disc's table of contents and identifiers
   * @throws DiscReadException when there is no CD drive or its disc can not be read; its
   *     reason tells why
   */
  public static Disc read() throws DiscReadException {
    return read(defaultDrive());
  }

  /**
   * The drive {@link #read()} reads when none is given: the one the environment variable
   * TOCMATE_DRIVE names, else "" (the system's first CD drive).
   *
   * @return the drive as {@link #read(String)} takes it
   */
  public static String defaultDrive() {
    String configured = System.getenv("TOCMATE_DRIVE");
    return configured == null ? "" : configured;
  }

  /**
   * Reads the table of contents of the disc in the given drive, once.
   *
   * @param drive on Linux, a CD drive's device node ({@code "/dev/sr0"}) or a
   *     table-of-contents file (its format and extras: "Table-of-contents files" in the
   *     project's docs/drives-and-discs.md); on Windows, a drive letter: {@code "D:"},
   *     {@code "D"} or {@code "D:\"}, in either case; on both, a CUE sheet (a path ending in
   *     {@code .cue}), read as the disc image it describes, its extras from the sheet. Empty:
   *     the system's first CD drive, as {@link #read()}.
   * @return the disc's table of contents and identifiers
   * @throws DiscReadException when the drive does not exist, may not be read, holds no disc,
   *     is not ready, fails to read, or gives no valid table of contents, or when the thread
   *     is interrupted while it waits for the drive; its reason tells which, its message what
   *     to do
   * @throws NullPointerException when drive is null
   */
  public static Disc read(String drive) throws DiscReadException {
    return new Disc(readTableOfContents(Objects.requireNonNull(drive, "drive")), null, drive);
  }

  /**
   * Reads the table of contents of the disc in the given drive, as {@link #read(String)}
   * does, and the extras asked for: {@link #getMediaCatalogNumber()},
   * {@link Track#getIsrc()}, {@link #getCdText()}. A value the disc does not carry, that the
   * drive refuses to give, or that fails its checks is null: never a wrong one. A table of
   * contents file gives the extras its lines hold.
   *
   * <p>The drive is asked for the extras with a command each (one a track for ISRCs), and
   * held meanwhile. No command is sent once two minutes have passed since the table was read:
   * a drive that answers each only at its timeout would otherwise hold the drive for half a
   * minute a track. What the drive did not give by then is null, as a value it refuses.
   *
   * @param drive as {@link #read(String)} takes it
   * @param extras the extras to read besides the table of contents; none: as {@link #read(String)}
   * @return the disc, with the extras asked for where the disc gives them
   * @throws DiscReadException as {@link #read(String)}; also when the disc goes away while
   *     its extras are read, and, with the reason {@code INTERRUPTED} and the thread's interrupt
   *     status kept, when the thread is interrupted between two of the drive's commands
   */
  public static Disc read(String drive, Extra... extras) throws DiscReadException {
    Objects.requireNonNull(drive, "drive");
    int bits = 0;
    for (Extra extra : extras) {
      bits |= Objects.requireNonNull(extra, "extra").bit();
    }
    if (bits == 0) {
      return read(drive);
    }
    Object[] reading = readWithExtras(drive, bits);
    return new Disc((int[]) reading[0], reading, drive);
  }

  /**
   * The drive the disc was read from: as {@link #read(String)} was given it ("" for the
   * system's first drive), or as the system names it for a disc a watch reports.
   *
   * @return the drive, a table-of-contents file or a CUE sheet
   */
  public String getDrive() {
    return drive;
  }

  /**
   * The disc of a table read by other means (a watch, an audio reading), in the form {@link
   * #readTableOfContents} gives, from the given drive.
   */
  static Disc ofTable(int[] table, String drive) {
    return new Disc(table, null, drive);
  }

  /**
   * Reads the drive's table of contents: the first track, the last track, the lead-out, then
   * every track's start, then every track's CONTROL nibble.
   */
  private static native int[] readTableOfContents(String drive) throws DiscReadException;

  /**
   * Reads the table with the extras of the given bits: {table as readTableOfContents gives
   * it, the catalog number or null, String[] of every track's ISRC or null, Object[] of
   * CD-Text blocks (see CdText.of) or null}.
   */
  private static native Object[] readWithExtras(String drive, int extras)
      throws DiscReadException;

  private Disc(int[] table, Object[] extras, String drive) {
    this.drive = drive;
    firstTrack = table[0];
    lastTrack = table[1];
    leadOut = table[2];
    int count = lastTrack - firstTrack + 1;
    List<Track> list = new ArrayList<>(count);
    for (int i = 0; i < count; i++) {
      int start = table[3 + i];
      boolean last = i == count - 1;
      int end = last ? leadOut : table[4 + i];
      boolean audio = (table[3 + count + i] & DATA_TRACK_CONTROL) == 0;
      String isrc = extras == null ? null : ((String[]) extras[2])[i];
      list.add(new Track(firstTrack + i, start, end - start, audio, last, isrc));
    }
    mediaCatalogNumber = extras == null ? null : (String) extras[1];
    cdText = extras == null || extras[3] == null
        ? null : CdText.of((Object[]) extras[3], firstTrack, lastTrack);
    tracks = Collections.unmodifiableList(list);

    StringBuilder id = new StringBuilder(8);
    appendHex(id, freedbNumber(), 8, false);
    freedbId = id.toString();
    StringBuilder query = new StringBuilder("cddb query ").append(freedbId).append(' ').append(count);
    for (Track track : tracks) {
      query.append(' ').append(track.start);
    }
    cddbQuery = query.append(' ').append(leadOut / FRAMES_PER_SECOND).toString();

    int audioEnd = lastAudioTrack();
    if (audioEnd == 0) {
      audioLeadOut = 0;
      musicBrainzToc = null;
      musicBrainzId = null;
      musicBrainzSubmissionUrl = null;
    } else {
      audioLeadOut = audioEnd == lastTrack ? leadOut : audioSessionLeadOut(audioEnd);
      musicBrainzToc = musicBrainzTocOf(audioEnd, audioLeadOut);
      musicBrainzId = musicBrainzIdOf(audioEnd, audioLeadOut);
      musicBrainzSubmissionUrl =
          SUBMISSION_URL + "?id=" + musicBrainzId + "&tracks=" + (audioEnd - firstTrack + 1)
              + "&toc=" + musicBrainzToc.replace(' ', '+');
    }
  }

  /**
   * Where the disc's audio ends, in absolute frames: the lead-out, or on an Enhanced CD the
   * audio session's; 0 without audio tracks.
   */
  int getAudioLeadOut() {
    return audioLeadOut;
  }

  /**
   * The number of the disc's first track (1 on most discs, between 1 and 99).
   *
   * @return the first track's number
   */
  public int getFirstTrack() {
    return firstTrack;
  }

  /**
   * The number of the disc's last track (at most 99).
   *
   * @return the last track's number
   */
  public int getLastTrack() {
    return lastTrack;
  }

  /**
   * Where the lead-out starts, in absolute frames (the 150-frame lead-in included): the end
   * of the last track.
   *
   * @return the lead-out's start in frames
   */
  public int getLeadOut() {
    return leadOut;
  }

  /**
   * Every track, data tracks included, in track order; the list is unmodifiable.
   *
   * @return the tracks
   */
  public List<Track> getTracks() {
    return tracks;
  }

  /**
   * The track with the given number.
   *
   * @param number a track number between {@link #getFirstTrack()} and {@link #getLastTrack()}
   * @return the track
   * @throws IllegalArgumentException when the disc has no such track
   */
  public Track getTrack(int number) {
    if (number < firstTrack || number > lastTrack) {
      throw new IllegalArgumentException(
          "no track " + number + ": the disc's tracks are " + firstTrack + " to " + lastTrack);
    }
    return tracks.get(number - firstTrack);
  }

  /**
   * The freedb disc ID, eight lower-case hexadecimal digits ({@code "370fce16"}), over all
   * tracks, data tracks included, as the freedb database and gnudb count them. It is the
   * identifier that {@link Tocmate#getCDDBNumbers()} gives in upper case.
   *
   * @return the freedb disc ID
   */
  public String getFreedbId() {
    return freedbId;
  }

  /**
   * The CDDB query for this disc, as a gnudb server (or any CDDB server) answers it:
   * {@code "cddb query"}, the freedb disc ID, the track count, every track's start in frames
   * and the lead-out in whole seconds, separated by single spaces, for example
   * {@code "cddb query 370fce16 22 150 9700 ... 288750 4048"}. Without its first eleven
   * characters it is {@link Tocmate#getCDDBNumbers()}'s text for the same disc in lower case
   * (for a disc whose first track is 1: that method reads tracks from number 1 on).
   *
   * @return the CDDB query
   */
  public String getCddbQuery() {
    return cddbQuery;
  }

  /**
   * The MusicBrainz disc ID, 28 characters such as {@code "xUp1F2NkfP8s8jaeFn_Av3jNEI4-"}:
   * the published algorithm (SHA-1 over the first and last track numbers, the lead-out and
   * the start of every track, in Base64 with {@code . _ -} for {@code + / =}), over the
   * disc's audio session. On an Enhanced CD, which ends in data tracks, that session ends
   * with the last audio track, and its lead-out lies 11,400 frames before the first data
   * track that follows; data tracks before the first audio track (a mixed-mode disc) count,
   * with the disc's own lead-out.
   *
   * <p>Null when the disc holds no audio track (a data CD): MusicBrainz identifies audio
   * discs only, so such a disc has no MusicBrainz disc ID, TOC or submission URL. Its freedb
   * ID and CDDB query are still given.
   *
   * @return the MusicBrainz disc ID, or null
   */
  public String getMusicBrainzId() {
    return musicBrainzId;
  }

  /**
   * The disc's table of contents as MusicBrainz looks a disc up by it (the {@code toc}
   * parameter of its web service): the first track, the last track, the lead-out, then every
   * track's start, in absolute frames, separated by single spaces, for example
   * {@code "1 22 303602 150 9700 ... 288750"}. It covers the audio session that
   * {@link #getMusicBrainzId()} describes; null when the disc holds no audio track.
   *
   * @return the MusicBrainz TOC, or null
   */
  public String getMusicBrainzToc() {
    return musicBrainzToc;
  }

  /**
   * The address at which a MusicBrainz user attaches this disc to a release:
   * {@code https://musicbrainz.org/cdtoc/attach?id=<ID>&tracks=<count>&toc=<TOC>}, the track
   * count and TOC being those of the audio session, the TOC's spaces written as {@code +}.
   * Null when the disc holds no audio track.
   *
   * @return the submission address, or null
   */
  public String getMusicBrainzSubmissionUrl() {
    return musicBrainzSubmissionUrl;
  }

  /**
   * The AccurateRip disc ID, by which the AccurateRip database keeps the checksums of rips
   * of this disc: {@code nnn-aaaaaaaa-bbbbbbbb-ffffffff} (the count in decimal, the rest in
   * lower-case hex), for example {@code "004-0002189a-00087f33-1f02e004"}: the number of
   * audio tracks, two sums over the audio tracks' starts and the disc's lead-out (in LBA,
   * without the lead-in), and the freedb ID ({@link #getFreedbId()}). Data tracks leave the
   * sums while the lead-out stays the disc's own, as the database's own ripper counts Enhanced
   * and Mixed Mode CDs. Null when the disc holds no audio track.
   *
   * @return the AccurateRip disc ID, or null
   */
  public String getAccurateRipId() {
    return RipIdentifiers.accurateRipId(this);
  }

  /**
   * Where the AccurateRip database serves this disc's checksums,
   * {@code http://www.accuraterip.com/accuraterip/X/Y/Z/dBAR-<ID>.bin}; null when the disc
   * holds no audio track.
   *
   * @return the address of the disc's AccurateRip checksums, or null
   */
  public String getAccurateRipUrl() {
    return RipIdentifiers.accurateRipUrl(getAccurateRipId());
  }

  /**
   * The CUETools database's TOC ID of this disc, 28 characters in MusicBrainz's Base64
   * alphabet: a SHA-1 over the audio tracks' starts relative to the first, with the audio
   * session's lead-out as {@link #getMusicBrainzId()} takes it on an Enhanced CD. Null when
   * the disc holds no audio track.
   *
   * @return the CUETools TOC ID, or null
   */
  public String getCtdbTocId() {
    List<Track> audioTracks = new ArrayList<>(tracks.size());
    for (Track track : tracks) {
      if (track.audio) {
        audioTracks.add(track);
      }
    }
    return RipIdentifiers.ctdbTocId(audioTracks, audioLeadOut);
  }

  /**
   * The address that looks this disc up in the CUETools database:
   * {@code https://db.cue.tools/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=} then every track's
   * start in LBA, a data track's with a leading {@code -}, then the lead-out, joined by
   * {@code :}.
   *
   * @return the CUETools lookup address
   */
  public String getCtdbLookupUrl() {
    return RipIdentifiers.ctdbLookupUrl(this);
  }

  /**
   * The frames between the start of the disc's program area and the first track's start (its
   * start less the 150-frame lead-in). More than 0 means the first track has a pregap in
   * which a hidden track may sit, which rippers look for.
   *
   * @return the first track's pregap in frames
   */
  public int getFirstTrackPregap() {
    return tracks.get(0).start - LEAD_IN_FRAMES;
  }

  /**
   * The disc's Media Catalog Number (its UPC/EAN): 13 digits, or null when not asked for,
   * absent, or not valid.
   *
   * @return the catalog number, or null
   */
  public String getMediaCatalogNumber() {
    return mediaCatalogNumber;
  }

  /**
   * The disc's CD-Text; null when not asked for, or when the disc has none.
   *
   * @return the CD-Text, or null
   */
  public CdText getCdText() {
    return cdText;
  }

  /** Two discs are equal when their tables of contents are: tracks, starts, kinds, lead-out. */
  @Override
  public boolean equals(Object other) {
    if (!(other instanceof Disc)) {
      return false;
    }
    Disc disc = (Disc) other;
    return firstTrack == disc.firstTrack && leadOut == disc.leadOut && tracks.equals(disc.tracks);
  }

  @Override
  public int hashCode() {
    return Objects.hash(firstTrack, leadOut, tracks);
  }

  /**
   * A short description for logs, such as
   * {@code "Disc[tracks 1-22, lead-out 303602, freedb 370fce16, MusicBrainz xUp1F2NkfP8s8jaeFn_Av3jNEI4-]"}.
   */
  @Override
  public String toString() {
    return "Disc[tracks " + firstTrack + "-" + lastTrack + ", lead-out " + leadOut + ", freedb "
        + freedbId + ", MusicBrainz " + (musicBrainzId != null ? musicBrainzId : "none") + "]";
  }

  // The rule of the CDDB disc ID: the digit sums of the tracks' starts in whole seconds,
  // modulo 255, the playing time in whole seconds and the track count, in one number.
  private int freedbNumber() {
    int digitSum = 0;
    for (Track track : tracks) {
      for (int seconds = track.start / FRAMES_PER_SECOND; seconds > 0; seconds /= 10) {
        digitSum += seconds % 10;
      }
    }
    int playingSeconds = leadOut / FRAMES_PER_SECOND - tracks.get(0).start / FRAMES_PER_SECOND;
    return (digitSum % 255) << 24 | playingSeconds << 8 | tracks.size();
  }

  private int lastAudioTrack() {
    for (int i = tracks.size() - 1; i >= 0; i--) {
      if (tracks.get(i).audio) {
        return tracks.get(i).number;
      }
    }
    return 0;
  }

  // The lead-out of an Enhanced CD's audio session. Data that follows closer than a session
  // gap can only share the audio's session, which then ends where the data starts.
  private int audioSessionLeadOut(int audioEnd) {
    int dataStart = getTrack(audioEnd + 1).start;
    int leadOut = dataStart - Frames.SESSION_GAP;
    return leadOut > getTrack(audioEnd).start ? leadOut : dataStart;
  }

  private String musicBrainzTocOf(int audioEnd, int audioLeadOut) {
    StringBuilder toc = new StringBuilder();
    toc.append(firstTrack).append(' ').append(audioEnd).append(' ').append(audioLeadOut);
    for (int number = firstTrack; number <= audioEnd; number++) {
      toc.append(' ').append(getTrack(number).start);
    }
    return toc.toString();
  }

  // SHA-1 of the upper-case hexadecimal text of the first and last track (two digits each),
  // the lead-out and the starts of tracks 1 to 99 (eight digits each, 0 for absent tracks).
  private String musicBrainzIdOf(int audioEnd, int audioLeadOut) {
    StringBuilder text = new StringBuilder(2 + 2 + 8 * (1 + HIGHEST_TRACK));
    appendHex(text, firstTrack, 2, true);
    appendHex(text, audioEnd, 2, true);
    appendHex(text, audioLeadOut, 8, true);
    for (int number = 1; number <= HIGHEST_TRACK; number++) {
      boolean present = number >= firstTrack && number <= audioEnd;
      appendHex(text, present ? getTrack(number).start : 0, 8, true);
    }
    return sha1InMusicBrainzBase64(text.toString());
  }

  // The SHA-1 of an ASCII text in Base64 with MusicBrainz's . _ - for + / =.
  static String sha1InMusicBrainzBase64(String text) {
    byte[] digest = Sha1.digest(text.getBytes(StandardCharsets.US_ASCII));
    return Base64.getEncoder()
        .encodeToString(digest)
        .replace('+', '.')
        .replace('/', '_')
        .replace('=', '-');
  }

  // Hexadecimal digits, as many as asked for, leading zeros included: appended at once, as a
  // fresh JVM interprets each call of StringBuilder's and String's at some cost.
  static void appendHex(StringBuilder text, int value, int digits, boolean upperCase) {
    char[] hex = new char[digits];
    for (int i = digits - 1, rest = value; i >= 0; i--, rest >>>= 4) {
      int digit = rest & 0xf;
      hex[i] = (char) (digit < 10 ? '0' + digit : (upperCase ? 'A' : 'a') + digit - 10);
    }
    text.append(hex);
  }

  /** One track of a disc. Immutable. */
  public static final class Track {
    private final int number;
    private final int start;
    private final int length;
    private final boolean audio;
    private final int lengthSeconds;
    private final String isrc;

    private Track(int number, int start, int length, boolean audio, boolean last, String isrc) {
      this.isrc = isrc;
      this.number = number;
      this.start = start;
      this.length = length;
      this.audio = audio;
      // Drives report a disc's last track one frame short of the lead-out, and
      // Tocmate.getTrackLengths gives the seconds of that.
      this.lengthSeconds = (last ? length - 1 : length) / FRAMES_PER_SECOND;
    }

    /**
     * The track's number on the disc, between 1 and 99.
     *
     * @return the track's number
     */
    public int getNumber() {
      return number;
    }

    /**
     * Where the track starts, in absolute frames (the 150-frame lead-in included).
     *
     * @return the track's start in frames
     */
    public int getStart() {
      return start;
    }

    /**
     * The track's length in frames: up to the next track's start, for the last track up to
     * the lead-out.
     *
     * @return the track's length in frames
     */
    public int getLength() {
      return length;
    }

    /**
     * The track's length in whole seconds, frames dropped, as
     * {@link Tocmate#getTrackLengths()} gives it: the last track counts up to the frame
     * before the lead-out, as drives report it, so a last track of exactly 200 seconds gives
     * 199.
     *
     * @return the track's length in whole seconds
     */
    public int getLengthSeconds() {
      return lengthSeconds;
    }

    /**
     * The track's ISRC: 12 characters (country, registrant, year, number), or null when not
     * asked for, absent, or not confirmed.
     *
     * @return the ISRC, or null
     */
    public String getIsrc() {
      return isrc;
    }

    /**
     * Whether the track holds audio; false for a data track.
     *
     * @return true for an audio track, false for a data track
     */
    public boolean isAudio() {
      return audio;
    }

    @Override
    public boolean equals(Object other) {
      if (!(other instanceof Track)) {
        return false;
      }
      Track track = (Track) other;
      return number == track.number && start == track.start && length == track.length
          && audio == track.audio;
    }

    @Override
    public int hashCode() {
      return Objects.hash(number, start, length, audio);
    }

    /** A short description, such as {@code "Track[3, start 25887, length 13410, audio]"}. */
    @Override
    public String toString() {
      return "Track[" + number + ", start " + start + ", length " + length + ", "
          + (audio ? "audio" : "data") + "]";
    }
  }
}
