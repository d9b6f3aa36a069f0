// The x86_64 layout libraries as built: loaded like the system loads them,
// their tables read at the offsets of the 64-bit table format (written out
// here on their own, not shared with the library sources).

#include "core/KeyEntry.h"
#include "text/Types.h"

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace {

// Table descriptor of the 64-bit format.
const size_t kModifiers = 0;
const size_t kCharTables = 8;
const size_t kDeadKeys = 16;
const size_t kKeyNames = 24;
const size_t kKeyNamesExt = 32;
const size_t kKeyNamesDead = 40;
const size_t kVscToVk = 48;
const size_t kMaxVsc = 56;
const size_t kVscToVkE0 = 64;
const size_t kVscToVkE1 = 72;
const size_t kLocaleFlags = 80;

const u8 kShift = 0x01;
const u8 kCtrl = 0x02;
const u8 kAlt = 0x04;
const u8 kCaps = 0x01;
const u8 kCapsAltGr = 0x04;
const u16 kNone = 0xF000;
const u16 kDead = 0xF001;
const u8 kVkDecimal = 0x6E;
const u8 kVkDeadFollow = 0xFF;
const u32 kLocaleAltGrVersion1 = 0x00010001;

template <typename T>
T Read(const u8* p)
{
    T value;
    memcpy(&value, p, sizeof value);
    return value;
}

const u8* Pointer(const u8* p)
{
    return reinterpret_cast<const u8*>(Read<u64>(p));
}

std::wstring LibraryPath(int set, int family)
{
    // The build folder as Wine sees the Unix file system.
    std::string unixPath = std::string(KLAWISZ_LAYOUT_DIR) + "/set" + std::to_string(set) + "/family" +
                           std::to_string(family) + "/x86_64/kbdklwsz.dll";
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

// One loaded library and the typing rules of its tables.
class Layout
{
public:
    Layout(int set, int family) : m_module(LoadLibraryW(LibraryPath(set, family).c_str()))
    {
        if (!m_module)
            return;
        typedef const void* (*DescriptorFn)();
        DescriptorFn descriptor =
            reinterpret_cast<DescriptorFn>(reinterpret_cast<void*>(GetProcAddress(m_module, "KbdLayerDescriptor")));
        if (descriptor)
            m_tables = static_cast<const u8*>(descriptor());
    }
    ~Layout()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    Layout(const Layout&) = delete;
    Layout& operator=(const Layout&) = delete;

    HMODULE Module() const { return m_module; }
    const u8* Tables() const { return m_tables; }

    u16 VirtualKey(u16 scancode) const
    {
        if ((scancode >> 8) == 0)
        {
            if (scancode >= m_tables[kMaxVsc])
                return 0xFF;
            return Read<u16>(Pointer(m_tables + kVscToVk) + 2 * scancode);
        }
        const u8* record = Pointer(m_tables + ((scancode >> 8) == 0xE0 ? kVscToVkE0 : kVscToVkE1));
        for (; record[0]; record += 4)
            if (record[0] == (scancode & 0xFF))
                return Read<u16>(record + 2);
        return 0;
    }

    // The character entry of a virtual key: its cells and cell count.
    const u8* FindEntry(u8 vk, int* cellCount, const u8** next = nullptr) const
    {
        for (const u8* table = Pointer(m_tables + kCharTables); Pointer(table); table += 16)
        {
            int count = table[8];
            int size = table[9];
            for (const u8* entry = Pointer(table); entry[0]; entry += size)
            {
                if (entry[0] == vk)
                {
                    *cellCount = count;
                    if (next)
                        *next = entry + size;
                    return entry;
                }
            }
        }
        return nullptr;
    }

    // What a key types with the given modifiers, as the system resolves it:
    // the modifier bits pick a column; Caps Lock acts as Shift where the
    // entry's attributes say so.
    u16 Type(u16 scancode, bool shift, bool altGr, bool capsLock) const
    {
        int cellCount = 0;
        const u8* entry = FindEntry(static_cast<u8>(VirtualKey(scancode)), &cellCount);
        if (!entry)
            return kNone;
        bool capsApplies = altGr ? (entry[1] & kCapsAltGr) != 0 : (entry[1] & kCaps) != 0;
        if (capsLock && capsApplies)
            shift = !shift;
        u8 bits = static_cast<u8>((shift ? kShift : 0) | (altGr ? kCtrl | kAlt : 0));
        const u8* modifiers = Pointer(m_tables + kModifiers);
        if (bits > Read<u16>(modifiers + 8))
            return kNone;
        int column = modifiers[10 + bits];
        if (column >= cellCount)
            return kNone;
        return Read<u16>(entry + 2 + 2 * column);
    }

    std::wstring KeyName(u8 scancode, bool extended) const
    {
        for (const u8* name = Pointer(m_tables + (extended ? kKeyNamesExt : kKeyNames)); name[0]; name += 16)
            if (name[0] == scancode)
                return reinterpret_cast<const wchar_t*>(Pointer(name + 8));
        return L"";
    }

private:
    HMODULE m_module;
    const u8* m_tables = nullptr;
};

class LayoutLibrary : public ::testing::Test
{
};

TEST_F(LayoutLibrary, EveryLibraryLoadsAndReturnsTablesInsideItself)
{
    for (int set = 0; set < 2; ++set)
    {
        for (int family = 0; family < 3; ++family)
        {
            Layout layout(set, family);
            ASSERT_NE(layout.Module(), nullptr) << "set " << set << " family " << family;
            ASSERT_NE(layout.Tables(), nullptr) << "set " << set << " family " << family;
            const u8* base = reinterpret_cast<const u8*>(layout.Module());
            const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
                base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
            EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
            EXPECT_GT(layout.Tables(), base);
            EXPECT_LT(layout.Tables(), base + nt->OptionalHeader.SizeOfImage);
            EXPECT_EQ(Read<u32>(layout.Tables() + kLocaleFlags), kLocaleAltGrVersion1)
                << "right Alt must be AltGr; set " << set << " family " << family;
        }
    }
}

TEST_F(LayoutLibrary, LettersFollowEachFamilysArrangement)
{
    struct Case
    {
        int set;  // -1: both sets
        int family;
        u16 scancode;
        bool shift;
        wchar_t expected;
    };
    const Case cases[] = {
        {-1, 0, 0x10, false, L'q'}, {-1, 0, 0x15, false, L'y'}, {-1, 0, 0x2C, false, L'z'},
        {-1, 0, 0x2C, true, L'Z'}, {-1, 0, 0x0C, false, L'-'}, {-1, 0, 0x29, false, L'`'},
        {0, 0, 0x29, true, L'~'}, {-1, 0, 0x39, false, L' '}, {-1, 0, 0x02, true, L'!'},
        {-1, 1, 0x10, false, L'q'}, {-1, 1, 0x15, false, L'z'}, {-1, 1, 0x2C, false, L'y'},
        {-1, 1, 0x15, true, L'Z'}, {0, 1, 0x29, true, L'~'},
        {-1, 2, 0x10, false, L'\''}, {-1, 2, 0x11, false, L','}, {-1, 2, 0x14, false, L'y'},
        {-1, 2, 0x1F, false, L'o'}, {-1, 2, 0x2C, false, L';'}, {-1, 2, 0x35, false, L'z'},
        {-1, 2, 0x0C, false, L'['}, {-1, 2, 0x28, true, L'_'}, {0, 2, 0x29, true, L'~'},
    };
    for (int set = 0; set < 2; ++set)
    {
        for (int family = 0; family < 3; ++family)
        {
            Layout layout(set, family);
            ASSERT_NE(layout.Tables(), nullptr);
            for (const Case& c : cases)
            {
                if (c.family != family || (c.set >= 0 && c.set != set))
                    continue;
                EXPECT_EQ(layout.Type(c.scancode, c.shift, false, false), c.expected)
                    << "set " << set << " family " << family << " scancode " << std::hex << c.scancode
                    << (c.shift ? " with Shift" : "");
            }
        }
    }
}

TEST_F(LayoutLibrary, AltGrPolishLettersTakeCapsLock)
{
    struct Case
    {
        const char* name;
        bool shift;
        bool capsLock;
        wchar_t expected;
    };
    const Case cases[] = {
        {"AltGr", false, false, L'\x0105'},
        {"Shift+AltGr", true, false, L'\x0104'},
        {"Caps Lock, AltGr", false, true, L'\x0104'},
        {"Caps Lock, Shift+AltGr", true, true, L'\x0105'},
    };
    // The A key is scancode 1E in every family.
    for (int family = 0; family < 3; ++family)
    {
        Layout layout(0, family);
        ASSERT_NE(layout.Tables(), nullptr);
        for (const Case& c : cases)
            EXPECT_EQ(layout.Type(0x1E, c.shift, true, c.capsLock), c.expected)
                << c.name << " on A, family " << family;
    }
    // Z is where each family puts it: ż under AltGr, Ż with Caps Lock.
    const u16 zKey[] = {0x2C, 0x15, 0x35};
    for (int family = 0; family < 3; ++family)
    {
        Layout layout(1, family);
        ASSERT_NE(layout.Tables(), nullptr);
        EXPECT_EQ(layout.Type(zKey[family], false, true, false), L'\x017C') << "family " << family;
        EXPECT_EQ(layout.Type(zKey[family], false, true, true), L'\x017B') << "family " << family;
    }
    // Caps Lock leaves typographic AltGr characters alone: AltGr+U is the euro sign either way.
    Layout layout(0, 0);
    EXPECT_EQ(layout.Type(0x16, false, true, true), L'\x20AC');
    EXPECT_EQ(layout.Type(0x16, false, false, true), L'U');
}

TEST_F(LayoutLibrary, AlternativeSetMakesShiftGraveTheTildeDeadKey)
{
    for (int family = 0; family < 3; ++family)
    {
        Layout normal(0, family);
        Layout alternative(1, family);
        ASSERT_NE(normal.Tables(), nullptr);
        ASSERT_NE(alternative.Tables(), nullptr);

        EXPECT_EQ(normal.Type(0x29, true, false, false), L'~') << "family " << family;
        EXPECT_EQ(Pointer(normal.Tables() + kDeadKeys), nullptr) << "family " << family;

        EXPECT_EQ(alternative.Type(0x29, true, false, false), kDead) << "family " << family;
        EXPECT_EQ(alternative.Type(0x29, false, false, false), L'`') << "family " << family;
        int cellCount = 0;
        const u8* follow = nullptr;
        ASSERT_NE(alternative.FindEntry(0xC0, &cellCount, &follow), nullptr);
        EXPECT_EQ(follow[0], kVkDeadFollow);
        EXPECT_EQ(Read<u16>(follow + 2 + 2 * 1), L'~') << "the dead key's character follows it";

        struct Compose
        {
            wchar_t base;
            wchar_t composed;
        };
        const Compose compose[] = {{L'a', L'\x0105'}, {L'Z', L'\x017B'}, {L'x', L'\x017A'}, {L' ', L'~'}};
        for (const Compose& c : compose)
        {
            bool found = false;
            for (const u8* dead = Pointer(alternative.Tables() + kDeadKeys); Read<u32>(dead); dead += 8)
            {
                if (Read<u32>(dead) == (static_cast<u32>(L'~') << 16 | c.base))
                {
                    EXPECT_EQ(Read<u16>(dead + 4), c.composed) << "~ then " << static_cast<char>(c.base);
                    found = true;
                }
            }
            EXPECT_TRUE(found) << "~ then " << static_cast<char>(c.base) << ", family " << family;
        }
        const wchar_t* deadName = reinterpret_cast<const wchar_t*>(Pointer(Pointer(alternative.Tables() + kKeyNamesDead)));
        EXPECT_EQ(std::wstring(deadName), L"~Tilde");
    }
}

TEST_F(LayoutLibrary, DecimalKeyTypesAPointInTwoCells)
{
    for (int set = 0; set < 2; ++set)
    {
        Layout layout(set, 0);
        ASSERT_NE(layout.Tables(), nullptr);
        int cellCount = 0;
        const u8* entry = layout.FindEntry(kVkDecimal, &cellCount);
        ASSERT_NE(entry, nullptr);
        ASSERT_GE(cellCount, 2);
        EXPECT_EQ(Read<u16>(entry + 2), L'.');
        EXPECT_EQ(Read<u16>(entry + 4), L'.');
        // The keypad's Del key becomes the decimal key under Num Lock.
        EXPECT_EQ(layout.VirtualKey(0x53), 0xC2E);
    }
}

TEST_F(LayoutLibrary, ScancodeTablesCarryTheInstallersDefaultVirtualKeys)
{
    // The key reassignment pages show these as each key's default; the
    // QWERTY library must agree for every key it can be patched at.
    Layout layout(0, 0);
    ASSERT_NE(layout.Tables(), nullptr);
    int checked = 0;
    for (const KeyEntry* key = g_defaultKeys; key->scancode; ++key)
    {
        if (key->scancode < 0x7F || (key->scancode >> 8) == 0xE0 || (key->scancode >> 8) == 0xE1)
        {
            EXPECT_EQ(layout.VirtualKey(key->scancode), key->target) << "scancode " << std::hex << key->scancode;
            ++checked;
        }
    }
    EXPECT_GT(checked, 140);
    EXPECT_GE(layout.Tables()[kMaxVsc], 0x7F);
}

TEST_F(LayoutLibrary, KeyNamesAndResourcesNameTheLayout)
{
    Layout layout(1, 2);
    ASSERT_NE(layout.Tables(), nullptr);
    EXPECT_EQ(layout.KeyName(0x01, false), L"Esc");
    EXPECT_EQ(layout.KeyName(0x3A, false), L"Caps Lock");
    EXPECT_EQ(layout.KeyName(0x38, true), L"Right Alt");
    EXPECT_EQ(layout.KeyName(0x1C, true), L"Num Enter");

    wchar_t text[64] = {};
    EXPECT_EQ(LoadStringW(layout.Module(), 1000, text, 64), 16);
    EXPECT_STREQ(text, L"Polish (Klawisz)");
    EXPECT_NE(FindResourceW(layout.Module(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)), nullptr)
        << "version block";
}

} // namespace
