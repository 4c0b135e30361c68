package cd.cli;

import cd.AccurateRipResults;
import cd.Disc;
import cd.DiscAudio;
import cd.DiscReadException;
import java.io.PrintStream;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;

/**
 * What the command line makes of an AccurateRip answer: whether it is this disc's at all, and
 * the read offsets at which the drive's samples fit it (--find-offset, and --verify or --rip
 * where tracks did not match).
 */
final class AnswerChecks {
  private AnswerChecks() {}

  /**
   * Refuses an answer none of whose pressings has the disc's identifiers: checked against it,
   * every track would fail, and the fault would look like the rip's.
   */
  static void checkIsFor(AccurateRipResults results, Disc disc) {
    if (results == null || results.isFor(disc)) {
      return;
    }
    Set<String> ids = new LinkedHashSet<>();
    for (AccurateRipResults.Pressing pressing : results.getPressings()) {
      ids.add(pressing.getAccurateRipId());
    }
    throw new IllegalArgumentException("--accuraterip-results is the answer for another disc: "
        + String.join(", ", ids) + ", not this disc's " + disc.getAccurateRipId());
  }

  /** --find-offset: exit 0 and the offset where one fits; else exit 1, naming every one. */
  static boolean printOffset(AccurateRipResults results, DiscAudio audio, PrintStream out,
      PrintStream err) throws DiscReadException {
    List<AccurateRipResults.OffsetMatch> fitting = results.findReadOffsets(audio);
    if (fitting.size() == 1) {
      out.println(fitting.get(0));
      return true;
    }
    if (fitting.isEmpty()) {
      err.println("no read offset found: no two tracks of more than 460 sectors match a pressing"
          + " of this disc (" + audio.getDisc().getAccurateRipId() + ") in the answer");
      return false;
    }
    for (AccurateRipResults.OffsetMatch match : fitting) {
      out.println(match);
    }
    err.println(fitting.size() + " read offsets fit the answer, so it does not tell the"
        + " drive's: the disc's pressings differ by an offset, or its audio repeats (a test"
        + " tone); find it with another disc");
    return false;
  }

  /** Where tracks did not match: the read offset at which they do, if exactly one and another. */
  static void nameOtherOffset(AccurateRipResults results, DiscAudio audio, int readOffset,
      PrintStream err) throws DiscReadException {
    Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
    if (match.isPresent() && match.get().getOffset() != readOffset) {
      int offset = match.get().getOffset();
      err.println("matches at offset " + (offset > 0 ? "+" : "") + offset
          + ": the rip was made with a read offset " + Math.abs(offset - readOffset)
          + " samples off");
    }
  }
}
