#!/usr/bin/env python3
"""A stand-in for MusicBrainz, gnudb and AccurateRip on the loopback address, for the tests.

Usage: standin.py FOLDER ACCURATERIP-ANSWER

Listens on a free port of 127.0.0.1, writes it to FOLDER/port, and logs each request to
FOLDER/requests as a line: seconds since the epoch, the path and query, the User-Agent
(tab-separated). The first part of a path chooses how the services behave; the rest is the
service's own path: /SCENARIO/ws/2/discid/ID (MusicBrainz), /SCENARIO/cddb.cgi (gnudb),
/SCENARIO/accuraterip/X/Y/Z/dBAR-....bin (AccurateRip). Scenarios:
  known      MusicBrainz knows the disc (musicbrainz.xml, the ID requested put in), the
             AccurateRip answer is the file given
  gnudb      MusicBrainz does not know the disc (404), gnudb does (gnudb-*.txt)
  unknown    none knows the disc: 404, 202, 404
  busy       the first request of each service is a 503 with Retry-After: 1, then as known
  silent     the request is read and never answered
  trickle    an answer of a byte every 5 seconds
  huge       50 MB of data, announced in Content-Length
  endless    50 MB of data, not announced
  html       an HTML error page with status 200
  redirect   a redirect to file:///etc/passwd
  entity     XML whose DTD declares an external entity of /etc/passwd
  malformed  XML cut short
  badcddb    MusicBrainz does not know the disc, gnudb answers without a status line
"""
import http.server
import os
import sys
import threading
import time
import urllib.parse

FOLDER, ANSWER = sys.argv[1], sys.argv[2]
HERE = os.path.dirname(os.path.abspath(__file__))
MB = 50 * 1024 * 1024
BUSY_SEEN = set()
LOCK = threading.Lock()


def read(name):
    with open(os.path.join(HERE, name), "rb") as f:
        return f.read()


class Services(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with LOCK:
            with open(os.path.join(FOLDER, "requests"), "a") as log:
                log.write("%.3f\t%s\t%s\n" % (time.time(), self.path,
                                              self.headers.get("User-Agent", "")))
        scenario, _, rest = self.path[1:].partition("/")
        service = ("musicbrainz" if rest.startswith("ws/2/") else
                   "gnudb" if rest.startswith("cddb.cgi") else "accuraterip")
        if scenario == "busy":
            with LOCK:
                first = service not in BUSY_SEEN
                BUSY_SEEN.add(service)
            if first:
                return self.send(503, b"", "text/plain", [("Retry-After", "1")])
            scenario = "known"
        getattr(self, "scenario_" + scenario)(service, rest)

    def send(self, status, body, kind, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def answer(self, service, rest, musicbrainz_known):
        if service == "accuraterip":
            if not musicbrainz_known:
                return self.send(404, b"<html>not found</html>", "text/html")
            return self.send(200, open(ANSWER, "rb").read(), "application/octet-stream")
        if service == "musicbrainz":
            if not musicbrainz_known:
                return self.send(404, read("musicbrainz-404.xml"), "application/xml; charset=utf-8")
            disc_id = rest.split("/")[3].split("?")[0]
            xml = read("musicbrainz.xml").replace(b"@DISCID@", disc_id.encode())
            return self.send(200, xml, "application/xml; charset=utf-8")
        command = urllib.parse.parse_qs(urllib.parse.urlsplit(rest).query)["cmd"][0].split()
        text = read("gnudb-query.txt" if command[1] == "query" else "gnudb-read.txt")
        disc_id = command[2] if command[1] == "query" else command[3]
        self.send(200, text.replace(b"@DISCID@", disc_id.encode()), "text/plain; charset=UTF-8")

    def scenario_known(self, service, rest):
        self.answer(service, rest, True)

    def scenario_gnudb(self, service, rest):
        if service == "accuraterip":
            return self.answer(service, rest, True)
        self.answer(service, rest, service == "gnudb")

    def scenario_unknown(self, service, rest):
        if service == "gnudb":
            return self.send(200, b"202 No match for disc ID @DISCID@.\r\n", "text/plain")
        self.answer(service, rest, False)

    def scenario_silent(self, service, rest):
        time.sleep(120)

    def scenario_trickle(self, service, rest):
        self.send_response(200)
        self.send_header("Content-Type", "application/xml")
        self.send_header("Content-Length", "100")
        self.end_headers()
        try:
            for _ in range(100):
                self.wfile.write(b" ")
                self.wfile.flush()
                time.sleep(5)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def stream(self, announced):
        self.send_response(200)
        self.send_header("Content-Type", "application/xml")
        if announced:
            self.send_header("Content-Length", str(MB))
        else:
            self.send_header("Connection", "close")
        self.end_headers()
        chunk = b"<a>" + b"x" * 65530 + b"</a>"
        try:
            for _ in range(MB // len(chunk)):
                self.wfile.write(chunk)
        except (BrokenPipeError, ConnectionResetError):
            pass
        self.close_connection = True

    def scenario_huge(self, service, rest):
        self.stream(True)

    def scenario_endless(self, service, rest):
        self.stream(False)

    def scenario_html(self, service, rest):
        self.send(200, b"<!DOCTYPE html>\n<html><body><h1>Maintenance</h1></body></html>\n",
                  "text/html; charset=utf-8")

    def scenario_redirect(self, service, rest):
        self.send(302, b"", "text/plain", [("Location", "file:///etc/passwd")])

    def scenario_entity(self, service, rest):
        self.send(200, read("musicbrainz-entity.xml"), "application/xml; charset=utf-8")

    def scenario_malformed(self, service, rest):
        self.send(200, read("musicbrainz.xml")[:700], "application/xml; charset=utf-8")

    def scenario_badcddb(self, service, rest):
        if service == "gnudb":
            return self.send(200, b"DTITLE=no status line\r\n.\r\n", "text/plain")
        self.answer(service, rest, False)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Services)
server.daemon_threads = True
with open(os.path.join(FOLDER, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(FOLDER, "port.tmp"), os.path.join(FOLDER, "port"))
server.serve_forever()
