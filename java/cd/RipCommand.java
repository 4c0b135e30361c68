package cd;

import java.io.BufferedOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;

/**
 * The command line's --rip: each chosen track of the disc written to a WAVE file, with a line
 * of checksums a track on standard output.
 */
final class RipCommand {
  static final String USAGE =
      "[--drive DRIVE] --rip FOLDER [--tracks LIST] [--read-offset N]\n"
          + "                                [--secure] [--accuraterip-results FILE]\n"
          + "                                [--cue-style STYLE] [--image] [--hidden-track]\n"
          + "       java -jar tocmate.jar [--drive DRIVE] --layout";
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
          "  --secure       read every sector at least twice and compare",
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
          "                 track, a line a track, and copy nothing");

  private static final int EXIT_OK = 0;
  private static final int EXIT_INCOMPLETE = 1;
  private static final int EXIT_WRONG_ARGUMENT = 2;
  private static final int WAVE_HEADER_BYTES = 44;

  private final PrintStream out;
  private final PrintStream err;
  private String drive = "";
  private File folder;
  private String tracks;
  private int readOffset;
  private boolean secure;
  private File resultsFile;
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
      if (arg.equals("--rip") || arg.startsWith("--rip=") || arg.equals("--layout")) {
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
      return command.rip();
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
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      int equals = arg.indexOf('=');
      String name = arg.startsWith("--") && equals > 0 ? arg.substring(0, equals) : arg;
      if (equals < 0 && (name.equals("--secure") || name.equals("--image")
          || name.equals("--hidden-track") || name.equals("--layout"))) {
        secure |= name.equals("--secure");
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
        tracks = value;
      } else if (name.equals("--read-offset")) {
        readOffset = number(value, "--read-offset");
      } else if (name.equals("--accuraterip-results")) {
        resultsFile = new File(value);
      } else if (name.equals("--cue-style") && value.equals("appended")) {
        cueStyle = CueSheet.Style.GAPS_APPENDED;
      } else if (name.equals("--cue-style") && value.equals("left-out")) {
        cueStyle = CueSheet.Style.GAPS_LEFT_OUT;
      } else {
        throw new IllegalArgumentException(
            "unknown argument '" + Printable.escape(arg) + "' with --rip");
      }
    }
    if (drive.isEmpty()) {
      String configured = System.getenv("TOCMATE_DRIVE");
      drive = configured == null ? "" : configured;
    }
    if (layoutOnly == (folder != null)) {
      throw new IllegalArgumentException("--layout copies nothing: give it or --rip FOLDER");
    }
    if (image && tracks != null) {
      throw new IllegalArgumentException("--image copies the whole disc: no --tracks with it");
    }
    if (image) {
      cueStyle = CueSheet.Style.SINGLE_FILE;
    }
  }

  private static int number(String value, String option) {
    try {
      return Integer.parseInt(value.startsWith("+") ? value.substring(1) : value);
    } catch (NumberFormatException e) {
      throw new IllegalArgumentException(
          option + " takes a whole number, not '" + Printable.escape(value) + "'");
    }
  }

  private int rip() throws IOException {
    AccurateRipResults results =
        resultsFile == null ? null : AccurateRipResults.parse(Files.readAllBytes(resultsFile.toPath()));
    // The extras for the sheet, read before the drive is held for the audio.
    Disc withExtras = layoutOnly ? null : discWithExtras();
    try (DiscAudio audio = DiscAudio.open(drive)) {
      DiscLayout layout = readLayout(audio);
      if (layoutOnly) {
        if (layout == null) {
          return EXIT_INCOMPLETE;
        }
        out.println(layout);
        return EXIT_OK;
      }
      if (!folder.isDirectory() && !folder.mkdirs()) {
        throw new IOException("the folder " + Printable.escape(folder.getPath())
            + " can not be made");
      }
      audio.setReadOffset(readOffset);
      audio.setSecure(secure);
      if (System.console() != null) {
        audio.setProgress(this::showProgress);
      }
      Disc disc = withExtras != null ? withExtras : audio.getDisc();
      RipLog log = new RipLog(audio, driveInfo(), layout);
      boolean complete = image ? ripImage(audio, layout, results, log)
          : ripTracks(audio, layout, results, log);
      // A sheet names every track's file: only a copy of them all has one.
      if (layout != null && tracks == null) {
        write(new File(folder, "disc.cue"), CueSheet.write(disc, layout, cueStyle));
      }
      write(new File(folder, "rip.log"), log.toString());
      return complete ? EXIT_OK : EXIT_INCOMPLETE;
    }
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
    boolean complete = true;
    File file = new File(folder, CueSheet.SINGLE_FILE_NAME);
    try (OutputStream wave = new BufferedOutputStream(new FileOutputStream(file), 1 << 16)) {
      wave.write(waveHeader(total));
      if (hidden > 0) {
        complete &= ripTo(wave, hidden, null, audio, 0, log, file.getName()).isComplete();
      }
      for (int number : numbers) {
        TrackRip rip = ripTo(wave, Long.MAX_VALUE, results, audio, number, log, file.getName());
        report(rip, results);
        complete &= rip.isComplete();
      }
    }
    return complete;
  }

  private void report(TrackRip rip, AccurateRipResults results) {
    int number = rip.getTrackNumber();
    StringBuilder line = new StringBuilder()
        .append(number < 10 ? "0" : "").append(number)
        .append(" v1 ").append(rip.getAccurateRipV1())
        .append(" v2 ").append(rip.getAccurateRipV2())
        .append(" crc32 ").append(rip.getCrc32())
        .append(" reread ").append(rip.getRereadSectors());
    if (results != null) {
      line.append(" confidence ").append(results.confidence(rip));
    }
    out.println(line);
    if (rip.getUnreadableSectors().length > 0) {
      err.println("track " + number + ": sectors never read, their samples silence: "
          + TrackRip.list(rip.getUnreadableSectors()));
    }
    if (rip.getUnconfirmedSectors().length > 0) {
      err.println("track " + number + ": sectors whose reads never agreed: "
          + TrackRip.list(rip.getUnconfirmedSectors()));
    }
  }

  /** A track (0: the hidden one) as a WAVE file holding the first `kept` bytes of it. */
  private TrackRip ripInto(File file, long kept, AccurateRipResults results, DiscAudio audio,
      int number, RipLog log) throws IOException {
    try (OutputStream wave = new BufferedOutputStream(new FileOutputStream(file), 1 << 16)) {
      wave.write(waveHeader(kept));
      return ripTo(wave, kept, results, audio, number, log, file.getName());
    } finally {
      if (System.console() != null) {
        err.print("\r\033[K");
        err.flush();
      }
    }
  }

  /** Reads a track into `wave`, keeping its first `kept` bytes, and logs it. */
  private static TrackRip ripTo(OutputStream wave, long kept, AccurateRipResults results,
      DiscAudio audio, int number, RipLog log, String file) throws IOException {
    Metered metered = new Metered(wave, kept);
    long started = System.nanoTime();
    TrackRip rip = number == 0 ? audio.readHiddenTrack(metered) : audio.readTrack(number, metered);
    long millis = (System.nanoTime() - started) / 1_000_000;
    log.addTrack(rip, file, metered.peak, millis,
        results == null || number == 0 ? null : results.confidence(rip));
    return rip;
  }

  /** Passes on the first `kept` bytes and measures the peak of all. */
  private static final class Metered extends OutputStream {
    private final OutputStream out;
    private long room;
    int peak;

    Metered(OutputStream out, long kept) {
      this.out = out;
      this.room = kept;
    }

    @Override
    public void write(int b) {
      throw new UnsupportedOperationException("samples come in blocks");
    }

    @Override
    public void write(byte[] bytes, int offset, int length) throws IOException {
      peak = RipLog.peakOf(bytes, offset, length, peak);
      int passed = (int) Math.min(room, length);
      out.write(bytes, offset, passed);
      room -= passed;
    }
  }

  private static void write(File file, String text) throws IOException {
    Files.write(file.toPath(), text.getBytes(StandardCharsets.UTF_8));
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
    for (String part : tracks.split(",", -1)) {
      int dash = part.indexOf('-', 1);
      int from = number(dash < 0 ? part : part.substring(0, dash), "--tracks");
      int to = dash < 0 ? from : number(part.substring(dash + 1), "--tracks");
      for (int number = from; number <= to; number++) {
        if (number < disc.getFirstTrack() || number > disc.getLastTrack()) {
          throw new IllegalArgumentException("the disc has no track " + number);
        }
        if (!disc.getTrack(number).isAudio()) {
          throw new IllegalArgumentException(
              "track " + number + " is a data track: it holds no audio");
        }
        chosen.add(number);
      }
    }
    return chosen;
  }

  /** The header of a WAVE file of CD audio whose samples take `bytes`. */
  private static byte[] waveHeader(long bytes) {
    byte[] header = new byte[WAVE_HEADER_BYTES];
    putAscii(header, 0, "RIFF");
    putLittleEndian(header, 4, bytes + WAVE_HEADER_BYTES - 8, 4);
    putAscii(header, 8, "WAVEfmt ");
    putLittleEndian(header, 16, 16, 4);  // the format's size
    putLittleEndian(header, 20, 1, 2);  // PCM
    putLittleEndian(header, 22, 2, 2);  // channels
    putLittleEndian(header, 24, 44100, 4);
    putLittleEndian(header, 28, 44100 * DiscAudio.SAMPLE_BYTES, 4);  // bytes a second
    putLittleEndian(header, 32, DiscAudio.SAMPLE_BYTES, 2);  // bytes a sample
    putLittleEndian(header, 34, 16, 2);  // bits a value
    putAscii(header, 36, "data");
    putLittleEndian(header, 40, bytes, 4);
    return header;
  }

  private static void putAscii(byte[] bytes, int at, String text) {
    for (int i = 0; i < text.length(); i++) {
      bytes[at + i] = (byte) text.charAt(i);
    }
  }

  private static void putLittleEndian(byte[] bytes, int at, long value, int size) {
    for (int i = 0; i < size; i++) {
      bytes[at + i] = (byte) (value >>> (8 * i));
    }
  }
}
