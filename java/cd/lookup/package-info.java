/**
 * What services on the network know of a disc: the AccurateRip database's answer for a rip's
 * check ({@link cd.lookup.AccurateRipDatabase}), and the releases that hold the disc with
 * their album, artist and track names, from MusicBrainz or gnudb
 * ({@link cd.lookup.DiscLookup}). Answers are taken as untrusted: every request ends within
 * a deadline, an answer far larger than a real one is refused unread, redirects are followed
 * to http and https only, and an HTML page or a malformed answer (XML with a DTD or an
 * external entity among them) is a {@link cd.lookup.LookupException} of one line.
 */
package cd.lookup;
