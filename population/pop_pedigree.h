#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "pedigree/ped_db.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"

// One population sample: its individuals and every database built from them.
class TPopPedigree {
  public:
#ifdef TOVAQUOR_TEST_MAX_ITERATIONS
    // Test builds (the fuzzer) may cap the EM runs to explore more inputs.
    static constexpr std::int32_t kMaxIterations = TOVAQUOR_TEST_MAX_ITERATIONS;
#else
    static constexpr std::int32_t kMaxIterations = 10000;
#endif
    static constexpr float kConvergence = 1e-7F;
    static constexpr std::int32_t kLocusInitialConditions = 2;

    explicit TPopPedigree(std::string name) : Name(std::move(name)) {}
    TPopPedigree(const TPopPedigree&) = delete;
    TPopPedigree& operator=(const TPopPedigree&) = delete;

    void analyse(std::int32_t& n_initial, std::istream& is, std::int32_t& n_individuals,
                 std::ostream& out1, std::ostream& out2, char flag);
    bool read_pedigrees(std::istream& is, std::int32_t& n_individuals);
    void set_pseudo_haplotypes(TPhenPedDB& db, char separator);
    bool build_pedigrees();
    // Stops with a message when the haplotype and genotype tables the alleles
    // make would not fit in the memory limit.
    void check_table_sizes() const;
    // Whether some family has a parent without data, who may carry any pair
    // of haplotypes: only then is the table of all pairs built.
    bool needs_pair_table() const;

    void calc_ML_frequencies(TPedDB& peds, TPopHaploDB& haplotypes, std::int32_t& n_initial,
                             std::int32_t& max_iterations, float& threshold);
    void calc_ML_allelic_frequencies();
    void calc_sample_likelihoods(std::int32_t& n_initial, std::ostream& out1, std::ostream& out2,
                                 char flag);

    void draw_random_sample();
    void print_random_sample(std::ostream& os) const;

    std::string Name;
    TAlleleDB AlleleDB;
    TPopHaploDB HaplDB;
    TSmallGenDB SmallGenDB;
    TPhenPedDB PhenPedDB;
    TPedDB PedDB;
    double EquilLnLHood = 0.0;
};
