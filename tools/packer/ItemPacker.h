#pragma once

// Making payload items exactly as the program's decoder reads them: raw
// deflate, the item header with both CRCs and the user value, padding, and
// encryption with the key that the key block yields.

#include "payload/Guard.h"
#include "text/Types.h"

#include <string>
#include <vector>

// Packs data into out. storedSize 0 picks the smallest multiple of 8 that
// holds the header and the stream; otherwise the item is padded to exactly
// storedSize, which must be a multiple of 8 and large enough. 0 and a
// message in error on failure.
int PackItem(const CGuard& guard, const u8* data, u32 size, u32 userValue, u32 storedSize,
    std::vector<u8>& out, std::string& error);

// Encrypts or decrypts a whole item in place with the guard's key (its
// length is a multiple of 8). Tests use them to build damaged items.
int EncryptItem(const CGuard& guard, std::vector<u8>& item);
int DecryptItem(const CGuard& guard, std::vector<u8>& item);

// Reads a whole file; 0 and a message on failure.
int ReadFileBytes(const std::string& path, std::vector<u8>& out, std::string& error);
int WriteFileBytes(const std::string& path, const std::vector<u8>& bytes, std::string& error);
