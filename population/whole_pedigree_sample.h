#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "io/sample_description.h"
#include "pedigree/whole_pedigrees.h"
#include "population/sample_model.h"

// A sample as whole pedigrees see it: its records in file order, then each
// parent they name that is not in the file (an absent founder). Gives the
// likelihood its members and draws the simulated samples.
class WholePedigreeSample {
  public:
    // The allele that stands for an unknown one in an allele line.
    static constexpr const char* kUnknownAllele = "?";

    WholePedigreeSample(const SampleDescription& sample, const std::string& unknown_parent);

    // The members, alleles by their index in `alleles`; with `locus` >= 0
    // only that locus, as the first.
    std::vector<WholeMember> members(const TAlleleDB& alleles, std::int32_t locus) const;
    // The allele indices of every haplotype of `haplotypes`, locus by locus.
    static std::vector<std::array<std::int32_t, 2>> haplotype_alleles(const TPopHaploDB& haplotypes,
                                                                      const TAlleleDB& alleles);
    // Builds `engine` over `haplotypes` (both loci, or `locus` alone). A
    // pedigree with a loop, or one past the memory limit, stops the run.
    void build(WholePedigrees& engine, const TAlleleDB& alleles, const TPopHaploDB& haplotypes,
               std::int32_t locus, const std::string& sample_name) const;
    // The names of pedigree p's members, for messages.
    std::string describe_pedigree(const WholePedigrees& engine, std::size_t p) const;

    // A random sample: every founder's two haplotypes drawn from the
    // equilibrium frequencies of `haplotypes`, every child taking one of each
    // parent's at random, in file order; each record keeps its typing (an
    // unknown allele stays unknown) and absent individuals stay absent.
    SampleDescription draw(const TPopHaploDB& haplotypes) const;

    // Individuals of the file that the nuclear model cannot place as typed:
    // typed and both child and parent (typed middle generation), or with one
    // known parent.
    struct NuclearLosses {
        std::int32_t middle = 0;
        std::int32_t one_parent = 0;
        // "the nuclear-family model takes ...; --whole-pedigrees gives ...".
        std::string text() const;
    };
    NuclearLosses nuclear_losses() const;

  private:
    struct Person {
        std::string id;
        std::int32_t parent1 = WholeMember::kUnknown;
        std::int32_t parent2 = WholeMember::kUnknown;
        bool named_parent1 = false; // a parent named, even when absent
        bool named_parent2 = false;
        // The alleles of each line, as read; empty for an absent individual.
        std::array<std::vector<std::string>, 2> alleles;
        bool listed = true;
    };
    std::vector<Person> _people;
    std::string _name;
};

// The whole-pedigree model behind SampleModel (population/pop_pedigree_whole.cpp);
// a sample gets it through make_sample_model.
std::unique_ptr<SampleModel> make_whole_pedigree_model();
