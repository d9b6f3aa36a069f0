#pragma once

// Fixed-width integers and the 16-bit text unit shared by every library.
// The text library builds both for Windows and natively for the host tools,
// so the text unit is wchar_t on Windows and char16_t elsewhere.

#include <stddef.h>
#include <stdint.h>

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int8_t i8;
typedef int16_t i16;
typedef int32_t i32;
typedef int64_t i64;

#if defined(_WIN32)
typedef wchar_t wch;
#define W(text) L##text
#else
typedef char16_t wch;
#define W(text) u##text
#endif

static_assert(sizeof(wch) == 2, "the text unit must be 16 bits wide");
