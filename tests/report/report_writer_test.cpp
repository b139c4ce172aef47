// The report's blocks, byte for byte, on streams left in other formats: the
// allele and haplotype listings, the simulated rows and the P-value block.
// Whole reports are pinned by the reviewed runs in tests/app.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "report/report_writer.h"
#include "tests/genetics/haplotype_text.h"

namespace {

// The printout shows each locus's alleles in order of first appearance, with
// their accumulated weights; "#" is appended even where it is already present.
TEST(ReportWriter, AlleleDatabaseRegistrationOrderAndNameWidth) {
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
    ReportWriter(os).allele_database(db);
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

// The report section, printed on a stream left in another format.
class HaploPrint : public ::testing::Test {
  protected:
    static constexpr double kThreshold = ReportWriter::kListedFrequency;

    void add(TAllele& a0, TAllele& a1, double freq) { db_.add_haplotype(hap(&a0, &a1), freq); }

    std::string printout() const {
        std::ostringstream os;
        os.setf(std::ios::scientific, std::ios::floatfield);
        os.setf(std::ios::left, std::ios::adjustfield);
        os.precision(2);
        ReportWriter(os).haplotype_database(db_, kThreshold);
        return os.str();
    }

    static std::string expected(int n, const std::string& rows, const std::string& sum) {
        return "\n--------------------------\nHaplotype database content (" + std::to_string(n) +
               " possible haplotypes)\n--------------------------\n\n"
               "Minimum frequency to reach for output :  0.0000100\n\n"
               "    #  No.     Freq.\n" +
               rows + "\n Sum of listed haplotype frequencies = " + sum + "\n";
    }

    TAllele n1{"1", 0}, n12{"12", 0}, n2{"2", 0}, n140{"140", 0}, hash{"#", 0}, e{"\xe9", 0};
    TAllele A{"A", 0}, A_other{"A", 0}, a{"a", 0}, Z{"Z", 0};
    TPopHaploDB db_;
};

// Names compare byte by byte as unsigned characters, locus by locus, a prefix
// first; equal names keep database order. Rows at or below the threshold are
// not listed but count in the sum and in the "No." column.
TEST_F(HaploPrint, SortedByNamesWithStableTiesAndThresholded) {
    add(n2, A, 0.125);
    add(n12, a, 0.25);
    add(n12, A, 0.125);
    add(n140, A, 0.0625);
    add(n12, A_other, 0.0625);
    add(e, A, 0.125);
    add(hash, a, 0.125);
    add(n1, Z, 0.125);
    add(n140, a, kThreshold);
    add(n2, a, 0.0);
    add(n140, Z, std::nextafter(kThreshold, 1.0));
    EXPECT_EQ(expected(11,
                       "    1    0   0.12500     # a \n"
                       "    2    1   0.12500     1 Z \n"
                       "    3    2   0.12500     12 A \n"
                       "    4    3   0.06250     12 A \n"
                       "    5    4   0.25000     12 a \n"
                       "    6    5   0.06250     140 A \n"
                       "    7    6   0.00001     140 Z \n"
                       "    8    8   0.12500     2 A \n"
                       "    9   10   0.12500     \xe9 A \n",
                       "1.00002"),
              printout());
}

TEST_F(HaploPrint, SumHasSevenDecimalsWhenNoRowIsListed) {
    EXPECT_EQ(expected(0, "", "0.0000000"), printout());
    add(n12, A, kThreshold);
    add(n2, A, 0.000004);
    EXPECT_EQ(expected(2, "", "0.0000140"), printout());
}

// Other P-values, the no-valid-case block and what the report writes after the
// block are pinned by the simulation files in fixtures_test.
TEST(ReportWriter, PValueCountsAreThoseOfTheTallyNotOfTheRequest) {
    std::ostringstream report;
    ReportWriter(report).p_value(3.0, 3, 4);
    const std::string dashes(45, '-');
    EXPECT_EQ("\n" + dashes + "\nLinkage and Hardy-Weinberg equilbrium P-value\n" + dashes +
                  "\n\nP(Rand. logLhood ratio >= Obs. logLhood ratio) =      1.00000\n"
                  "(3 valid cases out of 4)\n\n",
              report.str());
}

// The floor in full is pinned by simulation/no_initial_conditions in fixtures_test.
TEST(ReportWriter, SimulationRowColumnsOfSixTwentyTwentyEighteenAndNine) {
    std::ostringstream report;
    report << std::scientific << std::left << std::setprecision(2); // not inherited
    ReportWriter(report).simulation_row(1, {-17.39757347, -18.23696555, 1});
    ReportWriter(report).simulation_row(123456, {-2.5, -2.5, 12});
    EXPECT_EQ("     1        -17.39757347        -18.23696555        1.67878416        1\n"
              "123456         -2.50000000         -2.50000000        0.00000000       12\n",
              report.str());
}

} // namespace
