// The one export of the layout library: where the system finds its tables.

#include "LayoutFormat.h"

extern const KbdTables g_tables;

const void* KbdLayerDescriptor(void);

#if defined(__i386__)

extern const KbdTablesWide g_tablesWide;

// 32-bit code on a 64-bit system runs in the compatibility code segment; the
// system there reads the tables with 64-bit pointers. A 32-bit system never
// runs user code in that segment.
#define KBD_WOW64_CODE_SEGMENT 0x23

const void* KbdLayerDescriptor(void)
{
    u16 codeSegment;
    __asm__("mov %%cs, %0" : "=r"(codeSegment));
    if (codeSegment == KBD_WOW64_CODE_SEGMENT)
        return &g_tablesWide;
    return &g_tables;
}

#else

const void* KbdLayerDescriptor(void)
{
    return &g_tables;
}

#endif
