#!/usr/bin/env python3
"""Usage: check_rip.py TOC FOLDER OUTPUT [--offset N] [--tracks 1,3] [--unreadable LBA,...]
                      [--unconfirmed LBA,...] [--reread N] [--gone-at LBA] [--hidden]
                      [--wrong LBA,...] [--counts FILE --disc-reads-at-most N
                      --disc-reads-at-least N] [--confirmed HOW --test-crc TRACK,...]
                      [--fua-before LBA,...]
                      [--single-reads LBA:COUNT,... --read-log FILE]
                      [--trim TRACK:SECTORS,...] [--cue SHEET] [--image]

Checks a rip of the fake drive's disc made by the command line's --rip: every WAVE file in
FOLDER holds exactly the samples the disc holds at that read offset, computed here from the
fake drive's rule (the sample at position p, counted from logical block 0, is
p * 2654435761 + 12345 modulo 2^32; silence where p + offset falls before the disc's start,
in a data track, at or after the audio session's lead-out, and in the sectors listed
unreadable), and each line of OUTPUT gives the checksums that whipper's accuraterip-checksum
and zlib compute for that file, the track counted among the disc's audio tracks. With
--gone-at, the disc went away at that block: the track it was in has neither file nor line,
and no file of its making is left. The samples of sectors listed unconfirmed (whose reads
never agreed) are not compared; the checksums still are. Those listed wrong must differ
from the disc's: a fault the case shows. With --counts (the fake drive's
FAKE_CDROM_READ_COUNTS file), the sectors read from the disc, against the audio tracks'
sectors, must be at most --disc-reads-at-most and at least --disc-reads-at-least. With
--confirmed, rip.log's "Confirmed:" line of every track says HOW ("accuraterip:CONFIDENCE",
"reads" for reads that agreed, "no"), and it gives a test CRC for
the tracks of --test-crc alone. With
--single-reads, the fake drive's log of READ CDs (FAKE_CDROM_READ_LOG) holds that many reads
of that sector alone.
With --hidden, track00.wav holds what lies before the first track, and a line "00 crc32"
its CRC; --trim says which files lack their last sectors (pregaps left out); --cue gives
the CUE sheet disc.cue must hold; --image: disc.wav holds it all, what lies before the first
track first. rip.log matches the files (check_log.py), and says the rip did not finish
where the disc went away.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import zlib

import check_log

SAMPLES_PER_SECTOR = 588
LEAD_IN = 150
SESSION_GAP = 11400


def read_toc(path):
    words = []
    for line in open(path):
        if not re.match(r"\s*(catalog|isrc|cdtext)", line):
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
    return spans


def expected_samples(span, offset, spans, unreadable):
    start, end = span
    values = []
    for p in range(start * SAMPLES_PER_SECTOR, end * SAMPLES_PER_SECTOR):
        q = p + offset
        sector = q // SAMPLES_PER_SECTOR
        silent = sector in unreadable or not any(a <= sector < b for a, b in spans.values())
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


def confirmations_hold(args, numbers):
    """Whether rip.log says each track was confirmed as --confirmed says, and gives a test CRC
    for the tracks of --test-crc alone."""
    log = open(os.path.join(args.folder, "rip.log")).read()
    tested = {int(n) for n in args.test_crc.split(",") if n}
    held = True
    for number in numbers:
        entry = re.search(r"^Track %d\n((?:  .*\n)*)" % number, log, re.M).group(1)
        confirmed = re.search(r"^  Confirmed: (.*)$", entry, re.M)
        how = args.confirmed.split(":")
        wanted = {"reads": "by reads that agreed", "no": "no"}.get(how[0]) or \
            "by AccurateRip, confidence %s" % how[1]
        if not confirmed or confirmed.group(1) != wanted:
            print("track %d: rip.log says it was confirmed %s, wanted %s" %
                  (number, confirmed and confirmed.group(1), wanted))
            held = False
        test = re.search(r"^  Test CRC: ([0-9A-F]{8}) ", entry, re.M)
        if bool(test) != (number in tested):
            print("track %d: rip.log gives %s test CRC" % (number, "a" if test else "no"))
            held = False
    return held


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
    parser.add_argument("--wrong", default="")
    parser.add_argument("--counts")
    parser.add_argument("--disc-reads-at-most", type=float)
    parser.add_argument("--disc-reads-at-least", type=float, default=0)
    parser.add_argument("--confirmed")
    parser.add_argument("--test-crc", default="")
    parser.add_argument("--single-reads", default="")
    parser.add_argument("--read-log")
    parser.add_argument("--fua-before", default="")
    parser.add_argument("--hidden", action="store_true")
    parser.add_argument("--trim", default="")
    parser.add_argument("--cue")
    parser.add_argument("--image", action="store_true")
    args = parser.parse_args()

    toc = read_toc(args.toc)
    spans = audio_tracks(toc)
    audio_numbers = sorted(spans)
    # What the drive reads as audio: the tracks, and the first track's pregap where it is audio.
    audible = dict(spans)
    if not toc[4][0]:
        audible[-1] = (0, toc[3][0] - LEAD_IN)
    trims = dict(tuple(int(n) for n in pair.split(":")) for pair in args.trim.split(",") if pair)
    numbers = sorted(spans) if not args.tracks else [int(n) for n in args.tracks.split(",")]
    unreadable = {int(n) for n in args.unreadable.split(",") if n}
    unconfirmed = {int(n) for n in args.unconfirmed.split(",") if n}
    wrong = {int(n) for n in args.wrong.split(",") if n}
    lines = {}
    printed = open(args.output).readlines()
    for line in printed:
        hidden = re.fullmatch(r"00 crc32 ([0-9A-F]{8})\n", line)
        if hidden and args.hidden:
            lines[0] = (None, None, hidden.group(1), "0")
            continue
        match = re.fullmatch(r"(\d\d) v1 ([0-9A-F]{8}) v2 ([0-9A-F]{8}) crc32 ([0-9A-F]{8}) "
                             r"reread (\d+)(?: confidence \d+)?\n", line)
        if not match:
            print("a line not of a track: %r" % line)
            return 1
        lines[int(match.group(1))] = match.groups()[1:]

    failed = False
    rereads = 0
    if args.gone_at is not None:
        partial = [n for n in numbers if spans[n][1] > args.gone_at][0]
        numbers = numbers[:numbers.index(partial)]
    log_problems = check_log.problems(args.folder, args.gone_at is not None,
                                      ["track%02d.wav" % n for n in trims])
    if log_problems:
        print("\n".join(log_problems))
        return 1
    if args.cue and open(os.path.join(args.folder, "disc.cue"), newline="").read() != \
            open(args.cue, newline="").read().replace("\r\n", "\n").replace("\n", "\r\n"):
        print("disc.cue is not %s" % args.cue)
        return 1
    if args.hidden:
        spans[0] = (0, toc[3][0] - LEAD_IN)
        numbers = [0] + numbers
    if args.image:
        data, size = wave_data(os.path.join(args.folder, "disc.wav"))
        wanted = b"".join(expected_samples(spans[n], args.offset, audible, unreadable)
                          for n in numbers)
        if data != wanted or size != len(wanted):
            print("disc.wav does not hold the disc's %d bytes" % len(wanted))
            return 1
        return 0
    names = sorted(os.listdir(args.folder))
    written = [int(name[5:7]) for name in names if re.fullmatch(r"track\d\d\.wav", name)]
    others = [name for name in names
              if not re.fullmatch(r"track\d\d\.wav", name) and name not in ("rip.log", "disc.cue")]
    if written != numbers or others:
        print("files written: %s, wanted tracks %s" % (names, numbers))
        return 1
    for number in numbers:
        path = os.path.join(args.folder, "track%02d.wav" % number)
        data, size = wave_data(path)
        wanted = expected_samples(spans[number], args.offset, audible, unreadable)
        full = wanted
        if number in trims:
            wanted = wanted[:len(wanted) - trims[number] * SAMPLES_PER_SECTOR * 4]
        if size != len(wanted):
            print("track %d: the header gives %d bytes, the track has %d" %
                  (number, size, len(wanted)))
            failed = True
        compared = data
        if any(start <= sector < end for sector in wrong for start, end in [spans[number]]):
            if data == wanted:
                print("track %d: the samples are right, though the case shows a wrong sector"
                      % number)
                failed = True
        if unconfirmed | wrong:
            compared, wanted = without(data, spans[number], args.offset, unconfirmed | wrong), \
                without(wanted, spans[number], args.offset, unconfirmed | wrong)
        if compared != wanted:
            at = next(i for i in range(len(wanted)) if compared[i] != wanted[i]) \
                if len(compared) == len(wanted) else min(len(compared), len(wanted))
            print("track %d: the samples differ from byte %d on (%d bytes, %d wanted)" %
                  (number, at, len(data), len(wanted)))
            failed = True
        if number == 0:
            peers = (None, None, "%08X" % zlib.crc32(data))
        elif number in trims:  # the checksums are the whole track's
            peers = lines.get(number, (None,))[:2] + ("%08X" % zlib.crc32(full),)
        else:
            index, total = audio_numbers.index(number) + 1, len(audio_numbers)
            peers = (accuraterip(path, index, total, 1), accuraterip(path, index, total, 2),
                     "%08X" % zlib.crc32(data))
        if number not in lines or lines[number][:3] != peers:
            print("track %d: the line gives %s, accuraterip-checksum and zlib %s" %
                  (number, lines.get(number), peers))
            failed = True
        else:
            rereads += int(lines[number][3])
    if len(printed) != len(numbers):
        print("%d lines for %d tracks" % (len(printed), len(numbers)))
        failed = True
    if args.counts:
        disc_reads = int(open(args.counts).read().split()[1])
        sectors = sum(end - start for start, end in spans.values())
        print("disc reads a sector: %.3f" % (disc_reads / sectors))
        if disc_reads < args.disc_reads_at_least * sectors:
            print("%d sectors read from the disc for %d: fewer than %s a sector" %
                  (disc_reads, sectors, args.disc_reads_at_least))
            failed = True
        if args.disc_reads_at_most and disc_reads > args.disc_reads_at_most * sectors:
            print("%d sectors read from the disc for %d: more than %s a sector" %
                  (disc_reads, sectors, args.disc_reads_at_most))
            failed = True
    if args.confirmed and not confirmations_hold(args, numbers):
        failed = True
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
    # Each read alone of these sectors comes right after a FUA drop of it.
    for sector in filter(None, args.fua_before.split(",")):
        alone = [i for i, line in enumerate(reads) if line == "read %s 1" % sector]
        if not alone or any(i == 0 or reads[i - 1] != "fua %s" % sector for i in alone):
            print("sector %s: read alone %d times, not each right after a FUA drop of it"
                  % (sector, len(alone)))
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
