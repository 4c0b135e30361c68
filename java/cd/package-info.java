/**
 * Tells a Java program which audio CD is in the computer's drive: the identifiers that CDDB
 * servers (gnudb), MusicBrainz, AccurateRip and the CUETools database know a disc by, its
 * catalog number, its tracks' ISRCs and its CD-Text, on Linux (x86-64, aarch64) and Windows
 * (x86-64), from Java 8 on. The jar carries the native library of every platform and loads
 * its own platform's on first use; nothing else is needed on the class path.
 *
 * <h2>Identify a disc and look it up</h2>
 *
 * <p>{@link cd.Disc#read()} reads the table of contents of the system's first CD drive once;
 * {@link cd.Disc#read(String)} reads the drive named (on Linux a device node such as
 * {@code /dev/sr1} or a table-of-contents file, on Windows a drive letter such as
 * {@code E:}, on both a CUE sheet, read as the disc image it describes). Every identifier is computed from that one reading:
 *
 * <pre>{@code
 * Disc disc = Disc.read();
 * String query = disc.getCddbQuery();       // for gnudb: "cddb query 370fce16 22 150 ... 4048"
 * String id = disc.getMusicBrainzId();      // "xUp1F2NkfP8s8jaeFn_Av3jNEI4-"
 * String lookup = "https://musicbrainz.org/ws/2/discid/" + id
 *     + "?toc=" + disc.getMusicBrainzToc().replace(' ', '+');
 * String checksums = disc.getAccurateRipUrl();  // where AccurateRip keeps its rip checksums
 * for (Disc.Track track : disc.getTracks()) {
 *   System.out.println(track.getNumber() + ": " + track.getLengthSeconds() + " s"
 *       + (track.isAudio() ? "" : " (data)"));
 * }
 * }</pre>
 *
 * <p>A disc that can not be read throws a {@link cd.DiscReadException} (an
 * {@link java.io.IOException}) whose {@link cd.DiscReadException#getReason() reason} tells a
 * program why (no drive, no access, no disc, not ready, a read error, a bad table of contents)
 * and whose message says what went wrong where. A disc without audio tracks has no
 * MusicBrainz, AccurateRip or CUETools identifier: those give {@code null}.
 *
 * <h2>Read the catalog number, ISRCs and CD-Text</h2>
 *
 * <p>{@link cd.Disc#read(String, Disc.Extra...)} also reads what the disc carries besides its
 * table, each a drive command or a few. A value the disc does not carry, the drive does not
 * give or that fails its checks is {@code null}, never a wrong value. {@link cd.CdDrive#list()}
 * names the machine's CD drives.
 *
 * <pre>{@code
 * Disc disc = Disc.read("/dev/sr0", Disc.Extra.MCN, Disc.Extra.ISRC, Disc.Extra.CD_TEXT);
 * String upc = disc.getMediaCatalogNumber();    // "0724383527720"
 * String isrc = disc.getTrack(1).getIsrc();     // "GBAYE9200070"
 * CdText text = disc.getCdText();               // null without CD-Text
 * if (text != null) {
 *   System.out.println(text.getAlbum().getTitle() + " by " + text.getAlbum().getPerformer());
 * }
 * for (CdDrive drive : CdDrive.list()) {        // "/dev/sr0" or "D:", then "HL-DT-ST" ...
 *   System.out.println(drive.getName() + " " + drive.getVendor() + " " + drive.getModel());
 * }
 * }</pre>
 *
 * <h2>Copy the audio, and check the copy</h2>
 *
 * <p>{@link cd.DiscAudio} reads a disc's tracks bit-exact, corrected by the drive's read
 * offset, once or (secure) until two reads agree, holding the drive until closed; each
 * {@link cd.TrackRip} carries the track's AccurateRip checksums, which
 * {@link cd.AccurateRipResults} holds against the database's answer:
 *
 * <pre>{@code
 * try (DiscAudio audio = DiscAudio.open("/dev/sr0")) {
 *   audio.setReadOffset(6);
 *   TrackRip rip = audio.readTrack(1, pcmStream);   // 16-bit little-endian stereo, 44.1 kHz
 *   int confidence = AccurateRipResults.parse(answerOfTheUrl).confidence(rip);
 * }
 * }</pre>
 *
 * <h2>Watch a drive</h2>
 *
 * <p>{@link cd.CdDrive#watch} reports each disc put in once, when its table of contents can be
 * read, and each removal once, from a thread of its own, polling the drive about once a
 * second with commands that do not spin a disc up; {@link cd.CdDrive#eject} and
 * {@link cd.CdDrive#closeTray} move the tray:
 *
 * <pre>{@code
 * Closeable watch = CdDrive.watch("/dev/sr0", new DiscListener() {
 *   public void discInserted(Disc disc) { System.out.println(disc.getMusicBrainzId()); }
 *   public void discRemoved(String drive) { System.out.println("removed"); }
 * });
 * CdDrive.eject("/dev/sr0");  // reported as a removal; watch.close() ends the watch
 * }</pre>
 *
 * <h2>The two texts</h2>
 *
 * <p>{@link cd.Tocmate} gives the disc as the two lines of text it was first made for; each
 * is {@link cd.Tocmate#NO_DISC} (one space) when no disc could be read, the reason written to
 * standard error:
 *
 * <pre>{@code
 * String numbers = Tocmate.getCDDBNumbers();  // "11028803 3 150 18000 33765 650"
 * String lengths = Tocmate.getTrackLengths(); // "3 238 210 200"
 * }</pre>
 *
 * <h2>Loading</h2>
 *
 * <p>The library is loaded on the first use of {@code Tocmate}, {@code Disc} or
 * {@code CdDrive}: from the file or folder that the system property
 * {@code tocmate.library.path} names, else from {@code java.library.path}, else from a copy of
 * the jar's own kept for the user. Java 22 and later want native access granted: the jar's
 * manifest grants it for {@code java -jar}; a program with the jar on its class path passes
 * {@code --enable-native-access=ALL-UNNAMED} to {@code java}.
 *
 * <p>The jar is also a program: {@code java -jar tocmate-<version>.jar --help} tells what it
 * prints. The documentation in the project's {@code docs/} folder holds the rest: the Java API
 * guide, the command line, loading, drives and discs, each platform.
 */
package cd;
