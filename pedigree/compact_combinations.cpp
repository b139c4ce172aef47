#include "pedigree/compact_combinations.h"

#include <cmath>
#include <unordered_map>

#include "pedigree/pedigree.h"

void CompactCombinations::build(std::vector<TPedigree>& pedigrees,
                                const TPopHaploDB& haplotypes) {
    *this = CompactCombinations();
    _n_haplotypes = static_cast<std::size_t>(haplotypes.size());
    std::unordered_map<const TSmallGen*, std::uint32_t> slot_of;
    auto slot = [&](const TSmallGen* g) -> std::uint32_t {
        if (g == nullptr) {
            return kNone;
        }
        const auto [it, inserted] =
            slot_of.emplace(g, static_cast<std::uint32_t>(_slot_h1.size()));
        if (inserted) {
            _slot_h1.push_back(static_cast<std::uint32_t>(g->_hapl1->_index));
            _slot_h2.push_back(static_cast<std::uint32_t>(g->_hapl2->_index));
        }
        return it->second;
    };
    std::size_t total = 0;
    for (const TPedigree& p : pedigrees) {
        if (p._unique) {
            total += p._gen_comb.size();
        }
    }
    _g1.reserve(total);
    _g2.reserve(total);
    _seg.reserve(total);
    for (std::size_t i = 0; i < pedigrees.size(); ++i) {
        const TPedigree& p = pedigrees[i];
        if (!p._unique) {
            continue;
        }
        PedigreeRange range{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(_g1.size()),
                            0, p.symmetric()};
        for (const TGenotypicCombination& c : p._gen_comb) {
            _g1.push_back(slot(c._parent1));
            _g2.push_back(slot(c._parent2));
            _seg.push_back(c._seg_prob);
        }
        range.end = static_cast<std::uint32_t>(_g1.size());
        _ranges.push_back(range);
    }
    _p_now.assign(_slot_h1.size(), 0.0);
    _p_before.assign(_slot_h1.size(), 0.0);
    _kept.resize(_ranges.size());
    _is_kept.assign(_ranges.size(), 0);
    _accumulator.assign(_n_haplotypes, 0.0);
    _built = true;
}

std::int64_t CompactCombinations::likelihood(const TPopHaploDB& haplotypes,
                                             std::vector<TPedigree>& pedigrees, double& ln_l) {
    _p_before.swap(_p_now);
    for (std::size_t s = 0; s < _slot_h1.size(); ++s) {
        const double f1 = haplotypes[static_cast<std::int32_t>(_slot_h1[s])]->_freq;
        if (_slot_h1[s] == _slot_h2[s]) {
            _p_now[s] = f1 * f1;
        } else {
            _p_now[s] = haplotypes[static_cast<std::int32_t>(_slot_h2[s])]->_freq * 2.0 * f1;
        }
    }
    const double* p = _p_now.data();
    ln_l = 0.0;
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        if (!(ln_l > kFloorLnLikelihood)) {
            keep_from(r);
            return -1;
        }
        const PedigreeRange& range = _ranges[r];
        double prob = 0.0;
        for (std::size_t c = range.begin; c < range.end; ++c) {
            prob += combination_prob(c, p, range.symmetric);
        }
        TPedigree& ped = pedigrees[range.pedigree];
        ped._prob = prob;
        _is_kept[r] = 0;
        if (!(prob > 0.0)) {
            keep_from(r + 1);
            return static_cast<std::int64_t>(range.pedigree);
        }
        ln_l = ln_l + ped._obs_count * std::log(prob);
    }
    return -1;
}

void CompactCombinations::keep_from(std::size_t first) {
    // A pedigree not kept yet was evaluated by the previous pass.
    for (std::size_t r = first; r < _ranges.size(); ++r) {
        if (_is_kept[r] != 0) {
            continue;
        }
        const PedigreeRange& range = _ranges[r];
        std::vector<double>& kept = _kept[r];
        kept.resize(range.end - range.begin);
        for (std::size_t c = range.begin; c < range.end; ++c) {
            kept[c - range.begin] = combination_prob(c, _p_before.data(), range.symmetric);
        }
        _is_kept[r] = 1;
    }
}

void CompactCombinations::expected_counts(TPopHaploDB& haplotypes,
                                          const std::vector<TPedigree>& pedigrees) {
    double* acc = _accumulator.data();
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        acc[h] = 0.0;
    }
    const double* p = _p_now.data();
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        const PedigreeRange& range = _ranges[r];
        const TPedigree& ped = pedigrees[range.pedigree];
        const double prob = ped._prob;
        if (!(prob > 0.0)) {
            continue;
        }
        const double factor = ped._obs_weight / prob;
        const double* kept = _is_kept[r] != 0 ? _kept[r].data() : nullptr;
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double c_prob = kept != nullptr ? kept[c - range.begin]
                                                  : combination_prob(c, p, range.symmetric);
            const double e = 0.5 * (c_prob * factor);
            const std::uint32_t g1 = _g1[c];
            acc[_slot_h1[g1]] += e;
            acc[_slot_h2[g1]] += e;
            const std::uint32_t g2 = _g2[c];
            if (g2 != kNone) {
                acc[_slot_h1[g2]] += e;
                acc[_slot_h2[g2]] += e;
            }
        }
    }
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        haplotypes[static_cast<std::int32_t>(h)]->_freq = acc[h];
    }
}
