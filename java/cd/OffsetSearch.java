package cd;

import java.util.ArrayList;
import java.util.Collections;
import java.util.Comparator;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * Finds the read offsets at which a drive's samples fit the AccurateRip answer's checksums of
 * each track's frame 450: a few sectors around that frame are read once, and a window of 588
 * samples slides over them sample by sample until its checksum is one the answer holds for the
 * track. An offset fits where two tracks or more match at it.
 */
final class OffsetSearch {
  /** The sectors read on each side of frame 450: offsets up to 5,880 samples either way. */
  static final int SECTORS_AROUND = 10;
  private static final int FRAME = 450;
  private static final int SAMPLES = 588;
  private static final int LEAD_IN = 150;
  // Best first: more tracks, more rips behind them, nearer 0; the negative of a pair first.
  private static final Comparator<AccurateRipResults.OffsetMatch> BEST_FIRST =
      Comparator.comparingInt((AccurateRipResults.OffsetMatch match) -> -match.getTracks().length)
          .thenComparingInt(match -> -match.getConfidence())
          .thenComparingInt(match -> Math.abs(match.getOffset()))
          .thenComparingInt(AccurateRipResults.OffsetMatch::getOffset);

  private OffsetSearch() {}

  /** Every offset that fits, best first. */
  static List<AccurateRipResults.OffsetMatch> search(List<AccurateRipResults.Pressing> pressings,
      DiscAudio audio) throws DiscReadException {
    Disc disc = audio.getDisc();
    List<AccurateRipResults.Pressing> ours = new ArrayList<>();
    for (AccurateRipResults.Pressing pressing : pressings) {
      if (pressing.getAccurateRipId().equals(disc.getAccurateRipId())) {
        ours.add(pressing);
      }
    }
    // For each offset, the tracks that match at it with the highest confidence behind each.
    Map<Integer, Map<Integer, Integer>> confidenceByTrack = new TreeMap<>();
    byte[] sectors = new byte[(2 * SECTORS_AROUND + 1) * DiscAudio.SECTOR_BYTES];
    for (Disc.Track track : disc.getTracks()) {
      // The last sector read, FRAME + SECTORS_AROUND, must lie inside the track.
      if (!track.isAudio()
          || audio.getTrackSamples(track.getNumber()) / SAMPLES <= FRAME + SECTORS_AROUND) {
        continue;
      }
      Map<Integer, Integer> wanted =
          frameChecksums(ours, track.getNumber() - disc.getFirstTrack() + 1);
      if (wanted.isEmpty()) {
        continue;
      }
      int first = track.getStart() - LEAD_IN + FRAME - SECTORS_AROUND;
      if (!audio.readSectors(first, 2 * SECTORS_AROUND + 1, sectors)) {
        continue;
      }
      for (Map.Entry<Integer, Integer> match : matchingOffsets(sectors, wanted).entrySet()) {
        confidenceByTrack.computeIfAbsent(match.getKey(), key -> new TreeMap<>())
            .merge(track.getNumber(), match.getValue(), Math::max);
      }
    }
    List<AccurateRipResults.OffsetMatch> fitting = new ArrayList<>();
    for (Map.Entry<Integer, Map<Integer, Integer>> entry : confidenceByTrack.entrySet()) {
      Map<Integer, Integer> tracks = entry.getValue();
      if (tracks.size() < 2) {
        continue;
      }
      int[] numbers = new int[tracks.size()];
      int i = 0;
      for (int number : tracks.keySet()) {
        numbers[i++] = number;
      }
      fitting.add(new AccurateRipResults.OffsetMatch(entry.getKey(), numbers,
          Collections.max(tracks.values())));
    }
    fitting.sort(BEST_FIRST);
    return fitting;
  }

  /**
   * The frame-450 checksums the pressings hold for a track (its number in the entries), each
   * with the highest confidence behind it; 0, which silence gives, left out.
   */
  private static Map<Integer, Integer> frameChecksums(List<AccurateRipResults.Pressing> pressings,
      int track) {
    Map<Integer, Integer> checksums = new HashMap<>();
    for (AccurateRipResults.Pressing pressing : pressings) {
      if (track <= pressing.getTrackCount() && pressing.getFrame450Crc(track) != 0) {
        checksums.merge(pressing.getFrame450Crc(track), pressing.getConfidence(track), Math::max);
      }
    }
    return checksums;
  }

  /**
   * The offsets at which the 588 samples that a drive returns for frame 450 have a wanted
   * checksum, each with its confidence: the sum of each sample (left in the low 16 bits) times
   * its place, 1 to 588, modulo 2^32. `sectors` hold the drive's samples from SECTORS_AROUND sectors before the
   * frame on; the window slides with the sum and the plain sum kept up to date.
   */
  static Map<Integer, Integer> matchingOffsets(byte[] sectors, Map<Integer, Integer> wanted) {
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
    Map<Integer, Integer> offsets = new HashMap<>();
    int zero = SECTORS_AROUND * SAMPLES;
    for (int start = 0; ; start++) {
      Integer confidence = wanted.get(weighted);
      if (confidence != null) {
        offsets.put(start - zero, confidence);
      }
      if (start + SAMPLES >= count) {
        return offsets;
      }
      weighted += SAMPLES * samples[start + SAMPLES] - plain;
      plain += samples[start + SAMPLES] - samples[start];
    }
  }
}
