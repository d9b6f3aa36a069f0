// Layout library preparation: the variant table over every row, the pattern
// texts and their search, the bounds of the in-memory patching, and the
// staging files written from the program's own library items, loaded back
// and compared byte for byte with the decoded library.

#include "core/Install.h"

#include "payload/Catalogue.h"
#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <wctype.h>

#include <set>
#include <string>
#include <vector>

namespace
{

const u32 kStringDecimalPattern = 146;
const u32 kStringScancodePattern = 147;
const u32 kStringE0Pattern = 150;
const u32 kStringE1Pattern = 151;
const u32 kNoItemSize = 0xFFFFFFFFu;

std::vector<u8> ReadFileBytes(const std::wstring& path)
{
    std::vector<u8> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, 0);
    bytes.resize(size);
    DWORD read = 0;
    if (size && (!ReadFile(file, bytes.data(), size, &read, 0) || read != size))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

std::vector<u8> DecodeToVector(CInstall& install, const void* item, u32 size)
{
    std::vector<u8> bytes;
    u32 userValue = 0;
    void* data = install.m_guard.DecodeItem(item, size, &userValue);
    if (data)
    {
        bytes.assign(static_cast<u8*>(data), static_cast<u8*>(data) + size);
        free(data);
    }
    return bytes;
}

u16 PeMachine(const std::vector<u8>& image)
{
    if (image.size() < 0x40)
        return 0;
    u32 pe = 0;
    memcpy(&pe, image.data() + 0x3C, 4);
    if (pe + 6 > image.size())
        return 0;
    u16 machine = 0;
    memcpy(&machine, image.data() + pe + 4, 2);
    return machine;
}

// The texts a test needs in place of the program's own: put into the view
// of the current interface language, which the lookup reads first.
int OverrideTexts(CInstall& install, const std::vector<TestText>& texts)
{
    return AttachTestTexts(install.m_langStrings[install.m_uiLanguage], texts);
}

std::wstring Pattern(CInstall& install, u32 id)
{
    GString text;
    install.GetString(id, text);
    return Text(text);
}

// ---- The variant table ----

class LayoutSelection : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_install.AttachStringTables()); }
    CInstall m_install;
};

TEST_F(LayoutSelection, SelectLayoutItems_FollowsEveryRowOfTheVariantTable)
{
    struct Case
    {
        i32 version;
        u16 arch;
        int result;
        int first;
        int second;  // -1: no second library
    };
    const Case cases[] = {
        {50, 0, 1, 0, -1},   {50, 9, 1, 0, -1},   {51, 0, 1, 1, -1},   {51, 6, 1, 1, -1},
        {52, 0, 1, 2, -1},   {52, 6, 1, 2, 3},    {52, 9, 1, 2, 4},    {52, 5, 0, 0, 0},
        {60, 0, 1, 5, -1},   {60, 6, 1, 5, 6},    {60, 9, 1, 5, 7},    {60, 12, 0, 0, 0},
        {61, 0, 1, 8, -1},   {61, 6, 1, 8, 9},    {61, 9, 1, 8, 10},   {61, 5, 0, 0, 0},
        {62, 0, 1, 11, -1},  {62, 6, 0, 0, 0},    {62, 9, 1, 11, 12},  {62, 5, 0, 0, 0},
        {100, 0, 1, 11, -1}, {100, 6, 0, 0, 0},   {100, 9, 1, 11, 12}, {100, 12, 0, 0, 0},
        {63, 9, 1, 11, 12},
    };
    for (int set = 0; set < 2; ++set)
    {
        for (int family = 0; family < 3; ++family)
        {
            for (const Case& c : cases)
            {
                m_install.m_osVersion = c.version;
                m_install.m_processorArch = c.arch;
                m_install.m_family = family;
                m_install.m_altSetA = set;
                const void* first = &c;
                const void* second = &c;
                u32 firstSize = 1;
                u32 secondSize = 1;
                const int result = m_install.SelectLayoutItems(first, firstSize, second, secondSize);
                const std::string name = "version " + std::to_string(c.version) + ", processor " +
                                         std::to_string(c.arch) + ", set " + std::to_string(set) +
                                         ", family " + std::to_string(family);
                ASSERT_EQ(result, c.result) << name;
                if (!c.result)
                {
                    EXPECT_EQ(first, nullptr) << name;
                    EXPECT_EQ(second, nullptr) << name;
                    continue;
                }
                const PayloadItem& expectFirst = g_layoutItems[set][family][c.first];
                EXPECT_EQ(first, expectFirst.bytes) << name;
                EXPECT_EQ(firstSize, expectFirst.size) << name;
                EXPECT_EQ(PeMachine(DecodeToVector(m_install, first, firstSize)), IMAGE_FILE_MACHINE_I386) << name;
                if (c.second < 0)
                {
                    EXPECT_EQ(second, nullptr) << name;
                    EXPECT_EQ(secondSize, kNoItemSize) << name;
                }
                else
                {
                    const PayloadItem& expectSecond = g_layoutItems[set][family][c.second];
                    EXPECT_EQ(second, expectSecond.bytes) << name;
                    EXPECT_EQ(secondSize, expectSecond.size) << name;
                    if (c.arch == 9)
                    {
                        EXPECT_EQ(PeMachine(DecodeToVector(m_install, second, secondSize)), IMAGE_FILE_MACHINE_AMD64)
                            << name;
                    }
                    else
                    {
                        EXPECT_EQ(second, nullptr) << "IA64 cells hold no library; " << name;
                    }
                }
            }
        }
    }
}

TEST_F(LayoutSelection, SelectLayoutItems_EitherAlternativeFlagPicksTheAlternativeSet)
{
    struct Case
    {
        i32 altA;
        i32 altB;
        int set;
    };
    const Case cases[] = {{0, 0, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    for (const Case& c : cases)
    {
        m_install.m_osVersion = 61;
        m_install.m_processorArch = 9;
        m_install.m_family = 2;
        m_install.m_altSetA = c.altA;
        m_install.m_altSetB = c.altB;
        const void* first = 0;
        const void* second = 0;
        u32 firstSize = 0;
        u32 secondSize = 0;
        ASSERT_TRUE(m_install.SelectLayoutItems(first, firstSize, second, secondSize));
        EXPECT_EQ(first, g_layoutItems[c.set][2][8].bytes) << "flags " << c.altA << c.altB;
        EXPECT_EQ(second, g_layoutItems[c.set][2][10].bytes) << "flags " << c.altA << c.altB;
        EXPECT_NE(g_layoutItems[0][2][8].bytes, g_layoutItems[1][2][8].bytes);
    }
}

TEST_F(LayoutSelection, SelectLayoutItems_RefusesAFamilyOutsideTheTable)
{
    const i32 families[] = {-1, 3, 100};
    for (i32 family : families)
    {
        m_install.m_osVersion = 61;
        m_install.m_processorArch = 0;
        m_install.m_family = family;
        const void* first = 0;
        const void* second = 0;
        u32 firstSize = 0;
        u32 secondSize = 0;
        EXPECT_FALSE(m_install.SelectLayoutItems(first, firstSize, second, secondSize)) << "family " << family;
        EXPECT_EQ(first, nullptr);
    }
}

// ---- Pattern texts and the search ----

class LayoutPatterns : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_install.AttachStringTables()); }
    CInstall m_install;
};

TEST_F(LayoutPatterns, DecodeHexPattern_ReadsTheProgramsPatternTexts)
{
    struct Case
    {
        u32 id;
        u32 minimum;
    };
    // The scancode tables have 0x7F entries; the E1 table one key and its end.
    const Case cases[] = {{146, 4}, {147, 254}, {148, 254}, {149, 254}, {150, 8}, {151, 8}};
    for (const Case& c : cases)
    {
        u32 count = 0;
        u8* pattern = m_install.DecodeHexPattern(c.id, count);
        ASSERT_NE(pattern, nullptr) << "string " << c.id;
        EXPECT_GE(count, c.minimum) << "string " << c.id;
        EXPECT_EQ(count * 2, Pattern(m_install, c.id).size()) << "string " << c.id;
        free(pattern);
    }
}

TEST_F(LayoutPatterns, DecodeHexPattern_TakesUpperCaseDigitsOnly)
{
    struct Case
    {
        const char* name;
        const wchar_t* text;
        std::vector<u8> expected;  // empty: refused
    };
    const Case cases[] = {
        {"all digits", L"0123456789ABCDEF", {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}},
        {"odd last digit ignored", L"1D0013F", {0x1D, 0x00, 0x13}},
        {"lower-case digit", L"1d001300", {}},
        {"lower-case in the last pair", L"FF00ab", {}},
        {"not a digit", L"1G", {}},
        {"blank inside", L"1D 00", {}},
        {"single digit", L"F", {}},
        {"empty", L"", {}},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(OverrideTexts(m_install, {{kStringE1Pattern, c.text}})) << c.name;
        u32 count = 77;
        u8* pattern = m_install.DecodeHexPattern(kStringE1Pattern, count);
        if (c.expected.empty())
        {
            EXPECT_EQ(pattern, nullptr) << c.name;
            EXPECT_EQ(count, 0u) << c.name;
        }
        else
        {
            ASSERT_NE(pattern, nullptr) << c.name;
            EXPECT_EQ(std::vector<u8>(pattern, pattern + count), c.expected) << c.name;
        }
        free(pattern);
    }
    u32 count = 0;
    EXPECT_EQ(m_install.DecodeHexPattern(999999, count), nullptr) << "absent string";
}

TEST_F(LayoutPatterns, FindPattern_ReturnsTheFirstCompleteMatch)
{
    const u8 data[] = {1, 2, 3, 1, 2, 3, 4, 9};
    struct Case
    {
        const char* name;
        std::vector<u8> pattern;
        i32 expected;
    };
    const Case cases[] = {
        {"at the start", {1, 2}, 0},
        {"first of two", {2, 3}, 1},
        {"after a partial match", {1, 2, 3, 4}, 3},
        {"at the very end", {4, 9}, 6},
        {"the whole data", {1, 2, 3, 1, 2, 3, 4, 9}, 0},
        {"cut off by the end", {9, 0}, -1},
        {"longer than the data", {1, 2, 3, 1, 2, 3, 4, 9, 0}, -1},
        {"absent", {5}, -1},
        {"empty", {}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CInstall::FindPattern(data, sizeof data, c.pattern.data(), static_cast<u32>(c.pattern.size())),
                  c.expected)
            << c.name;
}

// ---- Patching in memory ----

// Short test patterns and a library image built around them.
class LayoutPatching : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(OverrideTexts(m_install, {{kStringDecimalPattern, L"2E002E00AA55"},
                                              {kStringScancodePattern, L"FF001B003100"},
                                              {kStringScancodePattern + 1, L"FF001B003200"},
                                              {kStringScancodePattern + 2, L"FF001B003300"},
                                              {kStringE0Pattern, L"1C000D011D00A301"},
                                              {kStringE1Pattern, L"1D001300"}}));
        m_install.m_family = 0;
        ASSERT_NE(m_install.m_keys, nullptr);
        ASSERT_GT(m_install.m_keyCount, 0);
    }

    // Filler, a scancode table of 0x7F entries, E0 and E1 tables, the
    // decimal cells; the offsets of each are kept.
    std::vector<u8> Library()
    {
        std::vector<u8> image(64, 0x77);
        m_scancodes = image.size();
        const u8 head[] = {0xFF, 0x00, 0x1B, 0x00, 0x31, 0x00};
        image.insert(image.end(), head, head + sizeof head);
        for (u32 i = 3; i < 0x7F; ++i)
        {
            image.push_back(static_cast<u8>(0x40 + i));
            image.push_back(0);
        }
        m_e0 = image.size();
        const u8 e0[] = {0x1C, 0x00, 0x0D, 0x01, 0x1D, 0x00, 0xA3, 0x01, 0x38, 0x00, 0xA5, 0x01, 0, 0, 0, 0};
        image.insert(image.end(), e0, e0 + sizeof e0);
        m_e1 = image.size();
        const u8 e1[] = {0x1D, 0x00, 0x13, 0x00, 0, 0, 0, 0};
        image.insert(image.end(), e1, e1 + sizeof e1);
        m_decimal = image.size();
        const u8 decimal[] = {0x2E, 0x00, 0x2E, 0x00, 0xAA, 0x55};
        image.insert(image.end(), decimal, decimal + sizeof decimal);
        image.insert(image.end(), 32, 0x66);
        return image;
    }

    void Target(u16 scancode, u16 target)
    {
        KeyEntry* key = m_install.FindKey(scancode);
        ASSERT_NE(key, nullptr) << std::hex << scancode;
        key->target = target;
    }

    CInstall m_install;

public:
    // Offsets of the tables in Library()'s image.
    size_t m_scancodes = 0;
    size_t m_e0 = 0;
    size_t m_e1 = 0;
    size_t m_decimal = 0;
};

TEST_F(LayoutPatching, PatchLayoutLibrary_WritesTargetsAndCommaAndNothingElse)
{
    std::vector<u8> image = Library();
    const std::vector<u8> original = image;
    Target(0x3A, 0xA2);     // Caps Lock -> left Ctrl
    Target(0x01, 0x14);     // Esc -> Caps Lock
    Target(0xE038, 0x1A3);  // right Alt -> right Ctrl
    Target(0xE11D, 0x91);   // Pause -> Scroll Lock
    Target(0xE05B, 0x15D);  // left Windows: not in this E0 table, changes nothing
    ASSERT_TRUE(m_install.PatchLayoutLibrary(image.data(), static_cast<u32>(image.size()), 1));

    struct Change
    {
        size_t offset;
        u8 value;
    };
    const Change changes[] = {
        {m_scancodes + 2 * 0x3A, 0xA2}, {m_scancodes + 2 * 0x3A + 1, 0x00},
        {m_scancodes + 2 * 0x01, 0x14}, {m_scancodes + 2 * 0x01 + 1, 0x00},
        {m_e0 + 8 + 2, 0xA3},           {m_e0 + 8 + 3, 0x01},
        {m_e1 + 2, 0x91},               {m_e1 + 3, 0x00},
        {m_decimal, 0x2C},              {m_decimal + 2, 0x2C},
    };
    std::set<size_t> changed;
    for (const Change& c : changes)
    {
        EXPECT_EQ(image[c.offset], c.value) << "offset " << c.offset;
        changed.insert(c.offset);
    }
    for (size_t i = 0; i < image.size(); ++i)
    {
        if (!changed.count(i))
        {
            EXPECT_EQ(image[i], original[i]) << "offset " << i << " changed";
        }
    }
}

TEST_F(LayoutPatching, PatchLayoutLibrary_RefusesTablesThatReachPastTheEnd)
{
    // Each library ends where a table still needs bytes, though its pattern
    // is whole; the bytes beyond that end must stay untouched.
    struct Case
    {
        const char* name;
        const wchar_t* decimalPattern;
        int wantComma;
        size_t LayoutPatching::*table;
        size_t keep;  // bytes kept after the table's start
    };
    const Case cases[] = {
        {"scancode table shorter than 0x7F entries", L"2E002E00AA55", 0, &LayoutPatching::m_scancodes, 2 * 0x7E + 1},
        {"E0 table without its end record", L"2E002E00AA55", 0, &LayoutPatching::m_e0, 12 + 2},
        {"E1 table without its end record", L"2E002E00AA55", 0, &LayoutPatching::m_e1, 4 + 1},
        {"decimal cells cut after the first cell", L"AA55", 1, &LayoutPatching::m_decimal, 6},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(OverrideTexts(m_install, {{kStringDecimalPattern, c.decimalPattern},
                                              {kStringScancodePattern, L"FF001B003100"},
                                              {kStringE0Pattern, L"1C000D011D00A301"},
                                              {kStringE1Pattern, L"1D001300"}}));
        std::vector<u8> image = Library();
        Target(0x3A, 0xA2);
        Target(0xE038, 0x1A3);
        Target(0xE11D, 0x91);
        const size_t end = this->*c.table + c.keep;
        const std::vector<u8> outside(image.begin() + end, image.end());
        EXPECT_FALSE(m_install.PatchLayoutLibrary(image.data(), static_cast<u32>(end), c.wantComma)) << c.name;
        EXPECT_EQ(std::vector<u8>(image.begin() + end, image.end()), outside) << c.name;
    }
}

TEST_F(LayoutPatching, PatchLayoutLibrary_NeedsEveryTablePatternEvenWithoutTargets)
{
    struct Case
    {
        const char* name;
        u32 id;
        const wchar_t* text;  // null: absent
        int wantComma;
        int result;
    };
    const Case cases[] = {
        {"all present", 0, nullptr, 1, 1},
        {"scancode pattern lower case", kStringScancodePattern, L"ff001b003100", 0, 0},
        {"scancode pattern absent", kStringScancodePattern, nullptr, 0, 0},
        {"E0 pattern not in the library", kStringE0Pattern, L"1C000D0100000000", 0, 0},
        {"E1 pattern absent", kStringE1Pattern, nullptr, 0, 0},
        {"decimal pattern lower case, comma wanted", kStringDecimalPattern, L"2e002e00", 1, 0},
        {"decimal pattern absent, point kept", kStringDecimalPattern, nullptr, 0, 1},
    };
    for (const Case& c : cases)
    {
        std::vector<TestText> texts = {{kStringDecimalPattern, L"2E002E00AA55"},
                                       {kStringScancodePattern, L"FF001B003100"},
                                       {kStringE0Pattern, L"1C000D011D00A301"},
                                       {kStringE1Pattern, L"1D001300"}};
        std::vector<TestText> used;
        for (const TestText& t : texts)
        {
            if (t.id != c.id)
                used.push_back(t);
            else if (c.text)
                used.push_back({t.id, c.text});
        }
        CInstall install;
        ASSERT_TRUE(OverrideTexts(install, used)) << c.name;
        install.m_family = 0;
        std::vector<u8> image = Library();
        const std::vector<u8> original = image;
        EXPECT_EQ(install.PatchLayoutLibrary(image.data(), static_cast<u32>(image.size()), c.wantComma), c.result)
            << c.name;
        if (!c.wantComma)
        {
            EXPECT_EQ(image, original) << "no target and no comma: " << c.name;
        }
    }
}

// ---- Staging files from the program's own library items ----

class LayoutStaging : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_install.AttachStringTables());
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        m_folder = std::wstring(temp) + L"klawisz-layout-test-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(m_folder.c_str(), 0);
        ASSERT_TRUE(m_install.m_productFolder.AssignWide(m_folder.c_str()));
        m_install.m_family = 0;
        m_install.m_decimalFlag = 1;
    }
    void TearDown() override
    {
        for (const wchar_t* name : {L"\\staged.dll", L"\\kbdklwsz.dll", L"\\kbdklwsz.dll64"})
            DeleteFileW((m_folder + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    std::wstring Staging() const { return m_folder + L"\\staged.dll"; }

    void Target(u16 scancode, u16 target)
    {
        KeyEntry* key = m_install.FindKey(scancode);
        ASSERT_NE(key, nullptr) << std::hex << scancode;
        key->target = target;
    }

    CInstall m_install;
    std::wstring m_folder;
};

TEST_F(LayoutStaging, PrepareLayoutFile_WithoutChoicesStagesTheLibraryAsDecoded)
{
    for (int set = 0; set < 2; ++set)
    {
        for (int family = 0; family < 3; ++family)
        {
            for (int variant : {11, 12})
            {
                const PayloadItem& item = g_layoutItems[set][family][variant];
                m_install.m_family = family;
                DeleteFileW(Staging().c_str());
                ASSERT_TRUE(m_install.PrepareLayoutFile(L"", Staging().c_str(), item.bytes, item.size))
                    << "set " << set << " family " << family << " variant " << variant;
                const std::vector<u8> decoded = DecodeToVector(m_install, item.bytes, item.size);
                ASSERT_FALSE(decoded.empty());
                EXPECT_TRUE(ReadFileBytes(Staging()) == decoded)
                    << "set " << set << " family " << family << " variant " << variant;
            }
        }
    }
}

TEST_F(LayoutStaging, PrepareLayoutFile_FailsWithoutWritingWhenAPatternIsBroken)
{
    struct Case
    {
        const char* name;
        u32 id;
        bool lowerCase;  // else absent
    };
    const Case cases[] = {
        {"scancode pattern in lower case", kStringScancodePattern, true},
        {"E0 pattern absent", kStringE0Pattern, false},
        {"E1 pattern in lower case", kStringE1Pattern, true},
    };
    const PayloadItem& item = g_layoutItems[0][0][12];
    for (const Case& c : cases)
    {
        // Every other pattern as the program has it.
        std::vector<TestText> texts;
        for (u32 id : {kStringDecimalPattern, kStringScancodePattern, kStringE0Pattern, kStringE1Pattern})
        {
            std::wstring text = Pattern(m_install, id);
            if (id == c.id && !c.lowerCase)
                continue;
            if (id == c.id)
                for (wchar_t& ch : text)
                    ch = static_cast<wchar_t>(towlower(ch));
            texts.push_back({id, text});
        }
        CInstall install;
        ASSERT_TRUE(install.AttachStringTables());
        install.m_family = 0;
        install.m_decimalFlag = 1;
        // The common table holds the real patterns: take them out of the chain.
        install.m_commonStrings.Release();
        ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, texts)) << c.name;
        DeleteFileW(Staging().c_str());
        EXPECT_FALSE(install.PrepareLayoutFile(L"", Staging().c_str(), item.bytes, item.size)) << c.name;
        EXPECT_EQ(GetFileAttributesW(Staging().c_str()), INVALID_FILE_ATTRIBUTES) << c.name;
    }
}

// The 64-bit table descriptor: offsets of the fields the test reads.
const size_t kTablesVscToVk = 48;
const size_t kTablesE0 = 64;
const size_t kTablesE1 = 72;
const size_t kTablesCharTables = 8;

const u8* PointerAt(const u8* p)
{
    u64 value = 0;
    memcpy(&value, p, 8);
    return reinterpret_cast<const u8*>(value);
}

TEST_F(LayoutStaging, PrepareLayoutFile_StagedLibraryLoadsAndShowsExactlyTheChanges)
{
    const PayloadItem& item = g_layoutItems[1][1][12];
    m_install.m_family = 1;
    m_install.m_decimalFlag = 0;
    Target(0x3A, 0xA2);     // Caps Lock -> left Ctrl
    Target(0xE038, 0x15B);  // right Alt -> left Windows
    Target(0xE11D, 0x91);   // Pause -> Scroll Lock
    ASSERT_TRUE(m_install.PrepareLayoutFile(L"", Staging().c_str(), item.bytes, item.size));

    HMODULE module = LoadLibraryW(Staging().c_str());
    ASSERT_NE(module, nullptr);
    typedef const void* (*DescriptorFn)();
    DescriptorFn descriptor =
        reinterpret_cast<DescriptorFn>(reinterpret_cast<void*>(GetProcAddress(module, "KbdLayerDescriptor")));
    ASSERT_NE(descriptor, nullptr);
    const u8* tables = static_cast<const u8*>(descriptor());
    const u8* base = reinterpret_cast<const u8*>(module);

    // The loaded tables show the choices.
    const u8* vscToVk = PointerAt(tables + kTablesVscToVk);
    u16 vk = 0;
    memcpy(&vk, vscToVk + 2 * 0x3A, 2);
    EXPECT_EQ(vk, 0xA2);
    memcpy(&vk, vscToVk + 2 * 0x15, 2);
    EXPECT_EQ(vk, 'Z') << "the QWERTZ arrangement stays";
    const u8* e0 = PointerAt(tables + kTablesE0);
    const u8* rightAlt = nullptr;
    for (const u8* record = e0; record[0]; record += 4)
        if (record[0] == 0x38)
            rightAlt = record;
    ASSERT_NE(rightAlt, nullptr);
    memcpy(&vk, rightAlt + 2, 2);
    EXPECT_EQ(vk, 0x15B);
    const u8* e1 = PointerAt(tables + kTablesE1);
    ASSERT_EQ(e1[0], 0x1D);
    memcpy(&vk, e1 + 2, 2);
    EXPECT_EQ(vk, 0x91);
    const u8* decimal = nullptr;
    for (const u8* table = PointerAt(tables + kTablesCharTables); PointerAt(table); table += 16)
        for (const u8* entry = PointerAt(table); entry[0]; entry += table[9])
            if (entry[0] == 0x6E)
                decimal = entry + 2;
    ASSERT_NE(decimal, nullptr);
    u16 cells[2] = {};
    memcpy(cells, decimal, 4);
    EXPECT_EQ(cells[0], L',');
    EXPECT_EQ(cells[1], L',');

    // File offsets of the changed cells, from their loaded addresses.
    auto fileOffset = [&](const u8* address) -> size_t {
        const IMAGE_NT_HEADERS* nt =
            reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        const size_t rva = static_cast<size_t>(address - base);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
            if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return rva - section->VirtualAddress + section->PointerToRawData;
        return static_cast<size_t>(-1);
    };
    const std::set<size_t> allowed = {
        fileOffset(vscToVk + 2 * 0x3A), fileOffset(vscToVk + 2 * 0x3A + 1),
        fileOffset(rightAlt + 2),       fileOffset(rightAlt + 3),
        fileOffset(e1 + 2),             fileOffset(e1 + 3),
        fileOffset(decimal),            fileOffset(decimal + 2),
    };
    FreeLibrary(module);

    const std::vector<u8> staged = ReadFileBytes(Staging());
    const std::vector<u8> decoded = DecodeToVector(m_install, item.bytes, item.size);
    ASSERT_EQ(staged.size(), decoded.size());
    size_t differing = 0;
    for (size_t i = 0; i < staged.size(); ++i)
    {
        if (staged[i] != decoded[i])
        {
            ++differing;
            EXPECT_TRUE(allowed.count(i)) << "byte " << i << " changed outside the chosen cells";
        }
    }
    // One low byte each: Caps Lock 14 -> A2, right Alt 1A5 -> 15B, Pause
    // 13 -> 91; and the two '.' -> ','.
    EXPECT_EQ(differing, 5u);
}

// ---- Paths and the queued moves ----

std::wstring PendingRenames()
{
    HKEY key = 0;
    std::wstring text;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return text;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", 0, 0, 0, &size) == ERROR_SUCCESS && size)
    {
        std::vector<wchar_t> data(size / 2 + 1);
        if (RegQueryValueExW(key, L"PendingFileRenameOperations", 0, 0, reinterpret_cast<BYTE*>(data.data()),
                             &size) == ERROR_SUCCESS)
        {
            for (size_t i = 0; i < size / 2; ++i)
                text += data[i] ? data[i] : L'|';
        }
    }
    RegCloseKey(key);
    return text;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

TEST_F(LayoutStaging, GetLayoutPaths_NamesTheFoldersOfEachKindOfSystem)
{
    wchar_t system[MAX_PATH];
    wchar_t wow64[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(GetSystemWow64DirectoryW(wow64, MAX_PATH), 0u);
    struct Case
    {
        const char* name;
        i32 is64Bit;
        std::wstring target32;
        std::wstring target64;
        std::wstring staging64;
    };
    const Case cases[] = {
        {"32-bit system", 0, std::wstring(system) + L"\\kbdklwsz.dll", L"", L""},
        {"64-bit system", 1, std::wstring(wow64) + L"\\kbdklwsz.dll", std::wstring(system) + L"\\kbdklwsz.dll",
         m_folder + L"\\kbdklwsz.dll64"},
    };
    for (const Case& c : cases)
    {
        m_install.m_is64Bit = c.is64Bit;
        GString target32, target64, staging32, staging64;
        ASSERT_TRUE(m_install.GetLayoutPaths(target32, target64, &staging32, &staging64)) << c.name;
        EXPECT_EQ(Lower(Text(target32)), Lower(c.target32)) << c.name;
        EXPECT_EQ(Lower(Text(target64)), Lower(c.target64)) << c.name;
        EXPECT_EQ(Text(staging32), m_folder + L"\\kbdklwsz.dll") << c.name;
        EXPECT_EQ(Text(staging64), c.staging64) << c.name;
        GString only32, only64;
        EXPECT_TRUE(m_install.GetLayoutPaths(only32, only64, nullptr, nullptr)) << "without staging: " << c.name;
        EXPECT_EQ(Text(only32), Text(target32)) << c.name;
    }
}

TEST_F(LayoutStaging, PrepareLayout_QueuesBothLibrariesOfA64BitSystem)
{
    m_install.m_is64Bit = 1;
    m_install.m_processorArch = 9;
    m_install.m_osVersion = 100;
    m_install.m_family = 2;
    ASSERT_TRUE(m_install.PrepareLayout());

    const std::vector<u8> staged32 = ReadFileBytes(m_folder + L"\\kbdklwsz.dll");
    const std::vector<u8> staged64 = ReadFileBytes(m_folder + L"\\kbdklwsz.dll64");
    EXPECT_EQ(PeMachine(staged32), IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(PeMachine(staged64), IMAGE_FILE_MACHINE_AMD64);
    EXPECT_TRUE(staged32 == DecodeToVector(m_install, g_layoutItems[0][2][11].bytes, g_layoutItems[0][2][11].size));

    wchar_t system[MAX_PATH];
    wchar_t wow64[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    ASSERT_GT(GetSystemWow64DirectoryW(wow64, MAX_PATH), 0u);
    const std::wstring pending = Lower(PendingRenames());
    EXPECT_NE(pending.find(Lower(m_folder + L"\\kbdklwsz.dll|!\\??\\" + wow64 + L"\\kbdklwsz.dll")), std::wstring::npos)
        << "32-bit move in: " << std::string(pending.begin(), pending.end());
    EXPECT_NE(pending.find(Lower(m_folder + L"\\kbdklwsz.dll64|!\\??\\" + system + L"\\kbdklwsz.dll")),
              std::wstring::npos)
        << "64-bit move in: " << std::string(pending.begin(), pending.end());

    // A simulated restart carries the moves out.
    const std::wstring system64 = std::wstring(system) + L"\\kbdklwsz.dll";
    const std::wstring system32 = std::wstring(wow64) + L"\\kbdklwsz.dll";
    std::wstring command = std::wstring(system) + L"\\wineboot.exe -r";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(0, &command[0], 0, 0, FALSE, 0, 0, 0, &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_TRUE(ReadFileBytes(system64) == staged64) << "the 64-bit library in the system folder";
    EXPECT_TRUE(ReadFileBytes(system32) == staged32) << "the 32-bit library in the 32-bit system folder";
    EXPECT_EQ(GetFileAttributesW((m_folder + L"\\kbdklwsz.dll").c_str()), INVALID_FILE_ATTRIBUTES) << "moved away";
    DeleteFileW(system64.c_str());
    DeleteFileW(system32.c_str());
}

TEST_F(LayoutStaging, PrepareLayout_FailsOnIa64AfterQueuingThe32BitLibrary)
{
    m_install.m_is64Bit = 1;
    m_install.m_processorArch = 6;
    m_install.m_osVersion = 61;
    EXPECT_FALSE(m_install.PrepareLayout());
    EXPECT_EQ(PeMachine(ReadFileBytes(m_folder + L"\\kbdklwsz.dll")), IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(GetFileAttributesW((m_folder + L"\\kbdklwsz.dll64").c_str()), INVALID_FILE_ATTRIBUTES);

    m_install.m_osVersion = 62;
    DeleteFileW((m_folder + L"\\kbdklwsz.dll").c_str());
    EXPECT_FALSE(m_install.PrepareLayout()) << "IA64 after 6.1 is refused";
    EXPECT_EQ(GetFileAttributesW((m_folder + L"\\kbdklwsz.dll").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
