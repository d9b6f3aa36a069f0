#pragma once

// The readable source of a string table and the binary table made from it.
//
// Source: UTF-8, one string per line, "<decimal id><TAB><text>"; lines that
// start with '#' and blank lines are skipped; in the text \n, \t and \\ stand
// for newline, tab and backslash; the text after the TAB is taken as it is.
//
// Table: count index entries (id, offset; ascending unsigned ids), then the
// text area of packed text records, each on a 4-byte boundary and followed
// by a terminator.

#include "text/Types.h"

#include <string>
#include <vector>

struct SourceString
{
    u32 id;
    int line;
    std::u16string text;
};

// Parses source (the bytes of the file called name, used in messages) into
// strings sorted by id. 0 and "name:line: message" in error on the first
// malformed line or repeated id.
int ParseStringSource(const std::string& name, const std::vector<u8>& source,
    std::vector<SourceString>& strings, std::string& error);

// Builds the binary table; narrow writes 8-bit (UTF-8) records instead of
// UTF-16 ones. 0 and a message on failure (an empty table, a text whose
// length does not fit its record header, or one the program cannot read
// back as 8-bit text).
int BuildStringTable(const std::vector<SourceString>& strings, int narrow,
    std::vector<u8>& table, std::string& error);
