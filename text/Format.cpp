// The formatter: the directive parser and main loop, and the integer,
// character, string, byte dump, IPv4 address and GUID conversions.

#include "text/Formatter.h"

#include "text/Digits.h"
#include "text/Utf.h"

#include <limits.h>
#include <string.h>

namespace
{

const int kMaxNumberDigits = 10;      // width and precision digits read at most
const int kMaxIntegerPrecision = 308;
const int kPointerDigits = 8;
const int kGuidLength = 38;
const int kGuidBytes = 16;
const int kEscapeLength = 4;          // "{hh}"
const char kNullToken[] = "{null}";
const int kNullTokenLength = 6;
const u32 kPackedNarrowBit = 0x80000000u;
const intptr_t kNoAnchor = -1;

// The largest text a block can hold; a longer request fails instead of
// overflowing the size arithmetic.
const i64 kMaxUnits = (INT_MAX - 68) / 2;

int IsDigit(wch c)
{
    return c >= '0' && c <= '9';
}

// Up to ten decimal digits; a value beyond the int range saturates.
int ReadNumber(const wch** cursor)
{
    const wch* p = *cursor;
    i64 value = 0;
    for (int i = 0; i < kMaxNumberDigits && IsDigit(*p); ++i, ++p)
        value = value * 10 + (*p - '0');
    *cursor = p;
    return value > INT_MAX ? INT_MAX : (int)value;
}

int IsConversion(wch c)
{
    switch (c)
    {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'y': case 'p': case 'P':
    case 'c': case 'C': case 's': case 'S': case 'z': case 'Z': case 'b': case 'B':
    case 'w': case 'W': case 'n': case 'N': case 'T': case 't': case 'Y':
    case 'f': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
    case 'F': case 'I': case 'U':
        return 1;
    default:
        return 0;
    }
}

int FlagOf(wch c)
{
    switch (c)
    {
    case '-': return CFormatter::kFlagMinus;
    case '+': return CFormatter::kFlagPlus;
    case ' ': return CFormatter::kFlagSpace;
    case '0': return CFormatter::kFlagZero;
    case '#': return CFormatter::kFlagHash;
    case '$': return CFormatter::kFlagStrict;
    case '`': return CFormatter::kFlagGroup;
    default: return 0;
    }
}

int DigitCount(u64 value, int base)
{
    int count = 1;
    while (value >= (u64)base)
    {
        value /= (u64)base;
        ++count;
    }
    return count;
}

int DecimalDigits(unsigned value)
{
    return value >= 100 ? 3 : value >= 10 ? 2 : 1;
}

wch* PutEscape(wch* p, unsigned value, const wch* set)
{
    *p++ = '{';
    *p++ = set[(value >> 4) & 0xF];
    *p++ = set[value & 0xF];
    *p++ = '}';
    return p;
}

wch* PutHexByte(wch* p, u8 value, const wch* set)
{
    *p++ = set[value >> 4];
    *p++ = set[value & 0xF];
    return p;
}

wch* PutDecimalByte(wch* p, unsigned value, int digits)
{
    for (int i = digits - 1; i >= 0; --i)
    {
        p[i] = (wch)('0' + value % 10);
        value /= 10;
    }
    return p + digits;
}

// Escape rules shared by characters and UTF-16 strings: '$' escapes
// everything outside 0x20..0x7E, '#' only the control characters.
int IsEscaped(unsigned unit, int flags)
{
    if (flags & CFormatter::kFlagStrict)
        return unit < 0x20 || unit >= 0x7F;
    if (flags & CFormatter::kFlagHash)
        return unit < 0x20;
    return 0;
}

// A byte that starts a character of UTF-8 text (continuation bytes do not).
int StartsCharacter(u8 b)
{
    return b < 0x80 || b >= 0xC0;
}

// Bytes the sequence starting with `lead` announces.
int SequenceBytes(u8 lead)
{
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

int NegatedLimit(int precision)
{
    return precision == INT_MIN ? INT_MAX : -precision;
}

} // namespace

// ---- GString's entry points ----

int GString::Format(const wch* format, ...)
{
    ClearWide();
    va_list args;
    va_start(args, format);
    const int result = AppendFormatV(format, args);
    va_end(args);
    return result;
}

int GString::AppendFormatV(const wch* format, va_list args)
{
    if (!m_wide || !format)
        return 0;
    CFormatter formatter(*this, args);
    return formatter.Run(format);
}

// ---- The worker ----

CFormatter::CFormatter(GString& target, va_list args)
    : m_target(target), m_startLength(target.Length()), m_rightFill(0)
{
    va_copy(m_args, args);
}

CFormatter::~CFormatter()
{
    va_end(m_args);
}

// Flags, width, precision and modifier of the directive that starts at p
// (just after its '%'); returns where the conversion character is.
const wch* CFormatter::Parse(const wch* p, Directive& d)
{
    d.flags = 0;
    for (int flag = FlagOf(*p); flag; flag = FlagOf(*++p))
        d.flags |= flag;
    d.width = -1;
    if (*p == '*')
    {
        int width = ArgInt();
        if (width < 0)
        {
            d.flags |= kFlagMinus;
            width = NegatedLimit(width);
        }
        d.width = width;
        ++p;
    }
    else if (IsDigit(*p))
    {
        d.width = ReadNumber(&p);
    }
    d.precision = 0;
    if (*p == '.')
    {
        ++p;
        if (*p == '*')
        {
            d.precision = ArgInt();
            ++p;
        }
        else if (IsDigit(*p))
        {
            d.precision = ReadNumber(&p);
        }
    }
    d.modifier = kModNone;
    if (*p == 'h')
    {
        d.modifier = kModShort;
        ++p;
    }
    else if (*p == 'L')
    {
        d.modifier = kModLongLong;
        ++p;
    }
    else if (*p == 'l')
    {
        ++p;
        d.modifier = kModLong;
        if (*p == 'l')
        {
            d.modifier = kModLongLong;
            ++p;
        }
    }
    d.conversion = *p;
    return p;
}

int CFormatter::Run(const wch* format)
{
    const wch* p = format;
    const wch* literal = p;
    for (;;)
    {
        while (*p && *p != '%')
            ++p;
        if (p > literal && !m_target.AppendWideRaw(literal, (int)(p - literal)))
        {
            (void)m_target.Terminate();
            return 0;
        }
        if (!*p || !p[1])
            break;  // a '%' that ends the format is dropped
        ++p;
        if (*p == '%')
        {
            literal = p++;
            continue;
        }

        Directive d;
        p = Parse(p, d);

        // Not a conversion: the directive is dropped and its last character
        // opens the following literal text.
        if (!IsConversion(d.conversion))
        {
            literal = p;
            if (*p)
                ++p;
            continue;
        }

        const int before = m_target.Length();
        if (!Convert(d))
        {
            (void)m_target.SetLength(before);
            (void)m_target.Terminate();
            return 0;
        }
        literal = ++p;
    }
    (void)m_target.Terminate();
    return 1;
}

// On the 32-bit build every int and pointer takes one 32-bit slot and every
// 64-bit integer or double two. On x86_64 each argument takes one 8-byte
// slot whatever its type, so reading a 64-bit argument as 32 bits there does
// not leave its upper half for the next directive.
int CFormatter::ArgInt()
{
    return va_arg(m_args, int);
}

u32 CFormatter::ArgU32()
{
    return va_arg(m_args, u32);
}

i64 CFormatter::ArgI64()
{
    return va_arg(m_args, i64);
}

u64 CFormatter::ArgU64()
{
    return va_arg(m_args, u64);
}

double CFormatter::ArgDouble()
{
    return va_arg(m_args, double);
}

const void* CFormatter::ArgPointer()
{
    return va_arg(m_args, const void*);
}

wch* CFormatter::Open(const Directive& d, i64 length)
{
    const i64 fill = d.width > length ? d.width - length : 0;
    if (length < 0 || length + fill > kMaxUnits)
        return 0;
    wch* p = m_target.ExtendWide((int)(length + fill));
    if (!p)
        return 0;
    m_rightFill = 0;
    if (d.flags & kFlagMinus)
    {
        m_rightFill = (int)fill;
        return p;
    }
    const wch fillChar = (d.flags & kFlagZero) ? '0' : ' ';
    for (i64 i = 0; i < fill; ++i)
        *p++ = fillChar;
    return p;
}

void CFormatter::Finish(wch* end)
{
    for (int i = 0; i < m_rightFill; ++i)
        end[i] = ' ';
    m_rightFill = 0;
}

int CFormatter::Token(const Directive& d, const char* token)
{
    const int length = (int)strlen(token);
    wch* p = Open(d, length);
    if (!p)
        return 0;
    for (int i = 0; i < length; ++i)
        p[i] = (wch)(u8)token[i];
    Finish(p + length);
    return 1;
}

intptr_t CFormatter::Anchor(const void* p) const
{
    const uintptr_t at = (uintptr_t)p;
    const uintptr_t block = (uintptr_t)m_target.m_block;
    if (!m_target.m_block || at < (uintptr_t)m_target.TextAt(0) || at >= block + (uintptr_t)m_target.m_blockSize)
        return kNoAnchor;
    return (intptr_t)(at - (uintptr_t)m_target.TextAt(0));
}

const void* CFormatter::Rebase(const void* p, intptr_t anchor) const
{
    return anchor == kNoAnchor ? p : m_target.TextAt(0) + anchor;
}

int CFormatter::Convert(const Directive& d)
{
    switch (d.conversion)
    {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'y': case 'p': case 'P':
        return Integer(d);
    case 'c': case 'C':
        return Character(d);
    case 's': case 'S': case 'z': case 'Z':
        return String(d);
    case 'b': case 'B':
        return Bytes(d);
    case 'w': case 'W':
        return d.modifier == kModShort ? Guid(d) : Address(d);
    case 'n':
    {
        int* count = (int*)ArgPointer();
        if (count)
            *count = m_target.Length() - m_startLength;
        return 1;
    }
    case 'N':
    {
        wch* p = Open(d, 2);
        if (!p)
            return 0;
        p[0] = '\r';
        p[1] = '\n';
        Finish(p + 2);
        return 1;
    }
    case 'T': case 't': case 'Y':
        (void)ArgInt();  // reserved: takes its slot and fails the format
        return 0;
    default:
        return Floating(d);
    }
}

int CFormatter::Integer(const Directive& d)
{
    const wch c = d.conversion;
    const int pointer = c == 'p' || c == 'P';
    const int isSigned = c == 'd' || c == 'i';
    const int base = (c == 'x' || c == 'X' || pointer) ? 16 : c == 'o' ? 8 : c == 'y' ? 2 : 10;
    const wch* set = (c == 'X' || c == 'P') ? kWideDigitsUpper : kWideDigitsLower;

    u64 value;
    int negative = 0;
    int isNull = 0;
    int precision = d.precision;
    if (pointer)
    {
        // Read at the pointer's own width; on x86_64 a pointer above 4 GB
        // shows all its digits, eight being the minimum.
        const void* arg = ArgPointer();
        value = (u64)(uintptr_t)arg;
        isNull = arg == 0;
        precision = kPointerDigits;
    }
    else if (d.modifier == kModLongLong)
    {
        if (isSigned)
        {
            const i64 v = ArgI64();
            negative = v < 0;
            value = negative ? 0 - (u64)v : (u64)v;
        }
        else
        {
            value = ArgU64();
        }
    }
    else
    {
        if (isSigned)
        {
            const int v = ArgInt();
            negative = v < 0;
            value = negative ? 0 - (u64)(i64)v : (u64)v;
        }
        else
        {
            value = ArgU32();
        }
    }
    if (precision <= 0)
        precision = 1;
    if (precision > kMaxIntegerPrecision)
        precision = kMaxIntegerPrecision;

    int digits = DigitCount(value, base);
    int prefix = 0;
    if (d.flags & kFlagHash)
        prefix = base == 16 || base == 2 ? 2 : base == 8 ? 1 : 0;
    wch sign = 0;
    if (isSigned)
        sign = negative ? '-' : (d.flags & kFlagPlus) ? '+' : (d.flags & kFlagSpace) ? ' ' : 0;
    const int signLength = sign ? 1 : 0;
    if (pointer)
    {
        if (digits < precision)
            digits = precision;
    }
    else if (precision >= signLength + prefix + digits)
    {
        digits = precision;
        if (base == 8)
            prefix = 0;  // the leading zeros already show the base
    }
    const int group = (base == 10 || base == 8) ? 3 : 4;
    const int separators = (d.flags & kFlagGroup) ? (digits - 1) / group : 0;
    const int total = signLength + prefix + digits + separators;

    wch* p = Open(d, total);
    if (!p)
        return 0;
    wch* end = p + total;
    if (isNull)
    {
        for (int i = 0; i < total - kNullTokenLength; ++i)
            p[i] = ' ';
        for (int i = 0; i < kNullTokenLength; ++i)
            end[i - kNullTokenLength] = (wch)kNullToken[i];
        Finish(end);
        return 1;
    }
    if (sign)
        *p++ = sign;
    if (prefix)
    {
        *p++ = '0';
        if (prefix == 2)
            *p++ = base == 16 ? 'x' : 'y';
    }
    wch* q = end;
    for (int i = 0; i < digits; ++i)
    {
        if (separators && i && i % group == 0)
            *--q = ' ';
        *--q = set[value % (u64)base];
        value /= (u64)base;
    }
    Finish(end);
    return 1;
}

int CFormatter::Character(const Directive& d)
{
    const int arg = ArgInt();
    const int narrow = d.modifier == kModShort;
    const unsigned ch = narrow ? (unsigned)arg & 0xFF : (unsigned)arg & 0xFFFF;
    const int escaped = IsEscaped(ch, d.flags);
    // A lone byte from 0x80 up is no UTF-8 character.
    if (narrow && !escaped && !(d.flags & (kFlagHash | kFlagStrict)) && ch >= 0x80)
        return 0;
    const int length = escaped ? kEscapeLength : 1;
    wch* p = Open(d, length);
    if (!p)
        return 0;
    if (escaped)
        PutEscape(p, ch, d.conversion == 'C' ? kWideDigitsUpper : kWideDigitsLower);
    else
        *p = (wch)ch;
    Finish(p + length);
    return 1;
}

int CFormatter::String(const Directive& d)
{
    const wch c = d.conversion;
    const int upper = c == 'S' || c == 'Z';
    const void* arg = ArgPointer();
    if (!arg)
        return Token(d, kNullToken);
    if (c == 's' || c == 'S')
    {
        if (d.modifier == kModLongLong)
            return 1;
        if (d.modifier == kModShort)
            return NarrowSource(d, (const char*)arg, -1, upper);
        return WideSource(d, (const wch*)arg, -1, upper);
    }
    if (d.modifier == kModShort)
    {
        // A packed text record: the header says the width; the text runs to
        // its terminator or the precision.
        u32 header;
        memcpy(&header, arg, sizeof header);
        const u8* text = (const u8*)arg + sizeof header;
        if (header & kPackedNarrowBit)
            return NarrowSource(d, (const char*)text, -1, upper);
        return WideSource(d, (const wch*)text, -1, upper);
    }
    // A GString: its length bounds every read, so no precision reaches past its text.
    const GString* s = (const GString*)arg;
    if (s->IsWide())
        return WideSource(d, s->WideText(0), s->Length(), upper);
    return NarrowSource(d, s->NarrowText(0), s->Length(), upper);
}

int CFormatter::WideSource(const Directive& d, const wch* text, int limit, int upper)
{
    const int precision = d.precision;
    int count = 0;
    if (precision < 0)
    {
        count = NegatedLimit(precision);
        if (limit >= 0 && count > limit)
            count = limit;
    }
    else
    {
        const int most = precision > 0 && (limit < 0 || precision < limit) ? precision : limit;
        while ((most < 0 || count < most) && text[count])
            ++count;
    }

    i64 length = count;
    const int escapes = d.flags & (kFlagHash | kFlagStrict);
    if (escapes)
    {
        for (int i = 0; i < count; ++i)
            if (IsEscaped((u16)text[i], d.flags))
                length += kEscapeLength - 1;
    }

    const intptr_t anchor = Anchor(text);
    wch* p = Open(d, length);
    if (!p)
        return 0;
    text = (const wch*)Rebase(text, anchor);
    if (!escapes)
    {
        memmove(p, text, (size_t)count * sizeof(wch));
        p += count;
    }
    else
    {
        const wch* set = upper ? kWideDigitsUpper : kWideDigitsLower;
        for (int i = 0; i < count; ++i)
        {
            const unsigned unit = (u16)text[i];
            if (IsEscaped(unit, d.flags))
                p = PutEscape(p, unit, set);
            else
                *p++ = (wch)unit;
        }
    }
    Finish(p);
    return 1;
}

int CFormatter::NarrowSource(const Directive& d, const char* text, int limit, int upper)
{
    const u8* s = (const u8*)text;
    const int precision = d.precision;
    const int strict = d.flags & kFlagStrict;
    int bytes = 0;
    int characters = 0;
    if (strict)
    {
        // '$' counts bytes and escapes every byte on its own.
        if (precision < 0)
        {
            bytes = NegatedLimit(precision);
            if (limit >= 0 && bytes > limit)
                bytes = limit;
        }
        else
        {
            const int most = precision > 0 && (limit < 0 || precision < limit) ? precision : limit;
            while ((most < 0 || bytes < most) && s[bytes])
                ++bytes;
        }
    }
    else if (precision < 0)
    {
        // Exactly so many characters, NULs included; the last one keeps the
        // continuation bytes its first byte announces, and no byte beyond.
        const int wanted = NegatedLimit(precision);
        int lastEnd = 0;
        while (limit < 0 || bytes < limit)
        {
            if (characters == wanted && bytes >= lastEnd)
                break;
            if (StartsCharacter(s[bytes]))
            {
                if (characters == wanted)
                    break;
                ++characters;
                lastEnd = bytes + SequenceBytes(s[bytes]);
            }
            ++bytes;
        }
    }
    else
    {
        // Up to the NUL, or so many characters with the continuation bytes
        // that follow the last one, so that no sequence is cut.
        while ((limit < 0 || bytes < limit) && s[bytes])
        {
            if (StartsCharacter(s[bytes]))
            {
                if (precision > 0 && characters == precision)
                    break;
                ++characters;
            }
            ++bytes;
        }
    }

    i64 length = characters;
    if (strict)
    {
        length = bytes;
        for (int i = 0; i < bytes; ++i)
            if (s[i] < 0x20 || s[i] > 0x7E)
                length += kEscapeLength - 1;
    }
    else if (d.flags & kFlagHash)
    {
        for (int i = 0; i < bytes; ++i)
            if (s[i] < 0x20)
                length += kEscapeLength - 1;
    }

    const intptr_t anchor = Anchor(s);
    wch* p = Open(d, length);
    if (!p)
        return 0;
    s = (const u8*)Rebase(s, anchor);
    wch* const end = p + length;
    const wch* set = upper ? kWideDigitsUpper : kWideDigitsLower;
    if (strict)
    {
        for (int i = 0; i < bytes; ++i)
        {
            if (s[i] < 0x20 || s[i] > 0x7E)
                p = PutEscape(p, s[i], set);
            else
                *p++ = (wch)s[i];
        }
    }
    else if (d.flags & kFlagHash)
    {
        // Control bytes are escaped; the runs between them are decoded.
        int i = 0;
        while (i < bytes)
        {
            if (s[i] < 0x20)
            {
                p = PutEscape(p, s[i++], set);
                continue;
            }
            const int runStart = i;
            while (i < bytes && s[i] >= 0x20)
                ++i;
            const int units = DecodeUtf8((const char*)s + runStart, i - runStart, p);
            if (units < 0)
                return 0;
            p += units;
        }
    }
    else
    {
        const int units = DecodeUtf8((const char*)s, bytes, p);
        if (units < 0)
            return 0;
        p += units;
    }
    // Valid text gives one unit per character; anything else is malformed.
    if (p != end)
        return 0;
    Finish(p);
    return 1;
}

int CFormatter::Bytes(const Directive& d)
{
    const int count = d.precision;
    if (count <= 0)
        return 1;  // nothing to show, and the pointer stays in the list
    const u8* bytes = (const u8*)ArgPointer();
    if (!bytes)
        return Token(d, kNullToken);
    const int braces = d.flags & kFlagHash;
    const int spaces = d.flags & kFlagSpace;
    const int grouped = d.flags & kFlagGroup;
    const i64 n = count;
    const i64 groups = (n + 3) / 4;
    i64 length = 2 * n + (spaces ? n - 1 : 0);
    if (grouped)
        length += braces ? 2 * groups : groups - 1;
    else if (braces)
        length += 2 * n;

    const intptr_t anchor = Anchor(bytes);
    wch* p = Open(d, length);
    if (!p)
        return 0;
    bytes = (const u8*)Rebase(bytes, anchor);
    const wch* set = d.conversion == 'B' ? kWideDigitsUpper : kWideDigitsLower;
    if (!grouped)
    {
        for (int i = 0; i < count; ++i)
        {
            if (braces)
                *p++ = '{';
            p = PutHexByte(p, bytes[i], set);
            if (braces)
                *p++ = '}';
            if (spaces && i + 1 < count)
                *p++ = ' ';
        }
    }
    else
    {
        if (braces)
            *p++ = '{';
        for (int i = 0; i < count; ++i)
        {
            p = PutHexByte(p, bytes[i], set);
            const int more = i + 1 < count;
            if (i % 4 != 3)
            {
                if (spaces && more)
                    *p++ = ' ';
                continue;
            }
            // End of a group of four.
            if (spaces && more && !braces)
                *p++ = ' ';
            if (braces)
                *p++ = '}';
            if (more)
            {
                if (spaces || !braces)
                    *p++ = ' ';
                if (braces)
                    *p++ = '{';
            }
        }
        if (braces && count % 4 != 0)
            *p++ = '}';
    }
    Finish(p);
    return 1;
}

int CFormatter::Address(const Directive& d)
{
    Directive spaced = d;
    spaced.flags &= ~kFlagZero;  // '0' chooses three digits per byte, not the fill
    const u8* arg = (const u8*)ArgPointer();
    if (!arg)
        return Token(spaced, kNullToken);
    u8 bytes[4];
    memcpy(bytes, arg, sizeof bytes);
    const int fixed = d.flags & kFlagZero;
    int length = 3;
    for (int i = 0; i < 4; ++i)
        length += fixed ? 3 : DecimalDigits(bytes[i]);
    wch* p = Open(spaced, length);
    if (!p)
        return 0;
    for (int i = 3; i >= 0; --i)
    {
        p = PutDecimalByte(p, bytes[i], fixed ? 3 : DecimalDigits(bytes[i]));
        if (i)
            *p++ = '.';
    }
    Finish(p);
    return 1;
}

int CFormatter::Guid(const Directive& d)
{
    Directive spaced = d;
    spaced.flags &= ~kFlagZero;
    const u8* arg = (const u8*)ArgPointer();
    if (!arg)
        return Token(spaced, kNullToken);
    u8 bytes[kGuidBytes];
    memcpy(bytes, arg, sizeof bytes);
    // The text form reads the three leading fields as little-endian numbers.
    static const u8 kOrder[kGuidBytes] = { 3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15 };
    wch* p = Open(spaced, kGuidLength);
    if (!p)
        return 0;
    const wch* set = d.conversion == 'W' ? kWideDigitsUpper : kWideDigitsLower;
    *p++ = '{';
    for (int i = 0; i < kGuidBytes; ++i)
    {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *p++ = '-';
        p = PutHexByte(p, bytes[kOrder[i]], set);
    }
    *p++ = '}';
    Finish(p);
    return 1;
}
