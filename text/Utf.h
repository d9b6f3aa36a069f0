#pragma once

// Conversions between UTF-16 and UTF-8 on plain arrays. Every UTF-16 unit is
// handled on its own: a surrogate half is encoded as a 3-byte sequence, and
// such sequences decode back to the same units. The standard 4-byte form of
// a character outside the BMP cannot be decoded. Overlong forms decode to
// the unit their bits give. A negative count means "up to the NUL".
// Nothing here allocates.

#include "text/Types.h"

// Bytes the UTF-8 form of the units takes; 0 for a null or empty text.
int Utf8Length(const wch* text, int count);
// Encode into `out` (room for Utf8Length bytes, no terminator written);
// the number of bytes written.
int EncodeUtf8(const wch* text, int count, char* out);
// UTF-16 units the decoding needs at most (the number of sequences).
int Utf16Length(const char* text, int count);
// Decode into `out` (room for Utf16Length units); the number of units
// written, or -1 when the text is not decodable or `out` is null.
int DecodeUtf8(const char* text, int count, wch* out);
// Pointer just past the first n sequences; null when n is at least the
// byte count (the whole text is meant), the text itself for n = 0.
const char* SkipUtf8(const char* text, int count, int n);
