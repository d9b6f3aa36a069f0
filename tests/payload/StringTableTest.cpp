#include "payload/StringTable.h"

#include "PayloadTestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <vector>

namespace
{
using namespace payloadtest;

class StringTableTest : public ::testing::Test
{
protected:
    // Attaches a heap copy of the table built from strings.
    void AttachTable(const std::vector<TableString>& strings)
    {
        std::vector<u8> bytes = BuildTable(strings);
        void* buffer = HeapCopy(bytes);
        ASSERT_TRUE(m_view.Attach(buffer, (u32)strings.size()));
    }

    CStringTable m_view;
};

TEST_F(StringTableTest, Find_OneEntryTableFindsOnlyItsId)
{
    AttachTable({{500, "only", false}});
    EXPECT_EQ("only", RecordText(m_view.Find(500)));
    const u32 others[] = {0, 499, 501, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    for (u32 id : others)
        EXPECT_EQ(nullptr, m_view.Find(id)) << "id " << id;
}

TEST_F(StringTableTest, Find_ComparesIdsAsUnsigned)
{
    // Sorted as unsigned numbers: 0x80000000 comes after 0x7FFFFFFF.
    const std::vector<TableString> strings = {
        {0, "zero", false},
        {1, "one", true},
        {86, "0415", false},
        {0x7FFFFFFFu, "low", false},
        {0x80000000u, "high", true},
        {0x80000001u, "higher", false},
        {0xFFFFFFFFu, "top", false},
    };
    AttachTable(strings);
    for (const TableString& s : strings)
        EXPECT_EQ(s.text, RecordText(m_view.Find(s.id))) << "id " << s.id;
    const u32 missing[] = {2, 85, 87, 0x7FFFFFFEu, 0x80000002u, 0xFFFFFFFEu};
    for (u32 id : missing)
        EXPECT_EQ(nullptr, m_view.Find(id)) << "id " << id;
}

TEST_F(StringTableTest, Find_EveryEntryOfTablesOfManySizes)
{
    for (u32 count = 1; count <= 40; ++count)
    {
        std::vector<TableString> strings;
        for (u32 i = 0; i < count; ++i)
            strings.push_back({i * 3 + 1, "s" + std::to_string(i), (i % 2) != 0});
        CStringTable view;
        ASSERT_TRUE(view.Attach(HeapCopy(BuildTable(strings)), count));
        for (const TableString& s : strings)
        {
            EXPECT_EQ(s.text, RecordText(view.Find(s.id))) << "count " << count << " id " << s.id;
            EXPECT_EQ(nullptr, view.Find(s.id + 1)) << "count " << count << " id " << s.id + 1;
        }
        EXPECT_EQ(nullptr, view.Find(0)) << "count " << count;
    }
}

TEST_F(StringTableTest, Attach_RefusesEmptyTablesAndNullBuffers)
{
    void* buffer = HeapCopy(BuildTable({{1, "a", false}}));
    EXPECT_FALSE(m_view.Attach(buffer, 0));
    EXPECT_FALSE(m_view.Attach(nullptr, 1));
    EXPECT_EQ(0u, m_view.m_count);
    EXPECT_EQ(nullptr, m_view.m_buffer);
    EXPECT_EQ(nullptr, m_view.Find(1));
    free(buffer);  // a refused buffer stays the caller's
}

TEST_F(StringTableTest, Attach_SetsTheViewAndReplacesAnEarlierTable)
{
    AttachTable({{1, "first", false}, {2, "second", false}});
    EXPECT_EQ(2u, m_view.m_count);
    EXPECT_EQ(m_view.m_buffer, (const void*)m_view.m_index);
    EXPECT_EQ((const u8*)m_view.m_buffer + 16, m_view.m_texts);

    AttachTable({{3, "third", true}});
    EXPECT_EQ(1u, m_view.m_count);
    EXPECT_EQ(nullptr, m_view.Find(1));
    EXPECT_EQ("third", RecordText(m_view.Find(3)));
}

TEST_F(StringTableTest, Release_LeavesAnEmptyViewThatFindsNothing)
{
    AttachTable({{1, "a", false}});
    m_view.Release();
    EXPECT_EQ(0u, m_view.m_count);
    EXPECT_EQ(nullptr, m_view.m_buffer);
    EXPECT_EQ(nullptr, m_view.m_index);
    EXPECT_EQ(nullptr, m_view.m_texts);
    EXPECT_EQ(nullptr, m_view.Find(1));
    m_view.Release();

    CStringTable fresh;
    EXPECT_EQ(nullptr, fresh.Find(0));
}

TEST_F(StringTableTest, IsWellFormed_RefusesTablesThatWouldBeReadOutside)
{
    const std::vector<u8> good = BuildTable({{1, "one", false}, {5, "five", true}, {9, "nine", false}});
    struct Case
    {
        const char* name;
        std::vector<u8> bytes;
        u32 size;
        u32 count;
        int wellFormed;
    };
    std::vector<u8> descending = BuildTable({{5, "a", false}, {1, "b", false}});
    std::vector<u8> repeated = BuildTable({{5, "a", false}, {5, "b", false}});
    std::vector<u8> farOffset = good;
    PutWord(farOffset, 4 + 8, (u32)good.size());
    std::vector<u8> oddOffset = good;
    PutWord(oddOffset, 4, 2);
    std::vector<u8> longRecord = good;
    PutWord(longRecord, 24 + Word(good, 20), 0x80000000u | 1000);
    std::vector<u8> hugeRecord = good;
    PutWord(hugeRecord, 24 + Word(good, 4), 0x1FFFFFFFu);
    const Case cases[] = {
        {"good", good, (u32)good.size(), 3, 1},
        {"count above the index room", good, 20, 3, 0},
        {"count 0", good, (u32)good.size(), 0, 0},
        {"cut inside the last record", good, (u32)good.size() - 12, 3, 0},
        {"ids descending", descending, (u32)descending.size(), 2, 0},
        {"id repeated", repeated, (u32)repeated.size(), 2, 0},
        {"offset past the end", farOffset, (u32)farOffset.size(), 3, 0},
        {"offset not on a word", oddOffset, (u32)oddOffset.size(), 3, 0},
        {"8-bit record longer than the table", longRecord, (u32)longRecord.size(), 3, 0},
        {"UTF-16 record longer than the table", hugeRecord, (u32)hugeRecord.size(), 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.wellFormed, CStringTable::IsWellFormed(c.bytes.data(), c.size, c.count)) << c.name;
    EXPECT_FALSE(CStringTable::IsWellFormed(nullptr, 100, 1));
}
}
