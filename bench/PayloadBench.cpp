// Decodes the four embedded string tables as start-up does and sets the
// time per table beside the time zlib alone needs to inflate the same
// deflate stream, so the cipher's share (key schedule and decryption) shows.
// Run by hand under Wine; prints a table, tests nothing.

#include "payload/Blowfish.h"
#include "payload/Catalogue.h"
#include "payload/Guard.h"
#include "payload/ItemCodec.h"

#include <algorithm>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
#include <zlib.h>

namespace
{
const int kRounds = 300;
const char* const kNames[kStringTableCount] = {"common", "setup", "language 0", "language 1"};

double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1e6 / (double)frequency.QuadPart;
}

// The median of kRounds timed runs: other work on the machine only lengthens
// some of them.
template <typename Work>
double Median(Work work)
{
    static double times[kRounds];
    for (int i = 0; i < kRounds; ++i)
    {
        double t = Now();
        work();
        times[i] = Now() - t;
    }
    std::sort(times, times + kRounds);
    return times[kRounds / 2];
}

int InflateOnce(const u8* stream, u32 length, u8* out, u32 size)
{
    z_stream z;
    memset(&z, 0, sizeof(z));
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return 0;
    z.next_in = (Bytef*)stream;
    z.avail_in = length;
    z.next_out = out;
    z.avail_out = size;
    int ok = inflate(&z, Z_FINISH) == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return ok;
}
}

int main()
{
    CGuard guard;
    double t0 = Now();
    if (!guard.Load(g_keyBlock, (int)g_keyBlockSize))
    {
        printf("the key block does not load\n");
        return 1;
    }
    double loadTime = Now() - t0;

    // One start-up: the four tables in order, each decoded once.
    double startup[kStringTableCount];
    for (int role = 0; role < kStringTableCount; ++role)
    {
        u32 size = g_stringTableItems[role].size;
        double t = Now();
        void* table = guard.DecodeItem(g_stringTableItems[role].bytes, size, 0);
        startup[role] = Now() - t;
        if (!table)
        {
            printf("string table %s does not decode\n", kNames[role]);
            return 1;
        }
        free(table);
    }

    printf("key block load: %.1f us\n", loadTime);
    printf("%-11s %8s %9s %11s %11s %11s %11s %9s %7s\n", "table", "stored", "inflated", "start-up us",
        "decode us", "schedule us", "decrypt us", "zlib us", "cipher");
    double totals[4] = {0, 0, 0, 0};
    for (int role = 0; role < kStringTableCount; ++role)
    {
        const PayloadItem& item = g_stringTableItems[role];

        double decode = Median([&] {
            u32 size = item.size;
            free(guard.DecodeItem(item.bytes, size, 0));
        });

        i32 keyLength = 0;
        const u8* key = guard.KeyWindow(&keyLength);
        CBlowfish cipher;
        double schedule = Median([&] { cipher.Init(key, keyLength); });

        u8* plain = (u8*)malloc(item.size);
        double decrypt = Median([&] { cipher.DecryptEcb(item.bytes, plain, item.size); });

        ItemHeader header;
        ReadItemHeader(plain, header);
        u8* out = (u8*)malloc(header.inflatedSize + 2);
        int inflated = 1;
        double zlibOnly = Median([&] {
            inflated = inflated && InflateOnce(plain + kItemHeaderSize, header.deflateLength, out, header.inflatedSize);
        });
        free(out);
        free(plain);
        if (!inflated)
        {
            printf("string table %s does not inflate\n", kNames[role]);
            return 1;
        }

        double share = decode > 0 ? 100.0 * (decode - zlibOnly) / decode : 0;
        printf("%-11s %8u %9u %11.1f %11.1f %11.1f %11.1f %9.1f %6.0f%%\n", kNames[role], item.size,
            header.inflatedSize, startup[role], decode, schedule, decrypt, zlibOnly, share);
        totals[0] += startup[role];
        totals[1] += decode;
        totals[2] += zlibOnly;
    }
    printf("all four: start-up %.1f us, decode %.1f us (median of %d rounds), zlib alone %.1f us\n", totals[0],
        totals[1], kRounds, totals[2]);
    return 0;
}
