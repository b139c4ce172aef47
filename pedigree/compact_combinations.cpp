#include "pedigree/compact_combinations.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <unordered_map>

#include "pedigree/pedigree.h"
#include "pedigree/small_gen.h"

void CompactCombinations::start(const TPopHaploDB& haplotypes) {
    *this = CompactCombinations();
    _n_haplotypes = static_cast<std::size_t>(haplotypes.size());
    _code_of.fill(-1);
}

int CompactCombinations::factor_code(double seg, bool pair) {
    // Segregation probabilities are products of quarters, halves and ones:
    // powers of two, of which few occur. The table is indexed by the
    // single-precision exponent: a value outside the normal single-precision
    // range (a large sibship), of another form (none is known) or one too
    // many leaves its family to the general rule.
    const auto narrow = static_cast<float>(seg);
    if (static_cast<double>(narrow) != seg) {
        return -1;
    }
    const auto bits = std::bit_cast<std::uint32_t>(narrow);
    const std::uint32_t exponent = bits >> 23U;
    if ((bits & 0x807FFFFFU) != 0 || exponent == 0 || exponent == 0xFF) {
        return -1;
    }
    std::int16_t& code = _code_of[(pair ? 256U : 0U) + exponent];
    if (code < 0) {
        if (_seg_factors.size() == kMaxFactorCodes) {
            return -1;
        }
        code = static_cast<std::int16_t>(_seg_factors.size());
        _seg_factors.push_back(seg);
        _pair_factors.push_back(pair ? 2.0 : 1.0);
    }
    return code;
}

std::uint32_t CompactCombinations::slot(const TSmallGen* g, const TSmallGenDB* db) {
    if (g == nullptr) {
        return kNone;
    }
    const auto next = static_cast<std::uint32_t>(_slot_haplotypes.size() / 2);
    auto take = [&](std::uint32_t& s) {
        if (s == kNone) {
            s = next;
            _slot_haplotypes.push_back(static_cast<std::uint32_t>(g->_hapl1->_index));
            _slot_haplotypes.push_back(static_cast<std::uint32_t>(g->_hapl2->_index));
        }
        return s;
    };
    if (db != nullptr && db->whole_table() && (_table == nullptr || _table == db)) {
        if (_table == nullptr) {
            _table = db;
            _table_slot.assign(static_cast<std::size_t>(db->size()), kNone);
        }
        const std::int32_t i = g->_hapl1->_index;
        const std::int32_t j = g->_hapl2->_index;
        if (0 <= j && j <= i && i < db->table_haplotypes()) {
            const std::int64_t at = TSmallGenDB::position(i, j);
            if (&(*db)[static_cast<std::int32_t>(at)] == g) {
                return take(_table_slot[static_cast<std::size_t>(at)]);
            }
        }
    }
    const auto [it, inserted] = _slot_of.emplace(g, kNone);
    return take(it->second);
}

void CompactCombinations::add(std::uint32_t index, const TPedigree& pedigree) {
    PedigreeRange range{index,
                        static_cast<std::uint32_t>(_g1.size()),
                        0,
                        static_cast<std::uint32_t>(_reloads.size()),
                        static_cast<std::uint32_t>(_seg.size()),
                        pedigree._parent2 == nullptr ? Kind::single : Kind::family,
                        pedigree.symmetric()};
    for (const TGenotypicCombination& c : pedigree._gen_comb) {
        const std::uint32_t g1 = slot(c._parent1, pedigree._gen_db1);
        const std::uint32_t g2 = slot(c._parent2, pedigree._gen_db2);
        int code = 0;
        if (range.kind == Kind::family) {
            code = g2 == kNone ? -1 : factor_code(c._seg_prob, range.symmetric && g1 != g2);
            if (code < 0) {
                range.kind = Kind::irregular;
            }
        }
        _g1.push_back(g1);
        _g2.push_back(g2);
        _seg.push_back(c._seg_prob);
        _factor_code.push_back(static_cast<std::uint8_t>(std::max(code, 0)));
    }
    range.end = static_cast<std::uint32_t>(_g1.size());
    if (range.kind != Kind::irregular) {
        _seg.resize(range.first_seg);
    }
    _other.resize(_g1.size(), kReload);
    if (range.kind == Kind::family) {
        plan_family(range);
    }
    _ranges.push_back(range);
}

void CompactCombinations::plan_family(const PedigreeRange& range) {
    // The expectation step adds a combination's share to the sums of its four
    // haplotypes. It holds three sums in registers, and a combination whose
    // haplotypes are distinct and include those three takes the fast path:
    // three register additions and one through memory. Any other goes through
    // memory and sets the three held next. Successive combinations mostly
    // share three haplotypes (a parent's genotype lasts over a run, and the
    // other parent's genotypes share the haplotype a sib needs), so the plan
    // holds the three that last longest from the next combination on. Any
    // plan gives the same sums, each receiving the same additions in the same
    // order: only the speed depends on it.
    using Targets = std::array<std::uint32_t, 4>;
    using Held = std::array<std::uint32_t, 3>;
    auto targets = [&](std::size_t c) {
        const std::size_t g1 = 2 * static_cast<std::size_t>(_g1[c]);
        const std::size_t g2 = 2 * static_cast<std::size_t>(_g2[c]);
        return Targets{_slot_haplotypes[g1], _slot_haplotypes[g1 + 1], _slot_haplotypes[g2],
                       _slot_haplotypes[g2 + 1]};
    };
    auto distinct = [](const Targets& t) {
        return t[0] != t[1] && t[0] != t[2] && t[0] != t[3] && t[1] != t[2] && t[1] != t[3] &&
               t[2] != t[3];
    };
    // The haplotype of t not held, if t holds all three held ones.
    auto other = [](const Held& held, const Targets& t) -> std::uint32_t {
        std::uint32_t left = kReload;
        std::size_t found = 0;
        for (const std::uint32_t h : t) {
            if (h == held[0] || h == held[1] || h == held[2]) {
                ++found;
            } else {
                left = h;
            }
        }
        return found == 3 ? left : kReload;
    };
    // Combinations from c on that would take the fast path, up to a bound.
    constexpr std::size_t kLookAhead = 8;
    auto run = [&](const Held& held, std::size_t c) {
        std::size_t n = 0;
        for (; c < range.end && n < kLookAhead; ++c, ++n) {
            const Targets t = targets(c);
            if (!distinct(t) || other(held, t) == kReload) {
                break;
            }
        }
        return n;
    };
    const auto spare = static_cast<std::uint32_t>(_n_haplotypes);
    Held held{spare, spare + 1, spare + 2};
    for (std::size_t c = range.begin; c < range.end; ++c) {
        const Targets t = targets(c);
        if (distinct(t)) {
            _other[c] = other(held, t);
            if (_other[c] != kReload) {
                continue;
            }
        }
        if (c + 1 < range.end) {
            const Targets next = targets(c + 1);
            if (distinct(next)) {
                std::size_t longest = run(held, c + 1);
                for (std::size_t skip = 0; skip < 4; ++skip) {
                    Held candidate{};
                    for (std::size_t k = 0, j = 0; k < 4; ++k) {
                        if (k != skip) {
                            candidate[j++] = next[k];
                        }
                    }
                    const std::size_t n = run(candidate, c + 1);
                    if (n > longest) {
                        longest = n;
                        held = candidate;
                    }
                }
            }
        }
        _reloads.push_back(Reload{t, held});
    }
}

CompactCombinations::Workspace CompactCombinations::workspace() const {
    Workspace w;
    w._p_now.assign(_slot_haplotypes.size() / 2, 0.0);
    w._p_before.assign(_slot_haplotypes.size() / 2, 0.0);
    w._ring.assign(_ring_size, 0.0);
    w._ring_start.assign(_ranges.size(), 0);
    w._range_prob.assign(_ranges.size(), 0.0);
    w._kept.resize(_ranges.size());
    w._is_kept.assign(_ranges.size(), 0);
    w._accumulator.assign(_n_haplotypes + kSpares, 0.0);
    w._frequencies.assign(_n_haplotypes, 0.0);
    return w;
}

void CompactCombinations::finish() {
    std::size_t longest = 0;
    for (const PedigreeRange& range : _ranges) {
        longest = std::max<std::size_t>(longest, range.end - range.begin);
    }
    _slot_of = {};
    _table = nullptr;
    _table_slot = {};
    _g1.shrink_to_fit();
    _g2.shrink_to_fit();
    _seg.shrink_to_fit();
    _factor_code.shrink_to_fit();
    _other.shrink_to_fit();
    _reloads.shrink_to_fit();
    longest = std::max<std::size_t>(longest, 1);
    _ring_size = longest + std::min(3 * longest, kRingSlack);
    _singles_only = std::all_of(_ranges.begin(), _ranges.end(),
                                [](const PedigreeRange& r) { return r.kind == Kind::single; });
    _work = workspace();
    _built = true;
}

class CompactCombinations::FamilyProbabilities {
  public:
    FamilyProbabilities() = default;
    FamilyProbabilities(const CompactCombinations& store, const PedigreeRange& range,
                        const double* p, double* out)
        : _g1(store._g1.data() + range.begin), _g2(store._g2.data() + range.begin),
          _code(store._factor_code.data() + range.begin), _seg_factors(store._seg_factors.data()),
          _pair_factors(store._pair_factors.data()), _p(p), _out(out) {}

    // Combination i of the range. The factors are those of the general rule:
    // the pair factor is 1 for two equal genotypes or an asymmetric pair, and
    // multiplying by 1.0 leaves a value unchanged.
    void add(std::size_t i) {
        const std::uint8_t code = _code[i];
        double x = _p[_g2[i]] * _p[_g1[i]] * _seg_factors[code];
        x *= _pair_factors[code];
        _out[i] = x;
        _sum += x;
    }
    double sum() const { return _sum; }
    // Combinations [from, to). The walk runs on a copy, whose fields the
    // compiler keeps in registers, since nothing else can point at them.
    void walk(std::size_t from, std::size_t to) {
        FamilyProbabilities w = *this;
        for (std::size_t i = from; i < to; ++i) {
            w.add(i);
        }
        *this = w;
    }

  private:
    const std::uint32_t* _g1 = nullptr;
    const std::uint32_t* _g2 = nullptr;
    const std::uint8_t* _code = nullptr;
    const double* _seg_factors = nullptr;
    const double* _pair_factors = nullptr;
    const double* _p = nullptr;
    double* _out = nullptr;
    double _sum = 0.0;
};

// Successive additions to one sum form a chain, and through memory each link
// waits for a store and a load. On the fast path the sums of three of the
// combination's haplotypes stay in registers, and the fourth one's is looked
// up. A reload stores the registers, makes the combination's four additions in
// memory, in order, and loads the registers with what the plan holds next:
// right whatever the haplotypes are, with no branch on them.
class CompactCombinations::FamilyExpectation {
  public:
    FamilyExpectation() = default;
    FamilyExpectation(const CompactCombinations& store, Workspace& w, const PedigreeRange& range,
                      double factor, const double* probs)
        : _acc(w._accumulator.data()), _other(store._other.data() + range.begin),
          _next_reload(store._reloads.data() + range.first_reload), _probs(probs),
          _factor(factor), _held{_acc + store._n_haplotypes, _acc + store._n_haplotypes + 1,
                                 _acc + store._n_haplotypes + 2} {}

    // Combination i of the range.
    void add(std::size_t i) {
        const double e = 0.5 * (_probs[i] * _factor);
        const std::uint32_t other = _other[i];
        if (other == kReload) [[unlikely]] {
            reload(e);
            return;
        }
        _sum0 += e;
        _sum1 += e;
        _sum2 += e;
        _acc[other] += e;
    }
    // Combinations [from, to), alone or side by side with the next
    // combinations of another range's evaluation. As in FamilyProbabilities,
    // on copies.
    void walk(std::size_t from, std::size_t to) {
        FamilyExpectation w = *this;
        for (std::size_t i = from; i < to; ++i) {
            w.add(i);
        }
        *this = w;
    }
    void walk_with(std::size_t from, std::size_t n, FamilyProbabilities& evaluation,
                   std::size_t evaluation_from) {
        FamilyExpectation w = *this;
        FamilyProbabilities v = evaluation;
        for (std::size_t k = 0; k < n; ++k) {
            w.add(from + k);
            v.add(evaluation_from + k);
        }
        *this = w;
        evaluation = v;
    }
    // Stores the registers.
    void finish() {
        *_held[0] = _sum0;
        *_held[1] = _sum1;
        *_held[2] = _sum2;
    }

  private:
    void reload(double e) {
        finish();
        const Reload& step = *_next_reload++;
        _acc[step.targets[0]] += e;
        _acc[step.targets[1]] += e;
        _acc[step.targets[2]] += e;
        _acc[step.targets[3]] += e;
        _held = {_acc + step.held[0], _acc + step.held[1], _acc + step.held[2]};
        _sum0 = *_held[0];
        _sum1 = *_held[1];
        _sum2 = *_held[2];
    }

    double* _acc = nullptr;
    const std::uint32_t* _other = nullptr;
    const Reload* _next_reload = nullptr;
    const double* _probs = nullptr;
    double _factor = 0.0;
    std::array<double*, 3> _held{};
    double _sum0 = 0.0;
    double _sum1 = 0.0;
    double _sum2 = 0.0;
};

double CompactCombinations::range_probs(const PedigreeRange& range, const double* p,
                                        double* out) const {
    double prob = 0.0;
    switch (range.kind) {
    case Kind::single:
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double x = p[_g1[c]];
            out[c - range.begin] = x;
            prob += x;
        }
        break;
    case Kind::family: {
        FamilyProbabilities walk(*this, range, p, out);
        walk.walk(0, range.end - range.begin);
        prob = walk.sum();
        break;
    }
    case Kind::irregular:
        for (std::size_t c = range.begin; c < range.end; ++c) {
            const double x =
                combination_prob(c, _seg[range.first_seg + (c - range.begin)], p, range.symmetric);
            out[c - range.begin] = x;
            prob += x;
        }
        break;
    }
    return prob;
}

std::int64_t CompactCombinations::likelihood(const TPopHaploDB& haplotypes,
                                             std::vector<TPedigree>& pedigrees, double* ln_l) {
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        _work._frequencies[h] = haplotypes[static_cast<std::int32_t>(h)]->_freq;
    }
    return pass(_work, pedigrees, &pedigrees, ln_l);
}

std::int64_t CompactCombinations::pass(Workspace& w, const std::vector<TPedigree>& pedigrees,
                                       std::vector<TPedigree>* commit, double* ln_l) const {
    w._p_before.swap(w._p_now);
    std::fill(w._accumulator.begin(), w._accumulator.end(), 0.0);
    for (std::size_t s = 0; s < w._p_now.size(); ++s) {
        const std::uint32_t h1 = _slot_haplotypes[2 * s];
        const std::uint32_t h2 = _slot_haplotypes[2 * s + 1];
        const double f1 = w._frequencies[h1];
        if (h1 == h2) {
            w._p_now[s] = f1 * f1;
        } else {
            w._p_now[s] = w._frequencies[h2] * 2.0 * f1;
        }
    }
    w._counts_ready = false;
    double sum = 0.0;
    if (ln_l != nullptr) {
        *ln_l = 0.0;
    }
    if (_singles_only) {
        return singles_pass(w, pedigrees, commit, ln_l);
    }
    // A pedigree's expected counts need its probability, summed over all its
    // combinations. Meanwhile the probabilities of the pedigrees after it are
    // formed in the same loop: two independent chains of additions, each in
    // its own order. They wait in the ring; a pedigree's probability is
    // committed, and checked, only after those of the pedigrees before it.
    const double* p = w._p_now.data();
    const std::size_t n_ranges = _ranges.size();
    auto length = [&](std::size_t r) {
        return static_cast<std::size_t>(_ranges[r].end - _ranges[r].begin);
    };
    std::uint64_t head = 0;     // ring values written so far
    std::size_t expecting = 0;  // the pedigree whose expected counts are formed
    std::size_t evaluating = 0; // the first pedigree not evaluated yet
    // The walks under way, if their flags are set.
    FamilyExpectation expectation;
    bool expecting_family = false;
    std::size_t expected = 0; // combinations of `expecting` done
    FamilyProbabilities evaluation;
    bool evaluating_family = false;
    std::size_t evaluated = 0; // combinations of `evaluating` done
    // Starts evaluating the next pedigree; false when its place in the ring
    // is still needed.
    auto start_evaluation = [&]() {
        const std::size_t n = length(evaluating);
        const std::uint64_t start = ring_place(w, head, n);
        // The values still needed start with those of `expecting`, if any.
        const std::uint64_t live = expecting < evaluating ? w._ring_start[expecting] : start;
        if (start + n - live > w._ring.size()) {
            return false;
        }
        w._ring_start[evaluating] = start;
        const PedigreeRange& range = _ranges[evaluating];
        if (range.kind == Kind::family) {
            evaluation = FamilyProbabilities(*this, range, p, ring_at(w, start));
            evaluating_family = true;
            evaluated = 0;
            return true;
        }
        w._range_prob[evaluating] = range_probs(range, p, ring_at(w, start));
        head = start + n;
        ++evaluating;
        return true;
    };
    auto end_evaluation = [&]() {
        w._range_prob[evaluating] = evaluation.sum();
        head = w._ring_start[evaluating] + length(evaluating);
        ++evaluating;
        evaluating_family = false;
    };
    while (expecting < n_ranges) {
        if (!expecting_family) {
            if (evaluating == expecting) {
                // Nothing evaluated ahead: finish this pedigree's evaluation alone.
                if (!evaluating_family) {
                    start_evaluation();
                }
                if (evaluating_family) {
                    evaluation.walk(evaluated, length(evaluating));
                    end_evaluation();
                }
            }
            if (!(sum > kFloorLnLikelihood)) {
                keep_from(w, expecting);
                return -1;
            }
            const PedigreeRange& range = _ranges[expecting];
            const double prob = w._range_prob[expecting];
            const TPedigree& ped = pedigrees[range.pedigree];
            if (commit != nullptr) {
                (*commit)[range.pedigree]._prob = prob;
            }
            w._is_kept[expecting] = 0;
            if (!(prob > 0.0)) {
                keep_from(w, expecting + 1);
                return static_cast<std::int64_t>(range.pedigree);
            }
            if (ln_l != nullptr) {
                sum = sum + ped._obs_count * std::log(prob);
                *ln_l = sum;
            }
            const double factor = ped._obs_weight / prob;
            double* probs = ring_at(w, w._ring_start[expecting]);
            if (range.kind != Kind::family) {
                accumulate(w, range, factor, probs);
                ++expecting;
                continue;
            }
            expectation = FamilyExpectation(*this, w, range, factor, probs);
            expecting_family = true;
            expected = 0;
        }
        if (!evaluating_family && evaluating < n_ranges && start_evaluation() &&
            !evaluating_family) {
            continue; // a pedigree of another kind was evaluated at once
        }
        if (evaluating_family) {
            const std::size_t n =
                std::min(length(expecting) - expected, length(evaluating) - evaluated);
            expectation.walk_with(expected, n, evaluation, evaluated);
            expected += n;
            evaluated += n;
            if (evaluated == length(evaluating)) {
                end_evaluation();
            }
        } else {
            expectation.walk(expected, length(expecting));
            expected = length(expecting);
        }
        if (expected == length(expecting)) {
            expectation.finish();
            expecting_family = false;
            ++expecting;
        }
    }
    w._counts_ready = true;
    return -1;
}

std::int64_t CompactCombinations::singles_pass(Workspace& w,
                                               const std::vector<TPedigree>& pedigrees,
                                               std::vector<TPedigree>* commit, double* ln_l) const {
    // The steps of the general pass for ranges of single individuals, without
    // its look-ahead: each pedigree's probability, then its expected counts,
    // the same additions in the same order.
    const double* p = w._p_now.data();
    double* probs = w._ring.data();
    double sum = 0.0;
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        if (!(sum > kFloorLnLikelihood)) {
            keep_from(w, r);
            return -1;
        }
        const PedigreeRange& range = _ranges[r];
        const double prob = range_probs(range, p, probs);
        w._range_prob[r] = prob;
        const TPedigree& ped = pedigrees[range.pedigree];
        if (commit != nullptr) {
            (*commit)[range.pedigree]._prob = prob;
        }
        w._is_kept[r] = 0;
        if (!(prob > 0.0)) {
            keep_from(w, r + 1);
            return static_cast<std::int64_t>(range.pedigree);
        }
        if (ln_l != nullptr) {
            sum = sum + ped._obs_count * std::log(prob);
            *ln_l = sum;
        }
        accumulate(w, range, ped._obs_weight / prob, probs);
    }
    w._counts_ready = true;
    return -1;
}

double CompactCombinations::ln_likelihood(const std::vector<TPedigree>& pedigrees) const {
    return ln_likelihood(_work, pedigrees);
}

double CompactCombinations::ln_likelihood(const Workspace& w,
                                          const std::vector<TPedigree>& pedigrees) const {
    double ln_l = 0.0;
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        ln_l = ln_l + pedigrees[_ranges[r].pedigree]._obs_count * std::log(w._range_prob[r]);
    }
    return ln_l;
}

void CompactCombinations::keep_from(Workspace& w, std::size_t first) const {
    // A pedigree not kept yet was evaluated by the previous pass.
    for (std::size_t r = first; r < _ranges.size(); ++r) {
        if (w._is_kept[r] != 0) {
            continue;
        }
        const PedigreeRange& range = _ranges[r];
        w._kept[r].resize(range.end - range.begin);
        range_probs(range, w._p_before.data(), w._kept[r].data());
        w._is_kept[r] = 1;
    }
}

void CompactCombinations::accumulate(Workspace& w, const PedigreeRange& range, double factor,
                                     const double* probs) const {
    if (range.kind == Kind::family) {
        FamilyExpectation walk(*this, w, range, factor, probs);
        walk.walk(0, range.end - range.begin);
        walk.finish();
        return;
    }
    for (std::size_t c = range.begin; c < range.end; ++c) {
        const double e = 0.5 * (probs[c - range.begin] * factor);
        for (const std::uint32_t g : {_g1[c], _g2[c]}) {
            if (g != kNone) {
                w._accumulator[_slot_haplotypes[2 * static_cast<std::size_t>(g)]] += e;
                w._accumulator[_slot_haplotypes[2 * static_cast<std::size_t>(g) + 1]] += e;
            }
        }
    }
}

std::uint64_t CompactCombinations::ring_place(const Workspace& w, std::uint64_t head,
                                              std::size_t n) const {
    const std::uint64_t within = head % w._ring.size();
    return within + n <= w._ring.size() ? head : head + (w._ring.size() - within);
}

void CompactCombinations::expected_counts(TPopHaploDB& haplotypes,
                                          const std::vector<TPedigree>& pedigrees) {
    Workspace& w = _work;
    bool unchanged = w._counts_ready;
    for (std::size_t h = 0; unchanged && h < _n_haplotypes; ++h) {
        unchanged = haplotypes[static_cast<std::int32_t>(h)]->_freq == w._frequencies[h];
    }
    if (!unchanged) {
        // A pass that stopped early, or frequencies changed since: the full walk.
        std::fill(w._accumulator.begin(), w._accumulator.end(), 0.0);
        for (std::size_t r = 0; r < _ranges.size(); ++r) {
            const PedigreeRange& range = _ranges[r];
            const TPedigree& ped = pedigrees[range.pedigree];
            const double prob = ped._prob;
            if (!(prob > 0.0)) {
                continue;
            }
            const double* probs = w._kept[r].data();
            if (w._is_kept[r] == 0) {
                range_probs(range, w._p_now.data(), w._ring.data());
                probs = w._ring.data();
            }
            accumulate(w, range, ped._obs_weight / prob, probs);
        }
    }
    w._counts_ready = false;
    for (std::size_t h = 0; h < _n_haplotypes; ++h) {
        haplotypes[static_cast<std::int32_t>(h)]->_freq = w._accumulator[h];
    }
}

bool CompactCombinations::run_em(Workspace& w, const std::vector<TPedigree>& pedigrees,
                                 std::vector<double>& frequencies, std::int32_t max_iterations,
                                 double tolerance, EmRun& run) const {
    // The steps of the estimation's loop over the database: a likelihood
    // pass, the expected counts as the next frequencies, and the total
    // change against the frequencies before, added in haplotype order.
    const std::size_t n = _n_haplotypes;
    std::vector<double> previous(n, 0.0);
    run.ln_l = static_cast<float>(kFloorLnLikelihood);
    run.iterations = 0;
    for (std::int32_t t = 1; t <= max_iterations; ++t) {
        std::copy(frequencies.begin(), frequencies.end(), w._frequencies.begin());
        if (pass(w, pedigrees, nullptr, nullptr) >= 0 || !w._counts_ready) {
            return false;
        }
        for (std::size_t h = 0; h < n; ++h) {
            // A frequency that is not a number would send the database's
            // expectation step down its other path.
            if (!(frequencies[h] == w._frequencies[h])) {
                return false;
            }
        }
        w._counts_ready = false;
        std::copy(w._accumulator.begin(), w._accumulator.begin() + static_cast<std::ptrdiff_t>(n),
                  frequencies.begin());
        ++run.iterations;
        if (LikelihoodEngine::converged(frequencies, previous, tolerance) || t == max_iterations) {
            run.ln_l = static_cast<float>(ln_likelihood(w, pedigrees));
            break;
        }
    }
    return true;
}

void CompactCombinations::commit_probabilities(const Workspace& w,
                                               std::vector<TPedigree>& pedigrees) const {
    for (std::size_t r = 0; r < _ranges.size(); ++r) {
        pedigrees[_ranges[r].pedigree]._prob = w._range_prob[r];
    }
}
