// Haplotypes and the haplotype database: enumeration order, registration by
// allele identity and the frequency operations.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include "genetics/haplotype.h"
#include "haplotype_text.h"

namespace {

TEST(Haplotype, AllCombinationsInIndexOrderLastLocusFastest) {
    TAlleleDB alleles;
    for (const auto& [locus, name] : {std::pair{0, "1"}, {0, "2"}, {1, "A"}}) {
        alleles.add_allele(locus, name, 1.0F);
    }
    alleles.add_to_all_loci(TAllele{"#", 1.0F});
    TPopHaploDB db;
    db.build_all_haplotypes(alleles);
    std::string all;
    for (std::int32_t i = 0; i < db.size(); ++i) {
        all += "[" + text(*db[i]) + "]";
        EXPECT_EQ(0.0, db[i]->_freq);
    }
    EXPECT_EQ("[1 A ][1 # ][2 A ][2 # ][# A ][# # ]", all);
    // Entries point at the allele database's own objects.
    EXPECT_EQ(alleles.locus(0).allele(2), db[4]->allele(0));
    EXPECT_EQ(alleles.locus(1).allele(1), db[5]->allele(1));
}

TEST(Haplotype, EqualityByAlleleIdentityAndTextWithSeparator) {
    TAllele a{"12", 1.0F}, a2{"12", 1.0F}, b{"A", 1.0F};
    TPopHaplotype h = hap(&a, &b);
    h.append(&a2);
    EXPECT_EQ(2, h.size()) << "a third allele is dropped";
    EXPECT_TRUE(h == hap(&a, &b));
    EXPECT_FALSE(h == hap(&a2, &b));
    EXPECT_FALSE(h == hap(&b, &a));
    EXPECT_FALSE(hap(&a) == h);
    EXPECT_EQ("12 A ", text(h));
    h._separator = 0;
    EXPECT_EQ("12A", text(h));
}

TEST(HaploDB, AddHaplotypeAddsToTheEntryOfTheSameAlleleObjects) {
    TAllele a{"A", 1.0F}, a2{"A", 1.0F}, b{"B", 1.0F};
    TPopHaploDB db;
    TPopHaplotype h = hap(&a, &b);
    h._prev_freq = 0.125;
    TPopHaplotype* e = db.add_haplotype(h, 1.0);
    EXPECT_NE(&h, e) << "the database holds its own copy";
    EXPECT_EQ(0.125, e->_prev_freq);
    EXPECT_EQ(e, db.add_haplotype(hap(&a, &b), 0.5));
    TPopHaplotype* other = db.add_haplotype(hap(&a2, &b), 0.5);
    ASSERT_EQ(2, db.size());
    EXPECT_EQ(db[0], e);
    EXPECT_EQ(db[1], other);
    EXPECT_EQ(1.5, e->_freq);
    EXPECT_EQ(0.5, other->_freq);
}

// The sum of changes must lie strictly below the tolerance; the previous
// frequencies are updated either way.
TEST(HaploDB, ConvergedIsStrictAndAlwaysUpdatesPrevious) {
    TAllele a{"A", 1.0F}, b{"B", 1.0F};
    TPopHaploDB db;
    db.add_haplotype(hap(&a), 0.5)->_prev_freq = 0.25;
    db.add_haplotype(hap(&b), 0.25)->_prev_freq = 0.5;
    EXPECT_FALSE(db.converged(0.5));
    EXPECT_EQ(0.5, db[0]->_prev_freq);
    EXPECT_EQ(0.25, db[1]->_prev_freq);
    db[0]->_prev_freq = 0.25;
    db[1]->_prev_freq = 0.5;
    EXPECT_TRUE(db.converged(std::nextafter(0.5, 1.0)));
}

// Cumulative frequencies up to the total; null beyond it or on an entry
// holding an allele of frequency zero.
TEST(HaploDB, DrawLeHaplotype) {
    TAllele alleles[3] = {{"a", 0.25F}, {"b", 0.5F}, {"c", 0.25F}};
    TPopHaploDB db;
    for (TAllele& al : alleles) {
        db.add_haplotype(hap(&al), 0.0)->_le_freq = static_cast<double>(al._freq);
    }
    // The entry drawn, then the one drawn once allele b has frequency zero.
    const std::tuple<double, int, int> draws[] = {
        {0.0, 0, 0},  {0.249999999, 0, 0}, {0.25, 1, -1}, {0.7, 1, -1},
        {0.75, 2, 2}, {0.999999999, 2, 2}, {1.0, -1, -1}, {1.5, -1, -1}};
    for (const auto& [u, entry, without_b] : draws) {
        alleles[1]._freq = 0.5F;
        EXPECT_EQ(entry < 0 ? nullptr : db[entry], db.draw_le_haplotype(u)) << u;
        alleles[1]._freq = 0.0F;
        EXPECT_EQ(without_b < 0 ? nullptr : db[without_b], db.draw_le_haplotype(u)) << u;
    }
}

} // namespace
