// The installer object's registry layer: thin wrappers over the platform
// calls that take key paths and value names as wide texts or as string ids,
// and fix the value types, sizes and success rules the record, the key
// store and the procedures rely on. An id form looks its text up into
// m_scratch first and fails without a platform call when the id is unknown.

#include "core/Install.h"

#include <stdlib.h>

namespace
{

const DWORD kOptionsNone = 0;
const DWORD kAccessSetValueCreateSubKey = 0x0006;

int IsEmptyText(const wch* text)
{
    return !text || !text[0];
}

} // namespace

HKEY CInstall::OpenKey(HKEY parent, const wch* subKey, u32 access)
{
    if (!parent || IsEmptyText(subKey))
        return 0;
    HKEY key = 0;
    if (RegOpenKeyExW(parent, subKey, kOptionsNone, access, &key) != ERROR_SUCCESS)
        return 0;
    return key;
}

HKEY CInstall::OpenKey(HKEY parent, u32 subKeyId, u32 access)
{
    if (!GetString(subKeyId, m_scratch))
        return 0;
    return OpenKey(parent, m_scratch.WideText(0), access);
}

HKEY CInstall::CreateKey(HKEY parent, const wch* subKey, u32 access)
{
    if (!parent || IsEmptyText(subKey))
        return 0;
    HKEY key = 0;
    if (RegCreateKeyExW(parent, subKey, 0, 0, REG_OPTION_NON_VOLATILE, access, 0, &key, 0) != ERROR_SUCCESS)
        return 0;
    return key;
}

HKEY CInstall::CreateKey(HKEY parent, u32 subKeyId, u32 access)
{
    if (!GetString(subKeyId, m_scratch))
        return 0;
    return CreateKey(parent, m_scratch.WideText(0), access);
}

int CInstall::SetBinaryValue(HKEY key, const wch* name, const void* data, u32 size)
{
    return RegSetValueExW(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

int CInstall::SetBinaryValue(HKEY key, u32 nameId, const void* data, u32 size)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return SetBinaryValue(key, m_scratch.WideText(0), data, size);
}

u8* CInstall::GetBinaryValue(HKEY key, const wch* name, u32& size)
{
    size = 0;
    DWORD type = 0;
    DWORD firstSize = 0;
    LONG status = RegQueryValueExW(key, name, 0, &type, 0, &firstSize);
    if ((status != ERROR_SUCCESS && status != ERROR_MORE_DATA) || firstSize == 0 || type != REG_BINARY)
        return 0;

    size = firstSize;
    u8* buffer = static_cast<u8*>(malloc(firstSize));
    if (!buffer)
        return 0;
    DWORD secondSize = firstSize;
    status = RegQueryValueExW(key, name, 0, &type, buffer, &secondSize);
    if (status != ERROR_SUCCESS || secondSize != firstSize || type != REG_BINARY)
    {
        free(buffer);
        return 0;
    }
    return buffer;
}

u8* CInstall::GetBinaryValue(HKEY key, u32 nameId, u32& size)
{
    size = 0;
    if (!GetString(nameId, m_scratch))
        return 0;
    return GetBinaryValue(key, m_scratch.WideText(0), size);
}

int CInstall::SetDwordValue(HKEY key, const wch* name, u32 value)
{
    DWORD data = value;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) ==
           ERROR_SUCCESS;
}

int CInstall::SetDwordValue(HKEY key, u32 nameId, u32 value)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return SetDwordValue(key, m_scratch.WideText(0), value);
}

int CInstall::GetDwordValue(HKEY key, const wch* name, u32& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, 0, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return 0;
    if (type != REG_DWORD || size != sizeof(data))
        return 0;
    value = data;
    return 1;
}

int CInstall::GetDwordValue(HKEY key, u32 nameId, u32& value)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return GetDwordValue(key, m_scratch.WideText(0), value);
}

int CInstall::SetStringValue(HKEY key, const wch* name, GString& text)
{
    if (!key || IsEmptyText(name))
        return 0;
    const wch* data = text.MakeWide(-1);
    if (!data)
        return 0;
    DWORD size = static_cast<DWORD>((text.Length() + 1) * sizeof(wch));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

int CInstall::SetStringValue(HKEY key, u32 nameId, GString& text)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return SetStringValue(key, m_scratch.WideText(0), text);
}

int CInstall::SetStringValueFromId(HKEY key, u32 nameId, u32 textId)
{
    GString text;
    if (!GetString(textId, text))
        return 0;
    return SetStringValue(key, nameId, text);
}

int CInstall::GetStringValue(HKEY key, const wch* name, GString& out)
{
    if (!key || IsEmptyText(name))
        return 0;
    out.ClearWide();

    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, 0, &type, 0, &size) != ERROR_SUCCESS || type != REG_SZ)
        return 0;
    if (size == 0)
        return 1;

    // Room for every byte, an odd last one included, plus the terminator.
    const DWORD units = (size + 1) / sizeof(wch);
    wch* buffer = out.WideBuffer(static_cast<int>(units));
    if (!buffer)
        return 0;
    DWORD readSize = size;
    if (RegQueryValueExW(key, name, 0, &type, reinterpret_cast<BYTE*>(buffer), &readSize) != ERROR_SUCCESS ||
        type != REG_SZ)
    {
        out.Clear();
        return 0;
    }

    // The text ends at the first NUL or with the last whole unit: a value
    // stored without its terminator keeps its last character, and half a
    // unit at the end is dropped.
    const DWORD whole = readSize / sizeof(wch);
    DWORD length = 0;
    while (length < whole && buffer[length])
        ++length;
    out.SetLength(static_cast<int>(length));
    return 1;
}

int CInstall::GetStringValue(HKEY key, u32 nameId, GString& out)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return GetStringValue(key, m_scratch.WideText(0), out);
}

int CInstall::StringValueEquals(HKEY key, const wch* name, GString& text)
{
    GString value;
    if (!GetStringValue(key, name, value))
        return 0;
    const wch* expected = text.MakeWide(-1);
    if (!expected)
        return 0;
    return value.CompareWide(expected, text.Length()) == 0;
}

int CInstall::StringValueEquals(HKEY key, u32 nameId, GString& text)
{
    if (!GetString(nameId, m_scratch))
        return 0;
    return StringValueEquals(key, m_scratch.WideText(0), text);
}

int CInstall::DeleteValue(HKEY key, const wch* name)
{
    if (!key || IsEmptyText(name))
        return 0;
    return RegDeleteValueW(key, name) == ERROR_SUCCESS;
}

void CInstall::DeleteValue(HKEY key, u32 nameId)
{
    if (!GetString(nameId, m_scratch))
        return;
    (void)DeleteValue(key, m_scratch.WideText(0));
}

int CInstall::DeleteKey(HKEY parent, u32 subKeyId)
{
    if (!GetString(subKeyId, m_scratch))
        return 0;
    // An empty sub-key text would name the parent itself.
    if (!parent || m_scratch.IsEmpty())
        return 0;
    return RegDeleteKeyW(parent, m_scratch.WideText(0)) == ERROR_SUCCESS;
}

int CInstall::SetMachineString(u32 keyPathId, u32 nameId, u32 textId)
{
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, keyPathId, kAccessSetValueCreateSubKey);
    if (!key)
        return 0;
    int written = SetStringValueFromId(key, nameId, textId);
    RegCloseKey(key);
    return written;
}
