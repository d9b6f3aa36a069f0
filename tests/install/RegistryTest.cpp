#include "core/Install.h"

#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

#include <string>
#include <vector>

namespace
{

const u32 kIdSubKey = 5001;
const u32 kIdDeepSubKey = 5002;
const u32 kIdValueName = 5003;
const u32 kIdValueText = 5004;
const u32 kIdEmptyText = 5005;
const u32 kIdMachineKey = 5006;
const u32 kIdMissingMachineKey = 5007;
const u32 kIdUnknown = 0xFFFF0001u;

typedef LONG(NTAPI* NtSetValueKeyProc)(HANDLE key, UNICODE_STRING* name, ULONG titleIndex, ULONG type, void* data,
                                      ULONG size);

// Stores the bytes exactly as given: the registry functions of Wine add a
// terminator to strings that lack one.
bool WriteRawValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    static NtSetValueKeyProc setValue = reinterpret_cast<NtSetValueKeyProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
    if (!setValue)
        return false;
    UNICODE_STRING valueName;
    valueName.Buffer = const_cast<wchar_t*>(name);
    valueName.Length = static_cast<USHORT>(wcslen(name) * sizeof(wchar_t));
    valueName.MaximumLength = valueName.Length;
    return setValue(key, &valueName, 0, type, const_cast<void*>(data), size) == 0;
}

bool ValueExists(HKEY key, const wchar_t* name)
{
    return RegQueryValueExW(key, name, 0, 0, 0, 0) == ERROR_SUCCESS;
}

bool KeyExists(HKEY parent, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A scratch key below the current user's software key, removed with all it
// holds after each test.
class RegistryLayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_path = L"Software\\KlawiszTest-Registry-" + std::to_wstring(GetCurrentProcessId());
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &m_key, 0),
                  ERROR_SUCCESS);
        m_machinePath = L"Software\\KlawiszTest-Machine-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(AttachTestTexts(m_install.m_commonStrings, {
                                                                   {kIdSubKey, L"Sub"},
                                                                   {kIdDeepSubKey, L"Sub\\Deeper"},
                                                                   {kIdValueName, L"Name"},
                                                                   {kIdValueText, L"Tekst żółć"},
                                                                   {kIdEmptyText, L""},
                                                                   {kIdMachineKey, m_machinePath},
                                                                   {kIdMissingMachineKey, m_machinePath + L"-missing"},
                                                               }));
    }

    void TearDown() override
    {
        if (m_key)
            RegCloseKey(m_key);
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_machinePath.c_str());
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, (m_machinePath + L"-missing").c_str());
    }

    std::vector<u8> RawValue(const wchar_t* name, DWORD* type)
    {
        DWORD size = 0;
        if (RegQueryValueExW(m_key, name, 0, type, 0, &size) != ERROR_SUCCESS)
            return {};
        std::vector<u8> bytes(size);
        if (size && RegQueryValueExW(m_key, name, 0, type, bytes.data(), &size) != ERROR_SUCCESS)
            return {};
        return bytes;
    }

    CInstall m_install;
    std::wstring m_path;
    std::wstring m_machinePath;
    HKEY m_key = 0;
};

TEST_F(RegistryLayer, GetStringValue_FollowsTypeAndSizeRules)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::vector<u8> bytes;
        int result;
        std::wstring text;
    };
    auto units = [](const wchar_t* text, size_t count) {
        const u8* bytes = reinterpret_cast<const u8*>(text);
        return std::vector<u8>(bytes, bytes + count * 2);
    };
    std::vector<u8> oddAfterText = units(L"abc", 3);
    oddAfterText.push_back('d');
    const Case cases[] = {
        {"terminated", REG_SZ, units(L"abc", 4), 1, L"abc"},
        {"without terminator keeps its last character", REG_SZ, units(L"abc", 3), 1, L"abc"},
        {"one odd byte", REG_SZ, {'a'}, 1, L""},
        {"half a unit after the text", REG_SZ, oddAfterText, 1, L"abc"},
        {"no bytes", REG_SZ, {}, 1, L""},
        {"terminator only", REG_SZ, units(L"", 1), 1, L""},
        {"ends at the first terminator", REG_SZ, units(L"ab\0cd", 6), 1, L"ab"},
        {"Polish letters", REG_SZ, units(L"zażółć", 7), 1, L"zażółć"},
        {"expandable string refused", REG_EXPAND_SZ, units(L"abc", 4), 0, L""},
        {"multi-string refused", REG_MULTI_SZ, units(L"abc\0", 5), 0, L""},
        {"binary refused", REG_BINARY, units(L"abc", 4), 0, L""},
        {"dword refused", REG_DWORD, {1, 0, 0, 0}, 0, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteRawValue(m_key, L"value", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        GString out;
        out.AssignNarrow("left over");
        EXPECT_EQ(m_install.GetStringValue(m_key, L"value", out), c.result);
        EXPECT_TRUE(out.IsWide());
        EXPECT_EQ(Text(out), c.text);
    }
}

TEST_F(RegistryLayer, GetStringValue_RefusesMissingValueNullKeyAndEmptyName)
{
    ASSERT_EQ(RegSetValueExW(m_key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"default"), 16), ERROR_SUCCESS);
    GString out;
    EXPECT_EQ(m_install.GetStringValue(m_key, L"missing", out), 0);
    EXPECT_EQ(m_install.GetStringValue(0, L"value", out), 0);
    EXPECT_EQ(m_install.GetStringValue(m_key, L"", out), 0);
    EXPECT_EQ(m_install.GetStringValue(m_key, static_cast<const wch*>(0), out), 0);
    EXPECT_EQ(m_install.GetStringValue(m_key, kIdEmptyText, out), 0);
    EXPECT_EQ(m_install.GetStringValue(m_key, kIdUnknown, out), 0);
    EXPECT_TRUE(out.IsEmpty());
}

TEST_F(RegistryLayer, StringValueEquals_ComparesExactlyAndOnlyPlainStrings)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::wstring stored;
        const char* expected;
        int result;
    };
    const Case cases[] = {
        {"same text", REG_SZ, L"Abc", "Abc", 1},
        {"same Polish text from UTF-8", REG_SZ, L"żółć", "\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", 1},
        {"expandable string with the same text", REG_EXPAND_SZ, L"Abc", "Abc", 0},
        {"case differs", REG_SZ, L"abc", "Abc", 0},
        {"stored text longer", REG_SZ, L"Abcd", "Abc", 0},
        {"stored text shorter", REG_SZ, L"Ab", "Abc", 0},
        {"empty against empty", REG_SZ, L"", "", 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(RegSetValueExW(m_key, L"value", 0, c.type, reinterpret_cast<const BYTE*>(c.stored.c_str()),
                                 static_cast<DWORD>((c.stored.size() + 1) * 2)),
                  ERROR_SUCCESS);
        GString expected;
        expected.AssignNarrow(c.expected);
        EXPECT_EQ(m_install.StringValueEquals(m_key, L"value", expected), c.result);
    }
    GString text;
    text.AssignWide(L"Abc");
    EXPECT_EQ(m_install.StringValueEquals(m_key, L"missing", text), 0);
}

TEST_F(RegistryLayer, GetBinaryValue_FollowsTypeAndSizeRules)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::vector<u8> bytes;
        bool accepted;
    };
    const Case cases[] = {
        {"three bytes", REG_BINARY, {1, 2, 3}, true},
        {"one byte", REG_BINARY, {0xFF}, true},
        {"no bytes refused", REG_BINARY, {}, false},
        {"dword refused", REG_DWORD, {1, 0, 0, 0}, false},
        {"string refused", REG_SZ, {'a', 0, 0, 0}, false},
        {"untyped refused", REG_NONE, {1, 2}, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteRawValue(m_key, L"value", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        u32 size = 12345;
        u8* data = m_install.GetBinaryValue(m_key, L"value", size);
        if (c.accepted)
        {
            ASSERT_NE(data, nullptr);
            ASSERT_EQ(size, c.bytes.size());
            EXPECT_EQ(std::vector<u8>(data, data + size), c.bytes);
        }
        else
        {
            EXPECT_EQ(data, nullptr);
            EXPECT_EQ(size, 0u);
        }
        free(data);
    }
    u32 size = 7;
    EXPECT_EQ(m_install.GetBinaryValue(m_key, L"missing", size), nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(m_install.GetBinaryValue(m_key, kIdUnknown, size), nullptr);
}

TEST_F(RegistryLayer, GetDwordValue_AcceptsOnlyFourByteDwords)
{
    struct Case
    {
        const char* name;
        DWORD type;
        std::vector<u8> bytes;
        int result;
        u32 value;
    };
    const Case cases[] = {
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}, 1, 0x12345678u},
        {"zero", REG_DWORD, {0, 0, 0, 0}, 1, 0},
        {"two bytes refused", REG_DWORD, {1, 0}, 0, 0xDEADu},
        {"eight bytes refused", REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0, 0xDEADu},
        {"binary of four bytes refused", REG_BINARY, {1, 0, 0, 0}, 0, 0xDEADu},
        {"big-endian dword refused", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, 0, 0xDEADu},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteRawValue(m_key, L"value", c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        u32 value = 0xDEADu;
        EXPECT_EQ(m_install.GetDwordValue(m_key, L"value", value), c.result);
        EXPECT_EQ(value, c.value);
    }
    u32 value = 0xDEADu;
    EXPECT_EQ(m_install.GetDwordValue(m_key, L"missing", value), 0);
    EXPECT_EQ(value, 0xDEADu);
}

TEST_F(RegistryLayer, SetStringValue_WritesAPlainStringWithItsTerminator)
{
    GString narrow;
    narrow.AssignNarrow("\xC5\xBC\xC3\xB3\xC5\x82w");  // "żółw" as UTF-8
    ASSERT_EQ(m_install.SetStringValue(m_key, L"value", narrow), 1);
    DWORD type = 0;
    std::vector<u8> bytes = RawValue(L"value", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), 5), std::wstring(L"żółw\0", 5));

    GString empty;
    ASSERT_EQ(m_install.SetStringValue(m_key, L"empty", empty), 1);
    bytes = RawValue(L"empty", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, std::vector<u8>({0, 0}));
}

TEST_F(RegistryLayer, SetStringValue_RefusesNullKeyAndEmptyNameWithoutWriting)
{
    GString text;
    text.AssignWide(L"abc");
    EXPECT_EQ(m_install.SetStringValue(0, L"value", text), 0);
    EXPECT_EQ(m_install.SetStringValue(m_key, L"", text), 0);
    EXPECT_EQ(m_install.SetStringValue(m_key, static_cast<const wch*>(0), text), 0);
    EXPECT_EQ(m_install.SetStringValue(m_key, kIdEmptyText, text), 0);
    EXPECT_FALSE(ValueExists(m_key, L""));
}

TEST_F(RegistryLayer, SetStringValueFromId_WritesTheTextOfOneIdUnderTheNameOfAnother)
{
    ASSERT_EQ(m_install.SetStringValueFromId(m_key, kIdValueName, kIdValueText), 1);
    GString out;
    ASSERT_EQ(m_install.GetStringValue(m_key, L"Name", out), 1);
    EXPECT_EQ(Text(out), L"Tekst żółć");
    EXPECT_EQ(m_install.SetStringValueFromId(m_key, kIdValueName, kIdUnknown), 0);
    EXPECT_EQ(m_install.SetStringValueFromId(m_key, kIdUnknown, kIdValueText), 0);
}

TEST_F(RegistryLayer, SetDwordAndBinaryValues_WriteTheirTypes)
{
    ASSERT_EQ(m_install.SetDwordValue(m_key, kIdValueName, 0xA1B2C3D4u), 1);
    u32 value = 0;
    ASSERT_EQ(m_install.GetDwordValue(m_key, kIdValueName, value), 1);
    EXPECT_EQ(value, 0xA1B2C3D4u);

    const u8 bytes[] = {0, 0, 0, 0, 3, 0, 0, 0};
    ASSERT_EQ(m_install.SetBinaryValue(m_key, L"binary", bytes, sizeof(bytes)), 1);
    DWORD type = 0;
    EXPECT_EQ(RawValue(L"binary", &type), std::vector<u8>(bytes, bytes + sizeof(bytes)));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));

    // A key that could not be opened reaches the value operations as null.
    EXPECT_EQ(m_install.SetDwordValue(0, L"value", 1), 0);
    EXPECT_EQ(m_install.SetBinaryValue(0, L"value", bytes, sizeof(bytes)), 0);
}

TEST_F(RegistryLayer, IdForms_FailWithoutTouchingTheRegistryForUnknownIds)
{
    const u8 bytes[] = {1, 2};
    GString text;
    text.AssignWide(L"abc");
    EXPECT_EQ(m_install.SetDwordValue(m_key, kIdUnknown, 1), 0);
    EXPECT_EQ(m_install.SetBinaryValue(m_key, kIdUnknown, bytes, sizeof(bytes)), 0);
    EXPECT_EQ(m_install.SetStringValue(m_key, kIdUnknown, text), 0);
    // An unknown name must not become the key's unnamed value.
    EXPECT_FALSE(ValueExists(m_key, L""));
    EXPECT_EQ(m_install.CreateKey(m_key, kIdUnknown, KEY_WRITE), nullptr);
    EXPECT_EQ(m_install.OpenKey(HKEY_CURRENT_USER, kIdUnknown, KEY_READ), nullptr);
    EXPECT_EQ(m_install.DeleteKey(m_key, kIdUnknown), 0);
    DWORD subKeys = 1;
    ASSERT_EQ(RegQueryInfoKeyW(m_key, 0, 0, 0, &subKeys, 0, 0, 0, 0, 0, 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
}

TEST_F(RegistryLayer, OpenKey_NeverCreatesAMissingKey)
{
    EXPECT_EQ(m_install.OpenKey(m_key, kIdSubKey, KEY_READ), nullptr);
    EXPECT_FALSE(KeyExists(m_key, L"Sub"));
    EXPECT_EQ(m_install.OpenKey(m_key, L"", KEY_READ), nullptr);
    EXPECT_EQ(m_install.OpenKey(0, L"Sub", KEY_READ), nullptr);
}

TEST_F(RegistryLayer, CreateKey_OpensAnExistingKeyWithItsValuesUnchanged)
{
    HKEY deep = m_install.CreateKey(m_key, kIdDeepSubKey, KEY_WRITE);
    ASSERT_NE(deep, nullptr);
    ASSERT_EQ(m_install.SetDwordValue(deep, L"kept", 42), 1);
    RegCloseKey(deep);

    HKEY again = m_install.CreateKey(m_key, kIdDeepSubKey, KEY_READ);
    ASSERT_NE(again, nullptr);
    u32 value = 0;
    EXPECT_EQ(m_install.GetDwordValue(again, L"kept", value), 1);
    EXPECT_EQ(value, 42u);
    RegCloseKey(again);

    HKEY opened = m_install.OpenKey(m_key, kIdDeepSubKey, KEY_READ);
    EXPECT_NE(opened, nullptr);
    if (opened)
        RegCloseKey(opened);
    EXPECT_EQ(m_install.CreateKey(0, L"Sub", KEY_WRITE), nullptr);
    EXPECT_EQ(m_install.CreateKey(m_key, kIdEmptyText, KEY_WRITE), nullptr);
}

TEST_F(RegistryLayer, DeleteKey_RefusesAKeyThatHasSubKeys)
{
    HKEY deep = m_install.CreateKey(m_key, kIdDeepSubKey, KEY_WRITE);
    ASSERT_NE(deep, nullptr);
    RegCloseKey(deep);

    EXPECT_EQ(m_install.DeleteKey(m_key, kIdSubKey), 0);
    EXPECT_TRUE(KeyExists(m_key, L"Sub\\Deeper"));
}

TEST_F(RegistryLayer, DeleteKey_RemovesALeafKeyWithItsValues)
{
    HKEY sub = m_install.CreateKey(m_key, kIdSubKey, KEY_WRITE);
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(m_install.SetDwordValue(sub, L"value", 1), 1);
    RegCloseKey(sub);

    EXPECT_EQ(m_install.DeleteKey(m_key, kIdSubKey), 1);
    EXPECT_FALSE(KeyExists(m_key, L"Sub"));
    EXPECT_EQ(m_install.DeleteKey(m_key, kIdSubKey), 0);
}

TEST_F(RegistryLayer, DeleteKey_RefusesAnEmptySubKeyTextInsteadOfDeletingTheParent)
{
    HKEY sub = 0;
    ASSERT_EQ(RegCreateKeyExW(m_key, L"Leaf", 0, 0, 0, KEY_ALL_ACCESS, 0, &sub, 0), ERROR_SUCCESS);
    EXPECT_EQ(m_install.DeleteKey(sub, kIdEmptyText), 0);
    RegCloseKey(sub);
    EXPECT_TRUE(KeyExists(m_key, L"Leaf"));
}

TEST_F(RegistryLayer, DeleteValue_RemovesOnlyTheNamedValue)
{
    ASSERT_EQ(m_install.SetDwordValue(m_key, L"Name", 1), 1);
    ASSERT_EQ(m_install.SetDwordValue(m_key, L"Other", 2), 1);
    m_install.DeleteValue(m_key, kIdValueName);
    EXPECT_FALSE(ValueExists(m_key, L"Name"));
    EXPECT_TRUE(ValueExists(m_key, L"Other"));

    EXPECT_EQ(m_install.DeleteValue(m_key, L"Name"), 0);
    EXPECT_EQ(m_install.DeleteValue(m_key, L"Other"), 1);
    EXPECT_EQ(m_install.DeleteValue(m_key, L""), 0);
    EXPECT_EQ(m_install.DeleteValue(0, L"Other"), 0);
}

TEST_F(RegistryLayer, SetMachineString_WritesBelowAnExistingMachineKeyOnly)
{
    EXPECT_EQ(m_install.SetMachineString(kIdMissingMachineKey, kIdValueName, kIdValueText), 0);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, m_machinePath + L"-missing"));

    HKEY machine = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_machinePath.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &machine, 0),
              ERROR_SUCCESS);
    EXPECT_EQ(m_install.SetMachineString(kIdMachineKey, kIdValueName, kIdValueText), 1);
    GString out;
    EXPECT_EQ(m_install.GetStringValue(machine, L"Name", out), 1);
    EXPECT_EQ(Text(out), L"Tekst żółć");
    EXPECT_EQ(m_install.SetMachineString(kIdMachineKey, kIdValueName, kIdUnknown), 0);
    RegCloseKey(machine);
}

} // namespace
