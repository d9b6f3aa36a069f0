#include "payload/Guard.h"

#include <stdlib.h>

namespace
{
const i32 kKeyBlockSize = 968;
const i32 kKeyOffset = 352;
const i32 kKeyLength = 495;
const i32 kMove1Source = 240;
const i32 kMove1Target = 414;
const i32 kMove1Count = 65;
const i32 kMove2Source = 637;
const i32 kMove2Target = 395;
const i32 kMove2Count = 205;
const i32 kXorByteIndex = 42;
const i32 kXorStart = 104;
const i32 kXorCount = 454;
}

CGuard::CGuard()
    : m_block(0),
      m_size(kKeyBlockSize),
      m_keyOffset(kKeyOffset),
      m_keyLength(kKeyLength),
      m_move1Source(kMove1Source),
      m_move1Target(kMove1Target),
      m_move1Count(kMove1Count),
      m_move2Source(kMove2Source),
      m_move2Target(kMove2Target),
      m_move2Count(kMove2Count),
      m_xorByteIndex(kXorByteIndex),
      m_xorStart(kXorStart),
      m_xorCount(kXorCount)
{
}

CGuard::~CGuard()
{
    Release();
}

int CGuard::Load(const void* source, int length)
{
    Release();
    if (!source || length == 0 || length != m_size)
        return 0;

    m_block = (u8*)malloc((size_t)length);
    if (!m_block)
        return 0;
    const u8* in = (const u8*)source;
    for (int i = 0; i < length; ++i)
        m_block[i] = in[i];

    Move(m_move1Target, m_move1Source, m_move1Count);
    Move(m_move2Target, m_move2Source, m_move2Count);
    XorPass(m_xorStart, m_xorCount, m_xorByteIndex);
    return 1;
}

void CGuard::Release()
{
    if (!m_block)
        return;
    // volatile: the wipe must survive the free that follows.
    volatile u8* p = m_block;
    for (i32 i = 0; i < m_size; ++i)
        p[i] = 0;
    free(m_block);
    m_block = 0;
}

const u8* CGuard::KeyWindow(i32* length) const
{
    if (!m_block)
        return 0;
    if (length)
        *length = m_keyLength;
    return m_block + m_keyOffset;
}

void CGuard::Move(i32 target, i32 source, i32 count)
{
    if (!m_block || target < 0 || target >= m_size || source < 0 || source >= m_size || count <= 0)
        return;
    if (target < source)
    {
        i32 n = count > m_size - source ? m_size - source : count;
        for (i32 i = 0; i < n; ++i)
            m_block[target + i] = m_block[source + i];
    }
    else
    {
        i32 n = count > m_size - target ? m_size - target : count;
        for (i32 i = n - 1; i >= 0; --i)
            m_block[target + i] = m_block[source + i];
    }
}

void CGuard::XorPass(i32 start, i32 count, i32 byteIndex)
{
    if (!m_block || start < 0 || start >= m_size || byteIndex < 0 || byteIndex >= m_size || count <= 0)
        return;
    const u8 b = m_block[byteIndex];
    i32 n = count > m_size - start ? m_size - start : count;
    for (i32 i = 0; i < n; ++i)
        m_block[start + i] ^= b;
}
