package cd;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.LinkedHashSet;
import java.util.List;
import java.util.Optional;
import java.util.Set;

/**
 * The command line's --rip: each chosen track of the disc written to a WAVE file (or the whole
 * disc to one), with a line of checksums a track on standard output, the disc's CUE sheet and
 * the rip's log; --layout, the disc's pregaps and index points; --verify, the same lines of a disc or an image
 * checked against AccurateRip's answer, nothing written; and --find-offset, the drive's read
 * offset found with the AccurateRip database's answer.
 */
final class RipCommand {
  static final String USAGE =
      "[--drive DRIVE] --rip FOLDER [--tracks LIST] [--read-offset N]\n"
          + "                                [--secure] [--cache-size KB]"
          + " [--accuraterip-results FILE]\n"
          + "                                [--cue-style STYLE] [--image] [--hidden-track]\n"
          + "       java -jar tocmate-" + Version.NUMBER + ".jar [--drive DRIVE] --layout\n"
          + "       java -jar tocmate-" + Version.NUMBER + ".jar [--drive DRIVE] --verify "
          + "--accuraterip-results FILE\n"
          + "                                [--tracks LIST] [--read-offset N]\n"
          + "       java -jar tocmate-" + Version.NUMBER + ".jar [--drive DRIVE] --find-offset"
          + " --accuraterip-results FILE";
  static final String HELP =
      String.join(
          "\n",
          "  --rip FOLDER   write each audio track of the disc to FOLDER as a WAVE file",
          "                 (track01.wav, ...), and print a line a track: its number, its",
          "                 AccurateRip v1 and v2 checksums, its CRC-32 and the sectors read",
          "                 again; progress goes to standard error on a terminal. Exit",
          "                 status 1 when a sector could not be read (or, with --secure, not",
          "                 confirmed), and standard error names the track and the sectors",
          "  --tracks LIST  only these tracks, such as 1,3-5",
          "  --read-offset N  the drive's read offset correction in samples, as AccurateRip's",
          "                 list of drives gives it (such as 6 or -1164)",
          "  --secure       read every sector at least twice, each time from the disc and not",
          "                 the drive's cache, and keep it once a value has come twice",
          "  --cache-size KB  what the drive's cache holds, where it says too little (1 to",
          "                 65536); by default the buffer size it reports, 1 to 8 MB",
          "  --accuraterip-results FILE  the AccurateRip database's answer for the disc",
          "                 (the file --accuraterip names), fetched beforehand: each line",
          "                 also gives how many rips in it match the track (its confidence)",
          "                 --rip also writes rip.log (its last line the SHA-256 of the rest)",
          "                 and, without --tracks, disc.cue (the CUE sheet, from the disc's",
          "                 Q sub-channel)",
          "  --cue-style STYLE  appended (the default: each pregap at the end of the file",
          "                 before), left-out (pregaps kept out of the files: PREGAP lines)",
          "  --image        the whole disc as one file, disc.wav, with its CUE sheet",
          "  --hidden-track also copy audio before track 1 (a hidden track) as track00.wav",
          "  --layout       print the disc's pregaps, index points, pre-emphasis and hidden",
          "                 track, a line a track, and copy nothing",
          "  --verify       read the tracks as --rip does, writing nothing, and check each",
          "                 against --accuraterip-results: exit status 0 only when every",
          "                 track matches; standard error names those that do not, and the",
          "                 read offset at which they match where it is another. With",
          "                 --drive rip.cue, a rip already made (a CUE sheet and its files)",
          "  --find-offset  find the drive's read offset with --accuraterip-results: print it",
          "                 and the tracks that confirmed it, such as '+6 (tracks 1 2 3)';",
          "                 exit status 1, and why on standard error, when none is found");

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
  private static final Set<String> OPTIONS = new HashSet<>(Arrays.asList("--rip", "--drive",
      "--tracks", "--read-offset", "--secure", "--accuraterip-results", "--verify", "--find-offset",
      "--cache-size", "--cue-style", "--image", "--hidden-track", "--layout"));
  private static final Set<String> FLAGS = new HashSet<>(Arrays.asList("--secure", "--verify",
      "--find-offset", "--image", "--hidden-track", "--layout"));

  private final PrintStream out;
  private final PrintStream err;
  private String drive = "";
  private File folder;
  // The tracks --tracks names, in its order, each once; null for all.
  private Set<Integer> tracks;
  private int readOffset;
  private boolean secure;
  private File resultsFile;
  private boolean verify;
  private boolean findOffset;
  private Integer cacheKilobytes;
  private CueSheet.Style cueStyle = CueSheet.Style.GAPS_APPENDED;
  private boolean image;
  private boolean hiddenTrack;
  private boolean layoutOnly;

  private RipCommand(PrintStream out, PrintStream err) {
    this.out = out;
    this.err = err;
  }

  /** Whether the arguments ask for a rip. */
  static boolean wanted(String[] args) {
    for (String arg : args) {
      if (arg.equals("--rip") || arg.startsWith("--rip=") || arg.equals("--verify")
          || arg.equals("--find-offset") || arg.equals("--layout")) {
        return true;
      }
    }
    return false;
  }

  /** The exit status. */
  static int run(String[] args, PrintStream out, PrintStream err) {
    RipCommand command = new RipCommand(out, err);
    try {
      command.parse(args);
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + e.getMessage());
      err.println("Usage: java -jar tocmate-" + Version.NUMBER + ".jar " + USAGE);
      return EXIT_WRONG_ARGUMENT;
    }
    try {
      return command.findOffset ? command.findOffset() : command.rip();
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + Printable.escape(e.getMessage()));
      return EXIT_WRONG_ARGUMENT;
    } catch (IOException e) {
      err.println(Printable.escape(e.getMessage() != null ? e.getMessage() : e.toString()));
    } catch (LinkageError e) {
      err.println(Printable.escape(e.toString()));
    }
    return EXIT_INCOMPLETE;
  }

  private void parse(String[] args) {
    Set<String> given = new HashSet<>();
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      int equals = arg.indexOf('=');
      String name = arg.startsWith("--") && equals > 0 ? arg.substring(0, equals) : arg;
      if (!OPTIONS.contains(name)) {
        throw new IllegalArgumentException(
            "unknown argument '" + Printable.escape(arg) + "' with --rip");
      }
      if (!given.add(name)) {
        throw new IllegalArgumentException(name + " is given twice");
      }
      if (FLAGS.contains(name) && equals < 0) {
        secure |= name.equals("--secure");
        verify |= name.equals("--verify");
        findOffset |= name.equals("--find-offset");
        image |= name.equals("--image");
        hiddenTrack |= name.equals("--hidden-track");
        layoutOnly |= name.equals("--layout");
        continue;
      }
      String value;
      if (equals > 0 && arg.startsWith("--")) {
        value = arg.substring(equals + 1);
      } else if (i + 1 < args.length) {
        value = args[++i];
      } else {
        throw new IllegalArgumentException(name + " needs a value");
      }
      if (name.equals("--rip")) {
        folder = new File(value);
      } else if (name.equals("--drive")) {
        drive = value;
      } else if (name.equals("--tracks")) {
        tracks = trackList(value);
      } else if (name.equals("--read-offset")) {
        readOffset = number(value, "--read-offset");
      } else if (name.equals("--cache-size")) {
        cacheKilobytes = number(value, "--cache-size");
      } else if (name.equals("--accuraterip-results")) {
        resultsFile = new File(value);
      } else if (name.equals("--cue-style")) {
        cueStyle = cueStyle(value);
      } else {
        throw new IllegalArgumentException(name + " takes no value");
      }
    }
    if (verify && folder != null) {
      throw new IllegalArgumentException("--verify writes nothing: it takes no --rip FOLDER");
    }
    if (verify && resultsFile == null) {
      throw new IllegalArgumentException(
          "--verify needs --accuraterip-results FILE, the database's answer for the disc");
    }
    if (findOffset && (resultsFile == null || folder != null)) {
      throw new IllegalArgumentException(
          "--find-offset takes --accuraterip-results FILE, and no --rip");
    }
    if (layoutOnly && (folder != null || verify || findOffset)) {
      throw new IllegalArgumentException("--layout copies nothing: it takes no --rip FOLDER");
    }
    if (!layoutOnly && !verify && !findOffset && folder == null) {
      throw new IllegalArgumentException("--rip needs a FOLDER");
    }
    if (image && tracks != null) {
      throw new IllegalArgumentException("--image copies the whole disc: no --tracks with it");
    }
    if (image) {
      cueStyle = CueSheet.Style.SINGLE_FILE;
    }
    if (drive.isEmpty()) {
      drive = Disc.chosenDrive();
    }
  }

  private static CueSheet.Style cueStyle(String value) {
    if (value.equals("appended")) {
      return CueSheet.Style.GAPS_APPENDED;
    }
    if (value.equals("left-out")) {
      return CueSheet.Style.GAPS_LEFT_OUT;
    }
    throw new IllegalArgumentException(
        "--cue-style is appended or left-out, not '" + Printable.escape(value) + "'");
  }

  private static int number(String value, String option) {
    try {
      return Integer.parseInt(value.startsWith("+") ? value.substring(1) : value);
    } catch (NumberFormatException e) {
      throw new IllegalArgumentException(
          option + " takes a whole number, not '" + Printable.escape(value) + "'");
    }
  }

  /** "1,3-5" as the tracks it names, each once; a range whose end is before its start is none. */
  private static Set<Integer> trackList(String list) {
    Set<Integer> chosen = new LinkedHashSet<>();
    for (String part : list.split(",", -1)) {
      int dash = part.indexOf('-', 1);
      int from = number(dash < 0 ? part : part.substring(0, dash), "--tracks");
      int to = dash < 0 ? from : number(part.substring(dash + 1), "--tracks");
      if (to < from || from < 1 || to > 99) {
        throw new IllegalArgumentException("--tracks: " + Printable.escape(part)
            + (to < from ? " ends before it starts" : " is not within a CD's tracks, 1 to 99"));
      }
      for (int number = from; number <= to; number++) {
        chosen.add(number);
      }
    }
    return chosen;
  }

  /** The database's answer from --accuraterip-results; a file that is none is a wrong argument. */
  private AccurateRipResults readResults() throws IOException {
    String path = Printable.escape(resultsFile.getPath());
    if (!resultsFile.exists()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " does not exist");
    }
    if (!resultsFile.isFile()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " is no file");
    }
    byte[] answer;
    try {
      answer = Files.readAllBytes(resultsFile.toPath());
    } catch (IOException e) {
      throw new IOException("--accuraterip-results: " + path + " can not be read: " + e, e);
    }
    try {
      return AccurateRipResults.parse(answer);
    } catch (IllegalArgumentException e) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + ": " + e.getMessage());
    }
  }

  private int rip() throws IOException {
    AccurateRipResults results = resultsFile == null ? null : readResults();
    // The extras for the sheet, read before the drive is held for the audio.
    Disc withExtras = layoutOnly || verify ? null : discWithExtras();
    try (DiscAudio audio = DiscAudio.open(drive)) {
      DiscLayout layout = verify ? null : readLayout(audio);
      if (layoutOnly) {
        if (layout == null) {
          return EXIT_INCOMPLETE;
        }
        out.println(layout);
        return EXIT_OK;
      }
      if (!verify && !folder.isDirectory() && !folder.mkdirs()) {
        throw new IOException("the folder " + Printable.escape(folder.getPath())
            + " can not be made");
      }
      if (secure && audio.isImage()) {
        err.println("tocmate: an image's files read the same every time: each is read once");
      }
      audio.setReadOffset(readOffset);
      audio.setSecure(secure);
      if (cacheKilobytes != null) {
        audio.setCacheSize(cacheKilobytes);
      }
      if (System.console() != null) {
        audio.setProgress(this::showProgress);
      }
      if (verify) {
        return verifyTracks(audio, results);
      }
      Disc disc = withExtras != null ? withExtras : audio.getDisc();
      RipLog log = new RipLog(audio, driveInfo(), layout);
      boolean complete = image ? ripImage(audio, layout, results, log)
          : ripTracks(audio, layout, results, log);
      // A sheet names every track's file: only a copy of them all has one.
      if (layout != null && tracks == null) {
        RipFiles.writeText(new File(folder, "disc.cue"), CueSheet.write(disc, layout, cueStyle));
      }
      RipFiles.writeText(new File(folder, "rip.log"), log.toString());
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
      return Disc.read(drive, Disc.Extra.MCN, Disc.Extra.ISRC, Disc.Extra.CD_TEXT);
    } catch (DiscReadException e) {
      return null;  // the copy goes on; its failure shows when the drive is opened
    }
  }

  private DiscLayout readLayout(DiscAudio audio) {
    try {
      return audio.readLayout();
    } catch (DiscReadException e) {
      err.println("the disc's layout can not be read" + (layoutOnly ? "" : ", so no CUE sheet")
          + ": " + Printable.escape(e.getMessage()));
      return null;
    }
  }

  private CdDrive driveInfo() {
    for (CdDrive candidate : CdDrive.list()) {
      if (candidate.getName().equals(drive)) {
        return candidate;
      }
    }
    return null;
  }

  private boolean ripTracks(DiscAudio audio, DiscLayout layout, AccurateRipResults results,
      RipLog log) throws IOException {
    boolean complete = true;
    if (hiddenTrack && layout != null && layout.hasHiddenAudio()) {
      long bytes = (long) layout.getHiddenTrackLength() * DiscAudio.SECTOR_BYTES;
      TrackRip rip = ripInto(new File(folder, CueSheet.HIDDEN_TRACK_FILE), bytes, null, audio, 0,
          log);
      out.println("00 crc32 " + rip.getCrc32());
      complete &= rip.isComplete();
    }
    Disc disc = audio.getDisc();
    for (int number : chosenTracks(disc)) {
      long kept = audio.getTrackSamples(number) * DiscAudio.SAMPLE_BYTES;
      if (cueStyle == CueSheet.Style.GAPS_LEFT_OUT && layout != null
          && number < disc.getLastTrack() && disc.getTrack(number + 1).isAudio()) {
        Disc.Track next = disc.getTrack(number + 1);
        kept -= (long) (next.getStart() - CueSheet.pregapStartOf(layout, next))
            * DiscAudio.SECTOR_BYTES;
      }
      TrackRip rip = ripInto(new File(folder, CueSheet.trackFile(number)), kept, results, audio,
          number, log);
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
    File file = new File(folder, CueSheet.SINGLE_FILE_NAME);
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
      if (verify && !matched) {
        err.println("track " + number + ": no rip in the AccurateRip answer has its checksums");
      }
    }
    out.println(line);
    if (rip.getUnreadableSectors().length > 0) {
      err.println("track " + number + ": sectors never read, their samples silence: "
          + rip.list(rip.getUnreadableSectors()));
    }
    if (rip.getUnconfirmedSectors().length > 0) {
      err.println("track " + number + ": sectors whose reads never agreed: "
          + rip.list(rip.getUnconfirmedSectors()));
    }
    if (rip.getC2Sectors().length > 0) {
      err.println("track " + number + ": sectors the drive's C2 pointers flagged, read"
          + " again: " + rip.list(rip.getC2Sectors()));
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
    if (match.isPresent() && match.get().getOffset() != readOffset) {
      int offset = match.get().getOffset();
      err.println("matches at offset " + (offset > 0 ? "+" : "") + offset
          + ": the rip was made with a read offset " + Math.abs(offset - readOffset)
          + " samples off");
    }
  }

  private int findOffset() throws IOException {
    AccurateRipResults results = readResults();
    try (DiscAudio audio = DiscAudio.open(drive)) {
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
    err.print("\rtrack " + track + ": " + (sectors == 0 ? 100 : 100L * sectorsDone / sectors) + "%");
    err.flush();
  }

  /** The tracks --tracks names, each checked against the disc; else all its audio tracks. */
  private List<Integer> chosenTracks(Disc disc) {
    List<Integer> chosen = new ArrayList<>();
    if (tracks == null) {
      for (Disc.Track track : disc.getTracks()) {
        if (track.isAudio()) {
          chosen.add(track.getNumber());
        }
      }
      return chosen;
    }
    for (int number : tracks) {
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
