// Layout library preparation: which library items fit the running system,
// where their copies go, and the user's choices patched into a decoded
// library before its staging file is written and its move over the system
// copy is queued for the next restart.

#include "core/Install.h"

#include "payload/Catalogue.h"

#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

namespace
{

const u32 kStringLibraryFile = 83;
const u32 kStringWow64Folder = 60;
const u32 kStringKernelLibrary = 144;
const u32 kStringDecimalPattern = 146;
const u32 kStringScancodePattern = 147;  // + family
const u32 kStringE0Pattern = 150;
const u32 kStringE1Pattern = 151;

const int kCsidlSystem = 0x25;
const int kWow64FolderRoom = 2309;
const UINT kWow64FolderAnnounced = 2308;
const wch kStaging64Suffix[] = W("64");

const u16 kArchX86 = 0;
const u16 kArchIa64 = 6;
const u16 kArchX64 = 9;

// Scancodes below this one are patched into the scancode table, which must
// therefore hold this many 16-bit entries.
const u32 kScancodeLimit = 0x7F;
const u32 kPrefixRecordSize = 4;
const u8 kComma = 0x2C;
const u32 kDecimalCellsSize = 4;
const DWORD kMoveAtRestart = MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;
const u32 kNoItemSize = 0xFFFFFFFFu;

// Variant indexes by platform version: the 32-bit library and, on 64-bit
// systems, the native one, for x86, IA64, x64 and any other processor.
// -1 in the first column refuses the system; -1 in the second means none.
struct VariantRow
{
    i32 version;  // 0: any version not listed
    i8 first[4];
    i8 second[4];
};

const VariantRow kVariants[] = {
    // version   x86 ia64 x64 other     x86 ia64 x64 other
    {50,        {0,  0,   0,  0},      {-1, -1,  -1, -1}},
    {51,        {1,  1,   1,  1},      {-1, -1,  -1, -1}},
    {52,        {2,  2,   2,  -1},     {-1, 3,   4,  -1}},
    {60,        {5,  5,   5,  -1},     {-1, 6,   7,  -1}},
    {61,        {8,  8,   8,  -1},     {-1, 9,   10, -1}},
    {0,         {11, -1,  11, -1},     {-1, -1,  12, -1}},
};

int ArchColumn(u16 arch)
{
    if (arch == kArchX86)
        return 0;
    if (arch == kArchIa64)
        return 1;
    if (arch == kArchX64)
        return 2;
    return 3;
}

int HexDigit(char ch)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i)
    {
        if (kDigits[i] == ch)
            return i;
    }
    return -1;
}

void StoreU16(u8* at, u16 value)
{
    at[0] = static_cast<u8>(value);
    at[1] = static_cast<u8>(value >> 8);
}

// A buffer from malloc, freed when the holder goes.
class CHeapBuffer
{
public:
    explicit CHeapBuffer(void* data) : m_data(data) {}
    ~CHeapBuffer() { free(m_data); }
    u8* Bytes() const { return static_cast<u8*>(m_data); }

private:
    CHeapBuffer(const CHeapBuffer&);
    CHeapBuffer& operator=(const CHeapBuffer&);
    void* m_data;
};

} // namespace

int CInstall::GetLayoutPaths(GString& target32, GString& target64, GString* staging32, GString* staging64)
{
    target32.ClearWide();
    target64.ClearWide();
    if (staging32)
        staging32->ClearWide();
    if (staging64)
        staging64->ClearWide();

    GString fileName;
    if (!GetString(kStringLibraryFile, fileName) || fileName.IsEmpty())
        return 0;

    GString systemFolder;
    if (!GetSpecialFolder(kCsidlSystem, systemFolder) || systemFolder.IsEmpty())
        return 0;

    if (m_is64Bit)
    {
        // The 32-bit copy goes to the 64-bit system's 32-bit system folder.
        HMODULE module = 0;
        SystemWow64FolderProc wow64Folder = reinterpret_cast<SystemWow64FolderProc>(
            reinterpret_cast<void (*)()>(GetProcById(kStringWow64Folder, kStringKernelLibrary, module)));
        UINT length = 0;
        wch* buffer = target32.WideBuffer(kWow64FolderRoom);
        if (wow64Folder && buffer)
        {
            buffer[0] = 0;
            length = wow64Folder(buffer, kWow64FolderAnnounced);
        }
        if (module)
            FreeLibrary(module);
        if (length == 0 || length >= kWow64FolderAnnounced || !target32.SetLength(static_cast<int>(length)) ||
            !target32.AppendPath(fileName) || !target64.Assign(systemFolder) || !target64.AppendPath(fileName))
        {
            target32.Clear();
            target64.Clear();
            return 0;
        }
    }
    else if (!target32.Assign(systemFolder) || !target32.AppendPath(fileName))
    {
        target32.Clear();
        return 0;
    }

    // Without a product folder there is no staging place: the staging
    // paths stay empty and writing them fails.
    if (!m_productFolder.IsEmpty())
    {
        if (staging32 && (!staging32->Assign(m_productFolder) || !staging32->AppendPath(fileName)))
            staging32->Clear();
        if (staging64 && m_is64Bit &&
            (!staging64->Assign(m_productFolder) || !staging64->AppendPath(fileName) ||
             !staging64->AppendWide(kStaging64Suffix)))
            staging64->Clear();
    }
    return 1;
}

int CInstall::SelectLayoutItems(const void*& first, u32& firstSize, const void*& second, u32& secondSize)
{
    first = 0;
    firstSize = kNoItemSize;
    second = 0;
    secondSize = kNoItemSize;
    if (m_family < 0 || m_family >= kLayoutFamilyCount)
        return 0;

    const VariantRow* row = &kVariants[sizeof kVariants / sizeof kVariants[0] - 1];
    for (const VariantRow& candidate : kVariants)
    {
        if (candidate.version == m_osVersion)
        {
            row = &candidate;
            break;
        }
    }
    // Before 5.2 only x86 exists: the processor does not matter there.
    const int column = m_osVersion == 50 || m_osVersion == 51 ? 0 : ArchColumn(m_processorArch);
    if (row->first[column] < 0)
        return 0;

    const int set = m_altSetA || m_altSetB ? 1 : 0;
    const PayloadItem& firstItem = g_layoutItems[set][m_family][row->first[column]];
    first = firstItem.bytes;
    firstSize = firstItem.size;
    if (row->second[column] >= 0)
    {
        const PayloadItem& secondItem = g_layoutItems[set][m_family][row->second[column]];
        second = secondItem.bytes;
        secondSize = secondItem.size;
    }
    return 1;
}

u8* CInstall::DecodeHexPattern(u32 id, u32& count)
{
    count = 0;
    GString text;
    if (!GetString(id, text) || text.IsEmpty())
        return 0;
    const char* digits = text.MakeNarrow(-1);
    if (!digits)
        return 0;
    // An odd last digit is ignored; a pattern of no bytes would match
    // anywhere, so it is as invalid as a missing one.
    const u32 bytes = static_cast<u32>(text.Length()) / 2;
    if (bytes == 0)
        return 0;
    u8* pattern = static_cast<u8*>(malloc(bytes));
    if (!pattern)
        return 0;
    for (u32 i = 0; i < bytes; ++i)
    {
        const int high = HexDigit(digits[2 * i]);
        const int low = HexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
        {
            free(pattern);
            return 0;
        }
        pattern[i] = static_cast<u8>(high * 16 + low);
    }
    count = bytes;
    return pattern;
}

i32 CInstall::FindPattern(const u8* data, u32 size, const u8* pattern, u32 count)
{
    if (!data || !pattern || count == 0 || count > size || size > 0x7FFFFFFFu)
        return -1;
    for (u32 at = 0; at + count <= size; ++at)
    {
        if (data[at] == pattern[0] && memcmp(data + at, pattern, count) == 0)
            return static_cast<i32>(at);
    }
    return -1;
}

namespace
{

// The offset of the table a pattern string locates, or -1.
i32 LocateTable(CInstall& install, u32 patternId, const u8* library, u32 size)
{
    u32 count = 0;
    CHeapBuffer pattern(install.DecodeHexPattern(patternId, count));
    if (!pattern.Bytes())
        return -1;
    return CInstall::FindPattern(library, size, pattern.Bytes(), count);
}

// Patches the layout targets of one prefix (0xE0 or 0xE1) into its table
// of 4-byte records. The table must end with its terminating record inside
// the library.
int PatchPrefixedTable(CInstall& install, u32 patternId, u8 prefix, u8* library, u32 size)
{
    const i32 found = LocateTable(install, patternId, library, size);
    if (found < 0)
        return 0;
    const u32 start = static_cast<u32>(found);
    u32 end = start;
    for (;; end += kPrefixRecordSize)
    {
        if (end > size - kPrefixRecordSize || size < kPrefixRecordSize)
            return 0;
        if (library[end] == 0)
            break;
    }
    for (i32 i = 0; i < install.m_keyCount; ++i)
    {
        const KeyEntry& key = install.m_keys[i];
        if ((key.scancode >> 8) != prefix || key.target == 0)
            continue;
        for (u32 record = start; record < end; record += kPrefixRecordSize)
        {
            if (library[record] == static_cast<u8>(key.scancode))
            {
                StoreU16(library + record + 2, key.target);
                break;
            }
        }
    }
    return 1;
}

} // namespace

int CInstall::PatchLayoutLibrary(u8* library, u32 size, int wantComma)
{
    if (!library)
        return 0;
    if (m_keys && m_keyCount > 0)
    {
        if (m_family < 0 || m_family >= kLayoutFamilyCount)
            return 0;
        const i32 found = LocateTable(*this, kStringScancodePattern + static_cast<u32>(m_family), library, size);
        if (found < 0 || static_cast<u32>(found) > size - 2 * kScancodeLimit || size < 2 * kScancodeLimit)
            return 0;
        u8* table = library + found;
        for (i32 i = 0; i < m_keyCount; ++i)
        {
            const KeyEntry& key = m_keys[i];
            if (key.scancode < kScancodeLimit && key.target != 0)
                StoreU16(table + 2 * key.scancode, key.target);
        }
        if (!PatchPrefixedTable(*this, kStringE0Pattern, 0xE0, library, size) ||
            !PatchPrefixedTable(*this, kStringE1Pattern, 0xE1, library, size))
            return 0;
    }
    if (wantComma)
    {
        const i32 found = LocateTable(*this, kStringDecimalPattern, library, size);
        if (found < 0 || static_cast<u32>(found) > size - kDecimalCellsSize || size < kDecimalCellsSize)
            return 0;
        // Only the low bytes: the cells hold '.' and become ','.
        library[found] = kComma;
        library[found + 2] = kComma;
    }
    return 1;
}

int CInstall::PrepareLayoutFile(const wch* target, const wch* staging, const void* item, u32 itemSize)
{
    if (!target || !staging || !item)
        return 0;
    const int wantComma = m_decimalFlag == 0;

    u32 size = itemSize;
    u32 userValue = 0;
    CHeapBuffer library(m_guard.DecodeItem(item, size, &userValue));
    if (!library.Bytes() || !PatchLayoutLibrary(library.Bytes(), size, wantComma))
        return 0;

    HANDLE file = CreateFileForWrite(staging);
    if (!file)
        return 0;
    const int written = WriteBytes(file, library.Bytes(), size);
    CloseHandle(file);
    if (!written)
        return 0;

    // The native system folder of a 64-bit system is reached only with
    // redirection off; without the switch the move is queued as it is.
    RedirectionDisableProc disable = 0;
    RedirectionRevertProc revert = 0;
    HMODULE redirection = m_is64Bit ? GetRedirectionSwitch(disable, revert) : 0;
    void* saved = 0;
    if (redirection)
        (void)disable(&saved);
    if (target[0] && staging[0])
        (void)MoveFileExW(staging, target, kMoveAtRestart);  // a refused request is not detected
    if (redirection)
    {
        (void)revert(saved);
        FreeLibrary(redirection);
    }
    return 1;
}

int CInstall::PrepareLayout()
{
    GString target32;
    GString target64;
    GString staging32;
    GString staging64;
    if (!GetLayoutPaths(target32, target64, &staging32, &staging64))
        return 0;

    const void* first = 0;
    const void* second = 0;
    u32 firstSize = 0;
    u32 secondSize = 0;
    if (!SelectLayoutItems(first, firstSize, second, secondSize) || !first)
        return 0;

    if (!PrepareLayoutFile(target32.WideText(0), staging32.WideText(0), first, firstSize))
        return 0;
    // On a 64-bit system a missing native library fails here, leaving the
    // 32-bit one queued.
    if (m_is64Bit && !PrepareLayoutFile(target64.WideText(0), staging64.WideText(0), second, secondSize))
        return 0;
    return 1;
}
