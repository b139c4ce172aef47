// The individual database: completion of absent parents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pedigree/phen_ped.h"
#include "tests/pedigree/sample_builder.h"

namespace {

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

} // namespace
