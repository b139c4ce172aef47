#include "genetics/allele.h"

TLocus& TLocus::operator=(const TLocus& other) {
    if (this == &other) {
        return *this;
    }
    _name = other._name;
    _alleles.clear();
    for (const auto& a : other._alleles) {
        _alleles.push_back(std::make_unique<TAllele>(*a));
    }
    return *this;
}

std::int32_t TLocus::find(const std::string& name) const {
    for (std::size_t j = 0; j < _alleles.size(); ++j) {
        if (_alleles[j]->_name == name) {
            return static_cast<std::int32_t>(j);
        }
    }
    return -1;
}

std::int32_t TLocus::append(const TAllele& allele) {
    _alleles.push_back(std::make_unique<TAllele>(allele));
    return size() - 1;
}

void TAlleleDB::add_locus(std::int32_t locus) {
    while (n_loci() <= locus && n_loci() < kMaxLoci) {
        _loci.emplace_back("Locus " + std::to_string(n_loci()));
    }
}

std::int32_t TAlleleDB::add_allele(const std::int32_t& locus, const std::string& name,
                                   const float& weight) {
    std::int32_t index = locus;
    if (locus >= n_loci()) {
        if (n_loci() >= kMaxLoci) {
            return -1;
        }
        const std::string locus_name = "Locus " + std::to_string(locus);
        _loci.emplace_back(locus_name);
        for (std::int32_t k = 0; k < n_loci(); ++k) {
            if (_loci[static_cast<std::size_t>(k)].name() == locus_name) {
                index = k;
                break;
            }
        }
    }
    TLocus& l = _loci[static_cast<std::size_t>(index)];
    const std::int32_t found = l.find(name);
    if (found >= 0) {
        l.allele(found)->_freq += weight;
        return found;
    }
    return l.append(TAllele{name, weight});
}

void TAlleleDB::add_to_all_loci(const TAllele& allele) {
    for (auto& l : _loci) {
        l.append(allele);
    }
}
