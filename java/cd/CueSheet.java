package cd;

import java.util.ArrayList;
import java.util.List;

/**
 * A CUE sheet of a disc as {@code --rip} copies it: its tracks, pregaps and index points (a
 * {@link DiscLayout}), the catalog number, ISRCs, flags and the first CD-Text block's texts
 * of a {@link Disc} read with its extras, its freedb and MusicBrainz IDs, in one of three
 * {@link Style}s. Files are named as {@code --rip} names them: {@code disc.wav},
 * {@code track01.wav} and on, {@code track00.wav} for a hidden track, or the same names
 * ending in {@code .flac} for FLAC files, which the sheet calls WAVE files as players and
 * other rippers do.
 *
 * <pre>{@code
 * String sheet = CueSheet.write(discWithExtras, audio.readLayout(), CueSheet.Style.GAPS_APPENDED);
 * }</pre>
 *
 * <p>Texts are written so that other programs read them as meant: in UTF-8, with double
 * quotes turned into single ones and control and bidirectional formatting characters into
 * spaces. A pregap the layout does not know is left out, and the sheet says so in a REM
 * line. A data track, which a rip does not copy, is described where it lies by its length,
 * in a line other programs pass over as a remark ({@code REM DATA TRACK 02 LENGTH 12:34:56},
 * with {@code PREGAP mm:ss:ff} before {@code LENGTH} where silence no file holds comes
 * first, and {@code REM SESSION 02} before it when it opens a second session), so that the
 * sheet read back is the same disc, with the same identifiers.
 */
public final class CueSheet {
  /** How the disc's audio is laid out in files. */
  public enum Style {
    /** One file for the whole disc, from its start (a hidden track included). */
    SINGLE_FILE,
    /**
     * A file per track, each holding the track up to the next track's start: each pregap at
     * the end of the previous file (the next track's INDEX 00 lies there).
     */
    GAPS_APPENDED,
    /**
     * A file per track, each holding the track up to the next track's pregap: pregaps are
     * left out of the files, as PREGAP lines (silence).
     */
    GAPS_LEFT_OUT
  }

  /** The kind of audio file that holds the samples. */
  public enum FileType {
    /** WAVE files, {@code .wav}. */
    WAVE(".wav"),
    /** FLAC files, {@code .flac}. */
    FLAC(".flac");

    private final String extension;

    FileType(String extension) {
      this.extension = extension;
    }

    /**
     * A file's name as {@code --rip} gives it for this type.
     *
     * @param waveName the name of the WAVE file, such as {@link #trackFile(int)}
     * @return the name with this type's extension, such as "track01.flac"
     */
    public String name(String waveName) {
      return waveName.substring(0, waveName.length() - WAVE.extension.length()) + extension;
    }
  }

  /** The file of the whole disc, as {@code --rip --image} names it. */
  public static final String SINGLE_FILE_NAME = "disc.wav";

  /** The file of the hidden track before track 1, as {@code --rip} names it. */
  public static final String HIDDEN_TRACK_FILE = "track00.wav";

  private CueSheet() {}

  /**
   * The file of a track as {@code --rip} names it.
   *
   * @param number the track's number; 0 for the hidden track
   * @return such as "track01.wav"
   */
  public static String trackFile(int number) {
    return "track" + (number < 10 ? "0" : "") + number + ".wav";
  }

  /**
   * Writes the sheet.
   *
   * @param disc the disc, with its extras where they were read (see {@link Disc#read(String,
   *     Disc.Extra...)})
   * @param layout its layout, from {@link DiscAudio#readLayout()}
   * @param style how the audio lies in files
   * @return the sheet's text, lines ended by CR LF
   */
  public static String write(Disc disc, DiscLayout layout, Style style) {
    return write(disc, layout, style, FileType.WAVE, true, null);
  }

  /**
   * Writes the sheet of files of a type, of a copy that may leave the hidden track out, with
   * names from outside the disc where it carries no CD-Text: the album's title and artist, and
   * each track's, as {@code TITLE} and {@code PERFORMER}.
   *
   * @param disc the disc, with its extras where they were read (see {@link Disc#read(String,
   *     Disc.Extra...)})
   * @param layout its layout, from {@link DiscAudio#readLayout()}
   * @param style how the audio lies in files
   * @param type the type of the files, which their names end with
   * @param hiddenTrackCopied whether the sound before the first track was copied to
   *     {@link #HIDDEN_TRACK_FILE} (in a style of a file per track): the sheet names that
   *     file only then, else that stretch is a PREGAP line, silence no file holds
   * @param names the names, such as a lookup's release; null for none. The disc's CD-Text,
   *     where it has some, goes before them
   * @return the sheet's text, lines ended by CR LF
   */
  public static String write(Disc disc, DiscLayout layout, Style style, FileType type,
      boolean hiddenTrackCopied, DiscNames names) {
    List<String> lines = new ArrayList<>();
    lines.add("REM DISCID " + disc.getFreedbId().toUpperCase(java.util.Locale.ROOT));
    if (disc.getMusicBrainzId() != null) {
      lines.add("REM MUSICBRAINZ_DISCID " + disc.getMusicBrainzId());
    }
    if (!layout.isComplete()) {
      lines.add("REM COMMENT \"the layout is incomplete: unknown pregaps are left out\"");
    }
    if (disc.getMediaCatalogNumber() != null) {
      lines.add("CATALOG " + disc.getMediaCatalogNumber());
    }
    CdText text = disc.getCdText();
    DiscNames named = text == null ? names : null;
    if (text != null) {
      texts(lines, "", text.getAlbum().getTitle(), text.getAlbum().getPerformer(),
          text.getAlbum().getSongwriter());
    } else if (named != null) {
      texts(lines, "", named.getTitle(), named.getArtist(), null);
    }
    List<Disc.Track> audio = new ArrayList<>();
    for (Disc.Track track : disc.getTracks()) {
      if (track.isAudio()) {
        audio.add(track);
      }
    }
    // One file starts at the first track's pregap (a hidden track); after a data track, at
    // the first audio track's start, its pregap lying in the data track.
    int base = audio.isEmpty() ? 0
        : audio.get(0).getNumber() == disc.getFirstTrack() ? pregapStartOf(layout, audio.get(0))
            : audio.get(0).getStart();
    if (style == Style.SINGLE_FILE) {
      lines.add("FILE \"" + type.name(SINGLE_FILE_NAME) + "\" WAVE");
    }
    int fileStart = base;  // where the file being written starts, in frames from the disc's
    int i = 0;  // audio tracks so far
    int dataStart = -1;  // where the data tracks since the last audio track start, -1: none
    for (Disc.Track track : disc.getTracks()) {
      if (!track.isAudio()) {
        describeData(lines, disc, layout, track, dataStart >= 0 || i > 0);
        dataStart = dataStart < 0 ? track.getStart() : dataStart;
        continue;
      }
      // After a data track, the audio goes on in the file where the data began.
      boolean afterData = dataStart >= 0 && i > 0;
      if (afterData && style == Style.SINGLE_FILE) {
        fileStart += track.getStart() - dataStart;
      }
      dataStart = -1;
      DiscLayout.Track laid = layout.getTrack(track.getNumber());
      int gapStart = pregapStartOf(layout, track);
      int gap = track.getStart() - gapStart;
      boolean hiddenFile = i == 0 && gap > 0 && layout.hasHiddenAudio() && hiddenTrackCopied;
      // Where the track's own file starts: before its TRACK line, or (pregap appended to the
      // previous file, or a hidden track's own) between its INDEX 00 and INDEX 01.
      boolean fileFirst = (style == Style.GAPS_LEFT_OUT && !hiddenFile)
          || (style == Style.GAPS_APPENDED && (gap == 0 || afterData || (i == 0 && !hiddenFile)));
      boolean fileBetween = style != Style.SINGLE_FILE && !fileFirst;
      // A pregap in a data track's stretch is silence in the sheet, as no file holds it.
      boolean pregapLine = gap > 0 && !hiddenFile && (style == Style.GAPS_LEFT_OUT
          || (style == Style.GAPS_APPENDED && i == 0) || gapStart < base || afterData);
      i++;
      if (hiddenFile && style != Style.SINGLE_FILE) {
        lines.add("FILE \"" + type.name(HIDDEN_TRACK_FILE) + "\" WAVE");
        fileStart = gapStart;
      }
      if (fileFirst) {
        lines.add("FILE \"" + type.name(trackFile(track.getNumber())) + "\" WAVE");
        fileStart = track.getStart();
      }
      lines.add("  TRACK " + twoDigits(track.getNumber()) + " AUDIO");
      if (text != null) {
        CdText.Entry entry = text.getTrack(track.getNumber());
        texts(lines, "    ", entry.getTitle(), entry.getPerformer(), entry.getSongwriter());
      } else if (named != null) {
        texts(lines, "    ", named.getTrackTitle(track.getNumber()),
            named.getTrackArtist(track.getNumber()), null);
      }
      String flags = (laid.isCopyPermitted() ? " DCP" : "") + (laid.isFourChannel() ? " 4CH" : "")
          + (laid.hasPreEmphasis() ? " PRE" : "");
      if (!flags.isEmpty()) {
        lines.add("    FLAGS" + flags);
      }
      if (track.getIsrc() != null) {
        lines.add("    ISRC " + track.getIsrc());
      }
      if (pregapLine) {
        lines.add("    PREGAP " + Frames.msf(gap));
      } else if (gap > 0) {
        lines.add("    INDEX 00 " + Frames.msf(gapStart - fileStart));
      }
      if (fileBetween) {
        lines.add("FILE \"" + type.name(trackFile(track.getNumber())) + "\" WAVE");
        fileStart = track.getStart();
      }
      lines.add("    INDEX 01 " + Frames.msf(track.getStart() - fileStart));
      int number = 2;
      for (int index : laid.getIndexes()) {
        lines.add("    INDEX " + twoDigits(number++) + " " + Frames.msf(index - fileStart));
      }
    }
    StringBuilder sheet = new StringBuilder();
    for (String line : lines) {
      sheet.append(line).append("\r\n");
    }
    return sheet.toString();
  }

  /**
   * A data track's line: its number, the silence between where the sheet's files leave off
   * and its start, and its length up to the next track's pregap (or the lead-out).
   */
  private static void describeData(List<String> lines, Disc disc, DiscLayout layout,
      Disc.Track track, boolean afterTracks) {
    int number = track.getNumber();
    int audioEnd = disc.getAudioLeadOut();
    // Where the files and descriptions before it end: the disc's start, the audio's end
    // before a second session (and its gap), or the track's own start.
    int reached = !afterTracks ? Frames.LEAD_IN : track.getStart();
    if (afterTracks && track.getStart() > audioEnd && disc.getTrack(number - 1).isAudio()) {
      lines.add("REM SESSION 02");
      reached = audioEnd + Frames.SESSION_GAP;
    }
    int end = number == disc.getLastTrack() ? disc.getLeadOut()
        : disc.getTrack(number + 1).isAudio() ? pregapStartOf(layout, disc.getTrack(number + 1))
            : disc.getTrack(number + 1).getStart();
    int silence = track.getStart() - reached;
    lines.add("REM DATA TRACK " + twoDigits(number)
        + (silence > 0 ? " PREGAP " + Frames.msf(silence) : "") + " LENGTH "
        + Frames.msf(end - track.getStart()));
  }

  /**
   * Where a track's pregap starts; its start where the layout does not know.
   *
   * @param layout the disc's layout
   * @param track one of its tracks
   * @return the sector where the track's pregap starts
   */
  public static int pregapStartOf(DiscLayout layout, Disc.Track track) {
    int start = layout.getTrack(track.getNumber()).getPregapStart();
    return start < 0 ? track.getStart() : start;
  }

  private static void texts(List<String> lines, String indent, String title, String performer,
      String songwriter) {
    String[][] fields = {{"TITLE", title}, {"PERFORMER", performer}, {"SONGWRITER", songwriter}};
    for (String[] field : fields) {
      if (field[1] != null && !field[1].isEmpty()) {
        lines.add(indent + field[0] + " \"" + quotable(field[1]) + "\"");
      }
    }
  }

  /**
   * A text as a quoted field holds it safely: a double quote as a single one, control
   * characters, line and paragraph separators and bidirectional formatting as spaces, a lone
   * surrogate as U+FFFD.
   */
  static String quotable(String text) {
    StringBuilder safe = new StringBuilder(text.length());
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c == '"') {
        safe.append('\'');
      } else if (Character.isISOControl(c) || c == '\u2028' || c == '\u2029'
          || (c >= '\u202a' && c <= '\u202e') || (c >= '\u2066' && c <= '\u2069')
          || c == '\u200e' || c == '\u200f' || c == '\u061c') {
        safe.append(' ');
      } else if (Character.isHighSurrogate(c) && i + 1 < text.length()
          && Character.isLowSurrogate(text.charAt(i + 1))) {
        safe.append(c).append(text.charAt(++i));
      } else if (Character.isSurrogate(c)) {
        safe.append('\ufffd');
      } else {
        safe.append(c);
      }
    }
    return safe.toString().trim();
  }

  private static String twoDigits(int value) {
    return value < 10 ? "0" + value : Integer.toString(value);
  }
}
