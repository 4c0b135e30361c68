#!/usr/bin/env python3
"""Checks the relative links of the documentation.

Usage: docs_links.py SOURCE-FOLDER

Every Markdown file at the top of SOURCE-FOLDER and in its docs/ folder is read. Each link
that is not an address (https:, mailto:, ...) must name a file that exists, relative to the
file the link is in, and where it names a heading (#anchor) in a Markdown file, that file
must have a heading whose anchor, as GitHub makes it, is that one. Links and headings in code
(fenced blocks, `inline`) do not count. Prints each broken link and fails if there is one.
"""

import os
import re
import sys

FENCE = re.compile(r"^\s*(```|~~~)")
HEADING = re.compile(r"^ {0,3}(#{1,6})\s+(.*?)\s*#*\s*$")
INLINE_CODE = re.compile(r"(`+)(.+?)\1")
# [text](target) or ![text](target), the target optionally followed by a title.
LINK = re.compile(r"!?\[(?:[^\[\]]|\[[^\]]*\])*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
ADDRESS = re.compile(r"^[a-zA-Z][a-zA-Z0-9+.-]*:")


def prose_lines(path):
    """The file's lines outside fenced code blocks, with their numbers."""
    in_fence = None
    with open(path, encoding="utf-8") as markdown:
        for number, line in enumerate(markdown, 1):
            fence = FENCE.match(line)
            if fence:
                if in_fence is None:
                    in_fence = fence.group(1)
                elif fence.group(1) == in_fence:
                    in_fence = None
                continue
            if in_fence is None:
                yield number, line.rstrip("\n")


def slug(heading):
    """The anchor GitHub gives a heading: its text in lower case, without the punctuation,
    spaces made hyphens."""
    text = INLINE_CODE.sub(lambda code: code.group(2), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link's text only
    text = re.sub(r"<[^>]+>", "", text)  # HTML tags
    text = text.strip().lower()
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def anchors(path):
    """Every heading anchor of a Markdown file; a repeated one gets -1, -2, ... as on GitHub."""
    found = set()
    seen = {}
    for _, line in prose_lines(path):
        heading = HEADING.match(line)
        if not heading:
            continue
        anchor = slug(heading.group(2))
        count = seen.get(anchor, 0)
        seen[anchor] = count + 1
        found.add(anchor if count == 0 else f"{anchor}-{count}")
    return found


def broken_links(path, anchors_of):
    """(line number, target, why) for each broken link of one Markdown file."""
    for number, line in prose_lines(path):
        for target in LINK.findall(INLINE_CODE.sub("", line)):
            if not target or ADDRESS.match(target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) \
                if file_part else path
            if not os.path.exists(linked):
                yield number, target, "no such file"
            elif anchor and linked.endswith(".md") and anchor not in anchors_of(linked):
                yield number, target, "no such heading"


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    source = sys.argv[1]
    pages = sorted(
        os.path.join(folder, name)
        for folder in (source, os.path.join(source, "docs"))
        if os.path.isdir(folder)
        for name in os.listdir(folder)
        if name.endswith(".md"))
    known = {}

    def anchors_of(path):
        if path not in known:
            known[path] = anchors(path)
        return known[path]

    failures = 0
    for page in pages:
        for number, target, why in broken_links(page, anchors_of):
            print(f"{os.path.relpath(page, source)}:{number}: {target}: {why}")
            failures += 1
    if failures:
        return 1
    print(f"ok: the links of {len(pages)} pages")
    return 0


if __name__ == "__main__":
    sys.exit(main())
