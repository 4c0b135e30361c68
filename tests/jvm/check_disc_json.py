"""Checks the command line's --json output against a sample disc.

Usage: check_disc_json.py JSON-FILE DISC.toc DRIVE [DATA-TRACK...]
Every value comes from the disc's table of contents and its "# query", "# lengths" and
"# musicbrainz", "# accuraterip" and "# ctdb" lines. The MusicBrainz values are checked for discs of audio tracks, which
have them, and of data tracks only, which have none.
"""
import json
import sys

json_file, toc_file, drive = sys.argv[1:4]
data_tracks = {int(number) for number in sys.argv[4:]}

comments = {}
numbers = []
with open(toc_file) as toc:
    for line in toc:
        if line.startswith("# "):
            key, _, value = line[2:].strip().partition(" ")
            comments[key] = value
        numbers += [int(word) for word in line.split("#")[0].split()]
first, last, lead_out, starts = numbers[0], numbers[1], numbers[2], numbers[3:]
query = comments["query"]
lengths = [int(word) for word in comments["lengths"].split()[1:]]

with open(json_file, encoding="ascii") as text:
    disc = json.load(text)

problems = []


def expect(name, actual, expected):
    if actual != expected:
        problems.append(f"{name}: expected {expected!r}, got {actual!r}")


expect("members", sorted(disc), sorted([
    "drive", "firstTrack", "lastTrack", "leadOut", "tracks", "freedbId", "cddbQuery",
    "musicBrainzId", "musicBrainzToc", "musicBrainzSubmissionUrl", "accurateRipId",
    "accurateRipUrl", "ctdbTocId", "ctdbLookupUrl", "firstTrackPregap"]))
expect("drive", disc.get("drive"), drive)
expect("firstTrack", disc.get("firstTrack"), first)
expect("lastTrack", disc.get("lastTrack"), last)
expect("leadOut", disc.get("leadOut"), lead_out)
numbers_of_tracks = range(first, last + 1)
ends = starts[1:] + [lead_out]
expect("tracks", disc.get("tracks"), [
    {"number": number, "start": start, "length": end - start, "lengthSeconds": seconds,
     "audio": number not in data_tracks}
    for number, start, end, seconds in zip(numbers_of_tracks, starts, ends, lengths)])
expect("freedbId", disc.get("freedbId"), query.split()[0].lower())
expect("cddbQuery", disc.get("cddbQuery"), "cddb query " + query.lower())
expect("firstTrackPregap", disc.get("firstTrackPregap"), starts[0] - 150)
for key, name in (("accuraterip", "accurateRipId"), ("ctdb", "ctdbTocId")):
    if key in comments:
        expect(name, disc.get(name), comments[key])
if not data_tracks:
    toc = " ".join(str(number) for number in numbers)
    expect("musicBrainzToc", disc.get("musicBrainzToc"), toc)
    musicbrainz_id = disc.get("musicBrainzId")
    if "musicbrainz" in comments:
        expect("musicBrainzId", musicbrainz_id, comments["musicbrainz"])
    elif not isinstance(musicbrainz_id, str) or len(musicbrainz_id) != 28:
        problems.append(f"musicBrainzId: not an ID: {musicbrainz_id!r}")
    expect("musicBrainzSubmissionUrl", disc.get("musicBrainzSubmissionUrl"),
           f"https://musicbrainz.org/cdtoc/attach?id={musicbrainz_id}&tracks={len(starts)}"
           f"&toc={toc.replace(' ', '+')}")
elif data_tracks.issuperset(numbers_of_tracks):
    for name in ("musicBrainzId", "musicBrainzToc", "musicBrainzSubmissionUrl", "accurateRipId",
                 "accurateRipUrl", "ctdbTocId"):
        expect(name, disc.get(name), None)

for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
