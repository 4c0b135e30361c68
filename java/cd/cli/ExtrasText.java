package cd.cli;

import cd.CdText;
import cd.Disc;
import cd.Printable;
import java.io.PrintStream;

/**
 * What a disc carries besides its table of contents, as lines of the command line's output
 * after the two texts: {@code musicbrainz}, {@code catalog}, {@code isrc <track>}, then per CD-Text block {@code cdtext <block>
 * language <code>} and {@code cdtext <block> <track, 0 = album> <field> <text>}. A value the
 * disc lacks is {@code none} for the catalog number and the ISRCs, and absent for CD-Text.
 */
final class ExtrasText {
  private ExtrasText() {}

  static void print(Disc disc, PrintStream out) {
    out.println("musicbrainz " + orNone(disc.getMusicBrainzId()));
    out.println("catalog " + orNone(disc.getMediaCatalogNumber()));
    for (Disc.Track track : disc.getTracks()) {
      if (track.isAudio()) {
        out.println("isrc " + track.getNumber() + " " + orNone(track.getIsrc()));
      }
    }
    CdText cdText = disc.getCdText();
    if (cdText == null) {
      out.println("cdtext none");
      return;
    }
    for (int i = 0; i < cdText.getBlocks().size(); i++) {
      CdText.Block block = cdText.getBlocks().get(i);
      String prefix = "cdtext " + i + " ";
      out.println(prefix + "language " + block.getLanguageCode());
      CdText.Album album = block.getAlbum();
      printTexts(out, prefix + "0 ", album);
      print(out, prefix + "0 upc ", album.getUpcEan());
      if (album.getGenreCode() != null) {
        out.println(prefix + "0 genre " + album.getGenreCode()
            + (album.getGenre() == null ? "" : " " + Printable.escape(album.getGenre())));
      }
      print(out, prefix + "0 catalog ", album.getCatalog());
      for (Disc.Track track : disc.getTracks()) {
        CdText.Entry entry = block.getTrack(track.getNumber());
        printTexts(out, prefix + track.getNumber() + " ", entry);
        print(out, prefix + track.getNumber() + " isrc ", entry.getIsrc());
      }
    }
  }

  private static void printTexts(PrintStream out, String prefix, CdText.Entry entry) {
    print(out, prefix + "title ", entry.getTitle());
    print(out, prefix + "performer ", entry.getPerformer());
    print(out, prefix + "songwriter ", entry.getSongwriter());
    print(out, prefix + "composer ", entry.getComposer());
    print(out, prefix + "arranger ", entry.getArranger());
    print(out, prefix + "message ", entry.getMessage());
  }

  private static void print(PrintStream out, String prefix, String value) {
    if (value != null) {
      out.println(prefix + Printable.escape(value));
    }
  }

  private static String orNone(String value) {
    return value == null ? "none" : value;
  }
}
