// Individuals and their database: interning, completion of absent parents,
// printouts; parent records and their reversing copy.
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

TEST(PhenPedDB, InternsEachIdentifierTextOnce) {
    Sample s("F 0 0\n1\n2\nS F M\n1\n1\n");
    const TPhenPed& f = s.person("F");
    const TPhenPed& child = s.person("S");
    EXPECT_EQ(f._id, child._parent1_id);
    EXPECT_EQ(f._parent1_id, f._parent2_id);
    EXPECT_EQ(s.people.intern("M"), child._parent2_id);
    EXPECT_NE(s.people.intern("m"), child._parent2_id); // case-sensitive
    // Flushing drops the records, not the identifiers they pointed at.
    const std::string* m = child._parent2_id;
    s.people.flush();
    EXPECT_EQ(0U, s.people.size());
    EXPECT_EQ(m, s.people.intern("M"));
    EXPECT_EQ("M", *m);
}

TEST(PhenPedDB, AddMissingParentsPutsOneUnknownRecordPerAbsentParentAtTheHead) {
    // P is present but read after its child; X has unknown parents only.
    Sample s("C1 F M\n1\n1\n"
             "C2 M F\n1\n2\n"
             "C3 P 0\n2\n2\n"
             "P 0 0\n1\n2\n"
             "X 0 0\n2\n2\n");
    EXPECT_TRUE(s.people.add_missing_parents());
    // The walk starts at X (newest); C2 is the first to name absent parents.
    EXPECT_EQ((std::vector<std::string>{"F", "M", "X", "P", "C3", "C2", "C1"}),
              ids_in_order(s.people));
    const std::string* unknown = s.people.intern("0");
    for (const char* id : {"F", "M"}) {
        const TPhenPed& p = s.person(id);
        EXPECT_EQ(s.people.intern(id), p._id);
        EXPECT_EQ(unknown, p._parent1_id);
        EXPECT_EQ(unknown, p._parent2_id);
        EXPECT_EQ("UNKNOWN", p._name);
        EXPECT_FALSE(p.typed());
        EXPECT_TRUE(p._gen_list.empty());
        EXPECT_EQ(0, p._is_parent);
        EXPECT_EQ(&p, s.people.find(p._id));
    }
    // A second call finds every parent.
    s.people.add_missing_parents();
    EXPECT_EQ(7U, s.people.size());
}

TEST(PhenPedPrintout, TypedShowsBothPseudoHaplotypesUntypedOnlyTheIdentifiers) {
    Sample s("S F M   \n12 a\n14 b\n");
    s.people.add_missing_parents();
    std::ostringstream os;
    os << s.person("S") << s.person("F");
    EXPECT_EQ("S F M   \n" + kIndent + "12 a \n" + kIndent + "14 b \n" + "F 0 0\n", os.str());
}

TEST(PhenPedPrintout, PadsWithTheStreamFill) {
    Sample s("S 0 0\n1\n2\n");
    std::ostringstream os;
    os << std::setfill('*') << s.person("S");
    EXPECT_EQ("S 0 0\n" + std::string(14, '*') + " " + std::string(9, '*') + "  1 \n" +
                  std::string(14, '*') + " " + std::string(9, '*') + "  2 \n",
              os.str());
}

TEST(PhenPedDB, PrintTypedWritesReadableRecordsAndSkipsUntyped) {
    Sample s("A 0 0\n  12   a\n14 b  \nS A B\n12 a\n12 b\n");
    s.people.add_missing_parents(); // B, untyped, at the head
    std::ostringstream os;
    s.people.print_typed(os);
    const std::string text = os.str();
    EXPECT_EQ("S A B\n12 a \n12 b \nA 0 0\n12 a \n14 b \n", text);
    // Read back, the text gives the same individuals.
    Sample again(text);
    EXPECT_EQ((std::vector<std::string>{"A", "S"}), ids_in_order(again.people));
    EXPECT_EQ("12 a ", again.person("S")._allele_lines[0]);
}

TEST(ParentDB, AssignmentCopiesInReverseOrder) {
    Sample s("A 0 0\n1\n1\nB 0 0\n1\n1\nC 0 0\n1\n1\n");
    TPhenPed* a = &s.person("A");
    TPhenPed* b = &s.person("B");
    TPhenPed* c = &s.person("C");
    TSmallGenDB shared;
    TParentDB source;
    // Head insertion: the source traverses A, B, C.
    for (TPhenPed* p : {c, b, a}) {
        auto record = std::make_unique<TParent>();
        record->_phen = p;
        record->_typed = p == b ? 1 : 0;
        record->_gen_db = p == c ? &shared : nullptr;
        source.push_front(std::move(record));
    }
    TParentDB copy;
    copy = source;
    copy = source; // flushes before copying again
    ASSERT_EQ(3U, copy.size());
    ASSERT_EQ(3U, source.size());
    for (std::size_t k = 0; k < 3; ++k) {
        const TParent& original = *source.records()[2 - k];
        const TParent& copied = *copy.records()[k];
        EXPECT_TRUE(copied == original);
        EXPECT_NE(&copied, &original);
    }
    EXPECT_EQ(c, copy.records()[0]->_phen);
    EXPECT_EQ(a, copy.records()[2]->_phen);
    TParent changed = *source.records()[0];
    changed._typed = 1;
    EXPECT_FALSE(changed == *source.records()[0]);
}

} // namespace
