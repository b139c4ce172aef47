#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "genetics/genotype.h"
#include "genetics/haplotype.h"

// The unphased phenotype of one individual: two allele lines, two owned
// pseudo-haplotypes in an arbitrary phase, and the phased genotypes compatible
// with them.
class TPhenotype {
  public:
    TPhenotype() = default;
    TPhenotype(const TPhenotype& other) { *this = other; }
    TPhenotype& operator=(const TPhenotype& other);
    ~TPhenotype() = default;

    bool operator==(const TPhenotype& other) const;

    void set_pseudo_hapl(const TPopHaplotype& haplotype, const std::int32_t& slot);
    void clear_pseudo_hapl();
    void build_genotypes(TPopHaploDB& db, char phase_known);
    void count_het_loci();
    void print_pseudo_hapl(std::ostream& os) const;

    bool typed() const { return _pseudo_hapl[0] != nullptr; }
    TPopHaplotype* pseudo_hapl(std::int32_t slot) const { return _pseudo_hapl[slot].get(); }

    std::string _name = "UNKNOWN";
    double _pheno_weight = 1.0;
    std::int32_t _n_gen = 0;
    std::unique_ptr<TPopHaplotype> _pseudo_hapl[2];
    std::string _allele_lines[2];
    TGenotypeList _gen_list;
    std::int32_t _n_het = 0;
};
