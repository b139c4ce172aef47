# Each unrelated subject's phase posteriors beside the peer R package's
# per-subject posteriors, on real HLA typings (the package's hla.demo data).
#   Rscript bench/peer_phases.R PROGRAM [LOCUS1 LOCUS2 ...]
# Both sides run 100 random starts, the peer with a tight convergence
# tolerance: at its default tolerance it stops about 1e-4 below the maximum,
# where the flat likelihood of many rare haplotypes leaves posteriors a few
# hundredths apart.
# Loci are taken in pairs; subjects missing an allele at a pair are left out.
# Prints, per pair, the subjects, the pairs compared and the largest absolute
# difference of a posterior (pairs below 0.001 on both sides are not listed by
# the program and count as 0 there).
suppressMessages(library(haplo.stats))
args <- commandArgs(trailingOnly = TRUE)
program <- normalizePath(args[1])
loci <- if (length(args) > 1) args[-1] else c("DQB", "DRB", "DRB", "B", "DQB", "B")
data(hla.demo)
worst <- 0
for (p in seq(1, length(loci), by = 2)) {
  l1 <- loci[p]; l2 <- loci[p + 1]
  cols <- paste0(rep(c(l1, l2), each = 2), c(".a1", ".a2"))
  g <- hla.demo[, cols]
  keep <- stats::complete.cases(g) & apply(g, 1, function(r) all(r != 0))
  g <- g[keep, ]
  ids <- paste0("S", which(keep))
  dir <- tempfile("phases"); dir.create(dir)
  lines <- c("1 0 100", paste(nrow(g), "HLA", l1, l2))
  for (i in seq_len(nrow(g))) {
    lines <- c(lines, paste(ids[i], "0 0"), paste(g[i, 1], g[i, 3]), paste(g[i, 2], g[i, 4]))
  }
  writeLines(lines, file.path(dir, "hla.mbd"))
  old <- setwd(dir)
  status <- system2(program, c("--tables", "--phases", "hla", "17"), stdout = FALSE, stderr = FALSE)
  setwd(old)
  if (status != 0) stop("the program failed on ", l1, "-", l2)
  ours <- read.delim(file.path(dir, "hla.phases.tsv"), colClasses = "character")
  key <- function(id, a, b) paste(id, pmin(a, b), pmax(a, b))
  ours_post <- setNames(as.numeric(ours$posterior), key(ours$individual, ours$haplotype_a, ours$haplotype_b))
  set.seed(17)
  fit <- haplo.em(g, locus.label = c(l1, l2),
                  control = haplo.em.control(n.try = 100, min.posterior = 1e-9, tol = 1e-11,
                                             max.iter = 100000))
  name <- function(code) paste0(fit$haplotype[code, 1], "~", fit$haplotype[code, 2])
  peer_post <- tapply(fit$post, key(ids[fit$indx.subj], name(fit$hap1code), name(fit$hap2code)), sum)
  both <- union(names(ours_post), names(peer_post[peer_post >= 0.001]))
  a <- ifelse(is.na(ours_post[both]), 0, ours_post[both])
  b <- ifelse(is.na(peer_post[both]), 0, peer_post[both])
  d <- max(abs(a - b))
  worst <- max(worst, d)
  cat(sprintf("%s-%s: %d subjects, %d pairs, largest difference %.2e\n", l1, l2, nrow(g), length(both), d))
  unlink(dir, recursive = TRUE)
}
cat(sprintf("largest difference over all pairs: %.2e\n", worst))
