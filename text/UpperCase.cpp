#include "text/UpperCase.h"

namespace
{

struct UnitRange
{
    u16 first;
    u16 last;
};

// Blocks where lower and upper case alternate: the odd unit is the lower one.
const UnitRange kAlternatingRanges[] = {
    { 0x0101, 0x012F }, { 0x014B, 0x0177 }, { 0x01F9, 0x021F },
    { 0x048B, 0x04BF }, { 0x04D1, 0x0525 }, { 0x1E01, 0x1E95 },
    { 0x1EA1, 0x1EFF }, { 0x2C81, 0x2CE3 }, { 0xA733, 0xA76F },
};

// Ranges without an upper-case form in the mapping's repertoire.
const UnitRange kUnchangedRanges[] = {
    { 0x04D0, 0x1D78 }, { 0x2185, 0x2C60 }, { 0x2CEF, 0xA640 },
};

const u16 kLastMappedUnit = 0xA78C;

int InRange(u16 u, u16 first, u16 last)
{
    return u >= first && u <= last;
}

wch LookUp(u16 u)
{
    int lo = 0;
    int hi = kUpperCasePairCount - 1;
    while (lo <= hi)
    {
        const int mid = lo + (hi - lo) / 2;
        const u16 key = kUpperCasePairs[mid].lower;
        if (key == u)
            return (wch)kUpperCasePairs[mid].upper;
        if (key < u)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return (wch)u;
}

} // namespace

wch ToUpperUnit(wch unit)
{
    const u16 u = (u16)unit;
    if (u < 0x61)
        return unit;
    if (u <= 0x7A)
        return (wch)(u - 0x20);
    if (u <= 0xDF)
        return unit;
    if (InRange(u, 0xE0, 0xF6) || InRange(u, 0x430, 0x44F) || InRange(u, 0xFF41, 0xFF5A))
        return (wch)(u - 0x20);
    if (u & 1)
    {
        for (const UnitRange& r : kAlternatingRanges)
        {
            if (InRange(u, r.first, r.last))
                return (wch)(u - 1);
        }
    }
    if (InRange(u, 0x561, 0x586) || InRange(u, 0x2C30, 0x2C5E))
        return (wch)(u - 0x30);
    if (InRange(u, 0x24D0, 0x24E9))
        return (wch)(u - 0x1A);
    if (InRange(u, 0x2D00, 0x2D25))
        return (wch)(u - 0x1C60);
    if (u > kLastMappedUnit)
        return unit;
    for (const UnitRange& r : kUnchangedRanges)
    {
        if (InRange(u, r.first, r.last))
            return unit;
    }
    return LookUp(u);
}
