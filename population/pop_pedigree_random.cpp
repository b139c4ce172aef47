#include <unordered_set>
#include <vector>

#include "population/pop_pedigree.h"

void TPopPedigree::draw_random_sample() {
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

void TPopPedigree::print_random_sample(std::ostream& os) const {
    os << "(A random sample)\n";
    PhenPedDB.print_typed(os);
}
