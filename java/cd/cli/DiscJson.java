package cd.cli;

import cd.CdText;
import cd.Disc;
import cd.Printable;
/**
 * A disc as one JSON object: every value of {@link Disc} and the drive that was read. The
 * text is plain ASCII whatever the console's character set: everything else is escaped.
 */
final class DiscJson {
  private DiscJson() {}

  /**
   * The object, one member a line. The drive is null for the system's first drive; the
   * MusicBrainz, AccurateRip and CTDB TOC values are null for a disc without audio tracks.
   * With `extras`, the catalog number, each track's ISRC and the CD-Text too, null where the
   * disc has none.
   */
  static String of(Disc disc, String drive, boolean extras) {
    StringBuilder json = new StringBuilder("{\n");
    member(json, "drive", quote(drive));
    member(json, "firstTrack", Integer.toString(disc.getFirstTrack()));
    member(json, "lastTrack", Integer.toString(disc.getLastTrack()));
    member(json, "leadOut", Integer.toString(disc.getLeadOut()));
    StringBuilder tracks = new StringBuilder("[");
    for (Disc.Track track : disc.getTracks()) {
      tracks.append(tracks.length() == 1 ? "\n" : ",\n");
      tracks
          .append("    {\"number\": ")
          .append(track.getNumber())
          .append(", \"start\": ")
          .append(track.getStart())
          .append(", \"length\": ")
          .append(track.getLength())
          .append(", \"lengthSeconds\": ")
          .append(track.getLengthSeconds())
          .append(", \"audio\": ")
          .append(track.isAudio());
      if (extras) {
        tracks.append(", \"isrc\": ").append(quote(track.getIsrc()));
      }
      tracks.append('}');
    }
    member(json, "tracks", tracks.append("\n  ]").toString());
    member(json, "freedbId", quote(disc.getFreedbId()));
    member(json, "cddbQuery", quote(disc.getCddbQuery()));
    member(json, "musicBrainzId", quote(disc.getMusicBrainzId()));
    member(json, "musicBrainzToc", quote(disc.getMusicBrainzToc()));
    member(json, "musicBrainzSubmissionUrl", quote(disc.getMusicBrainzSubmissionUrl()));
    member(json, "accurateRipId", quote(disc.getAccurateRipId()));
    member(json, "accurateRipUrl", quote(disc.getAccurateRipUrl()));
    member(json, "ctdbTocId", quote(disc.getCtdbTocId()));
    member(json, "ctdbLookupUrl", quote(disc.getCtdbLookupUrl()));
    member(json, "firstTrackPregap", Integer.toString(disc.getFirstTrackPregap()));
    if (extras) {
      member(json, "mediaCatalogNumber", quote(disc.getMediaCatalogNumber()));
      member(json, "cdText", cdText(disc));
    }
    // The last member ends without a comma.
    return json.replace(json.length() - 2, json.length(), "\n}").toString();
  }

  // {"blocks": [{"languageCode", "album": {...}, "tracks": [{"number", ...}]}]} or null.
  private static String cdText(Disc disc) {
    CdText cdText = disc.getCdText();
    if (cdText == null) {
      return "null";
    }
    StringBuilder blocks = new StringBuilder("{\"blocks\": [");
    for (CdText.Block block : cdText.getBlocks()) {
      blocks.append(blocks.charAt(blocks.length() - 1) == '[' ? "\n" : ",\n");
      CdText.Album album = block.getAlbum();
      blocks.append("    {\"languageCode\": ").append(block.getLanguageCode());
      blocks.append(",\n     \"album\": {").append(entry(album));
      blocks.append(", \"genreCode\": ").append(album.getGenreCode());
      blocks.append(", \"genre\": ").append(quote(album.getGenre()));
      blocks.append(", \"catalog\": ").append(quote(album.getCatalog()));
      blocks.append(", \"upcEan\": ").append(quote(album.getUpcEan())).append("},\n");
      blocks.append("     \"tracks\": [");
      for (Disc.Track track : disc.getTracks()) {
        CdText.Entry entry = block.getTrack(track.getNumber());
        blocks.append(track.getNumber() == disc.getFirstTrack() ? "\n" : ",\n");
        blocks.append("       {\"number\": ").append(track.getNumber()).append(", ");
        blocks.append(entry(entry)).append(", \"isrc\": ").append(quote(entry.getIsrc()));
        blocks.append('}');
      }
      blocks.append("]}");
    }
    return blocks.append("\n  ]}").toString();
  }

  private static String entry(CdText.Entry entry) {
    return "\"title\": " + quote(entry.getTitle())
        + ", \"performer\": " + quote(entry.getPerformer())
        + ", \"songwriter\": " + quote(entry.getSongwriter())
        + ", \"composer\": " + quote(entry.getComposer())
        + ", \"arranger\": " + quote(entry.getArranger())
        + ", \"message\": " + quote(entry.getMessage());
  }

  private static void member(StringBuilder json, String name, String value) {
    json.append("  ").append(quote(name)).append(": ").append(value).append(",\n");
  }

  /** The text as a JSON string; null as JSON's null. */
  static String quote(String text) {
    if (text == null) {
      return "null";
    }
    StringBuilder quoted = new StringBuilder(text.length() + 2).append('"');
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c == '"' || c == '\\') {
        quoted.append('\\').append(c);
      } else if (!Printable.isPlain(c)) {
        quoted.append(String.format("\\u%04x", (int) c));
      } else {
        quoted.append(c);
      }
    }
    return quoted.append('"').toString();
  }
}
