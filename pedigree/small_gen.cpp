#include "pedigree/small_gen.h"

#include "pedigree/phen_ped.h"

std::ostream& operator<<(std::ostream& os, const TSmallGen& g) {
    os << (g._compatible ? "Compatible genotype\n" : "Incompatible genotype\n");
    if (g._hapl1 != nullptr) {
        os << *g._hapl1 << "\n" << *g._hapl2;
    }
    os << "\n---"
       << "\n";
    return os;
}

bool TSmallGenDB::append(TPopHaplotype* h1, TPopHaplotype* h2) {
    if (static_cast<std::int64_t>(_gen_array.size()) >= kMaxRecords) {
        return false;
    }
    _gen_array.push_back(TSmallGen{h1, h2, true, 0.0});
    _table_haplotypes = 0;
    return true;
}

bool TSmallGenDB::build_all_valid_gen(const TPopHaploDB& db) {
    const bool fresh = _gen_array.empty();
    for (std::int32_t i = 0; i < db.size(); ++i) {
        for (std::int32_t j = 0; j <= i; ++j) {
            if (!append(db[i], db[j])) {
                return false;
            }
        }
    }
    bool indexed = fresh;
    for (std::int32_t i = 0; indexed && i < db.size(); ++i) {
        indexed = db[i]->_index == i;
    }
    _table_haplotypes = indexed ? db.size() : 0;
    return true;
}

std::int32_t TSmallGenDB::table_index(const TPopHaplotype* h) const {
    const std::int32_t i = h->_index;
    if (i < 0 || i >= _table_haplotypes) {
        return -1;
    }
    return (*this)[static_cast<std::int32_t>(position(i, i))]._hapl1 == h ? i : -1;
}

void TSmallGenDB::set_all_compatible() {
    for (const std::int32_t k : _cleared) {
        (*this)[k]._compatible = true;
    }
    _cleared.clear();
}

namespace {
// A genotype fits an individual at a locus when one of its two alleles is one
// of the individual's two.
bool fits(const TAllele* g1, const TAllele* g2, const TAllele* p1, const TAllele* p2) {
    return g1 == p1 || g1 == p2 || g2 == p1 || g2 == p2;
}
} // namespace

void TSmallGenDB::check_compatibility(const std::vector<TPhenPed*>& individuals,
                                      const std::int32_t& locus) {
    if (_gen_array.empty() || individuals.empty()) {
        return;
    }
    for (std::int32_t k = 0; k < size(); ++k) {
        TSmallGen& g = (*this)[k];
        const bool was = g._compatible;
        if (locus < 0) {
            bool compatible = true;
            for (std::int32_t l = 0; compatible && l < g._hapl1->size(); ++l) {
                for (const TPhenPed* p : individuals) {
                    if (!fits(g._hapl1->allele(l), g._hapl2->allele(l),
                              p->pseudo_hapl(0)->allele(l), p->pseudo_hapl(1)->allele(l))) {
                        compatible = false;
                        break;
                    }
                }
            }
            if (!compatible) {
                g._compatible = false;
            }
        } else {
            for (const TPhenPed* p : individuals) {
                if (!fits(g._hapl1->allele(0), g._hapl2->allele(0),
                          p->pseudo_hapl(0)->allele(locus), p->pseudo_hapl(1)->allele(locus))) {
                    g._compatible = false;
                    break;
                }
            }
        }
        if (was && !g._compatible) {
            _cleared.push_back(k);
        }
    }
}
