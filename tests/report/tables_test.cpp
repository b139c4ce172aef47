// The tables of a hand-built run, byte for byte. Its first sample has alleles
// of zero frequency, which the disequilibrium leaves out (df 1, not 4).
#include "report/tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"
#include "tests/report/run_builder.h"

namespace {

template <typename Writer> std::string written(Writer writer) {
    std::ostringstream os;
    writer(os, hand_built_run());
    return os.str();
}

TEST(Tables, AllelesListEveryEntryAndSayWhyASampleHasNone) {
    EXPECT_EQ("sample_number\tsample\tlocus\tallele_number\tallele\tfrequency\tnote\n"
              "1\tTwo loci <A&B>\t1\t1\tA1\t0.7499\t\n"
              "1\tTwo loci <A&B>\t1\t2\tA2\t0.25\t\n"
              "1\tTwo loci <A&B>\t1\t3\t#\t0\tunseen alleles\n"
              "1\tTwo loci <A&B>\t2\t1\tB1\t0.5\t\n"
              "1\tTwo loci <A&B>\t2\t2\tB2\t0.5\t\n"
              "1\tTwo loci <A&B>\t2\t3\t#\t1e-11\tunseen alleles\n"
              "2\tMendelian error\t\t\t\t\tno estimate: the likelihood of the sample is zero\n"
              "3\t\"One\tlocus\"\t1\t1\tC1\t0.5\t\n"
              "3\t\"One\tlocus\"\t1\t2\tC2\t0.5\t\n"
              "3\t\"One\tlocus\"\t1\t3\t#\t0\tunseen alleles\n",
              written(tables::write_alleles));
}

TEST(Tables, HaplotypesOfNonZeroFrequencyWithTheirMeasures) {
    // The marginals of the listed haplotypes p = (0.75, 0.25), q = (0.5, 0.5),
    // not A1's own 0.7499: every D is +-0.125, at its bound, and
    // r2 = 0.125^2 / (0.1875 * 0.25) = 1/3.
    // Only A1 B1 has bootstrap intervals.
    EXPECT_EQ(
        "sample_number\tsample\thaplotype_number\tallele_1\tallele_2\tfrequency\t"
        "product_of_allele_frequencies\td\td_prime\tr_squared\tnote\tallele_1_marginal\t"
        "allele_2_marginal\tfrequency_low\tfrequency_high\td_prime_low\td_prime_high\n"
        "1\tTwo loci <A&B>\t4\tA1\tB1\t0.5\t0.375\t0.125\t1\t0.3333333333333333\t\t0.75\t0.5\t"
        "0.375\t0.625\t0.5\t1\n"
        "1\tTwo loci <A&B>\t5\tA1\tB2\t0.25\t0.375\t-0.125\t-1\t0.3333333333333333\t\t0.75\t"
        "0.5\t\t\t\t\n"
        "1\tTwo loci <A&B>\t8\tA2\tB2\t0.25\t0.125\t0.125\t1\t0.3333333333333333\t\t0.25\t0.5"
        "\t\t\t\t\n"
        "2\tMendelian error\t\t\t\t\t\t\t\t\tno estimate: the likelihood of the sample is "
        "zero\t\t\t\t\t\t\n"
        "3\t\"One\tlocus\"\t1\tC1\t\t0.5\t0.5\t\t\t\tone locus\t\t\t\t\t\t\n"
        "3\t\"One\tlocus\"\t2\tC2\t\t0.5\t0.5\t\t\t\tone locus\t\t\t\t\t\t\n",
        written(tables::write_haplotypes));
}

TEST(Tables, SimulatedRowsAndSamplesWithoutATest) {
    EXPECT_EQ(
        "sample_number\tsample\tsimulated_sample\tsample_ln_likelihood\t"
        "equilibrium_ln_likelihood\tlikelihood_ratio\tmaxima\tvalid\tat_least_observed\tnote\n"
        "1\tTwo loci <A&B>\t1\t-10.5\t-11\t1\t1\t1\t0\t\n"
        "1\tTwo loci <A&B>\t2\t-10\t-12\t4\t2\t1\t1\t\n"
        "1\tTwo loci <A&B>\t3\t-5\t\t\t1\t0\t\t\n"
        "2\tMendelian error\t\t\t\t\t\t\t\tnot run: no estimate\n"
        "3\t\"One\tlocus\"\t\t\t\t\t\t\t\tnot run: one locus\n",
        written(tables::write_simulated));
}

TEST(Tables, HardyWeinbergRowsPerSampleAndLocus) {
    EXPECT_EQ("sample_number\tsample\tlocus\tindividuals\talleles\tobserved_heterozygosity\t"
              "expected_heterozygosity\tp_value\tmethod\n"
              "1\tTwo loci <A&B>\t1\t8\t2\t0.5\t0.46875\t1\texact, complete enumeration\n"
              "1\tTwo loci <A&B>\t2\t8\t3\t0.25\t0.59375\t0.0312\texact, Monte Carlo 20000 draws\n",
              written(tables::write_hardy_weinberg));
}

// Quoted as tab-separated readers (Python's csv, pandas, R) expect: only
// when a tab, a line break or a quote is inside, inner quotes doubled.
TEST(Tables, FieldsQuotedOnlyWhereReadersNeedIt) {
    EXPECT_EQ("plain \\t back\\slash =1+2", tables::field("plain \\t back\\slash =1+2"));
    EXPECT_EQ("\"a\tb\"", tables::field("a\tb"));
    EXPECT_EQ("\"cr\rlf\n\"", tables::field("cr\rlf\n"));
    EXPECT_EQ("\"\"\"q\"\" x\"\"\"", tables::field("\"q\" x\""));
    EXPECT_EQ("bad\xEF\xBF\xBD"
              "FF",
              tables::field("bad\xFF"));
}

TEST(Tables, SummaryHasTheRunAndOneRowPerSample) {
    const auto rows = e2e::parse_table(written(tables::write_summary));
    ASSERT_EQ(3U, rows.size());
    for (const auto& row : rows) {
        EXPECT_EQ("tovaquor", row.at("program"));
        EXPECT_EQ("9.9.9", row.at("version"));
        EXPECT_EQ("hand.mbd", row.at("data_file"));
        EXPECT_EQ("-17", row.at("seed"));
        EXPECT_EQ("4", row.at("initial_conditions"));
    }
    const std::map<std::string, std::string> two = {
        {"sample", "Two loci <A&B>"},
        {"individuals", "10"},
        {"families", "2"},
        {"singles", "3"},
        {"absent_parents", "1"},
        {"estimate", "estimated"},
        {"sample_ln_likelihood", "-20"},
        {"equilibrium_ln_likelihood", "-21.5"},
        {"likelihood_ratio", "3"},
        {"df", "1"},
        {"test", "simulated"},
        {"simulated", "3"},
        {"valid", "2"},
        {"at_least_observed", "1"},
        {"report_p", "0.5"},
        {"monte_carlo_p", "0.6666666666666666"},
        {"overall_d_prime", "1"},
        {"wn", "0.5773502691896257"}, // sqrt(1/3) = |r|
        {"distinct_maxima", "2"},
        {"best_maximum_starts", "1"},
        {"maxima_tolerance", "0.001"},
        // 12 founder haplotypes: expected counts 4.5, 4.5, 1.5, 1.5, none
        // below 1, but more than a fifth (here all) below 5.
        {"founder_haplotypes", "12"},
        {"min_expected_count", "1.5"},
        {"cells_expected_below_5", "4"},
        {"chi_square_reliable", "no"},
        {"bootstrap_replicates", "50"},
        {"bootstrap_valid", "49"},
        {"overall_d_prime_low", "0.5"},
        {"wn_high", "0.75"},
    };
    for (const auto& [column, value] : two) {
        EXPECT_EQ(value, rows[0].at(column)) << column;
    }
    EXPECT_NEAR(std::erfc(std::sqrt(1.5)), std::stod(rows[0].at("chi_square_p")), 1e-15);
    // No estimate: counts, then empty value fields.
    for (const char* column :
         {"sample_ln_likelihood", "equilibrium_ln_likelihood", "likelihood_ratio", "maxima", "df",
          "chi_square_p", "simulated", "valid", "at_least_observed", "report_p", "monte_carlo_p",
          "p_lower_95", "p_upper_95", "overall_d_prime", "wn", "distinct_maxima",
          "min_expected_count", "chi_square_reliable"}) {
        EXPECT_EQ("", rows[1].at(column)) << column;
    }
    EXPECT_EQ("no estimate: the likelihood of the sample is zero", rows[1].at("estimate"));
    EXPECT_EQ("not run: no estimate", rows[1].at("test"));
    EXPECT_EQ("4", rows[1].at("individuals"));
    // One locus: likelihoods, no test, no disequilibrium.
    EXPECT_EQ("0", rows[2].at("likelihood_ratio"));
    EXPECT_EQ("not run: one locus", rows[2].at("test"));
    EXPECT_EQ("One\tlocus", rows[2].at("sample"));
    for (const char* column : {"df", "chi_square_p", "monte_carlo_p", "overall_d_prime", "wn"}) {
        EXPECT_EQ("", rows[2].at(column)) << column;
    }
}

} // namespace
