package cd.lookup;

import cd.Version;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.net.ConnectException;
import java.net.HttpURLConnection;
import java.net.MalformedURLException;
import java.net.SocketTimeoutException;
import java.net.URL;
import java.net.UnknownHostException;
import java.nio.charset.StandardCharsets;
import java.util.Locale;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.FutureTask;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;

/**
 * GET requests to a service whose answers are not trusted: each ends within a deadline
 * however slowly the server sends, an answer larger than the service ever sends is refused
 * unread, redirects are followed to http and https only, an HTML page is refused where data
 * was asked for, and a 503 is waited out as its Retry-After says, a few times at most.
 */
final class WebClient {
  /** How every request names the program, as MusicBrainz asks: name/version ( contact ). */
  static final String USER_AGENT = "Tocmate/" + Version.NUMBER + " ( " + Version.ADDRESS + " )";
  static final int CONNECT_MILLIS = 10_000;
  static final int READ_MILLIS = 10_000;
  // A whole request, however the server trickles its bytes.
  static final int DEADLINE_MILLIS = 25_000;
  private static final int MOST_TRIES = 3;
  private static final int MOST_REDIRECTS = 5;
  private static final int LONGEST_RETRY_SECONDS = 20;

  /** A service's answer: its status, and its body for a 200. */
  static final class Answer {
    final int status;
    final byte[] body;

    Answer(int status, byte[] body) {
      this.status = status;
      this.body = body;
    }
  }

  private final String service;
  private final int mostBytes;
  private final Pacer pacer;

  /**
   * @param service the service's name, which starts every message
   * @param mostBytes the largest answer accepted
   * @param pacer what spaces the requests out, or null
   */
  WebClient(String service, int mostBytes, Pacer pacer) {
    this.service = service;
    this.mostBytes = mostBytes;
    this.pacer = pacer;
  }

  /**
   * The answer at the address: a 200 with its body, or a 404 (no body). Any other status,
   * a 503 after the last try included, is a LookupException.
   */
  Answer get(String address) throws LookupException {
    for (int tries = 1;; tries++) {
      Reply reply = withinDeadline(checked(null, address));
      if (reply.retryAfterSeconds < 0) {
        return reply.answer;
      }
      if (tries == MOST_TRIES) {
        throw new LookupException(service, "still busy (503) after " + tries + " tries");
      }
      if (reply.retryAfterSeconds > LONGEST_RETRY_SECONDS) {
        throw new LookupException(
            service, "busy (503), asking to wait " + reply.retryAfterSeconds + " s: not waited");
      }
      try {
        Thread.sleep(reply.retryAfterSeconds * 1000L);
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
        throw new LookupException(service, "interrupted while waiting out a 503");
      }
    }
  }

  /** An answer, or a 503's wait (Retry-After in seconds, 1 where it gives none). */
  private static final class Reply {
    final Answer answer;
    final int retryAfterSeconds;

    Reply(Answer answer, int retryAfterSeconds) {
      this.answer = answer;
      this.retryAfterSeconds = retryAfterSeconds;
    }
  }

  /**
   * One request, redirects followed, ended at the deadline: it runs on a thread of its own,
   * which a server that trickles its answer keeps at most a read time-out longer (a daemon,
   * interrupted, reading no further).
   */
  private Reply withinDeadline(URL url) throws LookupException {
    FutureTask<Reply> request = new FutureTask<>(() -> getOnce(url));
    Thread thread = new Thread(request, "tocmate request to " + service);
    thread.setDaemon(true);
    thread.start();
    try {
      return request.get(DEADLINE_MILLIS, TimeUnit.MILLISECONDS);
    } catch (TimeoutException e) {
      request.cancel(true);
      throw new LookupException(service,
          "no whole answer from " + url.getHost() + " within " + DEADLINE_MILLIS / 1000 + " s");
    } catch (InterruptedException e) {
      request.cancel(true);
      Thread.currentThread().interrupt();
      throw new LookupException(service, "interrupted while waiting for the answer");
    } catch (ExecutionException e) {
      Throwable cause = e.getCause();
      if (cause instanceof LookupException) {
        throw(LookupException) cause;
      }
      if (cause instanceof Error) {
        throw(Error) cause;
      }
      throw new LookupException(service, String.valueOf(cause), cause);
    }
  }

  private Reply getOnce(URL start) throws LookupException {
    URL url = start;
    for (int redirects = 0;; redirects++) {
      HttpURLConnection connection;
      try {
        connection = (HttpURLConnection) url.openConnection();
      } catch (IOException e) {
        throw new LookupException(service, "can not connect to " + url.getHost() + ": " + e);
      }
      try {
        connection.setInstanceFollowRedirects(false);
        connection.setUseCaches(false);
        connection.setConnectTimeout(CONNECT_MILLIS);
        connection.setReadTimeout(READ_MILLIS);
        connection.setRequestProperty("User-Agent", USER_AGENT);
        int status = pacedStatus(connection);
        if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
          if (redirects == MOST_REDIRECTS) {
            throw new LookupException(service, "more than " + MOST_REDIRECTS + " redirects");
          }
          String location = connection.getHeaderField("Location");
          if (location == null) {
            throw new LookupException(service, "a redirect (" + status + ") to no address");
          }
          url = checked(url, location);
          continue;
        }
        if (status == 503) {
          return new Reply(null, retryAfter(connection.getHeaderField("Retry-After")));
        }
        if (status == 404) {
          return new Reply(new Answer(404, null), -1);
        }
        if (status != 200) {
          throw new LookupException(service,
              "answered " + status
                  + (connection.getResponseMessage() == null
                          ? ""
                          : " " + connection.getResponseMessage()));
        }
        String type = connection.getContentType();
        if (type != null && type.toLowerCase(Locale.ROOT).startsWith("text/html")) {
          throw new LookupException(service, "answered with an HTML page, not data");
        }
        long length = connection.getContentLengthLong();
        if (length > mostBytes) {
          throw new LookupException(service,
              "an answer of " + length + " bytes, more than the " + mostBytes
                  + " any real one takes: refused");
        }
        byte[] body = read(connection.getInputStream());
        if (looksLikeHtml(body)) {
          throw new LookupException(service, "answered with an HTML page, not data");
        }
        return new Reply(new Answer(200, body), -1);
      } catch (SocketTimeoutException e) {
        throw new LookupException(
            service, "no answer from " + url.getHost() + " within " + READ_MILLIS / 1000 + " s");
      } catch (ConnectException e) {
        throw new LookupException(service,
            "can not connect to " + url.getHost() + (url.getPort() < 0 ? "" : ":" + url.getPort())
                + ": " + e.getMessage());
      } catch (UnknownHostException e) {
        throw new LookupException(service, "unknown host " + url.getHost());
      } catch (IOException e) {
        if (e instanceof LookupException) {
          throw(LookupException) e;
        }
        throw new LookupException(service, "no answer from " + url.getHost() + ": " + e);
      } finally {
        connection.disconnect();
      }
    }
  }

  /** Sends the request, in its turn where requests are paced: the answer's status. */
  private int pacedStatus(HttpURLConnection connection) throws IOException {
    if (pacer == null) {
      return connection.getResponseCode();
    }
    pacer.await();
    try {
      return connection.getResponseCode();
    } finally {
      pacer.answered();
    }
  }

  /** The body, refused once it passes the largest answer. */
  private byte[] read(InputStream in) throws IOException {
    try (InputStream stream = in) {
      ByteArrayOutputStream body = new ByteArrayOutputStream();
      byte[] buffer = new byte[16384];
      for (int n; (n = stream.read(buffer)) > 0;) {
        if (Thread.currentThread().isInterrupted()) {
          throw new LookupException(service, "the request was given up");
        }
        if (body.size() + n > mostBytes) {
          throw new LookupException(service,
              "an answer longer than the " + mostBytes + " bytes any real one takes: refused");
        }
        body.write(buffer, 0, n);
      }
      return body.toByteArray();
    }
  }

  /** An address taken only where it is http or https, relative to the one before. */
  private URL checked(URL base, String address) throws LookupException {
    URL url;
    try {
      url = base == null ? new URL(address) : new URL(base, address);
    } catch (MalformedURLException e) {
      throw new LookupException(service, "not an address: " + address);
    }
    String scheme = url.getProtocol().toLowerCase(Locale.ROOT);
    if (!scheme.equals("http") && !scheme.equals("https")) {
      throw new LookupException(service,
          (base == null ? "an address" : "a redirect to an address") + " of scheme " + scheme
              + ": only http and https are followed");
    }
    return url;
  }

  private static boolean looksLikeHtml(byte[] body) {
    String start = new String(body, 0, Math.min(body.length, 64), StandardCharsets.ISO_8859_1)
                       .trim()
                       .toLowerCase(Locale.ROOT);
    return start.startsWith("<!doctype html") || start.startsWith("<html");
  }

  /** Retry-After's seconds; 1 where it gives none or a date. */
  private static int retryAfter(String value) {
    try {
      return value == null ? 1 : Math.max(0, Integer.parseInt(value.trim()));
    } catch (NumberFormatException e) {
      return 1;
    }
  }
}
