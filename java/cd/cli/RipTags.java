package cd.cli;

import cd.AccurateRipResults;
import cd.CdText;
import cd.Disc;
import cd.DiscNames;
import cd.FlacOutput;
import cd.TrackRip;

/**
 * The tags of a rip's FLAC files, as Vorbis comments: the disc's and each track's names and
 * numbers, its identifiers and, where an AccurateRip answer was given, the track's result. The
 * names come from here alone: the disc's CD-Text (its first block), else those looked up.
 */
final class RipTags {
  private final Disc disc;
  private final CdText text;
  private final DiscNames names;
  private final AccurateRipResults results;

  /**
   * The tags of `disc`, read with its extras where they could be; `names` (where it has no
   * CD-Text) and `results` may be null.
   */
  RipTags(Disc disc, DiscNames names, AccurateRipResults results) {
    this.disc = disc;
    this.text = disc.getCdText();
    this.names = names;
    this.results = results;
  }

  private String album() {
    return text != null ? text.getAlbum().getTitle() : names != null ? names.getTitle() : null;
  }

  private String albumArtist() {
    return text != null ? text.getAlbum().getPerformer()
        : names != null ? names.getArtist() : null;
  }

  private String title(int number) {
    return text != null ? text.getTrack(number).getTitle()
        : names != null ? names.getTrackTitle(number) : null;
  }

  private String artist(int number) {
    return text != null ? text.getTrack(number).getPerformer()
        : names != null ? names.getTrackArtist(number) : null;
  }

  /** Tags the file of the whole disc, or of the audio before track 1. */
  void addDisc(FlacOutput flac) {
    add(flac, "ALBUM", album());
    add(flac, "ALBUMARTIST", albumArtist());
    add(flac, "TRACKTOTAL", Integer.toString(lastAudioTrack()));
    add(flac, "MUSICBRAINZ_DISCID", disc.getMusicBrainzId());
  }

  /** Tags a track's file (0: the audio before track 1) once `rip` has read it. */
  void addTrack(FlacOutput flac, TrackRip rip) {
    int number = rip.getTrackNumber();
    if (number == 0) {
      addDisc(flac);
      return;
    }
    add(flac, "TRACKNUMBER", Integer.toString(number));
    add(flac, "TITLE", title(number));
    add(flac, "ARTIST", artist(number));
    addDisc(flac);
    add(flac, "ISRC", disc.getTrack(number).getIsrc());
    if (results != null) {
      int confidence = rip.getConfirmingConfidence();
      add(flac, "ACCURATERIPRESULT",
          (confidence > 0 ? "accurate, confidence " + confidence
                          : "not accurate: no rip in the AccurateRip answer has its checksums")
              + " (v1 " + rip.getAccurateRipV1() + ", v2 " + rip.getAccurateRipV2() + ")");
    }
  }

  private int lastAudioTrack() {
    int last = 0;
    for (Disc.Track track : disc.getTracks()) {
      if (track.isAudio()) {
        last = track.getNumber();
      }
    }
    return last;
  }

  private static void add(FlacOutput flac, String name, String value) {
    if (value != null && !value.isEmpty()) {
      flac.addTag(name, value);
    }
  }
}
