// Simulated samples under the whole-pedigree model: genes dropped down each
// pedigree, every individual keeping its typing. (Agreement with the nuclear
// model on nuclear families: fast_agreement_test.cpp.)
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"

namespace {

// The first sample of `text` analysed as whole pedigrees from a fixed seed,
// then `draws` samples drawn from it.
std::vector<SampleDescription> drawn_from(const std::string& text, int draws,
                                          SampleDescription& sample) {
    std::istringstream in(text);
    DataFileReader reader(in);
    const RunParameters run = reader.read_run_parameters();
    sample = reader.read_sample(reader.read_individual_count(1));
    std::ostringstream console_text;
    set_console(&console_text);
    std::int32_t generator = -77;
    current_random_state() = RandomState{};
    random_uniform(generator);
    TPopPedigree pop("Brand new pop", {.engine = EngineKind::whole_pedigrees});
    pop.analyse(sample, run.n_initial);
    std::vector<SampleDescription> out;
    for (int d = 0; d < draws; ++d) {
        pop.draw_random_sample();
        out.push_back(pop.describe_random_sample());
    }
    set_console(nullptr);
    return out;
}

const char* const kPartial = "1 0 1\n9 Three generations\n"
                             "G1 0 0\nA ?\nB ?\n"
                             "P G1 G2\nA C\nB D\n"
                             "Q 0 0\n? ?\n? ?\n"
                             "K1 P Q\nA C\nA D\n"
                             "K2 P Q\nB ?\nA ?\n"
                             "K3 P Q\nB C\nB D\n"
                             "H 0 P\nA C\nB C\n"
                             "S 0 0\nA C\nB D\n"
                             "T 0 0\nB D\nB D\n";

// Same records, same parents, "?" where the file had it, one individual
// typed "? ?" kept as it is, and the absent G2 never written.
TEST(WholePedigreesAnalysis, DrawnSamplesKeepEveryTyping) {
    SampleDescription sample;
    const std::vector<SampleDescription> samples = drawn_from(kPartial, 3, sample);
    for (const SampleDescription& drawn : samples) {
        ASSERT_EQ(sample.records.size(), drawn.records.size());
        for (std::size_t i = 0; i < drawn.records.size(); ++i) {
            const SampleRecord& a = sample.records[i];
            const SampleRecord& b = drawn.records[i];
            EXPECT_EQ(a.id + a.parent1 + a.parent2, b.id + b.parent1 + b.parent2);
            for (std::size_t k = 0; k < 2; ++k) {
                std::istringstream x(a.allele_lines[k]);
                std::istringstream y(b.allele_lines[k]);
                std::string u;
                std::string v;
                while (x >> u) {
                    ASSERT_TRUE(static_cast<bool>(y >> v));
                    EXPECT_EQ(u == "?", v == "?") << a.id;
                }
            }
        }
    }
    // Genes drop down the pedigree: the first line of a child of P (K1, K3)
    // is the haplotype it took from P, one of P's two lines.
    for (const SampleDescription& drawn : samples) {
        const auto& p = drawn.records[1].allele_lines;
        for (const std::size_t child : {3U, 5U}) {
            const std::string& line = drawn.records[child].allele_lines[0];
            EXPECT_TRUE(line == p[0] || line == p[1]) << line << " from " << p[0] << "/" << p[1];
        }
    }
}

} // namespace
