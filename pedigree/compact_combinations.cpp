#include "pedigree/compact_combinations.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "pedigree/pedigree.h"

void CompactCombinations::start(const TPopHaploDB& haplotypes) {
    *this = CompactCombinations();
    _n_haplotypes = static_cast<std::size_t>(haplotypes.size());
}

void CompactCombinations::add(std::uint32_t index, const TPedigree& pedigree) {
    auto slot = [&](const TSmallGen* g) -> std::uint32_t {
        if (g == nullptr) {
            return kNone;
        }
        const auto [it, inserted] =
            _slot_of.emplace(g, static_cast<std::uint32_t>(_slot_h1.size()));
        if (inserted) {
            _slot_h1.push_back(static_cast<std::uint32_t>(g->_hapl1->_index));
            _slot_h2.push_back(static_cast<std::uint32_t>(g->_hapl2->_index));
        }
        return it->second;
    };
    PedigreeRange range{index, static_cast<std::uint32_t>(_g1.size()), 0,
                        pedigree._parent2 == nullptr ? Kind::single : Kind::family,
                        pedigree.symmetric()};
    for (const TGenotypicCombination& c : pedigree._gen_comb) {
        _g1.push_back(slot(c._parent1));
        _g2.push_back(slot(c._parent2));
        _seg.push_back(c._seg_prob);
        if (c._parent2 == nullptr ? range.kind == Kind::family : !(c._seg_prob > 0.0F)) {
            range.kind = Kind::irregular;
        }
    }
    range.end = static_cast<std::uint32_t>(_g1.size());
    _ranges.push_back(range);
}

void CompactCombinations::finish() {
    std::size_t longest = 0;
    for (const PedigreeRange& range : _ranges) {
        longest = std::max<std::size_t>(longest, range.end - range.begin);
    }
    _slot_of = {};
    _g1.shrink_to_fit();
    _g2.shrink_to_fit();
    _seg.shrink_to_fit();
    _p_now.assign(_slot_h1.size(), 0.0);
    _p_before.assign(_slot_h1.size(), 0.0);
    _scratch.assign(longest, 0.0);
    _kept.resize(_ranges.size());
    _is_kept.assign(_ranges.size(), 0);
    _accumulator.assign(_n_haplotypes, 0.0);
    _frequencies.assign(_n_haplotypes, 0.0);
    _built = true;
}

double CompactCombinations::range_probs(const PedigreeRange& range, const double* p,
                                        double* out) const {
    const std::uint32_t* g1 = _g1.data();
    const std::uint32_t* g2 = _g2.data();
    const float* seg = _seg.data();
    double prob = 0.0;
    switch (range.kind) {
    case Kind::single:
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double x = p[g1[c]];
            out[c - range.begin] = x;
            prob += x;
        }
        break;
    case Kind::family: {
        // The factor 2 of a symmetric pair applies only to two distinct genotypes;
        // multiplying by 1.0 instead leaves a value unchanged.
        const double pair_factor = range.symmetric ? 2.0 : 1.0;
        for (std::size_t c = range.begin; c < range.end; ++c) {
            double x = p[g2[c]] * p[g1[c]] * static_cast<double>(seg[c]);
            x *= g1[c] == g2[c] ? 1.0 : pair_factor;
            out[c - range.begin] = x;
            prob += x;
        }
        break;
    }
    case Kind::irregular:
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double x = combination_prob(c, p, range.symmetric);
            out[c - range.begin] = x;
            prob += x;
        }
        break;
    }
    return prob;
}

std::int64_t CompactCombinations::likelihood(const TPopHaploDB& haplotypes,
                                             std::vector<TPedigree>& pedigrees, double& ln_l) {
    _p_before.swap(_p_now);
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        _frequencies[h] = haplotypes[static_cast<std::int32_t>(h)]->_freq;
        _accumulator[h] = 0.0;
    }
    for (std::size_t s = 0; s < _slot_h1.size(); ++s) {
        const double f1 = _frequencies[_slot_h1[s]];
        if (_slot_h1[s] == _slot_h2[s]) {
            _p_now[s] = f1 * f1;
        } else {
            _p_now[s] = _frequencies[_slot_h2[s]] * 2.0 * f1;
        }
    }
    _counts_ready = false;
    ln_l = 0.0;
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        if (!(ln_l > kFloorLnLikelihood)) {
            keep_from(r);
            return -1;
        }
        const PedigreeRange& range = _ranges[r];
        const double prob = range_probs(range, _p_now.data(), _scratch.data());
        TPedigree& ped = pedigrees[range.pedigree];
        ped._prob = prob;
        _is_kept[r] = 0;
        if (!(prob > 0.0)) {
            keep_from(r + 1);
            return static_cast<std::int64_t>(range.pedigree);
        }
        ln_l = ln_l + ped._obs_count * std::log(prob);
        accumulate(range, ped._obs_weight / prob, _scratch.data());
    }
    _counts_ready = true;
    return -1;
}

void CompactCombinations::keep_from(std::size_t first) {
    // A pedigree not kept yet was evaluated by the previous pass.
    for (std::size_t r = first; r < _ranges.size(); ++r) {
        if (_is_kept[r] != 0) {
            continue;
        }
        const PedigreeRange& range = _ranges[r];
        _kept[r].resize(range.end - range.begin);
        range_probs(range, _p_before.data(), _kept[r].data());
        _is_kept[r] = 1;
    }
}

void CompactCombinations::accumulate(const PedigreeRange& range, double factor,
                                     const double* probs) {
    double* acc = _accumulator.data();
    const std::uint32_t* h1 = _slot_h1.data();
    const std::uint32_t* h2 = _slot_h2.data();
    const std::uint32_t* g1 = _g1.data();
    const std::uint32_t* g2 = _g2.data();
    if (range.kind == Kind::single) {
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double e = 0.5 * (probs[c - range.begin] * factor);
            acc[h1[g1[c]]] += e;
            acc[h2[g1[c]]] += e;
        }
        return;
    }
    // The first parent's genotype stays the same over long runs of
    // combinations: its haplotypes' sums are carried in registers while it
    // lasts, so that their chain of dependent additions does not go through
    // memory. Each accumulator still receives the same additions in the same
    // order.
    std::uint32_t current = kNone;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    double sum_a = 0.0;
    double sum_b = 0.0;
    for (std::size_t c = range.begin; c < range.end; ++c) {
        const double e = 0.5 * (probs[c - range.begin] * factor);
        if (g1[c] != current) {
            if (current != kNone) {
                acc[b] = sum_b;
                acc[a] = sum_a;
            }
            current = g1[c];
            a = h1[current];
            b = h2[current];
            sum_a = acc[a];
            sum_b = acc[b];
        }
        sum_a += e;
        if (b == a) {
            sum_a += e;
        } else {
            sum_b += e;
        }
        if (g2[c] == kNone) {
            continue;
        }
        for (const std::uint32_t k : {h1[g2[c]], h2[g2[c]]}) {
            if (k == a) {
                sum_a += e;
            } else if (k == b) {
                sum_b += e;
            } else {
                acc[k] += e;
            }
        }
    }
    if (current != kNone) {
        // With a homozygous genotype b == a, and sum_a holds the sum.
        acc[b] = sum_b;
        acc[a] = sum_a;
    }
}

void CompactCombinations::expected_counts(TPopHaploDB& haplotypes,
                                          const std::vector<TPedigree>& pedigrees) {
    bool unchanged = _counts_ready;
    for (std::size_t h = 0; unchanged && h < _n_haplotypes; ++h) {
        unchanged = haplotypes[static_cast<std::int32_t>(h)]->_freq == _frequencies[h];
    }
    if (!unchanged) {
        // A pass that stopped early, or frequencies changed since: the full walk.
        std::fill(_accumulator.begin(), _accumulator.end(), 0.0);
        for (std::size_t r = 0; r < _ranges.size(); ++r) {
            const PedigreeRange& range = _ranges[r];
            const TPedigree& ped = pedigrees[range.pedigree];
            const double prob = ped._prob;
            if (!(prob > 0.0)) {
                continue;
            }
            const double* probs = _kept[r].data();
            if (_is_kept[r] == 0) {
                range_probs(range, _p_now.data(), _scratch.data());
                probs = _scratch.data();
            }
            accumulate(range, ped._obs_weight / prob, probs);
        }
    }
    _counts_ready = false;
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        haplotypes[static_cast<std::int32_t>(h)]->_freq = _accumulator[h];
    }
}
