#pragma once

// Small samples for the pedigree tests, from inline text in the data file's
// record layout, without the population layer: records read by the record
// reader, put at the head of the individual database, allele lines split at
// blanks into pseudo-haplotypes.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "genetics/phenotype.h"
#include "io/record_reader.h"
#include "pedigree/ped_db.h"
#include "pedigree/pedigree.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"
#include "support/errors.h"

namespace pedtest {

// A haplotype's allele names, locus by locus, separated by blanks.
inline std::string names(const TPopHaplotype& h) {
    std::string out;
    for (std::int32_t l = 0; l < h.size(); ++l) {
        out += (l == 0 ? "" : " ") + h.allele(l)->_name;
    }
    return out;
}

struct Sample {
    TAlleleDB alleles;
    TPopHaploDB haplotypes;
    TSmallGenDB genotypes;
    TPhenPedDB people;
    TPedDB peds;

    // Evaluates the likelihood with `kind` (set before building).
    void use_engine(EngineKind kind) { peds.set_engine(make_engine(kind)); }

    // Reads every record of `text` and sets the pseudo-haplotypes.
    explicit Sample(const std::string& text) {
        std::istringstream in(text);
        for (;;) {
            const std::string id = record_reader::read_token(in);
            const std::string parent1 = record_reader::read_token(in);
            const std::string parent2 = record_reader::read_rest_of_line(in);
            if (parent2.empty()) {
                break;
            }
            TPhenotype phenotype;
            phenotype._allele_lines[0] = record_reader::read_rest_of_line(in);
            phenotype._allele_lines[1] = record_reader::read_rest_of_line(in);
            people.push_front(std::make_unique<TPhenPed>(
                phenotype, people.intern(id), people.intern(parent1), people.intern(parent2)));
        }
        for (const auto& record : people.records()) {
            for (std::int32_t slot = 0; slot < 2; ++slot) {
                TPopHaplotype working;
                std::istringstream line(record->_allele_lines[slot]);
                std::string name;
                for (std::int32_t l = 0; std::getline(line, name, ' ');) {
                    if (!name.empty()) {
                        const std::int32_t j = alleles.add_allele(l, name, 1.0F);
                        working.append(alleles.locus(l++).allele(j));
                    }
                }
                record->set_pseudo_hapl(working, slot);
            }
            record->_observed_typed = true;
        }
    }

    // The steps of a sample's analysis up to the genotype database; `hash`
    // appends the allele "#" to every locus as the analysis does.
    void complete(bool hash = false) {
        people.add_missing_parents();
        if (hash) {
            alleles.add_to_all_loci(TAllele{"#", 1.0F});
        }
        haplotypes.build_all_haplotypes(alleles);
        genotypes.build_all_valid_gen(haplotypes);
    }

    // Pedigrees with their combinations for a multi-locus run.
    void build(bool merge = false) {
        peds.build_pedigree_structures(people);
        if (merge) {
            peds.find_redundant_pedigrees();
        }
        peds.normalise_weights();
        peds.build_all_genotypic_combinations(haplotypes, genotypes, -1, 0);
    }

    TPhenPed& person(const std::string& id) const {
        for (const auto& record : people.records()) {
            if (*record->_id == id) {
                return *record;
            }
        }
        ADD_FAILURE() << "no individual " << id;
        return *people.records().front();
    }

    // The haplotype database entry with these allele names ("1 a").
    TPopHaplotype* hap(const std::string& names) const {
        for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
            if (pedtest::names(*haplotypes[i]) == names) {
                return haplotypes[i];
            }
        }
        ADD_FAILURE() << "no haplotype " << names;
        return nullptr;
    }
};

// Sets every frequency to f(i), by default to positive values proportional to
// 1, 2, 3, ... in database order.
inline void set_frequencies(TPopHaploDB& h, const std::function<double(std::int32_t)>& f = {}) {
    const double total = h.size() * (h.size() + 1) / 2.0;
    for (std::int32_t i = 0; i < h.size(); ++i) {
        h[i]->_freq = f ? f(i) : (i + 1) / total;
    }
}

inline double frequency_sum(const TPopHaploDB& h) {
    double sum = 0.0;
    for (std::int32_t i = 0; i < h.size(); ++i) {
        sum += h[i]->_freq;
    }
    return sum;
}

// Sets the process-wide switch for one test and restores it afterwards.
class AllCombinations {
  public:
    explicit AllCombinations(bool on) : _saved(UseAllCombinations) { UseAllCombinations = on; }
    ~AllCombinations() { UseAllCombinations = _saved; }

  private:
    bool _saved;
};

// Captures the message log in memory, numbered from 1, for one test.
class LogCapture {
  public:
    LogCapture() {
        if (!error_log.is_open()) {
            error_log.open((::testing::TempDir() + "tovaquor_pedigree_tests.log").c_str());
        }
        _saved = error_log.counters();
        error_log.counters() = Errors::Counters{};
        _previous = error_log.redirect(&_text);
    }
    ~LogCapture() {
        error_log.redirect(_previous);
        error_log.counters() = _saved;
    }
    std::string str() const { return _text.str(); }

  private:
    std::ostringstream _text;
    std::ostream* _previous = nullptr;
    Errors::Counters _saved;
};

// The blanks that precede a pseudo-haplotype in the individual printouts.
inline const std::string kIndent(26, ' ');

} // namespace pedtest
