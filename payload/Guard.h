#pragma once

#include "text/Types.h"

// Holder of the key block: the only object that opens payload items. The
// block travels scrambled; Load rebuilds the working copy on the heap, and
// every decode derives its key schedule from a window of that copy.
class CGuard
{
public:
    CGuard();
    virtual ~CGuard();

    // Copies and unscrambles a block of exactly m_size bytes; 0 on a null
    // source, a wrong length or an allocation failure (then nothing is held).
    int Load(const void* source, int length);

    // Wipes the held block with zeros and frees it; harmless when empty.
    void Release();

    // The key handed to the cipher, read in place; null when nothing is held.
    const u8* KeyWindow(i32* length) const;

    // Decrypts, checks and inflates one stored item into a new heap buffer
    // that the caller frees with free(). size: in, the stored size from the
    // catalogue; out, on success, the inflated size. Null on any failure,
    // leaving size and *userValue untouched.
    void* DecodeItem(const void* item, u32& size, u32* userValue) const;

    // The unscrambling steps, run by Load. Both stay inside the block:
    // positions outside it do nothing, counts past its end are shortened.
    void Move(i32 target, i32 source, i32 count);
    void XorPass(i32 start, i32 count, i32 byteIndex);

    const u8* Block() const { return m_block; }

public:
    u8* m_block;
    i32 m_size;
    i32 m_keyOffset;
    i32 m_keyLength;
    i32 m_move1Source;
    i32 m_move1Target;
    i32 m_move1Count;
    i32 m_move2Source;
    i32 m_move2Target;
    i32 m_move2Count;
    i32 m_xorByteIndex;
    i32 m_xorStart;
    i32 m_xorCount;

private:
    CGuard(const CGuard&);
    CGuard& operator=(const CGuard&);
};
