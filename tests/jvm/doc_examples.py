#!/usr/bin/env python3
"""Usage: doc_examples.py JAVAC JAVA TOCMATE-JAR LIBRARY-FOLDER FAKE-DRIVE-LIBRARY DISC.toc...
                        -- MARKDOWN...

Every Java example of the documentation compiles as it stands against the jar, for Java 8: a
whole class, or imports and the body of a main. Then each runs against the fake drive holding
each DISC in turn and must end with status 0 within a minute; the drive the examples name
("/dev/sr0", or the first drive) is the fake one. An example after the line
"<!-- compile only: REASON -->" (one that needs the network, say) is only compiled.
"""
import os
import re
import subprocess
import sys
import tempfile

FENCE = "```java"
COMPILE_ONLY = re.compile(r"<!-- compile only: .+ -->")


def examples(path):
    """(name, source lines, runs) of each example of a Markdown file."""
    lines = open(path, encoding="utf-8").read().split("\n")
    found = []
    for i, line in enumerate(lines):
        if line.strip() != FENCE:
            continue
        end = lines.index("```", i + 1)
        runs = not (i > 0 and COMPILE_ONLY.fullmatch(lines[i - 1].strip()))
        name = "%s_%d" % (re.sub(r"\W", "_", os.path.basename(path)), i + 1)
        found.append((name, lines[i + 1:end], runs))
    return found


def as_class(name, lines):
    """The example as a compilation unit, and its class's name."""
    text = "\n".join(lines)
    whole = re.search(r"^(?:public\s+)?(?:final\s+)?class\s+(\w+)", text, re.M)
    if whole:
        return whole.group(1), text
    imports = [line for line in lines if line.startswith("import ")]
    body = [line for line in lines if not line.startswith("import ")]
    return name, "\n".join(imports + ["public class %s {" % name,
                                      "  public static void main(String[] args) throws Exception {"]
                           + ["    " + line for line in body] + ["  }", "}"])


def on_fake_drive(source):
    """The source with the drive the documentation names made the fake drive's."""
    drive = 'System.getenv("TOCMATE_DRIVE")'
    source = source.replace('"/dev/sr0"', drive)
    return re.sub(r"\b(Disc\.read|DiscAudio\.open)\(\)", r"\1(%s)" % drive, source)


def compile_all(javac, jar, units, folder):
    """Compiles {class: source}; javac's complaints, empty when all compiled."""
    os.makedirs(folder)
    paths = []
    for name, source in units.items():
        paths.append(os.path.join(folder, name + ".java"))
        with open(paths[-1], "w", encoding="utf-8") as f:
            f.write(source)
    result = subprocess.run([javac, "--release", "8", "-nowarn", "-cp", jar, "-d", folder]
                            + paths, capture_output=True, text=True)
    return "" if result.returncode == 0 else result.stdout + result.stderr


def main():
    split = sys.argv.index("--")
    javac, java, jar, library, fake = sys.argv[1:6]
    discs, docs = sys.argv[6:split], sys.argv[split + 1:]
    found = [(doc, *example) for doc in docs for example in examples(doc)]
    if not found:
        print("FAILED: no Java example in %s" % " ".join(docs))
        return 1
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        written, running = {}, {}
        for doc, name, lines, runs in found:
            cls, source = as_class(name, lines)
            written[cls] = source
            if runs:
                running[cls] = on_fake_drive(source)
        complaints = compile_all(javac, jar, written, os.path.join(tmp, "as-written"))
        if complaints:
            print("FAILED: examples that do not compile as written:\n" + complaints)
            return 1
        print("ok: %d examples compile as written" % len(written))
        classes = os.path.join(tmp, "on-fake-drive")
        complaints = compile_all(javac, jar, running, classes)
        if complaints:
            print("FAILED: examples made to name the fake drive:\n" + complaints)
            return 1
        here = os.path.dirname(os.path.abspath(__file__))
        for disc in discs:
            for cls in running:
                work = tempfile.mkdtemp(dir=tmp)
                command = ["bash", os.path.join(here, "..", "fakedrive", "with_fake_drive.sh"),
                           fake, disc, java, "-Djava.library.path=" + library,
                           "-cp", jar + os.pathsep + classes, cls]
                try:
                    result = subprocess.run(command, cwd=work, capture_output=True, text=True,
                                            timeout=60)
                    status, output = result.returncode, result.stdout + result.stderr
                except subprocess.TimeoutExpired:
                    status, output = "a timeout", ""
                what = "%s on %s" % (cls, os.path.basename(disc))
                if status != 0:
                    print("FAILED: %s: exit %s\n%s" % (what, status, output))
                    failed = 1
                else:
                    print("ok: %s runs" % what)
    return failed


if __name__ == "__main__":
    sys.exit(main())
