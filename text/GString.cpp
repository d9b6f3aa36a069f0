#include "text/GString.h"

#include "text/DebugSink.h"
#include "text/UpperCase.h"
#include "text/Utf.h"

#include <new>
#include <stdlib.h>
#include <string.h>

namespace
{

// Every block starts with a header word that nothing reads; the text follows.
const int kHeaderBytes = 4;
const int kBlockStep = 64;
// Keeps every size computation inside int.
const i64 kMaxBlockBytes = 0x7FFFFF00;
const int kDebugLineLength = 80;

const char kEmptyNarrow[1] = { 0 };
const wch kEmptyWide[1] = { 0 };

DebugSinkFn g_debugSink = WriteDebugLine;

int WideLen(const wch* text, int length)
{
    if (!text)
        return 0;
    if (length < 0)
    {
        length = 0;
        while (text[length])
            ++length;
    }
    return length;
}

int NarrowLen(const char* text, int length)
{
    if (!text)
        return 0;
    if (length < 0)
        length = (int)strlen(text);
    return length;
}

} // namespace

DebugSinkFn SetDebugSink(DebugSinkFn sink)
{
    const DebugSinkFn previous = g_debugSink;
    g_debugSink = sink ? sink : WriteDebugLine;
    return previous;
}

// The storage rules. Static functions with access to the fields; `s` is the
// string being worked on.
struct GString::Impl
{
    static int CapacityFromStart(const GString& s)
    {
        if (!s.m_block)
            return 0;
        const int capacity = (s.m_blockSize - kHeaderBytes) / s.CharSize() - s.m_start - 1;
        return capacity < 0 ? 0 : capacity;
    }

    static int FreeRoom(const GString& s)
    {
        const int room = CapacityFromStart(s) - s.m_length;
        return room < 0 ? 0 : room;
    }

    static void WriteTerminator(GString& s)
    {
        if (s.m_block)
            memset(s.TextAt(s.m_length), 0, (size_t)s.CharSize());
    }

    // Ensure a block of at least `bytes` bytes, keeping the text (moved to
    // the start of the new text area).
    static int GrowBlock(GString& s, i64 bytes)
    {
        if (bytes <= s.m_blockSize)
            return 1;
        if (bytes > kMaxBlockBytes)
            return 0;
        const int newSize = (int)((bytes + kBlockStep - 1) / kBlockStep * kBlockStep);
        u8* block = (u8*)malloc((size_t)newSize);
        if (!block)
            return 0;
        memset(block, 0, kHeaderBytes);
        int keep = s.m_length;
        const int newCapacity = (newSize - kHeaderBytes) / s.CharSize() - 1;
        if (keep > newCapacity)
            keep = newCapacity;
        if (s.m_block && keep > 0)
            memcpy(block + kHeaderBytes, s.TextAt(0), (size_t)keep * s.CharSize());
        free(s.m_block);
        s.m_block = block;
        s.m_blockSize = newSize;
        s.m_start = 0;
        s.m_length = keep;
        WriteTerminator(s);
        return 1;
    }

    static int Compact(GString& s)
    {
        if (!s.m_block)
            return 0;
        if (s.m_start != 0)
        {
            memmove(s.TextArea(), s.TextAt(0), (size_t)(s.m_length + 1) * s.CharSize());
            s.m_start = 0;
        }
        return 1;
    }

    // Room for a total of `total` characters.
    static int Reserve(GString& s, i64 total)
    {
        if (total < 0)
            return 1;
        if (total <= s.m_length)
            return Compact(s);
        const i64 grown = (i64)s.m_length + s.m_length / 2;
        if (total < grown)
            total = grown;
        const i64 bytes = (total + 1) * s.CharSize() + kHeaderBytes;
        if (bytes > kMaxBlockBytes)
            return 0;
        if (s.m_blockSize >= bytes)
        {
            if (CapacityFromStart(s) < total)
                return Compact(s);
            return 1;
        }
        return GrowBlock(s, bytes);
    }

    static int MakeRoom(GString& s, i64 count)
    {
        if (count <= 0 || FreeRoom(s) >= count)
            return 1;
        return Reserve(s, s.m_length + count);
    }

    static int Owns(const GString& s, const void* p)
    {
        const u8* b = (const u8*)p;
        return s.m_block && b >= s.m_block && b < s.m_block + s.m_blockSize;
    }

    // Index (in characters, from the first character of the text) of a
    // pointer into the own text, or -1 for any other pointer.
    static int OwnIndex(const GString& s, const void* p)
    {
        if (!Owns(s, p) || (const u8*)p < s.TextAt(0))
            return -1;
        return (int)(((const u8*)p - s.TextAt(0)) / s.CharSize());
    }

    // Append `length` characters of this string's width. The text may lie in
    // the own text: growth and compaction move it, so it is found again by index.
    static int AppendUnits(GString& s, const void* text, int length)
    {
        if (length <= 0)
            return 1;
        const int own = OwnIndex(s, text);
        if (!MakeRoom(s, length))
            return 0;
        const void* source = own >= 0 ? s.TextAt(own) : text;
        memmove(s.TextAt(s.m_length), source, (size_t)length * s.CharSize());
        s.m_length += length;
        WriteTerminator(s);
        return 1;
    }

    // Replace the text by `length` characters of the given width. Room is
    // made before the old text is discarded, so a failure leaves it intact.
    static int AssignUnits(GString& s, int wide, const void* text, int length)
    {
        const int charSize = wide ? 2 : 1;
        const i64 bytes = ((i64)length + 1) * charSize + kHeaderBytes;
        if (length > 0)
        {
            if (Owns(s, text))
            {
                // Own text: the block is large enough unless the widths differ.
                if (bytes > s.m_blockSize)
                    return 0;
            }
            else if (!GrowBlock(s, bytes))
            {
                return 0;
            }
        }
        s.m_wide = wide ? 1 : 0;
        s.m_start = 0;
        s.m_length = 0;
        if (length > 0)
        {
            // No terminator before the move: the text may start where it goes.
            memmove(s.TextArea(), text, (size_t)length * charSize);
            s.m_length = length;
        }
        WriteTerminator(s);
        return 1;
    }

    static int CopyAsWide(GString& s, const GString* other)
    {
        if (!other)
            return 0;
        s.ClearWide();
        s.m_codePage = other->m_codePage;
        if (other->m_wide)
            return s.AppendWideRaw(other->WideText(0), other->m_length);
        return s.AppendNarrow(other->NarrowText(0), other->m_length, other->m_codePage);
    }

    static int CopyAsNarrow(GString& s, const GString* other)
    {
        if (!other)
            return 0;
        s.ClearNarrow();
        s.m_codePage = other->m_codePage;
        if (other->m_wide)
            return s.AppendWide(other->WideText(0), other->m_length);
        return s.AppendNarrowRaw(other->NarrowText(0), other->m_length, other->m_codePage);
    }

    // An operand of the other width, converted into the scratch string in
    // this string's width. Null when the conversion fails.
    static const GString* WideOperand(const GString& s, const wch* text, int length)
    {
        GString* scratch = s.Scratch();
        if (!scratch)
            return 0;
        scratch->ClearNarrow();
        scratch->m_codePage = s.m_codePage;
        if (!scratch->AppendWide(text, length))
            return 0;
        return scratch;
    }

    static const GString* NarrowOperand(const GString& s, const char* text, int length)
    {
        GString* scratch = s.Scratch();
        if (!scratch)
            return 0;
        scratch->ClearWide();
        scratch->m_codePage = s.m_codePage;
        if (!scratch->AppendNarrow(text, length, s.m_codePage))
            return 0;
        return scratch;
    }

    static const void* Chars(const GString& s)
    {
        return s.m_block ? s.TextAt(0) : (s.m_wide ? (const void*)kEmptyWide : (const void*)kEmptyNarrow);
    }

    static u32 UnitAt(const void* text, int wide, int index)
    {
        if (wide)
            return (u16)((const wch*)text)[index];
        return ((const u8*)text)[index];
    }

    static int CompareSame(const GString& s, const void* text, int length)
    {
        if (s.m_length == 0 && length == 0)
            return 0;
        if (s.m_length == 0)
            return -1;
        if (length == 0)
            return 1;
        if (s.m_length != length)
            return s.m_length < length ? -1 : 1;
        const void* own = s.TextAt(0);
        for (int i = 0; i < length; ++i)
        {
            const u32 a = UnitAt(own, s.m_wide, i);
            const u32 b = UnitAt(text, s.m_wide, i);
            if (a != b)
                return a < b ? -1 : 1;
        }
        return 0;
    }

    static int CompareWide(const GString& s, const wch* text, int length, int* failed)
    {
        *failed = 0;
        length = WideLen(text, length);
        if (s.m_wide || length == 0)
            return CompareSame(s, text, length);
        const GString* operand = WideOperand(s, text, length);
        if (!operand)
        {
            *failed = 1;
            return 0;
        }
        return CompareSame(s, Chars(*operand), operand->m_length);
    }

    static int CompareNarrow(const GString& s, const char* text, int length, int* failed)
    {
        *failed = 0;
        length = NarrowLen(text, length);
        if (!s.m_wide || length == 0)
            return CompareSame(s, text, length);
        const GString* operand = NarrowOperand(s, text, length);
        if (!operand)
        {
            *failed = 1;
            return 0;
        }
        return CompareSame(s, Chars(*operand), operand->m_length);
    }

    static int FindSame(const GString& s, const void* needle, int start, int needleLength)
    {
        if (!needle || s.m_length == 0 || start < 0 || start >= s.m_length || needleLength <= 0
            || (i64)start + needleLength > s.m_length)
            return -1;
        const size_t bytes = (size_t)needleLength * s.CharSize();
        for (int pos = start; pos <= s.m_length - needleLength; ++pos)
        {
            if (memcmp(s.TextAt(pos), needle, bytes) == 0)
                return pos;
        }
        return -1;
    }

    static int EndsWith(const GString& s, const void* suffix, int length)
    {
        return s.m_length >= length
            && memcmp(s.TextAt(s.m_length - length), suffix, (size_t)length * s.CharSize()) == 0;
    }

    static int EnsureSuffixSame(GString& s, const void* suffix, int length)
    {
        if (length <= 0)
            return 0;
        if (EndsWith(s, suffix, length))
            return 1;
        return AppendUnits(s, suffix, length);
    }

    // `part` has this string's width.
    static int AppendPathSame(GString& s, const void* part, int length)
    {
        if (length > 0)
        {
            const u32 first = UnitAt(part, s.m_wide, 0);
            if (first == '\\' || first == '/')
            {
                part = (const u8*)part + s.CharSize();
                --length;
            }
        }
        // Adding the backslash may move the own text; find a part inside it again by index.
        const int own = length > 0 ? OwnIndex(s, part) : -1;
        const int ensured = s.m_wide ? EnsureSuffixSame(s, W("\\"), 1) : EnsureSuffixSame(s, "\\", 1);
        if (!ensured)
            return 0;
        if (own >= 0)
            part = s.TextAt(own);
        return AppendUnits(s, part, length);
    }
};

// ---- Construction, storage and accessors ----

GString::GString()
    : m_block(0), m_length(0), m_start(0), m_blockSize(0), m_codePage(0), m_wide(0), m_scratch(0)
{
}

GString::GString(wch ch, int count)
    : m_block(0), m_length(0), m_start(0), m_blockSize(0), m_codePage(0), m_wide(1), m_scratch(0)
{
    (void)AppendChar(ch, count);
}

GString::~GString()
{
    free(m_block);
    if (m_scratch)
    {
        m_scratch->~GString();
        free(m_scratch);
    }
    m_block = 0;
    m_length = 0;
    m_start = 0;
    m_blockSize = 0;
    m_codePage = 0;
    m_wide = 0;
    m_scratch = 0;
}

void GString::Clear()
{
    m_length = 0;
    m_start = 0;
    Impl::WriteTerminator(*this);
}

void GString::ClearWide()
{
    m_wide = 1;
    Clear();
}

void GString::ClearNarrow()
{
    m_wide = 0;
    Clear();
}

void* GString::Terminate()
{
    if (!m_block)
        return 0;
    Impl::WriteTerminator(*this);
    return TextAt(0);
}

const wch* GString::WideText(int pos) const
{
    if (!m_wide || m_length == 0 || pos < 0)
        return kEmptyWide;
    if (pos > m_length)
        pos = m_length;
    return (const wch*)TextAt(pos);
}

const char* GString::NarrowText(int pos) const
{
    if (m_wide || m_length == 0 || pos < 0)
        return kEmptyNarrow;
    if (pos > m_length)
        pos = m_length;
    return (const char*)TextAt(pos);
}

const wch* GString::MakeWide(int codePage)
{
    const int resolved = codePage == 0 ? 0 : m_codePage;
    if (!m_wide && m_length > 0)
    {
        GString* scratch = Scratch();
        if (!scratch || !Impl::CopyAsWide(*scratch, this))
            return 0;
        const int count = scratch->m_length;
        if (!Impl::AssignUnits(*this, 1, scratch->TextAt(0), count))
            return 0;
    }
    else if (!m_wide)
    {
        ClearWide();
    }
    m_codePage = resolved;
    return WideText(0);
}

const char* GString::MakeNarrow(int codePage)
{
    const int resolved = codePage == 0 ? 0 : m_codePage;
    if (m_wide && m_length > 0)
    {
        GString* scratch = Scratch();
        if (!scratch)
            return 0;
        scratch->ClearNarrow();
        scratch->m_codePage = m_codePage;
        if (!scratch->AppendWide(WideText(0), m_length))
            return 0;
        if (!Impl::AssignUnits(*this, 0, scratch->TextAt(0), scratch->m_length))
            return 0;
    }
    else if (m_wide)
    {
        ClearNarrow();
    }
    m_codePage = resolved;
    return NarrowText(0);
}

wch* GString::WideBuffer(int room)
{
    if (!MakeWide(-1))
        return 0;
    if (!Impl::MakeRoom(*this, room))
        return 0;
    if (!m_block && !Impl::MakeRoom(*this, 1))
        return 0;
    return (wch*)TextAt(m_length);
}

int GString::SetLength(int length)
{
    if (!m_block)
        return 0;
    const int capacity = Impl::CapacityFromStart(*this);
    if (length > capacity)
        length = capacity;
    if (length < 0)
    {
        length = 0;
        for (int i = 0; i <= capacity; ++i)
        {
            if (Impl::UnitAt(TextAt(0), m_wide, i) == 0)
            {
                length = i;
                break;
            }
        }
    }
    m_length = length;
    if (m_length == 0)
        m_start = 0;
    Impl::WriteTerminator(*this);
    return 1;
}

int GString::DropFront(int count)
{
    if (count <= 0)
        return 0;
    if (count > m_length)
        count = m_length;
    m_start += count;
    m_length -= count;
    if (m_length == 0)
    {
        m_start = 0;
        Impl::WriteTerminator(*this);
    }
    return 1;
}

int GString::MakeRoom(int count)
{
    return Impl::MakeRoom(*this, count);
}

wch* GString::ExtendWide(int count)
{
    if (!m_wide || count < 0)
        return 0;
    if (!Impl::MakeRoom(*this, count))
        return 0;
    if (!m_block && !Impl::MakeRoom(*this, 1))
        return 0;
    wch* first = (wch*)TextAt(m_length);
    m_length += count;
    Impl::WriteTerminator(*this);
    return first;
}

GString* GString::Scratch() const
{
    if (!m_scratch)
    {
        void* memory = malloc(sizeof(GString));
        if (!memory)
            return 0;
        m_scratch = new (memory) GString();
    }
    return m_scratch;
}

// ---- Appending ----

int GString::AppendWide(const wch* text, int length)
{
    if (m_wide)
        return AppendWideRaw(text, length);
    length = WideLen(text, length);
    m_codePage = 0;
    if (length == 0)
        return 1;
    const int bytes = Utf8Length(text, length);
    if (!Impl::MakeRoom(*this, bytes))
        return 0;
    (void)EncodeUtf8(text, length, (char*)TextAt(m_length));
    m_length += bytes;
    Impl::WriteTerminator(*this);
    return 1;
}

int GString::AppendWideRaw(const wch* text, int length)
{
    length = WideLen(text, length);
    if (length == 0)
        return 1;
    if (!m_wide)
        return 0;
    return Impl::AppendUnits(*this, text, length);
}

int GString::AppendNarrow(const char* text, int length, int codePage)
{
    if (!m_wide)
        return AppendNarrowRaw(text, length, codePage);
    length = NarrowLen(text, length);
    if (length == 0)
        return 1;
    if (!Impl::MakeRoom(*this, Utf16Length(text, length)))
        return 0;
    const int units = DecodeUtf8(text, length, (wch*)TextAt(m_length));
    if (units < 0)
    {
        // The decoder may have written past the text; put the terminator back.
        Impl::WriteTerminator(*this);
        return 0;
    }
    m_length += units;
    Impl::WriteTerminator(*this);
    return 1;
}

int GString::AppendNarrowRaw(const char* text, int length, int codePage)
{
    (void)codePage;
    if (m_wide)
        return 0;
    length = NarrowLen(text, length);
    if (length == 0)
        return 1;
    return Impl::AppendUnits(*this, text, length);
}

int GString::Append(const GString& other)
{
    if (m_wide)
    {
        if (other.m_wide)
            return AppendWideRaw(other.WideText(0), other.m_length);
        return AppendNarrow(other.NarrowText(0), other.m_length, other.m_codePage);
    }
    if (other.m_wide)
        return AppendWide(other.WideText(0), other.m_length);
    return AppendNarrowRaw(other.NarrowText(0), other.m_length, other.m_codePage);
}

int GString::AppendChar(wch ch, int count)
{
    if (ch == 0 || count <= 0)
        return 1;
    if (!m_wide && (u16)ch >= 0x80)
        return 0;
    if (!Impl::MakeRoom(*this, count))
        return 0;
    if (m_wide)
    {
        wch* p = (wch*)TextAt(m_length);
        for (int i = 0; i < count; ++i)
            p[i] = ch;
    }
    else
    {
        memset(TextAt(m_length), (int)(u16)ch, (size_t)count);
    }
    m_length += count;
    Impl::WriteTerminator(*this);
    return 1;
}

int GString::AppendNarrowChar(char ch, int count)
{
    if (ch == 0 || count <= 0)
        return 1;
    if (m_wide)
        return (u8)ch < 0x80 ? AppendChar((wch)(u8)ch, count) : 0;
    if (!Impl::MakeRoom(*this, count))
        return 0;
    memset(TextAt(m_length), (u8)ch, (size_t)count);
    m_length += count;
    Impl::WriteTerminator(*this);
    return 1;
}

// ---- Assigning ----

int GString::AssignWide(const wch* text, int length)
{
    return Impl::AssignUnits(*this, 1, text, WideLen(text, length));
}

int GString::AssignNarrow(const char* text, int length, int codePage)
{
    (void)codePage;
    return Impl::AssignUnits(*this, 0, text, NarrowLen(text, length));
}

int GString::Assign(const GString& other)
{
    if (&other == this)
        return 1;
    if (!Impl::AssignUnits(*this, other.m_wide, Impl::Chars(other), other.m_length))
        return 0;
    m_codePage = other.m_codePage;
    return 1;
}

int GString::AssignPacked(const void* record)
{
    const u32 kNarrowFlag = 0x80000000u;
    const u32 kLengthMask = 0x1FFFFFFFu;
    if (!record)
    {
        Clear();
        return 0;
    }
    const u8* bytes = (const u8*)record;
    const u32 header = (u32)bytes[0] | ((u32)bytes[1] << 8) | ((u32)bytes[2] << 16) | ((u32)bytes[3] << 24);
    const int length = (int)(header & kLengthMask);
    if (header & kNarrowFlag)
        return Impl::AssignUnits(*this, 0, bytes + 4, length);
    return Impl::AssignUnits(*this, 1, bytes + 4, length);
}

// ---- Searching and comparing ----

int GString::FindWide(const wch* needle, int start, int needleLength) const
{
    if (!needle)
        return -1;
    needleLength = WideLen(needle, needleLength);
    if (m_wide || needleLength == 0)
        return Impl::FindSame(*this, needle, start, needleLength);
    const GString* operand = Impl::WideOperand(*this, needle, needleLength);
    if (!operand)
        return -1;
    return Impl::FindSame(*this, Impl::Chars(*operand), start, operand->m_length);
}

int GString::FindNarrow(const char* needle, int start, int needleLength) const
{
    if (!needle)
        return -1;
    needleLength = NarrowLen(needle, needleLength);
    if (!m_wide || needleLength == 0)
        return Impl::FindSame(*this, needle, start, needleLength);
    const GString* operand = Impl::NarrowOperand(*this, needle, needleLength);
    if (!operand)
        return -1;
    return Impl::FindSame(*this, Impl::Chars(*operand), start, operand->m_length);
}

int GString::Find(const GString& needle, int start) const
{
    if (needle.m_wide)
        return FindWide(needle.WideText(0), start, needle.m_length);
    return FindNarrow(needle.NarrowText(0), start, needle.m_length);
}

int GString::ReverseFindChar(wch ch, int stop) const
{
    if (m_length == 0 || stop < 0 || stop >= m_length)
        return -1;
    if (m_wide || (u16)ch < 0x80)
    {
        const void* text = TextAt(0);
        for (int i = m_length - 1; i >= stop; --i)
        {
            if (Impl::UnitAt(text, m_wide, i) == (u16)ch)
                return i;
        }
        return -1;
    }
    char sequence[3];
    const int size = EncodeUtf8(&ch, 1, sequence);
    for (int i = m_length - size; i >= stop; --i)
    {
        if (memcmp(TextAt(i), sequence, (size_t)size) == 0)
            return i;
    }
    return -1;
}

int GString::CompareWide(const wch* text, int length) const
{
    int failed;
    return Impl::CompareWide(*this, text, length, &failed);
}

int GString::CompareNarrow(const char* text, int length) const
{
    int failed;
    return Impl::CompareNarrow(*this, text, length, &failed);
}

int Equal(const GString& a, const GString& b)
{
    int failed;
    const int order = b.m_wide ? GString::Impl::CompareWide(a, b.WideText(0), b.m_length, &failed)
                               : GString::Impl::CompareNarrow(a, b.NarrowText(0), b.m_length, &failed);
    // A text that cannot be converted to a's width is never equal to it.
    return !failed && order == 0;
}

int FindBytes(const char* hay, const char* needle, int hayLength, int needleLength, int start)
{
    if (!hay || !needle || hayLength <= 0 || needleLength <= 0 || start < 0
        || (i64)start + needleLength > hayLength)
        return -1;
    for (int pos = start; pos <= hayLength - needleLength; ++pos)
    {
        if (memcmp(hay + pos, needle, (size_t)needleLength) == 0)
            return pos;
    }
    return -1;
}

// ---- Paths, suffixes and output ----

int GString::EnsureSuffix(const wch* suffix, int length)
{
    length = WideLen(suffix, length);
    if (length == 0)
        return 0;
    if (m_wide)
        return Impl::EnsureSuffixSame(*this, suffix, length);
    const GString* operand = Impl::WideOperand(*this, suffix, length);
    if (!operand)
        return 0;
    return Impl::EnsureSuffixSame(*this, Impl::Chars(*operand), operand->m_length);
}

int GString::EnsureSuffix(const char* suffix, int length)
{
    length = NarrowLen(suffix, length);
    if (length == 0)
        return 0;
    if (!m_wide)
        return Impl::EnsureSuffixSame(*this, suffix, length);
    const GString* operand = Impl::NarrowOperand(*this, suffix, length);
    if (!operand)
        return 0;
    return Impl::EnsureSuffixSame(*this, Impl::Chars(*operand), operand->m_length);
}

int GString::AppendPath(const wch* part, int length)
{
    length = WideLen(part, length);
    if (m_wide || length == 0)
        return Impl::AppendPathSame(*this, part, length);
    const GString* operand = Impl::WideOperand(*this, part, length);
    if (!operand)
        return 0;
    return Impl::AppendPathSame(*this, Impl::Chars(*operand), operand->m_length);
}

int GString::AppendPath(const char* part, int length)
{
    length = NarrowLen(part, length);
    if (!m_wide || length == 0)
        return Impl::AppendPathSame(*this, part, length);
    const GString* operand = Impl::NarrowOperand(*this, part, length);
    if (!operand)
        return 0;
    return Impl::AppendPathSame(*this, Impl::Chars(*operand), operand->m_length);
}

int GString::AppendPath(const GString& part)
{
    if (part.m_wide)
        return AppendPath(part.WideText(0), part.m_length);
    return AppendPath(part.NarrowText(0), part.m_length);
}

int GString::MakeUpper()
{
    if (m_length == 0)
        return 1;
    if (m_wide)
    {
        wch* text = (wch*)TextAt(0);
        for (int i = 0; i < m_length; ++i)
            text[i] = ToUpperUnit(text[i]);
        return 1;
    }
    GString* scratch = Scratch();
    if (!scratch || !Impl::CopyAsWide(*scratch, this))
        return 0;
    wch* units = (wch*)scratch->TextAt(0);
    for (int i = 0; i < scratch->m_length; ++i)
        units[i] = ToUpperUnit(units[i]);
    // The upper-case form may need more bytes; make the room before the old text goes.
    const int bytes = Utf8Length(units, scratch->m_length);
    if (!Impl::GrowBlock(*this, (i64)bytes + 1 + kHeaderBytes))
        return 0;
    Clear();
    return AppendWide(units, scratch->m_length);
}

int GString::DebugOutput(int maxLength) const
{
    if (m_length == 0)
        return 1;
    const char* narrow = NarrowText(0);
    int count = m_wide ? m_length : Utf16Length(narrow, m_length);
    if (count > maxLength)
        count = maxLength;
    if (count <= 0)
        return 1;
    GString* line = Scratch();
    if (!line)
        return 0;
    const int fullLines = count / kDebugLineLength;
    const int rest = count % kDebugLineLength;
    int pos = 0;  // units or bytes already sent
    for (int i = 0; i <= fullLines; ++i)
    {
        const int take = i < fullLines ? kDebugLineLength : rest;
        if (take == 0)
            break;
        line->ClearWide();
        int appended;
        if (m_wide)
        {
            appended = line->AppendWideRaw(WideText(pos), take);
            pos += take;
        }
        else
        {
            const char* next = SkipUtf8(narrow + pos, m_length - pos, take);
            const int end = next ? (int)(next - narrow) : m_length;
            appended = line->AppendNarrow(narrow + pos, end - pos, m_codePage);
            pos = end;
        }
        const int last = i == fullLines || (i == fullLines - 1 && rest == 0);
        if (!appended || !line->AppendWideRaw(last ? W("\n") : W(" \\\n")))
            return 0;
        g_debugSink(line->WideText(0));
    }
    return 1;
}
