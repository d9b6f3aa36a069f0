#include "payload/StringTable.h"

#include <stdlib.h>

namespace
{
const u32 kEntrySize = 8;
const u32 kRecordHeaderSize = 4;
const u32 kNarrowFlag = 0x80000000u;
const u32 kLengthMask = 0x1FFFFFFFu;

u32 ReadWord(const u8* p)
{
    return (u32)p[0] | ((u32)p[1] << 8) | ((u32)p[2] << 16) | ((u32)p[3] << 24);
}
}

CStringTable::CStringTable()
{
    Clear();
}

CStringTable::~CStringTable()
{
    Release();
}

void CStringTable::Clear()
{
    m_count = 0;
    m_buffer = 0;
    m_index = 0;
    m_texts = 0;
}

int CStringTable::Attach(void* buffer, u32 count)
{
    if (!buffer || count == 0)
        return 0;
    Release();
    m_buffer = buffer;
    m_count = count;
    m_index = (const StringIndexEntry*)buffer;
    m_texts = (const u8*)buffer + (size_t)count * kEntrySize;
    return 1;
}

void CStringTable::Release()
{
    free(m_buffer);
    Clear();
}

const u32* CStringTable::Find(u32 id) const
{
    if (!m_index || !m_texts)
        return 0;
    i64 lo = 0;
    i64 hi = (i64)m_count - 1;
    while (lo <= hi)
    {
        i64 mid = (lo + hi) / 2;
        u32 midId = m_index[mid].id;
        if (id == midId)
            return (const u32*)(m_texts + m_index[mid].offset);
        if (id > midId)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return 0;
}

int CStringTable::IsWellFormed(const void* buffer, u32 size, u32 count)
{
    if (!buffer || count == 0 || count > size / kEntrySize)
        return 0;
    const u8* bytes = (const u8*)buffer;
    const u32 textSize = size - count * kEntrySize;
    const u8* texts = bytes + count * kEntrySize;
    for (u32 i = 0; i < count; ++i)
    {
        const u8* entry = bytes + i * kEntrySize;
        u32 id = ReadWord(entry);
        u32 offset = ReadWord(entry + 4);
        if (i > 0 && id <= ReadWord(entry - kEntrySize))
            return 0;
        // Headers are read as words, so records start on 4-byte boundaries.
        if (offset % 4 != 0 || offset > textSize || textSize - offset < kRecordHeaderSize)
            return 0;
        u32 header = ReadWord(texts + offset);
        u64 textBytes = (u64)(header & kLengthMask) * (header & kNarrowFlag ? 1 : 2);
        if (textBytes > textSize - offset - kRecordHeaderSize)
            return 0;
    }
    return 1;
}
