// Random samples in linkage equilibrium: the sample text read back, and the
// exact use of the random stream, recomputed from a saved generator state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"

namespace {

// A data file from records "id parent1 parent2|allele line|allele line" joined by ';'.
std::string data(std::string records) {
    const auto n = std::count(records.begin(), records.end(), ';') + 1;
    std::replace(records.begin(), records.end(), '|', '\n');
    std::replace(records.begin(), records.end(), ';', '\n');
    return std::to_string(n) + " Sample\n" + records + "\n";
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream is(text);
    std::vector<std::string> out;
    for (std::string w; is >> w;) {
        out.push_back(w);
    }
    return out;
}

std::string text_of(const TPopHaplotype* h) {
    std::string text = h == nullptr ? "-" : h->allele(0)->_name;
    for (std::int32_t k = 1; h != nullptr && k < h->size(); ++k) {
        text += " " + h->allele(k)->_name;
    }
    return text;
}

// The index of the pedigree with sib `id`.
std::size_t pedigree_of(const TPopPedigree& pop, const std::string& id) {
    const auto& peds = pop.PedDB._pedigrees;
    const auto found = std::find_if(peds.begin(), peds.end(), [&](const TPedigree& p) {
        return std::any_of(p._sibs.begin(), p._sibs.end(),
                           [&](const TPhenPed* sib) { return *sib->_id == id; });
    });
    return static_cast<std::size_t>(found - peds.begin());
}

// A draw recomputed from the generator state it started from: one
// linkage-equilibrium genotype per parent record in list order, then two
// random_index draws per sib, pedigree by pedigree in `order`. Every
// individual typed in the observed sample must hold the recomputed genotype,
// the others none, and the stream must end where the recomputation ended.
void expect_replayed(const TPopPedigree& pop, const RandomState& start,
                     const std::vector<std::size_t>& order) {
    const RandomState actual_end = current_random_state();
    current_random_state() = start;
    std::map<const TPhenPed*, std::array<const TPopHaplotype*, 2>> got;
    std::int32_t seed = 1;
    for (const auto& record : pop.PedDB._parents.records()) {
        for (const TPopHaplotype*& h : got[record->_phen]) {
            for (h = nullptr; h == nullptr;) {
                h = pop.HaplDB.draw_le_haplotype(random_uniform(seed));
            }
        }
    }
    const std::int32_t two = 2;
    for (std::size_t i : order) {
        const TPedigree& p = pop.PedDB._pedigrees[i];
        for (const TPhenPed* sib : p._sibs) {
            const auto from1 = got.at(p._parent1->_phen)[std::size_t(random_index(two))];
            got[sib] = {from1, got.at(p._parent2->_phen)[std::size_t(random_index(two))]};
        }
    }
    EXPECT_TRUE(current_random_state() == actual_end) << "the stream was used differently";
    current_random_state() = actual_end;
    for (const auto& r : pop.PhenPedDB.records()) {
        for (std::size_t slot = 0; slot < 2; ++slot) {
            EXPECT_EQ(r->_observed_typed ? text_of(got.at(r.get())[slot]) : "-",
                      text_of(r->pseudo_hapl(static_cast<std::int32_t>(slot))))
                << *r->_id;
        }
    }
}

// "id parent1 parent2 first / second" per typed record in list order, or per
// untyped record (its phenotype name first) sorted.
std::vector<std::string> records(const TPopPedigree& pop, bool typed) {
    std::vector<std::string> out;
    for (const auto& r : pop.PhenPedDB.records()) {
        if (r->typed() == typed) {
            out.push_back(*r->_id + " " + *r->_parent1_id + " " + *r->_parent2_id + " " +
                          (typed ? text_of(r->pseudo_hapl(0)) : r->_name) + " / " +
                          text_of(r->pseudo_hapl(1)));
        }
    }
    if (!typed) {
        std::sort(out.begin(), out.end());
    }
    return out;
}

// Pedigree arrays and transmission orders are given by sibs, one per pedigree;
// no order means array order, as written. `absent` lists the parents without a
// record, which come back as such when a drawn sample is read.
struct Transmission {
    const char* name;
    const char* records;
    const char* array;
    const char* order;
    const char* absent;
    friend void PrintTo(const Transmission& t, std::ostream* os) { *os << t.name; }
};

class Draw : public ::testing::TestWithParam<Transmission> {
  protected:
    void SetUp() override {
        saved_log_ = log_stream;
        log_stream = &log_;
        set_console(&log_);
        saved_state_ = current_random_state();
        std::int32_t seed = -2024;
        random_uniform(seed);
    }
    void TearDown() override {
        current_random_state() = saved_state_;
        set_console(nullptr);
        log_stream = saved_log_;
    }

    std::unique_ptr<TPopPedigree> analysed(const std::string& records, bool from_file = true) {
        std::istringstream is(data(records));
        DataFileReader reader(is);
        const std::int32_t n = reader.read_individual_count(1);
        auto pop = std::make_unique<TPopPedigree>("Brand new pop",
                                                  AnalysisOptions{.from_data_file = from_file});
        pop->analyse(reader.read_sample(n), 1);
        return pop;
    }

  private:
    std::ostringstream log_;
    std::ostream* saved_log_ = nullptr;
    RandomState saved_state_;
};

// A drawn sample may carry the unseen allele "#" (an absent parent can draw
// it): its analysis goes on, where a sample read from the data file stops.
TEST_F(Draw, DrawnSampleWithTheUnseenAlleleIsAnalysed) {
    const auto drawn = analysed("A 0 0|# a|1 b;B 0 0|1 a|1 a", false);
    EXPECT_LT(drawn->PedDB._ln_likelihood, 0.0);
    EXPECT_GT(drawn->PedDB._ln_likelihood, kFloorLnLikelihood);
}

// Each draw matches its recomputation, and its text reads back as the typed
// individuals in reverse order.
TEST_P(Draw, UsesTheStreamAsRecomputedAndReadsBack) {
    const Transmission& t = GetParam();
    const auto pop = analysed(t.records);
    std::vector<std::size_t> order;
    const std::vector<std::string> array = words(t.array);
    for (std::size_t i = 0; i < array.size(); ++i) {
        ASSERT_EQ(i, pedigree_of(*pop, array[i])) << "pedigree array changed";
    }
    for (const std::string& sib : words(t.order)) {
        order.push_back(pedigree_of(*pop, sib));
        ASSERT_LT(order.back(), pop->PedDB._pedigrees.size()) << sib;
    }
    for (std::size_t i = 0; *t.order == 0 && i < pop->PedDB._pedigrees.size(); ++i) {
        order.push_back(i);
    }
    std::vector<std::string> unknown;
    for (const std::string& id : words(t.absent)) {
        unknown.push_back(id + " 0 0 UNKNOWN / -");
    }
    EXPECT_EQ(unknown, records(*pop, false));
    for (int draw = 0; draw < 3; ++draw) {
        SCOPED_TRACE("draw " + std::to_string(draw));
        const RandomState start = current_random_state();
        pop->draw_random_sample();
        expect_replayed(*pop, start, order);

        const SampleDescription drawn = pop->describe_random_sample();
        std::vector<std::string> typed = records(*pop, true);
        EXPECT_EQ(typed.size(), drawn.records.size())
            << "only individuals typed in the observed sample are described";
        // The description is what the sample would read back as from a file.
        std::ostringstream text;
        text << drawn.name << "\n";
        for (const SampleRecord& r : drawn.records) {
            text << r.id << " " << r.parent1 << " " << r.parent2 << "\n"
                 << r.allele_lines[0] << "\n"
                 << r.allele_lines[1] << "\n";
        }
        std::istringstream written(text.str());
        const SampleDescription reread =
            DataFileReader(written).read_sample(static_cast<std::int32_t>(typed.size()));
        ASSERT_EQ(reread.records.size(), drawn.records.size());
        for (std::size_t i = 0; i < drawn.records.size(); ++i) {
            EXPECT_EQ(reread.records[i].parent2, drawn.records[i].parent2);
            EXPECT_EQ(reread.records[i].allele_lines, drawn.records[i].allele_lines);
        }
        TPopPedigree copy("Brand new pop");
        copy.load_sample(drawn);
        copy.set_pseudo_haplotypes(copy.PhenPedDB, ' ');
        copy.PhenPedDB.add_missing_parents();
        EXPECT_EQ("(A random sample)", copy.Name);
        std::reverse(typed.begin(), typed.end());
        EXPECT_EQ(typed, records(copy, true));
        EXPECT_EQ(unknown, records(copy, false));
    }
}

// Three generations, G1 x G2 -> M, M x P -> C1, C2, beside H1 x H2 -> Hc: M's
// family transmits after its parents' family whatever the record order.
INSTANTIATE_TEST_SUITE_P(
    Data, Draw,
    ::testing::Values(
        Transmission{"SimpleFamilies",
                     "F 0 0|1 a|2 b;M1 0 0|3 a|1 b;K1 F M1|1 a|3 b;K2 F M1|2 b|1 b;"
                     "K3 F M2|1 b|4 a;K4 U V|2 a|3 b;K5 U V|4 b|4 a;S1 0 0|2 a|3 b;"
                     "S2 0 0|4 a|1 a;K6 U V|2 b|3 a",
                     "", "", "M2 U V"},
        // X is absent and has children by A (typed) and by B (absent).
        Transmission{"AbsentParentWithTwoPartners",
                     "C1 X A|11 p|12 q;C2 X A|13 p|11 q;C3 X B|12 q|14 p;C4 X B|11 p|14 q;"
                     "A 0 0|13 p|12 p;K1 U V|12 q|13 p;K2 U V|11 q|13 q;S1 0 0|11 p|14 q",
                     "", "", "B U V X"},
        // M's family comes first in the array and waits for a second pass.
        Transmission{"ChildrenFirstInArray",
                     "H1 0 0|2 a|3 b;H2 0 0|4 a|5 b;Hc H1 H2|2 a|4 a;G1 0 0|1 a|2 b;"
                     "G2 0 0|3 a|4 b;M G1 G2|1 a|3 b;P 0 0|5 a|6 b;C1 M P|1 a|5 b;C2 M P|3 b|6 a",
                     "C1 M Hc", "M Hc C1", ""},
        // Once M's parents' family has transmitted, M's family goes in the same pass.
        Transmission{"ParentsFirstInArray",
                     "H1 0 0|2 a|3 b;H2 0 0|4 a|5 b;Hc H1 H2|2 a|4 a;C1 M P|1 a|5 b;"
                     "C2 M P|3 b|6 a;M G1 G2|1 a|3 b;G1 0 0|1 a|2 b;G2 0 0|3 a|4 b;P 0 0|5 a|6 b",
                     "M C1 Hc", "M C1 Hc", ""},
        // A is a child of B and B a child of A: array order.
        Transmission{"ParentLinksInACycle",
                     "A B C|1 a|2 a;B A D|1 b|3 a;C 0 0|2 a|2 b;D 0 0|3 a|3 b", "", "", ""}),
    [](const ::testing::TestParamInfo<Transmission>& info) { return info.param.name; });

} // namespace
