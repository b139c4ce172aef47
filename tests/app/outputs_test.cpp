// The tables, the page and the summary on standard error, end to end: the
// options add files and never change the report, the console, the log or the
// exit status; the tables hold what the report prints, in full precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

const std::vector<std::string> kTableSuffixes = {".summary.tsv", ".alleles.tsv", ".haplotypes.tsv",
                                                 ".simulated.tsv", ".hwe.tsv"};

std::vector<std::string> outputs_of(const std::string& base) {
    std::vector<std::string> names;
    for (const std::string& suffix : kTableSuffixes) {
        names.push_back(base + suffix);
    }
    names.push_back(base + ".html");
    names.push_back(base + ".phases.tsv");
    return names;
}

e2e::Result run_with(std::vector<std::string> options, const std::string& base,
                     const std::string& data, const std::string& seed = "2024",
                     const e2e::Env& env = {}) {
    options.push_back(base);
    options.push_back(seed);
    return e2e::run(
        {options, "", {{base + ".mbd", data}}, env, base + ".mbr", "", outputs_of(base), true});
}

// Content of a file the run left, empty when absent.
std::string file_of(const e2e::Result& run, const std::string& name) {
    const auto found = run.collected.find(name);
    return found == run.collected.end() ? "" : found->second;
}

using e2e::parse_table;
using e2e::Row;

std::string rounded(const std::string& field, int decimals) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::stod(field));
    return buffer;
}

// A duplicate identifier stops the run in the second sample.
const std::string kFatalInSecond = "2 2 2\n2 First\nA 0 0\n1 a\n2 b\nB 0 0\n2 a\n1 b\n"
                                   "2 Second\nC 0 0\n1 a\n1 b\nC 0 0\n1 a\n1 b\n";

// Samples to run with and without options: estimation, simulation, two
// samples, one locus, an incompatible family, a fatal stop mid-file.
struct Case {
    const char* name;
    std::string data;
};
const Case kCases[] = {
    {"singles", e2e::read_data("fixtures/singles.mbd")},
    {"untyped_parents", e2e::read_data("fixtures/untyped_parents.mbd")},
    {"two_samples", e2e::read_data("fixtures/two_samples.mbd")},
    {"one_locus", e2e::read_data("e2e/one_locus.mbd")},
    {"inconsistent", e2e::read_data("e2e/inconsistent.mbd")},
    {"no_estimate", e2e::read_data("fixtures/no_estimate.mbd")},
    {"fatal_in_second_sample", kFatalInSecond},
};

class WithOptions : public ::testing::TestWithParam<Case> {};

TEST_P(WithOptions, ReportConsoleLogAndStatusAreThoseOfARunWithout) {
    const Case& c = GetParam();
    // The bootstrap's tables, the same on one thread and on two.
    std::map<std::string, std::string> bootstrap_tables;
    for (const char* threads : {"1", "2"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const e2e::Env env = {{"TOVAQUOR_THREADS", threads}};
        const e2e::Result plain = run_with({}, "data", c.data, "2024", env);
        for (const std::vector<std::string>& options :
             {std::vector<std::string>{"--tables", "--html"},
              {"--html", "--tables", "--phases", "--bootstrap", "20", "--"}}) {
            const e2e::Result r = run_with(options, "data", c.data, "2024", env);
            EXPECT_EQ(plain.status, r.status);
            EXPECT_EQ(plain.console, r.console);
            EXPECT_EQ(e2e::mask_times(plain.report), e2e::mask_times(r.report));
            EXPECT_EQ(e2e::mask_times(plain.log), e2e::mask_times(r.log));
            const bool phases = options.size() > 2;
            EXPECT_EQ(kTableSuffixes.size() + 1 + (phases ? 1 : 0), r.collected.size());
            if (phases) {
                for (const char* table : {"data.haplotypes.tsv", "data.summary.tsv"}) {
                    const auto [it, first] = bootstrap_tables.emplace(table, file_of(r, table));
                    EXPECT_TRUE(first || it->second == file_of(r, table)) << table;
                }
            }
        }
        EXPECT_TRUE(plain.collected.empty()); // no option, no new file
    }
}

INSTANTIATE_TEST_SUITE_P(Files, WithOptions, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The report's lines between two markers.
std::vector<std::string> report_lines(const e2e::Result& run, const std::string& from,
                                      const std::string& to) {
    const std::size_t start = run.report.find(from);
    const std::size_t end = run.report.find(to, start);
    std::istringstream is(run.report.substr(start, end - start));
    std::vector<std::string> lines;
    for (std::string line; std::getline(is, line);) {
        lines.push_back(line);
    }
    return lines;
}

void check_SummaryMatchesTheReport(const e2e::Result& run) {
    ASSERT_EQ(0, run.status);
    const std::vector<Row> summary = parse_table(file_of(run, "example.summary.tsv"));
    ASSERT_EQ(1U, summary.size());
    const Row& s = summary[0];
    std::istringstream line(report_lines(run, "LHood ratio    # maxima\n", "\n\n")[1]);
    std::string sample_ln_l, equilibrium_ln_l, ratio, maxima;
    line >> sample_ln_l >> equilibrium_ln_l >> ratio >> maxima;
    EXPECT_EQ(sample_ln_l, rounded(s.at("sample_ln_likelihood"), 8));
    EXPECT_EQ(equilibrium_ln_l, rounded(s.at("equilibrium_ln_likelihood"), 8));
    EXPECT_EQ(ratio, rounded(s.at("likelihood_ratio"), 8));
    EXPECT_EQ(maxima, s.at("maxima"));
    EXPECT_NE(std::string::npos,
              run.report.find("Obs. logLhood ratio) = " + std::string(5, ' ') +
                              rounded(s.at("report_p"), 5) + "\n(" + s.at("valid") +
                              " valid cases out of " + s.at("simulated") + ")"));
    const std::map<std::string, std::string> expected = {
        {"program", "tovaquor"},
        {"data_file", "example.mbd"},
        {"seed", "2026"},
        {"initial_conditions", "5"},
        {"simulated_requested", "500"},
        {"sample", "Example families"},
        {"announced_individuals", "158"},
        {"individuals", "158"},
        {"families", "35"},
        {"singles", "10"},
        {"absent_parents", "21"},
        {"loci", "2"},
        {"df", "12"},
        {"at_least_observed", "2"},
        {"valid", "500"},
        {"monte_carlo_p", "0.005988023952095809"}, // 3 / 501
    };
    for (const auto& [column, value] : expected) {
        EXPECT_EQ(value, s.at(column)) << column;
    }
    EXPECT_LT(std::stod(s.at("p_lower_95")), 0.004);
    EXPECT_GT(std::stod(s.at("p_upper_95")), 0.004);
}

void check_AllelesAndHaplotypesMatchTheReport(const e2e::Result& run) {
    // Allele rows: "    1  A3     0.20469".
    const std::vector<Row> alleles = parse_table(file_of(run, "example.alleles.tsv"));
    const std::regex allele_row(R"(^\s+(\d+)\s+(\S+)\s+([0-9.]+)$)");
    std::size_t seen = 0;
    for (const std::string& line :
         report_lines(run, "Allele database content", "Haplotype database")) {
        std::smatch m;
        if (!std::regex_match(line, m, allele_row)) {
            continue;
        }
        ASSERT_LT(seen, alleles.size());
        const Row& a = alleles[seen++];
        EXPECT_EQ(m[1].str(), a.at("allele_number"));
        EXPECT_EQ(m[2].str(), a.at("allele"));
        EXPECT_EQ(m[3].str(), rounded(a.at("frequency"), 5));
    }
    EXPECT_EQ(11U, seen);
    EXPECT_EQ(alleles.size(), seen);

    // Haplotype rows: "    1    6   0.01602     A1 B1 "; the report lists those
    // above 1e-5, the table every one of non-zero frequency.
    const std::vector<Row> haplotypes = parse_table(file_of(run, "example.haplotypes.tsv"));
    std::map<std::string, Row> by_number;
    for (const Row& h : haplotypes) {
        by_number[h.at("haplotype_number")] = h;
    }
    const std::regex haplotype_row(R"(^\s+\d+\s+(\d+)\s+([0-9.]+)\s+(\S+) (\S+) $)");
    std::size_t listed = 0;
    for (const std::string& line : report_lines(run, "Haplotype database", "Sum of listed")) {
        std::smatch m;
        if (!std::regex_match(line, m, haplotype_row)) {
            continue;
        }
        ++listed;
        ASSERT_EQ(1U, by_number.count(m[1].str())) << line;
        const Row& h = by_number[m[1].str()];
        EXPECT_EQ(m[2].str(), rounded(h.at("frequency"), 5));
        EXPECT_EQ(m[3].str(), h.at("allele_1"));
        EXPECT_EQ(m[4].str(), h.at("allele_2"));
    }
    EXPECT_EQ(19U, listed);
    EXPECT_EQ(20U, haplotypes.size()); // and A1 B2, estimated at about 1e-11
    EXPECT_EQ("-1", rounded(by_number.at("7").at("d_prime"), 6).substr(0, 2));
}

// Every measure follows from the haplotype table alone: the marginals are the
// sums of the listed frequencies by allele, D = h - p q, D' = D / Dmax,
// r^2 = D^2 / (p(1-p) q(1-q)), and the summary's overall D' and Wn.
void check_MeasuresFollowFromTheHaplotypeTable(const e2e::Result& run) {
    const std::vector<Row> haplotypes = parse_table(file_of(run, "example.haplotypes.tsv"));
    std::map<std::string, double> p;
    std::map<std::string, double> q;
    for (const Row& h : haplotypes) {
        p[h.at("allele_1")] += std::stod(h.at("frequency"));
        q[h.at("allele_2")] += std::stod(h.at("frequency"));
    }
    double chi = 0.0;
    double overall = 0.0;
    for (const Row& h : haplotypes) {
        const double f = std::stod(h.at("frequency"));
        const double pi = p[h.at("allele_1")];
        const double qj = q[h.at("allele_2")];
        EXPECT_NEAR(pi, std::stod(h.at("allele_1_marginal")), 1e-15);
        EXPECT_NEAR(qj, std::stod(h.at("allele_2_marginal")), 1e-15);
        const double d = f - pi * qj;
        const double d_max =
            d > 0 ? std::min(pi * (1 - qj), (1 - pi) * qj) : std::min(pi * qj, (1 - pi) * (1 - qj));
        EXPECT_NEAR(d, std::stod(h.at("d")), 1e-12);
        EXPECT_NEAR(d / d_max, std::stod(h.at("d_prime")), 1e-9);
        EXPECT_LE(std::fabs(std::stod(h.at("d_prime"))), 1.0);
        EXPECT_NEAR(d * d / (pi * (1 - pi) * qj * (1 - qj)), std::stod(h.at("r_squared")), 1e-9);
        overall += pi * qj * std::fabs(d / d_max);
        chi += d * d / (pi * qj);
    }
    // Cells of no listed haplotype have h = 0: D' = -1, D = -p q.
    for (const auto& [a, pi] : p) {
        for (const auto& [b, qj] : q) {
            bool listed = false;
            for (const Row& h : haplotypes) {
                listed = listed || (h.at("allele_1") == a && h.at("allele_2") == b);
            }
            if (!listed) {
                overall += pi * qj;
                chi += pi * qj;
            }
        }
    }
    const Row summary = parse_table(file_of(run, "example.summary.tsv")).at(0);
    EXPECT_NEAR(overall, std::stod(summary.at("overall_d_prime")), 1e-9);
    const double smaller = static_cast<double>(std::min(p.size(), q.size()));
    EXPECT_NEAR(std::sqrt(chi / (smaller - 1)), std::stod(summary.at("wn")), 1e-9);
}

void check_SimulatedRowsMatchTheReport(const e2e::Result& run) {
    const std::vector<Row> simulated = parse_table(file_of(run, "example.simulated.tsv"));
    ASSERT_EQ(500U, simulated.size());
    const std::regex simulation_row(R"(^\s+(\d+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(\d+)$)");
    std::size_t seen = 0;
    std::int64_t at_least = 0;
    for (const std::string& line : report_lines(run, "# maxima\n", "P(Rand.")) {
        std::smatch m;
        if (!std::regex_match(line, m, simulation_row) || seen >= simulated.size() ||
            m[1].str() != simulated[seen].at("simulated_sample")) {
            continue;
        }
        const Row& r = simulated[seen++];
        EXPECT_EQ(m[2].str(), rounded(r.at("sample_ln_likelihood"), 8));
        EXPECT_EQ(m[3].str(), rounded(r.at("equilibrium_ln_likelihood"), 8));
        EXPECT_EQ(m[4].str(), rounded(r.at("likelihood_ratio"), 8));
        EXPECT_EQ(m[5].str(), r.at("maxima"));
        at_least += r.at("at_least_observed") == "1";
    }
    EXPECT_EQ(500U, seen);
    EXPECT_EQ(2, at_least);
}

void check_SummaryOnStandardErrorNamesEveryFile(const e2e::Result& run) {
    EXPECT_EQ("Model: nuclear families\n"
              "Sample Example families: ratio 32.50430886, P = 0.00400 (2 of 500 simulated), "
              "Monte Carlo P = 0.00599 (95 % interval 0.00048 to 0.01437), chi-square P = "
              "0.00116 (12 df)\n"
              "Report: example.mbr\n"
              "Tables: example.summary.tsv, example.alleles.tsv, example.haplotypes.tsv, "
              "example.simulated.tsv, example.hwe.tsv\n"
              "Page: example.html\n",
              run.errors); // not a terminal: no progress line
}

// The example's tables and summary against its report. One run serves every
// check: under the sanitizers the example takes minutes.
TEST(Example, TablesAndSummaryMatchTheReport) {
    const e2e::Result run =
        run_with({"--tables", "--html"}, "example", e2e::read_example("example.mbd"), "2026");
    ASSERT_EQ(0, run.status);
    {
        SCOPED_TRACE("SummaryMatchesTheReport");
        check_SummaryMatchesTheReport(run);
    }
    {
        SCOPED_TRACE("AllelesAndHaplotypesMatchTheReport");
        check_AllelesAndHaplotypesMatchTheReport(run);
    }
    {
        SCOPED_TRACE("MeasuresFollowFromTheHaplotypeTable");
        check_MeasuresFollowFromTheHaplotypeTable(run);
    }
    {
        SCOPED_TRACE("SimulatedRowsMatchTheReport");
        check_SimulatedRowsMatchTheReport(run);
    }
    {
        SCOPED_TRACE("SummaryOnStandardErrorNamesEveryFile");
        check_SummaryOnStandardErrorNamesEveryFile(run);
    }
}

// Two samples: one whose family Mendelian inheritance cannot explain, one
// typed at one locus.
const std::string kMixed = "2 3 2\n"
                           "3 Mendelian error\nF 0 0\n1 a\n1 a\nK F M\n2 b\n2 b\nU1 0 0\n2 a\n1 b\n"
                           "4 One locus\nP1 0 0\n105\n98\nP2 0 0\n98\n98\nK1 P1 P2\n105\n98\n"
                           "Q1 0 0\n1051\n105\n";

// What each table and the page write for these follows from the status a
// sample gets, pinned byte for byte in tests/report; here the real run must
// give those statuses and its counts.
TEST(Outputs, SampleWithoutEstimateAndOneLocusSample) {
    const e2e::Result r = run_with({"--tables", "--html"}, "mixed", kMixed);
    EXPECT_EQ(2, r.status);
    const std::vector<Row> summary = parse_table(file_of(r, "mixed.summary.tsv"));
    ASSERT_EQ(2U, summary.size());
    const std::vector<std::pair<std::string, std::string>> first = {
        {"estimate", "no estimate: the likelihood of the sample is zero"},
        {"test", "not run: no estimate"},
        {"sample_ln_likelihood", ""},
        {"individuals", "3"},
        {"families", "1"},
        {"singles", "1"},
        {"absent_parents", "1"}};
    for (const auto& [column, value] : first) {
        EXPECT_EQ(value, summary[0].at(column)) << column;
    }
    EXPECT_EQ("estimated", summary[1].at("estimate"));
    EXPECT_EQ("not run: one locus", summary[1].at("test"));
    EXPECT_EQ("1", summary[1].at("loci"));
    EXPECT_EQ(5U,
              parse_table(file_of(r, "mixed.alleles.tsv")).size()); // a note, then 105 98 1051 #
    EXPECT_EQ(4U, parse_table(file_of(r, "mixed.haplotypes.tsv")).size());
    EXPECT_NE(std::string::npos, file_of(r, "mixed.html").find("Typed at one locus"));
    EXPECT_NE(std::string::npos, r.errors.find("Sample Mendelian error: no estimate, the "
                                               "likelihood is zero (see mirbo.log)\n"));
    EXPECT_NE(std::string::npos, r.errors.find(", no simulated P-value (not run: one locus)\n"));
}

// Thirty singles of sixty alleles per locus and a child of two absent
// parents: the summed likelihood fits in 100 MiB, the list of every pair of
// haplotypes the phases need does not. The run goes on without them.
TEST(Outputs, PhasesBeyondTheMemoryLimitLeaveTheRunAsItIs) {
    std::string data = "1 0 2\n31\nWide\n";
    for (int i = 0; i < 30; ++i) {
        data += "S" + std::to_string(i) + " 0 0\n" + std::to_string(2 * i) + " " +
                std::to_string(2 * i) + "\n" + std::to_string(2 * i + 1) + " " +
                std::to_string(2 * i + 1) + "\n";
    }
    data += "K F M\n1 1\n2 2\n";
    const e2e::Env env = {{"TOVAQUOR_MAX_MEMORY_MB", "100"}};
    const e2e::Result plain = run_with({"--fast"}, "wide", data, "3", env);
    const e2e::Result r = run_with({"--fast", "--phases"}, "wide", data, "3", env);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(plain.console, r.console);
    EXPECT_EQ(e2e::mask_times(plain.report), e2e::mask_times(r.report));
    EXPECT_EQ(e2e::mask_times(plain.log), e2e::mask_times(r.log));
    EXPECT_NE(std::string::npos, r.errors.find("Sample Wide: no phases, its families are too large "
                                               "to list within the memory limit"));
    const std::string phases = file_of(r, "wide.phases.tsv");
    EXPECT_EQ(phases.find('\n') + 1, phases.size()); // the header alone
}

TEST(Outputs, OptionsEndAtDoubleDashAndAMisspeltOneIsRefused) {
    const std::string data = e2e::read_data("fixtures/singles.mbd");
    // "--" lets a base name start with two dashes.
    const e2e::Result dashed = e2e::run({{"--tables", "--", "--odd", "7"},
                                         "",
                                         {{"--odd.mbd", data}},
                                         {},
                                         "--odd.mbr",
                                         "",
                                         {"--odd.summary.tsv"}});
    EXPECT_EQ(0, dashed.status);
    EXPECT_TRUE(dashed.has_report);
    EXPECT_EQ(1U, dashed.collected.size());

    const e2e::Result misspelt = e2e::run(
        {{"--tables", "--tabels", "data", "7"}, "", {{"data.mbd", data}}, {}, "", "", {}, true});
    EXPECT_EQ(1, misspelt.status);
    EXPECT_EQ("", misspelt.console);
    EXPECT_FALSE(misspelt.has_log);
    EXPECT_TRUE(misspelt.errors.starts_with(
        "tovaquor: unknown option --tabels (tovaquor --help lists the options)\n\nUsage:"));

    // With options but no arguments the program asks, as it does without.
    const e2e::Result asked = e2e::run({{"--tables"},
                                        "data\n7\n",
                                        {{"data.mbd", data}},
                                        {},
                                        "data.mbr",
                                        "",
                                        {"data.summary.tsv"}});
    const e2e::Result plain = e2e::run({{}, "data\n7\n", {{"data.mbd", data}}, {}, "data.mbr"});
    EXPECT_EQ(plain.console, asked.console);
    EXPECT_EQ(e2e::mask_times(plain.report), e2e::mask_times(asked.report));
    EXPECT_EQ(1U, asked.collected.size());
}

TEST(Outputs, TableThatCannotBeWrittenFailsTheRunAfterTheReport) {
    const std::string data = e2e::read_data("fixtures/singles.mbd");
    const e2e::Result r = e2e::run({{"--tables", "data", "7"},
                                    "",
                                    {{"data.mbd", data}, {"data.alleles.tsv/", ""}},
                                    {},
                                    "data.mbr",
                                    "",
                                    {"data.summary.tsv"},
                                    true});
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos,
              r.errors.find("Unable to write the table data.alleles.tsv: it is a directory\n"));
    EXPECT_NE(std::string::npos, r.report.find("Total computing time"));
    EXPECT_EQ(1U, r.collected.size()); // the others are written
}

TEST(Outputs, FatalStopKeepsTheSamplesFinishedBeforeIt) {
    const e2e::Result r = run_with({"--tables"}, "data", kFatalInSecond);
    EXPECT_EQ(255, r.status);
    const std::vector<Row> summary = parse_table(file_of(r, "data.summary.tsv"));
    ASSERT_EQ(1U, summary.size());
    EXPECT_EQ("First", summary[0].at("sample"));
    EXPECT_EQ(2U, parse_table(file_of(r, "data.simulated.tsv")).size());
}

} // namespace
