#include "genetics/allele.h"

#include <iomanip>

TLocus& TLocus::operator=(const TLocus& other) {
    if (this == &other) {
        return *this;
    }
    _name = other._name;
    _width = other._width;
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

void TLocus::update_width() {
    std::size_t longest = 0;
    for (const auto& a : _alleles) {
        longest = std::max(longest, a->_name.size());
    }
    _width = static_cast<std::int32_t>(longest) + 1;
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

std::ostream& operator<<(std::ostream& os, TAlleleDB& db) {
    for (auto& l : db._loci) {
        l.update_width();
    }
    os << "\n-----------------------"
       << "\nAllele database content"
       << "\n-----------------------\n\n";
    for (std::int32_t k = 0; k < db.n_loci(); ++k) {
        const TLocus& l = db.locus(k);
        os << "Locus " << (k + 1) << " : \n\n";
        for (std::int32_t j = 0; j < l.size(); ++j) {
            os.setf(std::ios::right, std::ios::adjustfield);
            os.setf(std::ios::fixed, std::ios::floatfield);
            os.setf(std::ios::showpoint);
            os << std::setw(5) << (j + 1) << " " << std::setw(l.width()) << l.allele(j)->_name
               << std::setw(12) << std::setprecision(5) << static_cast<double>(l.allele(j)->_freq)
               << "\n";
        }
        os << "\n";
    }
    return os;
}
