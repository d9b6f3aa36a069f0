#include "tools/packer/StringSource.h"

#include "payload/StringTable.h"
#include "PayloadTestSupport.h"
#include "tools/packer/ItemPacker.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

namespace
{
using namespace payloadtest;

std::vector<u8> Bytes(const std::string& text)
{
    return std::vector<u8>(text.begin(), text.end());
}

class StringSourceTest : public ::testing::Test
{
protected:
    int Parse(const std::string& text)
    {
        return ParseStringSource("en.txt", Bytes(text), m_strings, m_error);
    }

    std::vector<SourceString> m_strings;
    std::string m_error;
};

TEST_F(StringSourceTest, Parse_RefusesMalformedLinesNamingFileAndLine)
{
    struct Case
    {
        const char* name;
        const char* source;
        const char* error;
    };
    const Case cases[] = {
        {"no tab", "1\tone\n2 two\n", "en.txt:2: expected <id><TAB><text>"},
        {"id not a number", "# c\nx1\tone\n", "en.txt:2: the id \"x1\" is not a decimal number below 2^32"},
        {"negative id", "-1\tone\n", "en.txt:1: the id \"-1\" is not a decimal number below 2^32"},
        {"id beyond 32 bits", "4294967296\tbig\n", "en.txt:1: the id \"4294967296\" is not a decimal number below 2^32"},
        {"space before the id", " 1\tone\n", "en.txt:1: the id \" 1\" is not a decimal number below 2^32"},
        {"empty id", "\tone\n", "en.txt:1: the id \"\" is not a decimal number below 2^32"},
        {"unknown escape", "\n\n1\tC:\\path\n", "en.txt:3: unknown escape \\p"},
        {"trailing backslash", "1\tend\\\n", "en.txt:1: a backslash ends the text (write \\\\ for a backslash)"},
        {"invalid UTF-8", "1\tbad \xC3\x28 byte\n", "en.txt:1: the text is not valid UTF-8"},
        {"overlong UTF-8", "1\t\xC0\xAF\n", "en.txt:1: the text is not valid UTF-8"},
        {"encoded surrogate", "1\t\xED\xA0\x80\n", "en.txt:1: the text is not valid UTF-8"},
        {"repeated id", "7\tone\n# note\n8\ttwo\n7\tthree\n", "en.txt:4: id 7 is already defined on line 1"},
    };
    for (const Case& c : cases)
    {
        m_error.clear();
        EXPECT_FALSE(Parse(c.source)) << c.name;
        EXPECT_EQ(c.error, m_error) << c.name;
    }
}

TEST_F(StringSourceTest, Parse_TakesTextsAsWrittenWithEscapes)
{
    struct Case
    {
        const char* name;
        const char* source;
        std::u16string text;
    };
    const Case cases[] = {
        {"plain", "5\tHello", u"Hello"},
        {"spaces kept", "5\t  padded text  \n", u"  padded text  "},
        {"escapes", "5\ta\\nb\\tc\\\\d\n", u"a\nb\tc\\d"},
        {"backslash before n kept", "5\tC:\\\\new\n", u"C:\\new"},
        {"second tab is text", "5\ta\tb\n", u"a\tb"},
        {"empty text", "5\t\n", u""},
        {"CRLF line end", "5\tline\r\n", u"line"},
        {"byte-order mark", "\xEF\xBB\xBF" "5\tmarked\n", u"marked"},
        {"Polish letters", "5\tza\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\n", u"za\u017C\u00F3\u0142\u0107"},
        {"outside the BMP", "5\t\xF0\x9F\x98\x80\n", u"\U0001F600"},
        {"comment and blank lines", "# heading\n\n   \n5\tafter\n", u"after"},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(Parse(c.source)) << c.name << ": " << m_error;
        ASSERT_EQ(1u, m_strings.size()) << c.name;
        EXPECT_EQ(5u, m_strings[0].id) << c.name;
        EXPECT_TRUE(c.text == m_strings[0].text) << c.name;
    }
}

TEST_F(StringSourceTest, Parse_SortsByUnsignedId)
{
    ASSERT_TRUE(Parse("2147483648\thigh\n4294967295\ttop\n2147483647\tlow\n0\tzero\n")) << m_error;
    const u32 expected[] = {0, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
    ASSERT_EQ(4u, m_strings.size());
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(expected[i], m_strings[i].id) << "position " << i;
}

class StringTableBuildTest : public ::testing::Test
{
protected:
    std::vector<SourceString> Strings(const std::string& source)
    {
        std::vector<SourceString> strings;
        std::string error;
        EXPECT_TRUE(ParseStringSource("t.txt", Bytes(source), strings, error)) << error;
        return strings;
    }
};

TEST_F(StringTableBuildTest, Build_GivesATableTheViewReadsInBothWidths)
{
    const char* source = "9\tnine\n2147483648\thigh\n2147483647\tlow\n3\tnine\n1\t\n";
    for (int narrow = 0; narrow <= 1; ++narrow)
    {
        std::vector<SourceString> strings = Strings(source);
        std::vector<u8> table;
        std::string error;
        ASSERT_TRUE(BuildStringTable(strings, narrow, table, error)) << error;
        ASSERT_TRUE(CStringTable::IsWellFormed(table.data(), (u32)table.size(), 5)) << "narrow " << narrow;
        CStringTable view;
        ASSERT_TRUE(view.Attach(HeapCopy(table), 5));
        struct Expect
        {
            u32 id;
            const char* text;
        };
        const Expect expect[] = {{1, ""}, {3, "nine"}, {9, "nine"}, {0x7FFFFFFFu, "low"}, {0x80000000u, "high"}};
        for (const Expect& e : expect)
        {
            const u32* record = view.Find(e.id);
            ASSERT_NE(nullptr, record) << "narrow " << narrow << " id " << e.id;
            EXPECT_EQ(narrow ? 0x80000000u : 0u, *record & 0x80000000u) << "id " << e.id;
            EXPECT_EQ(e.text, RecordText(record)) << "narrow " << narrow << " id " << e.id;
            // Each text is followed by a terminator for readers that need one.
            const u8* text = (const u8*)(record + 1);
            size_t unit = narrow ? 1 : 2;
            EXPECT_EQ(0, text[strlen(e.text) * unit]) << "id " << e.id;
            EXPECT_EQ(0u, ((const u8*)record - view.m_texts) % 4) << "id " << e.id;
        }
        EXPECT_EQ(nullptr, view.Find(2));
    }
}

TEST_F(StringTableBuildTest, Build_RefusesAnEmptyTableAndNarrowTextsOutsideTheBmp)
{
    std::vector<u8> table;
    std::string error;
    EXPECT_FALSE(BuildStringTable(std::vector<SourceString>(), 0, table, error));
    std::vector<SourceString> strings = Strings("4\t\xF0\x9F\x98\x80\n");
    EXPECT_TRUE(BuildStringTable(strings, 0, table, error)) << error;
    EXPECT_FALSE(BuildStringTable(strings, 1, table, error));
}

class PackItemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::vector<u8> block = TestKeyBlock();
        ASSERT_TRUE(m_guard.Load(block.data(), 968));
    }

    CGuard m_guard;
};

TEST_F(PackItemTest, PackItem_PadsToTheRequestedStoredSize)
{
    struct Case
    {
        const char* name;
        size_t dataSize;
        u32 storedSize;
        int packed;
    };
    const Case cases[] = {
        {"smallest", 2000, 0, 1},
        {"target file size", 2000, 3128, 1},
        {"extra document size", 2000, 759160, 1},
        {"not a multiple of 8", 2000, 3129, 0},
        {"too small for the stream", 2000, 32, 0},
        {"too small for the header", 0, 16, 0},
    };
    std::vector<u8> smallest;
    for (const Case& c : cases)
    {
        std::vector<u8> data = SampleData(c.dataSize);
        std::vector<u8> item;
        std::string error;
        int packed = PackItem(m_guard, data.data(), (u32)data.size(), 42, c.storedSize, item, error);
        EXPECT_EQ(c.packed, packed) << c.name;
        if (!packed)
        {
            EXPECT_FALSE(error.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(0u, item.size() % 8) << c.name;
        if (c.storedSize)
        {
            EXPECT_EQ(c.storedSize, item.size()) << c.name;
        }
        u32 size = (u32)item.size();
        u32 user = 0;
        u8* out = (u8*)m_guard.DecodeItem(item.data(), size, &user);
        ASSERT_NE(nullptr, out) << c.name;
        EXPECT_EQ(data.size(), size) << c.name;
        EXPECT_EQ(42u, user) << c.name;
        EXPECT_EQ(0, memcmp(data.data(), out, data.size())) << c.name;
        free(out);
    }
}

TEST_F(PackItemTest, PackItem_RefusesWithoutKeyBlock)
{
    CGuard empty;
    std::vector<u8> data = SampleData(10);
    std::vector<u8> item;
    std::string error;
    EXPECT_FALSE(PackItem(empty, data.data(), 10, 0, 0, item, error));
    EXPECT_EQ("no key block loaded", error);
}

TEST_F(PackItemTest, PackItem_StringTableRoundTripsThroughTheDecoder)
{
    std::vector<SourceString> strings;
    std::string error;
    ASSERT_TRUE(ParseStringSource("s.txt", Bytes("20\ttwenty\n10\tten\n"), strings, error)) << error;
    std::vector<u8> table;
    ASSERT_TRUE(BuildStringTable(strings, 0, table, error)) << error;
    std::vector<u8> item;
    ASSERT_TRUE(PackItem(m_guard, table.data(), (u32)table.size(), (u32)strings.size(), 0, item, error)) << error;

    u32 size = (u32)item.size();
    u32 count = 0;
    void* decoded = m_guard.DecodeItem(item.data(), size, &count);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(2u, count);
    ASSERT_TRUE(CStringTable::IsWellFormed(decoded, size, count));
    CStringTable view;
    ASSERT_TRUE(view.Attach(decoded, count));
    EXPECT_EQ("ten", RecordText(view.Find(10)));
    EXPECT_EQ("twenty", RecordText(view.Find(20)));
}
}
