package cd.lookup;

import cd.DiscNames;
import java.util.Collections;
import java.util.List;

/**
 * A release that holds the disc, as a service knows it: its title, artist credit as written,
 * date and country, and the names of the disc's tracks as printed on the release (a track's
 * own title, which may differ from its recording's). Of a release of several discs, only the
 * medium holding this disc is given. Immutable; a value the service does not give is null.
 */
public final class Release implements DiscNames {
  /** The service a release comes from. */
  public enum Service {
    /** The MusicBrainz web service, which knows a disc by its MusicBrainz disc ID. */
    MUSICBRAINZ("MusicBrainz"),
    /** A CDDB service (gnudb), which knows a disc by its freedb ID and table of contents. */
    GNUDB("gnudb");

    private final String shown;

    Service(String shown) {
      this.shown = shown;
    }

    /**
     * The service's name.
     *
     * @return "MusicBrainz" or "gnudb"
     */
    @Override
    public String toString() {
      return shown;
    }
  }

  private final Service service;
  private final String id;
  private final String title;
  private final String artist;
  private final String date;
  private final String country;
  private final int medium;
  private final int media;
  private final List<Track> tracks;

  Release(Service service, String id, String title, String artist, String date, String country,
      int medium, int media, List<Track> tracks) {
    this.service = service;
    this.id = id;
    this.title = title;
    this.artist = artist;
    this.date = date;
    this.country = country;
    this.medium = medium;
    this.media = media;
    this.tracks = Collections.unmodifiableList(tracks);
  }

  /**
   * The service that knows the release.
   *
   * @return MusicBrainz or gnudb
   */
  public Service getService() {
    return service;
  }

  /**
   * The release's identifier at its service.
   *
   * @return MusicBrainz's release ID, or gnudb's genre and freedb ID, such as
   *     {@code "rock/370fce16"}
   */
  public String getId() {
    return id;
  }

  @Override
  public String getTitle() {
    return title;
  }

  /**
   * {@inheritDoc} On MusicBrainz each credited name as the release writes it, joined by the
   * credit's own words (such as {@code " & "} or {@code " feat. "}).
   */
  @Override
  public String getArtist() {
    return artist;
  }

  /**
   * The release's date.
   *
   * @return such as {@code "2007-11-05"} or {@code "2007"}, or null
   */
  public String getDate() {
    return date;
  }

  /**
   * The country of the release, as MusicBrainz gives it; gnudb gives none.
   *
   * @return a code such as {@code "GB"} or {@code "XW"}, or null
   */
  public String getCountry() {
    return country;
  }

  /**
   * Which of the release's media is this disc.
   *
   * @return from 1; 0 where the service does not say (gnudb)
   */
  public int getMediumPosition() {
    return medium;
  }

  /**
   * How many media the release has.
   *
   * @return the count; 0 where the service does not say (gnudb)
   */
  public int getMediumCount() {
    return media;
  }

  /**
   * The disc's audio tracks the service names, in order.
   *
   * @return the tracks; the list is unmodifiable
   */
  public List<Track> getTracks() {
    return tracks;
  }

  @Override
  public String getTrackTitle(int number) {
    Track track = track(number);
    return track == null ? null : track.title;
  }

  @Override
  public String getTrackArtist(int number) {
    Track track = track(number);
    return track == null ? null : track.artist;
  }

  private Track track(int number) {
    for (Track track : tracks) {
      if (track.number == number) {
        return track;
      }
    }
    return null;
  }

  /**
   * The service, the release's ID and the medium.
   *
   * @return such as {@code "MusicBrainz release 9b3d...075b, medium 2 of 2"} or
   *     {@code "gnudb entry rock/370fce16"}
   */
  @Override
  public String getSource() {
    return service == Service.GNUDB
        ? service + " entry " + id
        : service + " release " + id + (media == 0 ? "" : ", medium " + medium + " of " + media);
  }

  /** A track of the disc as the release names it. Immutable. */
  public static final class Track {
    private final int number;
    private final String title;
    private final String artist;

    Track(int number, String title, String artist) {
      this.number = number;
      this.title = title;
      this.artist = artist;
    }

    /**
     * The track's number on the disc (as {@link cd.Disc.Track#getNumber()} gives it).
     *
     * @return the number
     */
    public int getNumber() {
      return number;
    }

    /**
     * The track's title as the release prints it.
     *
     * @return the title, or null
     */
    public String getTitle() {
      return title;
    }

    /**
     * The track's artist credit as written.
     *
     * @return the artist, or null
     */
    public String getArtist() {
      return artist;
    }
  }
}
