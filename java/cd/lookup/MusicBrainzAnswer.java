package cd.lookup;

import java.io.ByteArrayInputStream;
import java.io.IOException;
import java.util.ArrayDeque;
import java.util.ArrayList;
import java.util.Deque;
import java.util.List;
import javax.xml.XMLConstants;
import javax.xml.parsers.ParserConfigurationException;
import javax.xml.parsers.SAXParser;
import javax.xml.parsers.SAXParserFactory;
import org.xml.sax.Attributes;
import org.xml.sax.SAXException;
import org.xml.sax.SAXParseException;
import org.xml.sax.helpers.DefaultHandler;

/**
 * Reads the releases out of MusicBrainz's XML answer to a disc ID lookup, as a stream of
 * elements (a large answer is never held as a tree). Of each release, the medium whose disc
 * list holds the disc ID is taken. Where the ID is not known and the service matched the
 * table of contents instead (a release list with no disc), a release's medium is the one of
 * as many tracks as the disc has audio tracks, if it is the only one. The parser takes no
 * DTD and no external entity: an answer that has either is malformed.
 */
final class MusicBrainzAnswer extends DefaultHandler {
  private static final String SERVICE = "MusicBrainz";

  private final String discId;
  private final int[] audioTracks;
  private final List<Release> releases = new ArrayList<>();
  private final Deque<String> path = new ArrayDeque<>();
  private final StringBuilder text = new StringBuilder();

  // The release being read.
  private String releaseId;
  private String title;
  private String artist;
  private String date;
  private String country;
  private int mediumCount;
  private List<Release.Track> chosenTracks;
  private int chosenMedium;
  private int mediaOfTheTrackCount;
  // The medium being read.
  private int mediumPosition;
  private boolean holdsDisc;
  private List<Release.Track> tracks;
  private int trackCount;
  // The track being read.
  private String trackTitle;
  private String recordingTitle;
  private String trackArtist;
  private String recordingArtist;
  // The artist credit being read.
  private StringBuilder credit;
  private String joinPhrase;
  private String creditedName;
  private String artistName;

  private MusicBrainzAnswer(String discId, int[] audioTracks) {
    this.discId = discId;
    this.audioTracks = audioTracks;
  }

  /**
   * The releases of an answer.
   *
   * @param xml the answer's bytes
   * @param discId the disc ID looked up
   * @param audioTracks the disc's audio tracks' numbers, in order
   */
  static List<Release> parse(byte[] xml, String discId, int[] audioTracks) throws LookupException {
    MusicBrainzAnswer answer = new MusicBrainzAnswer(discId, audioTracks);
    try {
      parser().parse(new ByteArrayInputStream(xml), answer);
    } catch (SAXParseException e) {
      // The JDK's words for a refused DTD name the parser's feature: ours say what it was.
      String why = String.valueOf(e.getMessage()).contains("DOCTYPE")
          ? "a DTD (<!DOCTYPE>), which no answer has"
          : e.getMessage();
      throw new LookupException(SERVICE, "malformed XML at line " + e.getLineNumber() + ": " + why);
    } catch (SAXException e) {
      throw new LookupException(SERVICE, "not an answer to a disc ID lookup: " + e.getMessage());
    } catch (IOException e) {
      throw new LookupException(SERVICE, "the answer can not be read: " + e, e);
    }
    return answer.releases;
  }

  private static SAXParser parser() throws LookupException {
    try {
      SAXParserFactory factory = SAXParserFactory.newInstance();
      factory.setNamespaceAware(true);
      factory.setXIncludeAware(false);
      factory.setFeature(XMLConstants.FEATURE_SECURE_PROCESSING, true);
      factory.setFeature("http://apache.org/xml/features/disallow-doctype-decl", true);
      factory.setFeature("http://xml.org/sax/features/external-general-entities", false);
      factory.setFeature("http://xml.org/sax/features/external-parameter-entities", false);
      factory.setFeature("http://apache.org/xml/features/nonvalidating/load-external-dtd", false);
      return factory.newSAXParser();
    } catch (ParserConfigurationException | SAXException e) {
      throw new LookupException(SERVICE, "the JDK's XML parser can not be made safe: " + e);
    }
  }

  @Override
  public void startElement(String uri, String localName, String qName, Attributes attributes)
      throws SAXException {
    if (path.isEmpty() && !localName.equals("metadata")) {
      throw new SAXException("its root is <" + localName + ">, not <metadata>");
    }
    String parent = path.peek();
    path.push(localName);
    text.setLength(0);
    if (localName.equals("release") && "release-list".equals(parent)) {
      releaseId = attributes.getValue("id");
      title = artist = date = country = null;
      mediumCount = 0;
      chosenTracks = null;
      mediaOfTheTrackCount = 0;
    } else if (localName.equals("medium-list") && "release".equals(parent)) {
      mediumCount = number(attributes.getValue("count"));
    } else if (localName.equals("medium") && "medium-list".equals(parent)) {
      mediumPosition = 0;
      holdsDisc = false;
      tracks = new ArrayList<>();
      trackCount = 0;
    } else if (localName.equals("disc") && "disc-list".equals(parent)) {
      holdsDisc |= discId.equals(attributes.getValue("id"));
    } else if (localName.equals("track") && "track-list".equals(parent)) {
      trackTitle = recordingTitle = trackArtist = recordingArtist = null;
    } else if (localName.equals("artist-credit")) {
      credit = new StringBuilder();
    } else if (localName.equals("name-credit")) {
      joinPhrase = attributes.getValue("joinphrase");
      creditedName = artistName = null;
    }
  }

  @Override
  public void characters(char[] ch, int start, int length) {
    text.append(ch, start, length);
  }

  @Override
  public void endElement(String uri, String localName, String qName) {
    path.pop();
    String parent = path.peek();
    String value = text.toString();
    text.setLength(0);
    if (parent == null) {
      return;
    }
    switch (localName) {
      case "title":
        if (parent.equals("release")) {
          title = value;
        } else if (parent.equals("track")) {
          trackTitle = value;
        } else if (parent.equals("recording")) {
          recordingTitle = value;
        }
        break;
      case "date":
      case "country":
        if (parent.equals("release")) {
          date = localName.equals("date") ? value : date;
          country = localName.equals("country") ? value : country;
        }
        break;
      case "position":
        if (parent.equals("medium")) {
          mediumPosition = number(value);
        }
        break;
      case "name":
        if (parent.equals("name-credit")) {
          creditedName = value;
        } else if (parent.equals("artist") && path.size() >= 2
            && "name-credit".equals(grandparent())) {
          artistName = value;
        }
        break;
      case "name-credit":
        if (credit != null) {
          credit.append(creditedName != null ? creditedName
                        : artistName == null ? ""
                                             : artistName)
              .append(joinPhrase == null ? "" : joinPhrase);
        }
        break;
      case "artist-credit":
        endCredit(parent);
        break;
      case "track":
        trackCount += parent.equals("track-list") ? 1 : 0;
        if (parent.equals("track-list") && tracks != null && tracks.size() < audioTracks.length) {
          tracks.add(new Release.Track(audioTracks[tracks.size()],
              trackTitle != null ? trackTitle : recordingTitle,
              trackArtist != null           ? trackArtist
                  : recordingArtist != null ? recordingArtist
                                            : artist));
        }
        break;
      case "medium":
        endMedium();
        break;
      case "release":
        if (parent.equals("release-list") && chosenTracks != null) {
          releases.add(new Release(Release.Service.MUSICBRAINZ, releaseId, title, artist, date,
              country, chosenMedium, mediumCount, chosenTracks));
        }
        break;
      default:
        break;
    }
  }

  private void endCredit(String parent) {
    String written = credit == null ? null : credit.toString();
    credit = null;
    if (parent.equals("release")) {
      artist = written;
    } else if (parent.equals("track")) {
      trackArtist = written;
    } else if (parent.equals("recording")) {
      recordingArtist = written;
    }
  }

  private void endMedium() {
    if (tracks == null) {
      return;
    }
    // The disc's own medium; else, in a match by table of contents, the only one whose track
    // count is the disc's.
    if (holdsDisc) {
      chosenTracks = tracks;
      chosenMedium = mediumPosition;
    } else if (!inDisc() && trackCount == audioTracks.length) {
      chosenTracks = ++mediaOfTheTrackCount == 1 ? tracks : null;
      chosenMedium = mediumPosition;
    }
    tracks = null;
  }

  /** Whether the answer is the disc's own (a disc element), not a match by its table. */
  private boolean inDisc() {
    return path.contains("disc");
  }

  private String grandparent() {
    String[] names = path.toArray(new String[0]);
    return names.length >= 2 ? names[1] : null;
  }

  private static int number(String value) {
    try {
      return value == null ? 0 : Integer.parseInt(value.trim());
    } catch (NumberFormatException e) {
      return 0;
    }
  }
}
