"""Writes CUE images whose BINARY files hold known audio, for reading from CDEmu's drive.

Usage: audio_image.py FOLDER [layout]
Writes FOLDER/audio.cue, three audio tracks of 10, 12 and 8 seconds, and
FOLDER/enhanced.cue, two audio tracks and a data track in a second session, each track a
file of its own. With "layout", FOLDER/layout.toc instead, in cdrdao's format (CDEmu takes
pregaps, index points and pre-emphasis from it): 6 seconds of audio before track 1, a
pregap of 2 seconds and an index point 5 seconds into track 2, pre-emphasis on tracks 1 and
3, the whole disc one file (layout.bin, big-endian as cdrdao's files are); prints the layout
as --layout prints it. The sample at position p of the disc (counted in samples from logical
block 0, 588 a sector) is p * 2654435761 + 12345 modulo 2^32, its low 16 bits the left
channel, little-endian as BINARY files hold them; so a track's file is the track's samples.
Prints each audio track as "IMAGE TRACK FILE", one a line. Also FOLDER/shifted.cue, the
three tracks of audio.cue as a drive of read offset +667 returns them (its sample p the
disc's p - 667), with FOLDER/shifted.bin, the AccurateRip answer for the disc built from the
unshifted samples: each track's checksum of frame 450, and track 2's v1 checksum. With
"mixed", FOLDER/mixed.cue instead: a Mixed Mode disc, a data track of 600 blocks, then audio
tracks of 9 and 7 seconds, the first with a pregap of 2 seconds in the data track's file.
"""
import os
import struct
import sys

SAMPLES_PER_SECTOR = 588
FRAMES_PER_SECOND = 75
DRIVE_OFFSET = 667


def sample(p):
    return (p * 2654435761 + 12345) & 0xFFFFFFFF if p >= 0 else 0


def samples(first_block, blocks, shift=0):
    start = first_block * SAMPLES_PER_SECTOR
    return struct.pack("<%dI" % (blocks * SAMPLES_PER_SECTOR),
                       *(sample(p - shift) for p in range(start, start + blocks * SAMPLES_PER_SECTOR)))


def write_answer(path, seconds):
    """The dBAR answer for a disc of audio tracks of these lengths, one pressing."""
    starts = [sum(seconds[:i]) * FRAMES_PER_SECOND for i in range(len(seconds) + 1)]
    digits = sum(sum(int(d) for d in str((start + 150) // FRAMES_PER_SECOND))
                 for start in starts[:-1])
    freedb = (digits % 255) << 24 | (starts[-1] // FRAMES_PER_SECOND) << 8 | len(seconds)
    weighted = sum(max(start, 1) * n for n, start in enumerate(starts[:-1], 1))
    answer = struct.pack("<B3I", len(seconds), sum(starts) & 0xFFFFFFFF,
                         (weighted + starts[-1] * (len(seconds) + 1)) & 0xFFFFFFFF, freedb)
    for number, (start, end) in enumerate(zip(starts, starts[1:]), 1):
        first = (start + 450) * SAMPLES_PER_SECTOR
        frame = sum((i + 1) * sample(first + i) for i in range(SAMPLES_PER_SECTOR))
        whole = sum((i + 1) * sample(start * SAMPLES_PER_SECTOR + i)
                    for i in range((end - start) * SAMPLES_PER_SECTOR)) if number == 2 else 0
        answer += struct.pack("<BII", 5, whole & 0xFFFFFFFF, frame & 0xFFFFFFFF)
    with open(path, "wb") as out:
        out.write(answer)


def write_image(folder, name, seconds, data_blocks=0, shift=0):
    lines = []
    block = 0
    for number, length in enumerate(seconds, 1):
        file = "%s-%02d.bin" % (name, number)
        with open(os.path.join(folder, file), "wb") as out:
            out.write(samples(block, length * FRAMES_PER_SECOND, shift))
        block += length * FRAMES_PER_SECOND
        lines += ['FILE "%s" BINARY' % file, "  TRACK %02d AUDIO" % number,
                  "    INDEX 01 00:00:00"]
        if not shift:
            print(name + ".cue", number, file)
    if data_blocks:
        file = "%s-data.iso" % name
        with open(os.path.join(folder, file), "wb") as out:
            out.write(bytes(2048 * data_blocks))
        lines = ["REM SESSION 01"] + lines + [
            "REM SESSION 02", 'FILE "%s" BINARY' % file,
            "  TRACK %02d MODE1/2048" % (len(seconds) + 1), "    INDEX 01 00:00:00"]
    with open(os.path.join(folder, name + ".cue"), "w") as cue:
        cue.write("\n".join(lines) + "\n")


def write_mixed_image(folder):
    with open(os.path.join(folder, "mixed-data.iso"), "wb") as out:
        out.write(bytes(2048 * 600))
    with open(os.path.join(folder, "mixed-audio.bin"), "wb") as out:
        out.write(samples(600 + 150, 16 * FRAMES_PER_SECOND))
    with open(os.path.join(folder, "mixed.cue"), "w") as cue:
        cue.write("\n".join([
            'FILE "mixed-data.iso" BINARY', "  TRACK 01 MODE1/2048", "    INDEX 01 00:00:00",
            'FILE "mixed-audio.bin" BINARY', "  TRACK 02 AUDIO", "    PREGAP 00:02:00",
            "    INDEX 01 00:00:00", "  TRACK 03 AUDIO", "    INDEX 01 00:09:00", ""]))


def write_layout_image(folder):
    # cdrdao's audio files hold big-endian samples.
    little = samples(0, 2850)
    big = bytearray(len(little))
    big[0::2], big[1::2] = little[1::2], little[0::2]
    with open(os.path.join(folder, "layout.bin"), "wb") as out:
        out.write(big)
    with open(os.path.join(folder, "layout.toc"), "w") as toc:
        toc.write("\n".join([
            "CD_DA", "",
            "TRACK AUDIO", "PRE_EMPHASIS", 'FILE "layout.bin" 0 00:16:00', "START 00:06:00", "",
            "TRACK AUDIO", 'FILE "layout.bin" 00:16:00 00:14:00', "START 00:02:00",
            "INDEX 00:05:00", "",
            "TRACK AUDIO", "PRE_EMPHASIS", 'FILE "layout.bin" 00:30:00 00:08:00', ""]))
    print("track 1 pregap 150 450 indexes pre-emphasis BOTH")
    print("track 2 pregap 1350 150 indexes 1875 pre-emphasis NONE")
    print("track 3 pregap 2400 0 indexes pre-emphasis BOTH")
    print("hidden 450 audio")


if __name__ == "__main__":
    if sys.argv[2:] == ["layout"]:
        write_layout_image(sys.argv[1])
        sys.exit(0)
    if sys.argv[2:] == ["mixed"]:
        write_mixed_image(sys.argv[1])
        sys.exit(0)
    write_image(sys.argv[1], "audio", [10, 12, 8])
    write_image(sys.argv[1], "enhanced", [9, 7], data_blocks=600)
    write_image(sys.argv[1], "shifted", [10, 12, 8], shift=DRIVE_OFFSET)
    write_answer(os.path.join(sys.argv[1], "shifted.bin"), [10, 12, 8])
