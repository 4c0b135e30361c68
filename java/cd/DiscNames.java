package cd;

/**
 * Names of a disc's album and tracks that come from outside the disc (a lookup in a
 * database, say), for what a rip writes where the disc carries no CD-Text: a CUE sheet's
 * {@code TITLE} and {@code PERFORMER} lines ({@link CueSheet#write(Disc, DiscLayout,
 * CueSheet.Style, CueSheet.FileType, boolean, DiscNames)}) and a FLAC rip's tags. A name not
 * known is null.
 */
public interface DiscNames {
  /**
   * The album's title.
   *
   * @return the title, or null
   */
  String getTitle();

  /**
   * The album's artist, as credited.
   *
   * @return the artist, or null
   */
  String getArtist();

  /**
   * A track's title.
   *
   * @param number the track's number on the disc
   * @return its title, or null
   */
  String getTrackTitle(int number);

  /**
   * A track's artist, as credited.
   *
   * @param number the track's number on the disc
   * @return its artist, or null
   */
  String getTrackArtist(int number);

  /**
   * Where the names come from, for a rip's log.
   *
   * @return such as {@code "MusicBrainz release 0b7f...-..., medium 2 of 2"}
   */
  String getSource();
}
