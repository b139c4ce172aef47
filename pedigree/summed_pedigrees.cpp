#include "pedigree/summed_pedigrees.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

#include "pedigree/likelihood_engine.h"
#include "pedigree/pedigree.h"

void SummedPedigrees::start(const TPopHaploDB& haplotypes) {
    _n_haplotypes = static_cast<std::uint32_t>(haplotypes.size());
    _missing = _n_haplotypes;
    _free = _n_haplotypes + 1;
    _ranges.clear();
    _range_of.clear();
    _coef.clear();
    _slots.clear();
    _longest = 0;
}

void SummedPedigrees::merge(std::vector<Partial>& partials) {
    // Stable, so that equal configurations are added in the order they were
    // formed and a run gives the same sums every time.
    std::stable_sort(partials.begin(), partials.end(),
                     [](const Partial& a, const Partial& b) { return a.slots < b.slots; });
    std::size_t out = 0;
    for (std::size_t i = 0; i < partials.size(); ++i) {
        if (out > 0 && partials[out - 1].slots == partials[i].slots) {
            partials[out - 1].weight += partials[i].weight;
        } else {
            partials[out++] = partials[i];
        }
    }
    partials.resize(out);
}

void SummedPedigrees::add(std::uint32_t index, const TPedigree& pedigree, std::size_t limit) {
    // The two slots of a parent, in order, with the number of phases they stand for.
    using Pair = std::pair<std::array<std::uint32_t, 2>, double>;
    auto phases = [&](const TParent* parent, TSmallGenDB* db) {
        std::vector<Pair> out;
        if (parent == nullptr) {
            out.push_back({{_missing, _missing}, 1.0});
        } else if (parent->_typed == 0) {
            out.push_back({{_free, _free}, 1.0});
        } else {
            for (std::int32_t i = 0; i < db->size(); ++i) {
                const auto a = static_cast<std::uint32_t>((*db)[i]._hapl1->_index);
                const auto b = static_cast<std::uint32_t>((*db)[i]._hapl2->_index);
                out.push_back({{std::min(a, b), std::max(a, b)}, a == b ? 1.0 : 2.0});
            }
        }
        return out;
    };
    _work.clear();
    for (const Pair& first : phases(pedigree._parent1, pedigree._gen_db1)) {
        for (const Pair& second : phases(pedigree._parent2, pedigree._gen_db2)) {
            _work.push_back({{first.first[0], first.first[1], second.first[0], second.first[1]},
                             first.second * second.second});
        }
    }
    merge(_work);
    for (const TPhenPed* sib : pedigree._sibs) {
        _next.clear();
        for (const Partial& w : _work) {
            // The sib takes copy u of parent 1 and copy v of parent 2, each
            // pair with probability 1/4, in either phase of each of its genotypes.
            for (std::uint32_t u = 0; u < 2; ++u) {
                for (std::uint32_t v = 2; v < 4; ++v) {
                    for (const TGenotype& g : sib->_gen_list) {
                        const auto x = static_cast<std::uint32_t>(g._hapl1->_index);
                        const auto y = static_cast<std::uint32_t>(g._hapl2->_index);
                        for (std::int32_t phase = 0; phase < (x == y ? 1 : 2); ++phase) {
                            const std::uint32_t a = phase == 0 ? x : y;
                            const std::uint32_t b = phase == 0 ? y : x;
                            if ((w.slots[u] != _free && w.slots[u] != a) ||
                                (w.slots[v] != _free && w.slots[v] != b)) {
                                continue;
                            }
                            Partial n{w.slots, w.weight * 0.25};
                            n.slots[u] = a;
                            n.slots[v] = b;
                            if (n.slots[0] > n.slots[1]) {
                                std::swap(n.slots[0], n.slots[1]);
                            }
                            if (n.slots[2] > n.slots[3]) {
                                std::swap(n.slots[2], n.slots[3]);
                            }
                            _next.push_back(n);
                        }
                    }
                }
            }
            if (_next.size() > limit) {
                throw LimitExceeded{static_cast<double>(_next.size())};
            }
        }
        merge(_next);
        std::swap(_work, _next);
    }
    if (_work.size() > limit) {
        throw LimitExceeded{static_cast<double>(_work.size())};
    }
    const auto begin = static_cast<std::uint32_t>(_coef.size());
    for (const Partial& w : _work) {
        _coef.push_back(w.weight);
        _slots.push_back(w.slots);
    }
    const auto end = static_cast<std::uint32_t>(_coef.size());
    if (_range_of.size() <= index) {
        _range_of.resize(static_cast<std::size_t>(index) + 1, -1);
    }
    _range_of[index] = static_cast<std::int64_t>(_ranges.size());
    _ranges.push_back({index, begin, end});
    _longest = std::max<std::size_t>(_longest, end - begin);
}

bool SummedPedigrees::has_configurations(std::uint32_t pedigree) const {
    if (pedigree >= _range_of.size() || _range_of[pedigree] < 0) {
        return false;
    }
    const Range& r = _ranges[static_cast<std::size_t>(_range_of[pedigree])];
    return r.end > r.begin;
}

SummedPedigrees::Workspace SummedPedigrees::workspace() const {
    Workspace w;
    w.f.resize(static_cast<std::size_t>(_n_haplotypes) + 2);
    w.terms.resize(_longest);
    return w;
}

void SummedPedigrees::load(Workspace& w, const double* frequencies) const {
    double sum = 0.0;
    for (std::uint32_t i = 0; i < _n_haplotypes; ++i) {
        w.f[i] = frequencies[i];
        sum += w.f[i];
    }
    w.f[_missing] = 1.0;
    w.f[_free] = sum;
}

void SummedPedigrees::load(Workspace& w, const TPopHaploDB& haplotypes) {
    if (w.f.size() != static_cast<std::size_t>(_n_haplotypes) + 2 || w.terms.size() < _longest) {
        w = workspace();
    }
    assert(static_cast<std::uint32_t>(haplotypes.size()) == _n_haplotypes);
    _loaded.resize(_n_haplotypes);
    for (std::uint32_t i = 0; i < _n_haplotypes; ++i) {
        _loaded[i] = haplotypes[static_cast<std::int32_t>(i)]->_freq;
    }
    load(w, _loaded.data());
}

double SummedPedigrees::range_probability(const Workspace& w, const Range& range,
                                          double* terms) const {
    const double* f = w.f.data();
    double prob = 0.0;
    for (std::uint32_t c = range.begin; c < range.end; ++c) {
        const Slots& s = _slots[c];
        const double term = _coef[c] * f[s[0]] * f[s[1]] * f[s[2]] * f[s[3]];
        if (terms != nullptr) {
            terms[c - range.begin] = term;
        }
        prob += term;
    }
    return prob;
}

std::int64_t SummedPedigrees::pass(const Workspace& w, const std::vector<TPedigree>& pedigrees,
                                   double& ln_l) const {
    ln_l = 0.0;
    for (const Range& r : _ranges) {
        if (!(ln_l > kFloorLnLikelihood)) {
            break;
        }
        const double prob = range_probability(w, r, nullptr);
        if (!(prob > 0.0)) {
            return r.pedigree;
        }
        ln_l = ln_l + pedigrees[r.pedigree]._obs_count * std::log(prob);
    }
    return -1;
}

void SummedPedigrees::expect(Workspace& w, const std::vector<TPedigree>& pedigrees,
                             double* next) const {
    w.accumulator.assign(w.f.size(), 0.0);
    for (const Range& r : _ranges) {
        const double prob = range_probability(w, r, w.terms.data());
        if (!(prob > 0.0)) {
            continue;
        }
        const double factor = pedigrees[r.pedigree]._obs_weight / prob;
        for (std::uint32_t c = r.begin; c < r.end; ++c) {
            const double e = 0.5 * (w.terms[c - r.begin] * factor);
            for (const std::uint32_t h : _slots[c]) {
                w.accumulator[h] += e;
            }
        }
    }
    // A free slot holds haplotype x with probability f(x) / S.
    const double sum = w.f[_free];
    const double free_weight = w.accumulator[_free];
    for (std::uint32_t i = 0; i < _n_haplotypes; ++i) {
        const double spread = sum > 0.0 ? free_weight * (w.f[i] / sum) : 0.0;
        next[i] = w.accumulator[i] + spread;
    }
}

std::int64_t SummedPedigrees::likelihood(const TPopHaploDB& haplotypes,
                                         const std::vector<TPedigree>& pedigrees, double& ln_l) {
    load(_own, haplotypes);
    return pass(_own, pedigrees, ln_l);
}

void SummedPedigrees::expected_counts(TPopHaploDB& haplotypes,
                                      const std::vector<TPedigree>& pedigrees) {
    load(_own, haplotypes);
    expect(_own, pedigrees, _loaded.data());
    for (std::uint32_t i = 0; i < _n_haplotypes; ++i) {
        haplotypes[static_cast<std::int32_t>(i)]->_freq = _loaded[i];
    }
}

bool SummedPedigrees::run_em(Workspace& w, const std::vector<TPedigree>& pedigrees,
                             std::vector<double>& frequencies, std::int32_t max_iterations,
                             double tolerance, LikelihoodEngine::EmRun& run) const {
    // The steps of the estimation's loop over the database: a likelihood
    // pass, the expected counts as the next frequencies, and the total
    // change against the frequencies before, added in haplotype order.
    const std::size_t n = _n_haplotypes;
    std::vector<double> previous(n, 0.0);
    run.ln_l = static_cast<float>(kFloorLnLikelihood);
    run.iterations = 0;
    for (std::int32_t t = 1; t <= max_iterations; ++t) {
        load(w, frequencies.data());
        double ln_l = 0.0;
        if (pass(w, pedigrees, ln_l) >= 0) {
            return false;
        }
        expect(w, pedigrees, frequencies.data());
        ++run.iterations;
        if (LikelihoodEngine::converged(frequencies, previous, tolerance) || t == max_iterations) {
            run.ln_l = static_cast<float>(ln_l);
            break;
        }
    }
    return true;
}
