#include "population/phase_posteriors.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pedigree/ped_db.h"
#include "population/pop_pedigree.h"
#include "support/memory_limit.h"

namespace {

// Two haplotypes by database position, smaller first: sums run in an order
// that does not depend on where things sit in memory.
using Pair = std::pair<std::int32_t, std::int32_t>;

Pair ordered(const TPopHaplotype* a, const TPopHaplotype* b) {
    return std::minmax(a->_index, b->_index);
}

std::string text_of(const TPopHaplotype& h) {
    std::string out;
    for (std::int32_t k = 0; k < h.size(); ++k) {
        out += (k == 0 ? "" : "~") + h.allele(k)->_name;
    }
    return out;
}

// Hardy-Weinberg probability of a pair at the current frequencies.
double prior(const TPopHaploDB& haplotypes, const Pair& p) {
    const double f1 = haplotypes[p.first]->_freq;
    const double f2 = haplotypes[p.second]->_freq;
    return p.first == p.second ? f1 * f1 : 2.0 * f1 * f2;
}

// Posterior of each pair of one individual in one family.
using Posteriors = std::map<Pair, double>;

} // namespace

std::vector<IndividualPhases> phase_posteriors(TPopPedigree& pop, double least) {
    // A database of its own, every combination kept and none merged, over
    // the same individuals: the analysed one is not touched.
    // Building counts each haplotype it meets into its frequency, and marks
    // the parents: both are put back however the building ends.
    struct Restore {
        TPopPedigree& pop;
        std::vector<double> estimates;
        void frequencies() const {
            for (std::int32_t h = 0; h < pop.HaplDB.size(); ++h) {
                pop.HaplDB[h]->_freq = estimates[static_cast<std::size_t>(h)];
            }
        }
        ~Restore() {
            frequencies();
            pop.PhenPedDB.reset_parent_flags();
        }
    } restore{pop, {}};
    for (std::int32_t h = 0; h < pop.HaplDB.size(); ++h) {
        restore.estimates.push_back(pop.HaplDB[h]->_freq);
    }
    pop.PhenPedDB.reset_parent_flags();
    const auto n = static_cast<double>(pop.HaplDB.size());
    TSmallGenDB pairs;
    if (pop.needs_pair_table()) {
        if (n * (n + 1.0) / 2.0 * sizeof(TSmallGen) > static_cast<double>(memory_limit_bytes())) {
            throw PhasesBeyondMemoryLimit{};
        }
        pairs.build_all_valid_gen(pop.HaplDB);
    }
    // A database of its own with the listing engine, every combination kept
    // and none merged, over the same individuals: the analysed one is not
    // touched.
    TPedDB peds;
    peds._sample_name = pop.Name;
    peds.build_pedigree_structures(pop.PhenPedDB);
    peds.normalise_weights();
    peds.build_all_genotypic_combinations(pop.HaplDB, pairs, -1, 0);
    restore.frequencies();

    std::unordered_map<const TPhenPed*, std::vector<Posteriors>> roles;
    for (TPedigree& p : peds._pedigrees) {
        const double total = p.calc_prob();
        if (!(total > 0.0)) {
            continue;
        }
        const TParent* parents[2] = {p._parent1, p._parent2};
        Posteriors parent_post[2];
        std::vector<Posteriors> sib_post(p._sibs.size());
        const std::vector<std::int32_t> stored = p._sib_comb.stored_sibs();
        const bool symmetric = p.symmetric();
        for (const TGenotypicCombination& c : p._gen_comb) {
            const double w = c._prob / total;
            const TSmallGen* g[2] = {c._parent1, c._parent2};
            if (symmetric && g[0] != g[1]) {
                // Two parents without data: the combination stands for its
                // mirror too (its probability counts both), so each parent
                // has either genotype half the time.
                for (auto& post : parent_post) {
                    post[ordered(g[0]->_hapl1, g[0]->_hapl2)] += 0.5 * w;
                    post[ordered(g[1]->_hapl1, g[1]->_hapl2)] += 0.5 * w;
                }
            } else {
                for (int k = 0; k < 2; ++k) {
                    if (g[k] != nullptr) {
                        parent_post[k][ordered(g[k]->_hapl1, g[k]->_hapl2)] += w;
                    }
                }
            }
            const TSibGenotypicCombination sibs = p.sib_genotypes(c);
            for (std::size_t s = 0; s < sibs.size(); ++s) {
                sib_post[static_cast<std::size_t>(stored[s])]
                        [ordered(sibs[s]._hapl1, sibs[s]._hapl2)] += w;
            }
        }
        for (int k = 0; k < 2; ++k) {
            // A parent without data has no phase to give; one with data in
            // the place of an untyped parent (a child heading its own family)
            // takes every pair here, which its other family narrows down.
            if (parents[k] != nullptr && parents[k]->_phen->typed()) {
                roles[parents[k]->_phen].push_back(parent_post[k]);
            }
        }
        for (std::size_t s = 0; s < p._sibs.size(); ++s) {
            roles[p._sibs[s]].push_back(sib_post[s]);
        }
    }

    std::vector<IndividualPhases> out;
    const auto& records = pop.PhenPedDB.records();
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const TPhenPed* x = it->get();
        if (!x->typed()) {
            continue;
        }
        IndividualPhases& ind = out.emplace_back();
        ind.individual = *x->_id;
        const auto found = roles.find(x);
        if (found == roles.end()) {
            continue;
        }
        // P(g | all families) is proportional to the product of the
        // per-family posteriors over the prior to the power (families - 1).
        const std::vector<Posteriors>& per_family = found->second;
        Posteriors combined = per_family.front();
        for (std::size_t f = 1; f < per_family.size(); ++f) {
            for (auto& [pair, value] : combined) {
                const auto other = per_family[f].find(pair);
                const double pr = prior(pop.HaplDB, pair);
                value =
                    other == per_family[f].end() || !(pr > 0.0) ? 0.0 : value * other->second / pr;
            }
        }
        double sum = 0.0;
        for (const auto& entry : combined) {
            sum += entry.second;
        }
        for (const auto& [pair, value] : combined) {
            const double posterior = sum > 0.0 ? value / sum : 0.0;
            if (posterior >= least) {
                std::string a = text_of(*pop.HaplDB[pair.first]);
                std::string b = text_of(*pop.HaplDB[pair.second]);
                if (b < a) {
                    std::swap(a, b);
                }
                ind.pairs.push_back({a, b, posterior});
            }
        }
        std::stable_sort(
            ind.pairs.begin(), ind.pairs.end(),
            [](const PhasedPair& l, const PhasedPair& r) { return l.posterior > r.posterior; });
    }
    return out;
}
