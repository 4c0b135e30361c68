package cd.lookup;

import cd.Disc;
import cd.Version;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;

/**
 * Looks a disc up: the releases that hold it, with their names, from MusicBrainz first and
 * from gnudb where MusicBrainz knows none. Each call asks the services over the network and
 * may take seconds: MusicBrainz is asked at most once a second from a process, as it asks,
 * and a service that says it is busy (503) is waited out as it says, a few times at most.
 * A request that is not answered in 25 seconds fails.
 *
 * <pre>{@code
 * for (Release release : DiscLookup.lookUp(Disc.read())) {
 *   System.out.println(release.getArtist() + " - " + release.getTitle());
 * }
 * }</pre>
 *
 * <p>The system properties {@value #MUSICBRAINZ_URL_PROPERTY} (the web service's
 * {@code /ws/2} address) and {@value #GNUDB_URL_PROPERTY} (the {@code cddb.cgi} address)
 * choose other servers, mirrors say; only http and https addresses are taken. Every request
 * names the program, its version and its address in its User-Agent, and gnudb's
 * {@code hello} names the program and its version.
 */
public final class DiscLookup {
  /** The system property that names MusicBrainz's web service address. */
  public static final String MUSICBRAINZ_URL_PROPERTY = "tocmate.musicbrainz.url";

  /** The system property that names gnudb's {@code cddb.cgi} address. */
  public static final String GNUDB_URL_PROPERTY = "tocmate.gnudb.url";

  private static final String MUSICBRAINZ_URL = "https://musicbrainz.org/ws/2";
  private static final String GNUDB_URL = "https://gnudb.gnudb.org/~cddb/cddb.cgi";
  // MusicBrainz asks for a request a second at most, from the whole process.
  private static final Pacer MUSICBRAINZ_PACE = new Pacer(1000);
  // Far more than any real answer: a lookup answer of many releases of long media stays
  // well below, a CDDB entry below a hundred kilobytes.
  private static final int MUSICBRAINZ_MOST_BYTES = 8 << 20;
  private static final int GNUDB_MOST_BYTES = 1 << 20;
  // Exact matches read of a query: the same disc filed under a few genres.
  private static final int MOST_ENTRIES = 4;
  private static final String HELLO = "anonymous+localhost+Tocmate+" + Version.NUMBER;

  private DiscLookup() {}

  /**
   * The releases that hold the disc: MusicBrainz's, or where it knows none, gnudb's.
   *
   * @param disc the disc, as read
   * @return the releases, empty when neither service knows the disc
   * @throws LookupException when a service can not be asked, or answers what is not an
   *     answer
   */
  public static List<Release> lookUp(Disc disc) throws LookupException {
    List<Release> releases = musicBrainz(disc);
    return releases.isEmpty() ? gnudb(disc) : releases;
  }

  /**
   * The releases MusicBrainz knows to hold the disc: by its disc ID, or where the ID is not
   * known, by its table of contents (a release then holds a medium of the disc's track count).
   *
   * @param disc the disc, as read
   * @return the releases, empty for an unknown disc or one without audio tracks
   * @throws LookupException when MusicBrainz can not be asked, or answers what is not an
   *     answer
   */
  public static List<Release> musicBrainz(Disc disc) throws LookupException {
    if (disc.getMusicBrainzId() == null) {
      return Collections.emptyList();
    }
    String address = System.getProperty(MUSICBRAINZ_URL_PROPERTY, MUSICBRAINZ_URL) + "/discid/"
        + disc.getMusicBrainzId() + "?toc=" + disc.getMusicBrainzToc().replace(' ', '+')
        + "&cdstubs=no&inc=artist-credits+recordings";
    WebClient.Answer answer =
        new WebClient("MusicBrainz", MUSICBRAINZ_MOST_BYTES, MUSICBRAINZ_PACE).get(address);
    if (answer.status == 404) {
      return Collections.emptyList();
    }
    return MusicBrainzAnswer.parse(answer.body, disc.getMusicBrainzId(), audioTracks(disc));
  }

  /**
   * The entries gnudb holds for the disc, each as a release: its {@code DTITLE} split into
   * artist and title, {@code DYEAR} its date, each {@code TTITLE} a track's title (on a disc
   * of various artists, {@code "artist / title"} split). Only exact matches of the disc's
   * table of contents count.
   *
   * @param disc the disc, as read
   * @return the releases, empty for an unknown disc
   * @throws LookupException when gnudb can not be asked, or answers what is not an answer
   */
  public static List<Release> gnudb(Disc disc) throws LookupException {
    WebClient client = new WebClient("gnudb", GNUDB_MOST_BYTES, null);
    String base = System.getProperty(GNUDB_URL_PROPERTY, GNUDB_URL);
    List<Release> releases = new ArrayList<>();
    for (CddbAnswer.Match match :
        CddbAnswer.matches(client.get(cddb(base, disc.getCddbQuery())).body)) {
      if (releases.size() == MOST_ENTRIES) {
        break;
      }
      WebClient.Answer entry =
          client.get(cddb(base, "cddb read " + match.genre + " " + match.discId));
      releases.add(release(match, CddbAnswer.entry(entry.body), disc));
    }
    return releases;
  }

  private static String cddb(String base, String command) {
    return base + "?cmd=" + command.replace(' ', '+') + "&hello=" + HELLO + "&proto=6";
  }

  private static Release release(CddbAnswer.Match match, Map<String, String> entry, Disc disc) {
    String heading = entry.get("DTITLE");
    String[] album = split(heading);
    String artist = album == null ? heading : album[0];
    String title = album == null ? heading : album[1];
    // On a disc of various artists, xmcd writes each track as "artist / title".
    boolean various = artist != null && artist.matches("(?i)various( artists)?");
    List<Release.Track> tracks = new ArrayList<>();
    for (int i = 0; i < disc.getTracks().size(); i++) {
      Disc.Track track = disc.getTracks().get(i);
      String named = entry.get("TTITLE" + i);
      if (!track.isAudio() || named == null) {
        continue;
      }
      String[] split = various ? split(named) : null;
      tracks.add(split == null ? new Release.Track(track.getNumber(), named, artist)
                               : new Release.Track(track.getNumber(), split[1], split[0]));
    }
    String year = entry.get("DYEAR");
    return new Release(Release.Service.GNUDB, match.genre + "/" + match.discId, title, artist,
        year == null || year.trim().isEmpty() ? null : year.trim(), null, 0, 0, tracks);
  }

  /** "artist / title" as artist and title; null without the separator. */
  private static String[] split(String text) {
    int separator = text == null ? -1 : text.indexOf(" / ");
    return separator < 0
        ? null
        : new String[] {text.substring(0, separator).trim(), text.substring(separator + 3).trim()};
  }

  private static int[] audioTracks(Disc disc) {
    return disc.getTracks()
        .stream()
        .filter(Disc.Track::isAudio)
        .mapToInt(Disc.Track::getNumber)
        .toArray();
  }
}
