#include "text/GString.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <stdarg.h>
#include <string>

namespace
{

// One directive case: a call of Format with its own arguments, the text it
// must leave and whether it must succeed.
struct FormatCase
{
    const char* name;
    int (*run)(GString& s);
    const wch* expected;
    int result;
};

#define FORMAT_CASE(name, expected, result, ...) \
    { name, [](GString& s) { return s.Format(__VA_ARGS__); }, expected, result }

std::string Show(const wch* text, int length)
{
    std::string out;
    for (int i = 0; i < length; ++i)
    {
        const unsigned u = (u16)text[i];
        if (u >= 0x20 && u < 0x7F)
        {
            out += (char)u;
        }
        else
        {
            char hex[16];
            snprintf(hex, sizeof hex, "\\u%04x", u);
            out += hex;
        }
    }
    return out;
}

int WideLength(const wch* text)
{
    int n = 0;
    while (text[n])
        ++n;
    return n;
}

void RunCases(const FormatCase* cases, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        const FormatCase& c = cases[i];
        GString s;
        const int result = c.run(s);
        const int length = WideLength(c.expected);
        EXPECT_EQ(c.result, result != 0) << c.name;
        EXPECT_EQ(Show(c.expected, length), Show(s.WideText(), s.Length())) << c.name;
        EXPECT_TRUE(s.IsWide()) << c.name;
        if (s.Length() > 0)
        {
            EXPECT_EQ(0, s.WideText()[s.Length()]) << c.name << ": the text is not terminated";
        }
    }
}

int AppendFormat(GString& s, const wch* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = s.AppendFormatV(format, args);
    va_end(args);
    return result;
}

const unsigned char kBytes[8] = { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77 };
const unsigned char kUpperBytes[2] = { 0xAB, 0xCD };
const unsigned char kAddress[4] = { 0x01, 0x00, 0x00, 0x0A };
const unsigned char kBroadcast[4] = { 0xFF, 0xFF, 0xFF, 0xFF };
const unsigned char kGuid[16] = { 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                  0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F };

// Packed text records as the string tables hand them out.
struct PackedWide
{
    u32 header;
    wch text[3];
};
const PackedWide kPackedHi = { 2, { 'h', 'i', 0 } };
struct PackedNarrow
{
    u32 header;
    char text[8];
};
const PackedNarrow kPackedNarrow = { 0x80000003u, "a\xC3\xA9" };
const PackedNarrow kPackedBroken = { 0x80000001u, "\xFF" };

const GString& WideString()
{
    static GString s;
    s.AssignWide(W("abc"));
    return s;
}

const GString& NarrowString()
{
    static GString s;
    s.AssignNarrow("x\xC3\xA9");
    return s;
}

} // namespace

// ---- Integers ----

// On the 32-bit build '%d' of a 64-bit argument leaves its upper half for the
// next directive; on x86_64 every argument has a slot of its own, so no case
// here depends on the slot width.

TEST(FormatInteger, DirectivesGiveTheirText)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("d negative", W("-42"), 1, W("%d"), -42),
        FORMAT_CASE("i", W("5"), 1, W("%i"), 5),
        FORMAT_CASE("width", W("  -42"), 1, W("%5d"), -42),
        FORMAT_CASE("left", W("-42  |"), 1, W("%-5d|"), -42),
        FORMAT_CASE("zero fill goes before the sign", W("00-42"), 1, W("%05d"), -42),
        FORMAT_CASE("minus beats zero", W("-42  |"), 1, W("%-05d|"), -42),
        FORMAT_CASE("plus", W("+7"), 1, W("%+d"), 7),
        FORMAT_CASE("space", W(" 7"), 1, W("% d"), 7),
        FORMAT_CASE("plus beats space", W("+7"), 1, W("%+ d"), 7),
        FORMAT_CASE("u shows no sign", W("7"), 1, W("%+u"), 7),
        FORMAT_CASE("int minimum", W("-2147483648"), 1, W("%d"), INT_MIN),
        FORMAT_CASE("u maximum", W("4294967295"), 1, W("%u"), 0xFFFFFFFFu),
        FORMAT_CASE("precision", W("00042"), 1, W("%.5d"), 42),
        FORMAT_CASE("precision with sign", W("-00042"), 1, W("%.5d"), -42),
        FORMAT_CASE("precision 0 of 0", W("0"), 1, W("%.0d"), 0),
        FORMAT_CASE("hex", W("deadbeef"), 1, W("%x"), 0xDEADBEEFu),
        FORMAT_CASE("hex upper", W("DEADBEEF"), 1, W("%X"), 0xDEADBEEFu),
        FORMAT_CASE("hex prefix", W("0xff"), 1, W("%#x"), 255),
        FORMAT_CASE("hex prefix keeps a small x", W("0xFF"), 1, W("%#X"), 255),
        FORMAT_CASE("octal", W("10"), 1, W("%o"), 8),
        FORMAT_CASE("octal prefix", W("010"), 1, W("%#o"), 8),
        FORMAT_CASE("octal precision drops the prefix", W("0010"), 1, W("%#.4o"), 8),
        FORMAT_CASE("base 2 prefix", W("0y101"), 1, W("%#y"), 5),
        FORMAT_CASE("base 2 of 0", W("0"), 1, W("%y"), 0),
        FORMAT_CASE("precision below prefix and digits", W("0x2a"), 1, W("%#.3x"), 0x2a),
        FORMAT_CASE("precision reaching prefix and digits", W("0x002a"), 1, W("%#.4x"), 0x2a),
        FORMAT_CASE("zero fill goes before the prefix", W("000x2a"), 1, W("%#06x"), 0x2a),
        FORMAT_CASE("prefix with left fill", W("0x2a  |"), 1, W("%-#6x|"), 0x2a),
        FORMAT_CASE("h is ignored", W("70000"), 1, W("%hd"), 70000),
        FORMAT_CASE("l changes nothing", W("-5"), 1, W("%ld"), -5),
        FORMAT_CASE("64-bit minus one", W("-1"), 1, W("%Ld"), (i64)-1),
        FORMAT_CASE("64-bit minimum", W("-9223372036854775808"), 1, W("%lld"), (i64)INT64_MIN),
        FORMAT_CASE("64-bit unsigned maximum", W("18446744073709551615"), 1, W("%Lu"), (u64)UINT64_MAX),
        FORMAT_CASE("64-bit hex", W("123456789abcdef0"), 1, W("%llx"), (u64)0x123456789abcdef0ull),
        FORMAT_CASE("star width", W("   42"), 1, W("%*d"), 5, 42),
        FORMAT_CASE("negative star width left-justifies", W("42   |"), 1, W("%*d|"), -5, 42),
        FORMAT_CASE("star precision", W("0007"), 1, W("%.*d"), 4, 7),
        FORMAT_CASE("negative star precision", W("7"), 1, W("%.*d"), -3, 7),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatInteger, PrecisionIsCappedAt308Digits)
{
    GString s;
    ASSERT_TRUE(s.Format(W("%.400d"), 1));
    ASSERT_EQ(308, s.Length());
    EXPECT_EQ('1', s.WideText()[307]);
    EXPECT_EQ('0', s.WideText()[0]);
    EXPECT_EQ('0', s.WideText()[306]);
}

TEST(FormatInteger, GroupingFlagSeparatesDigits)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("millions", W("1 234 567"), 1, W("%`d"), 1234567),
        FORMAT_CASE("thousands", W("1 234"), 1, W("%`d"), 1234),
        FORMAT_CASE("full groups", W("123 456"), 1, W("%`d"), 123456),
        FORMAT_CASE("short", W("999"), 1, W("%`d"), 999),
        FORMAT_CASE("negative", W("-1 234"), 1, W("%`d"), -1234),
        FORMAT_CASE("hex groups of four", W("1 2345"), 1, W("%`x"), 0x12345),
        FORMAT_CASE("base 2 groups of four", W("1 1111"), 1, W("%`y"), 0x1F),
        FORMAT_CASE("octal groups of three", W("1 234 567"), 1, W("%`o"), 01234567),
        FORMAT_CASE("among leading zeros", W("000 042"), 1, W("%`.6d"), 42),
        FORMAT_CASE("after a prefix", W("0x1 2345 6789"), 1, W("%#`Lx"), (u64)0x123456789ull),
        FORMAT_CASE("width counts separators", W("  1 234"), 1, W("%`7d"), 1234),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatInteger, PointersShowEightDigitsOrNull)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("null", W("  {null}"), 1, W("%p"), (void*)0),
        FORMAT_CASE("null with prefix", W("    {null}"), 1, W("%#p"), (void*)0),
        FORMAT_CASE("null with width", W("    {null}"), 1, W("%10p"), (void*)0),
        FORMAT_CASE("null with left width", W("  {null}  |"), 1, W("%-10p|"), (void*)0),
        FORMAT_CASE("value", W("00001000"), 1, W("%p"), (void*)0x1000),
        FORMAT_CASE("lower", W("00a0fe00"), 1, W("%p"), (void*)0xA0FE00),
        FORMAT_CASE("upper", W("00A0FE00"), 1, W("%P"), (void*)0xA0FE00),
        FORMAT_CASE("prefix", W("0x00001000"), 1, W("%#p"), (void*)0x1000),
        FORMAT_CASE("prefix keeps eight digits", W("0x01234567"), 1, W("%#p"), (void*)0x1234567),
        FORMAT_CASE("precision does not apply", W("00001000"), 1, W("%.2p"), (void*)0x1000),
        FORMAT_CASE("zero fill", W("0000001000"), 1, W("%010p"), (void*)0x1000),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

// ---- Characters and strings ----

TEST(FormatText, CharactersAndEscapes)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("plain", W("A"), 1, W("%c"), 'A'),
        FORMAT_CASE("upper letter is the same", W("A"), 1, W("%C"), 'A'),
        FORMAT_CASE("width", W("  A"), 1, W("%3c"), 'A'),
        FORMAT_CASE("left", W("A  |"), 1, W("%-3c|"), 'A'),
        FORMAT_CASE("UTF-16 unit", W("\x0416"), 1, W("%c"), 0x416),
        FORMAT_CASE("low 16 bits", W("A"), 1, W("%c"), 0x10041),
        FORMAT_CASE("strict escapes from low byte", W("{16}"), 1, W("%$c"), 0x416),
        FORMAT_CASE("strict escapes DEL", W("{7f}"), 1, W("%$c"), 0x7F),
        FORMAT_CASE("strict upper digits", W("{1F}"), 1, W("%$C"), 0x1F),
        FORMAT_CASE("hash escapes controls", W("{09}"), 1, W("%#c"), 9),
        FORMAT_CASE("hash keeps others", W("\x0416"), 1, W("%#c"), 0x416),
        FORMAT_CASE("escape with width", W("  {09}"), 1, W("%#6c"), 9),
        FORMAT_CASE("8-bit character", W("a"), 1, W("%hc"), 'a'),
        FORMAT_CASE("8-bit character from 0x80 fails", W("x"), 0, W("x%hcy"), 0xE9),
        FORMAT_CASE("8-bit character takes the low byte", W("A"), 1, W("%$hc"), 0x141),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatText, WideStrings)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("plain", W("abc"), 1, W("%s"), W("abc")),
        FORMAT_CASE("null", W("{null}"), 1, W("%s"), (const wch*)0),
        FORMAT_CASE("null with width", W("  {null}"), 1, W("%8s"), (const wch*)0),
        FORMAT_CASE("null honours zero fill", W("00{null}"), 1, W("%08s"), (const wch*)0),
        FORMAT_CASE("64-bit modifier appends nothing", W("[]"), 1, W("[%Ls]"), W("abc")),
        FORMAT_CASE("precision cuts", W("abc"), 1, W("%.3s"), W("abcdef")),
        FORMAT_CASE("precision stops at the NUL", W("abc"), 1, W("%.10s"), W("abc")),
        FORMAT_CASE("width", W("   ab|"), 1, W("%5s|"), W("ab")),
        FORMAT_CASE("left", W("ab   |"), 1, W("%-5s|"), W("ab")),
        FORMAT_CASE("width never cuts", W("abcdef"), 1, W("%2s"), W("abcdef")),
        FORMAT_CASE("hash escapes a tab", W("a{09}b"), 1, W("%#s"), W("a\tb")),
        FORMAT_CASE("hash keeps non-ASCII", W("\x00e9{01}"), 1, W("%#s"), W("\x00e9\x0001")),
        FORMAT_CASE("strict escapes Latin-1", W("{e9}"), 1, W("%$s"), W("\x00e9")),
        FORMAT_CASE("strict escapes low byte", W("{16}"), 1, W("%$S"), W("\x0416")),
        FORMAT_CASE("strict escapes DEL", W("~{7f}"), 1, W("%$s"), W("~\x007f")),
        FORMAT_CASE("hash upper digits", W("{1B}"), 1, W("%#S"), W("\x001b")),
        FORMAT_CASE("width counts escapes", W("  {e9}|"), 1, W("%$6s|"), W("\x00e9")),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatText, NegativePrecisionTakesExactUnitsWithNuls)
{
    static const wch kUnits[4] = { 'a', 0, 'b', 'c' };
    GString s;
    ASSERT_TRUE(s.Format(W("%.*s|"), -4, kUnits));
    ASSERT_EQ(5, s.Length());
    const wch* t = s.WideText();
    EXPECT_EQ('a', t[0]);
    EXPECT_EQ(0, t[1]);
    EXPECT_EQ('b', t[2]);
    EXPECT_EQ('c', t[3]);
    EXPECT_EQ('|', t[4]);
}

TEST(FormatText, NarrowStrings)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("plain", W("abc"), 1, W("%hs"), "abc"),
        FORMAT_CASE("decoded", W("\x00e9"), 1, W("%hs"), "\xC3\xA9"),
        FORMAT_CASE("precision counts characters", W("a\x00e9"), 1, W("%.2hs"), "a\xC3\xA9" "b"),
        FORMAT_CASE("precision keeps a three-byte sequence", W("\x20ac"), 1, W("%.1hs"), "\xE2\x82\xAC!"),
        FORMAT_CASE("width counts characters", W("   \x00e9|"), 1, W("%4hs|"), "\xC3\xA9"),
        FORMAT_CASE("DEL counts as a character", W("\x007f" "a"), 1, W("%.2hs"), "\x7F" "ab"),
        FORMAT_CASE("malformed fails", W("ab"), 0, W("ab%hs"), "\xFF"),
        FORMAT_CASE("malformed fails without its fill", W("ab"), 0, W("ab%5hs"), "\xFF"),
        FORMAT_CASE("cut sequence fails", W(""), 0, W("%hs"), "a\xC3"),
        FORMAT_CASE("four-byte form fails", W(""), 0, W("%hs"), "\xF0\x9F\x98\x80"),
        FORMAT_CASE("null", W("{null}"), 1, W("%hs"), (const char*)0),
        FORMAT_CASE("strict escapes every byte", W("{c3}{a9}"), 1, W("%$hs"), "\xC3\xA9"),
        FORMAT_CASE("strict upper digits", W("{C3}{A9}"), 1, W("%$hS"), "\xC3\xA9"),
        FORMAT_CASE("strict precision counts bytes", W("{c3}"), 1, W("%$.1hs"), "\xC3\xA9"),
        FORMAT_CASE("strict keeps printable bytes", W("a{7f}~"), 1, W("%$hs"), "a\x7F~"),
        FORMAT_CASE("hash escapes controls, decodes the rest", W("\x00e9{09}x"), 1, W("%#hs"), "\xC3\xA9\tx"),
        FORMAT_CASE("hash with a control inside a sequence fails", W(""), 0, W("%#hs"), "\xC3\t"),
        FORMAT_CASE("hash width counts characters", W("  \x00e9{09}"), 1, W("%#7hs"), "\xC3\xA9\t"),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatText, NarrowNegativePrecisionTakesExactCharacters)
{
    // Two characters, the second a two-byte sequence, and nothing read beyond.
    static const char kText[4] = { 'a', '\xC3', '\xA9', '\xFF' };
    GString s;
    ASSERT_TRUE(s.Format(W("%.*hs"), -2, kText));
    EXPECT_EQ(Show(W("a\x00e9"), 2), Show(s.WideText(), s.Length()));
    static const char kWithNul[3] = { 'a', 0, 'b' };
    ASSERT_TRUE(s.Format(W("%.*hs"), -3, kWithNul));
    ASSERT_EQ(3, s.Length());
    EXPECT_EQ(0, s.WideText()[1]);
    EXPECT_EQ('b', s.WideText()[2]);
}

TEST(FormatText, StringObjectsAndPackedRecords)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("wide string", W("[abc]"), 1, W("[%z]"), &WideString()),
        FORMAT_CASE("8-bit string", W("x\x00e9"), 1, W("%z"), &NarrowString()),
        FORMAT_CASE("8-bit string strict", W("x{C3}{A9}"), 1, W("%$Z"), &NarrowString()),
        FORMAT_CASE("precision", W("ab"), 1, W("%.2z"), &WideString()),
        FORMAT_CASE("negative precision stays inside the text", W("abc|"), 1, W("%.*z|"), -10, &WideString()),
        FORMAT_CASE("width", W("  abc"), 1, W("%5z"), &WideString()),
        FORMAT_CASE("null", W("{null}"), 1, W("%z"), (const GString*)0),
        FORMAT_CASE("packed UTF-16", W("hi"), 1, W("%hz"), &kPackedHi),
        FORMAT_CASE("packed 8-bit", W("a\x00e9"), 1, W("%hz"), &kPackedNarrow),
        FORMAT_CASE("packed with precision", W("a"), 1, W("%.1hz"), &kPackedNarrow),
        FORMAT_CASE("packed strict", W("a{C3}{A9}"), 1, W("%$hZ"), &kPackedNarrow),
        FORMAT_CASE("packed malformed fails", W("<"), 0, W("<%hz>"), &kPackedBroken),
        FORMAT_CASE("packed null", W("{null}"), 1, W("%hz"), (const void*)0),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

// ---- Byte dumps, addresses, GUIDs ----

TEST(FormatBytes, DumpsInEveryFlagCombination)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("plain", W("0011223344556677"), 1, W("%.8b"), kBytes),
        FORMAT_CASE("braces", W("{00}{11}{22}{33}{44}{55}{66}{77}"), 1, W("%#.8b"), kBytes),
        FORMAT_CASE("spaces", W("00 11 22 33 44 55 66 77"), 1, W("% .8b"), kBytes),
        FORMAT_CASE("braces and spaces", W("{00} {11} {22}"), 1, W("%# .3b"), kBytes),
        FORMAT_CASE("groups", W("00112233 44556677"), 1, W("%`.8b"), kBytes),
        FORMAT_CASE("braced groups", W("{00112233}{44556677}"), 1, W("%#`.8b"), kBytes),
        FORMAT_CASE("braced spaced groups", W("{00 11 22 33} {44 55 66 77}"), 1, W("%# `.8b"), kBytes),
        FORMAT_CASE("spaced groups", W("00 11 22 33  44 55 66 77"), 1, W("% `.8b"), kBytes),
        FORMAT_CASE("short last group", W("00112233 4455"), 1, W("%`.6b"), kBytes),
        FORMAT_CASE("braced short last group", W("{00112233}{4455}"), 1, W("%#`.6b"), kBytes),
        FORMAT_CASE("spaced short last group", W("00 11 22 33  44 55"), 1, W("% `.6b"), kBytes),
        FORMAT_CASE("one full group", W("{00112233}"), 1, W("%#`.4b"), kBytes),
        FORMAT_CASE("group and one byte", W("{00112233}{44}"), 1, W("%#`.5b"), kBytes),
        FORMAT_CASE("lower digits", W("abcd"), 1, W("%.2b"), kUpperBytes),
        FORMAT_CASE("upper digits", W("ABCD"), 1, W("%.2B"), kUpperBytes),
        FORMAT_CASE("width", W("  abcd"), 1, W("%6.2b"), kUpperBytes),
        FORMAT_CASE("left width", W("abcd  |"), 1, W("%-6.2b|"), kUpperBytes),
        FORMAT_CASE("null", W("{null}"), 1, W("%.2b"), (const void*)0),
        FORMAT_CASE("null with width", W("  {null}"), 1, W("%8.2b"), (const void*)0),
        FORMAT_CASE("no count takes no argument", W("[]x"), 1, W("[%b]%s"), W("x")),
        FORMAT_CASE("negative count takes no argument", W("[]x"), 1, W("[%.*b]%s"), -3, W("x")),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatBytes, AddressesAndGuids)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("address", W("10.0.0.1"), 1, W("%w"), kAddress),
        FORMAT_CASE("address upper letter", W("10.0.0.1"), 1, W("%W"), kAddress),
        FORMAT_CASE("address three digits", W("010.000.000.001"), 1, W("%0w"), kAddress),
        FORMAT_CASE("address broadcast", W("255.255.255.255"), 1, W("%w"), kBroadcast),
        FORMAT_CASE("address width", W("        10.0.0.1"), 1, W("%16w"), kAddress),
        FORMAT_CASE("address zero flag fills with spaces", W(" 010.000.000.001"), 1, W("%016w"), kAddress),
        FORMAT_CASE("address left", W("10.0.0.1  |"), 1, W("%-10w|"), kAddress),
        FORMAT_CASE("address null", W("  {null}"), 1, W("%08w"), (const void*)0),
        FORMAT_CASE("guid upper", W("{03020100-0504-0706-0809-0A0B0C0D0E0F}"), 1, W("%hW"), kGuid),
        FORMAT_CASE("guid lower", W("{03020100-0504-0706-0809-0a0b0c0d0e0f}"), 1, W("%hw"), kGuid),
        FORMAT_CASE("guid width", W("  {03020100-0504-0706-0809-0a0b0c0d0e0f}"), 1, W("%040hw"), kGuid),
        FORMAT_CASE("guid null", W("{null}"), 1, W("%hw"), (const void*)0),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

// ---- Main loop ----

TEST(FormatLoop, LiteralsDroppedDirectivesAndReservedConversions)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("empty format", W(""), 1, W("")),
        FORMAT_CASE("literal only", W("C:\\dir\\file"), 1, W("C:\\dir\\file")),
        FORMAT_CASE("percent", W("100%"), 1, W("100%%")),
        FORMAT_CASE("trailing percent is dropped", W("ab"), 1, W("ab%")),
        FORMAT_CASE("unknown conversion", W("k"), 1, W("%k")),
        FORMAT_CASE("unknown upper D", W("D!"), 1, W("%D!")),
        FORMAT_CASE("second h", W("h"), 1, W("%hh")),
        FORMAT_CASE("l after ll", W("l5"), 1, W("%lll%d"), 5),
        FORMAT_CASE("dropped with width", W("k"), 1, W("%5k")),
        FORMAT_CASE("dropped percent", W("%d"), 1, W("%5%d")),
        FORMAT_CASE("star slot stays taken", W("k7"), 1, W("%*k%d"), 5, 7),
        FORMAT_CASE("eleventh width digit", W("1d"), 1, W("%12345678901d"), 5),
        FORMAT_CASE("newline", W("a\r\nb"), 1, W("a%Nb")),
        FORMAT_CASE("newline with width", W("  \r\n"), 1, W("%4N")),
        FORMAT_CASE("T fails, text before stays", W("ab"), 0, W("ab%Tcd"), 1),
        FORMAT_CASE("t fails", W(""), 0, W("%t"), 1),
        FORMAT_CASE("Y fails after a conversion", W("7 "), 0, W("%d %Y"), 7, 1),
        FORMAT_CASE("mix", W("File C:\\a.txt: 12 of 345 (3.5%)"), 1,
                    W("File %s: %d of %u (%.1f%%)"), W("C:\\a.txt"), 12, 345u, 3.5),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatLoop, CountStoresCharactersOfThisCall)
{
    GString s;
    int count = -1;
    ASSERT_TRUE(s.Format(W("abc%n%d"), &count, 12345));
    EXPECT_EQ(3, count);
    ASSERT_TRUE(AppendFormat(s, W("xy%5d%n"), 1, &count));
    EXPECT_EQ(7, count);
    EXPECT_EQ(Show(W("abc12345xy    1"), 15), Show(s.WideText(), s.Length()));
    EXPECT_TRUE(s.Format(W("a%nb"), (int*)0));
}

TEST(FormatLoop, NeedsAWideStringAndAFormat)
{
    GString narrow;
    narrow.AssignNarrow("keep");
    EXPECT_FALSE(AppendFormat(narrow, W("%d"), 1));
    EXPECT_FALSE(narrow.IsWide());
    EXPECT_EQ(0, narrow.CompareNarrow("keep"));

    GString wide;
    wide.AssignWide(W("keep"));
    EXPECT_FALSE(AppendFormat(wide, (const wch*)0));
    EXPECT_EQ(0, wide.CompareWide(W("keep")));

    // Format makes any string wide and empty first.
    EXPECT_TRUE(narrow.Format(W("%d"), 7));
    EXPECT_TRUE(narrow.IsWide());
    EXPECT_EQ(0, narrow.CompareWide(W("7")));
}

TEST(FormatLoop, AppendsAfterExistingText)
{
    GString s;
    s.AssignWide(W("Error "));
    ASSERT_TRUE(AppendFormat(s, W("%08X in %s"), 0x80070005u, W("RegOpenKey")));
    EXPECT_EQ(0, s.CompareWide(W("Error 80070005 in RegOpenKey")));
    EXPECT_FALSE(AppendFormat(s, W("!%T"), 0));
    EXPECT_EQ(0, s.CompareWide(W("Error 80070005 in RegOpenKey!")));
}

TEST(FormatLoop, OwnTextAsArgumentSurvivesGrowth)
{
    GString s;
    s.AssignWide(W("0123456789012345678901234"));
    for (int i = 0; i < 4; ++i)
    {
        const int before = s.Length();
        ASSERT_TRUE(AppendFormat(s, W("%s|"), s.WideText()));
        ASSERT_EQ(2 * before + 1, s.Length());
    }
    EXPECT_EQ(0, s.FindWide(W("01234567890123456789012340123456789012345678901234|"), 0));
    GString t;
    t.AssignWide(W("0123456789012345678901234"));
    ASSERT_TRUE(AppendFormat(t, W("%.*b"), 4, t.WideText()));
    EXPECT_EQ(0, t.CompareWide(W("012345678901234567890123430003100")));

    // A dropped front moves when room is made; the argument moves with it.
    GString u;
    u.AssignWide(W("xxxhello world, a longer text of some length"));
    u.DropFront(3);
    const int length = u.Length();
    ASSERT_TRUE(AppendFormat(u, W("%s."), u.WideText()));
    ASSERT_EQ(2 * length + 1, u.Length());
    EXPECT_EQ(0, u.CompareWide(W("hello world, a longer text of some lengthhello world, a longer text of some length.")));
}

TEST(FormatLoop, HugeWidthFailsInsteadOfOverflowing)
{
    GString s;
    s.AssignWide(W("ab"));
    EXPECT_FALSE(AppendFormat(s, W("%2147483647d"), 1));
    EXPECT_EQ(0, s.CompareWide(W("ab")));
    EXPECT_FALSE(AppendFormat(s, W("%*s"), INT_MIN, W("x")));
    EXPECT_EQ(0, s.CompareWide(W("ab")));
}
