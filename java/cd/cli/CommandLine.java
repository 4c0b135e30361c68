package cd.cli;

import cd.CdDrive;
import cd.Disc;
import cd.DiscListener;
import cd.DiscReadException;
import cd.Printable;
import cd.Tocmate;
import cd.Version;
import cd.lookup.LookupException;
import java.io.Closeable;
import java.io.IOException;
import java.io.PrintStream;
import java.util.concurrent.CountDownLatch;

/**
 * The command line of the jar. Arguments are checked, and --help and --version answered,
 * before anything loads the native library, so that they work wherever Java runs.
 */
public final class CommandLine {
  // Exit statuses: a disc was read (or help given), none was, an argument was wrong.
  private static final int EXIT_OK = 0;
  private static final int EXIT_NOT_READ = 1;
  private static final int EXIT_WRONG_ARGUMENT = 2;

  static final String JAR = "tocmate-" + Version.NUMBER + ".jar";
  private static final String USAGE =
      String.join(
          "\n",
          "Usage: java -jar " + JAR
              + " [--drive DRIVE] [--all] [--musicbrainz | --accuraterip | --json]",
          "       java -jar " + JAR + " --drives",
          "       java -jar " + JAR + " [--drive DRIVE] --lookup",
          "       java -jar " + JAR + " [--drive DRIVE] --watch | --eject | --close",
          "       java -jar " + JAR + " " + RipOptions.USAGE,
          "       java -jar " + JAR + " --help | --version");

  private static final String HELP =
      String.join(
          "\n",
          USAGE,
          "",
          "Reads the table of contents of the audio CD in the drive. Without options it prints",
          "two lines:",
          "  1. the disc's CDDB identifier (eight hexadecimal digits), the track count, every",
          "     track's start in frames (1/75 s) and the disc's length in seconds: the",
          "     numbers of a CDDB query (\"cddb query\" followed by this line);",
          "  2. the track count and every track's length in whole seconds.",
          "When no disc can be read, both lines hold one space and the reason goes to standard",
          "error.",
          "",
          "  --drive DRIVE  read that drive, in the same form: on Linux a CD drive's device",
          "                 node (such as /dev/sr0) or a table-of-contents file, on Windows a",
          "                 drive letter (such as D:); on both a CUE sheet (rip.cue), read as",
          "                 the disc image it describes",
          "  --musicbrainz  print the disc's MusicBrainz disc ID and the address that looks it",
          "                 up or submits it, one a line (a disc without audio tracks has none)",
          "  --accuraterip  print what rippers check a rip against, one a line: the AccurateRip",
          "                 disc ID and address, the CUETools database's TOC ID and lookup",
          "                 address (a disc without audio tracks has no IDs)",
          "  --json         print every value of the disc as one JSON object: first and last",
          "                 track, lead-out, each track's number, start, length (in frames and",
          "                 whole seconds) and whether it is audio, the freedb identifier, the",
          "                 CDDB query, the MusicBrainz ID, TOC and address, the AccurateRip",
          "                 and CUETools values, the first track's pregap, and the drive",
          "  --all          read the disc's catalog number, ISRCs and CD-Text too (a drive",
          "                 command or two each, one a track for ISRCs): alone, print every",
          "                 value, one a line; with --json, the JSON carries them (a read of",
          "                 the extras stops sending commands after two minutes: what the",
          "                 drive did not give by then is none)",
          "  --lookup       print the releases that hold the disc, from MusicBrainz or, where",
          "                 it knows none, gnudb: 'release N' then the service and the ID,",
          "                 then a line each: title, artist, date, country, 'medium P of M',",
          "                 'track T title' and 'track T artist'. Exit status 1 when neither",
          "                 knows the disc",
          "  --offline      send no request to any service (also TOCMATE_OFFLINE=1): --rip",
          "                 then neither fetches the AccurateRip answer nor looks names up",
          "  --drives       print the machine's CD drives, one a line: name, vendor, model",
          "                 and revision, separated by tabs",
          "  --watch        watch the drive until interrupted, printing a line for each",
          "                 change, its fields separated by tabs: 'inserted', the drive, the",
          "                 disc's MusicBrainz ID ('-' without audio tracks) and its CDDB",
          "                 query; 'removed' and the drive; 'unreadable', the drive and why.",
          "                 A disc in the drive at the start is reported first",
          "  --eject        eject the drive's disc (open its tray)",
          "  --close        close the drive's tray",
          RipOptions.HELP,
          "  --version      print the version",
          "  --help         print this text",
          "With --drive, --musicbrainz, --accuraterip or --json, a disc that can not be read",
          "is reported on one line of standard error.",
          "",
          "TOCMATE_DRIVE names the drive to read when --drive does not (on Windows, only for",
          "--musicbrainz, --accuraterip and --json). Without either, the system's first CD",
          "drive is read: on Linux /dev/cdrom, else the first that --drives lists.",
          "A table-of-contents file holds the first track, the last track, the lead-out, then",
          "every track's start, in frames; '#' starts a comment. Lines starting with catalog,",
          "isrc, cdtext-block or cdtext give what --all reads (docs/drives-and-discs.md).",
          "",
          "Exit status: 0 when a disc was read, 1 when not or when the output could not be",
          "written, 2 for a wrong argument.");



  private enum Output {
    TEXTS,
    MUSICBRAINZ,
    ACCURATERIP,
    JSON,
    LOOKUP,
    DRIVES,
    WATCH,
    EJECT,
    CLOSE
  }

  private final PrintStream out;
  private final PrintStream err;
  private String drive;
  private Output output = Output.TEXTS;
  private boolean help;
  private boolean version;
  private boolean all;
  private boolean offline = RipOptions.offlineByEnvironment();

  private CommandLine(PrintStream out, PrintStream err) {
    this.out = out;
    this.err = err;
  }

  /**
   * Runs the command line and exits with its status.
   *
   * @param args the options; {@code --help} lists them
   */
  public static void main(String[] args) {
    CommandLine commandLine = new CommandLine(System.out, System.err);
    System.exit(commandLine.checkOutput(commandLine.run(args)));
  }

  /** The exit status, unless standard output could not be written (full, closed): then 1. */
  private int checkOutput(int status) {
    if (!out.checkError()) {
      return status;
    }
    err.println("tocmate: the output could not be written");
    return EXIT_NOT_READ;
  }

  private int run(String[] args) {
    if (RipOptions.wanted(args)) {
      return RipCommand.run(args, out, err);
    }
    try {
      parse(args);
      checkCombination();
    } catch (IllegalArgumentException e) {
      err.println("tocmate: " + e.getMessage());
      err.println(USAGE);
      return EXIT_WRONG_ARGUMENT;
    }
    if (help) {
      out.println(HELP);
      return EXIT_OK;
    }
    if (version) {
      out.println("tocmate " + Version.SHOWN);
      return EXIT_OK;
    }
    try {
      return read();
    } catch (DiscReadException | LookupException e) {
      // Escaped already: escaping it again would double its backslashes.
      err.println(e.getMessage());
    } catch (IOException e) {
      err.println(Printable.escape(e.toString()));
    } catch (LinkageError e) {
      // No native library for this platform, or one that does not load.
      err.println(Printable.escape(e.toString()));
    }
    return EXIT_NOT_READ;
  }

  private void parse(String[] args) {
    for (int i = 0; i < args.length; i++) {
      String arg = args[i];
      if (arg.equals("--help") || arg.equals("-h")) {
        help = true;
      } else if (arg.equals("--version")) {
        version = true;
      } else if (arg.equals("--json")) {
        choose(Output.JSON);
      } else if (arg.equals("--musicbrainz")) {
        choose(Output.MUSICBRAINZ);
      } else if (arg.equals("--accuraterip")) {
        choose(Output.ACCURATERIP);
      } else if (arg.equals("--lookup")) {
        choose(Output.LOOKUP);
      } else if (arg.equals("--offline")) {
        offline = true;
      } else if (arg.equals("--drives")) {
        choose(Output.DRIVES);
      } else if (arg.equals("--watch")) {
        choose(Output.WATCH);
      } else if (arg.equals("--eject")) {
        choose(Output.EJECT);
      } else if (arg.equals("--close")) {
        choose(Output.CLOSE);
      } else if (arg.equals("--all")) {
        all = true;
      } else if (arg.equals("--drive") && i + 1 < args.length) {
        setDrive(args[++i]);
      } else if (arg.startsWith("--drive=")) {
        setDrive(arg.substring("--drive=".length()));
      } else if (arg.equals("--drive")) {
        throw new IllegalArgumentException("--drive needs a drive");
      } else {
        throw new IllegalArgumentException("unknown argument '" + Printable.escape(arg) + "'");
      }
    }
  }

  private void choose(Output chosen) {
    if (output != Output.TEXTS && output != chosen) {
      throw new IllegalArgumentException("--musicbrainz, --accuraterip, --json, --lookup, "
          + "--drives, --watch, --eject and --close exclude each other");
    }
    output = chosen;
  }

  // What goes with what, once every argument is known.
  private void checkCombination() {
    if (output == Output.DRIVES && (drive != null || all)) {
      throw new IllegalArgumentException("--drives takes no other option");
    }
    if (all && output.ordinal() > Output.DRIVES.ordinal()) {
      throw new IllegalArgumentException("--all does not go with --watch, --eject or --close");
    }
    // Those print a few values of the table: the extras, read for nothing, are refused.
    if (all && (output == Output.MUSICBRAINZ || output == Output.ACCURATERIP
        || output == Output.LOOKUP)) {
      throw new IllegalArgumentException("--all goes alone or with --json");
    }
    if (offline && output == Output.LOOKUP) {
      throw new IllegalArgumentException("--lookup asks the services: not --offline");
    }
  }

  private void setDrive(String value) {
    if (drive != null) {
      throw new IllegalArgumentException("--drive given twice");
    }
    if (value.isEmpty()) {
      throw new IllegalArgumentException("--drive needs a drive");
    }
    drive = value;
  }

  private int read() throws IOException {
    if (output == Output.DRIVES) {
      // The library escapes what drives say of themselves.
      for (CdDrive cdDrive : CdDrive.list()) {
        out.println(cdDrive.getName() + '\t' + cdDrive.getVendor() + '\t' + cdDrive.getModel()
            + '\t' + cdDrive.getRevision());
      }
      return EXIT_OK;
    }
    if (drive == null && output == Output.TEXTS && !all) {
      return printBothTexts();
    }
    String chosen = drive == null ? Disc.defaultDrive() : drive;
    if (output == Output.WATCH) {
      return watch(chosen);
    }
    if (output == Output.EJECT || output == Output.CLOSE) {
      if (output == Output.EJECT) {
        CdDrive.eject(chosen);
      } else {
        CdDrive.closeTray(chosen);
      }
      return EXIT_OK;
    }
    // Without extras, neither the extras' class nor a switch's table of the outputs is loaded:
    // each class costs a short run a good part of a millisecond.
    Disc disc = all ? Disc.read(chosen, Disc.Extra.values()) : Disc.read(chosen);
    if (output == Output.MUSICBRAINZ) {
      if (disc.getMusicBrainzId() == null) {
        err.println("The disc holds no audio track: MusicBrainz identifies audio discs only.");
        return EXIT_NOT_READ;
      }
      out.println(disc.getMusicBrainzId());
      out.println(disc.getMusicBrainzSubmissionUrl());
    } else if (output == Output.ACCURATERIP) {
      if (disc.getAccurateRipId() == null) {
        err.println("The disc holds no audio track: there is no rip to check.");
        return EXIT_NOT_READ;
      }
      out.println(disc.getAccurateRipId());
      out.println(disc.getAccurateRipUrl());
      out.println(disc.getCtdbTocId());
      out.println(disc.getCtdbLookupUrl());
    } else if (output == Output.LOOKUP) {
      return LookupCommand.print(disc, out, err) ? EXIT_OK : EXIT_NOT_READ;
    } else if (output == Output.JSON) {
      out.println(DiscJson.of(disc, drive, all));
    } else {
      printLines(Tocmate.getBothTexts(disc));
      if (all) {
        ExtrasText.print(disc, out);
      }
    }
    return EXIT_OK;
  }

  /**
   * Prints a line for each change of the drive until the JVM is ended (an interrupt, a
   * signal), or until the output can no longer be written.
   */
  private int watch(String chosen) throws IOException {
    CountDownLatch outputFailed = new CountDownLatch(1);
    Closeable watch = CdDrive.watch(chosen, new DiscListener() {
      @Override
      public void discInserted(Disc disc) {
        String id = disc.getMusicBrainzId();
        print("inserted\t" + disc.getDrive() + '\t' + (id == null ? "-" : id) + '\t'
            + disc.getCddbQuery());
      }

      @Override
      public void discRemoved(String removed) {
        print("removed\t" + removed);
      }

      @Override
      public void discUnreadable(DiscReadException e) {
        print("unreadable\t" + e.getDrive() + '\t' + e.getMessage());
      }

      private void print(String line) {
        out.println(line);
        out.flush();
        if (out.checkError()) {
          outputFailed.countDown();
        }
      }
    });
    try {
      outputFailed.await();
    } catch (InterruptedException e) {
      Thread.currentThread().interrupt();
    }
    watch.close();
    return EXIT_NOT_READ;
  }

  /**
   * The two lines through the MCI device, as the two native methods give them, from one
   * reading of the drive. A failure has been reported on standard error by the library.
   */
  private int printBothTexts() {
    String missing = missingDrive();
    if (missing != null) {
      out.println(Tocmate.NO_DISC);
      out.println(Tocmate.NO_DISC);
      err.println(missing + "; --drive or TOCMATE_DRIVE can name a drive, a table-of-contents"
          + " file or a CUE sheet");
      return EXIT_NOT_READ;
    }
    String texts = Tocmate.getBothTexts();
    if (texts.equals(Tocmate.NO_DISC)) {
      out.println(Tocmate.NO_DISC);
      out.println(Tocmate.NO_DISC);
      return EXIT_NOT_READ;
    }
    printLines(texts);
    return EXIT_OK;
  }

  /**
   * Why no drive can be read, where the machine has none and TOCMATE_DRIVE names none: then
   * one line says so, rather than the MCI device's report of its failed open and close.
   * Null where a drive may be there.
   */
  private static String missingDrive() {
    if (!Disc.defaultDrive().isEmpty() || !CdDrive.list().isEmpty()) {
      return null;
    }
    try {
      Disc.read("");
      return null;
    } catch (DiscReadException e) {
      return e.getReason() == DiscReadException.Reason.NO_DRIVE ? e.getMessage() : null;
    }
  }

  /** Both texts, each a line of the platform's own. */
  private void printLines(String texts) {
    int lineEnd = texts.indexOf('\n');
    out.println(texts.substring(0, lineEnd));
    out.println(texts.substring(lineEnd + 1));
  }

}
