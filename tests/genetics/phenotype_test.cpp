// Phenotypes: expansion into phased genotypes (order, registration, counts),
// copying, comparison and the pseudo-haplotype printout.
#include <gtest/gtest.h>

#include <iomanip>
#include <sstream>
#include <string>

#include "genetics/phenotype.h"

namespace {

std::string text(const TPopHaplotype& h) {
    std::ostringstream os;
    os << h;
    return os.str();
}

// Two loci: A1, A2 at the first, B1, B2 at the second.
class PhenotypeTest : public ::testing::Test {
  protected:
    TPopHaplotype hap(TAllele* a, TAllele* b = nullptr) const {
        TPopHaplotype h;
        h.append(a);
        if (b != nullptr) {
            h.append(b);
        }
        return h;
    }

    void set(TPhenotype& p, const TPopHaplotype& h0, const TPopHaplotype& h1) const {
        const std::int32_t zero = 0, one = 1;
        p.set_pseudo_hapl(h0, zero);
        p.set_pseudo_hapl(h1, one);
    }

    // The haplotypes of the database, in entry order.
    std::string entries() const {
        std::string out;
        for (std::int32_t i = 0; i < db_.size(); ++i) {
            out += "[" + text(*db_[i]) + "]";
        }
        return out;
    }

    static std::string genotypes(const TPhenotype& p) {
        std::string out;
        for (const TGenotype& g : p._gen_list) {
            out += "(" + text(*g._hapl1) + "/" + text(*g._hapl2) + ")";
        }
        return out;
    }

    TAllele a1_{"A1", 1}, a2_{"A2", 1}, b1_{"B1", 1}, b2_{"B2", 1};
    TPopHaploDB db_;
};

TEST_F(PhenotypeTest, HomozygousGivesOneGenotypeAndRegistersTwice) {
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a1_, &b1_));
    p.build_genotypes(db_, 0);
    ASSERT_EQ(1U, p._gen_list.size());
    ASSERT_EQ(1, db_.size());
    EXPECT_EQ(db_[0], p._gen_list[0]._hapl1);
    EXPECT_EQ(db_[0], p._gen_list[0]._hapl2);
    EXPECT_EQ(2.0, db_[0]->_freq);
    EXPECT_EQ(1, p._n_gen);
    EXPECT_EQ(0, p._n_het);
}

TEST_F(PhenotypeTest, OneHeterozygousLocusRegistersSecondHaplotypeFirst) {
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b1_));
    p.build_genotypes(db_, 0);
    EXPECT_EQ("(A1 B1 /A2 B1 )", genotypes(p));
    EXPECT_EQ("[A2 B1 ][A1 B1 ]", entries());
    EXPECT_EQ(db_[1], p._gen_list[0]._hapl1);
    EXPECT_EQ(db_[0], p._gen_list[0]._hapl2);
    EXPECT_EQ(1, p._n_gen);
    EXPECT_EQ(1, p._n_het);
}

TEST_F(PhenotypeTest, TwoHeterozygousLociGiveBothPhases) {
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    p.build_genotypes(db_, 0);
    EXPECT_EQ("(A1 B1 /A2 B2 )(A1 B2 /A2 B1 )", genotypes(p));
    EXPECT_EQ("[A2 B2 ][A1 B1 ][A2 B1 ][A1 B2 ]", entries());
    for (std::int32_t i = 0; i < db_.size(); ++i) {
        EXPECT_EQ(1.0, db_[i]->_freq) << i;
    }
    EXPECT_EQ(2, p._n_gen);
    EXPECT_EQ(2, p._n_het);
}

TEST_F(PhenotypeTest, GenotypesPointAtExistingEntries) {
    TAlleleDB alleles;
    const float w = 1.0F;
    alleles.add_allele(0, "A1", w);
    alleles.add_allele(0, "A2", w);
    alleles.add_allele(1, "B1", w);
    alleles.add_allele(1, "B2", w);
    db_.build_all_haplotypes(alleles);
    ASSERT_EQ(4, db_.size());
    TAllele* x1 = alleles.locus(0).allele(0);
    TAllele* x2 = alleles.locus(0).allele(1);
    TAllele* y1 = alleles.locus(1).allele(0);
    TAllele* y2 = alleles.locus(1).allele(1);
    TPhenotype p;
    set(p, hap(x1, y1), hap(x2, y2));
    p.build_genotypes(db_, 0);
    ASSERT_EQ(4, db_.size());
    // Entries: x1y1, x1y2, x2y1, x2y2.
    EXPECT_EQ(db_[0], p._gen_list[0]._hapl1);
    EXPECT_EQ(db_[3], p._gen_list[0]._hapl2);
    EXPECT_EQ(db_[1], p._gen_list[1]._hapl1);
    EXPECT_EQ(db_[2], p._gen_list[1]._hapl2);
    EXPECT_EQ(1.0, db_[0]->_freq);
    EXPECT_NE(p._pseudo_hapl[0].get(), p._gen_list[0]._hapl1);
}

TEST_F(PhenotypeTest, PhaseKnownGivesOneGenotypeAndCountOne) {
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    p.build_genotypes(db_, 1);
    EXPECT_EQ("(A1 B1 /A2 B2 )", genotypes(p));
    EXPECT_EQ("[A2 B2 ][A1 B1 ]", entries());
    EXPECT_EQ(1, p._n_gen);
}

TEST_F(PhenotypeTest, SecondCallReusesCountAndAddsToAccumulators) {
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    p.build_genotypes(db_, 0);
    p.build_genotypes(db_, 0);
    EXPECT_EQ("(A1 B1 /A2 B2 )(A1 B2 /A2 B1 )", genotypes(p));
    ASSERT_EQ(4, db_.size());
    for (std::int32_t i = 0; i < db_.size(); ++i) {
        EXPECT_EQ(2.0, db_[i]->_freq) << i;
    }
    EXPECT_EQ(2, p._n_gen);
}

TEST_F(PhenotypeTest, OrdinaryCallAfterPhaseKnownEnumeratesOneAssignment) {
    // The count left by a phase-known expansion is the number of assignments
    // the next ordinary expansion enumerates.
    TPhenotype p;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    p.build_genotypes(db_, 1);
    p.build_genotypes(db_, 0);
    EXPECT_EQ("(A1 B1 /A2 B2 )", genotypes(p));
    EXPECT_EQ("[A2 B2 ][A1 B1 ]", entries());
    EXPECT_EQ(2.0, db_[0]->_freq);
    EXPECT_EQ(1, p._n_gen);
}

TEST_F(PhenotypeTest, AssignmentCopiesDeeply) {
    TPhenotype src;
    src._name = "src";
    src._pheno_weight = 0.5;
    src._allele_lines[0] = "A1 B1";
    src._allele_lines[1] = "A2 B2";
    set(src, hap(&a1_, &b1_), hap(&a2_, &b2_));
    src.build_genotypes(db_, 0);

    TPhenotype dst;
    set(dst, hap(&a1_), hap(&a1_));
    dst._gen_list.append(TGenotype{db_[0], db_[0], 0.0});
    dst = src;
    EXPECT_EQ("src", dst._name);
    EXPECT_EQ(0.5, dst._pheno_weight);
    EXPECT_EQ(2, dst._n_gen);
    EXPECT_EQ(2, dst._n_het);
    EXPECT_EQ("A1 B1", dst._allele_lines[0]);
    EXPECT_EQ("A2 B2", dst._allele_lines[1]);
    for (int slot = 0; slot < 2; ++slot) {
        ASSERT_NE(nullptr, dst._pseudo_hapl[slot]);
        EXPECT_NE(src._pseudo_hapl[slot].get(), dst._pseudo_hapl[slot].get());
        EXPECT_TRUE(*src._pseudo_hapl[slot] == *dst._pseudo_hapl[slot]);
    }
    ASSERT_EQ(2U, dst._gen_list.size());
    EXPECT_EQ(src._gen_list[0]._hapl1, dst._gen_list[0]._hapl1);
    EXPECT_EQ(src._gen_list[1]._hapl2, dst._gen_list[1]._hapl2);

    TPhenotype copy(dst);
    EXPECT_TRUE(copy == src);
    EXPECT_EQ(2U, copy._gen_list.size());
}

TEST_F(PhenotypeTest, AssignmentReplacesSlotsAndList) {
    TPhenotype src;
    const std::int32_t one = 1;
    src.set_pseudo_hapl(hap(&a1_), one);
    TPhenotype dst;
    set(dst, hap(&a2_), hap(&a1_));
    dst.build_genotypes(db_, 0);
    dst = src;
    EXPECT_EQ(0U, dst._gen_list.size());
    EXPECT_EQ(0, dst._n_gen);
    EXPECT_EQ(nullptr, dst._pseudo_hapl[0]);
    ASSERT_NE(nullptr, dst._pseudo_hapl[1]);
    EXPECT_EQ(&a1_, dst._pseudo_hapl[1]->allele(0));
}

TEST_F(PhenotypeTest, EqualityComparesEachLocusAsAnUnorderedPair) {
    TPhenotype p, q;
    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    set(q, hap(&a2_, &b1_), hap(&a1_, &b2_));
    EXPECT_TRUE(p == q);
    set(q, hap(&a2_, &b2_), hap(&a1_, &b1_));
    EXPECT_TRUE(p == q);
    set(q, hap(&a1_, &b1_), hap(&a2_, &b1_));
    EXPECT_FALSE(p == q);
    set(q, hap(&a1_, &b1_), hap(&a1_, &b2_));
    EXPECT_FALSE(p == q);
    // Alleles compare by object, not by name.
    TAllele a1_twin{"A1", 1};
    set(q, hap(&a1_twin, &b1_), hap(&a2_, &b2_));
    EXPECT_FALSE(p == q);
}

TEST_F(PhenotypeTest, EqualityWithoutAllelicContent) {
    TPhenotype p, q, typed;
    EXPECT_TRUE(p == q);
    q._pheno_weight = 2.0;
    EXPECT_FALSE(p == q);
    set(typed, hap(&a1_), hap(&a2_));
    EXPECT_FALSE(p == typed);
    EXPECT_FALSE(typed == p);
    EXPECT_TRUE(typed == typed);
}

TEST_F(PhenotypeTest, SetPseudoHaplStoresACopyAndIgnoresOtherSlots) {
    TPhenotype p;
    const TPopHaplotype h = hap(&a1_, &b1_);
    const std::int32_t zero = 0, two = 2, minus = -1;
    p.set_pseudo_hapl(h, two);
    p.set_pseudo_hapl(h, minus);
    EXPECT_EQ(nullptr, p._pseudo_hapl[0]);
    EXPECT_EQ(nullptr, p._pseudo_hapl[1]);
    p.set_pseudo_hapl(h, zero);
    ASSERT_NE(nullptr, p._pseudo_hapl[0]);
    EXPECT_NE(&h, p._pseudo_hapl[0].get());
    EXPECT_TRUE(h == *p._pseudo_hapl[0]);
    EXPECT_EQ(nullptr, p._pseudo_hapl[1]);
    p.set_pseudo_hapl(hap(&a2_, &b2_), zero);
    EXPECT_EQ("A2 B2 ", text(*p._pseudo_hapl[0]));
}

TEST_F(PhenotypeTest, PrintPseudoHaplotypes) {
    TPhenotype p;
    std::ostringstream none;
    p.print_pseudo_hapl(none);
    EXPECT_EQ("Allelic content not defined yet\n", none.str());

    const std::int32_t one = 1;
    p.set_pseudo_hapl(hap(&a2_, &b2_), one);
    std::ostringstream second_only;
    p.print_pseudo_hapl(second_only);
    EXPECT_EQ(std::string(26, ' ') + "A2 B2 \n", second_only.str());

    set(p, hap(&a1_, &b1_), hap(&a2_, &b2_));
    std::ostringstream both;
    p.print_pseudo_hapl(both);
    const std::string pad(26, ' ');
    EXPECT_EQ(pad + "A1 B1 \n" + pad + "A2 B2 \n", both.str());

    // The two leading fields pad with the stream's fill character.
    std::ostringstream starred;
    starred << std::setfill('*');
    p.print_pseudo_hapl(starred);
    const std::string lead = std::string(14, '*') + " " + std::string(9, '*') + "  ";
    EXPECT_EQ(lead + "A1 B1 \n" + lead + "A2 B2 \n", starred.str());
}

} // namespace
