"""Checks the jar's --json --all against libdiscid's reading of the same drive.

Usage: discid_matches.py JSON-FILE DISCID-OUTPUT
The output of discid_read: "id", "toc", "mcn" and "isrc TRACK" lines.
"""
import json
import sys

with open(sys.argv[1], encoding="ascii") as text:
    disc = json.load(text)
discid = {}
with open(sys.argv[2], encoding="ascii") as text:
    for line in text:
        words = line.split()
        key_words = 2 if words[0] == "isrc" else 1
        discid[" ".join(words[:key_words])] = " ".join(words[key_words:])
ours = {"id": disc["musicBrainzId"], "toc": disc["musicBrainzToc"]}
if disc["mediaCatalogNumber"]:
    ours["mcn"] = disc["mediaCatalogNumber"]
ours.update((f"isrc {track['number']}", track["isrc"]) for track in disc["tracks"] if track["isrc"])
if ours != discid:
    print(f"libdiscid: {discid}\nours:      {ours}")
    sys.exit(1)
