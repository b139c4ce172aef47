#include "pedigree/summed_engine.h"

#include <iomanip>
#include <sstream>

#include "pedigree/pedigree.h"
#include "support/memory_limit.h"

namespace {
using SummedScratch = ScratchOf<SummedPedigrees::Workspace>;
} // namespace

void SummedEngine::build(std::vector<TPedigree>& pedigrees, const BuildInput& in) {
    // Untyped parents keep a reference to `shared` but never read it: they
    // are free slots, so it may be left empty.
    const std::uint64_t budget = memory_limit_bytes() / SummedPedigrees::kBytesPerConfiguration;
    _summed.start(in.haplotypes);
    std::uint64_t stored = 0;
    for (std::size_t k = 0; k < pedigrees.size(); ++k) {
        TPedigree& p = pedigrees[k];
        if (!p._unique) {
            continue;
        }
        p.hook_gen_db(in.shared, in.haplotypes, in.locus, in.build_flag);
        p.build_member_genotypes(in.haplotypes, in.locus);
        try {
            _summed.add(static_cast<std::uint32_t>(k), p,
                        static_cast<std::size_t>(budget > stored ? budget - stored : 0));
        } catch (const SummedPedigrees::LimitExceeded& e) {
            std::ostringstream needs;
            needs << std::setprecision(0) << std::fixed << "more than the " << e.count
                  << " phase configurations that the memory limit of "
                  << mebibytes(memory_limit_bytes()) << " leaves for it";
            throw LimitExceeded{k, needs.str()};
        }
        stored += _summed.last_configurations();
        // No record is built: restoring one builds it (see build_for_message).
        p._released = true;
    }
    _haplotypes = &in.haplotypes;
    _shared = &in.shared;
    _locus = in.locus;
}

std::int64_t SummedEngine::likelihood(std::vector<TPedigree>& pedigrees, double& ln_l) {
    const std::int64_t zero = _summed.likelihood(*_haplotypes, pedigrees, ln_l);
    if (zero >= 0) {
        build_for_message(pedigrees[static_cast<std::size_t>(zero)], *_shared, *_haplotypes,
                          _locus);
    }
    return zero;
}

void SummedEngine::expected_counts(TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees) {
    _summed.expected_counts(haplotypes, pedigrees);
}

bool SummedEngine::runs_beside(const TPopHaploDB& haplotypes) const {
    return &haplotypes == _haplotypes &&
           _summed.n_haplotypes() == static_cast<std::size_t>(haplotypes.size());
}

std::unique_ptr<LikelihoodEngine::Scratch> SummedEngine::scratch() const {
    return std::make_unique<SummedScratch>(_summed.workspace());
}

bool SummedEngine::run_em(Scratch& scratch, const std::vector<TPedigree>& pedigrees,
                          std::vector<double>& frequencies, std::int32_t max_iterations,
                          double tolerance, EmRun& run) const {
    return _summed.run_em(static_cast<SummedScratch&>(scratch).work, pedigrees, frequencies,
                          max_iterations, tolerance, run);
}
