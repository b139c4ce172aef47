// Phenotypes: expansion into phased genotypes (order, registration, counts),
// copying, comparison and the pseudo-haplotype printout.
#include <gtest/gtest.h>

#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "genetics/phenotype.h"
#include "haplotype_text.h"

namespace {

// Two loci: A1, A2 at the first, B1, B2 at the second; A1' is another object
// named A1.
class PhenotypeTest : public ::testing::Test {
  protected:
    // "A1 B1" or "A1": a haplotype of the fixture's alleles.
    TPopHaplotype h(const std::string& names) {
        std::istringstream is(names);
        std::string a, b;
        is >> a >> b;
        return hap(alleles_.at(a), b.empty() ? nullptr : alleles_.at(b));
    }

    void set(TPhenotype& p, const std::string& h0, const std::string& h1) {
        p.set_pseudo_hapl(h(h0), 0);
        p.set_pseudo_hapl(h(h1), 1);
    }

    // The database entries in order, each with its accumulated frequency.
    std::string entries() const {
        std::ostringstream os;
        for (std::int32_t i = 0; i < db_.size(); ++i) {
            os << "[" << *db_[i] << ":" << db_[i]->_freq << "]";
        }
        return os.str();
    }

    // Every field, the pseudo-haplotypes by text ("-" for none).
    static std::string describe(const TPhenotype& p) {
        std::ostringstream os;
        os << p._name << " " << p._pheno_weight << " " << p._n_gen << " " << p._n_het << " "
           << p._allele_lines[0] << "/" << p._allele_lines[1] << " [";
        for (int slot = 0; slot < 2; ++slot) {
            os << (slot == 0 ? "" : "/")
               << (p._pseudo_hapl[slot] ? text(*p._pseudo_hapl[slot]) : "- ");
        }
        os << "]" << genotypes(p);
        return os.str();
    }

    static std::string genotypes(const TPhenotype& p) {
        std::string out;
        for (const TGenotype& g : p._gen_list) {
            out += "(" + text(*g._hapl1) + "/" + text(*g._hapl2) + ")";
        }
        return out;
    }

    TAllele a1_{"A1", 1}, a2_{"A2", 1}, b1_{"B1", 1}, b2_{"B2", 1}, a1_twin_{"A1", 1};
    std::map<std::string, TAllele*> alleles_{
        {"A1", &a1_}, {"A2", &a2_}, {"B1", &b1_}, {"B2", &b2_}, {"A1'", &a1_twin_}};
    TPopHaploDB db_;
};

// Expanding A1 B1 / <second> with one call per character of `calls` (1: phase
// known), optionally into a database that already holds every haplotype. The
// second haplotype of each assignment is registered before the first; a later
// call reuses the count of assignments the first call left.
TEST_F(PhenotypeTest, BuildGenotypes) {
    // Genotypes, database entries with their weights, _n_gen/_n_het.
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"A1 B1", "0", false, "(A1 B1 /A1 B1 ) [A1 B1 :2] 1/0"},
        {"A2 B1", "0", false, "(A1 B1 /A2 B1 ) [A2 B1 :1][A1 B1 :1] 1/1"},
        {"A2 B2", "0", false,
         "(A1 B1 /A2 B2 )(A1 B2 /A2 B1 ) [A2 B2 :1][A1 B1 :1][A2 B1 :1][A1 B2 :1] 2/2"},
        {"A2 B2", "0", true,
         "(A1 B1 /A2 B2 )(A1 B2 /A2 B1 ) [A1 B1 :1][A1 B2 :1][A2 B1 :1][A2 B2 :1] 2/2"},
        {"A2 B2", "1", false, "(A1 B1 /A2 B2 ) [A2 B2 :1][A1 B1 :1] 1/0"},
        {"A2 B2", "00", false,
         "(A1 B1 /A2 B2 )(A1 B2 /A2 B1 ) [A2 B2 :2][A1 B1 :2][A2 B1 :2][A1 B2 :2] 2/2"},
        {"A2 B2", "10", false, "(A1 B1 /A2 B2 ) [A2 B2 :2][A1 B1 :2] 1/0"}};
    for (const auto& [second, calls, prefilled, expected] : cases) {
        db_ = TPopHaploDB{};
        for (const char* names : {"A1 B1", "A1 B2", "A2 B1", "A2 B2"}) {
            if (prefilled) {
                db_.add_haplotype(h(names), 0.0);
            }
        }
        TPhenotype p;
        set(p, "A1 B1", second);
        for (const char* call = calls; *call != 0; ++call) {
            p.build_genotypes(db_, static_cast<char>(*call - '0'));
        }
        EXPECT_EQ(expected, genotypes(p) + " " + entries() + " " + std::to_string(p._n_gen) + "/" +
                                std::to_string(p._n_het));
        for (const TGenotype& g : p._gen_list) {
            for (const TPopHaplotype* x : {g._hapl1, g._hapl2}) {
                EXPECT_TRUE(x->_index >= 0 && db_[x->_index] == x) << "not a database entry";
            }
        }
    }
}

// Everything is copied; the pseudo-haplotypes as objects of their own.
TEST_F(PhenotypeTest, AssignmentAndCopyAreDeep) {
    TPhenotype src;
    src._name = "src";
    src._pheno_weight = 0.5;
    src._allele_lines[0] = "A1 B1";
    src._allele_lines[1] = "A2 B2";
    set(src, "A1 B1", "A2 B2");
    src.build_genotypes(db_, 0);
    TPhenotype dst;
    set(dst, "A1", "A1");
    dst._gen_list.append(TGenotype{db_[0], db_[0], 0.0});
    dst = src;
    EXPECT_EQ("src 0.5 2 2 A1 B1/A2 B2 [A1 B1 /A2 B2 ](A1 B1 /A2 B2 )(A1 B2 /A2 B1 )",
              describe(dst));
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_NE(src._pseudo_hapl[slot].get(), dst._pseudo_hapl[slot].get());
        EXPECT_TRUE(*src._pseudo_hapl[slot] == *dst._pseudo_hapl[slot]);
        EXPECT_EQ(src._gen_list[slot]._hapl2, dst._gen_list[slot]._hapl2);
    }
    const TPhenotype copy(dst);
    EXPECT_EQ(describe(src), describe(copy));

    // Empty slots and an empty list replace what was there.
    TPhenotype second_only;
    second_only.set_pseudo_hapl(h("A1"), 1);
    dst = second_only;
    EXPECT_EQ("UNKNOWN 1 0 0 / [- /A1 ]", describe(dst));
    EXPECT_EQ(&a1_, dst._pseudo_hapl[1]->allele(0));
}

// Each locus compares as an unordered pair of allele objects; phenotypes
// without allelic content compare by weight.
TEST_F(PhenotypeTest, Equality) {
    TPhenotype p;
    set(p, "A1 B1", "A2 B2");
    const std::tuple<const char*, const char*, bool> others[] = {{"A2 B1", "A1 B2", true},
                                                                 {"A2 B2", "A1 B1", true},
                                                                 {"A1 B1", "A2 B1", false},
                                                                 {"A1 B1", "A1 B2", false},
                                                                 {"A1' B1", "A2 B2", false}};
    for (const auto& [h0, h1, equal] : others) {
        TPhenotype q;
        set(q, h0, h1);
        EXPECT_EQ(equal, p == q) << h0 << " / " << h1;
    }
    TPhenotype none, other_none;
    EXPECT_TRUE(none == other_none);
    other_none._pheno_weight = 2.0;
    EXPECT_FALSE(none == other_none);
    EXPECT_FALSE(none == p);
    EXPECT_FALSE(p == none);
}

// The two leading fields pad with the stream's fill character.
TEST_F(PhenotypeTest, PrintPseudoHaplotypes) {
    const auto print = [](const TPhenotype& p) {
        std::ostringstream os;
        os << std::setfill('*');
        p.print_pseudo_hapl(os);
        return os.str();
    };
    TPhenotype p;
    EXPECT_EQ("Allelic content not defined yet\n", print(p));
    const std::string lead = std::string(14, '*') + " " + std::string(9, '*') + "  ";
    p.set_pseudo_hapl(h("A2 B2"), 1);
    EXPECT_EQ(lead + "A2 B2 \n", print(p));
    set(p, "A1 B1", "A2 B2");
    EXPECT_EQ(lead + "A1 B1 \n" + lead + "A2 B2 \n", print(p));
}

} // namespace
