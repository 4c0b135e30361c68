package cd;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Optional;

/**
 * The AccurateRip database's answer for a disc: the file that {@link Disc#getAccurateRipUrl()}
 * names, fetched by the program (the library does no networking), in its dBAR format. It
 * holds one entry a pressing the database knows: a 13-byte header (the track count, the
 * two AccurateRip disc IDs and the freedb ID, little-endian) and for each track 9 bytes:
 * how many rips agreed (the confidence), their checksum, and the checksum of the track's
 * frame 450 alone.
 *
 * <pre>{@code
 * AccurateRipResults results = AccurateRipResults.parse(bytesOfTheUrl);
 * int confidence = results.confidence(rip);  // 0: no rip in the database matches
 * }</pre>
 */
public final class AccurateRipResults {
  private static final int HEADER_BYTES = 13;
  private static final int TRACK_BYTES = 9;

  private final List<Pressing> pressings;

  private AccurateRipResults(List<Pressing> pressings) {
    this.pressings = Collections.unmodifiableList(pressings);
  }

  /**
   * Reads the database's answer.
   *
   * @param response the bytes of the file that {@link Disc#getAccurateRipUrl()} names
   * @return its pressings
   * @throws IllegalArgumentException when it is not whole dBAR entries (an error page, an
   *     empty or cut short file, or an entry of more tracks than the freedb ID counts on the
   *     disc): its message says where
   */
  public static AccurateRipResults parse(byte[] response) {
    if (response.length == 0) {
      throw new IllegalArgumentException("not an AccurateRip answer: it is empty");
    }
    List<Pressing> pressings = new ArrayList<>();
    int at = 0;
    while (at < response.length) {
      if (response.length - at < HEADER_BYTES) {
        throw new IllegalArgumentException(
            "not an AccurateRip answer: " + (response.length - at) + " bytes at " + at
                + " are too few for an entry's header");
      }
      int tracks = response[at] & 0xff;
      int freedbId = littleEndian(response, at + 9);
      // The freedb ID's low byte counts every track of the disc, data tracks too.
      if (tracks == 0 || tracks > (freedbId & 0xff)) {
        throw new IllegalArgumentException("not an AccurateRip answer: the entry at " + at
            + " has " + tracks + " tracks, the disc " + (freedbId & 0xff));
      }
      int end = at + HEADER_BYTES + tracks * TRACK_BYTES;
      if (end > response.length) {
        throw new IllegalArgumentException(
            "not an AccurateRip answer: the entry at " + at + " of " + tracks
                + " tracks is cut short");
      }
      int[] confidences = new int[tracks];
      int[] crcs = new int[tracks];
      int[] frame450Crcs = new int[tracks];
      for (int i = 0; i < tracks; i++) {
        int track = at + HEADER_BYTES + i * TRACK_BYTES;
        confidences[i] = response[track] & 0xff;
        crcs[i] = littleEndian(response, track + 1);
        frame450Crcs[i] = littleEndian(response, track + 5);
      }
      pressings.add(new Pressing(littleEndian(response, at + 1), littleEndian(response, at + 5),
          freedbId, confidences, crcs, frame450Crcs));
      at = end;
    }
    return new AccurateRipResults(pressings);
  }

  /**
   * The pressings, as the answer lists them.
   *
   * @return the pressings; the list is unmodifiable
   */
  public List<Pressing> getPressings() {
    return pressings;
  }

  /**
   * How many rips in the database have the rip's checksum (v1 or v2) for its track: the
   * highest confidence among the pressings whose entry matches; 0 when none does. The
   * database lists a track at its place on the disc: on a Mixed Mode CD the data track's
   * place comes first (empty), and the last audio track has none, so its confidence is 0.
   *
   * @param rip a track read from the disc this answer is for
   * @return the confidence, 0 for none
   */
  public int confidence(TrackRip rip) {
    return confidence(rip, null);
  }

  /**
   * The confidence as {@link #confidence(TrackRip)}, among the pressings of `disc` alone: an
   * answer for another disc confirms nothing of it.
   */
  int confidenceOn(Disc disc, TrackRip rip) {
    return confidence(rip, disc.getAccurateRipId());
  }

  /**
   * Whether a pressing of `disc` has an entry of confidence 1 or more for the track at
   * `trackIndex` (counted from 0): whether a read of that track may be confirmed at all.
   */
  boolean canConfirm(Disc disc, int trackIndex) {
    String id = disc.getAccurateRipId();
    for (Pressing pressing : pressings) {
      if (pressing.getAccurateRipId().equals(id) && trackIndex >= 0
          && trackIndex < pressing.confidences.length && pressing.confidences[trackIndex] > 0) {
        return true;
      }
    }
    return false;
  }

  // Among the pressings of the disc of AccurateRip ID `id`; null: among all.
  private int confidence(TrackRip rip, String id) {
    int best = 0;
    for (Pressing pressing : pressings) {
      int index = rip.getTrackIndex();
      if ((id == null || pressing.getAccurateRipId().equals(id)) && index >= 0 && index < pressing.crcs.length
          && (pressing.crcs[index] == rip.accurateRipV1()
              || pressing.crcs[index] == rip.accurateRipV2())) {
        best = Math.max(best, pressing.confidences[index]);
      }
    }
    return best;
  }

  /**
   * Whether the answer is for this disc: whether one of its pressings has the disc's
   * AccurateRip identifiers ({@link Disc#getAccurateRipId()}). An answer saved for another
   * disc matches none of this disc's tracks, and finds no offset.
   *
   * @param disc the disc whose tracks are checked against the answer
   * @return true when a pressing has the disc's two disc IDs, freedb ID and audio track count
   */
  public boolean isFor(Disc disc) {
    String id = disc.getAccurateRipId();
    for (Pressing pressing : pressings) {
      if (pressing.getAccurateRipId().equals(id)) {
        return true;
      }
    }
    return false;
  }

  /**
   * Finds every read offset at which the drive's samples fit this answer: for each audio track
   * of more than 460 sectors, 21 sectors around its frame 450 are read once (never the whole
   * track), and the drive's samples are searched, sample by sample over 5,880 samples either
   * way, for the checksum of frame 450 that a pressing of this disc holds. Pressings of other
   * discs (other identifiers) are left out. An offset fits where two tracks or more match at
   * it. More than one fits where pressings of the disc differ by an offset, or where the audio
   * repeats (a test tone matches at each of its periods): the answer then does not tell the
   * drive's offset.
   *
   * @param audio the drive, with the disc this answer is for
   * @return the offsets that fit, best first: more tracks, then a higher confidence, then
   *     nearer 0 (negative first at equal distance); empty when none does
   * @throws DiscReadException when the disc goes away or the drive fails
   * @throws IllegalStateException when {@code audio} is closed
   */
  public List<OffsetMatch> findReadOffsets(DiscAudio audio) throws DiscReadException {
    return OffsetSearch.search(pressings, audio);
  }

  /**
   * The drive's read offset, where the answer tells it: as {@link #findReadOffsets}, when
   * exactly one offset fits.
   *
   * @param audio the drive, with the disc this answer is for
   * @return the offset and the tracks that confirmed it; empty when none fits, or several
   * @throws DiscReadException when the disc goes away or the drive fails
   * @throws IllegalStateException when {@code audio} is closed
   */
  public Optional<OffsetMatch> findReadOffset(DiscAudio audio) throws DiscReadException {
    List<OffsetMatch> fitting = findReadOffsets(audio);
    return fitting.size() == 1 ? Optional.of(fitting.get(0)) : Optional.empty();
  }

  /**
   * A read offset at which the drive's samples fit the answer, the tracks that matched there
   * and how many rips stand behind them. Immutable.
   */
  public static final class OffsetMatch {
    private final int offset;
    private final int[] tracks;
    private final int confidence;

    OffsetMatch(int offset, int[] tracks, int confidence) {
      this.offset = offset;
      this.tracks = tracks;
      this.confidence = confidence;
    }

    /**
     * The drive's read offset correction, if this is the match.
     *
     * @return in samples, as {@link DiscAudio#setReadOffset(int)} takes it
     */
    public int getOffset() {
      return offset;
    }

    /**
     * The tracks whose frame 450 matched at this offset.
     *
     * @return their numbers on the disc, in order
     */
    public int[] getTracks() {
      return tracks.clone();
    }

    /**
     * The highest confidence of a pressing's track that matched at this offset: how many rips
     * the database holds of that pressing.
     *
     * @return the count of rips, 0 to 255
     */
    public int getConfidence() {
      return confidence;
    }

    /**
     * The offset, its tracks and confidence.
     *
     * @return such as {@code "+6 (tracks 1 2 3, confidence 12)"}
     */
    @Override
    public String toString() {
      StringBuilder text = new StringBuilder(offset > 0 ? "+" : "").append(offset).append(" (tracks");
      for (int track : tracks) {
        text.append(' ').append(track);
      }
      return text.append(", confidence ").append(confidence).append(')').toString();
    }
  }

  private static int littleEndian(byte[] bytes, int at) {
    return (bytes[at] & 0xff) | (bytes[at + 1] & 0xff) << 8 | (bytes[at + 2] & 0xff) << 16
        | (bytes[at + 3] & 0xff) << 24;
  }

  /**
   * One pressing's entry. Its tracks are numbered from 1 in the disc's order, as the disc
   * numbers them when its first track is 1: on a Mixed Mode CD, the data track is 1 (an empty
   * entry) and the audio tracks sit at their numbers.
   */
  public static final class Pressing {
    private final int discId1;
    private final int discId2;
    private final int freedbId;
    private final int[] confidences;
    private final int[] crcs;
    private final int[] frame450Crcs;

    private Pressing(int discId1, int discId2, int freedbId, int[] confidences, int[] crcs,
        int[] frame450Crcs) {
      this.discId1 = discId1;
      this.discId2 = discId2;
      this.freedbId = freedbId;
      this.confidences = confidences;
      this.crcs = crcs;
      this.frame450Crcs = frame450Crcs;
    }

    /**
     * The number of tracks the pressing's entry lists.
     *
     * @return the track count
     */
    public int getTrackCount() {
      return crcs.length;
    }

    /**
     * The first AccurateRip disc ID, as {@link Disc#getAccurateRipId()} writes it first.
     *
     * @return the first disc ID
     */
    public int getDiscId1() {
      return discId1;
    }

    /**
     * The second AccurateRip disc ID, as {@link Disc#getAccurateRipId()} writes it second.
     *
     * @return the second disc ID
     */
    public int getDiscId2() {
      return discId2;
    }

    /**
     * The freedb disc ID that the entry was stored under.
     *
     * @return the freedb disc ID
     */
    public int getFreedbId() {
      return freedbId;
    }

    /**
     * How many rips agreed on the track's checksum.
     *
     * @param track the track's number, 1 to {@link #getTrackCount()}
     * @return the count of rips that agreed
     * @throws IndexOutOfBoundsException for a track the entry does not list
     */
    public int getConfidence(int track) {
      return confidences[place(track)];
    }

    /**
     * The track's checksum, v1 or v2, as the rips that agreed have it.
     *
     * @param track the track's number, 1 to {@link #getTrackCount()}
     * @return the checksum
     * @throws IndexOutOfBoundsException for a track the entry does not list
     */
    public int getCrc(int track) {
      return crcs[place(track)];
    }

    /**
     * The checksum of the track's frame 450 alone, which tells a pressing's offset.
     *
     * @param track the track's number, 1 to {@link #getTrackCount()}
     * @return the checksum of frame 450
     * @throws IndexOutOfBoundsException for a track the entry does not list
     */
    public int getFrame450Crc(int track) {
      return frame450Crcs[place(track)];
    }

    /**
     * The identifiers the entry was stored under, as {@link Disc#getAccurateRipId()} writes a
     * disc's: the track count, the two disc IDs and the freedb ID.
     *
     * @return such as {@code "003-0002189a-00087f33-1f02e004"}
     */
    public String getAccurateRipId() {
      return String.format("%03d-%08x-%08x-%08x", crcs.length, discId1, discId2, freedbId);
    }

    private int place(int track) {
      if (track < 1 || track > crcs.length) {
        throw new IndexOutOfBoundsException(
            "track " + track + ": the entry lists tracks 1 to " + crcs.length);
      }
      return track - 1;
    }
  }
}
