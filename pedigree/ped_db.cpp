#include "pedigree/ped_db.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "support/errors.h"

TPedDB::TPedDB() : TPedDB(EngineKind::listed) {}

TPedDB::TPedDB(EngineKind engine) : _engine(make_engine(engine)) {}

TPedDB::~TPedDB() = default;

void TPedDB::set_engine(std::unique_ptr<LikelihoodEngine> engine) {
    _engine = std::move(engine);
}

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
} // namespace

void TPedDB::report_limit(const LikelihoodEngine::LimitExceeded& e) const {
    std::ostringstream text;
    text << "TPedDB::build_all_genotypic_combinations : pedigree #" << e.index + 1 << " of sample "
         << _sample_name << " " << describe(_pedigrees[e.index]) << " needs " << e.needs
         << " (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
    fatal_input_error(text.str());
}

void TPedDB::build_all_genotypic_combinations(TPopHaploDB& haplotypes, TSmallGenDB& shared,
                                              std::int32_t locus, char build_flag) {
    try {
        _engine->build(_pedigrees, {haplotypes, shared, locus, build_flag, _release_combinations,
                                    _notice_large});
    } catch (const LikelihoodEngine::LimitExceeded& e) {
        report_limit(e);
    } catch (const LikelihoodEngine::BuildFailed& e) {
        // Anything else the build throws leaves the pedigree without its
        // combinations: the run cannot go on.
        const std::string text =
            "\nTPedDB::build_all_genotypic_combinations : incompatibility in pedigree #" +
            std::to_string(e.index + 1);
        console() << text << "\n"
                  << "PROGRAM STOPPED !"
                  << "\n"
                  << "!!!!!!!!!!!!!!!!!!!!!" << std::endl;
        error_log.report(text, Errors::kFatal);
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
    double ln_l = 0.0;
    const std::int64_t zero = _engine->likelihood(_pedigrees, ln_l);
    if (zero >= 0) {
        report_zero_probability(static_cast<std::size_t>(zero));
        return _ln_likelihood;
    }
    _ln_likelihood = ln_l;
    return ln_l;
}

void TPedDB::calc_probabilities() {
    const std::int64_t zero = _engine->probabilities(_pedigrees);
    // After a zero probability, _ln_likelihood holds the floor.
    _deferred_ln_l = zero < 0;
    if (zero >= 0) {
        report_zero_probability(static_cast<std::size_t>(zero));
    }
}

double TPedDB::em_ln_likelihood() {
    if (_deferred_ln_l) {
        _ln_likelihood = _engine->last_ln_likelihood(_pedigrees);
        _deferred_ln_l = false;
    }
    return _ln_likelihood;
}

void TPedDB::add_expected_counts(TPopHaploDB& haplotypes) {
    _engine->expected_counts(haplotypes, _pedigrees);
}

void TPedDB::activate_all_combinations() {
    _engine->activate_all(_pedigrees);
}
