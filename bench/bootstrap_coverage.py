#!/usr/bin/env python3
"""How often the bootstrap's 95 % intervals cover the true haplotype
frequencies: samples of nuclear families and singles are simulated from
known frequencies (two loci of three alleles in linkage disequilibrium),
each analysed with --bootstrap, and every true frequency of at least 0.05
checked against its interval.

Usage: bench/bootstrap_coverage.py PATH/TO/tovaquor [DATA_SETS] [REPLICATES]
"""
import csv
import os
import random
import subprocess
import sys
import tempfile

TRUE = {
    ("A1", "B1"): 0.25, ("A1", "B2"): 0.05, ("A1", "B3"): 0.02,
    ("A2", "B1"): 0.05, ("A2", "B2"): 0.20, ("A2", "B3"): 0.08,
    ("A3", "B1"): 0.10, ("A3", "B2"): 0.05, ("A3", "B3"): 0.20,
}
FAMILIES = 50
CHILDREN = 2
SINGLES = 40


def draw(rng):
    return rng.choices(list(TRUE), list(TRUE.values()))[0]


def record(out, ident, p1, p2, h1, h2):
    out.append("%s %s %s" % (ident, p1, p2))
    out.append("%s %s" % h1)
    out.append("%s %s" % h2)


def data_set(rng):
    lines = []
    for f in range(FAMILIES):
        father = (draw(rng), draw(rng))
        mother = (draw(rng), draw(rng))
        record(lines, "F%d" % f, "0", "0", *father)
        record(lines, "M%d" % f, "0", "0", *mother)
        for c in range(CHILDREN):
            record(lines, "C%d.%d" % (f, c), "F%d" % f, "M%d" % f,
                   rng.choice(father), rng.choice(mother))
    for s in range(SINGLES):
        record(lines, "S%d" % s, "0", "0", draw(rng), draw(rng))
    n = FAMILIES * (2 + CHILDREN) + SINGLES
    return "1 0 5\n%d\nSimulated\n" % n + "\n".join(lines) + "\n"


def main():
    program = os.path.abspath(sys.argv[1])
    sets = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    replicates = sys.argv[3] if len(sys.argv) > 3 else "200"
    rng = random.Random(20261206)
    covered = checked = 0
    with tempfile.TemporaryDirectory() as d:
        for k in range(sets):
            with open(os.path.join(d, "sim.mbd"), "w") as f:
                f.write(data_set(rng))
            subprocess.run([program, "--tables", "--bootstrap", replicates, "sim", str(k + 1)],
                           cwd=d, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            with open(os.path.join(d, "sim.haplotypes.tsv")) as f:
                rows = {(r["allele_1"], r["allele_2"]): r for r in csv.DictReader(f, delimiter="\t")}
            for h, p in TRUE.items():
                if p < 0.05:
                    continue
                checked += 1
                r = rows.get(h)
                if r and r["frequency_low"] and float(r["frequency_low"]) <= p <= float(
                        r["frequency_high"]):
                    covered += 1
            print("data set %d: %d of %d covered so far" % (k + 1, covered, checked), flush=True)
    print("coverage of true frequencies >= 0.05: %d of %d = %.1f %%"
          % (covered, checked, 100.0 * covered / checked))


if __name__ == "__main__":
    main()
