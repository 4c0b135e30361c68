package cd.cli;

import cd.AccurateRipResults;
import cd.CdDrive;
import cd.CueSheet;
import cd.Disc;
import cd.DiscAudio;
import cd.DiscLayout;
import cd.DiscReadException;
import cd.Printable;
import cd.RipLog;
import cd.TrackRip;
import cd.lookup.LookupException;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;
import java.util.Optional;

/**
 * The command line's --rip: each chosen track of the disc written to a WAVE file (or the whole
 * disc to one), with a line of checksums a track on standard output, the disc's CUE sheet and
 * the rip's log; --layout, the disc's pregaps and index points; --verify, the same lines of a
 * disc or an image checked against AccurateRip's answer, nothing written; and --find-offset,
 * the drive's read offset found with the AccurateRip database's answer. Its options are
 * RipOptions'.
 */
final class RipCommand {
  private static final int EXIT_OK = 0;
  private static final int EXIT_INCOMPLETE = 1;
  private static final int EXIT_WRONG_ARGUMENT = 2;
  // Where --verify's samples go: only their checksums are kept.
  private static final OutputStream DISCARDED = new OutputStream() {
    @Override
    public void write(int b) {}

    @Override
    public void write(byte[] b, int off, int len) {}
  };
  private final PrintStream out;
  private final PrintStream err;
  private final RipOptions options;

  private RipCommand(RipOptions options, PrintStream out, PrintStream err) {
    this.options = options;
    this.out = out;
    this.err = err;
  }

  /** The exit status. */
  static int run(String[] args, PrintStream out, PrintStream err) {
    RipCommand command;
    try {
      command = new RipCommand(RipOptions.parse(args), out, err);
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + e.getMessage());
      err.println("Usage: java -jar " + CommandLine.JAR + " " + RipOptions.USAGE);
      return EXIT_WRONG_ARGUMENT;
    }
    try {
      return command.options.findOffset ? command.findOffset() : command.rip();
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + Printable.escape(e.getMessage()));
      return EXIT_WRONG_ARGUMENT;
    } catch (LookupException e) {
      err.println(e.getMessage());  // escaped already
    } catch (IOException e) {
      err.println(Printable.escape(e.getMessage() != null ? e.getMessage() : e.toString()));
    } catch (LinkageError e) {
      err.println(Printable.escape(e.toString()));
    }
    return EXIT_INCOMPLETE;
  }

  private int rip() throws IOException {
    AccurateRipResults results =
        options.layoutOnly ? null : FetchedAnswer.of(options, err, options.verify);
    // The extras and names for the sheet, read before the drive is held for the audio.
    Disc withExtras = options.layoutOnly || options.verify ? null : discWithExtras();
    RipNames names = options.layoutOnly || options.verify ? null
        : RipNames.find(withExtras, options.offline, err);
    try (DiscAudio audio = DiscAudio.open(options.drive)) {
      DiscLayout layout = options.verify ? null : readLayout(audio);
      if (options.layoutOnly) {
        if (layout == null) {
          return EXIT_INCOMPLETE;
        }
        out.println(layout);
        return EXIT_OK;
      }
      if (!options.verify && !options.folder.isDirectory() && !options.folder.mkdirs()) {
        throw new IOException("the folder " + Printable.escape(options.folder.getPath())
            + " can not be made");
      }
      if (options.secure && audio.isImage()) {
        err.println("tocmate: an image's files read the same every time: each is read once");
      }
      audio.setReadOffset(options.readOffset);
      audio.setSecure(options.secure);
      if (options.cacheKilobytes != null) {
        audio.setCacheSize(options.cacheKilobytes);
      }
      if (System.console() != null) {
        audio.setProgress(this::showProgress);
      }
      if (options.verify) {
        return verifyTracks(audio, results);
      }
      Disc disc = withExtras != null ? withExtras : audio.getDisc();
      RipLog log = new RipLog(audio, driveInfo(), layout);
      log.setNamesSource(names.source);
      boolean complete = options.image ? ripImage(audio, layout, results, log)
          : ripTracks(audio, layout, results, log);
      // A sheet names every track's file: only a copy of them all has one.
      if (layout != null && options.tracks == null) {
        RipFiles.writeText(new File(options.folder, "disc.cue"),
            CueSheet.write(disc, layout, options.cueStyle, names.names));
      }
      RipFiles.writeText(new File(options.folder, "rip.log"), log.toString());
      return complete ? EXIT_OK : EXIT_INCOMPLETE;
    }
  }

  private int verifyTracks(DiscAudio audio, AccurateRipResults results) throws IOException {
    boolean complete = true;
    boolean matched = true;
    for (int number : chosenTracks(audio.getDisc())) {
      TrackRip rip = audio.readTrack(number, DISCARDED);
      clearProgress();
      matched &= report(rip, results);
      complete &= rip.isComplete();
    }
    if (!matched) {
      nameOtherOffset(results, audio);
    }
    return complete && matched ? EXIT_OK : EXIT_INCOMPLETE;
  }

  private Disc discWithExtras() {
    try {
      return Disc.read(options.drive, Disc.Extra.MCN, Disc.Extra.ISRC, Disc.Extra.CD_TEXT);
    } catch (DiscReadException e) {
      return null;  // the copy goes on; its failure shows when the drive is opened
    }
  }

  private DiscLayout readLayout(DiscAudio audio) {
    try {
      return audio.readLayout();
    } catch (DiscReadException e) {
      err.println("the disc's layout can not be read"
          + (options.layoutOnly ? "" : ", so no CUE sheet")
          + ": " + Printable.escape(e.getMessage()));
      return null;
    }
  }

  private CdDrive driveInfo() {
    for (CdDrive candidate : CdDrive.list()) {
      if (candidate.getName().equals(options.drive)) {
        return candidate;
      }
    }
    return null;
  }

  private boolean ripTracks(DiscAudio audio, DiscLayout layout, AccurateRipResults results,
      RipLog log) throws IOException {
    boolean complete = true;
    if (options.hiddenTrack && layout != null && layout.hasHiddenAudio()) {
      long bytes = (long) layout.getHiddenTrackLength() * DiscAudio.SECTOR_BYTES;
      TrackRip rip = ripInto(new File(options.folder, CueSheet.HIDDEN_TRACK_FILE), bytes, null,
          audio, 0, log);
      out.println("00 crc32 " + rip.getCrc32());
      complete &= rip.isComplete();
    }
    Disc disc = audio.getDisc();
    for (int number : chosenTracks(disc)) {
      long kept = audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES;
      if (options.cueStyle == CueSheet.Style.GAPS_LEFT_OUT && layout != null
          && number < disc.getLastTrack() && disc.getTrack(number + 1).isAudio()) {
        Disc.Track next = disc.getTrack(number + 1);
        kept -= (long) (next.getStart() - CueSheet.pregapStartOf(layout, next))
            * DiscAudio.SECTOR_BYTES;
      }
      TrackRip rip = ripInto(new File(options.folder, CueSheet.trackFile(number)), kept, results,
          audio, number, log);
      report(rip, results);
      complete &= rip.isComplete();
    }
    return complete;
  }

  /** The whole disc's audio in one file: what lies before the first track, then every track. */
  private boolean ripImage(DiscAudio audio, DiscLayout layout, AccurateRipResults results,
      RipLog log) throws IOException {
    List<Integer> numbers = chosenTracks(audio.getDisc());
    long hidden =
        layout == null ? 0 : (long) layout.getHiddenTrackLength() * DiscAudio.SECTOR_BYTES;
    long total = hidden;
    for (int number : numbers) {
      total += audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES;
    }
    long samples = total;
    File file = new File(options.folder, CueSheet.SINGLE_FILE_NAME);
    return RipFiles.writeWhole(file, wave -> {
      wave.write(RipFiles.waveHeader(samples));
      boolean complete = true;
      if (hidden > 0) {
        complete &= ripTo(wave, hidden, null, audio, 0, log, file.getName()).isComplete();
      }
      for (int number : numbers) {
        TrackRip rip = ripTo(wave, Long.MAX_VALUE, results, audio, number, log, file.getName());
        report(rip, results);
        complete &= rip.isComplete();
      }
      return complete;
    });
  }

  /** Prints the rip's line and its suspicious sectors; whether the answer, if any, has it. */
  private boolean report(TrackRip rip, AccurateRipResults results) {
    int number = rip.getTrackNumber();
    StringBuilder line = new StringBuilder()
        .append(number < 10 ? "0" : "").append(number)
        .append(" v1 ").append(rip.getAccurateRipV1())
        .append(" v2 ").append(rip.getAccurateRipV2())
        .append(" crc32 ").append(rip.getCrc32())
        .append(" reread ").append(rip.getRereadSectors());
    boolean matched = true;
    if (results != null) {
      int confidence = results.confidence(rip);
      line.append(" confidence ").append(confidence);
      matched = confidence > 0;
      if (options.verify && !matched) {
        err.println("track " + number + ": no rip in the AccurateRip answer has its checksums");
      }
    }
    out.println(line);
    if (rip.getUnreadableSectors().length > 0) {
      err.println("track " + number + ": sectors never read, their samples silence: "
          + rip.describeSectors(rip.getUnreadableSectors()));
    }
    if (rip.getUnconfirmedSectors().length > 0) {
      err.println("track " + number + ": sectors whose reads never agreed: "
          + rip.describeSectors(rip.getUnconfirmedSectors()));
    }
    if (rip.getC2Sectors().length > 0) {
      err.println("track " + number + ": sectors the drive's C2 pointers flagged, read"
          + " again: " + rip.describeSectors(rip.getC2Sectors()));
    }
    return matched;
  }

  /** A track (0: the hidden one) as a WAVE file holding the first `kept` bytes of it. */
  private TrackRip ripInto(File file, long kept, AccurateRipResults results, DiscAudio audio,
      int number, RipLog log) throws IOException {
    try {
      return RipFiles.writeWhole(file, wave -> {
        wave.write(RipFiles.waveHeader(kept));
        return ripTo(wave, kept, results, audio, number, log, file.getName());
      });
    } finally {
      clearProgress();
    }
  }

  /** Reads a track into `wave`, keeping its first `kept` bytes, and logs it. */
  private static TrackRip ripTo(OutputStream wave, long kept, AccurateRipResults results,
      DiscAudio audio, int number, RipLog log, String file) throws IOException {
    RipFiles.Metered metered = new RipFiles.Metered(wave, kept);
    long started = System.nanoTime();
    TrackRip rip = number == 0 ? audio.readHiddenTrack(metered) : audio.readTrack(number, metered);
    long millis = (System.nanoTime() - started) / 1_000_000;
    log.addTrack(rip, file, metered.peak(), millis,
        results == null || number == 0 ? null : results.confidence(rip));
    return rip;
  }

  private void clearProgress() {
    if (System.console() != null) {
      err.print("\r\033[K");
      err.flush();
    }
  }

  /** Where tracks did not match: the read offset at which the answer's pressings do, if another. */
  private void nameOtherOffset(AccurateRipResults results, DiscAudio audio) throws IOException {
    Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
    if (match.isPresent() && match.get().getOffset() != options.readOffset) {
      int offset = match.get().getOffset();
      err.println("matches at offset " + (offset > 0 ? "+" : "") + offset
          + ": the rip was made with a read offset " + Math.abs(offset - options.readOffset)
          + " samples off");
    }
  }

  private int findOffset() throws IOException {
    AccurateRipResults results = FetchedAnswer.of(options, err, true);
    try (DiscAudio audio = DiscAudio.open(options.drive)) {
      Optional<AccurateRipResults.OffsetMatch> match = results.findReadOffset(audio);
      if (match.isPresent()) {
        out.println(match.get());
        return EXIT_OK;
      }
      err.println("no read offset found: no two tracks of six seconds or more match a pressing"
          + " of this disc (" + audio.getDisc().getAccurateRipId() + ") in the answer");
      return EXIT_INCOMPLETE;
    }
  }

  private void showProgress(int track, int sectorsDone, int sectors) {
    err.print("\rtrack " + track + ": "
        + (sectors == 0 ? 100 : 100L * sectorsDone / sectors) + "%");
    err.flush();
  }

  /** The tracks --tracks names, each checked against the disc; else all its audio tracks. */
  private List<Integer> chosenTracks(Disc disc) {
    List<Integer> chosen = new ArrayList<>();
    if (options.tracks == null) {
      for (Disc.Track track : disc.getTracks()) {
        if (track.isAudio()) {
          chosen.add(track.getNumber());
        }
      }
      return chosen;
    }
    for (int number : options.tracks) {
      if (number < disc.getFirstTrack() || number > disc.getLastTrack()) {
        throw new IllegalArgumentException("the disc has no track " + number);
      }
      if (!disc.getTrack(number).isAudio()) {
        throw new IllegalArgumentException(
            "track " + number + " is a data track: it holds no audio");
      }
      chosen.add(number);
    }
    return chosen;
  }
}
