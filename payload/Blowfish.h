#pragma once

#include "text/Types.h"

const int kBlowfishSubkeys = 18;
const int kBlowfishSboxWords = 4 * 256;

// Initial values of the schedule, in payload/BlowfishTables.cpp.
extern const u32 g_blowfishInitialP[kBlowfishSubkeys];
extern const u32 g_blowfishInitialS[4][256];

// The 16-round, 64-bit block cipher in ECB mode. A data block's halves are
// read and written as little-endian words; key bytes are packed big-endian.
// One context serves one item: it is built, used and wiped.
class CBlowfish
{
public:
    CBlowfish();
    ~CBlowfish();

    // Allocates the context when needed and runs the key schedule over the
    // first bytes of key (keyLength > 0). 0 on allocation failure or no key.
    int Init(const u8* key, int keyLength);

    void EncryptBlock(u32& left, u32& right) const;
    void DecryptBlock(u32& left, u32& right) const;

    // ceil(size / 8) independent blocks; both buffers hold RoundUp8(size)
    // bytes and may be the same. Nothing happens for size 0.
    void DecryptEcb(const void* source, void* target, u32 size) const;
    // The packer's direction; the program itself only decrypts.
    void EncryptEcb(const void* source, void* target, u32 size) const;

    // size, or the next multiple of 8; 0 when that does not fit in 32 bits.
    static u32 RoundUp8(u32 size);

private:
    u32 Round(u32 x) const;
    void Free();

    u32* P;
    u32* S;

    CBlowfish(const CBlowfish&);
    CBlowfish& operator=(const CBlowfish&);
};
