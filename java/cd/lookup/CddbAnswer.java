package cd.lookup;

import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * Reads a CDDB server's answers (protocol level 6, UTF-8): a query's matches and an entry in
 * xmcd form. An answer is a status line of three digits, and for a list or an entry, lines
 * up to one holding a lone {@code .}.
 */
final class CddbAnswer {
  private static final String SERVICE = "gnudb";

  /** An exact match of a query: the entry's genre (its category) and disc ID. */
  static final class Match {
    final String genre;
    final String discId;

    Match(String genre, String discId) {
      this.genre = genre;
      this.discId = discId;
    }
  }

  private CddbAnswer() {}

  /**
   * The exact matches of a {@code cddb query}: one (200), several (210), none (202). Close
   * matches (211) are other tables of contents, not this disc: none.
   */
  static List<Match> matches(byte[] answer) throws LookupException {
    List<String> lines = lines(answer);
    int status = status(lines.get(0));
    List<Match> matches = new ArrayList<>();
    if (status == 200) {
      matches.add(match(lines.get(0).substring(4)));
    } else if (status == 210) {
      for (String line : listed(lines)) {
        matches.add(match(line));
      }
    } else if (status != 202 && status != 211) {
      throw new LookupException(SERVICE, "the query was answered " + shown(lines.get(0)));
    }
    return matches;
  }

  /**
   * The entry of a {@code cddb read} (210) as its keys and values, a value spread over
   * several lines of a key joined; lines of comment left out.
   */
  static Map<String, String> entry(byte[] answer) throws LookupException {
    List<String> lines = lines(answer);
    if (status(lines.get(0)) != 210) {
      throw new LookupException(SERVICE, "the entry was answered " + shown(lines.get(0)));
    }
    Map<String, String> entry = new LinkedHashMap<>();
    for (String line : listed(lines)) {
      if (line.startsWith("#") || line.isEmpty()) {
        continue;
      }
      int equals = line.indexOf('=');
      if (equals <= 0) {
        throw new LookupException(SERVICE, "not an xmcd entry: a line without '=': " + shown(line));
      }
      entry.merge(line.substring(0, equals), unescaped(line.substring(equals + 1)), String::concat);
    }
    return entry;
  }

  /** A value with xmcd's escapes: \n and \t as spaces (a title is one line), \\ as \. */
  private static String unescaped(String value) {
    StringBuilder plain = new StringBuilder(value.length());
    for (int i = 0; i < value.length(); i++) {
      char c = value.charAt(i);
      if (c == '\\' && i + 1 < value.length()) {
        char next = value.charAt(++i);
        plain.append(next == 'n' || next == 't' ? ' ' : next);
      } else {
        plain.append(c);
      }
    }
    return plain.toString();
  }

  private static Match match(String line) throws LookupException {
    String[] words = line.trim().split(" ", 3);
    if (words.length < 2 || !words[1].matches("[0-9a-fA-F]{8}") || !words[0].matches("[a-z]+")) {
      throw new LookupException(SERVICE, "not a match of a query: " + shown(line));
    }
    return new Match(words[0], words[1].toLowerCase(java.util.Locale.ROOT));
  }

  /** The lines after the status line, up to the lone '.', which must be there. */
  private static List<String> listed(List<String> lines) throws LookupException {
    int end = lines.indexOf(".");
    if (end < 0) {
      throw new LookupException(SERVICE, "a list cut short: no line '.' ends it");
    }
    return lines.subList(1, end);
  }

  /** A line of the answer as a message shows it: its start. */
  private static String shown(String line) {
    return line.length() <= 80 ? line : line.substring(0, 80) + "...";
  }

  private static int status(String line) throws LookupException {
    if (!line.matches("[1-5][0-9][0-9]( .*)?")) {
      throw new LookupException(SERVICE, "not a CDDB answer: its first line is no status");
    }
    return Integer.parseInt(line.substring(0, 3));
  }

  private static List<String> lines(byte[] answer) throws LookupException {
    String text;
    try {
      text = StandardCharsets.UTF_8.newDecoder()
                 .onMalformedInput(CodingErrorAction.REPORT)
                 .onUnmappableCharacter(CodingErrorAction.REPORT)
                 .decode(ByteBuffer.wrap(answer))
                 .toString();
    } catch (CharacterCodingException e) {
      throw new LookupException(SERVICE, "not a CDDB answer: not UTF-8");
    }
    List<String> lines = new ArrayList<>();
    for (String line : text.split("\r?\n", -1)) {
      lines.add(line);
    }
    return lines;
  }
}
