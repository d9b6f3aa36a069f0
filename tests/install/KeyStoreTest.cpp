// The key remapping store: the live table's lookups and normalisation, the
// stored layout targets, and the platform's scancode map read from and
// written to the real registry of the test prefix.

#include "core/Install.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

namespace
{

typedef std::vector<std::pair<u16, u16>> KeyChoices;  // scancode, value

// The platform's documented place of the scancode map.
const wchar_t kMapKeyPath[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kMapValueName[] = L"Scancode Map";

void PutLe32(std::vector<u8>& bytes, u32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<u8>(value >> shift));
}

// One map entry: the physical key in the high half, the reported one low.
u32 Entry(u16 physical, u16 reported)
{
    return (static_cast<u32>(physical) << 16) | reported;
}

// A map as the platform writes it: header, entries, terminator.
std::vector<u8> Map(const std::vector<u32>& entries)
{
    std::vector<u8> bytes;
    PutLe32(bytes, 0);
    PutLe32(bytes, 0);
    PutLe32(bytes, static_cast<u32>(entries.size() + 1));
    for (u32 entry : entries)
        PutLe32(bytes, entry);
    PutLe32(bytes, 0);
    return bytes;
}

// A damaged map: the given count over the given entries, cut to `size` bytes.
std::vector<u8> MapWithCount(u32 count, const std::vector<u32>& entries, size_t size)
{
    std::vector<u8> bytes = Map(entries);
    for (int i = 0; i < 4; i++)
        bytes[8 + i] = static_cast<u8>(count >> (8 * i));
    bytes.resize(size);
    return bytes;
}

KeyChoices MapTargets(const CInstall& install)
{
    KeyChoices found;
    for (i32 i = 0; i < install.m_keyCount; i++) {
        if (install.m_keys[i].mapTarget)
            found.push_back({install.m_keys[i].scancode, install.m_keys[i].mapTarget});
    }
    return found;
}

KeyChoices LayoutTargets(const CInstall& install)
{
    KeyChoices found;
    for (i32 i = 0; i < install.m_keyCount; i++) {
        if (install.m_keys[i].target)
            found.push_back({install.m_keys[i].scancode, install.m_keys[i].target});
    }
    return found;
}

std::string Describe(const KeyChoices& choices)
{
    std::string text;
    char item[32];
    for (const auto& c : choices) {
        snprintf(item, sizeof(item), "%04X->%04X ", c.first, c.second);
        text += item;
    }
    return text.empty() ? "(none)" : text;
}

std::string Describe(const std::vector<u8>& bytes)
{
    std::string text;
    char item[4];
    for (u8 b : bytes) {
        snprintf(item, sizeof(item), "%02X ", b);
        text += item;
    }
    return text.empty() ? "(empty)" : text;
}

// A copy in malloc'd memory, since the store takes the buffer over.
u8* HeapCopy(const std::vector<u8>& bytes)
{
    u8* buffer = static_cast<u8*>(malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty())
        memcpy(buffer, bytes.data(), bytes.size());
    return buffer;
}

// ---- The table itself: no registry, no texts ----

class KeyTableTest : public ::testing::Test
{
protected:
    CInstall m_install;
};

TEST_F(KeyTableTest, FindKey_FindsTableKeysAtTheirStaticPosition)
{
    struct Case
    {
        const char* name;
        u16 scancode;
        int found;
    };
    const Case cases[] = {
        {"first key", 0x01, 1},
        {"last one-byte key", 0x7E, 1},
        {"key FF", 0xFF, 1},
        {"prefixed key", 0xE01D, 1},
        {"its unprefixed partner", 0x1D, 1},
        {"last key", 0xE11D, 1},
        {"key outside the table", 0x54, 0},
        {"prefixed key outside the table", 0xE07E, 0},
        {"scancode 0 is the end, not a key", 0x00, 0},
        {"no match on the low byte alone", 0x013A, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyEntry* live = m_install.FindKey(c.scancode);
        const KeyEntry* stock = m_install.FindDefaultKey(c.scancode);
        if (!c.found) {
            EXPECT_EQ(live, nullptr);
            EXPECT_EQ(stock, nullptr);
            continue;
        }
        ASSERT_NE(live, nullptr);
        ASSERT_NE(stock, nullptr);
        EXPECT_EQ(live->scancode, c.scancode);
        EXPECT_EQ(stock->scancode, c.scancode);
        EXPECT_NE(stock->target, 0);
        // Live record i and static record i are the same key.
        EXPECT_EQ(live - m_install.m_keys, stock - g_defaultKeys);
        EXPECT_LT(live - m_install.m_keys, 144);
    }
}

TEST_F(KeyTableTest, FindKey_StopsAtTheFirstEndRecord)
{
    // A key behind the end record is never reached.
    m_install.m_keys[145].scancode = 0x54;
    EXPECT_EQ(m_install.FindKey(0x54), nullptr);
    m_install.m_keys[145].scancode = 0;
}

TEST_F(KeyTableTest, NormaliseKeys_ClearsOnlyChoicesThatRepeatTheDefault)
{
    struct Case
    {
        const char* name;
        u16 scancode;
        u16 target;
        u16 mapTarget;
        u16 wantTarget;
        u16 wantMapTarget;
    };
    const Case cases[] = {
        {"both choices repeat the key", 0x3A, 0x14, 0x3A, 0, 0},
        {"other key kept", 0x1D, 0xA3, 0x3A, 0xA3, 0x3A},
        {"prefixed default cleared, switched off kept", 0xE05B, 0x15B, 0xFF, 0, 0xFF},
        {"flagged virtual key compared whole", 0x36, 0x1A1, 0, 0, 0},
        {"same low byte, other flags kept", 0x47, 0x24, 0x47, 0x24, 0},
        {"prefixed self-map cleared", 0xE038, 0, 0xE038, 0, 0},
    };
    for (const Case& c : cases) {
        KeyEntry* key = m_install.FindKey(c.scancode);
        ASSERT_NE(key, nullptr) << c.name;
        key->target = c.target;
        key->mapTarget = c.mapTarget;
    }
    EXPECT_EQ(m_install.NormaliseKeys(), 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const KeyEntry* key = m_install.FindKey(c.scancode);
        EXPECT_EQ(key->target, c.wantTarget);
        EXPECT_EQ(key->mapTarget, c.wantMapTarget);
    }
}

TEST_F(KeyTableTest, NormaliseKeys_WithoutTableFails)
{
    m_install.m_keyCount = 0;
    EXPECT_EQ(m_install.NormaliseKeys(), 0);
    EXPECT_EQ(m_install.WriteScancodeMap(), 0);
    u32 size = 7;
    EXPECT_EQ(m_install.BuildStoredOverrides(size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(m_install.ApplyStoredOverrides(HeapCopy({0x3A, 0, 0xA2, 0}), 4), 0);
    m_install.m_keyCount = kKeyTableCount;
}

TEST_F(KeyTableTest, ApplyStoredOverrides_SetsLayoutTargetsOfKnownKeys)
{
    struct Case
    {
        const char* name;
        std::vector<u8> bytes;
        int result;
        KeyChoices want;
    };
    const Case cases[] = {
        {"one key", {0x3A, 0x00, 0xA2, 0x00}, 1, {{0x3A, 0xA2}}},
        {"prefixed key and flagged target", {0x5B, 0xE0, 0xA3, 0x01}, 1, {{0xE05B, 0x1A3}}},
        {"two keys in any order", {0x5B, 0xE0, 0xA3, 0x01, 0x3A, 0x00, 0xA2, 0x00}, 1,
         {{0x3A, 0xA2}, {0xE05B, 0x1A3}}},
        {"trailing remainder ignored", {0x3A, 0x00, 0xA2, 0x00, 0x1D, 0x00}, 1, {{0x3A, 0xA2}}},
        {"less than one record", {0x3A, 0x00, 0xA2}, 1, {}},
        {"stored target 0 changes nothing", {0x3A, 0x00, 0x00, 0x00}, 1, {}},
        {"default target cleared by normalisation", {0x3A, 0x00, 0x14, 0x00}, 1, {}},
        {"key outside the table ignored", {0x54, 0x00, 0xA2, 0x00}, 1, {}},
        {"scancode 0 names no key", {0x00, 0x00, 0xA2, 0x00}, 1, {}},
        {"later record wins", {0x3A, 0x00, 0xA2, 0x00, 0x3A, 0x00, 0xA3, 0x00}, 1, {{0x3A, 0xA3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CInstall install;
        EXPECT_EQ(install.ApplyStoredOverrides(HeapCopy(c.bytes), static_cast<u32>(c.bytes.size())), c.result);
        EXPECT_EQ(Describe(LayoutTargets(install)), Describe(c.want));
        // The end records never take a target.
        EXPECT_EQ(install.m_keys[144].target, 0);
        EXPECT_EQ(install.m_keys[145].target, 0);
    }
}

TEST_F(KeyTableTest, ApplyStoredOverrides_RefusesEmptyInput)
{
    EXPECT_EQ(m_install.ApplyStoredOverrides(nullptr, 4), 0);
    EXPECT_EQ(m_install.ApplyStoredOverrides(HeapCopy({}), 0), 0);
    EXPECT_EQ(Describe(LayoutTargets(m_install)), Describe(KeyChoices()));
}

TEST_F(KeyTableTest, BuildStoredOverrides_StoresNonDefaultTargetsInTableOrder)
{
    struct Case
    {
        const char* name;
        KeyChoices choices;
        std::vector<u8> want;
    };
    const Case cases[] = {
        {"no choices: an empty value", {}, {}},
        {"table order, not choice order", {{0xE05B, 0xA2}, {0x3A, 0x1A3}},
         {0x3A, 0x00, 0xA3, 0x01, 0x5B, 0xE0, 0xA2, 0x00}},
        {"a target equal to the default is not stored", {{0x3A, 0x14}, {0x1D, 0x14}}, {0x1D, 0x00, 0x14, 0x00}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CInstall install;
        for (const auto& choice : c.choices)
            install.FindKey(choice.first)->target = choice.second;
        u32 size = 99;
        u8* buffer = install.BuildStoredOverrides(size);
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(Describe(std::vector<u8>(buffer, buffer + size)), Describe(c.want));

        // What is stored comes back as it was.
        CInstall reader;
        if (size)
            EXPECT_EQ(reader.ApplyStoredOverrides(buffer, size), 1);
        else
            free(buffer);
        EXPECT_EQ(Describe(LayoutTargets(reader)), Describe(LayoutTargets(install)));
    }
}

// ---- The platform's scancode map in the registry ----

// Saves the map value before each test and puts it back afterwards; each
// test starts without one.
class ScancodeMapTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMapKeyPath, 0, KEY_READ | KEY_SET_VALUE, &m_key), ERROR_SUCCESS)
            << "the test prefix lacks the keyboard layout key";
        DWORD size = 0;
        if (RegQueryValueExW(m_key, kMapValueName, 0, &m_savedType, 0, &size) == ERROR_SUCCESS) {
            m_saved.resize(size);
            m_hadValue = RegQueryValueExW(m_key, kMapValueName, 0, &m_savedType, m_saved.data(), &size) ==
                         ERROR_SUCCESS;
        }
        RemoveValue();
    }

    void TearDown() override
    {
        if (!m_key)
            return;
        RemoveValue();
        if (m_hadValue)
            RegSetValueExW(m_key, kMapValueName, 0, m_savedType, m_saved.data(), static_cast<DWORD>(m_saved.size()));
        RegCloseKey(m_key);
    }

    // A fresh installer object with the program's own texts.
    void Attach(CInstall& install)
    {
        ASSERT_EQ(install.AttachStringTables(), 1);
    }

    void PutValue(const std::vector<u8>& bytes, DWORD type = REG_BINARY)
    {
        ASSERT_EQ(RegSetValueExW(m_key, kMapValueName, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }

    void RemoveValue()
    {
        (void)RegDeleteValueW(m_key, kMapValueName);
    }

    // The value as it stands: present, and its bytes.
    int GetValue(std::vector<u8>& bytes)
    {
        DWORD type = 0;
        DWORD size = 0;
        bytes.clear();
        if (RegQueryValueExW(m_key, kMapValueName, 0, &type, 0, &size) != ERROR_SUCCESS)
            return 0;
        bytes.resize(size);
        if (RegQueryValueExW(m_key, kMapValueName, 0, &type, bytes.data(), &size) != ERROR_SUCCESS)
            return 0;
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        bytes.resize(size);
        return 1;
    }

    HKEY m_key = 0;
    int m_hadValue = 0;
    DWORD m_savedType = 0;
    std::vector<u8> m_saved;
};

TEST_F(ScancodeMapTest, ReadScancodeMap_TakesTableKeysFromSoundValuesOnly)
{
    struct Case
    {
        const char* name;
        int present;
        DWORD type;
        std::vector<u8> value;
        int seen;
        KeyChoices want;  // map targets afterwards, in table order
    };
    const Case cases[] = {
        {"no value", 0, REG_BINARY, {}, 0, {}},
        {"terminator only", 1, REG_BINARY, Map({}), 1, {}},
        {"two keys remapped", 1, REG_BINARY, Map({Entry(0xE01D, 0x38), Entry(0x3A, 0x1D)}), 1,
         {{0x3A, 0x1D}, {0xE01D, 0x38}}},
        {"switched off key held as FF", 1, REG_BINARY, Map({Entry(0x3A, 0x00)}), 1, {{0x3A, 0xFF}}},
        {"self-maps cleared", 1, REG_BINARY, Map({Entry(0x3A, 0x3A), Entry(0xE05B, 0xE05B)}), 1, {}},
        {"same key twice: the later entry stays", 1, REG_BINARY, Map({Entry(0x3A, 0x1D), Entry(0x3A, 0x38)}), 1,
         {{0x3A, 0x38}}},
        {"foreign scancodes dropped", 1, REG_BINARY,
         Map({Entry(0x54, 0x1D), Entry(0x3A, 0x1D), Entry(0xE07E, 0x38)}), 1, {{0x3A, 0x1D}}},
        {"spare bytes after the terminator", 1, REG_BINARY,
         [] {
             std::vector<u8> v = Map({Entry(0x3A, 0x1D)});
             v.resize(v.size() + 3, 0xEE);
             return v;
         }(),
         1, {{0x3A, 0x1D}}},
        {"count one larger than the size holds", 1, REG_BINARY, MapWithCount(3, {Entry(0x3A, 0x1D)}, 20), 1, {}},
        {"count that fits except for the terminator", 1, REG_BINARY, MapWithCount(2, {Entry(0x3A, 0x1D)}, 16), 1,
         {}},
        {"count 0", 1, REG_BINARY, MapWithCount(0, {Entry(0x3A, 0x1D)}, 20), 1, {}},
        {"count that overflows a 32-bit size", 1, REG_BINARY, MapWithCount(0x40000001, {Entry(0x3A, 0x1D)}, 20), 1,
         {}},
        {"count FFFFFFFF", 1, REG_BINARY, MapWithCount(0xFFFFFFFF, {Entry(0x3A, 0x1D)}, 20), 1, {}},
        {"shorter than a header and terminator", 1, REG_BINARY, MapWithCount(2, {}, 12), 1, {}},
        {"text value is no map", 1, REG_SZ, {'a', 0, 0, 0}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveValue();
        if (c.present)
            PutValue(c.value, c.type);
        CInstall install;
        Attach(install);
        install.ReadScancodeMap();
        EXPECT_EQ(install.m_scancodeMapSeen, c.seen);
        EXPECT_EQ(Describe(MapTargets(install)), Describe(c.want));
        // Reading leaves the value alone.
        if (c.type == REG_BINARY) {
            std::vector<u8> after;
            EXPECT_EQ(GetValue(after), c.present);
            EXPECT_EQ(Describe(after), Describe(c.value));
        }
    }
}

TEST_F(ScancodeMapTest, WriteScancodeMap_ReplacesTheValueWithTheTableChoices)
{
    struct Case
    {
        const char* name;
        int present;
        std::vector<u8> before;  // the value found at start-up
        KeyChoices choices;      // map targets the pages then set (0 takes one back)
        int written;             // a value stands afterwards
        std::vector<u8> after;
    };
    const Case cases[] = {
        {"no value and no choices: nothing written", 0, {}, {}, 0, {}},
        {"self-maps seen: a 16-byte map written back", 1, Map({Entry(0x3A, 0x3A), Entry(0xE05B, 0xE05B)}), {}, 1,
         Map({})},
        {"switched off key written as 0", 1, Map({Entry(0x3A, 0x00)}), {}, 1, Map({Entry(0x3A, 0x00)})},
        {"foreign scancodes dropped", 1, Map({Entry(0x54, 0x1D), Entry(0x3A, 0x1D), Entry(0xE07E, 0x38)}), {}, 1,
         Map({Entry(0x3A, 0x1D)})},
        {"same key twice written once", 1, Map({Entry(0x3A, 0x1D), Entry(0x3A, 0x38)}), {}, 1,
         Map({Entry(0x3A, 0x38)})},
        {"choices in table order", 0, {}, {{0xE05B, 0xFF}, {0x3A, 0x1D}, {0xE11D, 0xE05D}}, 1,
         Map({Entry(0x3A, 0x1D), Entry(0xE05B, 0x00), Entry(0xE11D, 0xE05D)})},
        {"a choice taken back leaves an empty map", 1, Map({Entry(0x3A, 0x1D)}), {{0x3A, 0}}, 1, Map({})},
        {"a self-map choice alone writes nothing", 0, {}, {{0x3A, 0x3A}}, 0, {}},
        {"a damaged value is replaced", 1, MapWithCount(9, {Entry(0x3A, 0x1D)}, 20), {{0x1D, 0x3A}}, 1,
         Map({Entry(0x1D, 0x3A)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveValue();
        if (c.present)
            PutValue(c.before);
        CInstall install;
        Attach(install);
        install.ReadScancodeMap();
        for (const auto& choice : c.choices)
            install.FindKey(choice.first)->mapTarget = choice.second;
        install.NormaliseKeys();

        EXPECT_EQ(install.WriteScancodeMap(), 1);
        std::vector<u8> after;
        EXPECT_EQ(GetValue(after), c.written);
        EXPECT_EQ(Describe(after), Describe(c.after));

        // The next run reads back the same choices.
        CInstall next;
        Attach(next);
        next.ReadScancodeMap();
        EXPECT_EQ(Describe(MapTargets(next)), Describe(MapTargets(install)));
    }
}

TEST_F(ScancodeMapTest, ScancodeMapOperations_CloseEveryKeyTheyOpen)
{
    // The handles the next keys get: a key left open keeps its handle
    // taken, so afterwards the same number of new keys gets another set.
    auto nextKeyHandles = [] {
        std::vector<HKEY> keys(16);
        for (HKEY& key : keys)
            EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
        for (HKEY key : keys)
            RegCloseKey(key);
        return keys;
    };
    struct Case
    {
        const char* name;
        int present;
        std::vector<u8> value;
        KeyChoices choices;
    };
    const Case cases[] = {
        {"no value, nothing to write", 0, {}, {}},
        {"no value, a choice to write", 0, {}, {{0x3A, 0x1D}}},
        {"sound value", 1, Map({Entry(0x3A, 0x1D)}), {}},
        {"damaged value", 1, MapWithCount(5, {Entry(0x3A, 0x1D)}, 20), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveValue();
        if (c.present)
            PutValue(c.value);
        CInstall install;
        Attach(install);
        const std::vector<HKEY> before = nextKeyHandles();
        install.ReadScancodeMap();
        EXPECT_EQ(nextKeyHandles(), before) << "read";
        for (const auto& choice : c.choices)
            install.FindKey(choice.first)->mapTarget = choice.second;
        (void)install.WriteScancodeMap();
        EXPECT_EQ(nextKeyHandles(), before) << "write";
    }
}

} // namespace
