#include "text/GString.h"

#include "text/DebugSink.h"

#include <gtest/gtest.h>

#include <string.h>
#include <string>
#include <vector>

namespace
{

typedef std::basic_string<wch> WString;

// The text of a string of the expected width; a marker for the other width.
WString Wide(const GString& s)
{
    if (!s.IsWide())
        return W("<8-bit string>");
    return WString(s.WideText(0), (size_t)s.Length());
}

std::string Narrow(const GString& s)
{
    if (s.IsWide())
        return "<wide string>";
    return std::string(s.NarrowText(0), (size_t)s.Length());
}

// Units 'a', 'b', ... 'z', 'a', ... so that every position is checkable.
WString Pattern(int count, int from = 0)
{
    WString text;
    for (int i = 0; i < count; ++i)
        text += (wch)('a' + (from + i) % 26);
    return text;
}

int TerminatedAfterText(const GString& s)
{
    return s.IsWide() ? s.WideText(0)[s.Length()] == 0 : s.NarrowText(0)[s.Length()] == 0;
}

// ---- Storage ----

TEST(GStringStorage, Fresh_HasNoBlockAndHandsOutStaticEmptyTexts)
{
    GString s;
    EXPECT_EQ(s.BlockSize(), 0);
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(s.Length(), 0);
    EXPECT_EQ(s.CodePage(), 0);
    ASSERT_NE(s.WideText(0), nullptr);
    EXPECT_EQ(s.WideText(0)[0], 0);
    ASSERT_NE(s.NarrowText(0), nullptr);
    EXPECT_EQ(s.NarrowText(0)[0], 0);
    EXPECT_EQ(s.Terminate(), nullptr);

    GString filled((wch)'x', 3);
    EXPECT_TRUE(filled.IsWide());
    EXPECT_EQ(Wide(filled), WString(W("xxx")));
    GString none((wch)'x', 0);
    EXPECT_TRUE(none.IsWide());
    EXPECT_EQ(none.BlockSize(), 0);
}

TEST(GStringStorage, Growth_FollowsThe64ByteSteps)
{
    struct Case
    {
        const char* name;
        int wide;
        std::vector<int> appends;  // characters appended per step
        std::vector<int> blockSizes;  // block size after each step
    };
    const Case cases[] = {
        { "wide 10, 35, 65 units", 1, { 10, 25, 30 }, { 64, 128, 192 } },
        { "wide fills the 29 units of a 64-byte block", 1, { 10, 19 }, { 64, 64 } },
        { "wide 30th unit grows", 1, { 10, 20 }, { 64, 128 } },
        { "wide one unit past a full block", 1, { 61, 1 }, { 128, 192 } },
        { "wide growth by half the length", 1, { 125, 1 }, { 256, 384 } },
        { "8-bit 59 bytes in 64", 0, { 59 }, { 64 } },
        { "8-bit 60 bytes need 128", 0, { 59, 1 }, { 64, 128 } },
    };
    for (const Case& c : cases)
    {
        GString s;
        if (c.wide)
            s.ClearWide();
        int length = 0;
        for (size_t step = 0; step < c.appends.size(); ++step)
        {
            const WString part = Pattern(c.appends[step], length);
            if (c.wide)
            {
                ASSERT_TRUE(s.AppendWideRaw(part.data(), (int)part.size())) << c.name;
            }
            else
            {
                const std::string bytes(part.begin(), part.end());
                ASSERT_TRUE(s.AppendNarrowRaw(bytes.data(), (int)bytes.size(), -1)) << c.name;
            }
            length += c.appends[step];
            EXPECT_EQ(s.BlockSize(), c.blockSizes[step]) << c.name << ", step " << step;
            ASSERT_EQ(s.Length(), length) << c.name;
            if (c.wide)
            {
                EXPECT_EQ(Wide(s), Pattern(length)) << c.name;
            }
            else
            {
                const WString units = Pattern(length);
                EXPECT_EQ(Narrow(s), std::string(units.begin(), units.end())) << c.name;
            }
            EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
        }
    }
}

TEST(GStringStorage, MakeRoom_RefusesImpossibleSizesAndKeepsTheText)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(W("keep")));
    const int block = s.BlockSize();
    EXPECT_FALSE(s.MakeRoom(0x7FFFFFF0));
    EXPECT_EQ(s.BlockSize(), block);
    EXPECT_EQ(Wide(s), WString(W("keep")));
    EXPECT_EQ(s.WideBuffer(0x7FFFFFF0), nullptr);
    EXPECT_EQ(Wide(s), WString(W("keep")));
}

TEST(GStringStorage, DropFront_CutsTheFrontWithoutMovingMemory)
{
    struct Case
    {
        const char* name;
        const wch* text;
        int count;
        int result;
        const wch* left;
    };
    const Case cases[] = {
        { "three of six", W("abcdef"), 3, 1, W("def") },
        { "all", W("abcd"), 4, 1, W("") },
        { "more than all", W("abcd"), 10, 1, W("") },
        { "zero", W("abcd"), 0, 0, W("abcd") },
        { "negative", W("abcd"), -2, 0, W("abcd") },
        { "on an empty string", W(""), 2, 1, W("") },
    };
    for (const Case& c : cases)
    {
        GString s;
        ASSERT_TRUE(s.AssignWide(c.text)) << c.name;
        const wch* before = s.WideText(0);
        EXPECT_EQ(s.DropFront(c.count), c.result) << c.name;
        EXPECT_EQ(Wide(s), WString(c.left)) << c.name;
        if (s.Length() > 0 && c.result)
        {
            EXPECT_EQ(s.WideText(0), before + c.count) << c.name;
        }
        EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
    }
}

TEST(GStringStorage, DropFront_ToEmptyReturnsTheStartToTheBlockStart)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(W("abcd")));
    const wch* blockStart = s.WideText(0);
    ASSERT_TRUE(s.DropFront(10));
    EXPECT_EQ(s.Length(), 0);
    ASSERT_TRUE(s.AppendWide(W("x")));
    EXPECT_EQ(s.WideText(0), blockStart);
}

TEST(GStringStorage, Append_CompactsADroppedFrontOnlyWhenTheEndIsFull)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(W("abcdef")));
    const wch* blockStart = s.WideText(0);
    ASSERT_TRUE(s.DropFront(3));
    // 29 units fit the 64-byte block; from start 3 there is room for 26.
    ASSERT_TRUE(s.AppendWideRaw(Pattern(15).data(), 15));
    EXPECT_EQ(s.WideText(0), blockStart + 3);
    EXPECT_EQ(s.Length(), 18);
    // 27 units (and 18 + 18 / 2) fit the block, but not from start 3.
    ASSERT_TRUE(s.AppendWideRaw(Pattern(9, 15).data(), 9));
    EXPECT_EQ(s.WideText(0), blockStart);
    EXPECT_EQ(s.BlockSize(), 64);
    EXPECT_EQ(Wide(s), WString(W("def")) + Pattern(24));
    EXPECT_TRUE(TerminatedAfterText(s));
}

TEST(GStringStorage, WideBuffer_TakesTheLengthWrittenIntoIt)
{
    struct Case
    {
        const char* name;
        const wch* start;  // null: a fresh string
        const wch* written;
        int setLength;
        const wch* expected;
    };
    const Case cases[] = {
        { "fresh, up to the NUL", nullptr, W("abc"), -1, W("abc") },
        { "after text, up to the NUL", W("C:\\"), W("dir"), -1, W("C:\\dir") },
        { "reported count", W("x"), W("yz"), 3, W("xyz") },
        { "nothing written", nullptr, W(""), -1, W("") },
    };
    for (const Case& c : cases)
    {
        GString s;
        if (c.start)
        {
            ASSERT_TRUE(s.AssignWide(c.start)) << c.name;
        }
        wch* p = s.WideBuffer(260);
        ASSERT_NE(p, nullptr) << c.name;
        const int n = (int)WString(c.written).size();
        memcpy(p, c.written, (size_t)(n + 1) * sizeof(wch));
        EXPECT_TRUE(s.SetLength(c.setLength)) << c.name;
        EXPECT_EQ(Wide(s), WString(c.expected)) << c.name;
        EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
    }
}

TEST(GStringStorage, SetLength_IsCutToTheCapacityAndNeedsABlock)
{
    GString fresh;
    EXPECT_FALSE(fresh.SetLength(3));
    GString s;
    ASSERT_NE(s.WideBuffer(10), nullptr);
    ASSERT_EQ(s.BlockSize(), 64);
    ASSERT_TRUE(s.SetLength(1000));
    EXPECT_EQ(s.Length(), 29);
    EXPECT_TRUE(TerminatedAfterText(s));
}

TEST(GStringStorage, WideBuffer_MakesAn8BitStringWideFirst)
{
    GString s;
    ASSERT_TRUE(s.AssignNarrow("C:\\\xC3\xA9", -1, -1));
    wch* p = s.WideBuffer(4);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(s.IsWide());
    p[0] = 'x';
    p[1] = 0;
    ASSERT_TRUE(s.SetLength(-1));
    EXPECT_EQ(Wide(s), WString(W("C:\\\x00E9x")));
}

TEST(GStringStorage, ExtendWide_ReservesUnitsAtTheEnd)
{
    GString s;
    EXPECT_EQ(s.ExtendWide(3), nullptr);  // 8-bit
    s.ClearWide();
    ASSERT_TRUE(s.AppendWide(W("ab")));
    wch* p = s.ExtendWide(40);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(s.Length(), 42);
    for (int i = 0; i < 40; ++i)
        p[i] = 'z';
    EXPECT_EQ(Wide(s), WString(W("ab")) + WString(40, (wch)'z'));
    EXPECT_TRUE(TerminatedAfterText(s));
}

// ---- Width and appends ----

TEST(GStringWidth, Appends_KeepTheWidthOrFailAsDocumented)
{
    enum Op { kWide, kWideRaw, kNarrow, kNarrowRaw, kChar, kNarrowChar };
    struct Case
    {
        const char* name;
        int wide;  // width of the string
        Op op;
        WString units;  // for wide ops and kChar
        std::string bytes;  // for narrow ops and kNarrowChar
        int result;
        WString wideAfter;
        std::string narrowAfter;
    };
    const Case cases[] = {
        { "wide raw on fresh fails", 0, kWideRaw, W("ab"), "", 0, W(""), "" },
        { "empty wide raw on 8-bit succeeds", 0, kWideRaw, W(""), "", 1, W(""), "" },
        { "wide on 8-bit encodes", 0, kWide, WString(1, (wch)0x416), "", 1, W(""), "\xD0\x96" },
        { "wide on wide copies", 1, kWide, W("\x0416" "a"), "", 1, W("\x0416" "a"), "" },
        { "narrow on wide decodes", 1, kNarrow, W(""), "a\xC3\xA9", 1, W("a\x00E9"), "" },
        { "malformed narrow on wide fails", 1, kNarrow, W(""), "a\xFF", 0, W(""), "" },
        { "narrow raw on wide fails even empty", 1, kNarrowRaw, W(""), "", 0, W(""), "" },
        { "narrow raw on 8-bit copies bytes", 0, kNarrowRaw, W(""), "\xFF\x01", 1, W(""), "\xFF\x01" },
        { "char 0x416 on 8-bit fails", 0, kChar, WString(1, (wch)0x416), "", 0, W(""), "" },
        { "char 'q' on 8-bit", 0, kChar, W("q"), "", 1, W(""), "q" },
        { "char 0x416 on wide", 1, kChar, WString(1, (wch)0x416), "", 1, WString(1, (wch)0x416), "" },
        { "byte 0xE9 on wide fails", 1, kNarrowChar, W(""), "\xE9", 0, W(""), "" },
        { "byte 'q' on wide", 1, kNarrowChar, W(""), "q", 1, W("q"), "" },
        { "byte 0xE9 on 8-bit", 0, kNarrowChar, W(""), "\xE9", 1, W(""), "\xE9" },
    };
    for (const Case& c : cases)
    {
        GString s;
        if (c.wide)
            s.ClearWide();
        int result = 0;
        switch (c.op)
        {
        case kWide: result = s.AppendWide(c.units.data(), (int)c.units.size()); break;
        case kWideRaw: result = s.AppendWideRaw(c.units.data(), (int)c.units.size()); break;
        case kNarrow: result = s.AppendNarrow(c.bytes.data(), (int)c.bytes.size(), -1); break;
        case kNarrowRaw: result = s.AppendNarrowRaw(c.bytes.data(), (int)c.bytes.size(), -1); break;
        case kChar: result = s.AppendChar(c.units[0], 1); break;
        case kNarrowChar: result = s.AppendNarrowChar(c.bytes[0], 1); break;
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(s.IsWide(), c.wide) << c.name;
        if (c.wide)
        {
            EXPECT_EQ(Wide(s), c.wideAfter) << c.name;
        }
        else
        {
            EXPECT_EQ(Narrow(s), c.narrowAfter) << c.name;
        }
    }
}

TEST(GStringWidth, AppendChar_RepeatsAndIgnoresNul)
{
    GString s;
    s.ClearWide();
    EXPECT_TRUE(s.AppendChar((wch)'-', 3));
    EXPECT_TRUE(s.AppendChar(0, 5));
    EXPECT_TRUE(s.AppendChar((wch)'+', 0));
    EXPECT_TRUE(s.AppendNarrowChar('=', 2));
    EXPECT_EQ(Wide(s), WString(W("---==")));
}

TEST(GStringWidth, Append_PicksTheOperationForEachPairOfWidths)
{
    struct Case
    {
        const char* name;
        int targetWide;
        int sourceWide;
        int result;
        WString wideAfter;
        std::string narrowAfter;
    };
    // The target holds "x", the source e acute (as UTF-16 or UTF-8).
    const Case cases[] = {
        { "wide to wide", 1, 1, 1, W("x\x00E9"), "" },
        { "8-bit to wide", 1, 0, 1, W("x\x00E9"), "" },
        { "wide to 8-bit", 0, 1, 1, W(""), "x\xC3\xA9" },
        { "8-bit to 8-bit", 0, 0, 1, W(""), "x\xC3\xA9" },
    };
    for (const Case& c : cases)
    {
        GString target, source;
        if (c.targetWide)
        {
            ASSERT_TRUE(target.AssignWide(W("x")));
        }
        else
        {
            ASSERT_TRUE(target.AssignNarrow("x", -1, -1));
        }
        if (c.sourceWide)
        {
            ASSERT_TRUE(source.AssignWide(W("\x00E9")));
        }
        else
        {
            ASSERT_TRUE(source.AssignNarrow("\xC3\xA9", -1, -1));
        }
        EXPECT_EQ(target.Append(source), c.result) << c.name;
        if (c.targetWide)
        {
            EXPECT_EQ(Wide(target), c.wideAfter) << c.name;
        }
        else
        {
            EXPECT_EQ(Narrow(target), c.narrowAfter) << c.name;
        }
    }
}

TEST(GStringWidth, MakeWide_DecodesInPlaceOrKeepsTheBytes)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        int ok;
        WString units;
    };
    const Case cases[] = {
        { "e acute", "\xC3\xA9", 1, W("\x00E9") },
        { "encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", 1, W("\xD83D\xDE00") },
        { "long ascii grows the block", std::string(100, 'a'), 1, WString(100, (wch)'a') },
        { "FF refused", "\xFF", 0, W("") },
        { "4-byte form refused", "\xF0\x9F\x98\x80", 0, W("") },
        { "empty", "", 1, W("") },
    };
    for (const Case& c : cases)
    {
        GString s;
        ASSERT_TRUE(s.AssignNarrow(c.bytes.data(), (int)c.bytes.size(), -1)) << c.name;
        const wch* result = s.MakeWide(-1);
        if (c.ok)
        {
            ASSERT_NE(result, nullptr) << c.name;
            EXPECT_TRUE(s.IsWide()) << c.name;
            EXPECT_EQ(Wide(s), c.units) << c.name;
            EXPECT_EQ(WString(result), c.units) << c.name;
            EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
        }
        else
        {
            EXPECT_EQ(result, nullptr) << c.name;
            EXPECT_FALSE(s.IsWide()) << c.name;
            EXPECT_EQ(Narrow(s), c.bytes) << c.name;
        }
    }
}

TEST(GStringWidth, MakeNarrow_EncodesInPlace)
{
    struct Case
    {
        const char* name;
        WString units;
        std::string bytes;
    };
    const Case cases[] = {
        { "e acute and euro", W("\x00E9\x20AC"), "\xC3\xA9\xE2\x82\xAC" },
        { "surrogate pair", W("\xD83D\xDE00"), "\xED\xA0\xBD\xED\xB8\x80" },
        { "29 units of 3 bytes grow the block", WString(29, (wch)0x20AC), [] {
              std::string s;
              for (int i = 0; i < 29; ++i)
                  s += "\xE2\x82\xAC";
              return s;
          }() },
        { "empty", W(""), "" },
    };
    for (const Case& c : cases)
    {
        GString s;
        s.ClearWide();
        ASSERT_TRUE(s.AppendWideRaw(c.units.data(), (int)c.units.size())) << c.name;
        const char* result = s.MakeNarrow(-1);
        ASSERT_NE(result, nullptr) << c.name;
        EXPECT_FALSE(s.IsWide()) << c.name;
        EXPECT_EQ(Narrow(s), c.bytes) << c.name;
        EXPECT_EQ(std::string(result), c.bytes) << c.name;
        EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
        ASSERT_NE(s.MakeWide(-1), nullptr) << c.name;
        EXPECT_EQ(Wide(s), c.units) << c.name;
    }
}

TEST(GStringWidth, AssignPacked_ReadsTheHeaderWidthAndLength)
{
    struct Case
    {
        const char* name;
        std::vector<u8> record;
        int result;
        int wide;
        WString units;
        std::string bytes;
    };
    const Case cases[] = {
        { "8-bit", { 3, 0, 0, 0x80, 'a', 'b', 'c', 'z' }, 1, 0, W(""), "abc" },
        { "UTF-16", { 2, 0, 0, 0, 'h', 0, 'i', 0, 'z', 0 }, 1, 1, W("hi"), "" },
        { "bits 29 and 30 ignored", { 2, 0, 0, 0x60, 'h', 0, 'i', 0 }, 1, 1, W("hi"), "" },
        { "8-bit with flag bits", { 1, 0, 0, 0xE0, 'q' }, 1, 0, W(""), "q" },
        { "empty UTF-16", { 0, 0, 0, 0 }, 1, 1, W(""), "" },
        { "UTF-16 beyond 255 units keeps the length", {}, 1, 1, WString(300, (wch)'k'), "" },
    };
    for (const Case& c : cases)
    {
        std::vector<u8> record = c.record;
        if (record.empty())
        {
            record = { 0x2C, 0x01, 0, 0 };
            for (int i = 0; i < 300; ++i)
            {
                record.push_back('k');
                record.push_back(0);
            }
        }
        GString s;
        ASSERT_TRUE(s.AssignNarrow("old", -1, -1));
        EXPECT_EQ(s.AssignPacked(record.data()), c.result) << c.name;
        EXPECT_EQ(s.IsWide(), c.wide) << c.name;
        if (c.wide)
        {
            EXPECT_EQ(Wide(s), c.units) << c.name;
        }
        else
        {
            EXPECT_EQ(Narrow(s), c.bytes) << c.name;
        }
    }
    GString s;
    ASSERT_TRUE(s.AssignWide(W("old")));
    EXPECT_EQ(s.AssignPacked(nullptr), 0);
    EXPECT_EQ(s.Length(), 0);
}

TEST(GStringWidth, Assign_TakesWidthCodePageAndText)
{
    GString narrow, wide, target;
    ASSERT_TRUE(narrow.AssignNarrow("\xC3\xA9t\xC3\xA9", -1, -1));
    ASSERT_TRUE(wide.AssignWide(W("\x0416")));
    ASSERT_TRUE(target.Assign(wide));
    EXPECT_TRUE(target.IsWide());
    EXPECT_EQ(Wide(target), WString(W("\x0416")));
    ASSERT_TRUE(target.Assign(narrow));
    EXPECT_FALSE(target.IsWide());
    EXPECT_EQ(Narrow(target), std::string("\xC3\xA9t\xC3\xA9"));
    ASSERT_TRUE(target.Assign(target));
    EXPECT_EQ(Narrow(target), std::string("\xC3\xA9t\xC3\xA9"));
}

TEST(GStringWidth, OwnTextAsArgument_SurvivesGrowthAndCompaction)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(Pattern(21).data(), 21));
    ASSERT_EQ(s.BlockSize(), 64);
    ASSERT_TRUE(s.AppendWide(s.WideText(0), s.Length()));
    EXPECT_EQ(Wide(s), Pattern(21) + Pattern(21));
    EXPECT_GT(s.BlockSize(), 64);

    ASSERT_TRUE(s.DropFront(40));
    ASSERT_TRUE(s.Append(s));
    EXPECT_EQ(Wide(s), Pattern(2, 19) + Pattern(2, 19));

    ASSERT_TRUE(s.AssignWide(W("0123456789")));
    ASSERT_TRUE(s.AssignWide(s.WideText(0), 4));
    EXPECT_EQ(Wide(s), WString(W("0123")));
    ASSERT_TRUE(s.AssignWide(s.WideText(1)));
    EXPECT_EQ(Wide(s), WString(W("123")));
}

// ---- Searching and comparing ----

TEST(GStringSearch, FindWide_FindsTheFirstMatchFromStart)
{
    struct Case
    {
        const char* name;
        const wch* hay;
        const wch* needle;
        int start;
        int needleLength;
        int expected;
    };
    const Case cases[] = {
        { "b from 0", W("abcb"), W("b"), 0, -1, 1 },
        { "b from 2", W("abcb"), W("b"), 2, -1, 3 },
        { "start at the length", W("abcb"), W("b"), 4, -1, -1 },
        { "negative start", W("abcb"), W("b"), -1, -1, -1 },
        { "needle at the end", W("xxabc"), W("abc"), 0, -1, 2 },
        { "needle longer than the rest", W("xxabc"), W("abc"), 3, -1, -1 },
        { "explicit needle length", W("xxabc"), W("abz"), 0, 2, 2 },
        { "empty needle", W("abc"), W(""), 0, -1, -1 },
        { "null needle", W("abc"), nullptr, 0, -1, -1 },
        { "empty hay", W(""), W("a"), 0, -1, -1 },
        { "no case folding", W("ABC"), W("b"), 0, -1, -1 },
        { "not present", W("abc"), W("d"), 0, -1, -1 },
    };
    for (const Case& c : cases)
    {
        GString s;
        ASSERT_TRUE(s.AssignWide(c.hay)) << c.name;
        EXPECT_EQ(s.FindWide(c.needle, c.start, c.needleLength), c.expected) << c.name;
    }
}

TEST(GStringSearch, Find_ConvertsANeedleOfTheOtherWidth)
{
    // a, e acute, b, e acute: bytes 0, 1-2, 3, 4-5; units 0, 1, 2, 3.
    GString narrow, wide, needle;
    ASSERT_TRUE(narrow.AssignNarrow("a\xC3\xA9" "b\xC3\xA9", -1, -1));
    ASSERT_TRUE(wide.AssignWide(W("a\x00E9" "b\x00E9")));
    EXPECT_EQ(narrow.FindWide(W("\x00E9"), 0, -1), 1);
    EXPECT_EQ(narrow.FindWide(W("\x00E9"), 2, -1), 4);
    EXPECT_EQ(narrow.FindWide(W("\x00E9" "b"), 0, -1), 1);
    EXPECT_EQ(wide.FindNarrow("\xC3\xA9", 0, -1), 1);
    EXPECT_EQ(wide.FindNarrow("\xC3\xA9", 2, -1), 3);
    EXPECT_EQ(wide.FindNarrow("\xFF", 0, -1), -1);
    ASSERT_TRUE(needle.AssignNarrow("b\xC3\xA9", -1, -1));
    EXPECT_EQ(wide.Find(needle, 0), 2);
    EXPECT_EQ(narrow.Find(needle, 0), 3);
    ASSERT_TRUE(needle.AssignWide(W("b")));
    EXPECT_EQ(narrow.Find(needle, 0), 3);
    GString empty;
    EXPECT_EQ(wide.Find(empty, 0), -1);
}

TEST(GStringSearch, ReverseFindChar_FindsTheLastMatchAtOrAfterStop)
{
    struct Case
    {
        const char* name;
        int wide;
        const char* text;  // UTF-8
        wch ch;
        int stop;
        int expected;
    };
    const Case cases[] = {
        { "last backslash", 1, "C:\\dir\\file", '\\', 0, 6 },
        { "stop before it", 1, "C:\\dir\\file", '\\', 3, 6 },
        { "stop after it", 1, "C:\\dir\\file", '\\', 7, -1 },
        { "stop at the length", 1, "C:\\dir\\file", '\\', 11, -1 },
        { "negative stop", 1, "C:\\dir\\file", '\\', -1, -1 },
        { "8-bit byte", 0, "C:\\dir\\file", '\\', 0, 6 },
        { "8-bit multibyte character", 0, "\xC3\xA9x\xC3\xA9y", 0xE9, 0, 3 },
        { "8-bit multibyte before stop", 0, "\xC3\xA9x\xC3\xA9y", 0xE9, 4, -1 },
        { "wide unit", 1, "\xC3\xA9x\xC3\xA9y", 0xE9, 0, 2 },
        { "empty", 1, "", '\\', 0, -1 },
    };
    for (const Case& c : cases)
    {
        GString s;
        ASSERT_TRUE(s.AssignNarrow(c.text, -1, -1)) << c.name;
        if (c.wide)
        {
            ASSERT_NE(s.MakeWide(-1), nullptr) << c.name;
        }
        EXPECT_EQ(s.ReverseFindChar(c.ch, c.stop), c.expected) << c.name;
    }
}

TEST(GStringSearch, ReverseFindCharAndDropFront_LeaveTheFileName)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(W("C:\\dir\\file")));
    const int slash = s.ReverseFindChar('\\', 0);
    ASSERT_EQ(slash, 6);
    ASSERT_TRUE(s.DropFront(slash + 1));
    EXPECT_EQ(Wide(s), WString(W("file")));
}

TEST(GStringSearch, Compare_SortsByLengthThenUnits)
{
    struct Case
    {
        const char* name;
        int wide;
        const char* text;  // UTF-8 content of the string
        const wch* other;
        int expected;
    };
    const Case cases[] = {
        { "both empty", 1, "", W(""), 0 },
        { "null text", 1, "", nullptr, 0 },
        { "this empty", 1, "", W("a"), -1 },
        { "other empty", 1, "a", W(""), 1 },
        { "shorter first", 1, "b", W("aa"), -1 },
        { "longer last", 1, "aa", W("b"), 1 },
        { "units decide", 1, "ab", W("aa"), 1 },
        { "units decide the other way", 1, "aa", W("ab"), -1 },
        { "equal", 1, "abc", W("abc"), 0 },
        { "no case folding", 1, "abc", W("ABC"), 1 },
        { "unsigned units", 1, "a\xEF\xBC\x80", W("a\x0100"), 1 },
        { "8-bit equal", 0, "abc", W("abc"), 0 },
        { "8-bit smaller", 0, "abc", W("abd"), -1 },
        { "8-bit with e acute", 0, "\xC3\xA9", W("\x00E9"), 0 },
        { "8-bit bytes unsigned", 0, "\xC3\xA9", W("a\x007F"), 1 },
    };
    for (const Case& c : cases)
    {
        GString s;
        ASSERT_TRUE(s.AssignNarrow(c.text, -1, -1)) << c.name;
        if (c.wide)
        {
            ASSERT_NE(s.MakeWide(-1), nullptr) << c.name;
        }
        EXPECT_EQ(s.CompareWide(c.other, -1), c.expected) << c.name;
        // The same comparison with an 8-bit operand.
        GString other;
        if (c.other)
        {
            ASSERT_TRUE(other.AssignWide(c.other)) << c.name;
        }
        ASSERT_NE(other.MakeNarrow(-1), nullptr) << c.name;
        EXPECT_EQ(s.CompareNarrow(other.NarrowText(0), other.Length()), c.expected) << c.name;
        EXPECT_EQ(Equal(s, other), c.expected == 0) << c.name;
    }
}

TEST(GStringSearch, Equal_NeverMatchesAnUndecodableText)
{
    GString wide, bad;
    ASSERT_TRUE(wide.AssignWide(W("x")));
    ASSERT_TRUE(bad.AssignNarrow("\xFF", -1, -1));
    EXPECT_EQ(wide.CompareNarrow("\xFF", 1), 0);
    EXPECT_EQ(Equal(wide, bad), 0);
    EXPECT_EQ(Equal(bad, bad), 1);
}

TEST(GStringSearch, FindBytes_SearchesRawBuffers)
{
    const char hay[] = "MZ\0\0PE\0\0PE";
    struct Case
    {
        const char* name;
        const char* hay;
        const char* needle;
        int hayLength;
        int needleLength;
        int start;
        int expected;
    };
    const Case cases[] = {
        { "first", hay, "PE\0", 10, 3, 0, 4 },
        { "from start", hay, "PE", 10, 2, 5, 8 },
        { "at the very end", hay, "PE", 10, 2, 8, 8 },
        { "start past the fit", hay, "PE", 10, 2, 9, -1 },
        { "embedded NULs", hay, "\0\0P", 10, 3, 0, 2 },
        { "absent", hay, "PX", 10, 2, 0, -1 },
        { "null hay", nullptr, "PE", 10, 2, 0, -1 },
        { "null needle", hay, nullptr, 10, 2, 0, -1 },
        { "zero hay length", hay, "PE", 0, 2, 0, -1 },
        { "zero needle length", hay, "PE", 10, 0, 0, -1 },
        { "negative start", hay, "PE", 10, 2, -1, -1 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindBytes(c.hay, c.needle, c.hayLength, c.needleLength, c.start), c.expected) << c.name;
}

// ---- Paths and suffixes ----

TEST(GStringPath, AppendPath_JoinsWithExactlyOneBackslash)
{
    struct Case
    {
        const char* name;
        const char* base;  // UTF-8
        const char* part;  // UTF-8; null: a null part
        const char* expected;
    };
    const Case cases[] = {
        { "part with backslash", "C:\\dir", "\\file", "C:\\dir\\file" },
        { "base with backslash", "C:\\dir\\", "file", "C:\\dir\\file" },
        { "both with backslash", "C:\\dir\\", "\\file", "C:\\dir\\file" },
        { "neither", "C:\\dir", "file", "C:\\dir\\file" },
        { "part with slash", "C:\\dir", "/file", "C:\\dir\\file" },
        { "only one separator dropped", "C:\\dir", "\\\\file", "C:\\dir\\\\file" },
        { "empty base", "", "file", "\\file" },
        { "empty part", "C:\\dir", "", "C:\\dir\\" },
        { "null part", "C:\\dir", nullptr, "C:\\dir\\" },
        { "empty part on backslash", "C:\\dir\\", "", "C:\\dir\\" },
        { "part is a separator", "C:\\dir", "\\", "C:\\dir\\" },
        { "non-ascii", "C:\\d\xC3\xA9", "f\xE2\x82\xAC", "C:\\d\xC3\xA9\\f\xE2\x82\xAC" },
    };
    enum Form { kWidePart, kNarrowPart, kStringPart };
    for (const Case& c : cases)
    {
        for (int baseWide = 0; baseWide < 2; ++baseWide)
        {
            for (int form = kWidePart; form <= kStringPart; ++form)
            {
                GString base, part, expected;
                ASSERT_TRUE(base.AssignNarrow(c.base, -1, -1));
                if (baseWide)
                {
                    ASSERT_NE(base.MakeWide(-1), nullptr);
                }
                ASSERT_TRUE(part.AssignNarrow(c.part, -1, -1));
                if (form == kWidePart)
                {
                    ASSERT_NE(part.MakeWide(-1), nullptr);
                }
                ASSERT_TRUE(expected.AssignNarrow(c.expected, -1, -1));
                int result;
                if (form == kWidePart)
                    result = base.AppendPath(c.part ? part.WideText(0) : nullptr, -1);
                else if (form == kNarrowPart)
                    result = base.AppendPath(c.part ? part.NarrowText(0) : nullptr, -1);
                else
                    result = base.AppendPath(part);
                const std::string where = std::string(c.name) + (baseWide ? ", wide base" : ", 8-bit base")
                    + (form == kWidePart ? ", wide part" : form == kNarrowPart ? ", 8-bit part" : ", GString part");
                EXPECT_EQ(result, 1) << where;
                EXPECT_EQ(base.IsWide(), baseWide) << where;
                EXPECT_TRUE(Equal(base, expected)) << where;
                EXPECT_EQ(base.Length(), baseWide ? (int)WString(base.WideText(0)).size()
                                                  : (int)strlen(base.NarrowText(0)))
                    << where << ": embedded NUL";
            }
        }
    }
}

TEST(GStringPath, AppendPath_GivesTheElevenCharacterPath)
{
    GString a, b;
    ASSERT_TRUE(a.AssignWide(W("C:\\dir")));
    ASSERT_TRUE(b.AssignWide(W("C:\\dir\\")));
    ASSERT_TRUE(a.AppendPath(W("\\file")));
    ASSERT_TRUE(b.AppendPath(W("file")));
    EXPECT_EQ(Wide(a), WString(W("C:\\dir\\file")));
    EXPECT_EQ(a.Length(), 11);
    EXPECT_EQ(Wide(b), WString(W("C:\\dir\\file")));
    EXPECT_EQ(b.Length(), 11);
}

TEST(GStringPath, AppendPath_RefusesAnUndecodablePart)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(W("C:\\dir")));
    EXPECT_EQ(s.AppendPath("\\\xFF", -1), 0);
    EXPECT_EQ(Wide(s), WString(W("C:\\dir")));
}

TEST(GStringPath, AppendPath_TakesItsOwnTextThroughGrowth)
{
    GString s;
    ASSERT_TRUE(s.AssignWide(Pattern(28).data(), 28));
    ASSERT_EQ(s.BlockSize(), 64);
    ASSERT_TRUE(s.AppendPath(s));
    EXPECT_EQ(Wide(s), Pattern(28) + W("\\") + Pattern(28));
}

TEST(GStringPath, EnsureSuffix_AppendsOnlyAMissingSuffix)
{
    struct Case
    {
        const char* name;
        int wide;
        const char* text;
        const wch* suffix;
        int result;
        const char* expected;
    };
    const Case cases[] = {
        { "missing", 1, "name", W(".txt"), 1, "name.txt" },
        { "present", 1, "name.txt", W(".txt"), 1, "name.txt" },
        { "partly present", 1, "name.tx", W(".txt"), 1, "name.tx.txt" },
        { "empty string", 1, "", W(".txt"), 1, ".txt" },
        { "empty suffix", 1, "name", W(""), 0, "name" },
        { "null suffix", 1, "name", nullptr, 0, "name" },
        { "8-bit missing", 0, "na", W("\x00E9"), 1, "na\xC3\xA9" },
        { "8-bit present", 0, "n\xC3\xA9", W("\x00E9"), 1, "n\xC3\xA9" },
    };
    for (const Case& c : cases)
    {
        GString s, expected;
        ASSERT_TRUE(s.AssignNarrow(c.text, -1, -1)) << c.name;
        if (c.wide)
        {
            ASSERT_NE(s.MakeWide(-1), nullptr) << c.name;
        }
        ASSERT_TRUE(expected.AssignNarrow(c.expected, -1, -1)) << c.name;
        EXPECT_EQ(s.EnsureSuffix(c.suffix, -1), c.result) << c.name;
        EXPECT_TRUE(Equal(s, expected)) << c.name;
    }
    GString s;
    ASSERT_TRUE(s.AssignWide(W("a")));
    EXPECT_EQ(s.EnsureSuffix("\xC3\xA9", -1), 1);
    EXPECT_EQ(Wide(s), WString(W("a\x00E9")));
    EXPECT_EQ(s.EnsureSuffix("", -1), 0);
}

// ---- Upper case ----

TEST(GStringUpper, MakeUpper_MapsEveryUnitInEitherWidth)
{
    struct Case
    {
        const char* name;
        const char* text;
        const char* upper;
    };
    const Case cases[] = {
        { "ascii", "abc XYZ 123", "ABC XYZ 123" },
        { "polish", "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "ZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86" },
        { "sharp s stays", "stra\xC3\x9F" "e", "STRA\xC3\x9F" "E" },
        { "dotless i shrinks to one byte", "\xC4\xB1" "a", "IA" },
        { "U+023F grows to three bytes", "\xC8\xBF\xC8\xBF", "\xE2\xB1\xBE\xE2\xB1\xBE" },
        { "cyrillic", "\xD0\xB1\xD1\x91", "\xD0\x91\xD0\x81" },
        { "surrogates stay", "\xED\xA0\xBD\xED\xB8\x80", "\xED\xA0\xBD\xED\xB8\x80" },
        { "empty", "", "" },
    };
    for (const Case& c : cases)
    {
        for (int wide = 0; wide < 2; ++wide)
        {
            GString s, expected;
            ASSERT_TRUE(s.AssignNarrow(c.text, -1, -1)) << c.name;
            if (wide)
            {
                ASSERT_NE(s.MakeWide(-1), nullptr) << c.name;
            }
            ASSERT_TRUE(expected.AssignNarrow(c.upper, -1, -1)) << c.name;
            EXPECT_EQ(s.MakeUpper(), 1) << c.name << (wide ? ", wide" : ", 8-bit");
            EXPECT_EQ(s.IsWide(), wide) << c.name;
            EXPECT_TRUE(Equal(s, expected)) << c.name << (wide ? ", wide" : ", 8-bit");
            EXPECT_TRUE(TerminatedAfterText(s)) << c.name;
        }
    }
}

TEST(GStringUpper, MakeUpper_RefusesUndecodable8BitText)
{
    GString s;
    ASSERT_TRUE(s.AssignNarrow("ab\xFF", -1, -1));
    EXPECT_EQ(s.MakeUpper(), 0);
    EXPECT_EQ(Narrow(s), std::string("ab\xFF"));
}

// ---- Debug output ----

class GStringDebugOutput : public ::testing::Test
{
protected:
    static std::vector<WString> s_lines;

    static void Capture(const wch* line)
    {
        s_lines.push_back(WString(line));
    }

    void SetUp() override
    {
        s_lines.clear();
        m_previous = SetDebugSink(Capture);
    }

    void TearDown() override
    {
        SetDebugSink(m_previous);
    }

    DebugSinkFn m_previous = nullptr;
};

std::vector<WString> GStringDebugOutput::s_lines;

TEST_F(GStringDebugOutput, DebugOutput_SplitsIntoLinesOf80)
{
    const WString more = W(" \\\n");
    const WString end = W("\n");
    struct Case
    {
        const char* name;
        int length;
        int maxLength;
        std::vector<WString> lines;
    };
    const Case cases[] = {
        { "empty", 0, 65535, {} },
        { "short", 5, 65535, { Pattern(5) + end } },
        { "79", 79, 65535, { Pattern(79) + end } },
        { "exactly 80", 80, 65535, { Pattern(80) + end } },
        { "81", 81, 65535, { Pattern(80) + more, Pattern(1, 80) + end } },
        { "160", 160, 65535, { Pattern(80) + more, Pattern(80, 80) + end } },
        { "cut by maxLength", 200, 100, { Pattern(80) + more, Pattern(20, 80) + end } },
        { "cut to a whole line", 200, 80, { Pattern(80) + end } },
        { "zero maxLength", 10, 0, {} },
    };
    for (const Case& c : cases)
    {
        for (int wide = 0; wide < 2; ++wide)
        {
            s_lines.clear();
            GString s;
            const WString text = Pattern(c.length);
            ASSERT_TRUE(s.AssignWide(text.data(), (int)text.size()));
            if (!wide)
            {
                ASSERT_NE(s.MakeNarrow(-1), nullptr);
            }
            EXPECT_TRUE(s.DebugOutput(c.maxLength)) << c.name;
            EXPECT_EQ(s_lines, c.lines) << c.name << (wide ? ", wide" : ", 8-bit");
        }
    }
}

TEST_F(GStringDebugOutput, DebugOutput_CountsCharactersOf8BitText)
{
    GString s;
    const WString text = WString(81, (wch)0x00E9);
    ASSERT_TRUE(s.AssignWide(text.data(), (int)text.size()));
    ASSERT_NE(s.MakeNarrow(-1), nullptr);
    ASSERT_EQ(s.Length(), 162);
    EXPECT_TRUE(s.DebugOutput(65535));
    ASSERT_EQ(s_lines.size(), 2u);
    EXPECT_EQ(s_lines[0], WString(80, (wch)0x00E9) + W(" \\\n"));
    EXPECT_EQ(s_lines[1], WString(1, (wch)0x00E9) + W("\n"));
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(s.Length(), 162);
}

} // namespace
