package cd;

import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Objects;

/**
 * The CD-Text a disc carries: album and track texts in up to eight language blocks.
 * {@link #getAlbum()} and {@link #getTrack(int)} give the first block's; {@link #getBlocks()}
 * gives every block in disc order. Texts are decoded by their block's character code
 * (ISO-8859-1, ASCII or MS-JIS); in a block of another code (Korean, Mandarin Chinese) they
 * are null, its codes and language kept. Immutable.
 */
public final class CdText {
  // The pack types of the texts, as the disc numbers them.
  static final int TITLE = 0x80;
  static final int PERFORMER = 0x81;
  static final int SONGWRITER = 0x82;
  static final int COMPOSER = 0x83;
  static final int ARRANGER = 0x84;
  static final int MESSAGE = 0x85;
  static final int DISC_CATALOG = 0x86;
  static final int GENRE = 0x87;
  static final int UPC_ISRC = 0x8e;

  private final List<Block> blocks;

  CdText(List<Block> blocks) {
    this.blocks = Collections.unmodifiableList(new ArrayList<>(blocks));
  }

  /**
   * The album's texts in the first language block.
   *
   * @return the album's texts
   */
  public Album getAlbum() {
    return blocks.get(0).getAlbum();
  }

  /**
   * A track's texts in the first language block; every value null where it has none.
   *
   * @param number the track's number on the disc
   * @return the track's texts
   */
  public Entry getTrack(int number) {
    return blocks.get(0).getTrack(number);
  }

  /**
   * Every language block, in disc order (at least one); the list is unmodifiable.
   *
   * @return the language blocks
   */
  public List<Block> getBlocks() {
    return blocks;
  }

  @Override
  public boolean equals(Object other) {
    return other instanceof CdText && blocks.equals(((CdText) other).blocks);
  }

  @Override
  public int hashCode() {
    return blocks.hashCode();
  }

  @Override
  public String toString() {
    return "CdText" + blocks;
  }

  /** The texts of the album or of one track. */
  public static class Entry {
    private final String title;
    private final String performer;
    private final String songwriter;
    private final String composer;
    private final String arranger;
    private final String message;
    // Pack 8Eh: a track's ISRC, the album's UPC/EAN.
    final String code;

    Entry(String[] texts, String code) {
      title = texts[TITLE - TITLE];
      performer = texts[PERFORMER - TITLE];
      songwriter = texts[SONGWRITER - TITLE];
      composer = texts[COMPOSER - TITLE];
      arranger = texts[ARRANGER - TITLE];
      message = texts[MESSAGE - TITLE];
      this.code = code;
    }

    /**
     * The title, or null where the disc gives none.
     *
     * @return the title, or null
     */
    public String getTitle() {
      return title;
    }

    /**
     * The performer, or null where the disc gives none.
     *
     * @return the performer, or null
     */
    public String getPerformer() {
      return performer;
    }

    /**
     * The songwriter, or null where the disc gives none.
     *
     * @return the songwriter, or null
     */
    public String getSongwriter() {
      return songwriter;
    }

    /**
     * The composer, or null where the disc gives none.
     *
     * @return the composer, or null
     */
    public String getComposer() {
      return composer;
    }

    /**
     * The arranger, or null where the disc gives none.
     *
     * @return the arranger, or null
     */
    public String getArranger() {
      return arranger;
    }

    /**
     * The message, or null where the disc gives none.
     *
     * @return the message, or null
     */
    public String getMessage() {
      return message;
    }

    /**
     * A track's ISRC as its CD-Text gives it (pack 8Eh), or null.
     *
     * @return the ISRC, or null
     */
    public String getIsrc() {
      return code;
    }

    @Override
    public boolean equals(Object other) {
      if (other == null || other.getClass() != getClass()) {
        return false;
      }
      Entry entry = (Entry) other;
      return Objects.equals(title, entry.title) && Objects.equals(performer, entry.performer)
          && Objects.equals(songwriter, entry.songwriter)
          && Objects.equals(composer, entry.composer) && Objects.equals(arranger, entry.arranger)
          && Objects.equals(message, entry.message) && Objects.equals(code, entry.code);
    }

    @Override
    public int hashCode() {
      return Objects.hash(title, performer, songwriter, composer, arranger, message, code);
    }

    @Override
    public String toString() {
      return "[title " + title + ", performer " + performer + "]";
    }
  }

  /** The album's texts: those of a track, and the genre, catalogue text and UPC/EAN. */
  public static final class Album extends Entry {
    private final Integer genreCode;
    private final String genre;
    private final String catalog;

    Album(String[] texts, String upcEan, Integer genreCode, String genre, String catalog) {
      super(texts, upcEan);
      this.genreCode = genreCode;
      this.genre = genre;
      this.catalog = catalog;
    }

    /**
     * The genre's code from the CD-Text genre list (0 to 28 defined), or null.
     *
     * @return the genre's code, or null
     */
    public Integer getGenreCode() {
      return genreCode;
    }

    /**
     * The genre's own text, or null.
     *
     * @return the genre's text, or null
     */
    public String getGenre() {
      return genre;
    }

    /**
     * The disc's catalogue text (pack 86h), or null.
     *
     * @return the catalogue text, or null
     */
    public String getCatalog() {
      return catalog;
    }

    /**
     * The album's UPC/EAN (pack 8Eh), or null.
     *
     * @return the UPC/EAN, or null
     */
    public String getUpcEan() {
      return code;
    }

    /** Null: an album has a UPC/EAN, {@link #getUpcEan()}, rather than an ISRC. */
    @Override
    public String getIsrc() {
      return null;
    }

    @Override
    public boolean equals(Object other) {
      if (!super.equals(other)) {
        return false;
      }
      Album album = (Album) other;
      return Objects.equals(genreCode, album.genreCode) && Objects.equals(genre, album.genre)
          && Objects.equals(catalog, album.catalog);
    }

    @Override
    public int hashCode() {
      return Objects.hash(super.hashCode(), genreCode, genre, catalog);
    }
  }

  /** One language block. */
  public static final class Block {
    private static final Entry NONE = new Entry(new String[MESSAGE - TITLE + 1], null);
    private final int languageCode;
    private final Album album;
    private final List<Entry> tracks; // index: track number - firstTrack
    private final int firstTrack;

    Block(int languageCode, Album album, int firstTrack, List<Entry> tracks) {
      this.languageCode = languageCode;
      this.album = album;
      this.firstTrack = firstTrack;
      this.tracks = Collections.unmodifiableList(new ArrayList<>(tracks));
    }

    /**
     * The block's language as the disc codes it (EBU Tech 3258: 09h English, 69h Japanese).
     *
     * @return the language code
     */
    public int getLanguageCode() {
      return languageCode;
    }

    /**
     * The album's texts in this block.
     *
     * @return the album's texts
     */
    public Album getAlbum() {
      return album;
    }

    /**
     * A track's texts; every value null for a track without any.
     *
     * @param number the track's number on the disc
     * @return the track's texts
     */
    public Entry getTrack(int number) {
      int index = number - firstTrack;
      return index >= 0 && index < tracks.size() ? tracks.get(index) : NONE;
    }

    @Override
    public boolean equals(Object other) {
      if (!(other instanceof Block)) {
        return false;
      }
      Block block = (Block) other;
      return languageCode == block.languageCode && album.equals(block.album)
          && firstTrack == block.firstTrack && tracks.equals(block.tracks);
    }

    @Override
    public int hashCode() {
      return Objects.hash(languageCode, album, firstTrack, tracks);
    }

    @Override
    public String toString() {
      return "Block[language " + languageCode + ", album " + album + "]";
    }
  }

  /**
   * Builds the CD-Text from the native reader's blocks: each block is {language, character
   * code, int[] of pack type and track pairs, byte[][] of their bytes}.
   */
  static CdText of(Object[] nativeBlocks, int firstTrack, int lastTrack) {
    List<Block> blocks = new ArrayList<>();
    for (Object element : nativeBlocks) {
      Object[] block = (Object[]) element;
      int language = (Integer) block[0];
      Charset charset = charsetOf((Integer) block[1]);
      int[] keys = (int[]) block[2];
      byte[][] texts = (byte[][]) block[3];
      String[][] byTrack = new String[lastTrack + 1][UPC_ISRC - TITLE + 1];
      for (int i = 0; i < texts.length; i++) {
        int type = keys[2 * i];
        int track = keys[2 * i + 1];
        if (track > lastTrack) {
          continue;
        }
        byte[] bytes = texts[i];
        if (type == GENRE) {
          int code = bytes.length >= 2 ? (bytes[0] & 0xff) << 8 | bytes[1] & 0xff : 0;
          byTrack[track][GENRE - TITLE] = String.valueOf(code);
          byTrack[track][GENRE - TITLE + 1] = bytes.length > 2 && charset != null
              ? new String(bytes, 2, bytes.length - 2, charset) : null;
        } else if (type - TITLE < byTrack[track].length && type != GENRE + 1) {
          // Codes (UPC/EAN, ISRC) are ASCII whatever the block's character code.
          Charset textCharset = type == UPC_ISRC ? StandardCharsets.ISO_8859_1 : charset;
          byTrack[track][type - TITLE] = textCharset == null ? null : new String(bytes, textCharset);
        }
      }
      List<Entry> tracks = new ArrayList<>();
      for (int track = firstTrack; track <= lastTrack; track++) {
        tracks.add(new Entry(byTrack[track], byTrack[track][UPC_ISRC - TITLE]));
      }
      String[] album = byTrack[0];
      String genreCode = album[GENRE - TITLE];
      blocks.add(new Block(language,
          new Album(album, album[UPC_ISRC - TITLE],
              genreCode == null ? null : Integer.valueOf(genreCode), album[GENRE - TITLE + 1],
              album[DISC_CATALOG - TITLE]),
          firstTrack, tracks));
    }
    return blocks.isEmpty() ? null : new CdText(blocks);
  }

  // MS-JIS is Java's windows-31j; a runtime without it (a trimmed one) gives no texts
  // rather than wrong ones, as does a character code whose encoding is not known for certain
  // (81h Korean, 82h Mandarin Chinese, any other).
  private static Charset charsetOf(int characterCode) {
    switch (characterCode) {
      case 0x00:
        return StandardCharsets.ISO_8859_1;
      case 0x01:
        return StandardCharsets.US_ASCII;
      case 0x80:
        try {
          return Charset.forName("windows-31j");
        } catch (IllegalArgumentException e) {
          return null;
        }
      default:
        return null;
    }
  }
}
