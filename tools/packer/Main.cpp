// klawisz_packer: makes the program's payload items at build time.
//
//   klawisz_packer item    --key KEYBLOCK [--user N] [--stored-size N] INPUT OUTPUT
//   klawisz_packer strings --key KEYBLOCK [--narrow] SOURCE.txt OUTPUT
//   klawisz_packer table   [--narrow] SOURCE.txt OUTPUT
//   klawisz_packer unpack  --key KEYBLOCK INPUT OUTPUT
//
// item packs any file; strings packs a string table source (the entry count
// becomes the user value); table writes the plain binary table; unpack runs
// the program's own decoder on an item and writes what it yields.

#include "payload/Guard.h"
#include "payload/StringTable.h"
#include "tools/packer/ItemPacker.h"
#include "tools/packer/StringSource.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace
{
struct Options
{
    std::string command;
    std::string key;
    std::string input;
    std::string output;
    u32 userValue = 0;
    u32 storedSize = 0;
    int narrow = 0;
};

int Usage()
{
    fprintf(stderr,
        "usage: klawisz_packer item --key KEYBLOCK [--user N] [--stored-size N] INPUT OUTPUT\n"
        "       klawisz_packer strings --key KEYBLOCK [--narrow] SOURCE.txt OUTPUT\n"
        "       klawisz_packer table [--narrow] SOURCE.txt OUTPUT\n"
        "       klawisz_packer unpack --key KEYBLOCK INPUT OUTPUT\n");
    return 2;
}

int ParseNumber(const char* text, u32& value)
{
    char* end = 0;
    unsigned long long n = strtoull(text, &end, 0);
    if (!*text || *end || n > 0xFFFFFFFFull || text[0] == '-')
        return 0;
    value = (u32)n;
    return 1;
}

int ParseOptions(int argc, char** argv, Options& o)
{
    if (argc < 2)
        return 0;
    o.command = argv[1];
    std::vector<std::string> positional;
    for (int i = 2; i < argc; ++i)
    {
        std::string a = argv[i];
        if (a == "--key" && i + 1 < argc)
            o.key = argv[++i];
        else if (a == "--user" && i + 1 < argc)
        {
            if (!ParseNumber(argv[++i], o.userValue))
                return 0;
        }
        else if (a == "--stored-size" && i + 1 < argc)
        {
            if (!ParseNumber(argv[++i], o.storedSize))
                return 0;
        }
        else if (a == "--narrow")
            o.narrow = 1;
        else if (a.size() > 1 && a[0] == '-')
            return 0;
        else
            positional.push_back(a);
    }
    if (positional.size() != 2)
        return 0;
    o.input = positional[0];
    o.output = positional[1];
    return 1;
}

int LoadKey(const Options& o, CGuard& guard, std::string& error)
{
    std::vector<u8> block;
    if (o.key.empty())
    {
        error = "--key KEYBLOCK is required";
        return 0;
    }
    if (!ReadFileBytes(o.key, block, error))
        return 0;
    if (!guard.Load(block.data(), (int)block.size()))
    {
        error = o.key + ": a key block must be exactly " + std::to_string(guard.m_size) + " bytes, not "
            + std::to_string(block.size());
        return 0;
    }
    return 1;
}

int MakeTable(const Options& o, std::vector<u8>& table, u32& count, std::string& error)
{
    std::vector<u8> source;
    std::vector<SourceString> strings;
    if (!ReadFileBytes(o.input, source, error) || !ParseStringSource(o.input, source, strings, error))
        return 0;
    if (!BuildStringTable(strings, o.narrow, table, error))
    {
        error = o.input + ": " + error;
        return 0;
    }
    count = (u32)strings.size();
    // The program's own check, so a table it would refuse never ships.
    if (!CStringTable::IsWellFormed(table.data(), (u32)table.size(), count))
    {
        error = o.input + ": the built table does not hold together";
        return 0;
    }
    return 1;
}

int Run(const Options& o, std::string& error)
{
    CGuard guard;
    std::vector<u8> out;
    if (o.command == "table")
    {
        u32 count = 0;
        return MakeTable(o, out, count, error) && WriteFileBytes(o.output, out, error);
    }
    if (!LoadKey(o, guard, error))
        return 0;
    if (o.command == "item")
    {
        std::vector<u8> data;
        if (!ReadFileBytes(o.input, data, error))
            return 0;
        if (data.size() > 0xFFFFFFF0u)
        {
            error = o.input + ": too large for an item";
            return 0;
        }
        if (!PackItem(guard, data.data(), (u32)data.size(), o.userValue, o.storedSize, out, error))
        {
            error = o.input + ": " + error;
            return 0;
        }
        return WriteFileBytes(o.output, out, error);
    }
    if (o.command == "strings")
    {
        std::vector<u8> table;
        u32 count = 0;
        if (!MakeTable(o, table, count, error))
            return 0;
        if (!PackItem(guard, table.data(), (u32)table.size(), count, o.storedSize, out, error))
        {
            error = o.input + ": " + error;
            return 0;
        }
        return WriteFileBytes(o.output, out, error);
    }
    if (o.command == "unpack")
    {
        std::vector<u8> item;
        if (!ReadFileBytes(o.input, item, error))
            return 0;
        u32 size = (u32)item.size();
        u32 userValue = 0;
        u8* plain = (u8*)guard.DecodeItem(item.data(), size, &userValue);
        if (!plain)
        {
            error = o.input + ": the item does not decode with this key block";
            return 0;
        }
        out.assign(plain, plain + size);
        free(plain);
        printf("user value %u, %u bytes\n", userValue, size);
        return WriteFileBytes(o.output, out, error);
    }
    error = "unknown command " + o.command;
    return 0;
}
}

int main(int argc, char** argv)
{
    Options o;
    if (!ParseOptions(argc, argv, o))
        return Usage();
    std::string error;
    if (!Run(o, error))
    {
        fprintf(stderr, "%s\n", error.c_str());
        // A half-written output must not look like a finished item.
        remove(o.output.c_str());
        return 1;
    }
    return 0;
}
