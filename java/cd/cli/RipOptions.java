package cd.cli;

import cd.AccurateRipResults;
import cd.CueSheet;
import cd.Disc;
import cd.Printable;
import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.util.Arrays;
import java.util.HashSet;
import java.util.LinkedHashSet;
import java.util.Set;

/** The options of the command line's --rip, --verify, --find-offset and --layout. */
final class RipOptions {
  static final String USAGE =
      "[--drive DRIVE] --rip FOLDER [--overwrite] [--tracks LIST] [--read-offset N]\n"
          + "                                [--secure] [--cache-size KB]"
          + " [--accuraterip-results FILE]\n"
          + "                                [--cue-style STYLE] [--image] [--hidden-track]\n"
          + "                                [--format wave|flac] [--offline]\n"
          + "       java -jar " + CommandLine.JAR + " [--drive DRIVE] --layout\n"
          + "       java -jar " + CommandLine.JAR + " [--drive DRIVE] --verify "
          + "[--accuraterip-results FILE]\n"
          + "                                [--tracks LIST] [--read-offset N] [--offline]\n"
          + "       java -jar " + CommandLine.JAR + " [--drive DRIVE] --find-offset"
          + " [--accuraterip-results FILE]\n"
          + "                                [--offline]";
  static final String HELP =
      String.join(
          "\n",
          "  --rip FOLDER   write each audio track of the disc to FOLDER as a WAVE file",
          "                 (track01.wav, ...), and print a line a track: its number, its",
          "                 AccurateRip v1 and v2 checksums, its CRC-32 and the sectors read",
          "                 again; progress goes to standard error on a terminal. Exit",
          "                 status 1 when a sector could not be read (or, with --secure, not",
          "                 confirmed), and standard error names the track and the sectors",
          "  --overwrite    replace the rip FOLDER holds: without it, a folder holding a rip",
          "                 (its log, sheet or audio files) is refused; with it, the earlier",
          "                 rip.log and disc.cue are removed first. A rip that stops (the disc",
          "                 taken out, an interrupt) leaves a rip.log that says so and names",
          "                 the tracks copied",
          "  --tracks LIST  only these tracks, such as 1,3-5",
          "  --read-offset N  the drive's read offset correction in samples, as AccurateRip's",
          "                 list of drives gives it (such as 6 or -1164)",
          "  --secure       read every sector at least twice, each time from the disc and not",
          "                 the drive's cache, and keep it once a value has come twice",
          "  --cache-size KB  what the drive's cache holds, where it says too little (1 to",
          "                 65536); by default the buffer size it reports, 1 to 8 MB",
          "  --accuraterip-results FILE  the AccurateRip database's answer for the disc",
          "                 (the file --accuraterip names), fetched beforehand; without it",
          "                 --rip, --verify and --find-offset fetch it (not --offline). Each",
          "                 line also gives how many rips in it match the track (its",
          "                 confidence)",
          "                 --rip also writes rip.log (its last line the SHA-256 of the rest,",
          "                 which catches accidental changes, not forgery)",
          "                 and, without --tracks, disc.cue (the CUE sheet, from the disc's",
          "                 Q sub-channel), its TITLE and PERFORMER lines from the disc's",
          "                 CD-Text or, where it has none, from a lookup as --lookup's (the",
          "                 log says where they came from; the files stay trackNN)",
          "  --cue-style STYLE  appended (the default: each pregap at the end of the file",
          "                 before), left-out (pregaps kept out of the files: PREGAP lines)",
          "  --image        the whole disc as one file, disc.wav, with its CUE sheet",
          "  --format FORMAT  wave (the default) or flac: FLAC files (track01.flac, ...,",
          "                 disc.flac) at the reference encoder's default level, tagged",
          "                 with the disc's texts, ISRCs, MusicBrainz disc ID and AccurateRip",
          "                 result",
          "  --hidden-track also copy audio before track 1 (a hidden track) as track00.wav",
          "  --layout       print the disc's pregaps, index points, pre-emphasis and hidden",
          "                 track, a line a track, and copy nothing",
          "  --verify       read the tracks as --rip does, writing nothing, and check each",
          "                 against --accuraterip-results: exit status 0 only when every",
          "                 track matches; standard error names those that do not, and the",
          "                 read offset at which they match where it is another. With",
          "                 --drive rip.cue, a rip already made (a CUE sheet and its files)",
          "  --find-offset  find the drive's read offset with --accuraterip-results: print it,",
          "                 the tracks that confirmed it and the confidence behind them, such",
          "                 as '+6 (tracks 1 2 3, confidence 12)'. Exit status 1 when none",
          "                 fits, or several (pressings that differ, audio that repeats): all",
          "                 are printed, best first, and why goes to standard error",
          "With --accuraterip-results, --rip and --verify exit with status 1 when a track",
          "matches no rip in the answer, naming it on standard error; an answer for another",
          "disc (none of its pressings has this disc's identifiers) is refused, status 2.");

  // A dBAR entry holds at most 13 + 99 * 9 bytes; answers list a few hundred pressings at most.
  private static final long MOST_ANSWER_BYTES = 1 << 20;
  private static final Set<String> OPTIONS = new HashSet<>(Arrays.asList("--rip", "--drive",
      "--tracks", "--read-offset", "--secure", "--accuraterip-results", "--verify", "--find-offset",
      "--cache-size", "--cue-style", "--image", "--hidden-track", "--layout", "--overwrite",
      "--format", "--offline"));
  private static final Set<String> FLAGS = new HashSet<>(Arrays.asList("--secure", "--verify",
      "--find-offset", "--image", "--hidden-track", "--layout", "--overwrite", "--offline"));


  String drive = "";
  File folder;
  // The tracks --tracks names, in its order, each once; null for all.
  Set<Integer> tracks;
  int readOffset;
  boolean secure;
  File resultsFile;
  boolean verify;
  boolean findOffset;
  Integer cacheKilobytes;
  CueSheet.Style cueStyle = CueSheet.Style.GAPS_APPENDED;
  boolean image;
  boolean hiddenTrack;
  boolean layoutOnly;
  boolean overwrite;
  CueSheet.FileType format = CueSheet.FileType.WAVE;
  // No request to any service: --offline, or TOCMATE_OFFLINE=1.
  boolean offline = offlineByEnvironment();

  private RipOptions() {}

  /** Whether TOCMATE_OFFLINE=1 forbids requests to the services. */
  static boolean offlineByEnvironment() {
    return "1".equals(System.getenv("TOCMATE_OFFLINE"));
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

  /** The options `args` give, checked against each other. */
  static RipOptions parse(String[] args) {
    RipOptions options = new RipOptions();
    options.take(args);
    return options;
  }

  private void take(String[] args) {
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
        overwrite |= name.equals("--overwrite");
        offline |= name.equals("--offline");
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
      } else if (name.equals("--format")) {
        format = format(value);
      } else {
        throw new IllegalArgumentException(name + " takes no value");
      }
    }
    if (verify && folder != null) {
      throw new IllegalArgumentException("--verify writes nothing: it takes no --rip FOLDER");
    }
    if (format != CueSheet.FileType.WAVE && (verify || findOffset || layoutOnly)) {
      throw new IllegalArgumentException("--format is for --rip: the others write no audio");
    }
    if ((verify || findOffset) && offline && resultsFile == null) {
      throw new IllegalArgumentException((verify ? "--verify" : "--find-offset")
          + " --offline needs --accuraterip-results FILE, the database's answer for the disc");
    }
    if (findOffset && folder != null) {
      throw new IllegalArgumentException("--find-offset takes no --rip");
    }
    if (layoutOnly && (folder != null || verify || findOffset)) {
      throw new IllegalArgumentException("--layout copies nothing: it takes no --rip FOLDER");
    }
    if (!layoutOnly && !verify && !findOffset && folder == null) {
      throw new IllegalArgumentException("--rip needs a FOLDER");
    }
    if (overwrite && folder == null) {
      throw new IllegalArgumentException("--overwrite goes with --rip FOLDER");
    }
    if (image && tracks != null) {
      throw new IllegalArgumentException("--image copies the whole disc: no --tracks with it");
    }
    if (image) {
      cueStyle = CueSheet.Style.SINGLE_FILE;
    }
    if (drive.isEmpty()) {
      drive = Disc.defaultDrive();
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

  private static CueSheet.FileType format(String value) {
    for (CueSheet.FileType type : CueSheet.FileType.values()) {
      if (type.name().equalsIgnoreCase(value)) {
        return type;
      }
    }
    throw new IllegalArgumentException(
        "--format is wave or flac, not '" + Printable.escape(value) + "'");
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
  AccurateRipResults readResults() throws IOException {
    String path = Printable.escape(resultsFile.getPath());
    if (!resultsFile.exists()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " does not exist");
    }
    if (!resultsFile.isFile()) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " is no file");
    }
    if (resultsFile.length() > MOST_ANSWER_BYTES) {
      throw new IllegalArgumentException("--accuraterip-results: " + path + " holds "
          + resultsFile.length() + " bytes, more than any AccurateRip answer");
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
}
