package cd.lookup;

import cd.Printable;
import java.io.IOException;

/**
 * A service that could not be asked, or whose answer was refused: no connection, no answer
 * in time, an error status, a redirect to an address that is not http or https, an answer
 * too large, an HTML page or a malformed answer where data was expected. The message is one
 * line of printable ASCII naming the service and what went wrong; nothing of a refused
 * answer's body is in it.
 */
public final class LookupException extends IOException {
  private static final long serialVersionUID = 1L;

  LookupException(String service, String what) {
    super(service + ": " + Printable.escape(what));
  }

  LookupException(String service, String what, Throwable cause) {
    super(service + ": " + Printable.escape(what), cause);
  }
}
