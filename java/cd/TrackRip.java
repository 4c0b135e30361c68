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
  /** How a track's copy was confirmed ({@link #getConfirmation()}). */
  public enum Confirmation {
    /** Its v1 or v2 checksum is that of a pressing of the disc in an AccurateRip answer. */
    ACCURATERIP,
    /** Every sector was read twice from the disc and the reads agreed, or a clear majority. */
    READS_AGREED,
    /** Nothing confirms it: read once (burst, or a disc image), or sectors unconfirmed. */
    NONE
  }

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
  // The confidence of the AccurateRip entry that confirms the copy; 0 for none.
  private final int confirmingConfidence;
  // The CRC-32 of a read that came before the copy and was not kept; null for none.
  private final String testCrc32;

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
    confirmingConfidence = 0;
    testCrc32 = null;
  }

  private TrackRip(TrackRip rip, int confirmingConfidence, String testCrc32) {
    trackNumber = rip.trackNumber;
    trackIndex = rip.trackIndex;
    startSector = rip.startSector;
    samples = rip.samples;
    readOffset = rip.readOffset;
    secure = rip.secure;
    fromImage = rip.fromImage;
    accurateRipV1 = rip.accurateRipV1;
    accurateRipV2 = rip.accurateRipV2;
    crc32 = rip.crc32;
    rereadSectors = rip.rereadSectors;
    unreadableSectors = rip.unreadableSectors;
    unconfirmedSectors = rip.unconfirmedSectors;
    c2Used = rip.c2Used;
    cacheUnproven = rip.cacheUnproven;
    c2Sectors = rip.c2Sectors;
    this.confirmingConfidence = confirmingConfidence;
    this.testCrc32 = testCrc32;
  }

  /** This rip, confirmed by an AccurateRip entry of `confidence` (0: none), after a test read. */
  TrackRip confirmed(int confidence, String testCrc32) {
    return new TrackRip(this, confidence, testCrc32);
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
   * Whether the track was read in secure mode: never from a disc image, read once; nor a
   * track kept from the one read that AccurateRip confirmed ({@link #getConfirmation()}).
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
   * How the copy was confirmed: by AccurateRip where {@link DiscAudio#setAccurateRipResults}
   * gave an answer whose pressing of this disc has the copy's checksum at confidence 1 or
   * more; else, in secure mode, by reads that agreed where every sector was confirmed.
   *
   * @return how it was confirmed, {@link Confirmation#NONE} for not at all
   */
  public Confirmation getConfirmation() {
    return confirmingConfidence > 0 ? Confirmation.ACCURATERIP
        : secure && !fromImage && isComplete() ? Confirmation.READS_AGREED
        : Confirmation.NONE;
  }

  /**
   * The confidence of the AccurateRip entry that confirms the copy.
   *
   * @return the entry's confidence; 0 unless {@link #getConfirmation()} is
   *     {@link Confirmation#ACCURATERIP}
   */
  public int getConfirmingConfidence() {
    return confirmingConfidence;
  }

  /**
   * The CRC-32 of the test read: in secure mode with an AccurateRip answer, the track is read
   * once first and kept where the answer confirms it; where it does not, that read's samples
   * are dropped and the track is read again in full secure mode. Beside {@link #getCrc32()}, a
   * difference shows that the first read was wrong.
   *
   * @return 8 upper-case hexadecimal digits; null where the copy is the only read
   */
  public String getTestCrc32() {
    return testCrc32;
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
   * once from a drive, "image" from a disc image's files), the test read's CRC-32 where there
   * was one, how the copy was confirmed, then the sectors that were not
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
    if (testCrc32 != null) {
      text.append(", test CRC-32 ").append(testCrc32);
    }
    Confirmation confirmation = getConfirmation();
    text.append(confirmation == Confirmation.ACCURATERIP
            ? ", confirmed by AccurateRip (confidence " + confirmingConfidence + ")"
            : confirmation == Confirmation.READS_AGREED ? ", confirmed by reads that agreed"
            : ", not confirmed");
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
