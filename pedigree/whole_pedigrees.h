#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One individual of a sample analysed as whole pedigrees.
struct WholeMember {
    static constexpr std::int32_t kUnknown = -1;

    std::string name;
    // Indices into the member list; kUnknown for a parent not in the file.
    std::int32_t parent1 = kUnknown;
    std::int32_t parent2 = kUnknown;
    // Per locus, two allele indices into that locus; kUnknown for `?`.
    std::array<std::array<std::int32_t, 2>, 2> alleles{
        {{kUnknown, kUnknown}, {kUnknown, kUnknown}}};

    bool typed(std::int32_t n_loci) const;
};

// The joint likelihood of whole pedigrees (any number of generations, no
// loops) and its expectation step.
//
// Founders (members without parents, and one absent founder for the missing
// parent of a member with one known parent) carry two haplotypes drawn from
// the frequencies; a child takes one whole haplotype of each parent, either
// with probability 1/2. A member's two copies are slots. The pedigree is
// peeled through its nuclear families toward a root member: a function of a
// member's two slots is a sum of terms, each a weight times a pattern per
// slot (an allele or "any" at each locus, and whether the slot's founder
// draw is already in the term). Multiplying two such functions intersects
// the patterns, so an untyped member costs one term, not every genotype; a
// drawn slot summed out contributes the summed frequency of its pattern (S
// for "any"), which is how absent founders and untransmitted haplotypes are
// summed in closed form.
//
// The weights are polynomials in the frequencies whose shape does not depend
// on them, so building records them as a circuit of sums and products over
// pattern sums; each EM iteration evaluates the circuit (likelihood) and
// runs it backward (gradient). A pedigree's likelihood is homogeneous of
// degree 1 in each founder draw, so f(h) * dL/df(h) / L is the expected
// number of founder haplotypes h: the expected counts of the EM.
class WholePedigrees {
  public:
    // A pedigree holds a cycle (a marriage loop or a mating of relatives);
    // `members` are the names around it.
    struct LoopFound {
        std::vector<std::string> members;
    };
    // Building would take more than `node_limit` circuit nodes (memory).
    struct LimitExceeded {
        double nodes;
    };
    // Bytes one circuit node takes, for the memory limit.
    static constexpr std::size_t kBytesPerNode = 48;

    // Per-run space of the evaluation; one per thread running EM beside others.
    struct Workspace {
        std::vector<double> value;
        std::vector<double> adjoint;
        std::vector<double> gradient;
    };

    // `haplotypes[h][l]` is the allele index of haplotype h at locus l
    // (n_loci is 1 or 2). Members form pedigrees by their parent indices.
    void build(const std::vector<WholeMember>& members,
               const std::vector<std::array<std::int32_t, 2>>& haplotypes, std::int32_t n_loci,
               std::size_t node_limit = static_cast<std::size_t>(-1));

    std::size_t n_pedigrees() const { return _pedigrees.size(); }
    std::size_t n_nodes() const { return _kind.size(); }
    // Members of pedigree p (indices into the list given to build; an absent
    // founder added for a one-known-parent member has an index past its end).
    const std::vector<std::int32_t>& members_of(std::size_t p) const {
        return _pedigrees[p].members;
    }
    // Founder haplotypes of all pedigrees: the denominator of the frequencies.
    double founder_haplotypes() const { return _founder_haplotypes; }

    // Evaluates every pedigree at the frequencies `f`; sums the log-likelihood
    // in pedigree order into `ln_l`, stopping at the first pedigree whose
    // probability is not above zero, whose index it returns (-1 when none).
    std::int64_t likelihood(const std::vector<double>& f, Workspace& w, double& ln_l) const;
    // Probability of pedigree p at the last evaluation in `w`.
    double probability(const Workspace& w, std::size_t p) const {
        return w.value[_pedigrees[p].root];
    }
    // Expected founder-haplotype counts over all pedigrees of positive
    // probability, from the last evaluation in `w` at `f`.
    void expected_counts(const std::vector<double>& f, Workspace& w,
                         std::vector<double>& counts) const;
    // The next EM estimates: the expected counts over the founder haplotypes.
    void next_frequencies(const std::vector<double>& f, Workspace& w,
                          std::vector<double>& next) const;

  private:
    enum Kind : std::uint8_t { kLeaf, kSum, kProduct };
    struct Pedigree {
        std::vector<std::int32_t> members;
        std::uint32_t root = 0;
        double founder_haplotypes = 0.0;
    };
    class Builder;

    std::vector<Kind> _kind;
    std::vector<double> _coef;
    std::vector<std::uint32_t> _begin;
    // Operands of node i: _operands[_begin[i] .. _begin[i + 1]); for a leaf,
    // haplotype indices whose frequencies it sums; otherwise earlier nodes.
    std::vector<std::uint32_t> _operands;
    std::vector<Pedigree> _pedigrees;
    std::size_t _n_haplotypes = 0;
    double _founder_haplotypes = 0.0;
};
