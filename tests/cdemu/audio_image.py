"""Writes CUE images whose BINARY files hold known audio, for reading from CDEmu's drive.

Usage: audio_image.py FOLDER
Writes FOLDER/audio.cue, three audio tracks of 10, 12 and 8 seconds, and
FOLDER/enhanced.cue, two audio tracks and a data track in a second session, each track a
file of its own. The sample at position p of the disc (counted in samples from logical
block 0, 588 a sector) is p * 2654435761 + 12345 modulo 2^32, its low 16 bits the left
channel, little-endian as BINARY files hold them; so a track's file is the track's samples.
Prints each audio track as "IMAGE TRACK FILE", one a line.
"""
import os
import struct
import sys

SAMPLES_PER_SECTOR = 588
FRAMES_PER_SECOND = 75


def samples(first_block, blocks):
    start = first_block * SAMPLES_PER_SECTOR
    return struct.pack("<%dI" % (blocks * SAMPLES_PER_SECTOR),
                       *((p * 2654435761 + 12345) & 0xFFFFFFFF
                         for p in range(start, start + blocks * SAMPLES_PER_SECTOR)))


def write_image(folder, name, seconds, data_blocks=0):
    lines = []
    block = 0
    for number, length in enumerate(seconds, 1):
        file = "%s-%02d.bin" % (name, number)
        with open(os.path.join(folder, file), "wb") as out:
            out.write(samples(block, length * FRAMES_PER_SECOND))
        block += length * FRAMES_PER_SECOND
        lines += ['FILE "%s" BINARY' % file, "  TRACK %02d AUDIO" % number,
                  "    INDEX 01 00:00:00"]
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


if __name__ == "__main__":
    write_image(sys.argv[1], "audio", [10, 12, 8])
    write_image(sys.argv[1], "enhanced", [9, 7], data_blocks=600)
