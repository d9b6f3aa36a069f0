#pragma once

#include "text/Types.h"

// The items the program carries, by role. The definitions are generated at
// build time from content/ (Catalogue.cpp in the generated sources).

// One stored item: its ciphertext and stored size. An absent item has null
// bytes and size 0, which DecodeItem refuses.
struct PayloadItem
{
    const u8* bytes;
    u32 size;
};

// The scrambled key block (not an item: CGuard::Load takes it as it is).
extern const u8 g_keyBlock[];
extern const u32 g_keyBlockSize;

enum StringTableRole
{
    kStringTableCommon = 0,
    kStringTableSetup = 1,
    kStringTableLang0 = 2,
    kStringTableLang1 = 3,
    kStringTableCount = 4
};

// Each table's header user value is its entry count.
extern const PayloadItem g_stringTableItems[kStringTableCount];

// UTF-8 licence texts (a leading byte-order mark allowed), by interface language.
const int kLicenceCount = 2;
extern const PayloadItem g_licenceItems[kLicenceCount];

// Layout libraries: set (0 normal, 1 alternative) x family x variant. Cells
// without a library for their platform are absent items.
const int kLayoutSetCount = 2;
const int kLayoutFamilyCount = 3;
const int kLayoutVariantCount = 13;
extern const PayloadItem g_layoutItems[kLayoutSetCount][kLayoutFamilyCount][kLayoutVariantCount];

// The files the install procedure places.
extern const PayloadItem g_mainDocumentItem;
extern const PayloadItem g_extraDocumentItem;
extern const PayloadItem g_targetFileItem;
