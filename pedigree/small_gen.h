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
    // Every unordered pair of the haplotypes of `db`: the pair of entries
    // i >= j at position i(i+1)/2 + j.
    bool build_all_valid_gen(const TPopHaploDB& db);
    // Sets again the flags that check_compatibility cleared.
    void set_all_compatible();
    void check_compatibility(const std::vector<TPhenPed*>& individuals, const std::int32_t& locus);

    // Whether the records are exactly the table build_all_valid_gen makes, so
    // that the position of a pair follows from its two haplotype indices.
    bool whole_table() const { return _table_haplotypes > 0; }
    std::int32_t table_haplotypes() const { return _table_haplotypes; }
    static std::int64_t position(std::int32_t i, std::int32_t j) {
        return static_cast<std::int64_t>(i) * (i + 1) / 2 + j;
    }
    // The index of `h` among the table's haplotypes, or -1 if no pair of the
    // table holds it.
    std::int32_t table_index(const TPopHaplotype* h) const;

  private:
    std::deque<TSmallGen> _gen_array;
    // Haplotypes of the whole table; 0 for a plain list of records.
    std::int32_t _table_haplotypes = 0;
    // Positions whose flag check_compatibility cleared since the last reset.
    std::vector<std::int32_t> _cleared;
};
