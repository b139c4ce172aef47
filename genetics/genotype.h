#pragma once

#include <cstdint>
#include <ostream>

#include "genetics/haplotype.h"

// An unordered pair of haplotype entries of one haplotype database.
struct TGenotype {
    TPopHaplotype* _hapl1 = nullptr;
    TPopHaplotype* _hapl2 = nullptr;
    double _gen_freq = 0.0;

    bool operator==(const TGenotype& other) const {
        return (_hapl1 == other._hapl1 && _hapl2 == other._hapl2) ||
               (_hapl1 == other._hapl2 && _hapl2 == other._hapl1);
    }
};

std::ostream& operator<<(std::ostream& os, const TGenotype& g);

// The genotypes of one phenotype: room for two, no growth. Two-locus haplotypes
// never give more than two phase assignments.
class TGenotypeList {
  public:
    static constexpr std::uint32_t kCapacity = 2;
    static constexpr std::uint32_t kNotFound = 4294967295U;

    // False, and nothing added, when the list is full.
    bool append(const TGenotype& g) {
        if (_count >= kCapacity) {
            return false;
        }
        _items[_count++] = g;
        return true;
    }
    std::uint32_t size() const { return _count; }
    bool empty() const { return _count == 0; }
    const TGenotype& operator[](std::uint32_t i) const { return _items[i]; }
    std::uint32_t find(const TGenotype& g) const {
        for (std::uint32_t i = 0; i < _count; ++i) {
            if (_items[i] == g) {
                return i;
            }
        }
        return kNotFound;
    }
    void clear() { _count = 0; }
    const TGenotype* begin() const { return _items; }
    const TGenotype* end() const { return _items + _count; }

  private:
    TGenotype _items[kCapacity];
    std::uint32_t _count = 0;
};
