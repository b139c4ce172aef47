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
    return true;
}

bool TSmallGenDB::build_all_valid_gen(const TPopHaploDB& db) {
    for (std::int32_t i = 0; i < db.size(); ++i) {
        for (std::int32_t j = 0; j <= i; ++j) {
            if (!append(db[i], db[j])) {
                return false;
            }
        }
    }
    return true;
}

void TSmallGenDB::set_all_compatible() {
    for (TSmallGen& g : _gen_array) {
        g._compatible = true;
    }
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
    for (TSmallGen& g : _gen_array) {
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
    }
}
