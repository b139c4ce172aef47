#pragma once

// Builds small samples for the pedigree tests from inline text in the record
// layout of the data file (identifier, parents, two allele lines), without the
// population layer: the records are read with the record reader, put at the
// head of the individual database, and their allele lines split at blanks
// into pseudo-haplotypes pointing at the alleles of a TAlleleDB.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "genetics/phenotype.h"
#include "pedigree/ped_db.h"
#include "pedigree/pedigree.h"
#include "pedigree/phen_ped.h"
#include "pedigree/record_reader.h"
#include "pedigree/small_gen.h"
#include "support/errors.h"

namespace pedtest {

inline std::vector<std::string> split_blanks(const std::string& line) {
    std::vector<std::string> pieces;
    std::string piece;
    std::istringstream in(line);
    while (std::getline(in, piece, ' ')) {
        if (!piece.empty()) {
            pieces.push_back(piece);
        }
    }
    return pieces;
}

struct Sample {
    TAlleleDB alleles;
    TPopHaploDB haplotypes;
    TSmallGenDB genotypes;
    TPhenPedDB people;
    TPedDB peds;

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
        const float one = 1.0F;
        for (const auto& record : people.records()) {
            for (std::int32_t slot = 0; slot < 2; ++slot) {
                TPopHaplotype working;
                const std::vector<std::string> names = split_blanks(record->_allele_lines[slot]);
                for (std::int32_t l = 0; l < static_cast<std::int32_t>(names.size()); ++l) {
                    const std::int32_t j =
                        alleles.add_allele(l, names[static_cast<std::size_t>(l)], one);
                    working.append(alleles.locus(l).allele(j));
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

    TAllele* allele(std::int32_t locus, const std::string& name) const {
        const TLocus& l = alleles.locus(locus);
        return l.allele(l.find(name));
    }

    // The haplotype database entry with these allele names, locus by locus.
    TPopHaplotype* hap(std::initializer_list<std::string> names) const {
        for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
            TPopHaplotype* h = haplotypes[i];
            if (h->size() != static_cast<std::int32_t>(names.size())) {
                continue;
            }
            std::int32_t l = 0;
            bool same = true;
            for (const std::string& name : names) {
                same = same && h->allele(l++)->_name == name;
            }
            if (same) {
                return h;
            }
        }
        ADD_FAILURE() << "no such haplotype";
        return nullptr;
    }

    // The pedigree in which `id` is a sib, or which `id` forms alone.
    TPedigree& pedigree_of(const std::string& id) {
        for (TPedigree& p : peds._pedigrees) {
            if (p._sibs.empty() && *p._parent1->_phen->_id == id) {
                return p;
            }
            for (const TPhenPed* sib : p._sibs) {
                if (*sib->_id == id) {
                    return p;
                }
            }
        }
        ADD_FAILURE() << "no pedigree of " << id;
        return peds._pedigrees.front();
    }

    void set_frequencies(const std::function<double(std::int32_t)>& f) {
        for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
            haplotypes[i]->_freq = f(i);
        }
    }

    double frequency_sum() const {
        double sum = 0.0;
        for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
            sum += haplotypes[i]->_freq;
        }
        return sum;
    }
};

// Positive frequencies proportional to 1, 2, 3, ... in database order.
inline std::function<double(std::int32_t)> graded(std::int32_t n) {
    const double total = n * (n + 1) / 2.0;
    return [total](std::int32_t i) { return (i + 1) / total; };
}

// Sets the process-wide switch for one test and restores it afterwards.
class AllCombinations {
  public:
    explicit AllCombinations(bool on) : _saved(UseAllCombinations) { UseAllCombinations = on; }
    ~AllCombinations() { UseAllCombinations = _saved; }
    AllCombinations(const AllCombinations&) = delete;
    AllCombinations& operator=(const AllCombinations&) = delete;

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
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string str() const { return _text.str(); }

  private:
    std::ostringstream _text;
    std::ostream* _previous = nullptr;
    Errors::Counters _saved;
};

// The blanks that precede a pseudo-haplotype in the individual printouts.
inline const std::string kIndent(26, ' ');

} // namespace pedtest
