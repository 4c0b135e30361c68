package cd;

import java.util.ArrayList;
import java.util.Collections;
import java.util.List;

/**
 * What a disc's Q sub-channel says beyond its table of contents: each track's pregap (index
 * 00), its index points from 02 on and where its pre-emphasis shows, and the hidden track
 * before the first track. Read by {@link DiscAudio#readLayout()}. Positions are in frames
 * (sectors, 75 a second) from the disc's start as {@link Disc.Track#getStart()} counts them.
 *
 * <p>Nothing is guessed: what the drive's Q data did not confirm is unknown (-1 for a
 * position, an empty array of index points, {@link PreEmphasisSource#NONE}) and {@link
 * #isComplete()} is then false. Immutable.
 */
public final class DiscLayout {
  /** Where a track's pre-emphasis flag was seen. */
  public enum PreEmphasisSource {
    /** In the table of contents alone. */
    TOC,
    /** In the track's Q sub-channel alone, as some discs carry it. */
    SUBCHANNEL,
    /** In both. */
    BOTH,
    /** In neither (or, where the Q data was not read, not in the table). */
    NONE
  }

  private static final int PRE_EMPHASIS = 0x1;
  private static final int COPY_PERMITTED = 0x2;
  private static final int FOUR_CHANNEL = 0x8;

  private final List<Track> tracks;
  private final int firstTrack;
  private final int hiddenTrackLength;
  private final boolean hiddenAudio;
  private final boolean complete;

  /**
   * The layout of `disc` from DiscAudio's native readLayout: complete, the hidden length, its
   * audio (-1 unknown), then per track: pregap start, pregap length, CONTROL nibble,
   * pre-emphasis in Q (-1 unknown), the count of index points (-1 unknown) and their starts.
   */
  DiscLayout(Disc disc, int[] values) {
    complete = values[0] == 1;
    hiddenTrackLength = values[1];
    hiddenAudio = values[2] == 1;
    firstTrack = disc.getFirstTrack();
    List<Track> list = new ArrayList<>();
    int at = 3;
    for (int number = firstTrack; number <= disc.getLastTrack(); number++) {
      int indexCount = values[at + 4];
      int[] indexes = new int[Math.max(0, indexCount)];
      System.arraycopy(values, at + 5, indexes, 0, indexes.length);
      list.add(new Track(number, values[at], values[at + 1], values[at + 2], values[at + 3],
          indexes));
      at += 5 + indexes.length;
    }
    tracks = Collections.unmodifiableList(list);
  }

  /**
   * Every track's layout.
   *
   * @return the tracks in the disc's order, unmodifiable
   */
  public List<Track> getTracks() {
    return tracks;
  }

  /**
   * A track's layout.
   *
   * @param number the track's number on the disc
   * @return its layout
   * @throws IllegalArgumentException for a track the disc does not have
   */
  public Track getTrack(int number) {
    if (number < firstTrack || number >= firstTrack + tracks.size()) {
      throw new IllegalArgumentException("the disc has no track " + number);
    }
    return tracks.get(number - firstTrack);
  }

  /**
   * The frames before the first track, from the disc's start (frame 150): 0 when the first
   * track starts there.
   *
   * @return their count
   */
  public int getHiddenTrackLength() {
    return hiddenTrackLength;
  }

  /**
   * Whether the frames before the first track hold anything but silence: a hidden track.
   *
   * @return false too where they could not be read ({@link #isComplete()} is then false)
   */
  public boolean hasHiddenAudio() {
    return hiddenAudio;
  }

  /**
   * Whether every value was confirmed by the disc's Q data.
   *
   * @return false when some value is unknown
   */
  public boolean isComplete() {
    return complete;
  }

  /** One line a track: its pregap, index points and flags; then the hidden track. */
  @Override
  public String toString() {
    StringBuilder text = new StringBuilder();
    for (Track track : tracks) {
      text.append(track).append('\n');
    }
    return text.append("hidden ").append(hiddenTrackLength)
        .append(hiddenAudio ? " audio" : " silence")
        .append(complete ? "" : "\nincomplete").toString();
  }

  /** One track's layout. */
  public static final class Track {
    private final int number;
    private final int pregapStart;
    private final int pregapLength;
    private final int[] indexes;
    private final PreEmphasisSource preEmphasis;
    private final boolean copyPermitted;
    private final boolean fourChannel;

    Track(int number, int pregapStart, int pregapLength, int control, int qPreEmphasis,
        int[] indexes) {
      this.number = number;
      this.pregapStart = pregapStart;
      this.pregapLength = pregapLength;
      this.indexes = indexes;
      boolean inToc = (control & PRE_EMPHASIS) != 0;
      if (qPreEmphasis == 1) {
        preEmphasis = inToc ? PreEmphasisSource.BOTH : PreEmphasisSource.SUBCHANNEL;
      } else {
        preEmphasis = inToc ? PreEmphasisSource.TOC : PreEmphasisSource.NONE;
      }
      copyPermitted = (control & COPY_PERMITTED) != 0;
      fourChannel = (control & FOUR_CHANNEL) != 0;
    }

    /**
     * The track's number.
     *
     * @return between 1 and 99
     */
    public int getNumber() {
      return number;
    }

    /**
     * Where the track's pregap (index 00) starts; the track's start when it has none.
     *
     * @return in frames from the disc's start, -1 when unknown
     */
    public int getPregapStart() {
      return pregapStart;
    }

    /**
     * The pregap's length.
     *
     * @return in frames, 0 for none, -1 when unknown
     */
    public int getPregapLength() {
      return pregapLength;
    }

    /**
     * Where index points 02, 03 and on start, in order.
     *
     * @return their frames from the disc's start; empty when the track has none or they are
     *     unknown
     */
    public int[] getIndexes() {
      return indexes.clone();
    }

    /**
     * Whether the track was mastered with pre-emphasis. It is reported, never undone: the
     * samples stay the disc's.
     *
     * @return whether the table of contents or the Q data flags it
     */
    public boolean hasPreEmphasis() {
      return preEmphasis != PreEmphasisSource.NONE;
    }

    /**
     * Where the pre-emphasis flag was seen.
     *
     * @return TOC, SUBCHANNEL, BOTH or NONE
     */
    public PreEmphasisSource getPreEmphasisSource() {
      return preEmphasis;
    }

    /**
     * The table of contents' digital copy permitted flag.
     *
     * @return whether it is set
     */
    public boolean isCopyPermitted() {
      return copyPermitted;
    }

    /**
     * The table of contents' four channel flag.
     *
     * @return whether it is set
     */
    public boolean isFourChannel() {
      return fourChannel;
    }

    /** "track 2 pregap 7850 150 indexes 18000 19000 pre-emphasis BOTH dcp 4ch". */
    @Override
    public String toString() {
      StringBuilder text = new StringBuilder("track ").append(number).append(" pregap ")
          .append(pregapStart).append(' ').append(pregapLength).append(" indexes");
      for (int index : indexes) {
        text.append(' ').append(index);
      }
      text.append(" pre-emphasis ").append(preEmphasis);
      return text.append(copyPermitted ? " dcp" : "").append(fourChannel ? " 4ch" : "")
          .toString();
    }
  }
}
