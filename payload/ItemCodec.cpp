#include "payload/ItemCodec.h"

#include "payload/Blowfish.h"
#include "payload/Guard.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

namespace
{
u32 ReadWord(const u8* p)
{
    return (u32)p[0] | ((u32)p[1] << 8) | ((u32)p[2] << 16) | ((u32)p[3] << 24);
}

void WriteWord(u8* p, u32 value)
{
    p[0] = (u8)value;
    p[1] = (u8)(value >> 8);
    p[2] = (u8)(value >> 16);
    p[3] = (u8)(value >> 24);
}

// Room for the inflated bytes: their count rounded down to even, plus 2.
// A count whose room does not fit asks for the largest block, which fails.
size_t OutputRoom(u32 inflatedSize)
{
    size_t even = (size_t)(inflatedSize & ~1u);
    if (even > SIZE_MAX - 2)
        return SIZE_MAX;
    return even + 2;
}

// One call, all input present, output capped at exactly inflatedSize.
int InflateExactly(const u8* stream, u32 streamLength, u8* out, u32 inflatedSize)
{
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return 0;
    z.next_in = (Bytef*)stream;
    z.avail_in = streamLength;
    z.next_out = out;
    z.avail_out = inflatedSize;
    int status = inflate(&z, Z_FINISH);
    int produced = status == Z_STREAM_END && z.total_out == inflatedSize;
    inflateEnd(&z);
    return produced;
}
}

void ReadItemHeader(const u8* plain, ItemHeader& header)
{
    header.storedSize = ReadWord(plain);
    header.inflatedSize = ReadWord(plain + 4);
    header.deflateLength = ReadWord(plain + 8);
    header.inflatedCrc = ReadWord(plain + 12);
    header.deflateCrc = ReadWord(plain + 16);
    header.userValue = ReadWord(plain + 20);
}

void WriteItemHeader(u8* plain, const ItemHeader& header)
{
    WriteWord(plain, header.storedSize);
    WriteWord(plain + 4, header.inflatedSize);
    WriteWord(plain + 8, header.deflateLength);
    WriteWord(plain + 12, header.inflatedCrc);
    WriteWord(plain + 16, header.deflateCrc);
    WriteWord(plain + 20, header.userValue);
}

u32 ItemCrc(const void* data, u32 size)
{
    return (u32)crc32(crc32(0L, Z_NULL, 0), (const Bytef*)data, size);
}

void* CGuard::DecodeItem(const void* item, u32& size, u32* userValue) const
{
    if (!m_block || !item)
        return 0;

    const u32 storedSize = size;
    const u32 rounded = CBlowfish::RoundUp8(storedSize);
    // An item too small for its header is refused before anything is read.
    if (rounded == 0 || storedSize < kItemHeaderSize)
        return 0;

    i32 keyLength = 0;
    const u8* key = KeyWindow(&keyLength);
    CBlowfish cipher;
    if (!cipher.Init(key, keyLength))
        return 0;

    u8* work = (u8*)malloc(rounded);
    if (!work)
        return 0;
    // Copying only the stored bytes keeps a size that is not a multiple
    // of 8 from reading past the end of the item.
    memcpy(work, item, storedSize);
    memset(work + storedSize, 0, rounded - storedSize);
    cipher.DecryptEcb(work, work, storedSize);

    u8* out = 0;
    ItemHeader header;
    ReadItemHeader(work, header);
    int ok = header.storedSize == storedSize;
    // The stream must lie inside the item: refused before the CRC reads it.
    ok = ok && header.deflateLength <= storedSize - kItemHeaderSize;
    ok = ok && ItemCrc(work + kItemHeaderSize, header.deflateLength) == header.deflateCrc;
    if (ok)
    {
        out = (u8*)malloc(OutputRoom(header.inflatedSize));
        ok = out != 0;
    }
    ok = ok && InflateExactly(work + kItemHeaderSize, header.deflateLength, out, header.inflatedSize);
    ok = ok && ItemCrc(out, header.inflatedSize) == header.inflatedCrc;

    free(work);
    if (!ok)
    {
        free(out);
        return 0;
    }
    if (userValue)
        *userValue = header.userValue;
    size = header.inflatedSize;
    return out;
}
