#pragma once

// Shared by the payload tests: a key block of their own, items made with the
// packer's code, and string tables written byte by byte.

#include "payload/Guard.h"
#include "payload/ItemCodec.h"
#include "text/Types.h"
#include "tools/packer/ItemPacker.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace payloadtest
{
// 968 bytes from a fixed linear congruential sequence.
inline std::vector<u8> TestKeyBlock(u32 seed = 0x4B4C5753u)
{
    std::vector<u8> block(968);
    u32 x = seed;
    for (u8& b : block)
    {
        x = x * 1664525u + 1013904223u;
        b = (u8)(x >> 24);
    }
    return block;
}

// Text-like bytes that deflate well but not trivially.
inline std::vector<u8> SampleData(size_t size)
{
    static const char words[] = "klawisz layout ogonek accent dead key scancode ";
    std::vector<u8> data(size);
    u32 x = 12345;
    for (size_t i = 0; i < size; ++i)
    {
        x = x * 1103515245u + 12345u;
        data[i] = (x >> 28) == 0 ? (u8)(x >> 16) : (u8)words[i % (sizeof(words) - 1)];
    }
    return data;
}

inline std::vector<u8> Pack(const CGuard& guard, const std::vector<u8>& data, u32 userValue, u32 storedSize = 0)
{
    std::vector<u8> item;
    std::string error;
    if (!PackItem(guard, data.data(), (u32)data.size(), userValue, storedSize, item, error))
        item.clear();
    return item;
}

// Decrypts an item, lets change() edit its plaintext, encrypts it again.
template <typename Change>
std::vector<u8> Rewrite(const CGuard& guard, std::vector<u8> item, Change change)
{
    DecryptItem(guard, item);
    change(item);
    EncryptItem(guard, item);
    return item;
}

inline u32 Word(const std::vector<u8>& bytes, size_t at)
{
    return (u32)bytes[at] | ((u32)bytes[at + 1] << 8) | ((u32)bytes[at + 2] << 16) | ((u32)bytes[at + 3] << 24);
}

inline void PutWord(std::vector<u8>& bytes, size_t at, u32 value)
{
    bytes[at] = (u8)value;
    bytes[at + 1] = (u8)(value >> 8);
    bytes[at + 2] = (u8)(value >> 16);
    bytes[at + 3] = (u8)(value >> 24);
}

struct TableString
{
    u32 id;
    std::string text;  // ASCII in the tests
    bool narrow;
};

// A decoded string table as the program reads it; entries in the given
// order (the caller sorts them, or deliberately does not).
inline std::vector<u8> BuildTable(const std::vector<TableString>& strings)
{
    std::vector<u8> index(strings.size() * 8);
    std::vector<u8> texts;
    for (size_t i = 0; i < strings.size(); ++i)
    {
        const TableString& s = strings[i];
        PutWord(index, i * 8, s.id);
        PutWord(index, i * 8 + 4, (u32)texts.size());
        u32 header = (u32)s.text.size() | (s.narrow ? 0x80000000u : 0);
        texts.resize(texts.size() + 4);
        PutWord(texts, texts.size() - 4, header);
        for (char c : s.text)
        {
            texts.push_back((u8)c);
            if (!s.narrow)
                texts.push_back(0);
        }
        texts.push_back(0);
        if (!s.narrow)
            texts.push_back(0);
        while (texts.size() % 4)
            texts.push_back(0);
    }
    index.insert(index.end(), texts.begin(), texts.end());
    return index;
}

// A heap copy that a string table view may take over.
inline void* HeapCopy(const std::vector<u8>& bytes)
{
    void* copy = malloc(bytes.size() ? bytes.size() : 1);
    if (copy && !bytes.empty())
        memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

// The text of a packed record, as ASCII, for comparisons.
inline std::string RecordText(const u32* record)
{
    if (!record)
        return "<null>";
    u32 header = *record;
    u32 length = header & 0x1FFFFFFFu;
    const u8* text = (const u8*)(record + 1);
    std::string out;
    for (u32 i = 0; i < length; ++i)
        out += (char)((header & 0x80000000u) ? text[i] : text[2 * i]);
    return out;
}
}
