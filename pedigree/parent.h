#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "pedigree/small_gen.h"

class TPhenPed;

// A parent place of the pedigree code: an individual that is a parent or
// stands alone, and the genotype database listing its possible genotypes.
struct TParent {
    std::int32_t _typed = 0;
    TPhenPed* _phen = nullptr;
    TSmallGenDB* _gen_db = nullptr;
    // Databases built for a typed parent, one per family it heads; the
    // combinations of each family point into its own.
    std::vector<std::shared_ptr<TSmallGenDB>> _own_dbs;

    bool operator==(const TParent& other) const {
        return _typed == other._typed && _phen == other._phen && _gen_db == other._gen_db;
    }
};

// Parent records, newest first.
class TParentDB {
  public:
    using List = std::deque<std::unique_ptr<TParent>>;

    TParentDB() = default;
    TParentDB(const TParentDB&) = delete;
    // Copies the records, in the reverse of the source's order.
    TParentDB& operator=(const TParentDB& other);

    TParent* push_front(std::unique_ptr<TParent> record);
    void flush() { _parent_list.clear(); }
    const List& records() const { return _parent_list; }
    std::size_t size() const { return _parent_list.size(); }

  private:
    List _parent_list;
};
