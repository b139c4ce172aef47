// Haplotypes and the haplotype database: enumeration order, registration by
// allele identity, the frequency operations and the report section.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "genetics/haplotype.h"
#include "support/random.h"

namespace {

// The report's threshold: 1e-5 held in single precision.
const double kThreshold = static_cast<double>(1.0e-5F);

TPopHaplotype hap(TAllele* a, TAllele* b = nullptr) {
    TPopHaplotype h;
    h.append(a);
    if (b != nullptr) {
        h.append(b);
    }
    return h;
}

std::string text(const TPopHaplotype& h) {
    std::ostringstream os;
    os << h;
    return os.str();
}

std::string printout(const TPopHaploDB& db) {
    std::ostringstream os;
    db.print(os, 0, kThreshold);
    return os.str();
}

const char* const kHeader = "\n--------------------------"
                            "\nHaplotype database content (";
const char* const kHeaderTail = " possible haplotypes)"
                                "\n--------------------------\n\n"
                                "Minimum frequency to reach for output :  0.0000100\n\n"
                                "    #  No.     Freq.\n";

std::string expected_printout(int n, const std::string& rows, const std::string& sum) {
    return std::string(kHeader) + std::to_string(n) + kHeaderTail + rows +
           "\n Sum of listed haplotype frequencies = " + sum + "\n";
}

TEST(Haplotype, AllCombinationsInIndexOrderLastLocusFastest) {
    TAlleleDB alleles;
    const float one = 1.0F;
    alleles.add_allele(0, "1", one);
    alleles.add_allele(0, "2", one);
    alleles.add_allele(1, "A", one);
    alleles.add_to_all_loci(TAllele{"#", 1.0F});
    TPopHaploDB db;
    db.build_all_haplotypes(alleles);
    ASSERT_EQ(6, db.size());
    const std::vector<std::string> expected = {"1 A ", "1 # ", "2 A ", "2 # ", "# A ", "# # "};
    for (std::int32_t i = 0; i < db.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[static_cast<std::size_t>(i)], text(*db[i]));
        EXPECT_EQ(0.0, db[i]->_freq);
        EXPECT_EQ(0.0, db[i]->_prev_freq);
        EXPECT_EQ(0.0, db[i]->_le_freq);
    }
    // Entries point at the allele database's own objects.
    EXPECT_EQ(alleles.locus(0).allele(2), db[4]->allele(0));
    EXPECT_EQ(alleles.locus(1).allele(1), db[5]->allele(1));
}

TEST(Haplotype, StreamOperatorWritesSeparatorAndDropsAThirdAllele) {
    TAllele a{"12", 1.0F}, b{"A", 1.0F}, c{"c", 1.0F};
    TPopHaplotype h = hap(&a, &b);
    h.append(&c);
    EXPECT_EQ(2, h.size());
    EXPECT_EQ("12 A ", text(h));
    h._separator = 0;
    EXPECT_EQ("12A", text(h));
    h._separator = '-';
    std::ostringstream line;
    h.print_line(line);
    EXPECT_EQ("12 A \n", line.str());
}

TEST(Haplotype, EqualityIsByAlleleIdentity) {
    TAllele a{"A", 1.0F}, a2{"A", 1.0F}, b{"B", 1.0F};
    EXPECT_TRUE(hap(&a, &b) == hap(&a, &b));
    EXPECT_FALSE(hap(&a, &b) == hap(&a2, &b));
    EXPECT_FALSE(hap(&a, &b) == hap(&b, &a));
    EXPECT_FALSE(hap(&a) == hap(&a, &b));
}

struct LessCase {
    const char* a0;
    const char* a1;
    const char* b0;
    const char* b1;
    bool less;
};

class HaplotypeLess : public ::testing::TestWithParam<LessCase> {};

TEST_P(HaplotypeLess, ComparesNamesBytewiseLocusByLocus) {
    const LessCase c = GetParam();
    TAllele a0{c.a0, 0.0F}, a1{c.a1, 0.0F}, b0{c.b0, 0.0F}, b1{c.b1, 0.0F};
    EXPECT_EQ(c.less, hap(&a0, &a1) < hap(&b0, &b1));
}

INSTANTIATE_TEST_SUITE_P(
    Names, HaplotypeLess,
    ::testing::Values(LessCase{"1", "B", "2", "A", true}, LessCase{"1", "A", "1", "B", true},
                      LessCase{"1", "B", "1", "A", false}, LessCase{"1", "A", "1", "A", false},
                      LessCase{"1", "A", "12", "A", true}, LessCase{"12", "A", "1", "A", false},
                      LessCase{"12", "Z", "2", "A", true}, LessCase{"B", "x", "a", "x", true},
                      LessCase{"#", "x", "1", "x", true}, LessCase{"z", "x", "\xe9", "x", true},
                      LessCase{"\xe9", "x", "z", "x", false}));

TEST(HaploDB, AddHaplotypeAddsToTheEntryOfTheSameAlleleObjects) {
    TAllele a{"A", 1.0F}, a2{"A", 1.0F}, b{"B", 1.0F};
    TPopHaploDB db;
    TPopHaplotype h = hap(&a, &b);
    h._prev_freq = 0.125;
    h._le_freq = 0.5;
    const double one = 1.0, half = 0.5;
    TPopHaplotype* e = db.add_haplotype(h, one);
    ASSERT_EQ(1, db.size());
    EXPECT_EQ(db[0], e);
    EXPECT_NE(&h, e) << "the database holds its own copy";
    EXPECT_EQ(1.0, e->_freq);
    EXPECT_EQ(0.125, e->_prev_freq);
    EXPECT_EQ(0.5, e->_le_freq);

    EXPECT_EQ(e, db.add_haplotype(hap(&a, &b), half));
    EXPECT_EQ(1.5, e->_freq);
    ASSERT_EQ(1, db.size());

    TPopHaplotype* other = db.add_haplotype(hap(&a2, &b), half);
    ASSERT_EQ(2, db.size());
    EXPECT_EQ(db[1], other);
    EXPECT_EQ(0.5, other->_freq);
    EXPECT_EQ(1.5, e->_freq);
}

TEST(HaploDB, ConvergedIsStrictAndAlwaysUpdatesPrevious) {
    TAllele a{"A", 1.0F}, b{"B", 1.0F};
    TPopHaploDB db;
    const double w = 0.0;
    db.add_haplotype(hap(&a), w);
    db.add_haplotype(hap(&b), w);
    db[0]->_freq = 0.5;
    db[0]->_prev_freq = 0.25;
    db[1]->_freq = 0.25;
    db[1]->_prev_freq = 0.5;
    const double equal = 0.5;
    EXPECT_FALSE(db.converged(equal));
    EXPECT_EQ(0.5, db[0]->_prev_freq);
    EXPECT_EQ(0.25, db[1]->_prev_freq);

    db[0]->_prev_freq = 0.25;
    db[1]->_prev_freq = 0.5;
    const double above = std::nextafter(0.5, 1.0);
    EXPECT_TRUE(db.converged(above));
    EXPECT_EQ(0.5, db[0]->_prev_freq);
    EXPECT_EQ(0.25, db[1]->_prev_freq);
}

TEST(HaploDB, RandomFrequenciesTakeOneDrawPerEntryAndSumToOne) {
    const RandomState saved = current_random_state();
    const double w = 0.0;
    TAllele alleles[5] = {{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}, {"e", 1}};
    TPopHaploDB five;
    for (TAllele& al : alleles) {
        five.add_haplotype(hap(&al), w);
        five[five.size() - 1]->_prev_freq = 0.75;
    }

    std::int32_t seed = -12345;
    std::vector<double> draws;
    for (int i = 0; i < 7; ++i) {
        draws.push_back(random_uniform(seed));
    }
    seed = -12345;
    random_uniform(seed);
    const std::int32_t spread = 1000;
    five.random_frequencies(spread);

    double raw_sum = 0.0;
    for (int i = 0; i < 5; ++i) {
        raw_sum += draws[static_cast<std::size_t>(i + 1)] * 1000 + 1.0;
    }
    double sum = 0.0;
    for (std::int32_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((draws[static_cast<std::size_t>(i + 1)] * 1000 + 1.0) / raw_sum, five[i]->_freq);
        EXPECT_EQ(0.0, five[i]->_prev_freq);
        sum += five[i]->_freq;
    }
    EXPECT_NEAR(1.0, sum, 1e-12);
    std::int32_t one = 1;
    EXPECT_EQ(draws[6], random_uniform(one)) << "exactly one draw per entry";
    current_random_state() = saved;
}

class DrawLe : public ::testing::Test {
  protected:
    void SetUp() override {
        const double w = 0.0;
        for (TAllele& al : alleles_) {
            db_.add_haplotype(hap(&al), w);
        }
        db_[0]->_le_freq = 0.25;
        db_[1]->_le_freq = 0.5;
        db_[2]->_le_freq = 0.25;
    }
    TPopHaplotype* draw(double u) const { return db_.draw_le_haplotype(u); }

    TAllele alleles_[3] = {{"a", 0.25F}, {"b", 0.5F}, {"c", 0.25F}};
    TPopHaploDB db_;
};

TEST_F(DrawLe, WalksCumulativeFrequenciesStrictlyUpToTheTotal) {
    EXPECT_EQ(db_[0], draw(0.0));
    EXPECT_EQ(db_[0], draw(0.249999999));
    EXPECT_EQ(db_[1], draw(0.25));
    EXPECT_EQ(db_[1], draw(0.7));
    EXPECT_EQ(db_[2], draw(0.75));
    EXPECT_EQ(db_[2], draw(0.999999999));
    EXPECT_EQ(nullptr, draw(1.0)) << "at the total";
    EXPECT_EQ(nullptr, draw(1.5));
}

TEST_F(DrawLe, NeverAnEntryWithAZeroFrequencyAllele) {
    alleles_[1]._freq = 0.0F;
    EXPECT_EQ(db_[0], draw(0.1));
    EXPECT_EQ(nullptr, draw(0.25));
    EXPECT_EQ(nullptr, draw(0.7));
    EXPECT_EQ(db_[2], draw(0.8));
}

// The report section. Entries are added in an order different from name order.
class HaploPrint : public ::testing::Test {
  protected:
    void add(TAllele& a0, TAllele& a1, double freq) { db_.add_haplotype(hap(&a0, &a1), freq); }

    TAllele n12{"12", 0}, n2{"2", 0}, n140{"140", 0};
    TAllele A{"A", 0}, A_other{"A", 0}, b{"b", 0};
    TPopHaploDB db_;
};

TEST_F(HaploPrint, EmptyDatabase) {
    EXPECT_EQ(expected_printout(0, "", "0.0000000"), printout(db_));
}

TEST_F(HaploPrint, SortedByNamesWithStableTies) {
    add(n2, A, 0.125);
    add(n12, b, 0.5);
    add(n12, A, 0.25);
    add(n140, A, 0.0625);
    add(n12, A_other, 0.0625);
    EXPECT_EQ(expected_printout(5,
                                "    1    0   0.25000     12 A \n"
                                "    2    1   0.06250     12 A \n"
                                "    3    2   0.50000     12 b \n"
                                "    4    3   0.06250     140 A \n"
                                "    5    4   0.12500     2 A \n",
                                "1.00000"),
              printout(db_));
}

TEST_F(HaploPrint, ThresholdExcludesEqualFrequencyButSumIncludesIt) {
    add(n2, A, 0.5);
    add(n12, A, kThreshold);
    add(n12, b, 0.0);
    add(n140, A, std::nextafter(kThreshold, 1.0));
    EXPECT_EQ(expected_printout(4,
                                "    1    2   0.00001     140 A \n"
                                "    2    3   0.50000     2 A \n",
                                "0.50002"),
              printout(db_));
}

TEST_F(HaploPrint, SumHasSevenDecimalsWhenNoRowIsListed) {
    add(n12, A, kThreshold);
    add(n2, A, 0.000004);
    EXPECT_EQ(expected_printout(2, "", "0.0000140"), printout(db_));
}

TEST_F(HaploPrint, PrintsFixedFormatWhateverTheStreamHeld) {
    add(n12, A, 0.25);
    std::ostringstream os;
    os.setf(std::ios::scientific, std::ios::floatfield);
    os.setf(std::ios::left, std::ios::adjustfield);
    os.precision(2);
    db_.print(os, 0, kThreshold);
    EXPECT_EQ(expected_printout(1, "    1    0   0.25000     12 A \n", "0.25000"), os.str());
}

} // namespace
