package cd.lookup;

import cd.AccurateRipResults;
import cd.Disc;
import java.util.Optional;

/**
 * Fetches the AccurateRip database's answer for a disc, from the address that
 * {@link Disc#getAccurateRipUrl()} names (the database offers no https), or from the server
 * that the system property {@value #URL_PROPERTY} names in place of
 * {@code http://www.accuraterip.com/accuraterip}.
 *
 * <pre>{@code
 * Optional<AccurateRipResults> answer = AccurateRipDatabase.fetch(disc);
 * }</pre>
 */
public final class AccurateRipDatabase {
  /** The system property that names the database's address, the folders above the file. */
  public static final String URL_PROPERTY = "tocmate.accuraterip.url";

  private static final String FOLDER = "/accuraterip/";
  // An entry of 99 tracks takes 904 bytes: this is thousands of pressings.
  private static final int MOST_BYTES = 4 << 20;

  private AccurateRipDatabase() {}

  /**
   * The database's answer for the disc.
   *
   * @param disc the disc, as read
   * @return its answer; empty when the database does not know the disc (a 404)
   * @throws IllegalArgumentException when the disc holds no audio track
   * @throws LookupException when the database can not be asked, or answers what is not an
   *     AccurateRip answer
   */
  public static Optional<AccurateRipResults> fetch(Disc disc) throws LookupException {
    String url = disc.getAccurateRipUrl();
    if (url == null) {
      throw new IllegalArgumentException("the disc holds no audio track: nothing to check");
    }
    String base = System.getProperty(URL_PROPERTY);
    if (base != null) {
      url = base + url.substring(url.indexOf(FOLDER) + FOLDER.length() - 1);
    }
    WebClient.Answer answer = new WebClient("AccurateRip", MOST_BYTES, null).get(url);
    if (answer.status == 404) {
      return Optional.empty();
    }
    try {
      return Optional.of(AccurateRipResults.parse(answer.body));
    } catch (IllegalArgumentException e) {
      throw new LookupException("AccurateRip", e.getMessage());
    }
  }
}
