#include "tools/packer/ItemPacker.h"

#include "payload/Blowfish.h"
#include "payload/ItemCodec.h"

#include <stdio.h>
#include <string.h>
#include <zlib.h>

namespace
{
const int kDeflateLevel = 9;
const int kDeflateMemLevel = 9;

int DeflateRaw(const u8* data, u32 size, std::vector<u8>& out)
{
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (deflateInit2(&z, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, kDeflateMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return 0;
    out.resize(deflateBound(&z, size) + 16);
    z.next_in = (Bytef*)data;
    z.avail_in = size;
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return status == Z_STREAM_END;
}

int CipherItem(const CGuard& guard, std::vector<u8>& item, int encrypt)
{
    i32 keyLength = 0;
    const u8* key = guard.KeyWindow(&keyLength);
    CBlowfish cipher;
    if (!key || item.size() % 8 != 0 || !cipher.Init(key, keyLength))
        return 0;
    if (encrypt)
        cipher.EncryptEcb(item.data(), item.data(), (u32)item.size());
    else
        cipher.DecryptEcb(item.data(), item.data(), (u32)item.size());
    return 1;
}
}

int PackItem(const CGuard& guard, const u8* data, u32 size, u32 userValue, u32 storedSize,
    std::vector<u8>& out, std::string& error)
{
    if (!guard.KeyWindow(0))
    {
        error = "no key block loaded";
        return 0;
    }
    std::vector<u8> stream;
    if (!DeflateRaw(data, size, stream))
    {
        error = "deflate failed";
        return 0;
    }
    u64 needed = (u64)kItemHeaderSize + stream.size();
    u64 smallest = (needed + 7) & ~(u64)7;
    if (smallest > 0xFFFFFFF8u)
    {
        error = "item too large";
        return 0;
    }
    if (storedSize == 0)
        storedSize = (u32)smallest;
    if (storedSize % 8 != 0)
    {
        error = "stored size " + std::to_string(storedSize) + " is not a multiple of 8";
        return 0;
    }
    if (storedSize < smallest)
    {
        error = "stored size " + std::to_string(storedSize) + " is too small: the item needs "
            + std::to_string(smallest) + " bytes";
        return 0;
    }

    ItemHeader header;
    header.storedSize = storedSize;
    header.inflatedSize = size;
    header.deflateLength = (u32)stream.size();
    header.inflatedCrc = ItemCrc(data, size);
    header.deflateCrc = ItemCrc(stream.data(), (u32)stream.size());
    header.userValue = userValue;

    out.assign(storedSize, 0);
    WriteItemHeader(out.data(), header);
    if (!stream.empty())
        memcpy(out.data() + kItemHeaderSize, stream.data(), stream.size());
    if (!EncryptItem(guard, out))
    {
        error = "encryption failed";
        return 0;
    }
    return 1;
}

int EncryptItem(const CGuard& guard, std::vector<u8>& item)
{
    return CipherItem(guard, item, 1);
}

int DecryptItem(const CGuard& guard, std::vector<u8>& item)
{
    return CipherItem(guard, item, 0);
}

int ReadFileBytes(const std::string& path, std::vector<u8>& out, std::string& error)
{
    out.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
    {
        error = path + ": cannot open";
        return 0;
    }
    u8 chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), f)) > 0)
        out.insert(out.end(), chunk, chunk + got);
    int ok = !ferror(f);
    fclose(f);
    if (!ok)
        error = path + ": cannot read";
    return ok;
}

int WriteFileBytes(const std::string& path, const std::vector<u8>& bytes, std::string& error)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
    {
        error = path + ": cannot create";
        return 0;
    }
    int ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = fclose(f) == 0 && ok;
    if (!ok)
        error = path + ": cannot write";
    return ok;
}
