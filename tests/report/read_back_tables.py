#!/usr/bin/env python3
"""Reads the tables of a run on hostile names back as users do.

Run by hand: python3 tests/report/read_back_tables.py build/app/tovaquor
Writes a data file whose sample and allele names hold every control
character a name line can hold, quotes, backslashes, formula starts and
bytes that are not UTF-8, runs the program with --tables --html, and checks
that Python's csv module (and pandas, when installed) give every name back
exactly, once the documented marking of non-UTF-8 bytes is undone, and that
the page is valid UTF-8 without raw control characters.
"""
import csv
import os
import re
import subprocess
import sys
import tempfile

REPLACEMENT = "\ufffd"


def unmarked(text):
    """The bytes of a name written in marked UTF-8 (see docs/output-files.md)."""
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != REPLACEMENT:
            out += c.encode("utf-8")
            i += 1
        elif text[i + 1 : i + 2] == REPLACEMENT:
            out += REPLACEMENT.encode("utf-8")
            i += 2
        else:
            out.append(int(text[i + 1 : i + 3], 16))
            i += 3
    return bytes(out)


# A sample name is the rest of its line: anything but a line feed (a
# carriage return at its end is the line's ending, not the name's).
controls = bytes(c for c in range(32) if c not in (10, 13))
SAMPLES = [
    b"tab\there",
    b"cr\rinside",
    b'"quoted" start',
    b'inner "quote" and ""two""',
    b"back\\slash \\t not a tab",
    b"back\\tslash",
    b"controls " + controls + b"\x7f end",
    b"latin-1 Montr\xe9al \xff\xfe",
    b"truncated \xe2\x82",
    b"literal \xef\xbf\xbd replacement and \xef\xbf\xbdE9",
    b"=1+2",
    b"+cmd",
    b"-2",
    b"@SUM(A1)",
    b"\x1b[31mred\x1b[0m",
    b"trailing spaces  ",  # the reader drops the blanks before a name
]
ALLELES = [b'"a"', b"b\\c", b"d\xff", b"e\x01f", b"=g"]


def data_file():
    lines = [b"%d 3 2" % len(SAMPLES)]
    for name in SAMPLES:
        lines.append(b"4 " + name)
        for k in range(4):
            a1 = ALLELES[k % len(ALLELES)]
            a2 = ALLELES[(k + 1) % len(ALLELES)]
            lines += [b"I%d 0 0" % (k + 1), a1 + b" X", a2 + b" Y"]
    return b"\n".join(lines) + b"\n"


def main():
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/app/tovaquor")
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        base = b"odd\tdata \xff\"file\""
        with open(os.path.join(folder.encode(), base + b".mbd"), "wb") as f:
            f.write(data_file())
        run = subprocess.run([program, "--tables", "--html", base, "5"], cwd=folder,
                             capture_output=True)
        if run.returncode != 0:
            failures.append("status %d: %r" % (run.returncode, run.stderr))
        if re.search(rb"[\x00-\x08\x0b-\x1f\x7f]", run.stderr):
            failures.append("raw control character on standard error: %r" % run.stderr)
        tables = {}
        for kind in ("summary", "alleles", "haplotypes", "simulated"):
            path = os.path.join(folder.encode(), base + b"." + kind.encode() + b".tsv")
            with open(path, newline="", encoding="utf-8") as f:
                tables[kind] = list(csv.DictReader(f, delimiter="\t"))
        names = [unmarked(r["sample"]) for r in tables["summary"]]
        if names != SAMPLES:
            failures.append("csv sample names: %r" % names)
        files = {unmarked(r["data_file"]) for r in tables["summary"]}
        if files != {base + b".mbd"}:
            failures.append("csv data file names: %r" % files)
        alleles = {unmarked(r["allele"]) for r in tables["alleles"]} - {b"#"}
        if not alleles >= set(ALLELES):
            failures.append("csv allele names: %r" % alleles)
        for kind, rows in tables.items():
            if {unmarked(r["sample"]) for r in rows} != set(SAMPLES):
                failures.append("csv %s: samples differ" % kind)
        try:
            import pandas

            path = os.path.join(folder.encode(), base + b".summary.tsv")
            frame = pandas.read_csv(path.decode("utf-8", "surrogateescape"), sep="\t",
                                    dtype=str, keep_default_na=False)
            if [unmarked(n) for n in frame["sample"]] != SAMPLES:
                failures.append("pandas sample names differ")
        except ImportError:
            print("pandas not installed: read with the csv module only")
        page = open(os.path.join(folder.encode(), base + b".html"), "rb").read()
        try:
            text = page.decode("utf-8")
            if re.search(r"[\x00-\x08\x0b\x0c\x0e-\x1f\x7f-\x9f]", text):
                failures.append("control character in the page")
        except UnicodeDecodeError as e:
            failures.append("page is not UTF-8: %s" % e)
    for failure in failures:
        print("FAIL", failure)
    print("%d checks failed" % len(failures) if failures else "all names read back")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
