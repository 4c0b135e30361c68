package cd.cli;

import cd.Disc;
import cd.Printable;
import cd.lookup.DiscLookup;
import cd.lookup.Release;
import java.io.PrintStream;
import java.util.List;

/**
 * The command line's --lookup: the releases that hold the disc, a value a line, each line
 * starting {@code release N} (from 1): the service and the release's ID, then {@code title},
 * {@code artist}, {@code date}, {@code country}, {@code medium P of M} where known, and for
 * each track {@code track T title} and {@code track T artist}. Texts are escaped to
 * printable ASCII.
 */
final class LookupCommand {
  private LookupCommand() {}

  /** Whether a release was found; none is said on {@code err}. */
  static boolean print(Disc disc, PrintStream out, PrintStream err)
      throws cd.lookup.LookupException {
    List<Release> releases = DiscLookup.lookUp(disc);
    if (releases.isEmpty()) {
      err.println("neither MusicBrainz nor gnudb knows the disc");
      return false;
    }
    for (int i = 0; i < releases.size(); i++) {
      Release release = releases.get(i);
      String prefix = "release " + (i + 1) + " ";
      out.println(prefix + release.getService() + " " + Printable.escape(release.getId()));
      print(out, prefix + "title ", release.getTitle());
      print(out, prefix + "artist ", release.getArtist());
      print(out, prefix + "date ", release.getDate());
      print(out, prefix + "country ", release.getCountry());
      if (release.getMediumCount() > 0) {
        out.println(
            prefix + "medium " + release.getMediumPosition() + " of " + release.getMediumCount());
      }
      for (Release.Track track : release.getTracks()) {
        print(out, prefix + "track " + track.getNumber() + " title ", track.getTitle());
        print(out, prefix + "track " + track.getNumber() + " artist ", track.getArtist());
      }
    }
    return true;
  }

  private static void print(PrintStream out, String prefix, String value) {
    if (value != null) {
      out.println(prefix + Printable.escape(value));
    }
  }
}
