#include "app/results_collector.h"

#include <algorithm>
#include <string>
#include <utility>

#include "population/pop_pedigree.h"
#include "population/sample_families.h"

namespace {

std::int32_t allele_index(const TLocus& locus, const TAllele* allele) {
    for (std::int32_t j = 0; j < locus.size(); ++j) {
        if (locus.allele(j) == allele) {
            return j;
        }
    }
    return -1;
}

} // namespace

SampleResults collect_sample(const TPopPedigree& pop, const SampleDescription& sample,
                             std::int32_t announced) {
    SampleResults out;
    out.name = pop.Name;
    out.announced = announced;
    const FamilyStructure structure = family_structure(sample);
    out.individuals = static_cast<std::int32_t>(sample.records.size());
    out.families = static_cast<std::int32_t>(structure.families());
    out.singles = static_cast<std::int32_t>(structure.singles);
    out.absent_parents = static_cast<std::int32_t>(structure.absent_parents);
    out.loci = pop.AlleleDB.n_loci();
    out.sample_ln_l = pop.PedDB._ln_likelihood;
    out.equilibrium_ln_l = pop.EquilLnLHood;
    out.n_maxima = pop.PedDB._n_maxima;

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
