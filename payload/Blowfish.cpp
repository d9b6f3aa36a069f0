#include "payload/Blowfish.h"

#include <stdlib.h>
#include <string.h>

namespace
{
const size_t kPBytes = kBlowfishSubkeys * sizeof(u32);
const size_t kSBytes = kBlowfishSboxWords * sizeof(u32);

u32 LoadLittle(const u8* p)
{
    return (u32)p[0] | ((u32)p[1] << 8) | ((u32)p[2] << 16) | ((u32)p[3] << 24);
}

void StoreLittle(u8* p, u32 value)
{
    p[0] = (u8)value;
    p[1] = (u8)(value >> 8);
    p[2] = (u8)(value >> 16);
    p[3] = (u8)(value >> 24);
}

// Key material must not linger in freed memory; volatile keeps the stores.
void Wipe(void* memory, size_t bytes)
{
    volatile u8* p = (volatile u8*)memory;
    while (bytes--)
        *p++ = 0;
}
}

CBlowfish::CBlowfish()
    : P(0), S(0)
{
}

CBlowfish::~CBlowfish()
{
    Free();
}

void CBlowfish::Free()
{
    if (P)
    {
        Wipe(P, kPBytes);
        free(P);
        P = 0;
    }
    if (S)
    {
        Wipe(S, kSBytes);
        free(S);
        S = 0;
    }
}

int CBlowfish::Init(const u8* key, int keyLength)
{
    if (!key || keyLength <= 0)
        return 0;
    if (!P)
        P = (u32*)malloc(kPBytes);
    if (!S)
        S = (u32*)malloc(kSBytes);
    if (!P || !S)
    {
        Free();
        return 0;
    }

    memcpy(P, g_blowfishInitialP, kPBytes);
    memcpy(S, g_blowfishInitialS, kSBytes);

    int j = 0;
    for (int i = 0; i < kBlowfishSubkeys; ++i)
    {
        u32 word = 0;
        for (int k = 0; k < 4; ++k)
        {
            word = (word << 8) | key[j];
            j = (j + 1) % keyLength;
        }
        P[i] ^= word;
    }

    u32 left = 0;
    u32 right = 0;
    for (int i = 0; i < kBlowfishSubkeys; i += 2)
    {
        EncryptBlock(left, right);
        P[i] = left;
        P[i + 1] = right;
    }
    for (int i = 0; i < kBlowfishSboxWords; i += 2)
    {
        EncryptBlock(left, right);
        S[i] = left;
        S[i + 1] = right;
    }
    return 1;
}

u32 CBlowfish::Round(u32 x) const
{
    const u32* s0 = S;
    const u32* s1 = S + 256;
    const u32* s2 = S + 512;
    const u32* s3 = S + 768;
    return ((s0[x >> 24] + s1[(x >> 16) & 0xFF]) ^ s2[(x >> 8) & 0xFF]) + s3[x & 0xFF];
}

void CBlowfish::EncryptBlock(u32& left, u32& right) const
{
    u32 l = left;
    u32 r = right;
    for (int i = 0; i < 16; ++i)
    {
        l ^= P[i];
        r ^= Round(l);
        u32 t = l;
        l = r;
        r = t;
    }
    // The loop's last swap is undone here.
    u32 t = l;
    l = r;
    r = t;
    r ^= P[16];
    l ^= P[17];
    left = l;
    right = r;
}

void CBlowfish::DecryptBlock(u32& left, u32& right) const
{
    u32 l = left;
    u32 r = right;
    for (int i = 17; i > 1; --i)
    {
        l ^= P[i];
        r ^= Round(l);
        u32 t = l;
        l = r;
        r = t;
    }
    u32 t = l;
    l = r;
    r = t;
    r ^= P[1];
    l ^= P[0];
    left = l;
    right = r;
}

void CBlowfish::DecryptEcb(const void* source, void* target, u32 size) const
{
    if (size == 0)
        return;
    u32 blocks = size / 8 + (size % 8 ? 1 : 0);
    const u8* in = (const u8*)source;
    u8* out = (u8*)target;
    for (u32 i = 0; i < blocks; ++i, in += 8, out += 8)
    {
        if (in != out)
            memcpy(out, in, 8);
        u32 left = LoadLittle(out);
        u32 right = LoadLittle(out + 4);
        DecryptBlock(left, right);
        StoreLittle(out, left);
        StoreLittle(out + 4, right);
    }
}

void CBlowfish::EncryptEcb(const void* source, void* target, u32 size) const
{
    if (size == 0)
        return;
    u32 blocks = size / 8 + (size % 8 ? 1 : 0);
    const u8* in = (const u8*)source;
    u8* out = (u8*)target;
    for (u32 i = 0; i < blocks; ++i, in += 8, out += 8)
    {
        if (in != out)
            memcpy(out, in, 8);
        u32 left = LoadLittle(out);
        u32 right = LoadLittle(out + 4);
        EncryptBlock(left, right);
        StoreLittle(out, left);
        StoreLittle(out + 4, right);
    }
}

u32 CBlowfish::RoundUp8(u32 size)
{
    return (size + 7u) & ~7u;
}
