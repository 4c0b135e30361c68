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
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;

/**
 * The command line's --rip: each chosen track of the disc written to a WAVE or FLAC file (or
 * the whole disc to one), with a line of checksums a track on standard output, the disc's CUE
 * sheet and the rip's log; --layout, the disc's pregaps and index points; --verify, the same
 * lines of a disc or an image checked against AccurateRip's answer, nothing written; and
 * --find-offset, the drive's read offset found with the AccurateRip database's answer. Its
 * options are RipOptions'.
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
      // Its messages escape what they quote from outside: escaping again doubles backslashes.
      err.println("tocmate: " + e.getMessage());
      return EXIT_WRONG_ARGUMENT;
    } catch (DiscReadException e) {
      err.println(e.getMessage());  // escaped by the library
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
    // Before anything is read, fetched or made, so that a wrong argument costs nothing.
    if (options.folder != null) {
      RipFolder.checkFree(options.folder, options.overwrite);
    }
    AccurateRipResults results =
        options.layoutOnly ? null : FetchedAnswer.of(options, err, options.verify);
    // The extras and names for the sheet, read before the drive is held for the audio.
    Disc withExtras = options.layoutOnly || options.verify ? null : discWithExtras();
    RipNames names = options.layoutOnly || options.verify ? null
        : RipNames.find(withExtras, options.offline, err);
    try (DiscAudio audio = DiscAudio.open(options.drive)) {
      List<Integer> tracks = chosenTracks(audio.getDisc());
      AnswerChecks.checkIsFor(results, audio.getDisc());
      audio.setReadOffset(options.readOffset);
      audio.setSecure(options.secure);
      audio.setAccurateRipResults(results);
      if (options.cacheKilobytes != null) {
        audio.setCacheSize(options.cacheKilobytes);
      }
      DiscLayout layout = options.verify ? null : readLayout(audio);
      if (options.layoutOnly) {
        if (layout == null) {
          return EXIT_INCOMPLETE;
        }
        out.println(layout);
        return EXIT_OK;
      }
      if (options.secure && audio.isImage()) {
        err.println("tocmate: an image's files read the same every time: each is read once");
      }
      if (System.console() != null) {
        audio.setProgress(this::showProgress);
      }
      if (options.verify) {
        return verifyTracks(audio, tracks, results);
      }
      return write(audio, tracks, layout, results,
          withExtras != null ? withExtras : audio.getDisc(), names);
    }
  }

  /**
   * The rip into its folder: the log written first and after each file, marked finished at the
   * end, or stopped by the failure that ended it.
   */
  private int write(DiscAudio audio, List<Integer> tracks, DiscLayout layout,
      AccurateRipResults results, Disc disc, RipNames names) throws IOException {
    RipFolder folder = RipFolder.make(options.folder);
    RipLog log = new RipLog(audio, driveInfo(), layout);
    log.setNamesSource(names.source);
    folder.writeLog(log);
    RipWriter writer = new RipWriter(audio, results, folder, log, rip -> report(rip, results),
        this::clearProgress, new AudioFileWriter(options.format),
        new RipTags(disc, names.names, results));
    try {
      if (options.image) {
        writer.image(layout, tracks);
      } else {
        writer.tracks(layout, tracks, options.cueStyle, options.hiddenTrack);
      }
    } catch (IOException e) {
      log.stop(e);
      try {
        folder.writeLog(log);
      } catch (IOException logFailure) {
        e.addSuppressed(logFailure);
      }
      throw e;
    }
    // A sheet names every track's file: only a copy of them all has one.
    if (layout != null && options.tracks == null) {
      folder.writeSheet(
          CueSheet.write(disc, layout, options.cueStyle, options.format, options.hiddenTrack,
              names.names));
    }
    log.finish();
    folder.writeLog(log);
    if (!writer.isMatched()) {
      AnswerChecks.nameOtherOffset(results, audio, options.readOffset, err);
    }
    return writer.isComplete() && writer.isMatched() ? EXIT_OK : EXIT_INCOMPLETE;
  }

  private int verifyTracks(DiscAudio audio, List<Integer> tracks, AccurateRipResults results)
      throws IOException {
    boolean complete = true;
    boolean matched = true;
    for (int number : tracks) {
      TrackRip rip = audio.readTrack(number, () -> DISCARDED);
      clearProgress();
      matched &= report(rip, results);
      complete &= rip.isComplete();
    }
    if (!matched) {
      AnswerChecks.nameOtherOffset(results, audio, options.readOffset, err);
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

  /**
   * Prints the rip's line and its suspicious sectors; whether the answer, if any, has it. The
   * hidden track's line is its CRC-32 alone: the database has no such track.
   */
  private boolean report(TrackRip rip, AccurateRipResults results) {
    int number = rip.getTrackNumber();
    if (number == 0) {
      out.println("00 crc32 " + rip.getCrc32());
      return true;
    }
    StringBuilder line = new StringBuilder()
        .append(number < 10 ? "0" : "").append(number)
        .append(" v1 ").append(rip.getAccurateRipV1())
        .append(" v2 ").append(rip.getAccurateRipV2())
        .append(" crc32 ").append(rip.getCrc32())
        .append(" reread ").append(rip.getRereadSectors());
    boolean matched = true;
    if (results != null) {
      int confidence = rip.getConfirmingConfidence();
      line.append(" confidence ").append(confidence);
      matched = confidence > 0;
      if (!matched) {
        err.println("track " + number + ": no rip in the AccurateRip answer has its checksums");
      }
    }
    out.println(line);
    if (rip.getUnreadableSectors().length > 0) {
      err.println("track " + number + ": sectors never read, their samples silence: "
          + rip.describeSectors(rip.getUnreadableSectors()));
    }
    if (rip.isCacheUnproven()) {
      err.println("track " + number + ": the copy could not be made secure: the disc's audio"
          + " is too short to push the drive's cache out");
    }
    if (rip.getUnconfirmedSectors().length > 0) {
      err.println("track " + number + ": sectors not confirmed: "
          + rip.describeSectors(rip.getUnconfirmedSectors()));
    }
    if (rip.getC2Sectors().length > 0) {
      err.println("track " + number + ": sectors the drive's C2 pointers flagged, read"
          + " again: " + rip.describeSectors(rip.getC2Sectors()));
    }
    return matched;
  }

  private void clearProgress() {
    if (System.console() != null) {
      err.print("\r\033[K");
      err.flush();
    }
  }

  private int findOffset() throws IOException {
    AccurateRipResults results = FetchedAnswer.of(options, err, true);
    try (DiscAudio audio = DiscAudio.open(options.drive)) {
      AnswerChecks.checkIsFor(results, audio.getDisc());
      return AnswerChecks.printOffset(results, audio, out, err) ? EXIT_OK : EXIT_INCOMPLETE;
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
