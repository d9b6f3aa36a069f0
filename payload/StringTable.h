#pragma once

#include "text/Types.h"

// One index entry of a decoded string table: the string id and the offset
// of its packed text record from the start of the text area.
struct StringIndexEntry
{
    u32 id;
    u32 offset;
};

static_assert(sizeof(StringIndexEntry) == 8, "index entries are stored as 8 bytes");

// The installer object's handle on one decoded string table. It owns the
// decoded buffer from Attach until Release.
class CStringTable
{
public:
    CStringTable();
    ~CStringTable();

    void Clear();
    int Attach(void* buffer, u32 count);
    void Release();

    // Binary search by unsigned id; the packed text record, or null.
    const u32* Find(u32 id) const;

    // Whether a decoded buffer of size bytes holds a usable table of count
    // entries: the index fits, ids rise strictly, every record lies inside.
    static int IsWellFormed(const void* buffer, u32 size, u32 count);

public:
    u32 m_count;
    void* m_buffer;
    const StringIndexEntry* m_index;
    const u8* m_texts;

private:
    CStringTable(const CStringTable&);
    CStringTable& operator=(const CStringTable&);
};
