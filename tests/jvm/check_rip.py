#!/usr/bin/env python3
"""Usage: check_rip.py TOC FOLDER OUTPUT [--offset N] [--tracks 1,3] [--unreadable LBA,...]
                      [--unconfirmed LBA,...] [--reread N] [--gone-at LBA]
                      [--single-reads LBA:COUNT,... --read-log FILE]

Checks a rip of the fake drive's disc made by the command line's --rip: every WAVE file in
FOLDER holds exactly the samples the disc holds at that read offset, computed here from the
fake drive's rule (the sample at position p, counted from logical block 0, is
p * 2654435761 + 12345 modulo 2^32; silence where p + offset falls before the disc's start
or at or after the audio session's lead-out, and in the sectors listed unreadable), and
each line of OUTPUT gives the checksums that whipper's accuraterip-checksum and zlib compute
for that file. With --gone-at, the disc went away at that block: the last track written
holds only a prefix of its samples, and has no line. The samples of sectors listed
unconfirmed (whose reads never agreed) are not compared; the checksums still are. With
--single-reads, the fake drive's log of READ CDs (FAKE_CDROM_READ_LOG) holds that many reads
of that sector alone.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import zlib

SAMPLES_PER_SECTOR = 588
LEAD_IN = 150
SESSION_GAP = 11400


def read_toc(path):
    words = []
    for line in open(path):
        words += line.split("#")[0].split()
    first, last, lead_out = (int(w) for w in words[:3])
    starts = [int(w.rstrip("d")) for w in words[3:]]
    data = [w.endswith("d") for w in words[3:]]
    return first, last, lead_out, starts, data


def audio_tracks(toc):
    first, last, lead_out, starts, data = toc
    numbers = [first + i for i, d in enumerate(data) if not d]
    last_audio = numbers[-1]
    index = last_audio - first
    if index + 1 < len(starts):
        session_end = starts[index + 1] - SESSION_GAP
        audio_lead_out = session_end if session_end > starts[index] else starts[index + 1]
    else:
        audio_lead_out = lead_out
    spans = {}
    for number in numbers:
        i = number - first
        end = audio_lead_out if number == last_audio else starts[i + 1]
        spans[number] = (starts[i] - LEAD_IN, end - LEAD_IN)
    return spans, audio_lead_out - LEAD_IN


def expected_samples(span, offset, readable_end, unreadable):
    start, end = span
    values = []
    limit = readable_end * SAMPLES_PER_SECTOR
    for p in range(start * SAMPLES_PER_SECTOR, end * SAMPLES_PER_SECTOR):
        q = p + offset
        silent = q < 0 or q >= limit or q // SAMPLES_PER_SECTOR in unreadable
        values.append(0 if silent else (p * 2654435761 + 12345) & 0xFFFFFFFF)
    return struct.pack("<%dI" % len(values), *values)


def without(samples, span, offset, sectors):
    """The samples with those read from `sectors` zeroed."""
    kept = bytearray(samples)
    for sector in sectors:
        first = sector * SAMPLES_PER_SECTOR - offset - span[0] * SAMPLES_PER_SECTOR
        for i in range(max(first, 0), min(first + SAMPLES_PER_SECTOR, len(kept) // 4)):
            kept[4 * i:4 * i + 4] = bytes(4)
    return bytes(kept)


def wave_data(path):
    with open(path, "rb") as f:
        header = f.read(44)
        data = f.read()
    riff, riff_size, wave, fmt, fmt_size, pcm, channels, rate, byte_rate, align, bits, chunk, \
        size = struct.unpack("<4sI4s4sIHHIIHH4sI", header)
    if (riff, riff_size, wave, fmt, fmt_size, pcm, channels, rate, byte_rate, align, bits,
            chunk) != (b"RIFF", 36 + size, b"WAVE", b"fmt ", 16, 1, 2, 44100, 176400, 4, 16,
                       b"data"):
        raise ValueError("%s: not the header of a WAVE file of CD audio" % path)
    return data, size


def accuraterip(path, number, total, version):
    result = subprocess.run(["accuraterip-checksum", "--accuraterip-v%d" % version, path,
                             str(number), str(total)], capture_output=True, text=True, check=True)
    return result.stdout.strip().upper()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("toc")
    parser.add_argument("folder")
    parser.add_argument("output")
    parser.add_argument("--offset", type=int, default=0)
    parser.add_argument("--tracks", default="")
    parser.add_argument("--unreadable", default="")
    parser.add_argument("--unconfirmed", default="")
    parser.add_argument("--reread", type=int, default=0)
    parser.add_argument("--gone-at", type=int)
    parser.add_argument("--single-reads", default="")
    parser.add_argument("--read-log")
    args = parser.parse_args()

    toc = read_toc(args.toc)
    spans, readable_end = audio_tracks(toc)
    numbers = sorted(spans) if not args.tracks else [int(n) for n in args.tracks.split(",")]
    unreadable = {int(n) for n in args.unreadable.split(",") if n}
    unconfirmed = {int(n) for n in args.unconfirmed.split(",") if n}
    lines = {}
    for line in open(args.output):
        match = re.fullmatch(r"(\d\d) v1 ([0-9A-F]{8}) v2 ([0-9A-F]{8}) crc32 ([0-9A-F]{8}) "
                             r"reread (\d+)\n", line)
        if not match:
            print("a line not of a track: %r" % line)
            return 1
        lines[int(match.group(1))] = match.groups()[1:]

    failed = False
    rereads = 0
    if args.gone_at is not None:
        partial = [n for n in numbers if spans[n][1] > args.gone_at][0]
        numbers = numbers[:numbers.index(partial) + 1]
    written = sorted(int(name[5:7]) for name in os.listdir(args.folder))
    if written != numbers:
        print("tracks written: %s, wanted %s" % (written, numbers))
        return 1
    for number in numbers:
        path = os.path.join(args.folder, "track%02d.wav" % number)
        data, size = wave_data(path)
        wanted = expected_samples(spans[number], args.offset, readable_end, unreadable)
        if size != len(wanted):
            print("track %d: the header gives %d bytes, the track has %d" %
                  (number, size, len(wanted)))
            failed = True
        if args.gone_at is not None and number == numbers[-1]:
            if number in lines or len(data) >= len(wanted) or data != wanted[:len(data)]:
                print("track %d: %d bytes written before the disc went away are not the "
                      "track's first (or a line was printed)" % (number, len(data)))
                failed = True
            continue
        compared = data
        if unconfirmed:
            compared, wanted = without(data, spans[number], args.offset, unconfirmed), \
                without(wanted, spans[number], args.offset, unconfirmed)
        if compared != wanted:
            at = next(i for i in range(len(wanted)) if compared[i] != wanted[i]) \
                if len(compared) == len(wanted) else min(len(compared), len(wanted))
            print("track %d: the samples differ from byte %d on (%d bytes, %d wanted)" %
                  (number, at, len(data), len(wanted)))
            failed = True
        # The peer counts from the disc's first track, whatever its number, to the last audio
        # track.
        position, total = number - toc[0] + 1, max(spans) - toc[0] + 1
        peers = (accuraterip(path, position, total, 1), accuraterip(path, position, total, 2),
                 "%08X" % zlib.crc32(data))
        if number not in lines or lines[number][:3] != peers:
            print("track %d: the line gives %s, accuraterip-checksum and zlib %s" %
                  (number, lines.get(number), peers))
            failed = True
        else:
            rereads += int(lines[number][3])
    if rereads != args.reread:
        print("sectors read again: %d, wanted %d" % (rereads, args.reread))
        failed = True
    reads = open(args.read_log).read().split("\n") if args.read_log else []
    for wanted in filter(None, args.single_reads.split(",")):
        sector, count = wanted.split(":")
        made = reads.count("read %s 1" % sector)
        if made != int(count):
            print("sector %s read alone %d times, wanted %s" % (sector, made, count))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
