#include "text/Utf.h"

namespace
{

int WideCount(const wch* text, int count)
{
    if (!text)
        return 0;
    if (count < 0)
    {
        count = 0;
        while (text[count])
            ++count;
    }
    return count;
}

int ByteCount(const char* text, int count)
{
    if (!text)
        return 0;
    if (count < 0)
    {
        count = 0;
        while (text[count])
            ++count;
    }
    return count;
}

// Length of the sequence that starts with `lead`, judged by that byte
// alone; 0 for a byte that cannot start a sequence.
int SequenceLength(u8 lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

int IsContinuation(u8 b)
{
    return (b & 0xC0) == 0x80;
}

} // namespace

int Utf8Length(const wch* text, int count)
{
    count = WideCount(text, count);
    int bytes = 0;
    for (int i = 0; i < count; ++i)
    {
        const u16 u = (u16)text[i];
        bytes += u <= 0x7F ? 1 : u <= 0x7FF ? 2 : 3;
    }
    return bytes;
}

int EncodeUtf8(const wch* text, int count, char* out)
{
    count = WideCount(text, count);
    if (!out)
        return 0;
    u8* p = (u8*)out;
    for (int i = 0; i < count; ++i)
    {
        const u16 u = (u16)text[i];
        if (u <= 0x7F)
        {
            *p++ = (u8)u;
        }
        else if (u <= 0x7FF)
        {
            *p++ = (u8)(0xC0 | (u >> 6));
            *p++ = (u8)(0x80 | (u & 0x3F));
        }
        else
        {
            *p++ = (u8)(0xE0 | (u >> 12));
            *p++ = (u8)(0x80 | ((u >> 6) & 0x3F));
            *p++ = (u8)(0x80 | (u & 0x3F));
        }
    }
    return (int)(p - (u8*)out);
}

int Utf16Length(const char* text, int count)
{
    count = ByteCount(text, count);
    const u8* p = (const u8*)text;
    int units = 0;
    int i = 0;
    while (i < count)
    {
        const int n = SequenceLength(p[i]);
        ++units;
        if (n == 0)
            break;
        i += n;
    }
    return units;
}

int DecodeUtf8(const char* text, int count, wch* out)
{
    if (!out)
        return -1;
    count = ByteCount(text, count);
    const u8* p = (const u8*)text;
    int written = 0;
    int i = 0;
    while (i < count)
    {
        const u8 b0 = p[i];
        u16 unit;
        if (b0 < 0x80)
        {
            unit = b0;
            i += 1;
        }
        else if ((b0 & 0xE0) == 0xC0)
        {
            if (count - i < 2 || !IsContinuation(p[i + 1]))
                return -1;
            unit = (u16)(((b0 & 0x1F) << 6) | (p[i + 1] & 0x3F));
            i += 2;
        }
        else if ((b0 & 0xF0) == 0xE0)
        {
            if (count - i < 3 || !IsContinuation(p[i + 1]) || !IsContinuation(p[i + 2]))
                return -1;
            unit = (u16)(((b0 & 0x0F) << 12) | ((p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F));
            i += 3;
        }
        else
        {
            return -1;
        }
        out[written++] = (wch)unit;
    }
    return written;
}

const char* SkipUtf8(const char* text, int count, int n)
{
    count = ByteCount(text, count);
    if (n <= 0)
        return text;
    if (n >= count)
        return 0;
    const u8* p = (const u8*)text;
    int i = 0;
    while (n > 0 && i < count)
    {
        const int len = SequenceLength(p[i]);
        --n;
        if (len == 0)
        {
            ++i;
            break;
        }
        i += len;
    }
    if (i > count)
        i = count;
    return text + i;
}
