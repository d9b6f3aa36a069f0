#pragma once

#include "text/Types.h"

// One remappable key: the physical key, its layout target (in the static
// table: the default virtual key), the string id of its name, and the
// scancode the platform is to report instead (0 none, 0xFF switched off).
struct KeyEntry
{
    u16 scancode;
    u16 target;
    u16 nameId;
    u16 mapTarget;
};

static_assert(sizeof(KeyEntry) == 8, "key records are stored as 8 bytes");

const i32 kKeyTableCount = 146;

// The static default table, defined in install/KeyTable.cpp.
extern const KeyEntry g_defaultKeys[kKeyTableCount];
