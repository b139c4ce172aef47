// Phenotypes: expansion into phased genotypes (order, registration, counts).
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <tuple>

#include "genetics/phenotype.h"
#include "haplotype_text.h"

namespace {

// Two loci: A1, A2 at the first, B1, B2 at the second.
class PhenotypeTest : public ::testing::Test {
  protected:
    // "A1 B1": a haplotype of the fixture's alleles.
    TPopHaplotype h(const std::string& names) {
        std::istringstream is(names);
        std::string a, b;
        is >> a >> b;
        return hap(alleles_.at(a), alleles_.at(b));
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

    static std::string genotypes(const TPhenotype& p) {
        std::string out;
        for (const TGenotype& g : p._gen_list) {
            out += "(" + text(*g._hapl1) + "/" + text(*g._hapl2) + ")";
        }
        return out;
    }

    TAllele a1_{"A1", 1}, a2_{"A2", 1}, b1_{"B1", 1}, b2_{"B2", 1};
    std::map<std::string, TAllele*> alleles_{
        {"A1", &a1_}, {"A2", &a2_}, {"B1", &b1_}, {"B2", &b2_}};
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

} // namespace
