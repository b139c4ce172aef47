# The EM of unrelated individuals in a peer R package, timed on a data file
# of singles as bench/generate_data writes them (one sample, no family):
#
#   Rscript bench/peer_haplo_em.R FILE.mbd [TRIES]
#
# Prints the elapsed seconds of haplo.em with TRIES random starts (default
# 20) and the log-likelihood it reached. Used by bench/peer_compare.sh only;
# the package (Debian: r-cran-haplo.stats) is not needed to build or test.
suppressPackageStartupMessages(library(haplo.stats))
args <- commandArgs(trailingOnly = TRUE)
tries <- if (length(args) > 1) as.integer(args[2]) else 20L
lines <- readLines(args[1])
# Run parameters, the individual count and the sample name, then three lines
# per individual: identifier and parents, then one allele line per copy.
records <- lines[-(1:3)]
records <- records[nzchar(trimws(records))]
n <- length(records) %/% 3
first <- strsplit(records[3 * seq_len(n) - 1], " +")
second <- strsplit(records[3 * seq_len(n)], " +")
loci <- length(first[[1]])
geno <- matrix("", n, 2 * loci)
for (l in seq_len(loci)) {
    geno[, 2 * l - 1] <- vapply(first, `[`, "", l)
    geno[, 2 * l] <- vapply(second, `[`, "", l)
}
elapsed <- system.time(
    fit <- haplo.em(geno, control = haplo.em.control(n.try = tries))
)[["elapsed"]]
cat(sprintf("%.2f %.4f\n", elapsed, fit$lnlike))
