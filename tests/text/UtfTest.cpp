#include "text/Utf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

typedef std::basic_string<wch> WString;

std::string Encode(const WString& units)
{
    std::string out((size_t)Utf8Length(units.data(), (int)units.size()), '\0');
    const int written = EncodeUtf8(units.data(), (int)units.size(), &out[0]);
    out.resize((size_t)written);
    return out;
}

TEST(Utf8Encoding, EncodeUtf8_WritesEachUnitOnItsOwn)
{
    struct Case
    {
        const char* name;
        WString units;
        std::string bytes;
    };
    const Case cases[] = {
        { "ascii A", WString(1, (wch)0x41), "\x41" },
        { "last 1-byte", WString(1, (wch)0x7F), "\x7F" },
        { "e acute", WString(1, (wch)0xE9), "\xC3\xA9" },
        { "first 2-byte", WString(1, (wch)0x80), "\xC2\x80" },
        { "cyrillic zhe", WString(1, (wch)0x416), "\xD0\x96" },
        { "last 2-byte", WString(1, (wch)0x7FF), "\xDF\xBF" },
        { "first 3-byte", WString(1, (wch)0x800), "\xE0\xA0\x80" },
        { "euro", WString(1, (wch)0x20AC), "\xE2\x82\xAC" },
        { "surrogate pair as two sequences", WString(W("\xD83D\xDE00")), "\xED\xA0\xBD\xED\xB8\x80" },
        { "last unit", WString(1, (wch)0xFFFF), "\xEF\xBF\xBF" },
        { "mixed", WString(W("a\x00E9\x20AC")), "a\xC3\xA9\xE2\x82\xAC" },
        { "embedded NUL kept with a count", WString(W("a\0b"), 3), std::string("a\0b", 3) },
        { "empty", WString(), "" },
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Utf8Length(c.units.data(), (int)c.units.size()), (int)c.bytes.size()) << c.name;
        EXPECT_EQ(Encode(c.units), c.bytes) << c.name;
    }
}

TEST(Utf8Encoding, Utf8Length_CountsUpToTheNulForNegativeCounts)
{
    EXPECT_EQ(Utf8Length(W("a\x00E9\x20AC"), -1), 6);
    EXPECT_EQ(Utf8Length(W("ab\0cd"), -1), 2);
    EXPECT_EQ(Utf8Length(nullptr, 5), 0);
    EXPECT_EQ(Utf8Length(W("abc"), 0), 0);
    char out[8] = { 'x' };
    EXPECT_EQ(EncodeUtf8(W("\x20AC"), -1, out), 3);
}

TEST(Utf8Decoding, DecodeUtf8_FollowsTheSequenceRules)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        int result;  // units, or -1
        WString units;
    };
    const Case cases[] = {
        { "e acute", "\xC3\xA9", 1, WString(1, (wch)0xE9) },
        { "euro", "\xE2\x82\xAC", 1, WString(1, (wch)0x20AC) },
        { "encoded surrogates", "\xED\xA0\xBD\xED\xB8\x80", 2, WString(W("\xD83D\xDE00")) },
        { "overlong NUL", std::string("\xC0\x80", 2), 1, WString(1, (wch)0) },
        { "overlong slash", "\xE0\x80\xAF", 1, WString(1, (wch)0x2F) },
        { "mixed", "a\xC3\xA9\xE2\x82\xAC", 3, WString(W("a\x00E9\x20AC")) },
        { "4-byte form refused", "\xF0\x9F\x98\x80", -1, WString() },
        { "cut 2-byte", "\xC3", -1, WString() },
        { "cut 3-byte", "\xE2\x82", -1, WString() },
        { "bad continuation", "\xC3\x41", -1, WString() },
        { "bad second continuation", "\xE2\x82\x41", -1, WString() },
        { "lone continuation", "\x80", -1, WString() },
        { "FF", "\xFF", -1, WString() },
        { "F8", "\xF8\x80\x80\x80\x80", -1, WString() },
        { "failure after good text", "abc\x80", -1, WString() },
        { "empty", "", 0, WString() },
    };
    for (const Case& c : cases)
    {
        std::vector<wch> out((size_t)Utf16Length(c.bytes.data(), (int)c.bytes.size()) + 1, (wch)0x7777);
        const int result = DecodeUtf8(c.bytes.data(), (int)c.bytes.size(), out.data());
        ASSERT_EQ(result, c.result) << c.name;
        if (result >= 0)
        {
            EXPECT_EQ(WString(out.data(), (size_t)result), c.units) << c.name;
        }
    }
}

TEST(Utf8Decoding, DecodeUtf8_RefusesAMissingBuffer)
{
    EXPECT_EQ(DecodeUtf8("abc", 3, nullptr), -1);
}

TEST(Utf8Decoding, EveryUnitSurvivesTheRoundTrip)
{
    for (u32 u = 0; u <= 0xFFFF; ++u)
    {
        const wch unit = (wch)u;
        char bytes[4];
        const int n = EncodeUtf8(&unit, 1, bytes);
        ASSERT_EQ(n, Utf8Length(&unit, 1)) << "unit " << u;
        ASSERT_EQ(Utf16Length(bytes, n), 1) << "unit " << u;
        wch back = 0;
        ASSERT_EQ(DecodeUtf8(bytes, n, &back), 1) << "unit " << u;
        ASSERT_EQ((u32)(u16)back, u) << "unit " << u;
    }
}

TEST(Utf8Counting, Utf16Length_CountsSequencesByTheirLeadByte)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        int units;
    };
    const Case cases[] = {
        { "three characters", "a\xC3\xA9\xE2\x82\xAC", 3 },
        { "4-byte lead counts one", "\xF0\x9F\x98\x80", 1 },
        { "lead alone still counts", "\xE2", 1 },
        { "bad byte counted and ends", "ab\x80" "cd", 3 },
        { "FF ends the count", "\xFF" "abc", 1 },
        { "empty", "", 0 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf16Length(c.bytes.data(), (int)c.bytes.size()), c.units) << c.name;
    EXPECT_EQ(Utf16Length("a\xC3\xA9", -1), 2);
    EXPECT_EQ(Utf16Length(nullptr, 3), 0);
}

TEST(Utf8Counting, SkipUtf8_StepsOverWholeSequences)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC" "b";  // a, e acute, euro, b
    struct Case
    {
        const char* name;
        int n;
        int offset;  // -1: null
    };
    const Case cases[] = {
        { "none", 0, 0 },
        { "one", 1, 1 },
        { "two", 2, 3 },
        { "three", 3, 6 },
        { "all four", 4, 7 },
        { "count beyond the characters", 5, 7 },
        { "count equal to the bytes", 7, -1 },
        { "count beyond the bytes", 9, -1 },
    };
    for (const Case& c : cases)
    {
        const char* p = SkipUtf8(text.data(), (int)text.size(), c.n);
        if (c.offset < 0)
        {
            EXPECT_EQ(p, nullptr) << c.name;
        }
        else
        {
            EXPECT_EQ(p, text.data() + c.offset) << c.name;
        }
    }
}

TEST(Utf8Counting, SkipUtf8_StopsAfterAByteThatStartsNothing)
{
    const char text[] = "a\x80xyz";
    EXPECT_EQ(SkipUtf8(text, 5, 3), text + 2);
    const char cut[] = "ab\xE2\x82";
    EXPECT_EQ(SkipUtf8(cut, 4, 3), cut + 4);
    const char terminated[] = "a\xC3\xA9";
    EXPECT_EQ(SkipUtf8(terminated, -1, 1), terminated + 1);
}

} // namespace
