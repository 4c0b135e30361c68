#!/usr/bin/env python3
"""Usage: make_image.py TOC FOLDER STYLE [--wave] [--pregap FRAMES] [--shift SAMPLES]

Writes FOLDER/image.cue and its files: the fake drive's disc of table-of-contents file TOC as
a rip would hold it, every sample the one the fake drive serves (the sample at position p,
counted from logical block 0, is p * 2654435761 + 12345 modulo 2^32). STYLE:
  one-file       one file for the audio, INDEX 01 at each track's start
  gaps-appended  a file a track, each holding the pregap of the next (INDEX 00 in it)
  own-pregap     a file a track, each starting with its own pregap (INDEX 00 00:00:00)
  pregap-gone    a file a track, pregaps left out (PREGAP): that audio is silence
Every track after the first gets a pregap of --pregap frames. A first track that starts after
frame 150 is a hidden track: INDEX 00 at the file's start. A data track is a file of zero
MODE1/2352 sectors; one in a later session follows REM SESSION 02. WAVE files with --wave,
else BINARY. With --shift, each sample is the one that many samples later: a rip made with a
read offset that far off.
"""
import argparse
import array
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(__file__))
from check_rip import LEAD_IN, SAMPLES_PER_SECTOR, SESSION_GAP, audio_tracks, read_toc  # noqa


def samples(start, end, shift=0, audio_end=None):
    """The disc's samples of sectors start to end; with `shift`, those `shift` samples later,
    as a drive reads them whose read offset was taken `shift` samples wrong (silence before
    the disc's start and from `audio_end` on)."""
    limit = (audio_end or end) * SAMPLES_PER_SECTOR
    values = array.array("I", ((q * 2654435761 + 12345) & 0xFFFFFFFF if 0 <= q < limit else 0
                               for q in range(start * SAMPLES_PER_SECTOR + shift,
                                              end * SAMPLES_PER_SECTOR + shift)))
    if sys.byteorder != "little":
        values.byteswap()
    return values.tobytes()


def msf(frames):
    return "%02d:%02d:%02d" % (frames // 4500, frames // 75 % 60, frames % 75)


def write(folder, name, data, wave):
    with open(os.path.join(folder, name), "wb") as f:
        if wave:
            f.write(struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", len(data) + 36, b"WAVE", b"fmt ",
                                16, 1, 2, 44100, 176400, 4, 16, b"data", len(data)))
        f.write(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("toc")
    parser.add_argument("folder")
    parser.add_argument("style")
    parser.add_argument("--wave", action="store_true")
    parser.add_argument("--pregap", type=int, default=75)
    parser.add_argument("--shift", type=int, default=0)
    args = parser.parse_args()
    toc = read_toc(args.toc)
    first, last, lead_out, starts, data = toc
    spans = audio_tracks(toc)
    audio_end = max(end for _, end in spans.values())
    kind, ext = ("WAVE", "wav") if args.wave else ("BINARY", "bin")
    lines = []
    numbers = sorted(spans)
    start = {n: spans[n][0] for n in numbers}
    end = {n: spans[n][1] for n in numbers}
    # Each pregap's sectors: the first track's is all before it, a hidden track if any.
    gap = {n: start[n] if n == numbers[0] else min(args.pregap, start[n] - start[n - 1] - 1)
           for n in numbers}
    after = {n: gap.get(n + 1, 0) for n in numbers}
    if args.style == "one-file":
        write(args.folder, "disc." + ext, samples(0, audio_end, args.shift, audio_end), args.wave)
        lines.append('FILE "disc.%s" %s' % (ext, kind))
    for n in numbers:
        name = "track%02d.%s" % (n, ext)
        if args.style == "one-file":
            file_start, index0, index1 = 0, start[n] - gap[n], start[n]
        elif args.style == "gaps-appended":
            file_start = 0 if n == numbers[0] else start[n]
            index0, index1 = start[n] - gap[n], start[n]
            if n != numbers[0]:
                lines.append("  TRACK %02d AUDIO" % n)
                lines.append("    INDEX 00 " + msf(index0 - (start[n - 1] if n - 1 != numbers[0]
                                                         else 0)))
            lines.append('FILE "%s" %s' % (name, kind))
            write(args.folder, name, samples(file_start, end[n], args.shift, audio_end), args.wave)
        else:
            own = args.style == "own-pregap" or n == numbers[0]
            file_start = start[n] - gap[n] if own else start[n]
            index0, index1 = start[n] - gap[n], start[n]
            lines.append('FILE "%s" %s' % (name, kind))
            write(args.folder, name, samples(file_start, end[n] - after[n], args.shift, audio_end), args.wave)
        if args.style != "gaps-appended" or n == numbers[0]:
            lines.append("  TRACK %02d AUDIO" % n)
            if gap[n] and file_start <= index0:
                lines.append("    INDEX 00 " + msf(index0 - file_start))
            elif gap[n]:
                lines.append("    PREGAP " + msf(gap[n]))
        lines.append("    INDEX 01 " + msf(index1 - file_start))
    for i, is_data in enumerate(data):
        if not is_data:
            continue
        n = first + i
        frames = (starts[i + 1] if n < last else lead_out) - starts[i]
        with open(os.path.join(args.folder, "data%02d.bin" % n), "wb") as f:
            f.write(bytes(frames * 2352))
        if starts[i] - LEAD_IN > audio_end:
            lines.append("REM SESSION 02")
        lines.append('FILE "data%02d.bin" BINARY' % n)
        lines.append("  TRACK %02d MODE1/2352" % n)
        lines.append("    INDEX 01 00:00:00")
    with open(os.path.join(args.folder, "image.cue"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
