#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "genetics/allele.h"

// One allele per locus (one or two loci) with its population frequencies.
struct TPopHaplotype {
    static constexpr std::int32_t kMaxLoci = 2;

    double _freq = 0.0;
    double _prev_freq = 0.0;
    double _le_freq = 0.0;
    TAllele* _alleles[kMaxLoci] = {nullptr, nullptr};
    std::int32_t _n_alleles = 0;
    char _separator = ' ';
    // Position in the owning database; lets the estimation address frequencies by index.
    std::int32_t _index = -1;

    std::int32_t size() const { return _n_alleles; }
    TAllele* allele(std::int32_t k) const { return _alleles[k]; }
    // Appends one allele; a third allele is dropped.
    void append(TAllele* allele) {
        if (_n_alleles < kMaxLoci) {
            _alleles[_n_alleles++] = allele;
        }
    }
    void set_le_freq();

    bool operator==(const TPopHaplotype& other) const;
    bool operator<(const TPopHaplotype& other) const;
    void print_line(std::ostream& os) const;
};

std::ostream& operator<<(std::ostream& os, const TPopHaplotype& h);

// Every haplotype of a sample. Entries never move while the database lives:
// genotypes, genotype records and combinations point at them.
class TPopHaploDB {
  public:
    TPopHaploDB() = default;
    TPopHaploDB(const TPopHaploDB& other) { *this = other; }
    TPopHaploDB& operator=(const TPopHaploDB& other);

    std::int32_t size() const { return static_cast<std::int32_t>(_haplotypes.size()); }
    TPopHaplotype* operator[](std::int32_t i) const {
        return _haplotypes[static_cast<std::size_t>(i)].get();
    }

    TPopHaplotype* add_haplotype(const TPopHaplotype& haplotype, const double& weight);
    void build_all_haplotypes(const TAlleleDB& allele_db);
    void build_locus_haplotypes(const TAlleleDB& allele_db, const std::int32_t& locus);
    void set_allele_frequencies();
    void set_le_frequencies();
    void random_frequencies(const std::int32_t& spread);
    bool converged(const double& tolerance);
    void reset_frequencies();
    void copy_frequencies(const TPopHaploDB& other);
    // The current frequency of every haplotype, in order.
    std::vector<double> frequencies() const;
    TPopHaplotype* draw_le_haplotype(const double& u) const;

  private:
    TPopHaplotype* append_copy(const TPopHaplotype& h);
    void create_all_genot_combinations(const TPopHaplotype& partial, std::int32_t locus,
                                       const TAlleleDB& allele_db);

    std::vector<std::unique_ptr<TPopHaplotype>> _haplotypes;
    // The first entry of each allele content, so that a lookup need not
    // compare every entry (a sample of many alleles has thousands).
    struct ContentHash {
        std::size_t operator()(const std::array<const TAllele*, 2>& a) const {
            const std::hash<const TAllele*> h;
            return h(a[0]) * 31U + h(a[1]);
        }
    };
    std::unordered_map<std::array<const TAllele*, 2>, std::int32_t, ContentHash> _index_of;
};
