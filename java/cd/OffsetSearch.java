package cd;

import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;

/**
 * Finds a drive's read offset from the AccurateRip answer's checksums of each track's frame
 * 450: a few sectors around that frame are read once, and a window of 588 samples slides over
 * them sample by sample until its checksum is one the answer holds for the track. Where two
 * tracks or more agree on one offset, that is the drive's.
 */
final class OffsetSearch {
  /** The sectors read on each side of frame 450: offsets up to 5,880 samples either way. */
  static final int SECTORS_AROUND = 10;
  private static final int FRAME = 450;
  private static final int SAMPLES = 588;
  private static final int LEAD_IN = 150;

  private OffsetSearch() {}

  /**
   * The offset, as {@link DiscAudio#setReadOffset(int)} takes it, and the tracks that
   * confirmed it; null when no two tracks agree.
   */
  static AccurateRipResults.OffsetMatch search(List<AccurateRipResults.Pressing> pressings,
      DiscAudio audio) throws DiscReadException {
    Disc disc = audio.getDisc();
    String id = disc.getAccurateRipId();
    if (id == null) {
      return null;
    }
    String[] parts = id.split("-");
    List<AccurateRipResults.Pressing> ours = new ArrayList<>();
    for (AccurateRipResults.Pressing pressing : pressings) {
      if (pressing.getDiscId1() == Integer.parseUnsignedInt(parts[1], 16)
          && pressing.getDiscId2() == Integer.parseUnsignedInt(parts[2], 16)
          && pressing.getFreedbId() == Integer.parseUnsignedInt(parts[3], 16)) {
        ours.add(pressing);
      }
    }
    Map<Integer, List<Integer>> tracksByOffset = new TreeMap<>();
    byte[] sectors = new byte[(2 * SECTORS_AROUND + 1) * DiscAudio.SECTOR_BYTES];
    for (Disc.Track track : disc.getTracks()) {
      int index = track.getNumber() - disc.getFirstTrack();
      Set<Integer> wanted = frameChecksums(ours, index);
      if (!track.isAudio() || wanted.isEmpty()
          || audio.getTrackSamples(track.getNumber()) / SAMPLES <= FRAME + SECTORS_AROUND) {
        continue;
      }
      int first = track.getStart() - LEAD_IN + FRAME - SECTORS_AROUND;
      if (!audio.readSectors(first, 2 * SECTORS_AROUND + 1, sectors)) {
        continue;
      }
      for (int offset : matchingOffsets(sectors, wanted)) {
        tracksByOffset.computeIfAbsent(offset, key -> new ArrayList<>()).add(track.getNumber());
      }
    }
    int best = 0;
    List<Integer> confirming = new ArrayList<>();
    for (Map.Entry<Integer, List<Integer>> entry : tracksByOffset.entrySet()) {
      int size = entry.getValue().size();
      if (size > confirming.size()
          || size == confirming.size() && Math.abs(entry.getKey()) < Math.abs(best)) {
        best = entry.getKey();
        confirming = entry.getValue();
      }
    }
    if (confirming.size() < 2) {
      return null;
    }
    int[] tracks = new int[confirming.size()];
    for (int i = 0; i < tracks.length; i++) {
      tracks[i] = confirming.get(i);
    }
    return new AccurateRipResults.OffsetMatch(best, tracks);
  }

  /** The frame-450 checksums the pressings hold for a track; 0, which silence gives, left out. */
  private static Set<Integer> frameChecksums(List<AccurateRipResults.Pressing> pressings,
      int index) {
    Set<Integer> checksums = new HashSet<>();
    for (AccurateRipResults.Pressing pressing : pressings) {
      if (index < pressing.getTrackCount() && pressing.getFrame450Crc(index) != 0) {
        checksums.add(pressing.getFrame450Crc(index));
      }
    }
    return checksums;
  }

  /**
   * The offsets at which the 588 samples that a drive returns for frame 450 have a wanted
   * checksum: the sum of each sample (left in the low 16 bits) times its place, 1 to 588,
   * modulo 2^32. `sectors` hold the drive's samples from SECTORS_AROUND sectors before the
   * frame on; the window slides with the sum and the plain sum kept up to date.
   */
  static List<Integer> matchingOffsets(byte[] sectors, Set<Integer> wanted) {
    int count = sectors.length / DiscAudio.SAMPLE_BYTES;
    int[] samples = new int[count];
    for (int i = 0; i < count; i++) {
      int at = i * DiscAudio.SAMPLE_BYTES;
      samples[i] = (sectors[at] & 0xff) | (sectors[at + 1] & 0xff) << 8
          | (sectors[at + 2] & 0xff) << 16 | (sectors[at + 3] & 0xff) << 24;
    }
    int weighted = 0;
    int plain = 0;
    for (int i = 0; i < SAMPLES; i++) {
      weighted += (i + 1) * samples[i];
      plain += samples[i];
    }
    List<Integer> offsets = new ArrayList<>();
    int zero = SECTORS_AROUND * SAMPLES;
    for (int start = 0; ; start++) {
      if (wanted.contains(weighted)) {
        offsets.add(start - zero);
      }
      if (start + SAMPLES >= count) {
        return offsets;
      }
      weighted += SAMPLES * samples[start + SAMPLES] - plain;
      plain += samples[start + SAMPLES] - samples[start];
    }
  }
}
