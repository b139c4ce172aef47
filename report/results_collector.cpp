#include "report/results_collector.h"

#include <algorithm>
#include <set>
#include <string>
#include <utility>

#include "population/pop_pedigree.h"

namespace {

// The sample log-likelihood of a sample no combination can explain.
constexpr double kFloor = -3.4028234663852886e+38;

// Families, singles and absent parents as the likelihood sees them: a family
// is a pair of known parents with their children; an individual with one
// unknown parent counts as having none.
void count_structure(const TPhenPedDB& db, SampleResults& out) {
    std::set<std::pair<const std::string*, const std::string*>> families;
    std::set<const std::string*> parents;
    for (const auto& record : db.records()) {
        if (!record->_observed_typed) {
            continue; // added for a parent the file does not hold
        }
        ++out.individuals;
        if (!db.is_unknown(record->_parent1_id) && !db.is_unknown(record->_parent2_id)) {
            families.insert(std::minmax(record->_parent1_id, record->_parent2_id));
            parents.insert(record->_parent1_id);
            parents.insert(record->_parent2_id);
        }
    }
    out.families = static_cast<std::int32_t>(families.size());
    for (const auto& record : db.records()) {
        const bool has_parents =
            !db.is_unknown(record->_parent1_id) && !db.is_unknown(record->_parent2_id);
        if (record->_observed_typed && !has_parents && parents.count(record->_id) == 0) {
            ++out.singles;
        }
    }
    for (const std::string* parent : parents) {
        const TPhenPed* found = db.find(parent);
        if (found == nullptr || !found->_observed_typed) {
            ++out.absent_parents;
        }
    }
}

std::int32_t allele_index(const TLocus& locus, const TAllele* allele) {
    for (std::int32_t j = 0; j < locus.size(); ++j) {
        if (locus.allele(j) == allele) {
            return j;
        }
    }
    return -1;
}

} // namespace

SampleResults collect_sample(const TPopPedigree& pop, std::int32_t announced) {
    SampleResults out;
    out.name = pop.Name;
    out.announced = announced;
    count_structure(pop.PhenPedDB, out);
    out.loci = pop.AlleleDB.n_loci();
    out.sample_ln_l = pop.PedDB._ln_likelihood;
    out.equilibrium_ln_l = pop.EquilLnLHood;
    out.n_maxima = pop.PedDB._n_maxima;
    out.estimated = out.sample_ln_l > kFloor && out.equilibrium_ln_l > kFloor;

    for (std::int32_t k = 0; k < pop.AlleleDB.n_loci(); ++k) {
        const TLocus& locus = pop.AlleleDB.locus(k);
        std::vector<AlleleResult>& alleles = out.alleles.emplace_back();
        for (std::int32_t j = 0; j < locus.size(); ++j) {
            alleles.push_back({locus.allele(j)->_name, locus.allele(j)->_freq});
        }
    }

    // The report's order and numbering: all haplotypes sorted by allele names,
    // equal ones keeping their database order.
    std::vector<const TPopHaplotype*> sorted;
    for (std::int32_t i = 0; i < pop.HaplDB.size(); ++i) {
        sorted.push_back(pop.HaplDB[i]);
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const TPopHaplotype* a, const TPopHaplotype* b) { return *a < *b; });
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const TPopHaplotype& h = *sorted[i];
        HaplotypeResult& r = out.haplotypes.emplace_back();
        r.number = static_cast<std::int32_t>(i);
        r.frequency = h._freq;
        r.product = h._le_freq;
        for (std::int32_t k = 0; k < h.size() && k < pop.AlleleDB.n_loci(); ++k) {
            r.alleles.push_back(h.allele(k)->_name);
            r.allele_index.push_back(allele_index(pop.AlleleDB.locus(k), h.allele(k)));
        }
    }
    return out;
}
