#!/usr/bin/env python3
"""Checks the program's per-locus Hardy-Weinberg P-values against an
independent exact test written here: random samples of unrelated
individuals, run through the program with --tables, compared with this
script's own P-value (exact by enumeration with integer arithmetic where
the program enumerates, by 200,000 random pairings where it draws).

Usage: bench/hwe_check.py PATH/TO/tovaquor [CASES]
"""
import csv
import math
import os
import random
import subprocess
import sys
import tempfile
from fractions import Fraction
from collections import Counter


def table_probability(counts, genotypes):
    """Levene's probability of the genotype counts given the allele counts."""
    n = sum(genotypes.values())
    het = sum(c for (a, b), c in genotypes.items() if a != b)
    num = math.factorial(n) * 2 ** het
    for c in counts.values():
        num *= math.factorial(c)
    den = math.factorial(2 * n)
    for c in genotypes.values():
        den *= math.factorial(c)
    return Fraction(num, den)


def all_tables(alleles, counts):
    """Every genotype table with these allele counts, as Counters."""
    pairs = [(a, b) for i, a in enumerate(alleles) for b in alleles[i:]]

    def walk(k, left, table):
        if all(v == 0 for v in left.values()):
            yield Counter(table)
            return
        if k == len(pairs):
            return
        a, b = pairs[k]
        most = left[a] // 2 if a == b else min(left[a], left[b])
        for m in range(most + 1):
            left[a] -= m
            left[b] -= m
            if m:
                table[(a, b)] = m
            yield from walk(k + 1, left, table)
            table.pop((a, b), None)
            left[a] += m
            left[b] += m

    yield from walk(0, dict(counts), {})


def exact_p(genotypes):
    counts = Counter()
    for a, b in genotypes:
        counts[a] += 1
        counts[b] += 1
    observed = Counter(tuple(sorted(g)) for g in genotypes)
    p_obs = table_probability(counts, observed)
    alleles = sorted(counts)
    total = Fraction(0)
    p = Fraction(0)
    for t in all_tables(alleles, counts):
        q = table_probability(counts, t)
        total += q
        if q <= p_obs:
            p += q
    assert total == 1, total
    return float(p)


def monte_carlo_p(genotypes, draws=200000, seed=1):
    rng = random.Random(seed)
    counts = Counter()
    for a, b in genotypes:
        counts[a] += 1
        counts[b] += 1
    observed = Counter(tuple(sorted(g)) for g in genotypes)
    log_obs = math.log(table_probability(counts, observed))
    pool = [a for a, c in counts.items() for _ in range(c)]
    hits = 0
    for _ in range(draws):
        rng.shuffle(pool)
        t = Counter(tuple(sorted(pool[i:i + 2])) for i in range(0, len(pool), 2))
        if math.log(table_probability(counts, t)) <= log_obs + 1e-7 * max(1.0, abs(log_obs)):
            hits += 1
    return hits / draws


def sample(rng, n, k, inbreeding):
    freqs = [rng.random() + 0.2 for _ in range(k)]
    names = ["a%d" % i for i in range(k)]
    out = []
    for _ in range(n):
        a = rng.choices(names, freqs)[0]
        b = a if rng.random() < inbreeding else rng.choices(names, freqs)[0]
        out.append((a, b))
    return out


def main():
    program = os.path.abspath(sys.argv[1])
    n_cases = int(sys.argv[2]) if len(sys.argv) > 2 else 12
    rng = random.Random(2026)
    worst_exact = 0.0
    worst_mc = 0.0
    with tempfile.TemporaryDirectory() as d:
        for case in range(n_cases):
            n = rng.choice([5, 12, 30, 60])
            k1 = rng.choice([2, 3, 4])
            k2 = rng.choice([2, 3, 5, 6])
            loci = [sample(rng, n, k1, rng.choice([0, 0.3])), sample(rng, n, k2, rng.choice([0, 0.3]))]
            lines = ["1 0 2", str(n), "check %d" % case]
            for i in range(n):
                lines.append("I%d 0 0" % i)
                lines.append("%s b%s" % (loci[0][i][0], loci[1][i][0]))
                lines.append("%s b%s" % (loci[0][i][1], loci[1][i][1]))
            with open(os.path.join(d, "c.mbd"), "w") as f:
                f.write("\n".join(lines) + "\n")
            subprocess.run([program, "--tables", "c", "17"], cwd=d, check=False,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            with open(os.path.join(d, "c.hwe.tsv")) as f:
                rows = list(csv.DictReader(f, delimiter="\t"))
            for locus, row in enumerate(rows):
                mine = float(row["p_value"])
                if row["method"].startswith("exact, complete"):
                    theirs = exact_p(loci[locus])
                    worst_exact = max(worst_exact, abs(mine - theirs))
                    kind = "enumerated"
                else:
                    theirs = monte_carlo_p(loci[locus])
                    worst_mc = max(worst_mc, abs(mine - theirs))
                    kind = "drawn"
                print("case %2d locus %d n=%3d %-10s program %.6f here %.6f" %
                      (case, locus + 1, n, kind, mine, theirs))
    print("largest difference: enumerated %.2e, drawn %.4f" % (worst_exact, worst_mc))
    return 0 if worst_exact <= 1e-6 and worst_mc <= 0.02 else 1


if __name__ == "__main__":
    sys.exit(main())
