// Allele registration per locus and the allele section of the report.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "genetics/allele.h"

namespace {

std::int32_t add(TAlleleDB& db, std::int32_t locus, const std::string& name, float weight = 1.0F) {
    return db.add_allele(locus, name, weight);
}

TEST(AlleleDB, RegistersNamesPerLocusInOrderOfFirstAppearance) {
    TAlleleDB db;
    EXPECT_EQ(0, add(db, 0, "12"));
    EXPECT_EQ(0, add(db, 1, "12"));
    EXPECT_EQ(1, add(db, 0, "a"));
    EXPECT_EQ(2, add(db, 0, "A"));
    EXPECT_EQ(0, add(db, 0, "12", 2.5F));
    ASSERT_EQ(2, db.n_loci());
    EXPECT_EQ("Locus 0", db.locus(0).name());
    EXPECT_EQ("Locus 1", db.locus(1).name());
    ASSERT_EQ(3, db.locus(0).size());
    EXPECT_EQ(3.5F, db.locus(0).allele(0)->_freq);
    EXPECT_NE(db.locus(0).allele(0), db.locus(1).allele(0));
    EXPECT_EQ(1.0F, db.locus(1).allele(0)->_freq);
}

TEST(AlleleDB, HashIsAppendedToEveryLocusEvenWhenPresent) {
    TAlleleDB db;
    add(db, 0, "1");
    add(db, 0, "#");
    add(db, 1, "A");
    db.add_to_all_loci(TAllele{"#", 1.0F});
    ASSERT_EQ(3, db.locus(0).size());
    ASSERT_EQ(2, db.locus(1).size());
    EXPECT_EQ("#", db.locus(0).allele(2)->_name);
    EXPECT_NE(db.locus(0).allele(1), db.locus(0).allele(2));
    EXPECT_EQ("#", db.locus(1).allele(1)->_name);
    EXPECT_EQ(1.0F, db.locus(1).allele(1)->_freq);
}

TEST(AlleleDB, PrintoutWidthsAndNumbering) {
    TAlleleDB db;
    add(db, 0, "12");
    add(db, 0, "140");
    add(db, 1, "A");
    db.add_to_all_loci(TAllele{"#", 1.0F});
    db.locus(0).allele(0)->_freq = 0.25F;
    db.locus(0).allele(1)->_freq = 0.75F;
    db.locus(0).allele(2)->_freq = 0.0F;
    db.locus(1).allele(0)->_freq = 1.0F / 3.0F;
    db.locus(1).allele(1)->_freq = 0.0F;

    std::ostringstream os;
    os << db;
    EXPECT_EQ("\n-----------------------"
              "\nAllele database content"
              "\n-----------------------\n\n"
              "Locus 1 : \n\n"
              "    1   12     0.25000\n"
              "    2  140     0.75000\n"
              "    3    #     0.00000\n"
              "\n"
              "Locus 2 : \n\n"
              "    1  A     0.33333\n"
              "    2  #     0.00000\n"
              "\n",
              os.str());
    // The next section of the report relies on these staying set.
    EXPECT_TRUE(os.flags() & std::ios::fixed);
    EXPECT_TRUE(os.flags() & std::ios::showpoint);
    EXPECT_TRUE(os.flags() & std::ios::right);
    EXPECT_EQ(2, db.locus(1).width());
}

} // namespace
