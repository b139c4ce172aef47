#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "genetics/haplotype.h"

// The lowest finite single-precision value: the log-likelihood of a sample with
// a pedigree of zero probability, and the starting best value of the EM.
inline constexpr double kFloorLnLikelihood = -3.4028234663852886e+38;

class TPedigree;
struct TSmallGen;

// A packed copy of the genotypic combinations of the representative pedigrees,
// which the EM walks as flat arrays of indices. Every sum is formed in the same
// order, from the same operands, as over the object model, so the results are
// identical to the last bit.
class CompactCombinations {
  public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFU;

    // Starts an empty store for combinations whose haplotypes are entries of
    // `haplotypes`; then `add` each representative pedigree in array order, as
    // soon as its combinations are built, and `finish`.
    void start(const TPopHaploDB& haplotypes);
    void add(std::uint32_t index, const TPedigree& pedigree);
    void finish();
    bool built() const { return _built; }
    std::size_t n_combinations() const { return _g1.size(); }

    // The likelihood. Sets the probability of every pedigree it reaches and
    // returns the index of the first pedigree whose probability is not above
    // zero (the caller reports it), or -1. `ln_l` receives the log-likelihood
    // summed up to there. Each pedigree's expected counts are formed on the way,
    // while its combinations are in cache.
    std::int64_t likelihood(const TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees,
                            double& ln_l);
    // The expectation step: leaves the next frequency estimates in `haplotypes`.
    void expected_counts(TPopHaploDB& haplotypes, const std::vector<TPedigree>& pedigrees);

  private:
    enum class Kind : std::uint8_t {
        single,    // no second parent
        family,    // two parents, every segregation probability above zero
        irregular, // a segregation probability of zero (underflow): the general rule
    };
    struct PedigreeRange {
        std::uint32_t pedigree; // index in the pedigree array
        std::uint32_t begin;
        std::uint32_t end;
        Kind kind;
        bool symmetric;
    };

    // Probability of combination c under genotype probabilities p.
    double combination_prob(std::size_t c, const double* p, bool symmetric) const {
        const double p1 = p[_g1[c]];
        const std::uint32_t g2 = _g2[c];
        if (g2 == kNone || !(_seg[c] > 0.0F)) {
            return p1;
        }
        if (g2 == _g1[c]) {
            return p1 * p1 * static_cast<double>(_seg[c]);
        }
        double prob = p[g2] * p1 * static_cast<double>(_seg[c]);
        if (symmetric) {
            prob *= 2.0;
        }
        return prob;
    }
    // Fills out[c - begin] with the combination probabilities of a range and
    // returns their sum, added in order.
    double range_probs(const PedigreeRange& range, const double* p, double* out) const;
    void keep_from(std::size_t first);
    void accumulate(const PedigreeRange& range, double factor, const double* probs);

    bool _built = false;
    std::unordered_map<const TSmallGen*, std::uint32_t> _slot_of;
    // Genotype records in use, by slot: their two haplotypes.
    std::vector<std::uint32_t> _slot_h1;
    std::vector<std::uint32_t> _slot_h2;
    // Per combination: genotype slots of the two parents, segregation probability.
    std::vector<std::uint32_t> _g1;
    std::vector<std::uint32_t> _g2;
    std::vector<float> _seg;
    std::vector<PedigreeRange> _ranges;
    // Genotype probabilities of this evaluation and of the previous one.
    std::vector<double> _p_now;
    std::vector<double> _p_before;
    // Combination probabilities of the pedigree being evaluated.
    std::vector<double> _scratch;
    // Pedigrees that a likelihood pass stopping early did not reach keep the
    // combination probabilities of their last evaluation; these hold them.
    std::vector<std::vector<double>> _kept;
    std::vector<char> _is_kept;
    // Expected counts, and the frequencies they were formed from.
    std::vector<double> _accumulator;
    std::vector<double> _frequencies;
    bool _counts_ready = false;
    std::size_t _n_haplotypes = 0;
};
