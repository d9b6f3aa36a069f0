#pragma once

// Digit sets of the formatter, indexed by a digit's value (the first ten
// entries serve decimal, octal and base 2 as well).

#include "text/Types.h"

extern const char kDigitsLower[17];  // "0123456789abcdef"
extern const char kDigitsUpper[17];  // "0123456789ABCDEF"
extern const wch kWideDigitsLower[17];
extern const wch kWideDigitsUpper[17];
