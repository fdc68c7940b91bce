// The addressees of an import: found or created by ID in order of first appearance, and the
// bounds of their page lists.
#include "addressees/cKVPersons.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kuvrion {
namespace {

TEST(KVPersons, FindOrCreateInOrderOfFirstAppearance)
{
    cKVPersons persons;
    const auto b = persons.PersonByID("B");
    persons.PersonByID("A");
    EXPECT_EQ(persons.PersonByID("B"), b);      // the same object, not a copy
    for (const char* id : {"b", "12", "12 "}) { // letter case and a trailing blank make new IDs
        persons.PersonByID(id);
    }
    ASSERT_EQ(persons.Count(), 5);
    EXPECT_EQ(persons.PersonByIndex(4).PersID(), "12 ");
    b->AddPage(9);
    b->AddPage(7);
    EXPECT_EQ(persons.PersonByIndex(0).PageList(), (std::vector<std::int32_t>{9, 7}));
    EXPECT_EQ(persons.PersonByIndex(0).PagePos(2), 7);

    persons.Clear();
    EXPECT_EQ(persons.Count(), 0);
    EXPECT_EQ(b->Pages(), 2); // a holder keeps its addressee alive
    persons.PersonByID("A");
    EXPECT_EQ(persons.PersonByID("B")->Pages(), 0); // the index went with the list
    EXPECT_EQ(persons.PersonByIndex(1).PersID(), "B");
}

TEST(KVPersons, RangesAndPageLimit)
{
    cKVPersons persons;
    EXPECT_THROW(persons.PersonByIndex(0), std::out_of_range);
    const auto p = persons.PersonByID("X");
    EXPECT_THROW(persons.PersonByIndex(-1), std::out_of_range);
    EXPECT_THROW(p->PagePos(1), std::out_of_range);
    for (std::int32_t i = 1; i <= cKVPerson::kMaxPages; ++i) {
        p->AddPage(i);
    }
    EXPECT_THROW(p->AddPage(1), std::overflow_error);
    EXPECT_EQ(p->Pages(), 32767);
    EXPECT_THROW(p->PagePos(32768), std::out_of_range);
}

} // namespace
} // namespace kuvrion
