#pragma once

// Test texts for the installer object: builds a string table in the form the
// payload decoder hands out (index of id and offset, then UTF-16 records on
// 4-byte boundaries) and attaches it to one of the object's views, so that
// operations taking string ids can run without the program's own tables.

#include "core/Install.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

struct TestText
{
    u32 id;
    std::wstring text;
};

inline int AttachTestTexts(CStringTable& view, std::vector<TestText> texts)
{
    std::sort(texts.begin(), texts.end(), [](const TestText& a, const TestText& b) { return a.id < b.id; });
    const size_t indexSize = texts.size() * sizeof(StringIndexEntry);
    std::vector<u8> records;
    std::vector<StringIndexEntry> index;
    for (const TestText& entry : texts)
    {
        index.push_back({entry.id, static_cast<u32>(records.size())});
        const u32 header = static_cast<u32>(entry.text.size());
        const u8* headerBytes = reinterpret_cast<const u8*>(&header);
        records.insert(records.end(), headerBytes, headerBytes + 4);
        const u8* textBytes = reinterpret_cast<const u8*>(entry.text.data());
        records.insert(records.end(), textBytes, textBytes + entry.text.size() * 2);
        while (records.size() % 4)
            records.push_back(0);
    }
    const size_t size = indexSize + records.size();
    u8* buffer = static_cast<u8*>(malloc(size ? size : 1));
    memcpy(buffer, index.data(), indexSize);
    if (!records.empty())
        memcpy(buffer + indexSize, records.data(), records.size());
    if (!CStringTable::IsWellFormed(buffer, static_cast<u32>(size), static_cast<u32>(texts.size())) ||
        !view.Attach(buffer, static_cast<u32>(texts.size())))
    {
        free(buffer);
        return 0;
    }
    return 1;
}

// The text of a GString as a std::wstring, for comparisons in tests.
inline std::wstring Text(GString& text)
{
    const wch* wide = text.MakeWide(-1);
    return wide ? std::wstring(wide, text.Length()) : std::wstring();
}
