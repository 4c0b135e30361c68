package cd.lookup;

import java.nio.charset.StandardCharsets;
import java.util.Arrays;

/**
 * The lookup's own cost: MusicBrainz's answer for a disc held by many releases of long media
 * (RELEASES releases of two media of 99 tracks, the disc the second), parsed as a lookup
 * parses it. Prints the answer's size, the median time of a parse, its rate, and the time a
 * release takes.
 */
public final class LookupParseCost {
  private static final String DISC_ID = "2Ww_Qykc2DCH28_G8JWfJjAVVHs-";

  private LookupParseCost() {}

  public static void main(String[] args) throws Exception {
    int releases = args.length > 0 ? Integer.parseInt(args[0]) : 25;
    int runs = args.length > 1 ? Integer.parseInt(args[1]) : 31;
    byte[] xml = answer(releases).getBytes(StandardCharsets.UTF_8);
    int[] tracks = new int[99];
    for (int i = 0; i < tracks.length; i++) {
      tracks[i] = i + 1;
    }
    for (int i = 0; i < 10; i++) { // warm: the parser's classes loaded and compiled
      MusicBrainzAnswer.parse(xml, DISC_ID, tracks);
    }
    long[] nanos = new long[runs];
    for (int i = 0; i < runs; i++) {
      long start = System.nanoTime();
      if (MusicBrainzAnswer.parse(xml, DISC_ID, tracks).size() != releases) {
        throw new IllegalStateException("a release was lost");
      }
      nanos[i] = System.nanoTime() - start;
    }
    Arrays.sort(nanos);
    double ms = nanos[runs / 2] / 1e6;
    System.out.printf("  %d releases of 2 media of 99 tracks, %.2f MB: %.2f ms a parse"
            + " (median of %d), %.1f MB/s, %.3f ms a release%n",
        releases, xml.length / 1048576.0, ms, runs, xml.length / 1048576.0 / (ms / 1000),
        ms / releases);
  }

  private static String answer(int releases) {
    StringBuilder xml = new StringBuilder("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        + "<metadata xmlns=\"http://musicbrainz.org/ns/mmd-2.0#\"><disc id=\"" + DISC_ID
        + "\"><sectors>300000</sectors><release-list count=\"" + releases + "\">");
    for (int r = 0; r < releases; r++) {
      xml.append("<release id=\"r")
          .append(r)
          .append("\"><title>Chansons d’été &amp; d’hiver ")
          .append(r)
          .append("</title>")
          .append(credit("Zoë", "Zoë Martin"))
          .append("<date>2003-06-21</date><country>FR</country><medium-list count=\"2\">");
      for (int m = 1; m <= 2; m++) {
        xml.append("<medium><position>")
            .append(m)
            .append("</position><format>CD</format>")
            .append("<disc-list count=\"1\"><disc id=\"")
            .append(m == 2 ? DISC_ID : "other")
            .append("\"><sectors>300000</sectors></disc></disc-list>")
            .append("<track-list count=\"99\" offset=\"0\">");
        for (int t = 1; t <= 99; t++) {
          xml.append("<track id=\"t")
              .append(t)
              .append("\"><position>")
              .append(t)
              .append("</position><number>")
              .append(t)
              .append("</number><title>Café &amp; ")
              .append(t)
              .append(" (en public)</title><length>180000</length>")
              .append(credit("Ana Ñúñez", "Ana María Ñúñez"))
              .append("<recording id=\"x")
              .append(t)
              .append("\"><title>Café &amp; ")
              .append(t)
              .append("</title><length>179000</length>")
              .append(credit(null, "Zoë Martin"))
              .append("</recording></track>");
        }
        xml.append("</track-list></medium>");
      }
      xml.append("</medium-list></release>");
    }
    return xml.append("</release-list></disc></metadata>").toString();
  }

  private static String credit(String credited, String name) {
    return "<artist-credit><name-credit joinphrase=\" &amp; \">"
        + (credited == null ? "" : "<name>" + credited + "</name>") + "<artist id=\"a\"><name>"
        + name + "</name><sort-name>" + name
        + "</sort-name></artist></name-credit><name-credit><artist id=\"b\"><name>Les Frères"
        + " Crème</name><sort-name>Frères Crème, Les</sort-name></artist></name-credit>"
        + "</artist-credit>";
  }
}
