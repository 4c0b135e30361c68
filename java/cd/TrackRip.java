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
 * lead-in; {@link #toString()} also gives each as a time from the track's start
 * ({@code m:ss.ff}, 75 frames a second), as players show it.
 */
public final class TrackRip {
  private final int trackNumber;
  // The track's place among the disc's tracks, counted from 0, as AccurateRip lists them.
  private final int trackIndex;
  // The track's first sector, for positions within it.
  private final int startSector;
  private final long samples;
  private final int readOffset;
  private final boolean secure;
  private final boolean fromImage;
  private final int accurateRipV1;
  private final int accurateRipV2;
  private final int crc32;
  private final int rereadSectors;
  private final int[] unreadableSectors;
  private final int[] unconfirmedSectors;
  private final boolean c2Used;
  private final boolean cacheUnproven;
  private final int[] c2Sectors;

  /** `result` as DiscAudio's trackResult gives it. */
  TrackRip(int trackNumber, int trackIndex, int startSector, long bytes, int readOffset,
      boolean secure, boolean fromImage, int[] result) {
    this.trackNumber = trackNumber;
    this.trackIndex = trackIndex;
    this.startSector = startSector;
    this.samples = bytes / DiscAudio.SAMPLE_BYTES;
    this.readOffset = readOffset;
    this.secure = secure;
    this.fromImage = fromImage;
    accurateRipV1 = result[0];
    accurateRipV2 = result[1];
    crc32 = result[2];
    rereadSectors = result[3];
    c2Used = result[4] != 0;
    cacheUnproven = result[5] != 0;
    int at = 6;
    unreadableSectors = Arrays.copyOfRange(result, at + 1, at + 1 + result[at]);
    at += 1 + result[at];
    unconfirmedSectors = Arrays.copyOfRange(result, at + 1, at + 1 + result[at]);
    at += 1 + result[at];
    c2Sectors = Arrays.copyOfRange(result, at + 1, at + 1 + result[at]);
  }

  /**
   * The track's number on the disc.
   *
   * @return the track's number
   */
  public int getTrackNumber() {
    return trackNumber;
  }

  int getTrackIndex() {
    return trackIndex;
  }

  /**
   * The samples read: the track's sectors times 588.
   *
   * @return the samples read
   */
  public long getSamples() {
    return samples;
  }

  /**
   * The read offset correction the track was read with, in samples.
   *
   * @return the read offset correction in samples
   */
  public int getReadOffset() {
    return readOffset;
  }

  /**
   * Whether the track was read in secure mode: never from a disc image, read once.
   *
   * @return true in secure mode
   */
  public boolean isSecure() {
    return secure;
  }

  /**
   * Whether the track was read from a disc image (a CUE sheet and its files), once.
   *
   * @return true from an image
   */
  public boolean isFromImage() {
    return fromImage;
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

  /**
   * The CRC-32 of all the track's samples: 8 upper-case hexadecimal digits.
   *
   * @return the CRC-32, eight upper-case hexadecimal digits
   */
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
   *
   * @return the count of sectors read again
   */
  public int getRereadSectors() {
    return rereadSectors;
  }

  /**
   * The addresses of the sectors that no read returned, the drive reporting a medium error
   * each time: their samples are silence. Empty for a complete track.
   *
   * @return the unreadable sectors' addresses
   */
  public int[] getUnreadableSectors() {
    return unreadableSectors.clone();
  }

  /**
   * The addresses of the sectors not confirmed: no value won a clear majority of up to
   * sixteen reads (in secure mode, or in burst mode where the drive's C2 pointers flagged
   * them), their samples the last read's; or, in secure mode, their reads may have come from
   * the drive's cache ({@link #isCacheUnproven()}). Empty for a complete track.
   *
   * @return the addresses, in order
   */
  public int[] getUnconfirmedSectors() {
    return unconfirmedSectors.clone();
  }

  /**
   * The addresses of the sectors the drive's C2 error pointers flagged in any read of them.
   * They were read again until a value agreed; drives flag bytes they corrected too, so a
   * flagged sector is not always a wrong one.
   *
   * @return the addresses, in order; empty where the drive gives no pointers
   */
  public int[] getC2Sectors() {
    return c2Sectors.clone();
  }

  /**
   * Whether the copy could not be made secure because the disc's audio outside the sectors
   * read is too short to push the drive's cache out: their second reads may have been the
   * cache's, and they are listed as unconfirmed.
   *
   * @return true when some secure reads could not be proven to come from the disc
   */
  public boolean isCacheUnproven() {
    return cacheUnproven;
  }

  /**
   * Whether the drive gave C2 error pointers for the reads.
   *
   * @return false for a drive that refuses every form of them or claims none
   */
  public boolean isC2Used() {
    return c2Used;
  }

  /**
   * Whether every sector was read, and in secure mode confirmed.
   *
   * @return true when no sector is unreadable or unconfirmed
   */
  public boolean isComplete() {
    return unreadableSectors.length == 0 && unconfirmedSectors.length == 0;
  }

  /**
   * A line for a rip's log, such as {@code "Track 3: AccurateRip v1 1A2B3C4D, v2 5E6F7A8B,
   * CRC-32 9C0D1E2F, offset +6, secure, C2, 0 sectors read again"} ("burst" for sectors read
   * once from a drive, "image" from a disc image's files), then the sectors that were not
   * read, not confirmed or flagged, each with its time in the track, such as
   * {@code "unconfirmed sectors 1600 (0:01.25)"}.
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
        .append(fromImage ? ", image, " : secure ? ", secure, " : ", burst, ")
        .append(c2Used ? "C2, " : "").append(rereadSectors).append(" sectors read again");
    if (unreadableSectors.length > 0) {
      text.append(", unreadable sectors ").append(describeSectors(unreadableSectors));
    }
    if (unconfirmedSectors.length > 0) {
      text.append(", unconfirmed sectors ").append(describeSectors(unconfirmedSectors));
    }
    if (c2Sectors.length > 0) {
      text.append(", C2 flagged sectors ").append(describeSectors(c2Sectors));
    }
    return text.toString();
  }

  /**
   * Sectors' addresses, each with its time in the track: "1600 (0:01.25) 1700 (0:02.25)".
   *
   * @param sectors addresses on the disc, such as {@link #getUnconfirmedSectors()}
   * @return the addresses and times, separated by spaces
   */
  public String describeSectors(int[] sectors) {
    StringBuilder text = new StringBuilder();
    for (int sector : sectors) {
      int frames = sector - startSector;
      int away = Math.abs(frames);
      text.append(text.length() == 0 ? "" : " ").append(sector)
          .append(frames < 0 ? " (-" : " (").append(away / 4500).append(':')
          .append(away / 75 % 60 < 10 ? "0" : "").append(away / 75 % 60).append('.')
          .append(away % 75 < 10 ? "0" : "").append(away % 75).append(')');
    }
    return text.toString();
  }

  private static String hex(int value) {
    StringBuilder text = new StringBuilder(8);
    Disc.appendHex(text, value, 8, true);
    return text.toString();
  }
}
