#include "pedigree/pedigree.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <sstream>

#include "support/errors.h"
#include "support/random.h"

std::atomic<bool> UseAllCombinations{false};

bool TPedigree::same_parents(const TPedigree& other) const {
    return (_parent1 == other._parent1 && _parent2 == other._parent2) ||
           (_parent1 == other._parent2 && _parent2 == other._parent1);
}

bool TPedigree::is_equivalent(const TPedigree& other) const {
    // Parent places match when their phenotypes and their typed flags do.
    auto same = [](const TParent* a, const TParent* b) {
        return *a->_phen == *b->_phen && (a->_typed != 0) == (b->_typed != 0);
    };
    bool parents_match = false;
    if (_parent2 == nullptr || other._parent2 == nullptr) {
        parents_match = same(_parent1, other._parent1);
    } else {
        parents_match = (same(_parent1, other._parent1) && same(_parent2, other._parent2)) ||
                        (same(_parent1, other._parent2) && same(_parent2, other._parent1));
    }
    if (!parents_match || _sibs.size() != other._sibs.size()) {
        return false;
    }
    std::vector<char> taken(other._sibs.size(), 0);
    for (const TPhenPed* sib : _sibs) {
        bool found = false;
        for (std::size_t j = 0; j < other._sibs.size(); ++j) {
            if (taken[j] == 0 && *sib == *other._sibs[j]) {
                taken[j] = 1;
                found = true;
                break;
            }
        }
        if (!found) {
            return false;
        }
    }
    return true;
}

namespace {
TPopHaplotype* locus_haplotype(TPopHaploDB& haplotypes, const TPopHaplotype& pseudo,
                               std::int32_t locus) {
    static const double kOne = 1.0;
    TPopHaplotype h;
    h.append(pseudo.allele(locus));
    return haplotypes.add_haplotype(h, kOne);
}

// The table indices of the haplotypes in one sib's genotypes, or in those a
// parent must carry for it: at most two per genotype.
class HaplotypeSet {
  public:
    static constexpr std::size_t kCapacity = 2 * TGenotypeList::kCapacity;

    void clear() { _count = 0; }
    void add(std::int32_t index) {
        if (index >= 0 && !contains(index) && _count < kCapacity) {
            _items[_count++] = index;
        }
    }
    bool contains(std::int32_t index) const {
        return std::find(_items.begin(), _items.begin() + _count, index) != _items.begin() + _count;
    }
    bool empty() const { return _count == 0; }
    // The indices in ascending order.
    std::vector<std::int32_t> sorted() const {
        std::vector<std::int32_t> out(_items.begin(), _items.begin() + _count);
        std::sort(out.begin(), out.end());
        return out;
    }

  private:
    std::array<std::int32_t, kCapacity> _items{};
    std::size_t _count = 0;
};

// For each sib, the table indices of the haplotypes in its genotypes.
std::vector<HaplotypeSet> haplotypes_of_sibs(const TSmallGenDB& table,
                                             const std::vector<const TGenotypeList*>& lists) {
    std::vector<HaplotypeSet> sets(lists.size());
    if (!table.whole_table()) {
        return sets;
    }
    for (std::size_t k = 0; k < lists.size(); ++k) {
        for (const TGenotype& g : *lists[k]) {
            sets[k].add(table.table_index(g._hapl1));
            sets[k].add(table.table_index(g._hapl2));
        }
    }
    return sets;
}

// Calls f(position), in ascending order of position below `end`, for every
// compatible record of a whole table that carries a haplotype of each set.
// Row i of the table holds the pairs (i, j), j <= i: in a row whose first
// haplotype is in the first set every record is a candidate, in any other
// row only those whose second haplotype is.
template <typename F>
void for_each_carrier(const TSmallGenDB& table, const std::vector<HaplotypeSet>& sets,
                      std::int64_t end, F f) {
    if (sets.empty() || sets[0].empty()) {
        return;
    }
    const std::vector<std::int32_t> first = sets[0].sorted();
    auto fits = [&](std::int32_t i, std::int32_t j, std::int64_t at) {
        for (std::size_t k = 1; k < sets.size(); ++k) {
            if (!sets[k].contains(i) && !sets[k].contains(j)) {
                return false;
            }
        }
        return table[static_cast<std::int32_t>(at)]._compatible;
    };
    for (std::int32_t i = 0; i < table.table_haplotypes(); ++i) {
        const std::int64_t row = TSmallGenDB::position(i, 0);
        if (row >= end) {
            return;
        }
        if (sets[0].contains(i)) {
            for (std::int32_t j = 0; j <= i && row + j < end; ++j) {
                if (fits(i, j, row + j)) {
                    f(static_cast<std::int32_t>(row + j));
                }
            }
            continue;
        }
        for (const std::int32_t j : first) {
            if (j > i || row + j >= end) {
                break;
            }
            if (fits(i, j, row + j)) {
                f(static_cast<std::int32_t>(row + j));
            }
        }
    }
}
} // namespace

void TPedigree::hook_gen_db(TSmallGenDB& shared, TPopHaploDB& haplotypes, const std::int32_t& locus,
                            char build_flag) {
    for (TParent* parent : {_parent1, _parent2}) {
        if (parent == nullptr) {
            continue;
        }
        if (parent->_typed == 0) {
            parent->_gen_db = &shared;
            continue;
        }
        try {
            auto db = std::make_shared<TSmallGenDB>();
            TPhenPed& phen = *parent->_phen;
            if (locus < 0) {
                phen.build_genotypes(haplotypes, build_flag);
                for (const TGenotype& g : phen._gen_list) {
                    db->append(g._hapl1, g._hapl2);
                }
            } else {
                TPopHaplotype* h1 = locus_haplotype(haplotypes, *phen.pseudo_hapl(0), locus);
                TPopHaplotype* h2 = locus_haplotype(haplotypes, *phen.pseudo_hapl(1), locus);
                db->append(h1, h2);
            }
            parent->_own_dbs.push_back(db);
            parent->_gen_db = db.get();
        } catch (const std::bad_alloc&) {
            error_log.report("TPedigree::hook_gen_db : unable to allocate memory", Errors::kFatal);
        }
    }
    _gen_db1 = _parent1->_gen_db;
    _gen_db2 = _parent2 != nullptr ? _parent2->_gen_db : nullptr;
}

void TPedigree::mark_compatible_parent_genotypes(const std::int32_t& locus) {
    // The genotypes of a whole table that suit the sibs are listed from the
    // sibs' haplotypes when the combinations are made (for_each_carrier).
    if (!_parent1->_gen_db->whole_table()) {
        _parent1->_gen_db->check_compatibility(_sibs, locus);
    }
    if (_parent2 != nullptr && _parent2->_typed != 0 && !_parent2->_gen_db->whole_table()) {
        _parent2->_gen_db->check_compatibility(_sibs, locus);
    }
}

void TPedigree::build_member_genotypes(TPopHaploDB& haplotypes, const std::int32_t& locus) {
    for (TPhenPed* sib : _sibs) {
        if (locus < 0) {
            sib->build_genotypes(haplotypes, 0);
        } else {
            // The list may hold a genotype of another locus's table, now released.
            sib->_gen_list.clear();
            TPopHaplotype* h1 = locus_haplotype(haplotypes, *sib->pseudo_hapl(0), locus);
            TPopHaplotype* h2 = locus_haplotype(haplotypes, *sib->pseudo_hapl(1), locus);
            sib->_gen_list.append(TGenotype{h1, h2, 0.0});
        }
    }
}

void TPedigree::create_genot_combination() {
    TSmallGenDB& db1 = *_parent1->_gen_db;
    if (_sibs.empty()) {
        for (std::int32_t i = 0; i < db1.size(); ++i) {
            TGenotypicCombination c;
            c._parent1 = &db1[i];
            _gen_comb.push_back(c);
        }
        return;
    }
    std::vector<const TGenotypeList*> lists;
    lists.reserve(_sibs.size());
    for (const TPhenPed* sib : _sibs) {
        lists.push_back(&sib->_gen_list);
    }
    const double n_sib_combinations = TSibCombinationStore::count(lists);
    if (n_sib_combinations * static_cast<double>(lists.size()) >
        static_cast<double>(_combination_limit)) {
        throw CombinationLimitExceeded{true, n_sib_combinations};
    }
    _sib_comb.enumerate(lists);
    if (_sib_comb.empty()) {
        return;
    }
    TSmallGenDB& db2 = *_parent2->_gen_db;
    const bool sym = symmetric();
    const std::size_t n_sibs = _sibs.size();
    const std::vector<std::int32_t>& stored_sibs = _sib_comb.stored_sibs();
    // m[k][d]: how many of the four children of a parent pair carry genotype d
    // of sib k. Computed once per pair instead of once per sib combination.
    std::vector<std::array<std::int32_t, TGenotypeList::kCapacity>> m(n_sibs);
    std::vector<std::uint32_t> digit(n_sibs);
    auto try_pair = [&](TSmallGen& g1, TSmallGen& g2) {
        const OffspringGenotypes offspring(g1, g2);
        for (std::size_t k = 0; k < n_sibs; ++k) {
            const TGenotypeList& list = *lists[k];
            std::int32_t any = 0;
            for (std::uint32_t d = 0; d < list.size(); ++d) {
                m[k][d] = offspring.count(list[d]);
                any += m[k][d];
            }
            // A pair that cannot produce some sib's genotypes adds nothing.
            if (any == 0) {
                return;
            }
        }
        std::fill(digit.begin(), digit.end(), 0U);
        for (std::int32_t s = 0; s < _sib_comb.size(); ++s) {
            double seg = 1.0;
            bool fits = true;
            for (std::size_t p = 0; p < n_sibs; ++p) {
                const auto k = static_cast<std::size_t>(stored_sibs[p]);
                const std::int32_t count = m[k][digit[k]];
                if (count == 0) {
                    fits = false;
                    break;
                }
                seg = segregation_step(seg, count);
            }
            if (fits) {
                if (_gen_comb.size() >= _combination_limit) {
                    throw CombinationLimitExceeded{false, static_cast<double>(_gen_comb.size())};
                }
                TGenotypicCombination c;
                c._parent1 = &g1;
                c._parent2 = &g2;
                c._sib_gens = s;
                c._seg_prob = seg;
                _gen_comb.push_back(c);
            }
            // Next sib combination: last sib fastest.
            for (std::size_t k = n_sibs; k-- > 0;) {
                if (++digit[k] < lists[k]->size()) {
                    break;
                }
                digit[k] = 0;
            }
        }
    };

    // Parent pairs in table order: parent 1's genotypes outermost, then
    // parent 2's (for two untyped parents only pairs j <= i, the other order
    // being the same pair). A pair adds combinations only if each parent
    // carries, for every sib, a haplotype of one of the sib's genotypes; the
    // genotypes of an untyped parent that can are listed from the sibs'
    // haplotypes, in table order, without walking the whole table.
    // needed[k]: the haplotypes of `table` one parent must carry for sib k
    // when the other parent's genotype is `other`.
    std::vector<HaplotypeSet> needed(n_sibs);
    auto set_needed = [&](const TSmallGen& other, const TSmallGenDB& table) {
        for (std::size_t k = 0; k < n_sibs; ++k) {
            needed[k].clear();
            for (const TGenotype& g : *lists[k]) {
                if (g._hapl1 == other._hapl1 || g._hapl1 == other._hapl2) {
                    needed[k].add(table.table_index(g._hapl2));
                }
                if (g._hapl2 == other._hapl1 || g._hapl2 == other._hapl2) {
                    needed[k].add(table.table_index(g._hapl1));
                }
            }
        }
    };
    auto pairs_with = [&](std::int32_t i, TSmallGen& g1) {
        if (!db2.whole_table()) {
            const std::int32_t last = sym ? i + 1 : db2.size();
            for (std::int32_t j = 0; j < last; ++j) {
                if (db2[j]._compatible) {
                    try_pair(g1, db2[j]);
                }
            }
            return;
        }
        set_needed(g1, db2);
        const std::int64_t end = sym ? static_cast<std::int64_t>(i) + 1 : db2.size();
        for_each_carrier(db2, needed, end, [&](std::int32_t j) { try_pair(g1, db2[j]); });
    };
    if (!db1.whole_table()) {
        for (std::int32_t i = 0; i < db1.size(); ++i) {
            if (db1[i]._compatible) {
                pairs_with(i, db1[i]);
            }
        }
        return;
    }
    if (db2.whole_table()) {
        for_each_carrier(db1, haplotypes_of_sibs(db1, lists), db1.size(),
                         [&](std::int32_t i) { pairs_with(i, db1[i]); });
        return;
    }
    // Parent 2 is typed, with a genotype or two: parent 1's candidates are
    // those that some genotype of parent 2 leaves the sibs needing.
    std::vector<std::int32_t> first;
    for (std::int32_t j = 0; j < db2.size(); ++j) {
        if (db2[j]._compatible) {
            set_needed(db2[j], db1);
            for_each_carrier(db1, needed, db1.size(), [&](std::int32_t i) { first.push_back(i); });
        }
    }
    std::sort(first.begin(), first.end());
    first.erase(std::unique(first.begin(), first.end()), first.end());
    for (const std::int32_t i : first) {
        pairs_with(i, db1[i]);
    }
}

double TPedigree::calc_prob() {
    const bool sym = symmetric();
    _prob = 0.0;
    for (TGenotypicCombination& c : _gen_comb) {
        if (!c._active && !UseAllCombinations) {
            continue;
        }
        TSmallGen& g1 = *c._parent1;
        g1._freq = genotype_probability(g1);
        c._prob = g1._freq;
        if (c._parent2 != nullptr && c._seg_prob > 0.0) {
            TSmallGen& g2 = *c._parent2;
            if (&g2 == &g1) {
                c._prob = g1._freq * c._prob * c._seg_prob;
            } else {
                g2._freq = genotype_probability(g2);
                c._prob = g2._freq * c._prob * c._seg_prob;
                if (sym) {
                    c._prob *= 2.0;
                }
            }
        }
        _prob += c._prob;
    }
    if (_gen_comb.empty()) {
        std::ostringstream text;
        text << "\n!!!!!Incompatible pedigree!!!!!\n"
             << "===============================\n"
             << *this;
        error_log.report(text.str(), Errors::kWarning);
    }
    return _prob;
}

void TPedigree::add_expected_counts() {
    const double factor = _obs_weight / _prob;
    for (TGenotypicCombination& c : _gen_comb) {
        if (!c._active && !UseAllCombinations) {
            continue;
        }
        if (!(_prob > 0.0)) {
            c._post_prob = 0.0;
            continue;
        }
        c._post_prob = c._prob * factor;
        if (c._post_prob < 1e-10) {
            c._active = false;
        }
        const double e = 0.5 * c._post_prob;
        c._parent1->_hapl1->_freq += e;
        c._parent1->_hapl2->_freq += e;
        if (c._parent2 != nullptr) {
            c._parent2->_hapl1->_freq += e;
            c._parent2->_hapl2->_freq += e;
        }
    }
}

void TPedigree::release_combinations() {
    if (_gen_comb.empty()) {
        return;
    }
    std::vector<TGenotypicCombination>().swap(_gen_comb);
    _sib_comb = TSibCombinationStore();
    _released = true;
}

void TPedigree::restore_combinations(TSmallGenDB& shared, const std::int32_t& locus) {
    if (!_released) {
        return;
    }
    // The parent records point at the databases of the last family they head.
    TSmallGenDB* const last1 = _parent1->_gen_db;
    TSmallGenDB* const last2 = _parent2 != nullptr ? _parent2->_gen_db : nullptr;
    _parent1->_gen_db = _gen_db1;
    if (_parent2 != nullptr) {
        _parent2->_gen_db = _gen_db2;
    }
    mark_compatible_parent_genotypes(locus);
    create_genot_combination();
    shared.set_all_compatible();
    _parent1->_gen_db = last1;
    if (_parent2 != nullptr) {
        _parent2->_gen_db = last2;
    }
    _released = false;
}

void TPedigree::activate_all_combinations() {
    for (TGenotypicCombination& c : _gen_comb) {
        c._active = true;
    }
}

void TPedigree::transmit_to_sibs() {
    if (_sibs.empty()) {
        return;
    }
    static const std::int32_t kTwo = 2;
    const TPhenPed& p1 = *_parent1->_phen;
    const TPhenPed& p2 = *_parent2->_phen;
    for (TPhenPed* sib : _sibs) {
        const std::int32_t r1 = random_index(kTwo);
        if (p1.pseudo_hapl(r1) != nullptr) {
            sib->set_pseudo_hapl(*p1.pseudo_hapl(r1), 0);
            sib->_pseudo_hapl[0]->_freq = 0.0;
        }
        const std::int32_t r2 = random_index(kTwo);
        if (p2.pseudo_hapl(r2) != nullptr) {
            sib->set_pseudo_hapl(*p2.pseudo_hapl(r2), 1);
            sib->_pseudo_hapl[1]->_freq = 0.0;
        }
    }
}

std::ostream& operator<<(std::ostream& os, const TPedigree& p) {
    if (p._unique) {
        os << "Unique Pedigree: Obs. count = " << p._obs_count << "\n";
    } else {
        os << "Pedigree is redundant"
           << "\n";
    }
    if (p._parent1 != nullptr) {
        os << "Parent 1 id : ";
        if (p._parent1->_phen != nullptr) {
            os << *p._parent1->_phen << "\n";
        }
    }
    if (p._parent2 != nullptr) {
        os << "Parent 2 id : ";
        if (p._parent2->_phen != nullptr) {
            os << *p._parent2->_phen << "\n";
        }
    }
    std::int32_t k = 1;
    for (const TPhenPed* sib : p._sibs) {
        os << "Sib " << k++ << " id : " << *sib->_id << "\n";
        sib->print_pseudo_hapl(os);
        os << "\n";
    }
    os << "\nPossible genotypic combinations"
       << "\n-------------------------------"
       << "\n";
    for (std::size_t c = 0; c < p._gen_comb.size(); ++c) {
        os << "Combination #" << (c + 1) << "\n"
           << "---------------\n"
           << "\n";
        print_combination(os, p._gen_comb[c], p.sib_genotypes(p._gen_comb[c]));
        os << "\n";
    }
    return os;
}
