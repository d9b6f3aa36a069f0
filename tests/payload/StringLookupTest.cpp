#include "core/Install.h"

#include "payload/Catalogue.h"
#include "PayloadTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
using namespace payloadtest;

// An installer object whose four views hold small tables of the test's own,
// so the lookup chain can be followed id by id.
class StringLookupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Attach(m_install.m_langStrings[0], {{1, "lang0 one", false}, {2, "lang0 two", true}, {7, "lang0 seven", false}});
        Attach(m_install.m_langStrings[1], {{1, "lang1 one", false}, {5, "lang1 five", false}});
        Attach(m_install.m_commonStrings,
            {{1, "common one", false}, {3, "common three", false}, {0x80000000u, "common high", false}});
        Attach(m_install.m_setupStrings, {{1, "setup one", false}, {3, "setup three", false}, {4, "setup four", true},
            {5, "setup five", false}, {0x7FFFFFFFu, "setup low", false}});
    }

    static void Attach(CStringTable& view, const std::vector<TableString>& strings)
    {
        ASSERT_TRUE(view.Attach(HeapCopy(BuildTable(strings)), (u32)strings.size()));
    }

    static std::string Narrow(const GString& text)
    {
        std::string out;
        const wch* p = text.WideText();
        for (int i = 0; i < text.Length(); ++i)
            out += (char)p[i];
        return out;
    }

    CInstall m_install;
};

TEST_F(StringLookupTest, FindString_FollowsLanguageThenCommonThenSetup)
{
    struct Case
    {
        u32 id;
        const char* language0;
        const char* language1;
    };
    const Case cases[] = {
        {1, "lang0 one", "lang1 one"},
        {2, "lang0 two", "<null>"},
        {7, "lang0 seven", "<null>"},
        {3, "common three", "common three"},
        {4, "setup four", "setup four"},
        {5, "setup five", "lang1 five"},
        {0x7FFFFFFFu, "setup low", "setup low"},
        {0x80000000u, "common high", "common high"},
        {6, "<null>", "<null>"},
        {0xFFFFFFFFu, "<null>", "<null>"},
    };
    for (int language = 0; language <= 1; ++language)
    {
        m_install.m_uiLanguage = language;
        for (const Case& c : cases)
        {
            EXPECT_EQ(language ? c.language1 : c.language0, RecordText(m_install.FindString(c.id)))
                << "language " << language << " id " << c.id;
        }
    }
}

TEST_F(StringLookupTest, GetString_GivesWideTextOrZeroAndEmpty)
{
    struct Case
    {
        u32 id;
        int found;
        const char* text;
    };
    const Case cases[] = {
        {1, 1, "lang0 one"},
        {2, 1, "lang0 two"},   // an 8-bit record comes out wide as well
        {4, 1, "setup four"},
        {6, 0, ""},
        {0x80000000u, 1, "common high"},
    };
    m_install.m_uiLanguage = 0;
    for (const Case& c : cases)
    {
        GString out;
        out.AssignWide(W("left over"));
        EXPECT_EQ(c.found, m_install.GetString(c.id, out)) << "id " << c.id;
        EXPECT_TRUE(out.IsWide()) << "id " << c.id;
        EXPECT_EQ(c.text, Narrow(out)) << "id " << c.id;
    }
}

TEST_F(StringLookupTest, GetString_ConvertsAnEightBitPolishText)
{
    // "żółw" in UTF-8 in an 8-bit record.
    CStringTable& view = m_install.m_langStrings[1];
    Attach(view, {{9, "\xC5\xBC\xC3\xB3\xC5\x82w", true}});
    m_install.m_uiLanguage = 1;
    GString out;
    ASSERT_TRUE(m_install.GetString(9, out));
    const wch expected[] = {0x017C, 0x00F3, 0x0142, 'w'};
    ASSERT_EQ(4, out.Length());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(expected[i], out.WideText()[i]) << "unit " << i;
}

TEST_F(StringLookupTest, ReleaseTables_LeavesNothingToFind)
{
    m_install.ReleaseTables();
    for (int language = 0; language <= 1; ++language)
    {
        m_install.m_uiLanguage = language;
        const u32 ids[] = {1, 2, 3, 4, 5, 0x7FFFFFFFu, 0x80000000u};
        for (u32 id : ids)
        {
            EXPECT_EQ(nullptr, m_install.FindString(id)) << "id " << id;
            GString out;
            EXPECT_EQ(0, m_install.GetString(id, out)) << "id " << id;
            EXPECT_EQ(0, out.Length()) << "id " << id;
        }
    }
    EXPECT_EQ(0u, m_install.m_setupStrings.m_count);
    EXPECT_EQ(nullptr, m_install.m_commonStrings.m_buffer);
}

TEST_F(StringLookupTest, BaseReleaseTables_KeepsTheSetupTable)
{
    m_install.CInstallBase::ReleaseTables();
    EXPECT_EQ(nullptr, m_install.m_commonStrings.m_buffer);
    EXPECT_EQ(nullptr, m_install.m_langStrings[0].m_buffer);
    EXPECT_EQ(nullptr, m_install.m_langStrings[1].m_buffer);
    EXPECT_EQ("setup four", RecordText(m_install.FindString(4)));
    EXPECT_EQ(nullptr, m_install.CInstallBase::FindString(4));
}

// The program's own catalogue: the four tables open from the embedded items.
class CatalogueTablesTest : public ::testing::Test
{
protected:
    CInstall m_install;
};

TEST_F(CatalogueTablesTest, AttachStringTables_OpensAllFourTablesWhenTheyAreEmbedded)
{
    int allEmbedded = 1;
    for (int role = 0; role < kStringTableCount; ++role)
        allEmbedded = allEmbedded && g_stringTableItems[role].size != 0;
    ASSERT_EQ(allEmbedded, m_install.AttachStringTables());
    if (!allEmbedded)
        return;
    EXPECT_NE(nullptr, m_install.m_guard.Block());
    const CStringTable* views[] = {&m_install.m_commonStrings, &m_install.m_setupStrings,
        &m_install.m_langStrings[0], &m_install.m_langStrings[1]};
    for (const CStringTable* view : views)
    {
        EXPECT_NE(0u, view->m_count);
        // Every id of every table is found through its own view.
        for (u32 i = 0; i < view->m_count; ++i)
            EXPECT_NE(nullptr, view->Find(view->m_index[i].id)) << "id " << view->m_index[i].id;
    }
    m_install.ReleaseTables();
    EXPECT_EQ(nullptr, m_install.m_guard.Block());
    EXPECT_EQ(0u, m_install.m_langStrings[1].m_count);
}
}
