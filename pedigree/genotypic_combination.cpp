#include "pedigree/genotypic_combination.h"

#include <algorithm>

std::vector<std::int32_t> TSibCombinationStore::stored_positions(std::int32_t n_sibs) {
    // order holds sib indices front to back; a copy reverses it, then the next
    // sib goes to the front; the stored combination is one more copy.
    std::vector<std::int32_t> order;
    for (std::int32_t k = 0; k < n_sibs; ++k) {
        std::reverse(order.begin(), order.end());
        order.insert(order.begin(), k);
    }
    std::reverse(order.begin(), order.end());
    std::vector<std::int32_t> position(static_cast<std::size_t>(n_sibs));
    for (std::int32_t p = 0; p < n_sibs; ++p) {
        position[static_cast<std::size_t>(order[static_cast<std::size_t>(p)])] = p;
    }
    return position;
}

double TSibCombinationStore::count(const std::vector<const TGenotypeList*>& sib_lists) {
    double total = 1.0;
    for (const TGenotypeList* list : sib_lists) {
        total *= list->size();
    }
    return total;
}

void TSibCombinationStore::enumerate(const std::vector<const TGenotypeList*>& sib_lists) {
    clear();
    _n_sibs = static_cast<std::int32_t>(sib_lists.size());
    if (_n_sibs == 0) {
        return;
    }
    std::size_t total = 1;
    for (const TGenotypeList* list : sib_lists) {
        total *= list->size();
    }
    if (total == 0) {
        return;
    }
    const std::vector<std::int32_t> position = stored_positions(_n_sibs);
    _stored_sibs.assign(position.size(), 0);
    for (std::size_t k = 0; k < position.size(); ++k) {
        _stored_sibs[static_cast<std::size_t>(position[k])] = static_cast<std::int32_t>(k);
    }
    _genotypes.resize(total * static_cast<std::size_t>(_n_sibs));
    // Odometer over the sibs' genotype indices, last sib fastest.
    std::vector<std::uint32_t> digit(static_cast<std::size_t>(_n_sibs), 0);
    for (std::size_t c = 0; c < total; ++c) {
        TGenotype* out = _genotypes.data() + c * static_cast<std::size_t>(_n_sibs);
        for (std::size_t k = 0; k < sib_lists.size(); ++k) {
            out[position[k]] = (*sib_lists[k])[digit[k]];
        }
        for (std::size_t k = sib_lists.size(); k-- > 0;) {
            if (++digit[k] < sib_lists[k]->size()) {
                break;
            }
            digit[k] = 0;
        }
    }
    _count = static_cast<std::int32_t>(total);
}

bool segregation_probability(const OffspringGenotypes& offspring, TSibGenotypicCombination sibs,
                             double& seg) {
    seg = 1.0;
    for (const TGenotype& g : sibs) {
        const std::int32_t m = offspring.count(g);
        if (m == 0) {
            return false;
        }
        seg = segregation_step(seg, m);
    }
    return true;
}

void print_combination(std::ostream& os, const TGenotypicCombination& c,
                       TSibGenotypicCombination sibs) {
    os << " " << c._prob << "\nP1 : \n" << *c._parent1;
    if (c._parent2 == nullptr) {
        return;
    }
    os << "P2 : \n" << *c._parent2 << "Segregation prob. : " << c._seg_prob << "\n";
    std::int32_t k = 1;
    for (const TGenotype& g : sibs) {
        os << "S" << k++ << " : \n" << g;
    }
}
