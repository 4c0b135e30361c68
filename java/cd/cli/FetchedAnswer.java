package cd.cli;

import cd.AccurateRipResults;
import cd.Disc;
import cd.DiscReadException;
import cd.lookup.AccurateRipDatabase;
import cd.lookup.LookupException;
import java.io.IOException;
import java.io.PrintStream;
import java.util.Optional;

/**
 * The AccurateRip answer a rip is checked against: the file --accuraterip-results names, else
 * the database's, fetched before the drive is held for the audio. --verify and --find-offset
 * need one; a rip goes on without, unchecked, and says why.
 */
final class FetchedAnswer {
  private FetchedAnswer() {}

  /**
   * The answer; null for a rip that goes unchecked (offline, or none to be had, said on
   * {@code err}).
   *
   * @param needed whether there is nothing to do without one: its absence is an IOException
   */
  static AccurateRipResults of(RipOptions options, PrintStream err, boolean needed)
      throws IOException {
    if (options.resultsFile != null) {
      return options.readResults();
    }
    if (options.offline) {
      return null; // --verify and --find-offset offline take a file: RipOptions saw to it
    }
    Disc disc;
    try {
      disc = Disc.read(options.drive);
    } catch (DiscReadException e) {
      if (needed) {
        throw e;
      }
      return null; // the rip reports it when it opens the drive
    }
    if (disc.getAccurateRipId() == null) {
      return null; // no audio track: the rip says so
    }
    String why;
    try {
      Optional<AccurateRipResults> answer = AccurateRipDatabase.fetch(disc);
      if (answer.isPresent()) {
        return answer.get();
      }
      why = "the AccurateRip database does not know the disc (" + disc.getAccurateRipId() + ")";
    } catch (LookupException e) {
      if (needed) {
        throw e;
      }
      why = e.getMessage();
    }
    if (needed) {
      throw new IOException(why);
    }
    err.println("tocmate: " + why + ": the rip is not checked");
    return null;
  }
}
