#pragma once

#include "text/Types.h"

// The plaintext of a stored item starts with this header, six little-endian
// words, followed by the raw deflate stream and padding.
const u32 kItemHeaderSize = 24;

struct ItemHeader
{
    u32 storedSize;
    u32 inflatedSize;
    u32 deflateLength;
    u32 inflatedCrc;
    u32 deflateCrc;
    u32 userValue;
};

void ReadItemHeader(const u8* plain, ItemHeader& header);
void WriteItemHeader(u8* plain, const ItemHeader& header);

// The standard CRC-32 of size bytes.
u32 ItemCrc(const void* data, u32 size);
