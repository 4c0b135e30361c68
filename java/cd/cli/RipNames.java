package cd.cli;

import cd.Disc;
import cd.DiscNames;
import cd.lookup.DiscLookup;
import cd.lookup.LookupException;
import cd.lookup.Release;
import java.io.PrintStream;
import java.util.List;

/**
 * The names a rip writes where the disc carries no CD-Text, looked up before the drive is
 * held for the audio, and where they came from, for the rip's log. A lookup that fails
 * leaves the rip without names, and says why.
 */
final class RipNames {
  /** The names for the sheet (and tags); null where the disc's CD-Text serves, or none. */
  final DiscNames names;
  /** Where the names came from, or why there are none. */
  final String source;

  private RipNames(DiscNames names, String source) {
    this.names = names;
    this.source = source;
  }

  /** The names of the disc read with its extras (null where it could not be read). */
  static RipNames find(Disc disc, boolean offline, PrintStream err) {
    if (disc == null) {
      return new RipNames(null, "none: the disc could not be read for a lookup");
    }
    if (disc.getCdText() != null) {
      return new RipNames(null, "the disc's CD-Text");
    }
    if (offline) {
      return new RipNames(null, "none: offline, the disc not looked up");
    }
    try {
      List<Release> releases = DiscLookup.lookUp(disc);
      if (releases.isEmpty()) {
        return new RipNames(null, "none: neither MusicBrainz nor gnudb knows the disc");
      }
      Release release = releases.get(0);
      return new RipNames(release,
          release.getSource()
              + (releases.size() == 1 ? "" : " (the first of " + releases.size() + " releases)"));
    } catch (LookupException e) {
      err.println("tocmate: no names for the rip: " + e.getMessage());
      return new RipNames(null, "none: " + e.getMessage());
    }
  }
}
