#pragma once

// Test payload items: packs bytes the way the build packs the program's
// items (header, raw deflate, padding, Blowfish with the key block's key),
// so that operations taking items can be given content of a test's choice.

#include "payload/Blowfish.h"
#include "payload/Guard.h"
#include "payload/ItemCodec.h"

#include <zlib.h>

#include <vector>

inline std::vector<u8> PackTestItem(const CGuard& guard, const std::vector<u8>& data, u32 userValue = 0)
{
    std::vector<u8> stream(compressBound(static_cast<uLong>(data.size())) + 64);
    z_stream z = {};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = stream.data();
    z.avail_out = static_cast<uInt>(stream.size());
    int status = deflate(&z, Z_FINISH);
    const u32 deflateLength = static_cast<u32>(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        return {};

    const u32 storedSize = CBlowfish::RoundUp8(kItemHeaderSize + deflateLength);
    std::vector<u8> item(storedSize, 0);
    ItemHeader header;
    header.storedSize = storedSize;
    header.inflatedSize = static_cast<u32>(data.size());
    header.deflateLength = deflateLength;
    header.inflatedCrc = ItemCrc(data.data(), static_cast<u32>(data.size()));
    header.deflateCrc = ItemCrc(stream.data(), deflateLength);
    header.userValue = userValue;
    WriteItemHeader(item.data(), header);
    std::copy(stream.begin(), stream.begin() + deflateLength, item.begin() + kItemHeaderSize);

    i32 keyLength = 0;
    const u8* key = guard.KeyWindow(&keyLength);
    CBlowfish cipher;
    if (!key || !cipher.Init(key, keyLength))
        return {};
    cipher.EncryptEcb(item.data(), item.data(), storedSize);
    return item;
}
