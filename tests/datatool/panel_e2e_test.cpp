// Panels of markers end to end: one data file with every pair, each pair's
// sample the same as converting that pair alone, and the analysis naming the
// markers in its tables, page and summary.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

// Four markers; the fathers are untyped (absent parents), k2 is typed at M1
// and M3 only, u is untyped everywhere.
const std::string kPanelPed = "f1 dad 0 0 1 0 0 0 0 0 0 0 0 0\n"
                              "f1 mum 0 0 2 0 1 2 3 4 5 6 7 8\n"
                              "f1 k1 dad mum 1 0 1 1 3 3 5 5 7 7\n"
                              "f1 k2 dad mum 2 0 2 1 0 0 6 5 0 7\n"
                              "f2 dad 0 0 1 0 0 0 0 0 0 0 0 0\n"
                              "f2 mum 0 0 2 0 2 2 4 4 6 6 8 8\n"
                              "f2 k1 dad mum 1 0 2 1 4 3 6 5 8 7\n"
                              "f2 k2 dad mum 2 0 2 2 4 4 6 6 8 8\n"
                              "f3 s 0 0 0 0 1 2 3 4 5 6 7 8\n"
                              "f3 u 0 0 0 0 0 0 0 0 0 0 0 0\n";
const std::string kPanelMap = "6 M1 0 1\n6 M2 0 2\n6 M3 0 3\n6 M4 0 4\n";

// The samples of a data file, each from its individual count to its last record.
std::vector<std::string> samples_of(const std::string& data) {
    std::istringstream is(data);
    std::string line;
    std::getline(is, line);
    std::vector<std::string> samples;
    while (std::getline(is, line)) {
        std::string sample = line + "\n";
        const int records = std::stoi(line);
        for (int k = 0; k < 1 + 3 * records && std::getline(is, line); ++k) {
            sample += line + "\n";
        }
        samples.push_back(sample);
    }
    return samples;
}

e2e::Result convert(const std::string& loci, const std::string& name) {
    return e2e::run_data_tool(
        {"convert", "p.ped", "-o", "p.mbd", "--loci", loci, "--name", name, "--simulations", "0"},
        {{"p.ped", kPanelPed}, {"p.map", kPanelMap}}, {"p.mbd"});
}

TEST(PanelConvert, EveryPairInMarkerOrderAsIfConvertedAlone) {
    const e2e::Result all = convert("all", "Panel");
    ASSERT_EQ(0, all.status) << all.errors;
    const std::vector<std::string> samples = samples_of(all.collected.at("p.mbd"));
    ASSERT_EQ(6U, samples.size());
    EXPECT_EQ(0U, all.console.find("Wrote p.mbd: 6 samples, one per pair of 4 markers (M1, M2, "
                                   "M3, M4), 0 simulated samples, 5 initial conditions\n\nSample "
                                   "\"Panel: M1 x M2\": "));
    const std::vector<std::pair<std::string, std::string>> pairs = {
        {"M1", "M2"}, {"M1", "M3"}, {"M1", "M4"}, {"M2", "M3"}, {"M2", "M4"}, {"M3", "M4"}};
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto& [a, b] = pairs[k];
        const std::string name = "Panel: " + a + " x " + b;
        const e2e::Result alone = convert(a + "," + b, name);
        ASSERT_EQ(0, alone.status) << alone.errors;
        EXPECT_EQ(samples_of(alone.collected.at("p.mbd")).at(0), samples[k]) << name;
        EXPECT_NE(std::string::npos,
                  all.console.find(alone.console.substr(alone.console.find("Individuals read"))))
            << name;
    }
    // k2 is typed at M1 and M3 only: a sibling of the M1 x M3 pair alone.
    EXPECT_EQ(0U, samples[1].find("7\nPanel: M1 x M3\n"));
    EXPECT_EQ(0U, samples[0].find("6\nPanel: M1 x M2\n"));
    // Markers chosen by number, in the order given.
    EXPECT_EQ(
        0U, samples_of(convert("3,1,2", "P").collected.at("p.mbd")).at(0).find("7\nP: M3 x M1\n"));
}

TEST(PanelConvert, RefusesMarkersThatCannotNameAPairAndEmptyPairs) {
    const std::string table = "id\tfather\tmother\tHLA A\tB\tC\n"
                              "x\t0\t0\t1/2\t3/4\t/\n";
    const e2e::Result blank = e2e::run_data_tool(
        {"convert", "t.tsv", "-o", "t.mbd", "--loci", "all"}, {{"t.tsv", table}});
    EXPECT_EQ("t.tsv: marker \"HLA A\" cannot name a pair's sample (PANEL: MARKER1 x MARKER2): "
              "it holds a blank\n",
              blank.errors);
    const e2e::Result empty = e2e::run_data_tool(
        {"convert", "t.tsv", "-o", "t.mbd", "--loci", "2,1,3"},
        {{"t.tsv", "id\tfather\tmother\tA\tB\tC\n" + table.substr(table.find('x'))}});
    EXPECT_EQ("t.tsv: markers B and C: no individual is typed at the chosen markers: nothing to "
              "write\n",
              empty.errors);
    for (const e2e::Result& r : {blank, empty}) {
        EXPECT_EQ(1, r.status);
        EXPECT_EQ((std::vector<std::string>{"t.tsv"}), r.left);
    }
}

TEST(PanelRun, TablesPageAndSummaryNameEveryMarker) {
    const e2e::Result converted = convert("all", "Panel");
    ASSERT_EQ(0, converted.status);
    e2e::Run run{{"--tables", "--html", "p", "7"}};
    run.files = {{"p.mbd", converted.collected.at("p.mbd")}};
    run.collect = {"p.summary.tsv", "p.pairs.tsv", "p.html"};
    run.capture_errors = true;
    const e2e::Result r = e2e::run(run);
    ASSERT_EQ(0, r.status) << r.errors;
    const std::vector<e2e::Row> summary = e2e::parse_table(r.collected.at("p.summary.tsv"));
    const std::vector<e2e::Row> pairs = e2e::parse_table(r.collected.at("p.pairs.tsv"));
    ASSERT_EQ(6U, summary.size());
    ASSERT_EQ(6U, pairs.size());
    for (std::size_t k = 0; k < summary.size(); ++k) {
        const std::string name =
            "Panel: " + summary[k].at("locus_1") + " x " + summary[k].at("locus_2");
        EXPECT_EQ(name, summary[k].at("sample"));
        EXPECT_EQ(name, pairs[k].at("sample"));
        EXPECT_EQ(summary[k].at("overall_d_prime"), pairs[k].at("overall_d_prime"));
        EXPECT_EQ(summary[k].at("wn"), pairs[k].at("wn"));
        EXPECT_EQ(summary[k].at("chi_square_p"), pairs[k].at("p"));
        EXPECT_EQ("chi-square", pairs[k].at("p_source"));
        EXPECT_NE(std::string::npos, r.errors.find("Sample " + name + ": ratio "));
    }
    // Every marker named on the page, in the panel's matrix.
    EXPECT_NE(std::string::npos,
              r.collected.at("p.html").find("<th>M1</th><th>M2</th><th>M3</th><th>M4</th>"));
    EXPECT_NE(std::string::npos, r.errors.find("Tables: p.summary.tsv"));
    EXPECT_NE(std::string::npos, r.errors.find(".tsv, p.pairs.tsv\n"));
}

} // namespace
