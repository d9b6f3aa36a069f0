// The formatter's floating-point and size conversions: f, e, E, g, G, a, A,
// the engineering form F and the sizes I and U. Each builds 8-bit text in
// the target's scratch string: the digits are generated into spare room
// behind the output area and the text is written in front of them, copying
// them as it goes, so no temporary buffer is needed.

#include "text/Formatter.h"

#include "text/Digits.h"

#include <charconv>
#include <math.h>
#include <string.h>

namespace
{

const int kMaxWidth = 512;
const int kMaxPrecision = 308;
const int kDigitsOffset = 528;   // the longest text: the width cap plus sign and prefix
const int kDigitsRoom = 352;
const int kScratchRoom = kDigitsOffset + kDigitsRoom;
const int kMaxDigits = 350;
const int kDefaultPrecision = 6;

const char kNan[] = "{ nan}";
const char kPlusInfinity[] = "{+inf}";
const char kMinusInfinity[] = "{-inf}";

// SI prefixes from 10^-24 to 10^24 in steps of 10^3; the micro sign is
// U+00B5 in UTF-8.
const char* const kSiPrefixes[17] = {
    "y", "z", "a", "f", "p", "n", "\xC2\xB5", "m", " ", "k", "M", "G", "T", "P", "E", "Z", "Y"
};
const int kMaxSiExponent = 24;

// Suffixes of the sizes by the number of divisions by 1024.
const char* const kSizeSuffixes[9] = { "  ", "Ki", "Mi", "Gi", "Ti", "Pi", "Ei", "Zi", "Yi" };

// The n most significant digits of |x|, rounded to nearest, with |x| about
// 0.d1d2...dn x 10^decpt. Written at `out`; the digit count, or -1.
int SignificantDigits(double x, int n, char* out, int* decpt)
{
    if (n < 1 || n > kMaxDigits)
        return -1;
    const std::to_chars_result r =
        std::to_chars(out, out + kDigitsRoom, fabs(x), std::chars_format::scientific, n - 1);
    if (r.ec != std::errc())
        return -1;
    // "d.ddd...e+XX": read the exponent, then close the gap of the point.
    const char* e = r.ptr - 1;
    while (e > out && *e != 'e')
        --e;
    const int negativeExponent = e[1] == '-';
    int exponent = 0;
    for (const char* p = e + 2; p < r.ptr; ++p)
        exponent = exponent * 10 + (*p - '0');
    if (negativeExponent)
        exponent = -exponent;
    if (n > 1)
        memmove(out + 1, out + 2, (size_t)(n - 1));
    *decpt = exponent + 1;
    return n;
}

// The digits of |x| x 10^places rounded to an integer, without leading
// zeros (none when that integer is 0), with decpt = digits - places.
// Written at `out`; the digit count, or -1 beyond the digit limit.
int FixedDigits(double x, int places, char* out, int* decpt)
{
    const std::to_chars_result r =
        std::to_chars(out, out + kDigitsRoom, fabs(x), std::chars_format::fixed, places);
    if (r.ec != std::errc())
        return -1;
    const int length = (int)(r.ptr - out);
    int lead = 0;
    while (lead < length && (out[lead] == '0' || out[lead] == '.'))
        ++lead;
    int count = 0;
    for (int i = lead; i < length; ++i)
        if (out[i] != '.')
            out[count++] = out[i];
    if (count > kMaxDigits)
        return -1;
    *decpt = count - places;
    return count;
}

int ExponentLength(int exponent)
{
    const int magnitude = exponent < 0 ? -exponent : exponent;
    return 2 + (magnitude >= 100 ? 3 : 2);
}

char* PutExponent(char* p, char letter, int exponent)
{
    *p++ = letter;
    *p++ = exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude >= 100)
    {
        *p++ = (char)('0' + magnitude / 100);
        magnitude %= 100;
    }
    *p++ = (char)('0' + magnitude / 10);
    *p++ = (char)('0' + magnitude % 10);
    return p;
}

char* Repeat(char* p, char c, int count)
{
    for (int i = 0; i < count; ++i)
        *p++ = c;
    return p;
}

// The digits lie behind the write position, so a forward copy never
// overwrites a digit before it is read.
char* Copy(char* p, const char* digits, int count)
{
    memmove(p, digits, (size_t)count);
    return p + count;
}

char SignOf(int negative, int flags)
{
    if (negative)
        return '-';
    if (flags & CFormatter::kFlagPlus)
        return '+';
    if (flags & CFormatter::kFlagSpace)
        return ' ';
    return 0;
}

// Writes the left fill and the sign for a text of `length` characters (the
// sign included) and sets the right fill. With the '0' flag the sign comes
// before the zeros.
char* Lead(char* p, int flags, int width, char sign, int length, int* rightFill)
{
    const int fill = width > length ? width - length : 0;
    *rightFill = 0;
    if (flags & CFormatter::kFlagMinus)
    {
        *rightFill = fill;
    }
    else if (flags & CFormatter::kFlagZero)
    {
        if (sign)
            *p++ = sign;
        sign = 0;
        p = Repeat(p, '0', fill);
    }
    else
    {
        p = Repeat(p, ' ', fill);
    }
    if (sign)
        *p++ = sign;
    return p;
}

} // namespace

int CFormatter::Floating(const Directive& d)
{
    const wch c = d.conversion;
    double x = 0;
    u64 magnitude = 0;
    int negative = 0;
    int isDouble = 0;
    if (c == 'I' || c == 'U')
    {
        if (d.modifier == kModLongLong)
        {
            if (c == 'I')
            {
                const i64 v = ArgI64();
                negative = v < 0;
                magnitude = negative ? 0 - (u64)v : (u64)v;
            }
            else
            {
                magnitude = ArgU64();
            }
        }
        else if (c == 'I')
        {
            const int v = ArgInt();
            negative = v < 0;
            magnitude = negative ? 0 - (u64)(i64)v : (u64)v;
        }
        else
        {
            magnitude = ArgU32();
        }
    }
    else if (c == 'F' && d.modifier == kModShort)
    {
        x = ArgInt();
    }
    else if (c == 'F' && d.modifier == kModLongLong)
    {
        x = (double)ArgI64();
    }
    else
    {
        x = ArgDouble();
        isDouble = 1;
    }

    if (isDouble && isnan(x))
        return Token(d, kNan);
    if (isDouble && isinf(x))
        return Token(d, x > 0 ? kPlusInfinity : kMinusInfinity);

    Directive capped = d;
    if (capped.width > kMaxWidth)
        capped.width = kMaxWidth;

    GString* scratch = m_target.Scratch();
    if (!scratch)
        return 0;
    scratch->ClearNarrow();
    if (!scratch->MakeRoom(kScratchRoom))
        return 0;
    char* out = (char*)scratch->TextAt(0);
    char* digits = out + kDigitsOffset;

    int length;
    switch (c)
    {
    case 'f':
        length = FloatFixed(capped, x, out, digits);
        break;
    case 'e': case 'E':
        length = FloatExponent(capped, x, out, digits);
        break;
    case 'g': case 'G':
        length = FloatGeneral(capped, x, out, digits);
        break;
    case 'a': case 'A':
        length = FloatHex(capped, x, out);
        break;
    case 'F':
        length = Engineering(capped, x, x < 0, out, digits);
        break;
    default:
        length = Size(capped, magnitude, negative, out, digits);
        break;
    }
    if (length < 0)
        return 0;
    (void)scratch->SetLength(length);
    return m_target.AppendNarrow(out, length, 0);
}

int CFormatter::FloatFixed(const Directive& d, double x, char* out, char* digits)
{
    int precision = d.precision;
    if (precision <= 0)
        precision = kDefaultPrecision;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;
    int decpt;
    const int count = FixedDigits(x, precision, digits, &decpt);
    if (count < 0)
        return -1;
    if (decpt < -precision)
        decpt = -precision;

    const char sign = SignOf(x < 0, d.flags);
    const int body = decpt > 0 ? count + 1 : 2 - decpt + count;
    int rightFill;
    char* p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
    if (decpt > 0)
    {
        p = Copy(p, digits, decpt);
        *p++ = '.';
        p = Copy(p, digits + decpt, count - decpt);
    }
    else
    {
        *p++ = '0';
        *p++ = '.';
        p = Repeat(p, '0', -decpt);
        p = Copy(p, digits, count);
    }
    p = Repeat(p, ' ', rightFill);
    return (int)(p - out);
}

int CFormatter::FloatExponent(const Directive& d, double x, char* out, char* digits)
{
    int precision = d.precision;
    if (precision <= 0)
        precision = kDefaultPrecision;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;
    int decpt;
    if (SignificantDigits(x, precision + 1, digits, &decpt) < 0)
        return -1;
    const int exponent = x == 0 ? 0 : decpt - 1;

    const char sign = SignOf(x < 0, d.flags);
    const int body = 2 + precision + ExponentLength(exponent);
    int rightFill;
    char* p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
    *p++ = digits[0];
    *p++ = '.';
    p = Copy(p, digits + 1, precision);
    p = PutExponent(p, d.conversion == 'E' ? 'E' : 'e', exponent);
    p = Repeat(p, ' ', rightFill);
    return (int)(p - out);
}

int CFormatter::FloatGeneral(const Directive& d, double x, char* out, char* digits)
{
    int precision = d.precision;
    if (precision < 0)
        precision = kDefaultPrecision;
    if (precision == 0)
        precision = 1;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;
    int decpt;
    int count = SignificantDigits(x, precision, digits, &decpt);
    if (count < 0)
        return -1;
    const int exponent = x == 0 ? 0 : decpt - 1;
    const int hash = d.flags & kFlagHash;
    const char sign = SignOf(x < 0, d.flags);
    int rightFill;
    char* p;

    if (exponent < -4 || exponent >= precision)
    {
        if (!hash)
            while (count > 1 && digits[count - 1] == '0')
                --count;
        const int point = count > 1 || hash;
        const int body = 1 + point + (count - 1) + ExponentLength(exponent);
        p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
        *p++ = digits[0];
        if (point)
            *p++ = '.';
        p = Copy(p, digits + 1, count - 1);
        p = PutExponent(p, d.conversion == 'G' ? 'E' : 'e', exponent);
    }
    else
    {
        if (x == 0 && !hash)
        {
            digits[0] = '0';
            count = 1;
            decpt = 1;
        }
        if (!hash)
            while (count > decpt && count > 1 && digits[count - 1] == '0')
                --count;
        int body;
        if (decpt > 0)
            body = decpt + (count > decpt || hash ? 1 + count - decpt : 0);
        else
            body = 2 - decpt + count;
        p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
        if (decpt > 0)
        {
            p = Copy(p, digits, decpt);
            if (count > decpt || hash)
            {
                *p++ = '.';
                p = Copy(p, digits + decpt, count - decpt);
            }
        }
        else
        {
            *p++ = '0';
            *p++ = '.';
            p = Repeat(p, '0', -decpt);
            p = Copy(p, digits, count);
        }
    }
    p = Repeat(p, ' ', rightFill);
    return (int)(p - out);
}

int CFormatter::FloatHex(const Directive& d, double x, char* out)
{
    const int kFractionDigits = 13;
    u64 bits;
    memcpy(&bits, &x, sizeof bits);
    const int negative = (int)(bits >> 63);
    const int biased = (int)((bits >> 52) & 0x7FF);
    const u64 fraction = bits & ((1ull << 52) - 1);
    char lead = '1';
    int exponent = biased - 1023;
    if (biased == 0)
    {
        lead = '0';
        exponent = fraction ? -1022 : 0;
    }
    int significant = 0;
    if (fraction)
    {
        significant = kFractionDigits;
        for (u64 f = fraction; (f & 0xF) == 0; f >>= 4)
            --significant;
    }
    int precision = d.precision;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;
    if (precision <= 0)
        precision = significant;
    const int hash = d.flags & kFlagHash;
    const int point = precision > 0 || hash;
    const int upper = d.conversion == 'A';
    const char* set = upper ? kDigitsUpper : kDigitsLower;
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const int exponentDigits = magnitude >= 1000 ? 4 : magnitude >= 100 ? 3 : magnitude >= 10 ? 2 : 1;
    const char sign = SignOf(negative, d.flags);
    const int length = 5 + precision + exponentDigits + point + (sign ? 1 : 0);

    // The zero fill goes after "0x" here, not straight after the sign.
    const int fill = d.width > length ? d.width - length : 0;
    const int minus = d.flags & kFlagMinus;
    const int zero = !minus && (d.flags & kFlagZero);
    char* p = out;
    if (!minus && !zero)
        p = Repeat(p, ' ', fill);
    if (sign)
        *p++ = sign;
    *p++ = '0';
    *p++ = 'x';
    if (zero)
        p = Repeat(p, '0', fill);
    char* leadAt = p;
    *p++ = lead;
    if (point)
        *p++ = '.';
    char* first = p;
    for (int i = 0; i < precision; ++i)
        *p++ = i < kFractionDigits ? set[(fraction >> (48 - 4 * i)) & 0xF] : '0';
    if (precision < kFractionDigits && ((fraction >> (48 - 4 * precision)) & 0xF) >= 8)
    {
        // Round the printed digits up; the carry may reach the leading digit.
        char* q = p;
        int carry = 1;
        while (carry && q > first)
        {
            --q;
            if (*q == 'f' || *q == 'F')
            {
                *q = '0';
            }
            else
            {
                *q = *q == '9' ? set[10] : (char)(*q + 1);
                carry = 0;
            }
        }
        if (carry)
            *leadAt = (char)(*leadAt + 1);
    }
    *p++ = upper ? 'P' : 'p';
    *p++ = exponent < 0 ? '-' : '+';
    for (int i = exponentDigits - 1, m = magnitude; i >= 0; --i, m /= 10)
        p[i] = (char)('0' + m % 10);
    p += exponentDigits;
    if (minus)
        p = Repeat(p, ' ', fill);
    return (int)(p - out);
}

int CFormatter::Engineering(const Directive& d, double x, int negative, char* out, char* digits)
{
    const int kMinPrecision = 3;
    int precision = d.precision;
    if (precision < kMinPrecision)
        precision = kMinPrecision;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;
    int decpt;
    if (SignificantDigits(x, precision, digits, &decpt) < 0)
        return -1;
    int exponent = x == 0 ? 0 : decpt - 1;
    // Engineering form: the exponent becomes a multiple of three.
    int integral = 1;
    const int rest = exponent % 3;
    if (rest == 1 || rest == -2)
    {
        integral = 2;
        exponent -= 1;
    }
    else if (rest == 2 || rest == -1)
    {
        integral = 3;
        exponent -= 2;
    }

    const char* prefix = 0;
    if ((d.flags & kFlagHash) && exponent >= -kMaxSiExponent && exponent <= kMaxSiExponent)
        prefix = kSiPrefixes[(exponent + kMaxSiExponent) / 3];
    const char sign = SignOf(negative, d.flags);
    // The width counts characters: the micro sign is one, though two bytes.
    const int body = precision + 1 + (prefix ? 2 : ExponentLength(exponent));
    int rightFill;
    char* p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
    p = Copy(p, digits, integral);
    *p++ = '.';
    p = Copy(p, digits + integral, precision - integral);
    if (prefix)
    {
        *p++ = ' ';
        p = Copy(p, prefix, (int)strlen(prefix));
    }
    else
    {
        p = PutExponent(p, 'e', exponent);
    }
    p = Repeat(p, ' ', rightFill);
    return (int)(p - out);
}

int CFormatter::Size(const Directive& d, u64 magnitude, int negative, char* out, char* digits)
{
    int precision = d.precision;
    if (precision < 0)
        precision = 3;
    if (precision < 2)
        precision = 2;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;

    int divisions = 0;
    for (u64 v = magnitude; v >> 10; v >>= 10)
        ++divisions;
    double x = ldexp((double)magnitude, -10 * divisions);
    int decpt;
    int count = SignificantDigits(x, precision, digits, &decpt);
    if (count < 0)
        return -1;
    if (decpt > precision)
    {
        // Rounding reached 1024 or more: one more division, one digit fewer.
        ++divisions;
        x /= 1024;
        count = SignificantDigits(x, precision > 2 ? precision - 1 : 1, digits, &decpt);
        if (count < 0)
            return -1;
    }

    const char sign = SignOf(negative, d.flags);
    const int body = precision + 4;
    int rightFill;
    char* p = Lead(out, d.flags, d.width, sign, body + (sign ? 1 : 0), &rightFill);
    // Digits are consumed in order, so reading one ahead of the write
    // position never meets text already written.
    int next = 0;
    int position = 1;
    if (decpt == 0)
    {
        *p++ = '0';
        *p++ = '.';
        position = 2;
    }
    for (; position <= precision; ++position)
    {
        *p++ = next < count ? digits[next++] : '0';
        if (position == decpt)
            *p++ = '.';
    }
    if (d.flags & kFlagHash)
    {
        *p++ = ' ';
        p = Copy(p, kSizeSuffixes[divisions], 2);
    }
    else
    {
        *p++ = 'b';
        *p++ = (char)('0' + divisions);
        *p++ = '0';
    }
    p = Repeat(p, ' ', rightFill);
    return (int)(p - out);
}
