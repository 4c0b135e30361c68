"""Checks a rip's rip.log against the folder it describes: its last line the SHA-256 of the
rest, every file it names there, each track file's samples with the log's copy CRC, and the
summary saying the rip ran to its end or, with --incomplete, that it did not.

Usage: check_log.py FOLDER [--incomplete]"""
import argparse
import hashlib
import os
import re
import sys
import zlib

HASH_LINE = b"Log SHA-256 (catches accidental changes, not forgery) "


def hash_holds(text):
    body, last = text[:-1].rsplit(b"\n", 1)
    return last == HASH_LINE + hashlib.sha256(body + b"\n").hexdigest().encode()


def problems(folder, incomplete, cut=()):
    """What is wrong with the folder's log, one line each. The files `cut` hold less than the
    track whose copy CRC the log gives (pregaps left out)."""
    path = os.path.join(folder, "rip.log")
    if not os.path.exists(path):
        return ["no rip.log in %s: %s" % (folder, sorted(os.listdir(folder)))]
    text = open(path, "rb").read()
    found = []
    if not hash_holds(text):
        found.append("rip.log's last line is not the SHA-256 of the rest")
    log = text.decode()
    copies = re.findall(r"^  File: (.*)\n(?:  .*\n)*?  Copy CRC: ([0-9A-F]{8})$", log, re.M)
    names = [name for name, _ in copies]
    for name, crc in copies:
        file = os.path.join(folder, name)
        if not os.path.exists(file):
            found.append("rip.log names %s, which is not there" % name)
        elif names.count(name) == 1 and name not in cut and "%08X" % zlib.crc32(open(file, "rb").read()[44:]) != crc:
            found.append("%s: its samples are not those of the log's copy CRC %s" % (name, crc))
    stopped = "  Rip incomplete: " in log
    if stopped != incomplete:
        found.append("rip.log says the rip %s" % ("did not finish" if stopped else "finished"))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--incomplete", action="store_true")
    args = parser.parse_args()
    found = problems(args.folder, args.incomplete)
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
