// Individuals (completion of absent parents, printout) and the parent records
// with their reversing copy.
#include <gtest/gtest.h>

#include <iomanip>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pedigree/parent.h"
#include "pedigree/phen_ped.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::kIndent;
using pedtest::Sample;

std::vector<std::string> ids_in_order(const TPhenPedDB& db) {
    std::vector<std::string> ids;
    for (const auto& record : db.records()) {
        ids.push_back(*record->_id);
    }
    return ids;
}

TEST(PhenPedDB, AddMissingParentsPutsOneUnknownRecordPerAbsentParentAtTheHead) {
    // P is present but read after its child; X has unknown parents only.
    Sample s("C1 F M\n1\n1\nC2 M F\n1\n2\nC3 P 0\n2\n2\nP 0 0\n1\n2\nX 0 0\n2\n2\n");
    EXPECT_TRUE(s.people.add_missing_parents());
    // The walk starts at X (newest); C2 is the first to name absent parents.
    EXPECT_EQ((std::vector<std::string>{"F", "M", "X", "P", "C3", "C2", "C1"}),
              ids_in_order(s.people));
    for (const char* id : {"F", "M"}) {
        const TPhenPed& p = s.person(id);
        EXPECT_EQ(s.people.intern("0"), p._parent1_id);
        EXPECT_EQ(s.people.intern("0"), p._parent2_id);
        EXPECT_EQ("UNKNOWN", p._name);
        EXPECT_FALSE(p.typed());
        EXPECT_EQ(&p, s.people.find(p._id));
    }
    s.people.add_missing_parents();
    EXPECT_EQ(7U, s.people.size());
}

TEST(PhenPedPrintout, TypedShowsBothPseudoHaplotypesPaddedWithTheStreamFill) {
    Sample s("S F M   \n12 a\n14 b\n");
    s.people.add_missing_parents();
    std::ostringstream os;
    os << s.person("S") << s.person("F") << std::setfill('*') << s.person("S");
    const std::string stars = std::string(14, '*') + " " + std::string(9, '*') + "  ";
    EXPECT_EQ("S F M   \n" + kIndent + "12 a \n" + kIndent + "14 b \nF 0 0\n" + "S F M   \n" +
                  stars + "12 a \n" + stars + "14 b \n",
              os.str());
}

TEST(ParentDB, AssignmentCopiesInReverseOrder) {
    Sample s("A 0 0\n1\n1\nB 0 0\n1\n1\nC 0 0\n1\n1\n");
    TSmallGenDB shared;
    TParentDB source;
    for (const char* id : {"C", "B", "A"}) { // head insertion: A, B, C
        auto record = std::make_unique<TParent>();
        record->_phen = &s.person(id);
        record->_typed = *id == 'B' ? 1 : 0;
        record->_gen_db = *id == 'C' ? &shared : nullptr;
        source.push_front(std::move(record));
    }
    TParentDB copy;
    copy = source;
    copy = source; // flushes before copying again
    ASSERT_EQ(3U, copy.size());
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_TRUE(*copy.records()[k] == *source.records()[2 - k]);
        EXPECT_NE(copy.records()[k].get(), source.records()[2 - k].get());
    }
    EXPECT_EQ("C", *copy.records()[0]->_phen->_id);
}

} // namespace
