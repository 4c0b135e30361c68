package cd;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

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
   * @throws IllegalArgumentException when it is not whole dBAR entries (an error page, a
   *     file cut short): its message says where
   */
  public static AccurateRipResults parse(byte[] response) {
    List<Pressing> pressings = new ArrayList<>();
    int at = 0;
    while (at < response.length) {
      if (response.length - at < HEADER_BYTES) {
        throw new IllegalArgumentException(
            "not an AccurateRip answer: " + (response.length - at) + " bytes at " + at
                + " are too few for an entry's header");
      }
      int tracks = response[at] & 0xff;
      if (tracks == 0) {
        throw new IllegalArgumentException(
            "not an AccurateRip answer: the entry at " + at + " has no track");
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
          littleEndian(response, at + 9), confidences, crcs, frame450Crcs));
      at = end;
    }
    return new AccurateRipResults(pressings);
  }

  /** The pressings, as the answer lists them. */
  public List<Pressing> getPressings() {
    return pressings;
  }

  /**
   * How many rips in the database have the rip's checksum (v1 or v2) for its track: the
   * highest confidence among the pressings whose entry matches; 0 when none does.
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

    public int getTrackCount() {
      return crcs.length;
    }

    /** The first AccurateRip disc ID, as {@link Disc#getAccurateRipId()} writes it first. */
    public int getDiscId1() {
      return discId1;
    }

    public int getDiscId2() {
      return discId2;
    }

    public int getFreedbId() {
      return freedbId;
    }

    /** How many rips agreed on the track's checksum. */
    public int getConfidence(int trackIndex) {
      return confidences[trackIndex];
    }

    /** The track's checksum, v1 or v2, as the rips that agreed have it. */
    public int getCrc(int trackIndex) {
      return crcs[trackIndex];
    }

    /** The checksum of the track's frame 450 alone, which tells a pressing's offset. */
    public int getFrame450Crc(int trackIndex) {
      return frame450Crcs[trackIndex];
    }
  }
}
