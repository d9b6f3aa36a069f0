#pragma once

// GString: the one text type of the program. It holds UTF-16 ("wide") or
// UTF-8 ("8-bit") text in a heap block that grows in 64-byte steps, keeps a
// terminating NUL after the text at all times so the text can go straight to
// Win32, converts between the two widths in place, and can drop characters
// from its front without moving memory.
//
// Conventions: int results are non-zero on success and 0 on failure;
// searches return an index or -1; comparisons -1, 0 or 1. A text argument
// comes with a length in characters; a negative length means "up to the
// terminating NUL", and a null text counts as empty. A codePage argument of
// 0 selects UTF-8; any other value (callers pass -1) keeps the string's own,
// which is always 0 (UTF-8 is the only 8-bit encoding).
//
// A text argument may point into the string's own text.

#include "text/Types.h"

#include <stdarg.h>

class CFormatter;

class GString
{
public:
    // ---- Construction, storage and accessors ----

    // Empty 8-bit string without a block.
    GString();
    // Wide string holding `count` copies of `ch`; count <= 0 gives an empty
    // wide string without a block.
    GString(wch ch, int count);
    virtual ~GString();

    // Empty the text; width and block stay.
    void Clear();
    // Empty the text and set the width; nothing is converted.
    void ClearWide();
    void ClearNarrow();

    // Write the terminator; pointer to the first character, null without a block.
    void* Terminate();

    // The text from character `pos` on, without conversion. The static empty
    // text of the asked width is returned for a string of the other width,
    // an empty string or a negative `pos`; never write through it.
    const wch* WideText(int pos = 0) const;
    const char* NarrowText(int pos = 0) const;

    // Convert in place and return WideText(0) / NarrowText(0); null when the
    // text cannot be converted (the string is then unchanged).
    const wch* MakeWide(int codePage = -1);
    const char* MakeNarrow(int codePage = -1);

    // Write-buffer pattern for Win32 functions that fill a caller's buffer:
    // p = WideBuffer(n) (wide, room for n more units, points at the end of
    // the text), the function writes at most n units at p, then
    // SetLength(-1) (length up to the first NUL) or SetLength(count).
    // SetLength takes the whole length of the text from its first character.
    wch* WideBuffer(int room);
    int SetLength(int length);

    // Remove `count` characters from the front without moving memory.
    // Returns 0 for count <= 0, else 1.
    int DropFront(int count);

    int Length() const { return m_length; }
    int IsEmpty() const { return m_length == 0; }
    int IsWide() const { return m_wide != 0; }
    int CodePage() const { return m_codePage; }
    // Size of the heap block in bytes: a multiple of 64, 0 without a block.
    int BlockSize() const { return m_blockSize; }

    // Make room for `count` more characters (in the current width) without
    // changing the text.
    int MakeRoom(int count);
    // Wide only: lengthen the text by `count` units and return a pointer to
    // the first of them (their content is undefined; the caller writes all
    // of them). The terminator is already written after them. Null on an
    // 8-bit string, for count < 0, or when the room cannot be made.
    wch* ExtendWide(int count);

    // The string's scratch string, created on first need (null when it
    // cannot be created). Conversions, cross-width searches and comparisons,
    // DebugOutput and the formatter overwrite it; its content between
    // operations has no meaning.
    GString* Scratch() const;

    // ---- Appending (the width stays) ----

    // UTF-16 text; an 8-bit string receives it encoded as UTF-8.
    int AppendWide(const wch* text, int length = -1);
    // UTF-16 units onto a wide string; fails on an 8-bit one unless the text is empty.
    int AppendWideRaw(const wch* text, int length = -1);
    // UTF-8 text; a wide string receives it decoded. Malformed UTF-8 fails
    // the whole append.
    int AppendNarrow(const char* text, int length = -1, int codePage = -1);
    // Bytes onto an 8-bit string; fails on a wide one, even for an empty text.
    int AppendNarrowRaw(const char* text, int length = -1, int codePage = -1);
    // The other string's text, converted to this string's width as needed.
    int Append(const GString& other);
    // `count` copies of a character; ch 0 or count <= 0 appends nothing.
    // An 8-bit string takes only ch < 0x80, a wide string only bytes < 0x80.
    int AppendChar(wch ch, int count = 1);
    int AppendNarrowChar(char ch, int count = 1);

    // ---- Assigning ----

    int AssignWide(const wch* text, int length = -1);
    int AssignNarrow(const char* text, int length = -1, int codePage = -1);
    // Width, code page and text of the other string.
    int Assign(const GString& other);
    // A packed text record: a little-endian u32 header (bit 31 set: 8-bit
    // text, clear: UTF-16; bits 0-28: length in characters) followed by the
    // text. A null record clears the string and returns 0.
    int AssignPacked(const void* record);

    // ---- Searching and comparing (an operand of the other width is converted) ----

    // First occurrence at or after `start`, or -1.
    int FindWide(const wch* needle, int start = 0, int needleLength = -1) const;
    int FindNarrow(const char* needle, int start = 0, int needleLength = -1) const;
    int Find(const GString& needle, int start = 0) const;
    // Last occurrence of `ch` at an index >= stop, or -1.
    int ReverseFindChar(wch ch, int stop = 0) const;
    // Length first, then unit by unit unsigned: -1, 0 or 1 ('b' < 'aa').
    // 0 as well when the operand cannot be converted to this string's width.
    int CompareWide(const wch* text, int length = -1) const;
    int CompareNarrow(const char* text, int length = -1) const;

    // ---- Paths, suffixes and output ----

    // Append the suffix unless the text already ends with it; 0 for an
    // empty suffix.
    int EnsureSuffix(const wch* suffix, int length = -1);
    int EnsureSuffix(const char* suffix, int length = -1);
    // Join a path component with exactly one backslash.
    int AppendPath(const wch* part, int length = -1);
    int AppendPath(const char* part, int length = -1);
    int AppendPath(const GString& part);
    // Upper-case every character (one UTF-16 unit at a time).
    int MakeUpper();
    // Send the text (at most maxLength characters) to the debugger in lines
    // of 80 characters. Callers pass 65535.
    int DebugOutput(int maxLength = 65535) const;

    // ---- Formatting (text/Format*.cpp) ----

    // ClearWide(), then AppendFormatV.
    int Format(const wch* format, ...);
    // Append the formatted text to a wide string; 0 on an 8-bit string,
    // for a null format, or when a directive fails (the text appended
    // before it stays, terminated).
    int AppendFormatV(const wch* format, va_list args);

private:
    GString(const GString&);
    GString& operator=(const GString&);

    // The formatter's worker writes into the block directly.
    friend class CFormatter;

    int CharSize() const { return m_wide ? 2 : 1; }
    u8* TextArea() const { return m_block ? m_block + 4 : 0; }
    u8* TextAt(int index) const { return TextArea() + (m_start + index) * CharSize(); }
    // The storage rules (room, growth, compaction, conversions) live in
    // text/GString.cpp.
    struct Impl;
    friend int Equal(const GString& a, const GString& b);

    u8* m_block;
    i32 m_length;
    i32 m_start;
    i32 m_blockSize;
    i32 m_codePage;
    i32 m_wide;
    mutable GString* m_scratch;
};

// 1 when a's text equals b's text (b's text converted to a's width), else 0.
int Equal(const GString& a, const GString& b);

// First occurrence of the needle bytes in hay at or after `start`, or -1
// (also for null pointers, lengths <= 0, start < 0 or start + needleLength
// beyond hayLength).
int FindBytes(const char* hay, const char* needle, int hayLength, int needleLength, int start);
