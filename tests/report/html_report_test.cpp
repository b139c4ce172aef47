// The page: its sections and figures for every kind of sample, and, when a
// browser is installed, the example's page rendered by headless Chromium,
// whose DOM must hold every figure and whose screenshot the README shows.
#include "report/html_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "tests/harness/e2e_harness.h"
#include "tests/report/run_builder.h"

namespace {
namespace fs = std::filesystem;

std::string page_of(const RunResults& run) {
    std::ostringstream os;
    html_report::write(os, run);
    return os.str();
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

// The part of the page between the opening of section `number` and the next.
std::string section(const std::string& page, int number) {
    const std::string open = "<section class=\"sample\" id=\"sample-" + std::to_string(number);
    const std::size_t start = page.find(open);
    if (start == std::string::npos) {
        return "";
    }
    return page.substr(start, page.find("</section>", start) - start);
}

TEST(HtmlReport, NamesAreEscapedValidUtf8WithControlsShownAsPictures) {
    EXPECT_EQ("&lt;b&gt; &amp; &quot;x&quot; \xE2\x90\x89\xE2\x90\x9B\xE2\x90\xA1 "
              "\xEF\xBF\xBD"
              "E9 \xEF\xBF\xBD \xC3\xA9",
              html_report::escape("<b> & \"x\" \t\x1B\x7F \xE9 \xC2\x85 \xC3\xA9"));
}

TEST(HtmlReport, EachSampleGetsTheFiguresItsResultsAllow) {
    const std::string page = page_of(hand_built_run());
    EXPECT_EQ(3U, count(page, "<section class=\"sample\""));
    EXPECT_EQ(0U, count(page, "<script"));
    EXPECT_EQ(0U, count(page, "src="));
    EXPECT_EQ(0U, count(page, "<link"));
    EXPECT_EQ(0U, count(page, "url("));

    const std::string two = section(page, 1);
    EXPECT_NE(std::string::npos, two.find("Two loci &lt;A&amp;B&gt;"));
    // 3 alleles per locus, # included, then the 3 listed haplotypes with
    // their bootstrap intervals (one of them known).
    EXPECT_EQ(9U, count(two, "<rect class=\"bar\""));
    EXPECT_NE(std::string::npos, two.find("<title>A1 B1: 0.5 (0.375 to 0.625)</title>"));
    EXPECT_NE(std::string::npos, two.find("<title>A1 B1: D&prime; = 1 (0.5 to 1)</title>"));
    EXPECT_NE(std::string::npos, two.find("Overall D&prime; (95 % interval)"));
    // The page's P-values keep two significant digits; the single start
    // reaching the best maximum and Cochran's rule both draw a note.
    EXPECT_NE(std::string::npos, two.find("<td>Monte Carlo P (r+1)/(n+1)</td><td>0.667</td>"));
    EXPECT_NE(std::string::npos, two.find("class=\"note maxima\""));
    EXPECT_NE(std::string::npos, two.find("class=\"note chi-square\""));
    EXPECT_EQ(2U, count(two, "exact, "));              // a Hardy-Weinberg row per locus
    EXPECT_EQ(4U, count(two, "<rect class=\"cell\"")); // # left out: 2 x 2
    EXPECT_EQ(1U, count(two, "<line class=\"observed\""));
    EXPECT_EQ(1U, count(two, "<path class=\"density\""));
    EXPECT_EQ(3U, count(two, "<td class=\"name\">A")); // haplotypes listed
    EXPECT_NE(std::string::npos, two.find("Chi-square P"));
    EXPECT_NE(std::string::npos, two.find("Monte Carlo P"));

    const std::string none = section(page, 2);
    EXPECT_NE(std::string::npos, none.find("No estimate: the likelihood of the sample is zero."));
    EXPECT_EQ(0U, count(none, "<svg"));

    const std::string one = section(page, 3);
    EXPECT_EQ(3U, count(one, "<rect class=\"bar\""));
    EXPECT_EQ(0U, count(one, "class=\"heatmap\""));
    EXPECT_EQ(0U, count(one, "class=\"histogram\""));
    EXPECT_NE(std::string::npos, one.find("not run: one locus"));
}

// Path of the browser, empty when none is installed.
std::string browser() {
    for (const char* name : {"chromium", "chromium-browser"}) {
        const std::string command = std::string("command -v ") + name + " 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            continue;
        }
        char buffer[512] = {};
        const bool found = std::fgets(buffer, sizeof buffer, pipe) != nullptr;
        pclose(pipe);
        if (found) {
            std::string path = buffer;
            path.erase(path.find_last_not_of("\r\n") + 1);
            return path;
        }
    }
    return "";
}

const char* const kNoBrowser =
    "chromium is not installed (apt-get install chromium): the page is not rendered";

struct Rendered {
    std::string dom;
    std::string png;
};

// Loads `page` in headless Chromium: its DOM after loading and a screenshot.
Rendered render(const std::string& chromium, const fs::path& page, const fs::path& png,
                int height) {
    std::string profile = (fs::temp_directory_path() / "tovaquor-chromium-XXXXXX").string();
    if (mkdtemp(profile.data()) == nullptr) {
        return {};
    }
    const std::string flags = " --headless --no-sandbox --disable-gpu --disable-quic "
                              "--no-first-run --disable-background-networking "
                              "--disable-component-update --disable-sync --hide-scrollbars "
                              "--user-data-dir=" +
                              profile + " --window-size=1100," + std::to_string(height);
    const std::string url = "file://" + fs::absolute(page).string();
    Rendered r;
    FILE* pipe = popen((chromium + flags + " --dump-dom " + url + " 2>/dev/null").c_str(), "r");
    if (pipe != nullptr) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            r.dom.append(buffer, n);
        }
        pclose(pipe);
    }
    const std::string shot =
        chromium + flags + " --screenshot=" + png.string() + " " + url + " >/dev/null 2>&1";
    if (std::system(shot.c_str()) == 0) {
        std::ifstream is(png, std::ios::binary);
        std::ostringstream ss;
        ss << is.rdbuf();
        r.png = ss.str();
    }
    std::error_code ignored;
    fs::remove_all(profile, ignored);
    return r;
}

// Width and height from a PNG's header, or 0 x 0.
std::pair<unsigned, unsigned> png_size(const std::string& png) {
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) {
        return {0, 0};
    }
    auto be32 = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            v = v << 8 | static_cast<unsigned char>(png[at + i]);
        }
        return v;
    };
    return {be32(16), be32(20)};
}

TEST(HtmlInBrowser, ExamplePageRendersEveryFigure) {
    const std::string chromium = browser();
    if (chromium.empty()) {
        GTEST_SKIP() << kNoBrowser;
    }
    const e2e::Result run = e2e::run({{"--html", "example", "2026"},
                                      "",
                                      {{"example.mbd", e2e::read_example("example.mbd")}},
                                      {},
                                      "example.mbr",
                                      "",
                                      {"example.html"}});
    ASSERT_EQ(0, run.status);
    const std::string page =
        run.collected.count("example.html") == 0 ? "" : run.collected.at("example.html");
    ASSERT_FALSE(page.empty());
    const fs::path out = TOVAQUOR_TEST_OUTPUT;
    const fs::path html = out / "example-report.html";
    std::ofstream(html, std::ios::binary) << page;
    const Rendered r = render(chromium, html, out / "example-report.png", 2900);

    // The browser's own DOM: what it parsed, not what was written.
    EXPECT_EQ(1U, count(r.dom, "<section class=\"sample\""));
    EXPECT_EQ(11U, count(r.dom, "<rect class=\"bar\""));  // 6 + 5 alleles, # included
    EXPECT_EQ(20U, count(r.dom, "<rect class=\"cell\"")); // 5 x 4 alleles
    EXPECT_GE(count(r.dom, "<rect class=\"bin\""), 5U);
    EXPECT_EQ(1U, count(r.dom, "<line class=\"observed\""));
    EXPECT_EQ(1U, count(r.dom, "<path class=\"density\""));
    // The 19 haplotypes the report lists, and A1 B2, estimated at 1.1e-11.
    EXPECT_EQ(20U, count(r.dom, "<td class=\"name\">A"));
    for (const char* figure : {"allele-bars", "heatmap", "histogram"}) {
        EXPECT_EQ(1U, count(r.dom, std::string("<figure class=\"") + figure + "\"")) << figure;
    }
    EXPECT_NE(std::string::npos, r.dom.find("0.0040 (2 of 500 valid)"));

    const auto [width, height] = png_size(r.png);
    EXPECT_EQ(1100U, width);
    EXPECT_EQ(2900U, height);
    EXPECT_GT(r.png.size(), 50000U) << "a blank page compresses to a few kilobytes";
    std::cout << "Rendered page: " << (out / "example-report.png").string() << "\n";
}

TEST(HtmlInBrowser, PageOfSamplesWithoutEstimateOrTestRenders) {
    const std::string chromium = browser();
    if (chromium.empty()) {
        GTEST_SKIP() << kNoBrowser;
    }
    const fs::path out = TOVAQUOR_TEST_OUTPUT;
    const fs::path html = out / "hand-built-report.html";
    std::ofstream(html, std::ios::binary) << page_of(hand_built_run());
    const Rendered r = render(chromium, html, out / "hand-built-report.png", 1600);
    EXPECT_EQ(3U, count(r.dom, "<section class=\"sample\""));
    EXPECT_EQ(12U, count(r.dom, "<rect class=\"bar\"")); // with 3 bootstrap bars
    EXPECT_EQ(4U, count(r.dom, "<rect class=\"cell\""));
    EXPECT_EQ(1U, count(r.dom, "<figure class=\"histogram\""));
    EXPECT_NE(std::string::npos, r.dom.find("No estimate: the likelihood of the sample is zero."));
    EXPECT_EQ(1100U, png_size(r.png).first);
}

} // namespace
