#pragma once

#include <cstdint>
#include <limits>
#include <ostream>
#include <span>
#include <vector>

#include "genetics/genotype.h"
#include "pedigree/small_gen.h"

// One genotype per sib, in the stored order (a fixed permutation of the sib
// order that the enumeration's copy reversals produce).
using TSibGenotypicCombination = std::span<const TGenotype>;

// All sib combinations of one family, packed: combination i holds the genotypes
// at [i * n_sibs, (i + 1) * n_sibs).
class TSibCombinationStore {
  public:
    void clear() {
        _genotypes.clear();
        _stored_sibs.clear();
        _n_sibs = 0;
        _count = 0;
    }
    std::int32_t size() const { return _count; }
    bool empty() const { return _count == 0; }
    TSibGenotypicCombination operator[](std::int32_t i) const {
        return {_genotypes.data() + static_cast<std::size_t>(i) * _n_sibs,
                static_cast<std::size_t>(_n_sibs)};
    }

    // Number of sib combinations the lists give (a double: it can be huge).
    static double count(const std::vector<const TGenotypeList*>& sib_lists);
    // The Cartesian product of the sibs' genotype lists, first sib outermost.
    void enumerate(const std::vector<const TGenotypeList*>& sib_lists);
    // The sib whose genotype stands at each stored position.
    const std::vector<std::int32_t>& stored_sibs() const { return _stored_sibs; }

    // Where the enumeration stores the genotype of sib k: every copy of a
    // partial combination reverses it, so three sibs a, b, c are stored b, a, c.
    static std::vector<std::int32_t> stored_positions(std::int32_t n_sibs);

  private:
    std::vector<TGenotype> _genotypes;
    std::vector<std::int32_t> _stored_sibs;
    std::int32_t _n_sibs = 0;
    std::int32_t _count = 0;
};

// One joint genotype assignment of a family (or a single individual).
struct TGenotypicCombination {
    TSmallGen* _parent1 = nullptr;
    TSmallGen* _parent2 = nullptr;
    // Mendelian probability of the sibs' genotypes (see segregation_step).
    double _seg_prob = 1.0;
    double _prob = 0.0;
    double _post_prob = 1.0;
    // Index of the sib combination in the pedigree's store; -1 for none.
    std::int32_t _sib_gens = -1;
    bool _active = true;
};

// A segregation probability times m/4 for one more sib, m being how many of the
// four children of the parent pair carry its genotype. The product is rounded to single
// precision while it stays a normal single-precision number; below that range
// it is kept in double precision for the rest of the combination, so that a
// large sibship keeps its probability instead of underflowing to zero. (The
// factors are powers of two, so no rounding ever changes a value.)
inline double segregation_step(double seg, std::int32_t m) {
    const double next = seg * 0.25 * m;
    return next >= static_cast<double>(std::numeric_limits<float>::min())
               ? static_cast<double>(static_cast<float>(next))
               : next;
}

// The four child genotypes of two parent genotypes: (a1,b1), (a1,b2), (a2,b1), (a2,b2).
struct OffspringGenotypes {
    TGenotype child[4];
    OffspringGenotypes(const TSmallGen& p1, const TSmallGen& p2)
        : child{{p1._hapl1, p2._hapl1, 0.0},
                {p1._hapl1, p2._hapl2, 0.0},
                {p1._hapl2, p2._hapl1, 0.0},
                {p1._hapl2, p2._hapl2, 0.0}} {}
    std::int32_t count(const TGenotype& g) const {
        return (child[0] == g) + (child[1] == g) + (child[2] == g) + (child[3] == g);
    }
};

// Mendelian probability of the sibs' genotypes given the parents' (the rule the
// builder applies with its counts precomputed per parent pair): the product
// over sibs of m/4, by segregation_step; false when some sib's genotype cannot
// arise.
bool segregation_probability(const OffspringGenotypes& offspring, TSibGenotypicCombination sibs,
                             double& seg);

void print_combination(std::ostream& os, const TGenotypicCombination& c,
                       TSibGenotypicCombination sibs);
