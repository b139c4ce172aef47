#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/likelihood_engine.h"

class TPedigree;
struct TSmallGen;
class TSmallGenDB;

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
    // zero (the caller reports it), or -1. `ln_l`, if given, receives the
    // log-likelihood summed up to there. The expected counts are formed on the
    // way: those of each pedigree in the same loop as the next pedigree's
    // probabilities.
    std::int64_t likelihood(const TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees,
                            double* ln_l);
    // The log-likelihood of the last likelihood pass, which reached every
    // pedigree: the same sum, in the same order, as that pass gives. The EM
    // needs it only after its last iteration, which spares a logarithm per
    // pedigree per iteration. (The pass stops early when the running sum is
    // not above the floor, which a sum of logarithms of positive
    // probabilities never reaches: skipping the sum changes no decision.)
    double ln_likelihood(const std::vector<TPedigree>& pedigrees) const;

    // What one evaluation writes: the store has its own, and each EM run
    // made beside it (see run_em) takes another.
    struct Workspace {
        // Genotype probabilities of this evaluation and of the previous one.
        std::vector<double> _p_now;
        std::vector<double> _p_before;
        // Combination probabilities waiting for their pedigree's expected
        // counts, where each range starts (a count of values written, never
        // reset within a pass), and each range's sum. The longest range fits,
        // and three times as much again up to kRingSlack values: room for the
        // range being expected, the wasted end of the ring and at least one
        // more range.
        std::vector<double> _ring;
        std::vector<std::uint64_t> _ring_start;
        std::vector<double> _range_prob;
        // Pedigrees that a likelihood pass stopping early did not reach keep
        // the combination probabilities of their last evaluation; these hold
        // them.
        std::vector<std::vector<double>> _kept;
        std::vector<char> _is_kept;
        // Expected counts, one per haplotype, then kSpares spare
        // accumulators, which take the stores of registers that hold no
        // haplotype; and the frequencies they were formed from.
        std::vector<double> _accumulator;
        std::vector<double> _frequencies;
        bool _counts_ready = false;
    };
    Workspace workspace() const;
    std::size_t n_haplotypes() const { return _n_haplotypes; }

    // One EM run, as the estimation makes it over the pedigree database, on
    // its own workspace and frequencies (one per haplotype, the starting
    // values in, the last estimates out), without touching the store or the
    // pedigrees: runs of several initial conditions can go side by side.
    // Stops after max_iterations or when the frequencies moved by less than
    // `tolerance` in all. False if a pedigree had zero probability: such a
    // run must go through the database, which reports it.
    using EmRun = LikelihoodEngine::EmRun;
    bool run_em(Workspace& w, const std::vector<TPedigree>& pedigrees,
                std::vector<double>& frequencies, std::int32_t max_iterations, double tolerance,
                EmRun& run) const;
    // The probabilities the last pass of a workspace gave the pedigrees.
    void commit_probabilities(const Workspace& w, std::vector<TPedigree>& pedigrees) const;
    // The expectation step: leaves the next frequency estimates in `haplotypes`.
    void expected_counts(TPopHaploDB& haplotypes, const std::vector<TPedigree>& pedigrees);

  private:
    enum class Kind : std::uint8_t {
        single,    // no second parent
        family,    // two parents, segregation probabilities in the factor table
        irregular, // a factor the table cannot code (below the normal single-precision
                   // range: a large sibship): the general rule
    };
    struct PedigreeRange {
        std::uint32_t pedigree; // index in the pedigree array
        std::uint32_t begin;
        std::uint32_t end;
        std::uint32_t first_reload; // its first entry in _reloads
        std::uint32_t first_seg;    // its first entry in _seg (irregular ranges)
        Kind kind;
        bool symmetric;
    };

    // On the fast path of the expectation step, _other holds the haplotype
    // whose sum is looked up; kReload sends a combination through memory.
    static constexpr std::uint32_t kReload = 0xFFFFFFFFU;
    static constexpr std::size_t kMaxFactorCodes = 256;
    static constexpr std::size_t kSpares = 3;
    static constexpr std::size_t kRingSlack = std::size_t{1} << 20U;

    // Probability of combination c, of segregation probability `seg`, under
    // genotype probabilities p.
    double combination_prob(std::size_t c, double seg, const double* p, bool symmetric) const {
        const double p1 = p[_g1[c]];
        const std::uint32_t g2 = _g2[c];
        if (g2 == kNone || !(seg > 0.0)) {
            return p1;
        }
        if (g2 == _g1[c]) {
            return p1 * p1 * seg;
        }
        double prob = p[g2] * p1 * seg;
        if (symmetric) {
            prob *= 2.0;
        }
        return prob;
    }
    // The factor code of a family combination, or -1 if it has none.
    int factor_code(double seg, bool pair);
    void plan_family(const PedigreeRange& range);
    // Fills out[c - begin] with the combination probabilities of a range and
    // returns their sum, added in order.
    double range_probs(const PedigreeRange& range, const double* p, double* out) const;
    // The likelihood pass over w's frequencies; writes the pedigrees'
    // probabilities to `commit` if given.
    std::int64_t pass(Workspace& w, const std::vector<TPedigree>& pedigrees,
                      std::vector<TPedigree>* commit, double* ln_l) const;
    // The pass of a store of single individuals only (a sample of unrelated
    // individuals), with less bookkeeping per pedigree.
    std::int64_t singles_pass(Workspace& w, const std::vector<TPedigree>& pedigrees,
                              std::vector<TPedigree>* commit, double* ln_l) const;
    double ln_likelihood(const Workspace& w, const std::vector<TPedigree>& pedigrees) const;
    void keep_from(Workspace& w, std::size_t first) const;
    void accumulate(Workspace& w, const PedigreeRange& range, double factor,
                    const double* probs) const;
    // Where in the ring the probabilities of a range of n combinations go, at
    // `head` or further on: a range never wraps around.
    std::uint64_t ring_place(const Workspace& w, std::uint64_t head, std::size_t n) const;
    static double* ring_at(Workspace& w, std::uint64_t offset) {
        return w._ring.data() + offset % w._ring.size();
    }
    // The two walks of a family range, one combination at a time, so that
    // they can share a loop.
    class FamilyProbabilities;
    class FamilyExpectation;

    // The slot of a genotype record, and, for the records of a whole table
    // of haplotype pairs (see TSmallGenDB), the same by position, which is
    // quicker than hashing the record's address.
    std::uint32_t slot(const TSmallGen* g, const TSmallGenDB* db);

    bool _built = false;
    std::unordered_map<const TSmallGen*, std::uint32_t> _slot_of;
    const TSmallGenDB* _table = nullptr;
    std::vector<std::uint32_t> _table_slot;
    // Genotype records in use: the two haplotypes of slot s at 2s and 2s + 1.
    std::vector<std::uint32_t> _slot_haplotypes;
    // Per combination: genotype slots of the two parents. The segregation
    // probabilities of irregular ranges; those of family ranges are coded.
    std::vector<std::uint32_t> _g1;
    std::vector<std::uint32_t> _g2;
    std::vector<double> _seg;
    // Per family combination: its factor code, which indexes the two factors
    // its probability is multiplied by (the segregation probability, a power
    // of two, and 2 or 1 for a symmetric pair), and how its expected counts
    // are added (see plan_family).
    std::vector<std::uint8_t> _factor_code;
    // The code given to each single-precision exponent, without the pair
    // factor and then with it; -1 while unused.
    std::array<std::int16_t, 2 * 256> _code_of{};
    std::vector<double> _seg_factors;
    std::vector<double> _pair_factors;
    std::vector<std::uint32_t> _other;
    // For each combination sent through memory, in order: its four
    // haplotypes, and the three whose sums the expectation step holds in
    // registers from there on (distinct; spare accumulators fill in).
    struct Reload {
        std::array<std::uint32_t, 4> targets;
        std::array<std::uint32_t, 3> held;
    };
    std::vector<Reload> _reloads;
    std::vector<PedigreeRange> _ranges;
    std::size_t _ring_size = 0;
    bool _singles_only = false;
    Workspace _work;
    std::size_t _n_haplotypes = 0;
};
