// Random samples in linkage equilibrium: what a drawn sample holds, the text it
// is written as, and the exact use of the random stream, recomputed here from a
// saved generator state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"

namespace {

// X is absent and has children by A (typed) and by B (absent); U and V are
// absent; S1 stands alone.
const char* const kUntypedParents = R"(8 Families with untyped parents
C1 X A
11 p
12 q
C2 X A
13 p
11 q
C3 X B
12 q
14 p
C4 X B
11 p
14 q
A 0 0
13 p
12 p
K1 U V
12 q
13 p
K2 U V
11 q
13 q
S1 0 0
11 p
14 q
)";

// No parent is a sib and no untyped parent heads two families (the typed F
// does, which needs no special care).
const char* const kSimpleFamilies = R"(10 Simple families
F 0 0
1 a
2 b
M1 0 0
3 a
1 b
K1 F M1
1 a
3 b
K2 F M1
2 b
1 b
K3 F M2
1 b
4 a
K4 U V
2 a
3 b
K5 U V
4 b
4 a
S1 0 0
2 a
3 b
S2 0 0
4 a
1 a
K6 U V
2 b
3 a
)";

std::string text_of(const TPopHaplotype* h) {
    if (h == nullptr) {
        return "-";
    }
    std::string text;
    for (std::int32_t k = 0; k < h->size(); ++k) {
        text += (k == 0 ? "" : " ") + h->allele(k)->_name;
    }
    return text;
}

const TPhenPed* individual(const TPopPedigree& pop, const std::string& id) {
    for (const auto& record : pop.PhenPedDB.records()) {
        if (*record->_id == id) {
            return record.get();
        }
    }
    ADD_FAILURE() << "no individual " << id;
    return nullptr;
}

std::size_t pedigree_with_sib(const TPopPedigree& pop, const std::string& id) {
    const auto& peds = pop.PedDB._pedigrees;
    for (std::size_t i = 0; i < peds.size(); ++i) {
        for (const TPhenPed* sib : peds[i]._sibs) {
            if (*sib->_id == id) {
                return i;
            }
        }
    }
    ADD_FAILURE() << "no pedigree with sib " << id;
    return peds.size();
}

bool same_state(const RandomState& a, const RandomState& b) {
    return std::memcmp(a.table, b.table, sizeof a.table) == 0 && a.next == b.next &&
           a.next_lag == b.next_lag;
}

// A draw recomputed from the generator state it started from: one
// linkage-equilibrium genotype per parent record in list order, then two
// random_index draws per sib, pedigree by pedigree in `order`.
struct Replay {
    std::map<const TPhenPed*, std::array<const TPopHaplotype*, 2>> haplotypes;
    RandomState end;
};

Replay replay_draw(const TPopPedigree& pop, const RandomState& start,
                   const std::vector<std::size_t>& order) {
    const RandomState actual_end = current_random_state();
    current_random_state() = start;
    Replay r;
    std::int32_t seed = 1;
    for (const auto& record : pop.PedDB._parents.records()) {
        for (const TPopHaplotype*& h : r.haplotypes[record->_phen]) {
            h = nullptr;
            while (h == nullptr) {
                h = pop.HaplDB.draw_le_haplotype(random_uniform(seed));
            }
        }
    }
    static const std::int32_t kTwo = 2;
    for (std::size_t i : order) {
        const TPedigree& p = pop.PedDB._pedigrees[i];
        for (const TPhenPed* sib : p._sibs) {
            const auto from1 = r.haplotypes.at(p._parent1->_phen);
            const auto from2 = r.haplotypes.at(p._parent2->_phen);
            const TPopHaplotype* first = from1[static_cast<std::size_t>(random_index(kTwo))];
            const TPopHaplotype* second = from2[static_cast<std::size_t>(random_index(kTwo))];
            r.haplotypes[sib] = {first, second};
        }
    }
    r.end = current_random_state();
    current_random_state() = actual_end;
    return r;
}

std::vector<std::size_t> array_order(const TPopPedigree& pop) {
    std::vector<std::size_t> order(pop.PedDB._pedigrees.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    return order;
}

// Every individual typed in the observed sample holds the recomputed
// genotype; the others hold none.
void expect_replayed(const TPopPedigree& pop, const Replay& r) {
    for (const auto& record : pop.PhenPedDB.records()) {
        SCOPED_TRACE("individual " + *record->_id);
        if (!record->_observed_typed) {
            EXPECT_FALSE(record->typed());
            continue;
        }
        const auto found = r.haplotypes.find(record.get());
        ASSERT_NE(r.haplotypes.end(), found);
        EXPECT_EQ(text_of(found->second[0]), text_of(record->pseudo_hapl(0)));
        EXPECT_EQ(text_of(found->second[1]), text_of(record->pseudo_hapl(1)));
    }
    EXPECT_TRUE(same_state(r.end, current_random_state()))
        << "the draw used the random stream differently";
}

using Record = std::tuple<std::string, std::string, std::string, std::string, std::string>;

std::vector<Record> typed_records(const TPopPedigree& pop) {
    std::vector<Record> out;
    for (const auto& record : pop.PhenPedDB.records()) {
        if (record->typed()) {
            out.emplace_back(*record->_id, *record->_parent1_id, *record->_parent2_id,
                             text_of(record->pseudo_hapl(0)), text_of(record->pseudo_hapl(1)));
        }
    }
    return out;
}

std::set<Record> untyped_records(const TPopPedigree& pop) {
    std::set<Record> out;
    for (const auto& record : pop.PhenPedDB.records()) {
        if (!record->typed()) {
            out.emplace(*record->_id, *record->_parent1_id, *record->_parent2_id, record->_name,
                        text_of(record->pseudo_hapl(1)));
        }
    }
    return out;
}

class RandomSample : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_log_ = log_stream;
        log_stream = &log_;
        saved_console_ = std::cout.rdbuf(console_.rdbuf());
        std::int32_t seed = -2024;
        random_uniform(seed);
    }
    void TearDown() override {
        std::cout.rdbuf(saved_console_);
        log_stream = saved_log_;
    }

    // The sample (count line first) read and analysed like a data file.
    std::unique_ptr<TPopPedigree> analysed(const std::string& sample) {
        std::istringstream is(sample);
        std::int32_t n = 0;
        is >> n;
        auto pop = std::make_unique<TPopPedigree>("Brand new pop");
        std::int32_t n_initial = 1;
        pop->analyse(n_initial, is, n, log_, log_, 0);
        return pop;
    }

    // Draws one sample and checks it against its recomputation.
    void draw_and_replay(TPopPedigree& pop, const std::vector<std::size_t>& order) {
        const RandomState start = current_random_state();
        pop.draw_random_sample();
        expect_replayed(pop, replay_draw(pop, start, order));
    }

  private:
    std::ostringstream log_;
    std::ostringstream console_;
    std::ostream* saved_log_ = nullptr;
    std::streambuf* saved_console_ = nullptr;
};

TEST_F(RandomSample, TextReadsBackAsTheTypedIndividualsReversed) {
    const auto pop = analysed(kUntypedParents);
    pop->draw_random_sample();
    std::stringstream text;
    pop->print_random_sample(text);
    const std::string written = text.str();
    ASSERT_EQ("(A random sample)\n", written.substr(0, 18));
    // Three lines per typed individual; the absent parents are not written.
    EXPECT_EQ(1 + 3 * 8, std::count(written.begin(), written.end(), '\n'));

    TPopPedigree copy("Brand new pop");
    std::int32_t n = 8;
    copy.read_pedigrees(text, n);
    copy.set_pseudo_haplotypes(copy.PhenPedDB, ' ');
    EXPECT_EQ("(A random sample)", copy.Name);
    std::vector<Record> expected = typed_records(*pop);
    ASSERT_EQ(8U, expected.size());
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(expected, typed_records(copy));

    // The absent parents come back as records of their own.
    EXPECT_TRUE(untyped_records(copy).empty());
    copy.PhenPedDB.add_missing_parents();
    const std::set<Record> unknown = {{"B", "0", "0", "UNKNOWN", "-"},
                                      {"U", "0", "0", "UNKNOWN", "-"},
                                      {"V", "0", "0", "UNKNOWN", "-"},
                                      {"X", "0", "0", "UNKNOWN", "-"}};
    EXPECT_EQ(unknown, untyped_records(copy));
    EXPECT_EQ(unknown, untyped_records(*pop));
}

TEST_F(RandomSample, SimpleFamiliesUseTheStreamInRecordThenArrayOrder) {
    const auto pop = analysed(kSimpleFamilies);
    ASSERT_EQ(5U, pop->PedDB._pedigrees.size());
    for (int draw = 0; draw < 3; ++draw) {
        SCOPED_TRACE("draw " + std::to_string(draw));
        draw_and_replay(*pop, array_order(*pop));
    }
}

TEST_F(RandomSample, AbsentParentWithTwoPartnersTransmitsToBothFamilies) {
    const auto pop = analysed(kUntypedParents);
    const TPhenPed* x = individual(*pop, "X");
    const std::size_t with_a = pedigree_with_sib(*pop, "C1");
    const std::size_t with_b = pedigree_with_sib(*pop, "C3");
    ASSERT_NE(with_a, with_b);
    for (int draw = 0; draw < 5; ++draw) {
        SCOPED_TRACE("draw " + std::to_string(draw));
        const RandomState start = current_random_state();
        pop->draw_random_sample();
        const Replay r = replay_draw(*pop, start, array_order(*pop));
        expect_replayed(*pop, r);
        const auto& from_x = r.haplotypes.at(x);
        for (std::size_t i : {with_a, with_b}) {
            const TPedigree& p = pop->PedDB._pedigrees[i];
            const std::int32_t slot = p._parent1->_phen == x ? 0 : 1;
            ASSERT_EQ(x, slot == 0 ? p._parent1->_phen : p._parent2->_phen);
            for (const TPhenPed* sib : p._sibs) {
                SCOPED_TRACE("sib " + *sib->_id);
                const std::string got = text_of(sib->pseudo_hapl(slot));
                EXPECT_TRUE(got == text_of(from_x[0]) || got == text_of(from_x[1])) << got;
            }
        }
        EXPECT_FALSE(x->typed());
    }
}

// Three generations: G1 x G2 -> M, M x P -> C1, C2, and an unrelated family
// H1 x H2 -> Hc. Record order decides the pedigree array; the expected
// transmission order has M's family after its parents' family.
struct Generations {
    const char* name;
    const char* data;
    std::vector<std::string> array_by_sib;
    std::vector<std::string> transmission_by_sib;
};

class ThreeGenerations : public RandomSample, public ::testing::WithParamInterface<Generations> {};

TEST_P(ThreeGenerations, MiddleIndividualPassesOnWhatItReceived) {
    const Generations& g = GetParam();
    const auto pop = analysed(g.data);
    for (std::size_t i = 0; i < g.array_by_sib.size(); ++i) {
        ASSERT_EQ(i, pedigree_with_sib(*pop, g.array_by_sib[i])) << "pedigree array changed";
    }
    std::vector<std::size_t> order;
    for (const std::string& sib : g.transmission_by_sib) {
        order.push_back(pedigree_with_sib(*pop, sib));
    }
    for (int draw = 0; draw < 5; ++draw) {
        SCOPED_TRACE("draw " + std::to_string(draw));
        draw_and_replay(*pop, order);
        // Every parent here is typed and keeps its haplotypes, so each sib can
        // be checked against them directly.
        for (const TPedigree& p : pop->PedDB._pedigrees) {
            for (const TPhenPed* sib : p._sibs) {
                SCOPED_TRACE("sib " + *sib->_id);
                int slot = 0;
                for (const TPhenPed* parent : {p._parent1->_phen, p._parent2->_phen}) {
                    const std::string got = text_of(sib->pseudo_hapl(slot++));
                    EXPECT_TRUE(got == text_of(parent->pseudo_hapl(0)) ||
                                got == text_of(parent->pseudo_hapl(1)))
                        << got << " not from " << *parent->_id;
                }
            }
        }
        std::stringstream text;
        pop->print_random_sample(text);
        EXPECT_NE(std::string::npos, text.str().find("\nM G1 G2\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(RandomSample, ThreeGenerations,
                         ::testing::Values(
                             // Children read last, so M's family comes first in the array and waits
                             // for a second pass.
                             Generations{"ChildrenFirstInArray",
                                         R"(9 Three generations
H1 0 0
2 a
3 b
H2 0 0
4 a
5 b
Hc H1 H2
2 a
4 a
G1 0 0
1 a
2 b
G2 0 0
3 a
4 b
M G1 G2
1 a
3 b
P 0 0
5 a
6 b
C1 M P
1 a
5 b
C2 M P
3 b
6 a
)",
                                         {"C1", "M", "Hc"},
                                         {"M", "Hc", "C1"}},
                             // M's parents' family comes first: once it has transmitted it no
                             // longer holds M's family back within the same pass.
                             Generations{"ParentsFirstInArray",
                                         R"(9 Three generations
H1 0 0
2 a
3 b
H2 0 0
4 a
5 b
Hc H1 H2
2 a
4 a
C1 M P
1 a
5 b
C2 M P
3 b
6 a
M G1 G2
1 a
3 b
G1 0 0
1 a
2 b
G2 0 0
3 a
4 b
P 0 0
5 a
6 b
)",
                                         {"M", "C1", "Hc"},
                                         {"M", "C1", "Hc"}}),
                         [](const ::testing::TestParamInfo<Generations>& info) {
                             return info.param.name;
                         });

// A is a child of B, and B a child of A: no family can wait for the other, so
// both transmit in array order.
TEST_F(RandomSample, ParentLinksInACycleTransmitInArrayOrder) {
    const auto pop = analysed(R"(4 Cycle
A B C
1 a
2 a
B A D
1 b
3 a
C 0 0
2 a
2 b
D 0 0
3 a
3 b
)");
    ASSERT_EQ(2U, pop->PedDB._pedigrees.size());
    draw_and_replay(*pop, array_order(*pop));
}

} // namespace
