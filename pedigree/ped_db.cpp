#include "pedigree/ped_db.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstring>
#include <functional>
#include <iomanip>
#include <iostream>
#include <map>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "support/errors.h"
#include "support/memory_limit.h"

void TPedDB::build_pedigree_structures(TPhenPedDB& db) {
    // Individuals named as a parent by someone with two known parents: these
    // head a family. (A child with one unknown parent has no parents.)
    std::unordered_set<const TPhenPed*> heads_family;
    for (const auto& x : db.records()) {
        if (!db.is_unknown(x->_parent1_id) && !db.is_unknown(x->_parent2_id)) {
            for (const std::string* id : {x->_parent1_id, x->_parent2_id}) {
                if (const TPhenPed* p = db.find(id)) {
                    heads_family.insert(p);
                }
            }
        }
    }
    // First record in list order for an individual: the most recently added one.
    std::unordered_map<const TPhenPed*, TParent*> record_of;
    auto add_record = [&](TPhenPed* phen, std::int32_t typed) {
        auto record = std::make_unique<TParent>();
        record->_typed = typed;
        record->_phen = phen;
        TParent* r = _parents.push_front(std::move(record));
        record_of[phen] = r;
        return r;
    };
    // First pedigree with a given unordered pair of parent records.
    std::map<std::pair<const TParent*, const TParent*>, std::size_t> family_of;

    for (const auto& entry : db.records()) {
        TPhenPed* x = entry.get();
        if (db.is_unknown(x->_parent1_id) || db.is_unknown(x->_parent2_id)) {
            if (heads_family.count(x) == 0) {
                // A single individual; one without allelic data carries no information.
                if (!x->typed()) {
                    continue;
                }
                TParent* r = add_record(x, 1);
                _pedigrees.emplace_back(r, nullptr);
            } else {
                const auto it = record_of.find(x);
                if (it != record_of.end()) {
                    if (x->typed()) {
                        it->second->_typed = 1;
                    }
                } else {
                    x->_is_parent = 1;
                    add_record(x, x->typed() ? 1 : 0);
                }
            }
            continue;
        }
        TPhenPed* p1 = db.find(x->_parent1_id);
        TPhenPed* p2 = db.find(x->_parent2_id);
        if (p1 == nullptr || p2 == nullptr) {
            // Missing parents were completed after reading, so this needs both gone.
            assert(p1 == nullptr && p2 == nullptr);
            error_log.report(
                "TPedDB::build_pedigree_structures : Unable to find parents in TPhenPed data base",
                Errors::kWarning);
            continue;
        }
        for (TPhenPed* p : {p1, p2}) {
            if (p->_is_parent == 0) {
                p->_is_parent = 1;
                add_record(p, 0);
            }
        }
        TParent* r1 = record_of.at(p1);
        TParent* r2 = record_of.at(p2);
        const std::less<const TParent*> before;
        const std::pair<const TParent*, const TParent*> key =
            before(r1, r2) ? std::make_pair(r1, r2) : std::make_pair(r2, r1);
        const auto found = family_of.find(key);
        if (found != family_of.end()) {
            auto& sibs = _pedigrees[found->second]._sibs;
            sibs.insert(sibs.begin(), x);
        } else {
            family_of.emplace(key, _pedigrees.size());
            _pedigrees.emplace_back(r1, r2);
            _pedigrees.back()._sibs.push_back(x);
        }
    }
}

namespace {

// A phenotype as a comparable key: per locus its two allele objects as an
// unordered pair; without allelic data, its weight. Two phenotypes compare
// equal exactly when their keys are equal.
using Key = std::vector<std::uintptr_t>;

void append_phenotype(Key& key, const TPhenotype& p) {
    if (!p.typed()) {
        std::uintptr_t weight = 0;
        std::memcpy(&weight, &p._pheno_weight, sizeof(double));
        key.insert(key.end(), {0, weight});
        return;
    }
    key.push_back(1);
    const TPopHaplotype& a = *p.pseudo_hapl(0);
    const TPopHaplotype& b = *p.pseudo_hapl(1);
    for (std::int32_t l = 0; l < a.size(); ++l) {
        const auto x = reinterpret_cast<std::uintptr_t>(a.allele(l));
        const auto y = reinterpret_cast<std::uintptr_t>(b.allele(l));
        key.insert(key.end(), {std::min(x, y), std::max(x, y)});
    }
}

Key phenotype_key(const TPhenotype& p) {
    Key key;
    append_phenotype(key, p);
    return key;
}

// A parent place: its typed flag, then its phenotype. A typed individual with
// an untyped place (a middle-generation individual, sib of its parents' family)
// takes every genotype there, so the flag matters as much as the phenotype.
Key parent_key(const TParent& parent) {
    Key key{static_cast<std::uintptr_t>(parent._typed != 0)};
    append_phenotype(key, *parent._phen);
    return key;
}

// Two pedigrees are equivalent exactly when their keys are equal: the same
// parent places (typed flag and phenotype) in either order, and the same
// multiset of sib phenotypes.
Key pedigree_key(const TPedigree& p) {
    std::vector<Key> parents{parent_key(*p._parent1)};
    if (p._parent2 != nullptr) {
        parents.push_back(parent_key(*p._parent2));
    }
    std::sort(parents.begin(), parents.end());
    std::vector<Key> sibs;
    for (const TPhenPed* sib : p._sibs) {
        sibs.push_back(phenotype_key(*sib));
    }
    std::sort(sibs.begin(), sibs.end());
    Key key{parents.size(), sibs.size()};
    for (const auto* group : {&parents, &sibs}) {
        for (const Key& k : *group) {
            key.push_back(k.size());
            key.insert(key.end(), k.begin(), k.end());
        }
    }
    return key;
}

} // namespace

void TPedDB::find_redundant_pedigrees() {
    // Equivalence of pedigrees is an equivalence relation, so grouping by key
    // merges every pedigree into the earliest of its class, in array order,
    // as comparing each representative with every later pedigree would.
    std::map<Key, std::size_t> representative;
    for (std::size_t j = 0; j < _pedigrees.size(); ++j) {
        TPedigree& pj = _pedigrees[j];
        pj._unique = true;
        const auto [it, inserted] = representative.emplace(pedigree_key(pj), j);
        if (!inserted) {
            TPedigree& pi = _pedigrees[it->second];
            pi._obs_weight += pj._obs_weight;
            pi._obs_count += pj._obs_count;
            pj._unique = false;
        }
    }
}

void TPedDB::normalise_weights() {
    // Parent places: two per family, one per single individual. Dividing by
    // these (not by the records) keeps the expected counts summing to one when
    // a parent heads several families.
    std::int64_t places = 0;
    for (const TPedigree& p : _pedigrees) {
        places += p._parent2 != nullptr ? 2 : 1;
    }
    const auto divisor = static_cast<double>(places);
    for (TPedigree& p : _pedigrees) {
        p._obs_weight /= divisor;
    }
}

namespace {
// What one stored combination costs: the record, its packed copy and the
// growth slack of the arrays.
constexpr std::uint64_t kBytesPerCombination = 96;

std::string describe(const TPedigree& p) {
    std::ostringstream text;
    if (p._parent2 == nullptr) {
        text << "(single individual " << *p._parent1->_phen->_id << ")";
        return text.str();
    }
    text << "(parents " << *p._parent1->_phen->_id << " and " << *p._parent2->_phen->_id << ", "
         << p._sibs.size() << (p._sibs.size() == 1 ? " sib)" : " sibs)");
    return text.str();
}

// Past this many stored combinations an analysis with --fast takes a small
// fraction of the time (see the README's measurements).
constexpr double kSuggestFastFrom = 2e6;

// Says once per run, on standard error, that --fast would serve better:
// `combinations` were stored, or (`over_limit`) the memory limit stopped them.
void suggest_fast(double combinations, bool over_limit) {
    static std::atomic<bool> said{false};
    if ((over_limit || combinations >= kSuggestFastFrom) && !said.exchange(true)) {
        std::ostringstream text;
        text << std::setprecision(0) << std::fixed << "tovaquor: ";
        if (over_limit) {
            text << "the genotypic combinations of a family pass the memory limit";
        } else {
            text << "this analysis stores " << combinations << " genotypic combinations";
        }
        text << " (a parent absent from the data takes every genotype the population allows); "
                "the option --fast sums over the haplotypes parents pass on instead, with far "
                "less time and memory\n";
        std::cerr << text.str();
    }
}
} // namespace

void TPedDB::build_all_genotypic_combinations(TPopHaploDB& haplotypes, TSmallGenDB& shared,
                                              std::int32_t locus, char build_flag) {
    if (_fast) {
        build_summed_pedigrees(haplotypes, shared, locus, build_flag);
        return;
    }
    const std::uint64_t budget = memory_limit_bytes() / kBytesPerCombination;
    // The sample builds the table of all pairs only when it foresees a
    // parent taking every genotype; should one come unforeseen, it is built
    // here.
    const bool takes_all =
        std::any_of(_pedigrees.begin(), _pedigrees.end(), [](const TPedigree& p) {
            return p._unique &&
                   (p._parent1->_typed == 0 || (p._parent2 != nullptr && p._parent2->_typed == 0));
        });
    if (takes_all && shared.empty() && !shared.build_all_valid_gen(haplotypes)) {
        error_log.report("TPedDB::build_all_genotypic_combinations : Unable to build genotype data "
                         "base ... exiting",
                         Errors::kFatal);
    }
    _compact.start(haplotypes);
    std::uint64_t stored = 0;
    std::int32_t k = 1;
    for (TPedigree& p : _pedigrees) {
        if (p._unique) {
            p.hook_gen_db(shared, haplotypes, locus, build_flag);
            p.mark_compatible_parent_genotypes(locus);
            p.build_member_genotypes(haplotypes, locus);
            p._combination_limit = static_cast<std::size_t>(budget > stored ? budget - stored : 0);
            try {
                p.create_genot_combination();
            } catch (const FatalError&) {
                throw;
            } catch (const CombinationLimitExceeded& e) {
                std::ostringstream text;
                text << std::setprecision(0) << std::fixed
                     << "TPedDB::build_all_genotypic_combinations : pedigree #" << k
                     << " of sample " << _sample_name << " " << describe(p) << " needs ";
                if (e.sib_combinations) {
                    text << e.count << " combinations of its sibs' genotypes, more than the "
                         << "memory limit of " << mebibytes(memory_limit_bytes()) << " allows";
                } else {
                    text << "more than the " << e.count
                         << " genotypic combinations that the memory limit of "
                         << mebibytes(memory_limit_bytes()) << " leaves for it";
                }
                text << " (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
                if (_suggest_fast) {
                    suggest_fast(e.count, true);
                }
                fatal_input_error(text.str());
            } catch (...) {
                // Anything else the build throws leaves the pedigree without
                // its combinations: the run cannot go on.
                const std::string text =
                    "\nTPedDB::build_all_genotypic_combinations : incompatibility in pedigree #" +
                    std::to_string(k);
                console() << text << "\n"
                          << "PROGRAM STOPPED !"
                          << "\n"
                          << "!!!!!!!!!!!!!!!!!!!!!" << std::endl;
                error_log.report(text, Errors::kFatal);
            }
            stored += p._gen_comb.size();
            shared.set_all_compatible();
            // The EM walks the packed copy; the records are rebuilt if a
            // message or a walk over the combinations' own flags needs them.
            _compact.add(static_cast<std::uint32_t>(k - 1), p);
            if (_release_combinations) {
                p.release_combinations();
            }
        }
        ++k;
    }
    _compact.finish();
    if (_suggest_fast) {
        suggest_fast(static_cast<double>(stored), false);
    }
    _haplotypes = &haplotypes;
    _shared = &shared;
    _locus = locus;
}

void TPedDB::build_summed_pedigrees(TPopHaploDB& haplotypes, TSmallGenDB& shared,
                                    std::int32_t locus, char build_flag) {
    // Untyped parents keep a reference to `shared` but never read it: they
    // are free slots, so it may be left empty.
    constexpr std::uint64_t kBytes = SummedPedigrees::kBytesPerConfiguration;
    const std::uint64_t budget = memory_limit_bytes() / kBytes;
    _summed.start(haplotypes);
    std::uint64_t stored = 0;
    std::int32_t k = 1;
    for (TPedigree& p : _pedigrees) {
        if (p._unique) {
            p.hook_gen_db(shared, haplotypes, locus, build_flag);
            p.build_member_genotypes(haplotypes, locus);
            try {
                _summed.add(static_cast<std::uint32_t>(k - 1), p,
                            static_cast<std::size_t>(budget > stored ? budget - stored : 0));
            } catch (const SummedPedigrees::LimitExceeded& e) {
                std::ostringstream text;
                text << std::setprecision(0) << std::fixed
                     << "TPedDB::build_all_genotypic_combinations : pedigree #" << k
                     << " of sample " << _sample_name << " " << describe(p)
                     << " needs more than the " << e.count
                     << " phase configurations that the memory limit of "
                     << mebibytes(memory_limit_bytes())
                     << " leaves for it (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
                fatal_input_error(text.str());
            }
            stored += _summed.last_configurations();
        }
        ++k;
    }
    _haplotypes = &haplotypes;
    _shared = &shared;
    _locus = locus;
}

void TPedDB::restore_combinations() {
    for (TPedigree& p : _pedigrees) {
        p.restore_combinations(*_shared, _locus);
    }
}

void TPedDB::report_zero_probability(std::size_t i) {
    std::ostringstream text;
    text << "\nTPedDB::calc_ln_likelihood() :  Pedigree " << i << " has zero probability\n"
         << _pedigrees[i] << "\n";
    error_log.report(text.str(), Errors::kWarning);
    _ln_likelihood = kFloorLnLikelihood;
}

double TPedDB::calc_ln_likelihood() {
    if (_fast) {
        double ln_l = 0.0;
        const std::int64_t zero = _summed.likelihood(*_haplotypes, _pedigrees, ln_l);
        if (zero >= 0) {
            const auto i = static_cast<std::size_t>(zero);
            if (!_summed.has_configurations(static_cast<std::uint32_t>(i))) {
                // No combination: the incompatible-pedigree warning.
                _pedigrees[i].calc_prob();
            }
            report_zero_probability(i);
            return _ln_likelihood;
        }
        _ln_likelihood = ln_l;
        return ln_l;
    }
    if (UseAllCombinations && _compact.built()) {
        double ln_l = 0.0;
        if (!compact_pass(&ln_l)) {
            return _ln_likelihood;
        }
        _ln_likelihood = ln_l;
        return ln_l;
    }
    return object_ln_likelihood();
}

bool TPedDB::compact_pass(double* ln_l) {
    const std::int64_t zero = _compact.likelihood(*_haplotypes, _pedigrees, ln_l);
    if (zero < 0) {
        return true;
    }
    // The object model fills in what the messages print.
    TPedigree& p = _pedigrees[static_cast<std::size_t>(zero)];
    p.restore_combinations(*_shared, _locus);
    p.calc_prob();
    report_zero_probability(static_cast<std::size_t>(zero));
    return false;
}

void TPedDB::calc_probabilities() {
    if (UseAllCombinations && _compact.built()) {
        // After a zero probability, _ln_likelihood holds the floor.
        _deferred_ln_l = compact_pass(nullptr);
        return;
    }
    _deferred_ln_l = false;
    calc_ln_likelihood();
}

double TPedDB::em_ln_likelihood() {
    if (_deferred_ln_l) {
        _ln_likelihood = _compact.ln_likelihood(_pedigrees);
        _deferred_ln_l = false;
    }
    return _ln_likelihood;
}

double TPedDB::object_ln_likelihood() {
    restore_combinations();
    double ln_l = 0.0;
    for (std::size_t i = 0; i < _pedigrees.size(); ++i) {
        TPedigree& p = _pedigrees[i];
        if (!p._unique || !(ln_l > kFloorLnLikelihood)) {
            continue;
        }
        const double prob = p.calc_prob();
        if (!(prob > 0.0)) {
            report_zero_probability(i);
            return _ln_likelihood;
        }
        ln_l = ln_l + p._obs_count * std::log(prob);
    }
    _ln_likelihood = ln_l;
    return ln_l;
}

const CompactCombinations* TPedDB::packed_for(const TPopHaploDB& haplotypes) const {
    const bool usable = UseAllCombinations && _compact.built() && &haplotypes == _haplotypes &&
                        _compact.n_haplotypes() == static_cast<std::size_t>(haplotypes.size());
    return usable ? &_compact : nullptr;
}

void TPedDB::commit_probabilities(const CompactCombinations::Workspace& w) {
    _compact.commit_probabilities(w, _pedigrees);
}

void TPedDB::add_expected_counts(TPopHaploDB& haplotypes) {
    if (_fast) {
        _summed.expected_counts(haplotypes, _pedigrees);
        return;
    }
    if (UseAllCombinations && _compact.built() && &haplotypes == _haplotypes) {
        _compact.expected_counts(haplotypes, _pedigrees);
        return;
    }
    restore_combinations();
    haplotypes.reset_frequencies();
    for (TPedigree& p : _pedigrees) {
        if (p._unique) {
            p.add_expected_counts();
        }
    }
}

void TPedDB::activate_all_combinations() {
    if (_fast) {
        return;
    }
    if (UseAllCombinations && _compact.built()) {
        // The packed walk never clears a flag: all are still set.
        return;
    }
    restore_combinations();
    for (TPedigree& p : _pedigrees) {
        p.activate_all_combinations();
    }
}
