#include "pedigree/listed_engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "pedigree/pedigree.h"
#include "support/errors.h"
#include "support/memory_limit.h"

namespace {

// Past this many stored combinations the summed engine takes a small
// fraction of the time (see docs/engines.md).
constexpr double kNoticeFrom = 2e6;

// Says once per run, on standard error, that the default engine would serve
// better: `combinations` were stored, or (`over_limit`) the memory limit
// stopped them.
void notice_large(double combinations, bool over_limit) {
    static std::atomic<bool> said{false};
    if ((over_limit || combinations >= kNoticeFrom) && !said.exchange(true)) {
        std::ostringstream text;
        text << std::setprecision(0) << std::fixed << "tovaquor: ";
        if (over_limit) {
            text << "the genotypic combinations of a family pass the memory limit";
        } else {
            text << "this analysis stores " << combinations << " genotypic combinations";
        }
        text << " (a parent absent from the data takes every genotype the population allows); "
                "without --listed, the default engine sums over the haplotypes parents pass on "
                "instead, with far less time and memory\n";
        std::cerr << text.str();
    }
}

using PackedScratch = ScratchOf<CompactCombinations::Workspace>;

} // namespace

void ListedEngine::build(std::vector<TPedigree>& pedigrees, const BuildInput& in) {
    const std::uint64_t budget = memory_limit_bytes() / kBytesPerCombination;
    // The sample builds the table of all pairs only when it foresees a
    // parent taking every genotype; should one come unforeseen, it is built
    // here.
    const bool takes_all = std::any_of(pedigrees.begin(), pedigrees.end(), [](const TPedigree& p) {
        return p._unique &&
               (p._parent1->_typed == 0 || (p._parent2 != nullptr && p._parent2->_typed == 0));
    });
    if (takes_all && in.shared.empty() && !in.shared.build_all_valid_gen(in.haplotypes)) {
        error_log.report("TPedDB::build_all_genotypic_combinations : Unable to build genotype data "
                         "base ... exiting",
                         Errors::kFatal);
    }
    _compact.start(in.haplotypes);
    std::uint64_t stored = 0;
    for (std::size_t k = 0; k < pedigrees.size(); ++k) {
        TPedigree& p = pedigrees[k];
        if (!p._unique) {
            continue;
        }
        p.hook_gen_db(in.shared, in.haplotypes, in.locus, in.build_flag);
        p.mark_compatible_parent_genotypes(in.locus);
        p.build_member_genotypes(in.haplotypes, in.locus);
        p._combination_limit = static_cast<std::size_t>(budget > stored ? budget - stored : 0);
        try {
            p.create_genot_combination();
        } catch (const FatalError&) {
            throw;
        } catch (const CombinationLimitExceeded& e) {
            std::ostringstream needs;
            needs << std::setprecision(0) << std::fixed;
            if (e.sib_combinations) {
                needs << e.count << " combinations of its sibs' genotypes, more than the "
                      << "memory limit of " << mebibytes(memory_limit_bytes()) << " allows";
            } else {
                needs << "more than the " << e.count
                      << " genotypic combinations that the memory limit of "
                      << mebibytes(memory_limit_bytes()) << " leaves for it";
            }
            if (in.notice_large) {
                notice_large(e.count, true);
            }
            throw LimitExceeded{k, needs.str()};
        } catch (...) {
            throw BuildFailed{k};
        }
        stored += p._gen_comb.size();
        in.shared.set_all_compatible();
        // The EM walks the packed copy; the records are rebuilt if a
        // message or a walk over the combinations' own flags needs them.
        _compact.add(static_cast<std::uint32_t>(k), p);
        if (in.release_records) {
            p.release_combinations();
        }
    }
    _compact.finish();
    if (in.notice_large) {
        notice_large(static_cast<double>(stored), false);
    }
    _haplotypes = &in.haplotypes;
    _shared = &in.shared;
    _locus = in.locus;
}

bool ListedEngine::packed() const {
    return UseAllCombinations && _compact.built();
}

void ListedEngine::restore(std::vector<TPedigree>& pedigrees) {
    for (TPedigree& p : pedigrees) {
        p.restore_combinations(*_shared, _locus);
    }
}

std::int64_t ListedEngine::packed_pass(std::vector<TPedigree>& pedigrees, double* ln_l) {
    const std::int64_t zero = _compact.likelihood(*_haplotypes, pedigrees, ln_l);
    if (zero >= 0) {
        // The object model fills in what the messages print.
        build_for_message(pedigrees[static_cast<std::size_t>(zero)], *_shared, *_haplotypes,
                          _locus);
    }
    return zero;
}

std::int64_t ListedEngine::object_pass(std::vector<TPedigree>& pedigrees, double& ln_l) {
    restore(pedigrees);
    ln_l = 0.0;
    for (std::size_t i = 0; i < pedigrees.size(); ++i) {
        TPedigree& p = pedigrees[i];
        if (!p._unique || !(ln_l > kFloorLnLikelihood)) {
            continue;
        }
        const double prob = p.calc_prob();
        if (!(prob > 0.0)) {
            return static_cast<std::int64_t>(i);
        }
        ln_l = ln_l + p._obs_count * std::log(prob);
    }
    return -1;
}

std::int64_t ListedEngine::likelihood(std::vector<TPedigree>& pedigrees, double& ln_l) {
    ln_l = 0.0;
    return packed() ? packed_pass(pedigrees, &ln_l) : object_pass(pedigrees, ln_l);
}

std::int64_t ListedEngine::probabilities(std::vector<TPedigree>& pedigrees) {
    _ln_l_formed = !packed();
    return _ln_l_formed ? object_pass(pedigrees, _ln_l) : packed_pass(pedigrees, nullptr);
}

double ListedEngine::last_ln_likelihood(const std::vector<TPedigree>& pedigrees) {
    return _ln_l_formed ? _ln_l : _compact.ln_likelihood(pedigrees);
}

void ListedEngine::expected_counts(TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees) {
    if (packed() && &haplotypes == _haplotypes) {
        _compact.expected_counts(haplotypes, pedigrees);
        return;
    }
    restore(pedigrees);
    haplotypes.reset_frequencies();
    for (TPedigree& p : pedigrees) {
        if (p._unique) {
            p.add_expected_counts();
        }
    }
}

void ListedEngine::activate_all(std::vector<TPedigree>& pedigrees) {
    if (packed()) {
        // The packed walk never clears a flag: all are still set.
        return;
    }
    restore(pedigrees);
    for (TPedigree& p : pedigrees) {
        p.activate_all_combinations();
    }
}

bool ListedEngine::runs_beside(const TPopHaploDB& haplotypes) const {
    return packed() && &haplotypes == _haplotypes &&
           _compact.n_haplotypes() == static_cast<std::size_t>(haplotypes.size());
}

std::unique_ptr<LikelihoodEngine::Scratch> ListedEngine::scratch() const {
    return std::make_unique<PackedScratch>(_compact.workspace());
}

bool ListedEngine::run_em(Scratch& scratch, const std::vector<TPedigree>& pedigrees,
                          std::vector<double>& frequencies, std::int32_t max_iterations,
                          double tolerance, EmRun& run) const {
    return _compact.run_em(static_cast<PackedScratch&>(scratch).work, pedigrees, frequencies,
                           max_iterations, tolerance, run);
}

void ListedEngine::commit(const Scratch& scratch, std::vector<TPedigree>& pedigrees) {
    _compact.commit_probabilities(static_cast<const PackedScratch&>(scratch).work, pedigrees);
}
