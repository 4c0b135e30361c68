package cd;

import java.util.List;

/**
 * The identifiers by which rippers check a rip: the AccurateRip disc ID and the CUETools
 * database's TOC ID and lookup, each with its own rule for data tracks. Addresses are LBA,
 * absolute frames less the 150-frame lead-in, as both databases count them.
 */
final class RipIdentifiers {
  private static final String ACCURATERIP_URL = "http://www.accuraterip.com/accuraterip/";
  private static final String CTDB_LOOKUP_URL =
      "https://db.cue.tools/lookup2.php?version=3&ctdb=1&fuzzy=1&toc=";
  // The CTDB hashes its TOC as text of this many characters, padded with '0'.
  private static final int CTDB_TOC_TEXT_LENGTH = 800;

  private RipIdentifiers() {}

  /**
   * {@code nnn-aaaaaaaa-bbbbbbbb-ffffffff}: the audio track count (decimal), the sum of the audio
   * tracks' starts and the lead-out, the sum of each start (at least 1) times its number
   * among the audio tracks and the lead-out times that count plus one, and the freedb ID.
   * The lead-out is the disc's own, that of its last session: data tracks leave the sums but
   * not the disc's length, as the database's own ripper computes it for Enhanced and Mixed
   * Mode CDs. Null without audio tracks.
   */
  static String accurateRipId(Disc disc) {
    int audioCount = 0;
    int sum = 0;
    int weightedSum = 0;
    for (Disc.Track track : disc.getTracks()) {
      if (track.isAudio()) {
        audioCount++;
        int start = lba(track.getStart());
        sum += start;
        weightedSum += Math.max(start, 1) * audioCount;
      }
    }
    if (audioCount == 0) {
      return null;
    }
    int leadOut = lba(disc.getLeadOut());
    sum += leadOut;
    weightedSum += leadOut * (audioCount + 1);
    // The count in three decimal digits: at most 99 tracks.
    StringBuilder id = new StringBuilder(30).append(audioCount < 10 ? "00" : "0").append(audioCount);
    Disc.appendHex(id.append('-'), sum, 8, false);
    Disc.appendHex(id.append('-'), weightedSum, 8, false);
    return id.append('-').append(disc.getFreedbId()).toString();
  }

  /**
   * Where the database keeps the disc's checksums: its folders are the last three hex digits
   * of the ID's start sum, the last one first.
   */
  static String accurateRipUrl(String accurateRipId) {
    if (accurateRipId == null) {
      return null;
    }
    int sumEnd = accurateRipId.indexOf('-', 4);
    StringBuilder url = new StringBuilder(ACCURATERIP_URL);
    for (int i = 1; i <= 3; i++) {
      url.append(accurateRipId.charAt(sumEnd - i)).append('/');
    }
    return url.append("dBAR-").append(accurateRipId).append(".bin").toString();
  }

  /**
   * SHA-1, in the MusicBrainz alphabet, of the audio tracks' starts after the first and the
   * audio session's lead-out, each relative to the first audio track's start, as 8
   * upper-case hex digits, the text padded with '0'. Null without audio tracks.
   */
  static String ctdbTocId(List<Disc.Track> audioTracks, int audioLeadOut) {
    if (audioTracks.isEmpty()) {
      return null;
    }
    int origin = audioTracks.get(0).getStart();
    StringBuilder text = new StringBuilder(CTDB_TOC_TEXT_LENGTH);
    for (int i = 1; i < audioTracks.size(); i++) {
      Disc.appendHex(text, audioTracks.get(i).getStart() - origin, 8, true);
    }
    Disc.appendHex(text, audioLeadOut - origin, 8, true);
    while (text.length() < CTDB_TOC_TEXT_LENGTH) {
      text.append('0');
    }
    return Disc.sha1InMusicBrainzBase64(text.toString());
  }

  /** The CTDB lookup: every track's start, a data track's marked '-', then the lead-out. */
  static String ctdbLookupUrl(Disc disc) {
    StringBuilder url = new StringBuilder(CTDB_LOOKUP_URL);
    for (Disc.Track track : disc.getTracks()) {
      url.append(track.isAudio() ? "" : "-").append(lba(track.getStart())).append(':');
    }
    return url.append(lba(disc.getLeadOut())).toString();
  }

  private static int lba(int absoluteFrame) {
    return absoluteFrame - Disc.LEAD_IN_FRAMES;
  }
}
