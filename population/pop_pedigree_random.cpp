#include <unordered_set>
#include <vector>

#include "population/pop_pedigree.h"

void TPopPedigree::draw_random_sample() {
    Model->draw_random_sample(*this);
}

SampleDescription TPopPedigree::describe_random_sample() const {
    return Model->describe_random_sample(*this);
}

void TPopPedigree::draw_nuclear_sample() {
    for (const auto& record : PedDB._parents.records()) {
        record->_phen->draw_random_genotype(HaplDB);
    }
    // Transmit parents before children: a pedigree waits while one of its
    // parents is a sib of a pedigree that has not transmitted yet, so a
    // middle-generation individual passes on the haplotypes it received.
    std::vector<TPedigree>& peds = PedDB._pedigrees;
    std::unordered_set<const TPhenPed*> waiting_sibs;
    std::vector<char> done(peds.size(), 0);
    for (const TPedigree& p : peds) {
        waiting_sibs.insert(p._sibs.begin(), p._sibs.end());
    }
    std::size_t remaining = peds.size();
    while (remaining > 0) {
        std::size_t transmitted = 0;
        for (std::size_t i = 0; i < peds.size(); ++i) {
            if (done[i] != 0) {
                continue;
            }
            TPedigree& p = peds[i];
            const bool blocked = !p._sibs.empty() && (waiting_sibs.count(p._parent1->_phen) != 0 ||
                                                      waiting_sibs.count(p._parent2->_phen) != 0);
            if (blocked) {
                continue;
            }
            p.transmit_to_sibs();
            for (const TPhenPed* sib : p._sibs) {
                waiting_sibs.erase(sib);
            }
            done[i] = 1;
            ++transmitted;
        }
        if (transmitted == 0) {
            // A cycle in the parent links: the rest go in array order.
            for (std::size_t i = 0; i < peds.size(); ++i) {
                if (done[i] == 0) {
                    peds[i].transmit_to_sibs();
                    done[i] = 1;
                }
            }
            break;
        }
        remaining -= transmitted;
    }
    // Individuals without data in the observed sample stay without data.
    for (const auto& record : PhenPedDB.records()) {
        if (!record->_observed_typed) {
            record->clear_pseudo_hapl();
        }
    }
}

SampleDescription TPopPedigree::describe_nuclear_sample() const {
    // Exactly what writing the sample in the data-file layout and reading it
    // back would give: allele names each followed by a blank, and a second
    // parent losing the carriage return that ends a line.
    SampleDescription sample;
    sample.name = "(A random sample)";
    sample.records.reserve(PhenPedDB.records().size());
    for (const auto& record : PhenPedDB.records()) {
        if (!record->typed()) {
            continue;
        }
        SampleRecord r;
        r.id = *record->_id;
        r.parent1 = *record->_parent1_id;
        r.parent2 = *record->_parent2_id;
        if (!r.parent2.empty() && r.parent2.back() == '\r') {
            r.parent2.pop_back();
        }
        for (std::int32_t slot = 0; slot < 2; ++slot) {
            const TPopHaplotype& h = *record->pseudo_hapl(slot);
            std::string& line = r.allele_lines[static_cast<std::size_t>(slot)];
            for (std::int32_t l = 0; l < h.size(); ++l) {
                line += h.allele(l)->_name;
                line += ' ';
            }
        }
        sample.records.push_back(std::move(r));
    }
    return sample;
}
