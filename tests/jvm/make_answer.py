#!/usr/bin/env python3
"""Usage: make_answer.py RIP-LINES ACCURATERIP-ID TOC ANSWER [CONFIDENCE [another-disc]]

Writes ANSWER, an AccurateRip answer for the fake drive's disc of table-of-contents file TOC:
its IDs from ACCURATERIP-ID (what --accuraterip prints), and one rip of confidence 7 whose
checksums are those of RIP-LINES (what --rip prints): tracks 1 and 3 (and every odd one) with
their v1 checksums, the others with their v2; each with its frame 450's checksum. With
CONFIDENCE, that rip's confidence instead of 7; with "another-disc", that rip is listed under
another disc's IDs, after one of this disc whose checksums are all wrong.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(__file__))
from check_rip import read_toc  # noqa

lines_file, id_file, toc, answer_file = sys.argv[1:5]
confidence = int(sys.argv[5]) if len(sys.argv) > 5 else 7
another_disc = sys.argv[6:] == ["another-disc"]
lines = [line.split() for line in open(lines_file)]
_, id1, id2, cddb = open(id_file).readline().strip().split("-")
starts = read_toc(toc)[3]


def pressing(id1, wrong):
    answer = struct.pack("<BIII", len(lines), id1, int(id2, 16), int(cddb, 16))
    for i, words in enumerate(lines):
        at = (starts[i] - 150 + 450) * 588
        frame450 = sum((((at + k) * 2654435761 + 12345) & 0xFFFFFFFF) * (k + 1)
                       for k in range(588)) & 0xFFFFFFFF
        answer += struct.pack("<BII", confidence, int(words[4 if i % 2 else 2], 16) ^ wrong,
                              frame450)
    return answer


ours = int(id1, 16)
answer = pressing(ours, 1) + pressing(ours ^ 1, 0) if another_disc else pressing(ours, 0)
open(answer_file, "wb").write(answer)
