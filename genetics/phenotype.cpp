#include "genetics/phenotype.h"

#include <cmath>
#include <iomanip>
#include <new>
#include <vector>

#include "support/errors.h"

TPhenotype& TPhenotype::operator=(const TPhenotype& other) {
    if (this == &other) {
        return *this;
    }
    _name = other._name;
    _pheno_weight = other._pheno_weight;
    _n_gen = other._n_gen;
    _n_het = other._n_het;
    _gen_list.clear();
    try {
        for (int slot = 0; slot < 2; ++slot) {
            _pseudo_hapl[slot].reset();
            if (other._pseudo_hapl[slot]) {
                _pseudo_hapl[slot] = std::make_unique<TPopHaplotype>(*other._pseudo_hapl[slot]);
            }
        }
        for (const TGenotype& g : other._gen_list) {
            _gen_list.append(g);
        }
    } catch (const std::bad_alloc&) {
        error_log.report("TPhenotype::operator= : Unable to allocate enough memory",
                         Errors::kWarning);
        clear_pseudo_hapl();
        _gen_list.clear();
    }
    _allele_lines[0] = other._allele_lines[0];
    _allele_lines[1] = other._allele_lines[1];
    return *this;
}

bool TPhenotype::operator==(const TPhenotype& other) const {
    if (!_pseudo_hapl[0]) {
        return !other._pseudo_hapl[0] && _pheno_weight == other._pheno_weight;
    }
    if (!other._pseudo_hapl[0]) {
        return false;
    }
    const TPopHaplotype& a1 = *_pseudo_hapl[0];
    const TPopHaplotype& a2 = *_pseudo_hapl[1];
    const TPopHaplotype& b1 = *other._pseudo_hapl[0];
    const TPopHaplotype& b2 = *other._pseudo_hapl[1];
    for (std::int32_t l = 0; l < a1.size(); ++l) {
        const bool same = (a1.allele(l) == b1.allele(l) && a2.allele(l) == b2.allele(l)) ||
                          (a2.allele(l) == b1.allele(l) && a1.allele(l) == b2.allele(l));
        if (!same) {
            return false;
        }
    }
    return true;
}

void TPhenotype::set_pseudo_hapl(const TPopHaplotype& haplotype, const std::int32_t& slot) {
    if (slot != 0 && slot != 1) {
        return;
    }
    if (_pseudo_hapl[slot]) {
        // Each simulated sample sets every slot again: no allocation then.
        *_pseudo_hapl[slot] = haplotype;
        return;
    }
    try {
        _pseudo_hapl[slot] = std::make_unique<TPopHaplotype>(haplotype);
    } catch (const std::bad_alloc&) {
        error_log.report("TPhenotype::set_pseudo_hapl: Unable to allocate memory for _pseudo_hapl",
                         Errors::kWarning);
    }
}

void TPhenotype::clear_pseudo_hapl() {
    _pseudo_hapl[0].reset();
    _pseudo_hapl[1].reset();
}

void TPhenotype::count_het_loci() {
    _n_het = 0;
    for (std::int32_t l = 0; l < _pseudo_hapl[0]->size(); ++l) {
        if (_pseudo_hapl[0]->allele(l) != _pseudo_hapl[1]->allele(l)) {
            ++_n_het;
        }
    }
}

void TPhenotype::build_genotypes(TPopHaploDB& db, char phase_known) {
    static const double kOne = 1.0;
    _gen_list.clear();
    if (phase_known != 0) {
        TPopHaplotype t1 = *_pseudo_hapl[0];
        TPopHaplotype t2 = *_pseudo_hapl[1];
        TPopHaplotype* e2 = db.add_haplotype(t2, kOne);
        TPopHaplotype* e1 = db.add_haplotype(t1, kOne);
        _n_gen = 1;
        if (!_gen_list.append(TGenotype{e1, e2, 0.0})) {
            error_log.report("TPhenotype::build_genotypes : Unable to add genotype to _gen_list",
                             Errors::kFatal);
        }
        return;
    }
    const std::int32_t n_loci = _pseudo_hapl[0]->size();
    std::int32_t g = _n_gen;
    if (g == 0) {
        count_het_loci();
        g = _n_het <= 1 ? 1 : static_cast<std::int32_t>(std::pow(2.0, _n_het - 1));
        _n_gen = g;
    }
    std::vector<std::int32_t> het;
    std::vector<char> counter;
    try {
        for (std::int32_t l = 0; l < n_loci; ++l) {
            if (_pseudo_hapl[0]->allele(l) != _pseudo_hapl[1]->allele(l)) {
                het.push_back(l);
            }
        }
        counter.assign(static_cast<std::size_t>(n_loci) + 1, 0);
    } catch (const std::bad_alloc&) {
        error_log.report("        TPhenotype::build_genotypes() : unable to allocate memory",
                         Errors::kFatal);
    }
    const auto h = static_cast<std::int32_t>(het.size());
    _n_gen = 0;
    for (std::int32_t t = 0; t < g; ++t) {
        TPopHaplotype t1 = *_pseudo_hapl[0];
        TPopHaplotype t2 = *_pseudo_hapl[1];
        for (std::int32_t i = 1; i < h; ++i) {
            if (counter[static_cast<std::size_t>(i - 1)] != 0) {
                std::swap(t1._alleles[het[static_cast<std::size_t>(i)]],
                          t2._alleles[het[static_cast<std::size_t>(i)]]);
            }
        }
        TPopHaplotype* e2 = db.add_haplotype(t2, kOne);
        TPopHaplotype* e1 = db.add_haplotype(t1, kOne);
        const TGenotype genotype{e1, e2, 0.0};
        if (_gen_list.find(genotype) == TGenotypeList::kNotFound) {
            if (!_gen_list.append(genotype)) {
                error_log.report(
                    "TPhenotype::build_genotypes : Unable to add genotype to _gen_list",
                    Errors::kFatal);
            }
            ++_n_gen;
        }
        for (std::size_t f = 0; f < counter.size(); ++f) {
            if (counter[f] == 0) {
                counter[f] = 1;
                break;
            }
            counter[f] = 0;
        }
    }
}

void TPhenotype::print_pseudo_hapl(std::ostream& os) const {
    if (!_pseudo_hapl[0] && !_pseudo_hapl[1]) {
        os << "Allelic content not defined yet"
           << "\n";
        return;
    }
    for (const auto& h : _pseudo_hapl) {
        if (h) {
            os << std::setw(15) << " " << std::setw(10) << " "
               << " " << *h << "\n";
        }
    }
}
