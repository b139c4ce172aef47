#include "pedigree/likelihood_engine.h"

#include <cmath>

#include "pedigree/listed_engine.h"
#include "pedigree/pedigree.h"
#include "pedigree/small_gen.h"
#include "pedigree/summed_engine.h"
#include "support/errors.h"

std::unique_ptr<LikelihoodEngine> make_engine(EngineKind kind) {
    if (kind == EngineKind::listed) {
        return std::make_unique<ListedEngine>();
    }
    // The whole-pedigree model evaluates its own likelihood (see
    // population/sample_model.h): its database keeps only the results, and
    // the summed engine's table sizes stand for its own.
    return std::make_unique<SummedEngine>();
}

bool LikelihoodEngine::converged(const std::vector<double>& frequencies,
                                 std::vector<double>& previous, double tolerance) {
    double change = 0.0;
    for (std::size_t h = 0; h < frequencies.size(); ++h) {
        change += std::fabs(frequencies[h] - previous[h]);
        previous[h] = frequencies[h];
    }
    return change < tolerance;
}

bool LikelihoodEngine::run_em(Scratch& /*scratch*/, const std::vector<TPedigree>& /*pedigrees*/,
                              std::vector<double>& /*frequencies*/, std::int32_t /*max_iterations*/,
                              double /*tolerance*/, EmRun& /*run*/) const {
    return false; // never asked while runs_beside is false
}

void LikelihoodEngine::build_for_message(TPedigree& pedigree, TSmallGenDB& shared,
                                         const TPopHaploDB& haplotypes, std::int32_t locus) {
    const bool takes_all = pedigree._parent1->_typed == 0 ||
                           (pedigree._parent2 != nullptr && pedigree._parent2->_typed == 0);
    if (takes_all && shared.empty() && !shared.build_all_valid_gen(haplotypes)) {
        error_log.report("TPedDB::build_all_genotypic_combinations : Unable to build genotype data "
                         "base ... exiting",
                         Errors::kFatal);
    }
    pedigree.restore_combinations(shared, locus);
    pedigree.calc_prob();
}
