#include "pedigree/phen_ped.h"

#include <iomanip>
#include <vector>

#include "support/random.h"

void TPhenPed::draw_random_genotype(const TPopHaploDB& db) {
    std::int32_t seed = 1;
    const TPopHaplotype* first = nullptr;
    while (first == nullptr) {
        const double u = random_uniform(seed);
        first = db.draw_le_haplotype(u);
    }
    const TPopHaplotype* second = nullptr;
    while (second == nullptr) {
        const double u = random_uniform(seed);
        second = db.draw_le_haplotype(u);
    }
    set_pseudo_hapl(*first, 0);
    set_pseudo_hapl(*second, 1);
}

std::ostream& operator<<(std::ostream& os, const TPhenPed& p) {
    os << *p._id << " " << *p._parent1_id << " " << *p._parent2_id << "\n";
    if (p.typed()) {
        for (int slot = 0; slot < 2; ++slot) {
            os << std::setw(15) << " " << std::setw(10) << " "
               << " " << *p._pseudo_hapl[slot] << "\n";
        }
    }
    return os;
}

const std::string* TPhenPedDB::intern(const std::string& text) {
    return &*_id_tree.insert(text).first;
}

TPhenPed* TPhenPedDB::push_front(std::unique_ptr<TPhenPed> record) {
    TPhenPed* p = record.get();
    _phen_list.push_front(std::move(record));
    // The newest record is the first one a head-first search meets.
    _by_id[p->_id] = p;
    return p;
}

TPhenPed* TPhenPedDB::find(const std::string* id) const {
    const auto it = _by_id.find(id);
    return it == _by_id.end() ? nullptr : it->second;
}

void TPhenPedDB::flush() {
    _phen_list.clear();
    _by_id.clear();
}

bool TPhenPedDB::add_missing_parents() {
    // Records made during the walk go to the head, where the walk never returns.
    std::vector<std::unique_ptr<TPhenPed>> added;
    for (const auto& record : _phen_list) {
        for (const std::string* parent : {record->_parent1_id, record->_parent2_id}) {
            if (is_unknown(parent) || find(parent) != nullptr) {
                continue;
            }
            const std::string* unknown = unknown_id();
            auto missing =
                std::make_unique<TPhenPed>(TPhenotype(), intern(*parent), unknown, unknown);
            _by_id[missing->_id] = missing.get();
            added.push_back(std::move(missing));
        }
    }
    for (auto& record : added) {
        _phen_list.push_front(std::move(record));
    }
    return true;
}

void TPhenPedDB::reset_parent_flags() {
    for (const auto& record : _phen_list) {
        record->_is_parent = 0;
    }
}

void TPhenPedDB::draw_random_genotypes(const TPopHaploDB& db) {
    for (const auto& record : _phen_list) {
        record->draw_random_genotype(db);
    }
}
