#pragma once

#include <cstdint>
#include <deque>
#include <ostream>
#include <vector>

#include "genetics/haplotype.h"

class TPhenPed;

// One valid genotype (an unordered pair of haplotype entries) in a genotype database.
struct TSmallGen {
    TPopHaplotype* _hapl1 = nullptr;
    TPopHaplotype* _hapl2 = nullptr;
    bool _compatible = true;
    double _freq = 0.0;
};

std::ostream& operator<<(std::ostream& os, const TSmallGen& g);

// A list of genotype records. Records never move once appended: combinations
// point at them.
class TSmallGenDB {
  public:
    static constexpr std::int64_t kMaxRecords = 2147483647;

    std::int32_t size() const { return static_cast<std::int32_t>(_gen_array.size()); }
    bool empty() const { return _gen_array.empty(); }
    TSmallGen& operator[](std::int32_t i) { return _gen_array[static_cast<std::size_t>(i)]; }
    const TSmallGen& operator[](std::int32_t i) const {
        return _gen_array[static_cast<std::size_t>(i)];
    }

    // Appends a record unless the database is full; false when full.
    bool append(TPopHaplotype* h1, TPopHaplotype* h2);
    bool build_all_valid_gen(const TPopHaploDB& db);
    void set_all_compatible();
    void check_compatibility(const std::vector<TPhenPed*>& individuals, const std::int32_t& locus);

  private:
    std::deque<TSmallGen> _gen_array;
};
