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
    int best = 0;
    for (Pressing pressing : pressings) {
      int index = rip.getTrackIndex();
      if (index >= 0 && index < pressing.crcs.length
          && (pressing.crcs[index] == rip.accurateRipV1()
              || pressing.crcs[index] == rip.accurateRipV2())) {
        best = Math.max(best, pressing.confidences[index]);
      }
    }
    return best;
  }

  /**
   * Finds the drive's read offset with this answer: for each audio track of six seconds or
   * more, 21 sectors around its frame 450 are read once (never the whole track), and the
   * drive's samples are searched, sample by sample over 5,880 samples either way, for the
   * checksum of frame 450 that a pressing of this disc holds. Pressings of other discs (other
   * disc IDs) are left out. An offset is found when two tracks or more agree on it.
   *
   * @param audio the drive, with the disc this answer is for
   * @return the offset, as {@link DiscAudio#setReadOffset(int)} takes it, and the tracks that
   *     confirmed it; empty when no two tracks agree on one
   * @throws DiscReadException when the disc goes away or the drive fails
   * @throws IllegalStateException when {@code audio} is closed
   */
  public Optional<OffsetMatch> findReadOffset(DiscAudio audio) throws DiscReadException {
    return Optional.ofNullable(OffsetSearch.search(pressings, audio));
  }

  /** A read offset found from the answer, and the tracks that agreed on it. Immutable. */
  public static final class OffsetMatch {
    private final int offset;
    private final int[] tracks;

    OffsetMatch(int offset, int[] tracks) {
      this.offset = offset;
      this.tracks = tracks;
    }

    /**
     * The drive's read offset correction.
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
     * The offset and its tracks.
     *
     * @return such as {@code "+6 (tracks 1 2 3)"}
     */
    @Override
    public String toString() {
      StringBuilder text = new StringBuilder(offset > 0 ? "+" : "").append(offset).append(" (tracks");
      for (int track : tracks) {
        text.append(' ').append(track);
      }
      return text.append(')').toString();
    }
  }

  private static int littleEndian(byte[] bytes, int at) {
    return (bytes[at] & 0xff) | (bytes[at + 1] & 0xff) << 8 | (bytes[at + 2] & 0xff) << 16
        | (bytes[at + 3] & 0xff) << 24;
  }

  /** One pressing's entry. Tracks are counted from 0, in the disc's order. */
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
     * @param trackIndex the track's place on the disc, from 0
     * @return the count of rips that agreed
     */
    public int getConfidence(int trackIndex) {
      return confidences[trackIndex];
    }

    /**
     * The track's checksum, v1 or v2, as the rips that agreed have it.
     *
     * @param trackIndex the track's place on the disc, from 0
     * @return the checksum
     */
    public int getCrc(int trackIndex) {
      return crcs[trackIndex];
    }

    /**
     * The checksum of the track's frame 450 alone, which tells a pressing's offset.
     *
     * @param trackIndex the track's place on the disc, from 0
     * @return the checksum of frame 450
     */
    public int getFrame450Crc(int trackIndex) {
      return frame450Crcs[trackIndex];
    }
  }
}
