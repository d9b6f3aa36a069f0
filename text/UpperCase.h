#pragma once

// Upper-case mapping of single UTF-16 units. Common ranges are mapped by
// arithmetic; the rest comes from a table of (lower, upper) pairs.

#include "text/Types.h"

// The upper-case unit of `unit`, or `unit` itself when it has none.
wch ToUpperUnit(wch unit);

// (lower-case unit, upper-case unit), sorted by the lower-case unit.
struct UpperCasePair
{
    u16 lower;
    u16 upper;
};

extern const UpperCasePair kUpperCasePairs[];
extern const int kUpperCasePairCount;
