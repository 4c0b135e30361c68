package cd.cli;

import cd.AccurateRipResults;
import cd.CueSheet;
import cd.Disc;
import cd.DiscAudio;
import cd.DiscLayout;
import cd.RipLog;
import cd.TrackRip;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.function.Predicate;
import java.util.function.Supplier;

/**
 * Writes a rip's audio files (WAVE or FLAC) into its folder, a track a file or the whole disc in one, and
 * adds each track to the log once its file is whole, writing the log again: the log never
 * names a file that is not there.
 */
final class RipWriter {
  private final DiscAudio audio;
  private final AccurateRipResults results;
  private final RipFolder folder;
  private final RipLog log;
  // Prints a track's line; whether the answer, if any, has the track.
  private final Predicate<TrackRip> report;
  private final Runnable clearProgress;
  private final AudioFileWriter files;
  private final RipTags tags;
  private boolean complete = true;
  private boolean matched = true;

  /** What a track's reading gives the log, kept until its file is whole. */
  private static final class Copied {
    final TrackRip rip;
    final String file;
    final int peak;
    final long millis;
    final Integer confidence;

    Copied(TrackRip rip, String file, int peak, long millis, Integer confidence) {
      this.rip = rip;
      this.file = file;
      this.peak = peak;
      this.millis = millis;
      this.confidence = confidence;
    }
  }

  RipWriter(DiscAudio audio, AccurateRipResults results, RipFolder folder, RipLog log,
      Predicate<TrackRip> report, Runnable clearProgress, AudioFileWriter files, RipTags tags) {
    this.audio = audio;
    this.results = results;
    this.folder = folder;
    this.log = log;
    this.report = report;
    this.clearProgress = clearProgress;
    this.files = files;
    this.tags = tags;
  }

  /** Whether every sector of every track was read (and, in secure mode, confirmed). */
  boolean isComplete() {
    return complete;
  }

  /** Whether the answer, where one was given, has every track. */
  boolean isMatched() {
    return matched;
  }

  /** Each track as a file of its own; the hidden track first where `hiddenTrack`. */
  void tracks(DiscLayout layout, List<Integer> numbers, CueSheet.Style style,
      boolean hiddenTrack) throws IOException {
    if (hiddenTrack && layout != null && layout.hasHiddenAudio()) {
      long bytes = (long) layout.getHiddenTrackLength() * DiscAudio.SECTOR_BYTES;
      ripInto(CueSheet.HIDDEN_TRACK_FILE, bytes, 0);
    }
    Disc disc = audio.getDisc();
    for (int number : numbers) {
      long kept = audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES;
      if (style == CueSheet.Style.GAPS_LEFT_OUT && layout != null
          && number < disc.getLastTrack() && disc.getTrack(number + 1).isAudio()) {
        Disc.Track next = disc.getTrack(number + 1);
        kept -= (long) (next.getStart() - CueSheet.pregapStartOf(layout, next))
            * DiscAudio.SECTOR_BYTES;
      }
      ripInto(CueSheet.trackFile(number), kept, number);
    }
  }

  /** The whole disc's audio in one file: what lies before the first track, then every track. */
  void image(DiscLayout layout, List<Integer> numbers) throws IOException {
    long hidden =
        layout == null ? 0 : (long) layout.getHiddenTrackLength() * DiscAudio.SECTOR_BYTES;
    long total = hidden;
    for (int number : numbers) {
      total += audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES;
    }
    long samples = total;
    File file = folder.file(files.name(CueSheet.SINGLE_FILE_NAME));
    // One file for every track: a track's read can not start again, so none is read once first.
    List<Copied> copied = files.write(file, samples, output -> {
      OutputStream stream = output.restart();
      List<Copied> tracks = new ArrayList<>();
      if (hidden > 0) {
        tracks.add(ripTo(stream, hidden, 0, file.getName()));
      }
      for (int number : numbers) {
        tracks.add(ripTo(stream, Long.MAX_VALUE, number, file.getName()));
        clearProgress.run();
        matched &= report.test(tracks.get(tracks.size() - 1).rip);
      }
      return tracks;
    }, (tracks, flac) -> tags.addDisc(flac));
    logged(copied);
  }

  /** A track (0: the hidden one) as an audio file holding the first `kept` bytes of it. */
  private void ripInto(String waveName, long kept, int number) throws IOException {
    String name = files.name(waveName);
    Copied copied;
    try {
      copied = files.write(folder.file(name), kept, output -> ripTo(output, kept, number, name),
          (track, flac) -> tags.addTrack(flac, track.rip));
    } finally {
      clearProgress.run();
    }
    matched &= report.test(copied.rip);
    logged(Collections.singletonList(copied));
  }

  /** Reads a track into `samples`, which can not start again, keeping its first `kept` bytes. */
  private Copied ripTo(OutputStream samples, long kept, int number, String file)
      throws IOException {
    RipFiles.Metered metered = new RipFiles.Metered(samples, kept);
    return timed(file, number, () -> metered,
        () -> number == 0 ? audio.readHiddenTrack(metered) : audio.readTrack(number, metered));
  }

  /** Reads a track into `output`, keeping the first `kept` bytes of the read that is kept. */
  private Copied ripTo(DiscAudio.TrackOutput output, long kept, int number, String file)
      throws IOException {
    RipFiles.Metered[] metered = new RipFiles.Metered[1];
    DiscAudio.TrackOutput measured =
        () -> metered[0] = new RipFiles.Metered(output.restart(), kept);
    return timed(file, number, () -> metered[0], () -> number == 0
        ? audio.readHiddenTrack(measured.restart()) : audio.readTrack(number, measured));
  }

  /** A read of a track. */
  private interface Read {
    TrackRip read() throws IOException;
  }

  /** What `read` gives the log: its time, and the peak of the samples `kept` measured. */
  private Copied timed(String file, int number, Supplier<RipFiles.Metered> kept, Read read)
      throws IOException {
    long started = System.nanoTime();
    TrackRip rip = read.read();
    long millis = (System.nanoTime() - started) / 1_000_000;
    return new Copied(rip, file, kept.get().peak(), millis,
        results == null || number == 0 ? null : rip.getConfirmingConfidence());
  }

  /** Adds tracks whose file is whole to the log, and writes it. */
  private void logged(List<Copied> copied) throws IOException {
    for (Copied track : copied) {
      log.addTrack(track.rip, track.file, track.peak, track.millis, track.confidence);
      complete &= track.rip.isComplete();
    }
    folder.writeLog(log);
  }
}
