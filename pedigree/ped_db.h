#pragma once

#include <cstdint>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/parent.h"
#include "pedigree/pedigree.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"

// The lowest finite single-precision value: the log-likelihood of a sample with
// a pedigree of zero probability, and the starting best value of the EM.
inline constexpr double kFloorLnLikelihood = -3.4028234663852886e+38;

// The pedigrees of one sample, their parent records and the sample log-likelihood.
class TPedDB {
  public:
    TPedDB() = default;
    TPedDB(const TPedDB&) = delete;
    TPedDB& operator=(const TPedDB&) = delete;

    void build_pedigree_structures(TPhenPedDB& db);
    void find_redundant_pedigrees();
    void normalise_weights();
    void build_all_genotypic_combinations(TPopHaploDB& haplotypes, TSmallGenDB& shared,
                                          std::int32_t locus, char build_flag);
    double calc_ln_likelihood();
    void add_expected_counts(TPopHaploDB& haplotypes);
    void activate_all_combinations();

    std::vector<TPedigree> _pedigrees;
    TParentDB _parents;
    double _ln_likelihood = 0.0;
    std::int32_t _n_maxima = 0;
};
