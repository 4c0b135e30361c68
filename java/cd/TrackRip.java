package cd;

import java.util.Arrays;

/**
 * What reading one track gave, for a rip's log and its check against AccurateRip: the
 * track's checksums, and what the reading met on the way. Immutable.
 *
 * <p>The AccurateRip checksums are those the AccurateRip database holds of every submitted
 * rip: a sum of each sample times its position in the track, v1 modulo 2<sup>32</sup>, v2
 * with the products' high halves added in; both leave out the disc's first five sectors
 * less one sample and its last five sectors. The CRC-32 (that of zip) covers every sample.
 * Sector addresses are logical block addresses: the disc's frames less the 150 of the
 * lead-in.
 */
public final class TrackRip {
  private final int trackNumber;
  // The track's place among the disc's tracks, counted from 0, as AccurateRip lists them.
  private final int trackIndex;
  private final long samples;
  private final int readOffset;
  private final boolean secure;
  private final int accurateRipV1;
  private final int accurateRipV2;
  private final int crc32;
  private final int rereadSectors;
  private final int[] unreadableSectors;
  private final int[] unconfirmedSectors;

  /** `result` as DiscAudio's trackResult gives it. */
  TrackRip(int trackNumber, int trackIndex, long bytes, int readOffset, boolean secure,
      int[] result) {
    this.trackNumber = trackNumber;
    this.trackIndex = trackIndex;
    this.samples = bytes / DiscAudio.SAMPLE_BYTES;
    this.readOffset = readOffset;
    this.secure = secure;
    accurateRipV1 = result[0];
    accurateRipV2 = result[1];
    crc32 = result[2];
    rereadSectors = result[3];
    int unreadable = result[4];
    unreadableSectors = Arrays.copyOfRange(result, 5, 5 + unreadable);
    unconfirmedSectors = Arrays.copyOfRange(result, 5 + unreadable, result.length);
  }

  /** The track's number on the disc. */
  public int getTrackNumber() {
    return trackNumber;
  }

  int getTrackIndex() {
    return trackIndex;
  }

  /** The samples read: the track's sectors times 588. */
  public long getSamples() {
    return samples;
  }

  /** The read offset correction the track was read with, in samples. */
  public int getReadOffset() {
    return readOffset;
  }

  /** Whether the track was read in secure mode. */
  public boolean isSecure() {
    return secure;
  }

  /**
   * The AccurateRip v1 checksum.
   *
   * @return 8 upper-case hexadecimal digits; null for the hidden track (track 0), of which
   *     AccurateRip keeps none
   */
  public String getAccurateRipV1() {
    return trackNumber == 0 ? null : hex(accurateRipV1);
  }

  /**
   * The AccurateRip v2 checksum.
   *
   * @return 8 upper-case hexadecimal digits; null for the hidden track (track 0)
   */
  public String getAccurateRipV2() {
    return trackNumber == 0 ? null : hex(accurateRipV2);
  }

  /** The CRC-32 of all the track's samples: 8 upper-case hexadecimal digits. */
  public String getCrc32() {
    return hex(crc32);
  }

  int accurateRipV1() {
    return accurateRipV1;
  }

  int accurateRipV2() {
    return accurateRipV2;
  }

  /**
   * The sectors that needed more reads than one (in secure mode, two) before they arrived or
   * two reads agreed. They are as read; many of them in a track hint at a worn disc.
   */
  public int getRereadSectors() {
    return rereadSectors;
  }

  /**
   * The addresses of the sectors that no read returned, the drive reporting a medium error
   * each time: their samples are silence. Empty for a complete track.
   */
  public int[] getUnreadableSectors() {
    return unreadableSectors.clone();
  }

  /**
   * In secure mode, the addresses of the sectors of which no two reads out of ten agreed:
   * their samples are the last read's. Empty for a complete track, and in burst mode.
   */
  public int[] getUnconfirmedSectors() {
    return unconfirmedSectors.clone();
  }

  /** Whether every sector was read, and in secure mode confirmed. */
  public boolean isComplete() {
    return unreadableSectors.length == 0 && unconfirmedSectors.length == 0;
  }

  /**
   * A line for a rip's log, such as {@code "Track 3: AccurateRip v1 1A2B3C4D, v2 5E6F7A8B,
   * CRC-32 9C0D1E2F, offset +6, secure, 0 sectors read again"}, then the sectors that were not
   * read or not confirmed.
   */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder("Track ").append(trackNumber).append(": ");
    if (trackNumber != 0) {
      text.append("AccurateRip v1 ").append(getAccurateRipV1())
          .append(", v2 ").append(getAccurateRipV2()).append(", ");
    }
    text.append("CRC-32 ").append(getCrc32())
        .append(", offset ").append(readOffset > 0 ? "+" : "").append(readOffset)
        .append(secure ? ", secure, " : ", burst, ").append(rereadSectors)
        .append(" sectors read again");
    if (unreadableSectors.length > 0) {
      text.append(", unreadable sectors ").append(list(unreadableSectors));
    }
    if (unconfirmedSectors.length > 0) {
      text.append(", unconfirmed sectors ").append(list(unconfirmedSectors));
    }
    return text.toString();
  }

  static String list(int[] sectors) {
    StringBuilder text = new StringBuilder();
    for (int sector : sectors) {
      text.append(text.length() == 0 ? "" : " ").append(sector);
    }
    return text.toString();
  }

  private static String hex(int value) {
    StringBuilder text = new StringBuilder(8);
    Disc.appendHex(text, value, 8, true);
    return text.toString();
  }
}
