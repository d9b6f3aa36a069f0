#pragma once

// The table shapes of a keyboard layout library as the system reads them.
// The system calls the export KbdLayerDescriptor and reads the tables it
// returns; every pointer-sized field follows the pointer width the system
// reads with. A 32-bit library on a 64-bit system is read with 64-bit
// pointers, so the 32-bit build also carries a wide form of the tables whose
// pointer fields are padded to 64 bits and aligned as the 64-bit form is.
// Built freestanding: no platform or runtime header.

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef unsigned long long u64;
typedef unsigned short wch;

// Modifier bits and the shift-state columns they select.
#define KBD_SHIFT 0x01
#define KBD_CTRL 0x02
#define KBD_ALT 0x04
#define KBD_MOD_INVALID 0x0F
#define KBD_MOD_COMBINATIONS 8

// Virtual key flags in the scancode tables.
#define KBD_EXT 0x0100
#define KBD_SPECIAL 0x0400
#define KBD_NUMPAD 0x0800

// Character cell values that are not characters.
#define KBD_NONE 0xF000
#define KBD_DEAD 0xF001

// Attributes of a character entry: Caps Lock acts like Shift on the base
// states, and also on the AltGr states.
#define KBD_CAPS 0x01
#define KBD_CAPS_ALTGR 0x04

// Locale flags: right Alt is AltGr; version 1 of the tables in the high word.
#define KBD_LOCALE_FLAGS 0x00010001u
#define KBD_TYPE_ENHANCED 4

// Pointer-free records, shared by both forms of the tables.

typedef struct
{
    u8 vk;
    u8 modBits;
} KbdVkToBit;

typedef struct
{
    u8 scancode;
    u8 unused;
    u16 vk;
} KbdVscVk;

typedef struct
{
    u32 both;  // low word the base character, high word the dead character
    wch composed;
    u16 flags;
} KbdDeadKey;

#define KBD_DEFINE_CHAR_ENTRY(n) \
    typedef struct               \
    {                            \
        u8 vk;                   \
        u8 attributes;           \
        wch cells[n];            \
    } KbdVkToWchars##n;

KBD_DEFINE_CHAR_ENTRY(2)
KBD_DEFINE_CHAR_ENTRY(6)

// The records that hold pointers, defined once for a pointer field type.
#define KBD_DEFINE_POINTER_TABLES(Form, Ptr)  \
    typedef struct                            \
    {                                         \
        Ptr vkToBit;                          \
        u16 maxModBits;                       \
        u8 modNumber[KBD_MOD_COMBINATIONS];   \
    } KbdModifiers##Form;                     \
                                              \
    typedef struct                            \
    {                                         \
        Ptr entries;                          \
        u8 cellCount;                         \
        u8 entrySize;                         \
    } KbdCharTable##Form;                     \
                                              \
    typedef struct                            \
    {                                         \
        u8 scancode;                          \
        Ptr name;                             \
    } KbdKeyName##Form;                       \
                                              \
    typedef struct                            \
    {                                         \
        Ptr modifiers;                        \
        Ptr charTables;                       \
        Ptr deadKeys;                         \
        Ptr keyNames;                         \
        Ptr keyNamesExt;                      \
        Ptr keyNamesDead;                     \
        Ptr vscToVk;                          \
        u8 maxVsc;                            \
        Ptr vscToVkE0;                        \
        Ptr vscToVkE1;                        \
        u32 localeFlags;                      \
        u8 ligatureMax;                       \
        u8 ligatureEntrySize;                 \
        Ptr ligatures;                        \
        u32 type;                             \
        u32 subType;                          \
    } KbdTables##Form;

typedef const void* KbdNativePtr;
KBD_DEFINE_POINTER_TABLES(, KbdNativePtr)

#if defined(__i386__)
typedef union
{
    const void* p;
    u64 bits;
} __attribute__((aligned(8))) KbdWidePtr;
KBD_DEFINE_POINTER_TABLES(Wide, KbdWidePtr)
#endif

#if defined(__x86_64__)
_Static_assert(sizeof(KbdTables) == 104, "64-bit table descriptor size");
#endif
#if defined(__i386__)
_Static_assert(sizeof(KbdTables) == 60, "32-bit table descriptor size");
_Static_assert(sizeof(KbdTablesWide) == 104, "wide table descriptor size");
_Static_assert(sizeof(KbdCharTableWide) == 16, "wide character table size");
_Static_assert(sizeof(KbdKeyNameWide) == 16, "wide key name size");
#endif
