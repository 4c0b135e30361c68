package cd.lookup;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * The services' answers read as the lookups read them, a case a row: a CDDB query's matches
 * (one, several, close ones that are another disc, none, a list cut short, an error status,
 * no status, not UTF-8), an xmcd entry's values (a value over two lines, escapes), and
 * MusicBrainz's match by table of contents (the medium of the disc's track count; none where
 * two media have it). Exits 1 when a case fails.
 */
public final class LookupAnswers {
  private static int failures;

  private LookupAnswers() {}

  public static void main(String[] args) {
    // answer | the matches as genre/discid, or "!" and the start of the error
    String[][] queries = {
        {"200 rock 370fce16 Artist / Title\r\n", "rock/370fce16"},
        {"210 Found exact matches, list follows (until terminating `.')\r\n"
                + "rock 370fce16 Artist / Title\r\nmisc 370FCE16 Artist / Title\r\n.\r\n",
            "rock/370fce16 misc/370fce16"},
        {"211 Found inexact matches, list follows (until terminating `.')\r\n"
                + "rock 370fce17 Artist / Other\r\n.\r\n",
            ""},
        {"202 No match for disc ID 370fce16.\r\n", ""},
        {"210 Found exact matches\r\nrock 370fce16 Artist / Title\r\n", "!gnudb: a list cut short"},
        {"500 Command syntax error\r\n", "!gnudb: the query was answered 500 Command syntax error"},
        {"rock 370fce16\r\n", "!gnudb: not a CDDB answer: its first line is no status"},
        {"200 rock 370fce16 \u00ff\r\n", "!gnudb: not a CDDB answer: not UTF-8"},
        {"200 ../../etc 370fce16 x\r\n", "!gnudb: not a match of a query"},
    };
    for (String[] query : queries) {
      byte[] bytes = query[0].startsWith("200 rock 370fce16 \u00ff")
          ? query[0].getBytes(StandardCharsets.ISO_8859_1)
          : query[0].getBytes(StandardCharsets.UTF_8);
      String got;
      try {
        List<String> names = new ArrayList<>();
        for (CddbAnswer.Match match : CddbAnswer.matches(bytes)) {
          names.add(match.genre + "/" + match.discId);
        }
        got = String.join(" ", names);
      } catch (LookupException e) {
        got = "!" + e.getMessage();
      }
      check("query " + query[0].split("\r\n")[0], got, query[1]);
    }

    try {
      Map<String, String> entry = CddbAnswer.entry(("210 rock 370fce16 entry follows\r\n"
          + "# xmcd\r\nDTITLE=A / B\r\nTTITLE0=first half, \r\nTTITLE0=second half\r\n"
          + "TTITLE1=a\\nb\\\\c\r\n.\r\n")
                                                       .getBytes(StandardCharsets.UTF_8));
      check("a title over two lines", entry.get("TTITLE0"), "first half, second half");
      check("escapes", entry.get("TTITLE1"), "a b\\c");
    } catch (LookupException e) {
      check("an entry", e.getMessage(), "read");
    }

    // the media of a match by table of contents (no disc element) | the release's medium
    String[][] fuzzy = {
        {"3", "1 of 1"},
        {"2 3", "2 of 2"},
        {"3 3", "none"},
        {"2 4", "none"},
    };
    for (String[] media : fuzzy) {
      String got;
      try {
        List<Release> releases = MusicBrainzAnswer.parse(
            fuzzyAnswer(media[0].split(" ")), "xUp1F2NkfP8s8jaeFn_Av3jNEI4-", new int[] {1, 2, 3});
        got = releases.isEmpty()
            ? "none"
            : releases.get(0).getMediumPosition() + " of " + releases.get(0).getMediumCount();
      } catch (LookupException e) {
        got = e.getMessage();
      }
      check("by table, media of " + media[0] + " tracks", got, media[1]);
    }
    System.exit(failures == 0 ? 0 : 1);
  }

  private static byte[] fuzzyAnswer(String[] trackCounts) {
    StringBuilder xml = new StringBuilder("<?xml version=\"1.0\"?><metadata"
        + " xmlns=\"http://musicbrainz.org/ns/mmd-2.0#\"><release-list><release id=\"r\">"
        + "<title>T</title><medium-list count=\"" + trackCounts.length + "\">");
    for (int m = 0; m < trackCounts.length; m++) {
      xml.append("<medium><position>")
          .append(m + 1)
          .append("</position><disc-list count=\"0\"/><track-list count=\"")
          .append(trackCounts[m])
          .append("\">");
      for (int t = 1; t <= Integer.parseInt(trackCounts[m]); t++) {
        xml.append("<track><position>")
            .append(t)
            .append("</position><title>t")
            .append(t)
            .append("</title></track>");
      }
      xml.append("</track-list></medium>");
    }
    return xml.append("</medium-list></release></release-list></metadata>")
        .toString()
        .getBytes(StandardCharsets.UTF_8);
  }

  private static void check(String name, String got, String wanted) {
    boolean ok = wanted.startsWith("!") ? got.startsWith(wanted) : got.equals(wanted);
    System.out.println((ok ? "ok: " : "FAILED: ") + name + (ok ? "" : ": got [" + got + "]"));
    failures += ok ? 0 : 1;
  }
}
