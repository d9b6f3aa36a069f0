#include "tools/packer/StringSource.h"

#include <algorithm>
#include <map>

namespace
{
const u32 kNarrowFlag = 0x80000000u;
const u32 kMaxRecordLength = 0x1FFFFFFFu;

void AppendWord(std::vector<u8>& out, u32 value)
{
    out.push_back((u8)value);
    out.push_back((u8)(value >> 8));
    out.push_back((u8)(value >> 16));
    out.push_back((u8)(value >> 24));
}

void PutWord(std::vector<u8>& out, size_t at, u32 value)
{
    out[at] = (u8)value;
    out[at + 1] = (u8)(value >> 8);
    out[at + 2] = (u8)(value >> 16);
    out[at + 3] = (u8)(value >> 24);
}

// Strict UTF-8 (no overlong forms, no surrogates) to UTF-16 with pairs.
int DecodeStrictUtf8(const std::string& in, std::u16string& out)
{
    out.clear();
    size_t i = 0;
    while (i < in.size())
    {
        u8 lead = (u8)in[i];
        u32 cp;
        int extra;
        if (lead < 0x80)
        {
            cp = lead;
            extra = 0;
        }
        else if (lead >= 0xC2 && lead <= 0xDF)
        {
            cp = lead & 0x1F;
            extra = 1;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            cp = lead & 0x0F;
            extra = 2;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            cp = lead & 0x07;
            extra = 3;
        }
        else
            return 0;
        if (i + (size_t)extra >= in.size())
            return 0;
        for (int k = 1; k <= extra; ++k)
        {
            u8 next = (u8)in[i + k];
            if ((next & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (next & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))
            || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        if (cp >= 0x10000)
        {
            cp -= 0x10000;
            out.push_back((char16_t)(0xD800 + (cp >> 10)));
            out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
        }
        else
            out.push_back((char16_t)cp);
        i += 1 + extra;
    }
    return 1;
}

std::string EncodeUtf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        u32 cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80)
            out += (char)cp;
        else if (cp < 0x800)
        {
            out += (char)(0xC0 | (cp >> 6));
            out += (char)(0x80 | (cp & 0x3F));
        }
        else if (cp < 0x10000)
        {
            out += (char)(0xE0 | (cp >> 12));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
        else
        {
            out += (char)(0xF0 | (cp >> 18));
            out += (char)(0x80 | ((cp >> 12) & 0x3F));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

int IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The text after the TAB with its escapes resolved; 0 and a message for a
// backslash that starts no known escape.
int Unescape(const std::string& raw, std::string& text, std::string& message)
{
    text.clear();
    for (size_t i = 0; i < raw.size(); ++i)
    {
        if (raw[i] != '\\')
        {
            text += raw[i];
            continue;
        }
        if (i + 1 >= raw.size())
        {
            message = "a backslash ends the text (write \\\\ for a backslash)";
            return 0;
        }
        char next = raw[++i];
        if (next == 'n')
            text += '\n';
        else if (next == 't')
            text += '\t';
        else if (next == '\\')
            text += '\\';
        else
        {
            message = std::string("unknown escape \\") + next;
            return 0;
        }
    }
    return 1;
}

int ParseId(const std::string& digits, u32& id)
{
    if (digits.empty() || digits.size() > 10)
        return 0;
    u64 value = 0;
    for (char c : digits)
    {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (u64)(c - '0');
    }
    if (value > 0xFFFFFFFFu)
        return 0;
    id = (u32)value;
    return 1;
}
}

int ParseStringSource(const std::string& name, const std::vector<u8>& source,
    std::vector<SourceString>& strings, std::string& error)
{
    strings.clear();
    std::string all(source.begin(), source.end());
    size_t pos = 0;
    if (all.compare(0, 3, "\xEF\xBB\xBF") == 0)
        pos = 3;

    std::map<u32, int> seen;
    int lineNumber = 0;
    while (pos < all.size())
    {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        // A file saved with CRLF ends each line with a CR that no text means.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (IsBlank(line) || line[0] == '#')
            continue;

        std::string where = name + ":" + std::to_string(lineNumber) + ": ";
        size_t tab = line.find('\t');
        if (tab == std::string::npos)
        {
            error = where + "expected <id><TAB><text>";
            return 0;
        }
        SourceString entry;
        entry.line = lineNumber;
        if (!ParseId(line.substr(0, tab), entry.id))
        {
            error = where + "the id \"" + line.substr(0, tab) + "\" is not a decimal number below 2^32";
            return 0;
        }
        std::string text;
        std::string message;
        if (!Unescape(line.substr(tab + 1), text, message))
        {
            error = where + message;
            return 0;
        }
        if (!DecodeStrictUtf8(text, entry.text))
        {
            error = where + "the text is not valid UTF-8";
            return 0;
        }
        std::map<u32, int>::const_iterator earlier = seen.find(entry.id);
        if (earlier != seen.end())
        {
            error = where + "id " + std::to_string(entry.id) + " is already defined on line "
                + std::to_string(earlier->second);
            return 0;
        }
        seen[entry.id] = lineNumber;
        strings.push_back(entry);
    }
    std::sort(strings.begin(), strings.end(),
        [](const SourceString& a, const SourceString& b) { return a.id < b.id; });
    return 1;
}

int BuildStringTable(const std::vector<SourceString>& strings, int narrow,
    std::vector<u8>& table, std::string& error)
{
    table.clear();
    if (strings.empty())
    {
        error = "a string table needs at least one string";
        return 0;
    }
    std::vector<u8> texts;
    std::map<std::u16string, u32> shared;
    std::vector<u32> offsets;
    for (const SourceString& s : strings)
    {
        std::map<std::u16string, u32>::const_iterator same = shared.find(s.text);
        if (same != shared.end())
        {
            offsets.push_back(same->second);
            continue;
        }
        u32 offset = (u32)texts.size();
        if (narrow)
        {
            std::string bytes = EncodeUtf8(s.text);
            for (char16_t unit : s.text)
            {
                // The program's 8-bit reader knows no 4-byte sequences.
                if (unit >= 0xD800 && unit <= 0xDFFF)
                {
                    error = "id " + std::to_string(s.id) + " (line " + std::to_string(s.line)
                        + "): a character outside the BMP cannot be stored as 8-bit text";
                    return 0;
                }
            }
            if (bytes.size() > kMaxRecordLength)
            {
                error = "id " + std::to_string(s.id) + ": text too long";
                return 0;
            }
            AppendWord(texts, kNarrowFlag | (u32)bytes.size());
            texts.insert(texts.end(), bytes.begin(), bytes.end());
            texts.push_back(0);
        }
        else
        {
            if (s.text.size() > kMaxRecordLength)
            {
                error = "id " + std::to_string(s.id) + ": text too long";
                return 0;
            }
            AppendWord(texts, (u32)s.text.size());
            for (char16_t unit : s.text)
            {
                texts.push_back((u8)unit);
                texts.push_back((u8)(unit >> 8));
            }
            texts.push_back(0);
            texts.push_back(0);
        }
        while (texts.size() % 4 != 0)
            texts.push_back(0);
        shared[s.text] = offset;
        offsets.push_back(offset);
    }

    table.resize(strings.size() * 8);
    for (size_t i = 0; i < strings.size(); ++i)
    {
        if (i > 0 && strings[i].id <= strings[i - 1].id)
        {
            error = "ids are not in ascending order";
            return 0;
        }
        PutWord(table, i * 8, strings[i].id);
        PutWord(table, i * 8 + 4, offsets[i]);
    }
    table.insert(table.end(), texts.begin(), texts.end());
    return 1;
}
