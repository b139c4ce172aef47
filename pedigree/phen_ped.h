#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <unordered_map>

#include "genetics/haplotype.h"
#include "genetics/phenotype.h"

// One individual of a sample: its phenotype and the interned identifiers of
// itself and its two parents.
class TPhenPed : public TPhenotype {
  public:
    TPhenPed(const TPhenotype& phenotype, const std::string* id, const std::string* parent1,
             const std::string* parent2)
        : TPhenotype(phenotype), _id(id), _parent1_id(parent1), _parent2_id(parent2) {}

    void draw_random_genotype(const TPopHaploDB& db);

    const std::string* _id;
    const std::string* _parent1_id;
    const std::string* _parent2_id;
    std::int32_t _is_parent = 0;
    // Whether the individual had allelic data in the sample as read; simulated
    // samples keep that pattern.
    bool _observed_typed = false;
};

std::ostream& operator<<(std::ostream& os, const TPhenPed& p);

// All individuals of one sample, newest first, and the set of identifiers.
class TPhenPedDB {
  public:
    using List = std::deque<std::unique_ptr<TPhenPed>>;

    TPhenPedDB() = default;
    TPhenPedDB(const TPhenPedDB&) = delete;
    TPhenPedDB& operator=(const TPhenPedDB&) = delete;

    // The stored copy of `text`; records point at it for as long as the database lives.
    const std::string* intern(const std::string& text);
    // Adds a record at the head of the list; returns it.
    TPhenPed* push_front(std::unique_ptr<TPhenPed> record);
    // The first record in list order whose identifier is `id`, or null.
    TPhenPed* find(const std::string* id) const;

    bool is_unknown(const std::string* id) const { return *id == _unknown_id; }
    const std::string* unknown_id() { return intern(_unknown_id); }

    void flush();
    bool add_missing_parents();
    void reset_parent_flags();
    void draw_random_genotypes(const TPopHaploDB& db);

    const List& records() const { return _phen_list; }
    std::size_t size() const { return _phen_list.size(); }

    std::string _unknown_id = "0";

  private:
    List _phen_list;
    std::set<std::string> _id_tree;
    std::unordered_map<const std::string*, TPhenPed*> _by_id;
};
