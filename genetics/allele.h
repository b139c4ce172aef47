#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// One allele of one locus. Alleles are identified by object, never by name.
struct TAllele {
    std::string _name;
    float _freq = 0.0F;
};

class TLocus {
  public:
    TLocus() = default;
    explicit TLocus(std::string name) : _name(std::move(name)) {}
    TLocus(const TLocus& other) { *this = other; }
    TLocus& operator=(const TLocus& other);
    TLocus(TLocus&&) noexcept = default;
    TLocus& operator=(TLocus&&) noexcept = default;

    std::int32_t size() const { return static_cast<std::int32_t>(_alleles.size()); }
    TAllele* allele(std::int32_t j) const { return _alleles[static_cast<std::size_t>(j)].get(); }
    const std::string& name() const { return _name; }

    // Index of the first allele called `name`, or -1.
    std::int32_t find(const std::string& name) const;
    std::int32_t append(const TAllele& allele);

  private:
    // Owned through unique_ptr: haplotypes point at alleles, which never move.
    std::vector<std::unique_ptr<TAllele>> _alleles;
    std::string _name;
};

// The alleles of a sample, per locus, in order of first appearance.
class TAlleleDB {
  public:
    static constexpr std::int32_t kMaxLoci = 2;

    // Registers `weight` more occurrences of `name` at `locus`; returns the allele's
    // index, or -1 when the locus lies beyond the two the model holds.
    std::int32_t add_allele(const std::int32_t& locus, const std::string& name,
                            const float& weight);
    void add_to_all_loci(const TAllele& allele);
    // Makes loci 0 .. `locus` exist (an unknown allele names none of its locus).
    void add_locus(std::int32_t locus);

    std::int32_t n_loci() const { return static_cast<std::int32_t>(_loci.size()); }
    const TLocus& locus(std::int32_t k) const { return _loci[static_cast<std::size_t>(k)]; }
    TLocus& locus(std::int32_t k) { return _loci[static_cast<std::size_t>(k)]; }

  private:
    std::vector<TLocus> _loci;
};
