"""Checks the command line's --json output against a sample disc.

Usage: check_disc_json.py [--extras=HOW] JSON-FILE DISC.toc DRIVE [DATA-TRACK...]
Every value comes from the disc's table of contents and its "# query", "# lengths",
"# musicbrainz", "# accuraterip" and "# ctdb" lines. The MusicBrainz values are checked for
discs of audio tracks, which have them, and of data tracks only, which have none. With
--extras, the JSON carries the catalog number, ISRCs and CD-Text, checked against the
disc's catalog, isrc and cdtext lines: HOW is exact; partial (each CD-Text value as the
disc's or null, as where packs were lost); catalog (the catalog number alone, nothing
else); none (every one null); textonly (CD-Text alone, exact); textless (no CD-Text, the
rest exact); or undecoded (CD-Text's texts null, its codes, genre codes and language codes
kept).
"""
import json
import re
import sys

extras_check = None
if sys.argv[1].startswith("--extras="):
    extras_check = sys.argv.pop(1)[len("--extras="):]
json_file, toc_file, drive = sys.argv[1:4]
data_tracks = {int(number) for number in sys.argv[4:]}
EXTRAS = ("catalog", "isrc", "cdtext-block", "cdtext")
CHARSETS = {"latin1": "latin-1", "ascii": "ascii", "msjis": "cp932"}

comments = {}
numbers = []
extras_lines = []
with open(toc_file, encoding="latin-1") as toc:
    for line in toc:
        if line.startswith("# "):
            key, _, value = line[2:].strip().partition(" ")
            comments[key] = value
        if line.split(" ", 1)[0] in EXTRAS:
            extras_lines.append(line.rstrip("\n").split(" ", 4))
            continue
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


members = ["drive", "firstTrack", "lastTrack", "leadOut", "tracks", "freedbId", "cddbQuery",
           "musicBrainzId", "musicBrainzToc", "musicBrainzSubmissionUrl", "accurateRipId",
           "accurateRipUrl", "ctdbTocId", "ctdbLookupUrl", "firstTrackPregap"]
expect("members", sorted(disc), sorted(members + (["mediaCatalogNumber", "cdText"]
                                                  if extras_check else [])))


def expected_extras():
    """The catalog number, ISRCs and CD-Text that the disc's lines give, as the JSON has them."""
    catalog, isrcs, blocks = None, {}, {}
    for words in extras_lines:
        if words[0] == "catalog":
            catalog = words[1]
        elif words[0] == "isrc":
            isrcs[int(words[1])] = words[2]
        elif words[0] == "cdtext-block":
            blocks[int(words[1])] = {"language": int(words[2], 16), "charset": CHARSETS[words[3]],
                                     "texts": {}}
    for words in extras_lines:
        if words[0] == "cdtext":
            block = blocks[int(words[1])]
            raw = re.sub(r"\\x([0-9a-fA-F]{2})", lambda m: chr(int(m.group(1), 16)), words[4])
            text = raw.encode("latin-1").decode(block["charset"])
            block["texts"][(int(words[2]), words[3])] = text
    fields = ("title", "performer", "songwriter", "composer", "arranger", "message")

    def entry(texts, track):
        return {field: texts.get((track, field)) for field in fields}

    cd_text = None
    if blocks:
        cd_text = {"blocks": []}
        for number in sorted(blocks):
            texts = blocks[number]["texts"]
            genre = texts.get((0, "genre"))
            album = entry(texts, 0)
            album.update({"genreCode": int(genre.split(" ", 1)[0]) if genre else None,
                          "genre": genre.split(" ", 1)[1] if genre else None,
                          "catalog": texts.get((0, "catalog")), "upcEan": texts.get((0, "upc"))})
            tracks = [dict(number=track, **entry(texts, track), isrc=texts.get((track, "isrc")))
                      for track in range(first, last + 1)]
            cd_text["blocks"].append({"languageCode": blocks[number]["language"], "album": album,
                                      "tracks": tracks})
    return catalog, isrcs, cd_text


def partially(actual, expected, where):
    """Each value of actual as expected's, or null."""
    if isinstance(expected, dict) and isinstance(actual, dict) and actual.keys() == expected.keys():
        for key in expected:
            partially(actual[key], expected[key], f"{where}.{key}")
    elif isinstance(expected, list) and isinstance(actual, list) and len(actual) == len(expected):
        for index, (a, e) in enumerate(zip(actual, expected)):
            partially(a, e, f"{where}[{index}]")
    elif actual is not None and actual != expected:
        problems.append(f"{where}: expected {expected!r} or null, got {actual!r}")


if extras_check:
    catalog, isrcs, cd_text = expected_extras()
    if extras_check in ("catalog", "none", "textonly"):
        isrcs = {}
    if extras_check in ("catalog", "none"):
        cd_text = None
    if extras_check in ("none", "textonly"):
        catalog = None
    if extras_check == "textless":
        cd_text = None
    if extras_check == "undecoded":
        for block in cd_text["blocks"]:
            for entry in [block["album"]] + block["tracks"]:
                for key in entry:
                    if key not in ("number", "genreCode", "upcEan", "isrc"):
                        entry[key] = None
    expect("mediaCatalogNumber", disc.get("mediaCatalogNumber"), catalog)
    expect("isrcs", [track.pop("isrc", "missing") for track in disc.get("tracks", [])],
           [isrcs.get(number) for number in range(first, last + 1)])
    if extras_check == "partial":
        partially(disc.get("cdText"), cd_text, "cdText")
    else:
        expect("cdText", disc.get("cdText"), cd_text)
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
