// The pairs of a panel among a run's samples: which samples form one, the
// pairs table byte for byte and the matrix that opens the page.
#include "report/panel.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report/html_report.h"
#include "tests/report/run_builder.h"

namespace {

// Pairs of panel P: a tested one, one without simulated samples, one without
// an estimate; a lone pair of panel Q; a sample named otherwise.
RunResults panel_run() {
    const RunResults hand = hand_built_run();
    RunResults run = hand;
    run.samples.clear();
    auto add = [&](std::size_t from, const std::string& name) -> SampleResults& {
        SampleResults& s = run.samples.emplace_back(hand.samples[from]);
        s.name = name;
        return s;
    };
    add(0, "P: A x B");
    add(0, "P: A x C").test = TestStatus::kNotRequested;
    add(1, "P: C x B");
    add(0, "Q: A x B");
    add(2, "Other");
    return run;
}

TEST(Panel, SamplesOfOnePanelWithTwoPairsOrMore) {
    const std::vector<panel::Panel> panels = panel::find_panels(panel_run());
    ASSERT_EQ(1U, panels.size());
    EXPECT_EQ("P", panels[0].name);
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), panels[0].markers);
    ASSERT_EQ(3U, panels[0].pairs.size());
    EXPECT_EQ(2U, panels[0].pairs[2].sample);
    EXPECT_EQ(2U, panels[0].pairs[2].marker_1);
    EXPECT_EQ(1U, panels[0].pairs[2].marker_2);
    EXPECT_TRUE(panel::find_panels(hand_built_run()).empty());
}

TEST(Panel, PairsTableGivesTheMatrixFigures) {
    const RunResults run = panel_run();
    std::ostringstream os;
    panel::write_pairs_table(os, run, panel::find_panels(run));
    // D' is at its bound in every cell; Wn = |r| = sqrt(1/3); P = 1 of 2
    // simulated, or the chi-square tail of 3 at 1 df.
    EXPECT_EQ("sample_number\tsample\tpanel\tlocus_1\tlocus_2\toverall_d_prime\twn\tp\tp_source\n"
              "1\tP: A x B\tP\tA\tB\t1\t0.5773502691896257\t0.5\tsimulated\n"
              "2\tP: A x C\tP\tA\tC\t1\t0.5773502691896257\t0.08326451666355048\tchi-square\n"
              "3\tP: C x B\tP\tC\tB\t\t\t\t\n",
              os.str());
}

TEST(Panel, PageOpensWithTheMatrixLinkingEachPair) {
    std::ostringstream os;
    html_report::write(os, panel_run());
    const std::string page = os.str();
    const std::size_t matrix = page.find("<table class=\"panel-matrix\">");
    ASSERT_NE(std::string::npos, matrix);
    EXPECT_LT(matrix, page.find("<section class=\"sample\""));
    EXPECT_EQ(std::string::npos, page.find("Panel Q"));
    const std::string table = page.substr(matrix, page.find("</table>", matrix) - matrix);
    // Header row, then per marker its row: D' above the diagonal, Wn below.
    EXPECT_NE(std::string::npos, table.find("<tr><th></th><th>A</th><th>B</th><th>C</th></tr>"));
    // Each pair twice (D' and Wn), each cell a link to its pair's section.
    EXPECT_NE(std::string::npos,
              table.find("<td></td><td class=\"light\" style=\"background:rgb(178,24,43)\"><a "
                         "href=\"#sample-1\""));
    std::size_t links = 0;
    for (std::size_t at = 0; (at = table.find("href=\"#sample-", at)) != std::string::npos; ++at) {
        ++links;
    }
    EXPECT_EQ(6U, links);
    EXPECT_NE(std::string::npos, table.find(">1.00<br><span class=\"p\">P 0.500</span>"));
    EXPECT_NE(std::string::npos, table.find(">0.58<br><span class=\"p\">&chi;&sup2; 0.083</span>"));
    EXPECT_NE(std::string::npos, table.find(">&ndash;<br><span class=\"p\"></span>"));
    EXPECT_NE(std::string::npos,
              page.find("<text x=\"0\" y=\"18\" font-weight=\"bold\">Locus 1 (A)"));
}

} // namespace
