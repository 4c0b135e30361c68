"""Whether two sets of a table-of-contents file's extras lines say the same.

Usage: same_lines.py EXPECTED GOT
Each file holds catalog, isrc, cdtext-block and cdtext lines. A text's bytes count, however
written (\\xNN or the character itself); the order of lines does not. Prints the
differences and exits with 1 where there are any.
"""
import re
import sys


def canonical(path):
    with open(path, encoding="latin-1") as lines:
        decoded = (
            re.sub(r"\\x([0-9a-fA-F]{2})", lambda m: chr(int(m.group(1), 16)), line.rstrip("\r\n"))
            for line in lines
        )
        return sorted(line for line in decoded if line.strip())


expected, got = canonical(sys.argv[1]), canonical(sys.argv[2])
if expected != got:
    for line in sorted(set(expected) - set(got)):
        print("missing:  " + ascii(line))
    for line in sorted(set(got) - set(expected)):
        print("extra:    " + ascii(line))
    sys.exit(1)
