#include "text/GString.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdarg.h>
#include <string>

namespace
{

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
        EXPECT_EQ(c.result, result != 0) << c.name;
        EXPECT_EQ(Show(c.expected, WideLength(c.expected)), Show(s.WideText(), s.Length())) << c.name;
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

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();
const double kSmallestSubnormal = std::numeric_limits<double>::denorm_min();

} // namespace

TEST(FormatFloat, FixedForm)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("default precision", W("3.141590"), 1, W("%f"), 3.14159),
        FORMAT_CASE("precision", W("3.14"), 1, W("%.2f"), 3.14159),
        FORMAT_CASE("precision 0 means 6", W("3.141590"), 1, W("%.0f"), 3.14159),
        FORMAT_CASE("small rounds to zero", W("0.000000"), 1, W("%f"), 0.0000001),
        FORMAT_CASE("negative below one", W("-0.500000"), 1, W("%f"), -0.5),
        FORMAT_CASE("negative zero has no sign", W("0.000000"), 1, W("%f"), -0.0),
        FORMAT_CASE("sign before zero fill", W("-0003.14"), 1, W("%08.2f"), -3.14159),
        FORMAT_CASE("zero fill without sign", W("00003.14"), 1, W("%08.2f"), 3.14159),
        FORMAT_CASE("plus before zero fill", W("+003.14"), 1, W("%+07.2f"), 3.14159),
        FORMAT_CASE("space fill before sign", W("   -3.14"), 1, W("%8.2f"), -3.14159),
        FORMAT_CASE("left", W("-3.14   |"), 1, W("%-8.2f|"), -3.14159),
        FORMAT_CASE("plus", W("+2.0"), 1, W("%+.1f"), 2.0),
        FORMAT_CASE("space", W(" 2.0"), 1, W("% .1f"), 2.0),
        FORMAT_CASE("leading zeros of the fraction", W("0.0012"), 1, W("%.4f"), 0.00123),
        FORMAT_CASE("rounding up into the integer", W("10.00"), 1, W("%.2f"), 9.999),
        FORMAT_CASE("large", W("100000000000000000000.000000"), 1, W("%f"), 1e20),
        FORMAT_CASE("too many digits fails", W("x="), 0, W("x=%.308f"), 1e300),
        FORMAT_CASE("351 digits fail", W(""), 0, W("%.42f"), 1e308),
        FORMAT_CASE("arguments after a double", W("1.5 7"), 1, W("%.1f %d"), 1.5, 7),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, FixedFormReaches350Digits)
{
    GString s;
    ASSERT_TRUE(s.Format(W("%.41f"), 1e308));  // 309 + 41 digits
    ASSERT_EQ(351, s.Length());
    EXPECT_EQ('1', s.WideText()[0]);
    EXPECT_EQ('.', s.WideText()[309]);
    ASSERT_TRUE(s.Format(W("%.308f"), 1e-300));
    ASSERT_EQ(310, s.Length());
    EXPECT_EQ(0, s.FindWide(W("0.000"), 0));
    EXPECT_EQ('1', s.WideText()[301]);
}

TEST(FormatFloat, WidthIsCappedAt512)
{
    GString s;
    ASSERT_TRUE(s.Format(W("%600f"), 1.0));
    EXPECT_EQ(512, s.Length());
    ASSERT_TRUE(s.Format(W("%-2000e|"), 1.0));
    EXPECT_EQ(513, s.Length());
    EXPECT_EQ('|', s.WideText()[512]);
    ASSERT_TRUE(s.Format(W("%0600.308f"), -0.5));
    EXPECT_EQ(512, s.Length());
    EXPECT_EQ('-', s.WideText()[0]);
}

TEST(FormatFloat, ExponentForm)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("lower", W("1.234568e+04"), 1, W("%e"), 12345.678),
        FORMAT_CASE("upper", W("1.234568E+04"), 1, W("%E"), 12345.678),
        FORMAT_CASE("zero", W("0.000000e+00"), 1, W("%e"), 0.0),
        FORMAT_CASE("three exponent digits", W("1.000000e+100"), 1, W("%e"), 1e100),
        FORMAT_CASE("negative exponent", W("1.000000e-05"), 1, W("%e"), 1e-5),
        FORMAT_CASE("rounding carries into the exponent", W("1.00e+01"), 1, W("%.2e"), 9.999),
        FORMAT_CASE("sign before zero fill", W("-001.235e+03"), 1, W("%012.3e"), -1234.56),
        FORMAT_CASE("subnormal", W("4.940656e-324"), 1, W("%e"), kSmallestSubnormal),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, GeneralForm)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("precision 0 gives one digit", W("3"), 1, W("%g"), 3.14159),
        FORMAT_CASE("three digits", W("3.14"), 1, W("%.3g"), 3.14159),
        FORMAT_CASE("small switches to exponent", W("1.23e-05"), 1, W("%.3g"), 0.00001234),
        FORMAT_CASE("hash keeps zeros", W("1.00"), 1, W("%#.3g"), 1.0),
        FORMAT_CASE("six digits", W("123.456"), 1, W("%.6g"), 123.456),
        FORMAT_CASE("leading zeros", W("0.0001234"), 1, W("%.6g"), 0.0001234),
        FORMAT_CASE("integer that fits", W("100000"), 1, W("%.6g"), 100000.0),
        FORMAT_CASE("integer that does not fit", W("1e+06"), 1, W("%.6g"), 1000000.0),
        FORMAT_CASE("zero", W("0"), 1, W("%.6g"), 0.0),
        FORMAT_CASE("default precision with exponent", W("1e+02"), 1, W("%g"), 123.456),
        FORMAT_CASE("upper exponent letter", W("1E-10"), 1, W("%.6G"), 1e-10),
        FORMAT_CASE("trailing zeros go", W("0.5"), 1, W("%.6g"), 0.5),
        FORMAT_CASE("integral zeros stay", W("120"), 1, W("%.6g"), 120.0),
        FORMAT_CASE("hash exponent keeps zeros", W("1.00000e+06"), 1, W("%#.6g"), 1e6),
        FORMAT_CASE("hash zero", W("0.00000"), 1, W("%#.6g"), 0.0),
        FORMAT_CASE("limit of fixed style", W("0.0001"), 1, W("%.6g"), 0.0001),
        FORMAT_CASE("rounding reaches the exponent style", W("1e+02"), 1, W("%.2g"), 99.9),
        FORMAT_CASE("negative precision gives 6", W("3.14159"), 1, W("%.*g"), -1, 3.14159),
        FORMAT_CASE("sign and width", W("  -2.5"), 1, W("%6.3g"), -2.5),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, SpecialValues)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("nan with width", W("    { nan}"), 1, W("%10f"), kNan),
        FORMAT_CASE("minus infinity left", W("{-inf}  |"), 1, W("%-8e|"), -kInfinity),
        FORMAT_CASE("plus infinity zero fill", W("00{+inf}"), 1, W("%08g"), kInfinity),
        FORMAT_CASE("precision does not apply", W("{+inf}"), 1, W("%.3f"), kInfinity),
        FORMAT_CASE("hexadecimal", W("{ nan}"), 1, W("%a"), kNan),
        FORMAT_CASE("engineering", W("{-inf}"), 1, W("%#F"), -kInfinity),
        FORMAT_CASE("arguments after", W("{ nan}x"), 1, W("%G%s"), kNan, W("x")),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, HexadecimalForm)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("one", W("0x1p+0"), 1, W("%a"), 1.0),
        FORMAT_CASE("one and a half", W("0x1.8p+0"), 1, W("%a"), 1.5),
        FORMAT_CASE("negative", W("-0x1p+1"), 1, W("%a"), -2.0),
        FORMAT_CASE("zero", W("0x0p+0"), 1, W("%a"), 0.0),
        FORMAT_CASE("negative zero keeps its sign bit", W("-0x0p+0"), 1, W("%a"), -0.0),
        FORMAT_CASE("upper", W("0x1.8P+0"), 1, W("%A"), 1.5),
        FORMAT_CASE("rounding carries into the leading digit", W("0x2.0p+0"), 1, W("%.1a"), 1.999),
        FORMAT_CASE("rounding carries over f digits", W("0x2.00p+0"), 1, W("%.2a"), 0x1.ff8p0),
        FORMAT_CASE("rounding turns 9 into a", W("0x1.ap+0"), 1, W("%.1a"), 0x1.98p0),
        FORMAT_CASE("rounding turns 9 into A", W("0x1.AP+0"), 1, W("%.1A"), 0x1.98p0),
        FORMAT_CASE("no rounding below 8", W("0x1.9p+0"), 1, W("%.1a"), 0x1.97p0),
        FORMAT_CASE("all digits", W("0x1.999999999999AP-4"), 1, W("%A"), 0.1),
        FORMAT_CASE("zeros beyond the fraction", W("0x1.800000000000000p+0"), 1, W("%.15a"), 1.5),
        FORMAT_CASE("precision pads", W("0x1.000p+0"), 1, W("%.3a"), 1.0),
        FORMAT_CASE("hash keeps the point", W("0x1.p+0"), 1, W("%#a"), 1.0),
        FORMAT_CASE("zero fill after 0x", W("0x0001.8p+0"), 1, W("%011a"), 1.5),
        FORMAT_CASE("zero fill after sign and 0x", W("-0x001.8p+0"), 1, W("%011a"), -1.5),
        FORMAT_CASE("plus", W("+0x1p+0"), 1, W("%+a"), 1.0),
        FORMAT_CASE("width", W("      0x1p+0|"), 1, W("%12a|"), 1.0),
        FORMAT_CASE("left", W("0x1p+0      |"), 1, W("%-12a|"), 1.0),
        FORMAT_CASE("exponent digits", W("0x1p+10"), 1, W("%a"), 1024.0),
        FORMAT_CASE("subnormal", W("0x0.0000000000001p-1022"), 1, W("%a"), kSmallestSubnormal),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, EngineeringForm)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("exponent", W("12.3e+03"), 1, W("%F"), 12345.678),
        FORMAT_CASE("SI prefix", W("12.3 k"), 1, W("%#F"), 12345.678),
        FORMAT_CASE("micro", W("123. \x00b5"), 1, W("%#F"), 0.000123),
        FORMAT_CASE("milli", W("500. m"), 1, W("%#F"), 0.5),
        FORMAT_CASE("no prefix is a space", W("1.50  "), 1, W("%#F"), 1.5),
        FORMAT_CASE("plain", W("1.50e+00"), 1, W("%F"), 1.5),
        FORMAT_CASE("zero", W("0.00e+00"), 1, W("%F"), 0.0),
        FORMAT_CASE("beyond the prefixes", W("1.00e+27"), 1, W("%#F"), 1e27),
        FORMAT_CASE("largest prefix", W("1.00 Y"), 1, W("%#F"), 1e24),
        FORMAT_CASE("smallest prefix", W("1.00 y"), 1, W("%#F"), 1e-24),
        FORMAT_CASE("rounding moves the prefix", W("1.00 k"), 1, W("%#F"), 999.9999),
        FORMAT_CASE("negative", W("-2.00 m"), 1, W("%#F"), -0.002),
        FORMAT_CASE("more digits", W("123.46e+03"), 1, W("%.5F"), 123456.0),
        FORMAT_CASE("int argument", W("1.50e+03"), 1, W("%hF"), 1500),
        FORMAT_CASE("64-bit argument", W("-2.50e+06"), 1, W("%LF"), (i64)-2500000),
        FORMAT_CASE("width counts the micro sign once", W("  123. \x00b5|"), 1, W("%#8F|"), 0.000123),
        FORMAT_CASE("sign before zero fill", W("-0001.50e+00"), 1, W("%012F"), -1.5),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, SizeForms)
{
    static const FormatCase cases[] = {
        FORMAT_CASE("kibi", W("1.5b10"), 1, W("%U"), 1536u),
        FORMAT_CASE("kibi suffix", W("1.5 Ki"), 1, W("%#U"), 1536u),
        FORMAT_CASE("64-bit tebi", W("1.0b40"), 1, W("%LU"), (u64)1 << 40),
        FORMAT_CASE("64-bit tebi suffix", W("1.0 Ti"), 1, W("%#LU"), (u64)1 << 40),
        FORMAT_CASE("signed", W("-1.5b10"), 1, W("%I"), -1536),
        FORMAT_CASE("1000 rounds up a step", W("1.0b10"), 1, W("%U"), 1000u),
        FORMAT_CASE("just below mebi", W("1.0b20"), 1, W("%U"), 1048575u),
        FORMAT_CASE("point at the end", W("10.b10"), 1, W("%U"), 10240u),
        FORMAT_CASE("precision 3", W("1.50b10"), 1, W("%.3U"), 1536u),
        FORMAT_CASE("first position zero", W("0.98b10"), 1, W("%.3U"), 1000u),
        FORMAT_CASE("precision 1 gives 2", W("1.5b10"), 1, W("%.1U"), 1536u),
        FORMAT_CASE("negative precision gives 3", W("1.50b10"), 1, W("%.*U"), -1, 1536u),
        FORMAT_CASE("bytes", W("5.0b00"), 1, W("%U"), 5u),
        FORMAT_CASE("bytes suffix", W("5.0   "), 1, W("%#U"), 5u),
        FORMAT_CASE("zero", W("0.0b00"), 1, W("%U"), 0u),
        FORMAT_CASE("32-bit maximum", W("4.0b30"), 1, W("%U"), 0xFFFFFFFFu),
        FORMAT_CASE("64-bit maximum", W("16.b60"), 1, W("%LU"), (u64)UINT64_MAX),
        FORMAT_CASE("64-bit minimum", W("-8.0b60"), 1, W("%LI"), (i64)INT64_MIN),
        FORMAT_CASE("sign before zero fill", W("-01.5b10"), 1, W("%08I"), -1536),
        FORMAT_CASE("plus", W("+1.5b10"), 1, W("%+U"), 1536u),
        FORMAT_CASE("width", W("   1.5 Ki|"), 1, W("%#9U|"), 1536u),
    };
    RunCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(FormatFloat, FailureKeepsTextBeforeTheDirective)
{
    GString s;
    s.AssignWide(W("value "));
    EXPECT_FALSE(AppendFormat(s, W("%d=%20.308f"), 3, 1e300));
    EXPECT_EQ(0, s.CompareWide(W("value 3=")));
    EXPECT_EQ(0, s.WideText()[s.Length()]);
    ASSERT_TRUE(AppendFormat(s, W("%.2f"), 0.125));
    EXPECT_EQ(0, s.CompareWide(W("value 3=0.12")));
}
