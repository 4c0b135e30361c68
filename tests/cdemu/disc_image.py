"""Reads a table-of-contents file and writes the same disc as a cdrdao TOC file of silence.

Usage: disc_image.py DISC.toc IMAGE.toc
The table-of-contents file is the one source of the disc: its tracks, and the lines
  catalog <13 digits>
  isrc <track> <12 characters>
  cdtext-block <block> <language code, hex> <latin1|ascii|msjis>
  cdtext <block> <track, 0 = album> <field> <text to the line's end, \\xNN escapes>
Silence needs no audio file: the image is the TOC file alone.
"""
import re
import sys

FRAMES_PER_SECOND = 75
# The first track's start when the disc has nothing before it (00:02:00).
LEAD_IN = 150
# Our CD-Text fields and cdrdao's names of them (the genre apart: see genre()).
CDRDAO_FIELDS = {
    "title": "TITLE", "performer": "PERFORMER", "songwriter": "SONGWRITER",
    "composer": "COMPOSER", "arranger": "ARRANGER", "message": "MESSAGE",
    "catalog": "DISC_ID", "upc": "UPC_EAN", "isrc": "ISRC",
}


def unescape(text):
    """The bytes of a CD-Text value: its characters as Latin-1, \\xNN as that byte."""
    return re.sub(rb"\\x([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]),
                  text.encode("latin-1"))


def read_disc(path):
    numbers, data_tracks = [], set()
    disc = {"catalog": None, "isrc": {}, "blocks": {}}
    with open(path, encoding="latin-1") as toc:
        for line in toc:
            line = line.rstrip("\n")
            words = line.split(None, 1)
            keyword = words[0] if words else ""
            if keyword == "catalog":
                disc["catalog"] = words[1].strip()
            elif keyword == "isrc":
                track, isrc = words[1].split()
                disc["isrc"][int(track)] = isrc
            elif keyword == "cdtext-block":
                block, language, charset = words[1].split()
                disc["blocks"].setdefault(int(block), {"fields": {}}).update(
                    language=int(language, 16), charset=charset)
            elif keyword == "cdtext":
                block, track, field, text = (words[1].split(" ", 3) + [""])[:4]
                fields = disc["blocks"].setdefault(int(block), {"fields": {}})["fields"]
                fields[(int(track), field)] = unescape(text)
            else:
                for word in line.split("#")[0].split():
                    if word.endswith("d"):
                        word = word[:-1]
                        data_tracks.add(len(numbers) - 3)
                    numbers.append(int(word))
    disc.update(first=numbers[0], last=numbers[1], lead_out=numbers[2], starts=numbers[3:])
    disc["data_tracks"] = {disc["first"] + index for index in data_tracks}
    return disc


def msf(frames):
    return "%02d:%02d:%02d" % (frames // (60 * FRAMES_PER_SECOND),
                               frames // FRAMES_PER_SECOND % 60, frames % FRAMES_PER_SECOND)


def quoted(value):
    """A cdrdao string of the bytes: control characters, quotes and backslashes as octal
    escapes, every other byte as it is (the disc's character set is the block's)."""
    return '"' + "".join("\\%03o" % byte if byte < 0x20 or byte == 0x7F or chr(byte) in '"\\'
                         else chr(byte) for byte in value) + '"'


def genre(value):
    """cdrdao's GENRE item: binary, the code (two bytes, big-endian), the text and a NUL."""
    code, _, text = value.partition(b" ")
    data = int(code).to_bytes(2, "big") + text + b"\0"
    return "GENRE { " + ", ".join(str(byte) for byte in data) + " }"


def cd_text(disc, track, indent):
    """The CD_TEXT item of the album (track 0) or a track, or nothing when it has no text."""
    lines = []
    for block, content in sorted(disc["blocks"].items()):
        items = [indent + "    " + (genre(value) if field == "genre"
                                     else f"{CDRDAO_FIELDS[field]} {quoted(value)}")
                 for (number, field), value in sorted(content["fields"].items())
                 if number == track]
        if items or (track == 0 and "language" in content):
            lines += [f"{indent}  LANGUAGE {block} {{"] + items + [f"{indent}  }}"]
    if track == 0 and disc["blocks"]:
        language_map = [f"{indent}    {block} : {content.get('language', 9)}"
                        for block, content in sorted(disc["blocks"].items())]
        lines = [f"{indent}  LANGUAGE_MAP {{"] + language_map + [f"{indent}  }}"] + lines
    return [f"{indent}CD_TEXT {{"] + lines + [f"{indent}}}"] if lines else []


def cdrdao_toc(disc):
    if disc["data_tracks"] or disc["first"] != 1:
        raise ValueError("an image of silence holds audio tracks from track 1 only")
    lines = ["CD_DA", ""]
    if disc["catalog"]:
        lines += [f'CATALOG "{disc["catalog"]}"', ""]
    lines += cd_text(disc, 0, "")
    ends = disc["starts"][1:] + [disc["lead_out"]]
    for number, (start, end) in enumerate(zip(disc["starts"], ends), disc["first"]):
        lines += ["", "TRACK AUDIO"]
        if number in disc["isrc"]:
            lines.append(f'ISRC "{disc["isrc"][number]}"')
        lines += cd_text(disc, number, "")
        # Before the first track's start, down to 00:02:00, is its pregap: a hidden track.
        pregap = start - LEAD_IN if number == disc["first"] else 0
        lines.append(f"SILENCE {msf(pregap + end - start)}")
        if pregap:
            lines.append(f"START {msf(pregap)}")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    with open(sys.argv[2], "w", encoding="latin-1") as image:
        image.write(cdrdao_toc(read_disc(sys.argv[1])))
