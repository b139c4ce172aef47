#include "population/sample_families.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

#include "pedigree/ped_db.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"

namespace {

// Pedigrees (by position) with no genotypic combination after a build.
std::vector<bool> without_combinations(const TPedDB& peds) {
    std::vector<bool> empty;
    for (const TPedigree& p : peds._pedigrees) {
        empty.push_back(p._gen_comb.empty() && !p._released);
    }
    return empty;
}

} // namespace

std::size_t FamilyStructure::families() const {
    std::size_t n = 0;
    for (const auto& [sibs, count] : families_by_sibs) {
        n += count;
    }
    return n;
}

FamilyStructure family_structure(const SampleDescription& sample) {
    const std::string unknown = "0";
    std::map<std::pair<std::string, std::string>, std::size_t> sibs_of;
    std::set<std::string> parents;
    std::set<std::string> present;
    for (const SampleRecord& record : sample.records) {
        present.insert(record.id);
        if (record.parent1 != unknown && record.parent2 != unknown) {
            ++sibs_of[std::minmax(record.parent1, record.parent2)];
            parents.insert(record.parent1);
            parents.insert(record.parent2);
        }
    }
    FamilyStructure out;
    for (const auto& [pair, sibs] : sibs_of) {
        ++out.families_by_sibs[sibs];
    }
    for (const SampleRecord& record : sample.records) {
        const bool has_parents = record.parent1 != unknown && record.parent2 != unknown;
        if (!has_parents && parents.count(record.id) == 0) {
            ++out.singles;
        }
    }
    for (const std::string& parent : parents) {
        if (present.count(parent) == 0) {
            ++out.absent_parents;
        }
    }
    return out;
}

CombinationCheck families_without_combinations(const SampleDescription& sample) {
    // The build's stops print the analysis's console lines; here the thrown
    // FatalError carries the message to the caller instead.
    std::ostringstream console_text;
    const ScopedConsole quiet(&console_text);
    CombinationCheck check;
    // Combination records are what the check reads: the listing engine.
    TPopPedigree pop(sample.name, {.engine = EngineKind::listed});
    pop.load_sample(sample);
    pop.set_pseudo_haplotypes(pop.PhenPedDB, ' ');
    pop.PhenPedDB.add_missing_parents();
    const TAlleleDB& alleles = pop.AlleleDB;
    for (std::int32_t k = 0; k < alleles.n_loci(); ++k) {
        std::vector<std::string>& names = check.alleles.emplace_back();
        for (std::int32_t j = 0; j < alleles.locus(k).size(); ++j) {
            names.push_back(alleles.locus(k).allele(j)->_name);
        }
    }

    // The same steps as the analysis: each locus alone, then both.
    pop.AlleleDB.add_to_all_loci(TAllele{"#", 1.0F});
    pop.check_table_sizes();
    // The table of all pairs of haplotypes only where some family needs it.
    const bool pair_table = pop.needs_pair_table();
    std::vector<std::vector<bool>> locus_failures;
    for (std::int32_t k = 0; k < pop.AlleleDB.n_loci(); ++k) {
        TPopHaploDB locus_haplotypes;
        locus_haplotypes.build_locus_haplotypes(pop.AlleleDB, k);
        TSmallGenDB locus_genotypes;
        if (pair_table) {
            locus_genotypes.build_all_valid_gen(locus_haplotypes);
        }
        TPedDB locus_peds;
        locus_peds._sample_name = pop.Name;
        locus_peds._release_combinations = true;
        locus_peds.build_pedigree_structures(pop.PhenPedDB);
        locus_peds.build_all_genotypic_combinations(locus_haplotypes, locus_genotypes, k, 0);
        locus_failures.push_back(without_combinations(locus_peds));
        pop.PhenPedDB.reset_parent_flags();
    }
    pop.HaplDB.build_all_haplotypes(pop.AlleleDB);
    if (pair_table) {
        pop.SmallGenDB.build_all_valid_gen(pop.HaplDB);
    }
    pop.build_pedigrees();
    pop.PedDB.build_all_genotypic_combinations(pop.HaplDB, pop.SmallGenDB, -1, 0);
    const std::vector<bool> failures = without_combinations(pop.PedDB);

    for (std::size_t i = 0; i < pop.PedDB._pedigrees.size(); ++i) {
        if (!failures[i]) {
            continue;
        }
        const TPedigree& p = pop.PedDB._pedigrees[i];
        FamilyWithoutCombination& family = check.families.emplace_back();
        family.parents.push_back(*p._parent1->_phen->_id);
        if (p._parent2 != nullptr) {
            family.parents.push_back(*p._parent2->_phen->_id);
        }
        for (const TPhenPed* sib : p._sibs) {
            family.sibs.push_back(*sib->_id);
        }
        for (std::size_t k = 0; k < locus_failures.size(); ++k) {
            if (locus_failures[k][i]) {
                family.failing_loci.push_back(static_cast<std::int32_t>(k + 1));
            }
        }
    }
    return check;
}
