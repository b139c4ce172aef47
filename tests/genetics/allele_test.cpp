// Allele registration per locus and the allele section of the report.
#include <gtest/gtest.h>

#include <sstream>

#include "genetics/allele.h"

namespace {

// The printout shows each locus's alleles in order of first appearance, with
// their accumulated weights; "#" is appended even where it is already present.
TEST(AlleleDB, RegistrationAndPrintout) {
    TAlleleDB db;
    EXPECT_EQ(0, db.add_allele(0, "12", 1.0F));
    EXPECT_EQ(0, db.add_allele(1, "A", 1.0F));
    EXPECT_EQ(1, db.add_allele(0, "140", 0.5F));
    EXPECT_EQ(0, db.add_allele(0, "12", 2.5F));
    EXPECT_EQ(2, db.add_allele(0, "#", 1.0F));
    db.add_to_all_loci(TAllele{"#", 0.0F});
    ASSERT_EQ(2, db.n_loci());
    EXPECT_EQ("Locus 1", db.locus(1).name());
    std::ostringstream os;
    os << db;
    EXPECT_EQ("\n-----------------------"
              "\nAllele database content"
              "\n-----------------------\n\n"
              "Locus 1 : \n\n"
              "    1   12     3.50000\n"
              "    2  140     0.50000\n"
              "    3    #     1.00000\n"
              "    4    #     0.00000\n"
              "\n"
              "Locus 2 : \n\n"
              "    1  A     1.00000\n"
              "    2  #     0.00000\n"
              "\n",
              os.str());
    // The next section of the report relies on these staying set.
    EXPECT_EQ(std::ios::fixed | std::ios::showpoint | std::ios::right,
              os.flags() & (std::ios::floatfield | std::ios::showpoint | std::ios::adjustfield));
}

} // namespace
