#include "genetics/haplotype.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <new>

#include "support/errors.h"
#include "support/random.h"

void TPopHaplotype::set_le_freq() {
    double product = 1.0;
    for (std::int32_t k = 0; k < _n_alleles; ++k) {
        product *= static_cast<double>(_alleles[k]->_freq);
    }
    _freq = product;
    _le_freq = product;
}

bool TPopHaplotype::operator==(const TPopHaplotype& other) const {
    if (_n_alleles != other._n_alleles) {
        return false;
    }
    for (std::int32_t k = 0; k < _n_alleles; ++k) {
        if (_alleles[k] != other._alleles[k]) {
            return false;
        }
    }
    return true;
}

namespace {
// Byte-wise comparison as unsigned characters; a prefix compares lower.
int compare_names(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    const int c = n == 0 ? 0 : std::memcmp(a.data(), b.data(), n);
    if (c != 0) {
        return c;
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}
} // namespace

bool TPopHaplotype::operator<(const TPopHaplotype& other) const {
    const std::int32_t n = std::min(_n_alleles, other._n_alleles);
    for (std::int32_t k = 0; k < n; ++k) {
        const int c = compare_names(_alleles[k]->_name, other._alleles[k]->_name);
        if (c != 0) {
            return c < 0;
        }
    }
    return false;
}

void TPopHaplotype::print_line(std::ostream& os) const {
    for (std::int32_t k = 0; k < _n_alleles; ++k) {
        os << _alleles[k]->_name << " ";
    }
    os << "\n";
}

std::ostream& operator<<(std::ostream& os, const TPopHaplotype& h) {
    for (std::int32_t k = 0; k < h._n_alleles; ++k) {
        os << h._alleles[k]->_name;
        if (h._separator != 0) {
            os << h._separator;
        }
    }
    return os;
}

namespace {
// What operator== compares: the alleles in use (an unused slot is null).
std::array<const TAllele*, 2> content(const TPopHaplotype& h) {
    return {h.size() > 0 ? h.allele(0) : nullptr, h.size() > 1 ? h.allele(1) : nullptr};
}
} // namespace

TPopHaploDB& TPopHaploDB::operator=(const TPopHaploDB& other) {
    if (this == &other) {
        return *this;
    }
    _haplotypes.clear();
    _index_of.clear();
    for (const auto& h : other._haplotypes) {
        append_copy(*h);
    }
    return *this;
}

TPopHaplotype* TPopHaploDB::append_copy(const TPopHaplotype& h) {
    _haplotypes.push_back(std::make_unique<TPopHaplotype>(h));
    TPopHaplotype* entry = _haplotypes.back().get();
    entry->_index = size() - 1;
    _index_of.emplace(content(*entry), entry->_index);
    return entry;
}

TPopHaplotype* TPopHaploDB::add_haplotype(const TPopHaplotype& haplotype, const double& weight) {
    const auto found = _index_of.find(content(haplotype));
    if (found != _index_of.end()) {
        TPopHaplotype* h = _haplotypes[static_cast<std::size_t>(found->second)].get();
        h->_freq += weight;
        return h;
    }
    TPopHaplotype* entry = append_copy(haplotype);
    entry->_freq = weight;
    return entry;
}

void TPopHaploDB::create_all_genot_combinations(const TPopHaplotype& partial, std::int32_t locus,
                                                const TAlleleDB& allele_db) {
    const TLocus& l = allele_db.locus(locus);
    for (std::int32_t j = 0; j < l.size(); ++j) {
        TPopHaplotype working = partial;
        working.append(l.allele(j));
        if (locus + 1 < allele_db.n_loci()) {
            create_all_genot_combinations(working, locus + 1, allele_db);
        } else {
            append_copy(working);
        }
    }
}

void TPopHaploDB::build_all_haplotypes(const TAlleleDB& allele_db) {
    if (allele_db.n_loci() == 0) {
        return;
    }
    try {
        TPopHaplotype empty;
        create_all_genot_combinations(empty, 0, allele_db);
    } catch (const std::bad_alloc&) {
        error_log.report("void create_all_genot_combinations : unable to allocate memory",
                         Errors::kFatal);
    }
}

void TPopHaploDB::build_locus_haplotypes(const TAlleleDB& allele_db, const std::int32_t& locus) {
    const TLocus& l = allele_db.locus(locus);
    for (std::int32_t j = 0; j < l.size(); ++j) {
        TPopHaplotype h;
        h.append(l.allele(j));
        append_copy(h);
    }
}

void TPopHaploDB::set_allele_frequencies() {
    for (const auto& h : _haplotypes) {
        h->_alleles[0]->_freq = static_cast<float>(h->_freq);
    }
}

void TPopHaploDB::set_le_frequencies() {
    for (const auto& h : _haplotypes) {
        h->set_le_freq();
    }
}

void TPopHaploDB::random_frequencies(const std::int32_t& spread) {
    double sum = 0.0;
    std::int32_t seed = 1;
    for (const auto& h : _haplotypes) {
        const double u = random_uniform(seed);
        h->_freq = u * spread + 1.0;
        sum += h->_freq;
        h->_prev_freq = 0.0;
    }
    for (const auto& h : _haplotypes) {
        h->_freq /= sum;
    }
}

bool TPopHaploDB::converged(const double& tolerance) {
    double sum = 0.0;
    for (const auto& h : _haplotypes) {
        sum += std::fabs(h->_freq - h->_prev_freq);
        h->_prev_freq = h->_freq;
    }
    return sum < tolerance;
}

void TPopHaploDB::reset_frequencies() {
    for (const auto& h : _haplotypes) {
        h->_freq = 0.0;
    }
}

std::vector<double> TPopHaploDB::frequencies() const {
    std::vector<double> f;
    f.reserve(_haplotypes.size());
    for (const auto& h : _haplotypes) {
        f.push_back(h->_freq);
    }
    return f;
}

void TPopHaploDB::copy_frequencies(const TPopHaploDB& other) {
    for (std::size_t i = 0; i < _haplotypes.size(); ++i) {
        _haplotypes[i]->_freq = other._haplotypes[i]->_freq;
    }
}

TPopHaplotype* TPopHaploDB::draw_le_haplotype(const double& u) const {
    double sum = 0.0;
    for (const auto& h : _haplotypes) {
        sum += h->_le_freq;
        if (sum > u) {
            for (std::int32_t k = 0; k < h->_n_alleles; ++k) {
                if (h->_alleles[k]->_freq == 0.0F) {
                    return nullptr;
                }
            }
            return h.get();
        }
    }
    return nullptr;
}
