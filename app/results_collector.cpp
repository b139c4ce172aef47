#include "app/results_collector.h"

#include <algorithm>
#include <map>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "app/sample_batch.h"
#include "io/sample_checks.h"
#include "population/hardy_weinberg.h"
#include "population/phase_posteriors.h"
#include "population/pop_pedigree.h"
#include "population/sample_families.h"
#include "support/errors.h"
#include "support/side_random.h"

namespace {

// The records without two known parents: founders and singles.
std::vector<const SampleRecord*> founders(const SampleDescription& sample) {
    const std::string unknown = "0";
    std::vector<const SampleRecord*> out;
    for (const SampleRecord& record : sample.records) {
        if (record.parent1 == unknown || record.parent2 == unknown) {
            out.push_back(&record);
        }
    }
    return out;
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
    out.founder_haplotypes =
        2 * static_cast<std::int64_t>(founders(sample).size()) + out.absent_parents;
    if (pop.FounderHaplotypes) {
        out.founder_haplotypes = static_cast<std::int64_t>(*pop.FounderHaplotypes);
    }
    out.loci = pop.AlleleDB.n_loci();
    out.sample_ln_l = pop.PedDB._ln_likelihood;
    out.equilibrium_ln_l = pop.EquilLnLHood;
    out.n_maxima = pop.PedDB._n_maxima;
    out.distinct_maxima = pop.Maxima.distinct();
    out.best_maximum_starts = pop.Maxima.best_starts();
    out.maxima_tolerance = MaximaTally::kTolerance;

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

std::vector<LocusHardyWeinberg> hardy_weinberg_per_locus(const SampleDescription& sample,
                                                         std::int64_t seed,
                                                         std::int32_t sample_number) {
    const std::vector<const SampleRecord*> tested = founders(sample);
    std::vector<LocusHardyWeinberg> out;
    for (std::size_t locus = 0;; ++locus) {
        std::map<std::string, std::int32_t> index;
        std::vector<std::pair<std::int32_t, std::int32_t>> genotypes;
        for (const SampleRecord* record : tested) {
            std::int32_t pair[2] = {-1, -1};
            for (std::size_t line = 0; line < 2; ++line) {
                const std::vector<std::string> alleles =
                    split_allele_line(record->allele_lines[line]);
                if (locus < alleles.size()) {
                    pair[line] =
                        index.emplace(alleles[locus], static_cast<std::int32_t>(index.size()))
                            .first->second;
                }
            }
            if (pair[0] >= 0 && pair[1] >= 0) {
                genotypes.emplace_back(pair[0], pair[1]);
            }
        }
        if (genotypes.empty()) {
            return out;
        }
        SideRandom random(seed, kHardyWeinbergDraws, static_cast<std::uint64_t>(sample_number),
                          locus);
        const HardyWeinbergTest t =
            hardy_weinberg_test(genotypes, static_cast<std::int32_t>(index.size()), random);
        out.push_back({t.individuals, t.alleles, t.observed_heterozygosity,
                       t.expected_heterozygosity, t.p_value, t.draws});
    }
}

std::optional<std::vector<IndividualPhaseRows>> collect_phases(TPopPedigree& pop) {
    static constexpr double kLeastPosterior = 0.001;
    // A family too large to list stops only the phases: its message is kept
    // from the log and the console, which stay those of a run without them.
    std::optional<std::vector<IndividualPhases>> phases;
    try {
        const CapturedOutput dropped;
        phases = phase_posteriors(pop, kLeastPosterior);
    } catch (const FatalError&) {
    } catch (const PhasesBeyondMemoryLimit&) {
    } catch (const std::bad_alloc&) {
    }
    if (!phases) {
        return std::nullopt;
    }
    std::vector<IndividualPhaseRows> out;
    for (const IndividualPhases& individual : *phases) {
        IndividualPhaseRows& rows = out.emplace_back();
        rows.individual = individual.individual;
        for (const PhasedPair& pair : individual.pairs) {
            rows.pairs.push_back({pair.haplotype_a, pair.haplotype_b, pair.posterior});
        }
    }
    return out;
}
