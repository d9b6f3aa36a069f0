// The resources compiled from ui/Setup.rc (linked into this test program as
// into the setup program): page templates, icons, accelerators, version
// block and manifest.

#include "ui/Resource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <string>
#include <vector>

namespace {

const WORD kButton = 0x80;
const WORD kEdit = 0x81;
const WORD kStatic = 0x82;
const WORD kComboBox = 0x85;
const DWORD kChild = WS_CHILD | WS_VISIBLE;

struct Control
{
    int id;
    WORD type;
    DWORD style;
    short x, y, cx, cy;
    DWORD exStyle;
};

struct Template
{
    DWORD style;
    short cx, cy;
    WORD pointSize;
    WORD weight;
    BYTE italic;
    BYTE charset;
    std::wstring face;
    std::vector<Control> controls;
};

// Reads an ordinal or a string of a dialog template.
const WORD* SkipSzOrOrd(const WORD* p, WORD* ordinal, std::wstring* text)
{
    if (*p == 0xFFFF) {
        if (ordinal)
            *ordinal = p[1];
        return p + 2;
    }
    std::wstring s;
    while (*p)
        s += static_cast<wchar_t>(*p++);
    if (text)
        *text = s;
    return p + 1;
}

WORD ClassOrdinal(const std::wstring& name)
{
    const struct
    {
        const wchar_t* name;
        WORD ordinal;
    } names[] = { { L"button", kButton }, { L"edit", kEdit }, { L"static", kStatic }, { L"combobox", kComboBox } };
    for (const auto& n : names) {
        if (_wcsicmp(n.name, name.c_str()) == 0)
            return n.ordinal;
    }
    return 0;
}

bool ReadTemplate(int id, Template& out)
{
    HRSRC found = FindResourceW(0, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5)); // RT_DIALOG
    if (!found)
        return false;
    const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(0, found)));
    const WORD* w = reinterpret_cast<const WORD*>(base);
    if (w[0] != 1 || w[1] != 0xFFFF)
        return false; // not an extended template
    const DWORD* d = reinterpret_cast<const DWORD*>(base + 4);
    out.style = d[2];
    const WORD* p = reinterpret_cast<const WORD*>(base + 16);
    WORD count = *p++;
    p += 2; // x, y
    out.cx = static_cast<short>(*p++);
    out.cy = static_cast<short>(*p++);
    p = SkipSzOrOrd(p, 0, 0); // menu
    p = SkipSzOrOrd(p, 0, 0); // class
    p = SkipSzOrOrd(p, 0, 0); // title
    out.pointSize = *p++;
    out.weight = *p++;
    const BYTE* b = reinterpret_cast<const BYTE*>(p);
    out.italic = b[0];
    out.charset = b[1];
    p = SkipSzOrOrd(p + 1, 0, &out.face);
    out.controls.clear();
    for (WORD i = 0; i < count; i++) {
        uintptr_t at = (reinterpret_cast<uintptr_t>(p) + 3) & ~static_cast<uintptr_t>(3);
        const DWORD* item = reinterpret_cast<const DWORD*>(at);
        Control c;
        c.exStyle = item[1];
        c.style = item[2];
        const short* rect = reinterpret_cast<const short*>(item + 3);
        c.x = rect[0];
        c.y = rect[1];
        c.cx = rect[2];
        c.cy = rect[3];
        c.id = static_cast<int>(*reinterpret_cast<const DWORD*>(rect + 4));
        p = reinterpret_cast<const WORD*>(rect + 6);
        WORD ordinal = 0;
        std::wstring className;
        p = SkipSzOrOrd(p, &ordinal, &className);
        c.type = ordinal ? ordinal : ClassOrdinal(className);
        p = SkipSzOrOrd(p, 0, 0); // title
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        out.controls.push_back(c);
    }
    return true;
}

// Rows of the key pages: check box and list, ten per column.
void AddKeyRows(std::vector<Control>& controls, int checkBase, int listBase, int shortListRow)
{
    for (int r = 1; r <= 20; r++) {
        short k = static_cast<short>((r - 1) % 10);
        short y = static_cast<short>(5 + 14 * k);
        bool left = r <= 10;
        controls.push_back({ checkBase + r, kButton, kChild | BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP,
            static_cast<short>(left ? 2 : 160), y, 72, 12, WS_EX_RIGHT });
        controls.push_back({ listBase + r, kComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED,
            static_cast<short>(left ? 76 : 234), y, 80, static_cast<short>(r == shortListRow ? 156 : 160), 0 });
    }
}

Template Expected(int id)
{
    const DWORD pageStyle = WS_CHILD | DS_CENTER | DS_SETFONT;
    const Control rule = { -1, kStatic, kChild | SS_ETCHEDHORZ, 0, 0, 318, 1, 0 };
    const Control bottomRule = { -1, kStatic, kChild | SS_ETCHEDHORZ, 0, 147, 318, 1, 0 };
    const DWORD push = kChild | BS_PUSHBUTTON | WS_TABSTOP;
    const DWORD defPush = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
    const DWORD label = kChild | SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN;
    Template t = { pageStyle, 318, 172, 11, 0, 0, 0, L"Arial", {} };
    switch (id) {
    case IDD_WELCOME:
        t.style = WS_CHILD | DS_SETFONT | DS_3DLOOK;
        t.controls = {
            rule,
            { 308, kStatic, kChild | SS_LEFT, 8, 4, 302, 10, 0 },
            { 309, kStatic, kChild | SS_LEFT, 8, 18, 302, 107, 0 },
            { 307, kStatic, kChild | SS_LEFT | WS_GROUP, 8, 128, 222, 18, 0 },
            { 2002, kComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 230, 131, 80, 160, 0 },
            bottomRule,
            { 300, kButton, push, 8, 152, 50, 16, 0 },
            { 315, kButton, push, 83, 152, 50, 16, 0 },
            { 2003, kButton, WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 142, 152, 50, 16, 0 },
            { 2, kButton, defPush, 201, 152, 109, 16, 0 },
            { 1, kButton, push, 260, 152, 50, 16, 0 },
        };
        break;
    case IDD_EULA:
        t.charset = 1;
        t.controls = {
            rule,
            { 311, kStatic, kChild | SS_LEFT, 8, 4, 302, 16, 0 },
            bottomRule,
            { 306, kEdit, kChild | ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_TABSTOP, 8, 24, 302, 120,
                WS_EX_STATICEDGE },
            { 300, kButton, push, 8, 152, 50, 16, 0 },
            { 305, kButton, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 83, 152, 114, 16, 0 },
            { 301, kButton, push, 201, 152, 50, 16, 0 },
            { 1, kButton, defPush | WS_DISABLED, 260, 152, 50, 16, 0 },
        };
        break;
    case IDD_SETUP:
        t.controls = {
            rule,
            { 313, kStatic, kChild | SS_LEFT, 8, 4, 302, 10, 0 },
            { 1202, kComboBox, kChild | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL | WS_TABSTOP, 8, 16, 302, 144, 0 },
            { 1200, kButton, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 14, 32, 294, 12, 0 },
            { 1205, kButton, kChild | BS_AUTOCHECKBOX | WS_TABSTOP, 14, 48, 294, 12, 0 },
            { 1212, kButton, kChild | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 14, 64, 294, 12, 0 },
            { 314, kStatic, kChild | SS_RIGHT | SS_CENTERIMAGE, 8, 98, 196, 12, 0 },
            { 1214, kComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 206, 98, 104, 101, 0 },
            { 316, kStatic, kChild | SS_RIGHT | SS_CENTERIMAGE, 8, 114, 196, 12, 0 },
            { 1215, kComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 206, 114, 104, 101, 0 },
            { 317, kStatic, kChild | SS_RIGHT | SS_CENTERIMAGE, 8, 130, 302, 12, 0 },
            bottomRule,
            { 300, kButton, push, 8, 152, 50, 16, 0 },
            { 303, kButton, push, 142, 152, 50, 16, 0 },
            { 301, kButton, push, 201, 152, 50, 16, 0 },
            { 206, kButton, defPush, 260, 152, 50, 16, 0 },
            { 304, kButton, push, 83, 152, 50, 16, 0 },
            { 1213, kButton, kChild | BS_AUTOCHECKBOX | BS_LEFTTEXT | BS_RIGHT | WS_GROUP | WS_TABSTOP, 14, 80, 294, 12,
                0 },
        };
        break;
    case IDD_DONE:
        t.controls = {
            rule,
            { 1209, kStatic, kChild | SS_LEFT, 8, 4, 302, 60, 0 },
            { -1, kStatic, kChild | SS_ETCHEDHORZ, 0, 66, 302, 1, 0 },
            { 1204, kStatic, kChild | SS_LEFT, 8, 70, 302, 40, 0 },
            bottomRule,
            { 1213, kButton, defPush, 114, 152, 90, 16, 0 },
        };
        break;
    case IDD_EXPERT1:
        t.weight = 400;
        t.charset = 238;
        AddKeyRows(t.controls, 1300, 1400, 0);
        t.controls.push_back(bottomRule);
        t.controls.push_back({ 300, kButton, push, 8, 152, 50, 16, 0 });
        t.controls.push_back({ 304, kButton, push, 83, 152, 50, 16, 0 });
        t.controls.push_back({ 303, kStatic, label, 142, 152, 50, 16, 0 });
        t.controls.push_back({ 301, kButton, defPush, 201, 152, 50, 16, 0 });
        break;
    case IDD_EXPERT2:
        t.charset = 1;
        AddKeyRows(t.controls, 1500, 1600, 10);
        t.controls.push_back(bottomRule);
        t.controls.push_back({ 300, kButton, push, 8, 152, 50, 16, 0 });
        t.controls.push_back({ 304, kStatic, label, 83, 152, 50, 16, 0 });
        t.controls.push_back({ 303, kButton, push, 142, 152, 50, 16, 0 });
        t.controls.push_back({ 301, kButton, defPush, 201, 152, 50, 16, 0 });
        break;
    }
    return t;
}

TEST(Resources, PageTemplatesHoldTheirControlsInTabOrder)
{
    const int ids[] = { IDD_WELCOME, IDD_EULA, IDD_SETUP, IDD_DONE, IDD_EXPERT1, IDD_EXPERT2 };
    for (int id : ids) {
        SCOPED_TRACE(id);
        Template actual;
        ASSERT_TRUE(ReadTemplate(id, actual));
        Template expected = Expected(id);
        EXPECT_EQ(actual.style, expected.style);
        EXPECT_EQ(actual.cx, expected.cx);
        EXPECT_EQ(actual.cy, expected.cy);
        EXPECT_EQ(actual.pointSize, expected.pointSize);
        EXPECT_EQ(actual.weight, expected.weight);
        EXPECT_EQ(actual.italic, expected.italic);
        EXPECT_EQ(actual.charset, expected.charset);
        EXPECT_EQ(actual.face, expected.face);
        ASSERT_EQ(actual.controls.size(), expected.controls.size());
        for (size_t i = 0; i < expected.controls.size(); i++) {
            const Control& a = actual.controls[i];
            const Control& e = expected.controls[i];
            SCOPED_TRACE(testing::Message() << "control " << i << " (id " << e.id << ")");
            EXPECT_EQ(a.id, e.id);
            EXPECT_EQ(a.type, e.type);
            EXPECT_EQ(a.style, e.style);
            EXPECT_EQ(a.exStyle, e.exStyle);
            EXPECT_EQ(a.x, e.x);
            EXPECT_EQ(a.y, e.y);
            EXPECT_EQ(a.cx, e.cx);
            EXPECT_EQ(a.cy, e.cy);
        }
    }
}

TEST(Resources, IconsCarryTheUsualSizes)
{
    const int ids[] = { IDI_HEADER, IDI_PROGRAM };
    for (int id : ids) {
        SCOPED_TRACE(id);
        for (int size : { 16, 24, 32, 48 }) {
            HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(0), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr) << size;
            ICONINFO info;
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP bitmap;
            GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
            EXPECT_EQ(bitmap.bmWidth, size);
            EXPECT_EQ(bitmap.bmHeight, size);
            EXPECT_EQ(bitmap.bmBitsPixel, 32);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        // Each size is an image of its own, not a scaled one.
        HRSRC group = FindResourceW(0, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
        ASSERT_NE(group, nullptr);
        const WORD* header = static_cast<const WORD*>(LockResource(LoadResource(0, group)));
        EXPECT_EQ(header[2], 4);
    }
}

TEST(Resources, AcceleratorTableMapsEscapeToCommandTwo)
{
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(0), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 1);
    EXPECT_EQ(entries[0].key, VK_ESCAPE);
    EXPECT_EQ(entries[0].cmd, 2);
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FNOINVERT), FVIRTKEY | FNOINVERT);
    EXPECT_EQ(entries[0].fVirt & (FSHIFT | FCONTROL | FALT), 0);
    DestroyAcceleratorTable(table);
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = 0;
    UINT length = 0;
    if (!VerQueryValueW(&block[0], path.c_str(), &value, &length) || !value)
        return L"";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(Resources, VersionBlockNamesTheProductAtOneNineZero)
{
    HRSRC found = FindResourceW(0, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)); // RT_VERSION
    ASSERT_NE(found, nullptr);
    DWORD size = SizeofResource(0, found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(0, found)));
    // VerQueryValue wants a writable copy.
    std::vector<BYTE> block(data, data + size);
    block.resize(size * 2);
    VS_FIXEDFILEINFO* fixed = 0;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(9, 1));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(9, 1));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Klawisz Layout");
    EXPECT_EQ(VersionString(block, L"CompanyName"), L"Klawisz");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"1.9.0.0");
    EXPECT_EQ(VersionString(block, L"ProductVersion"), L"1.9.0.0");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"setup.exe");
}

std::string ManifestText()
{
    HRSRC found = FindResourceW(0, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    if (!found)
        return std::string();
    const char* data = static_cast<const char*>(LockResource(LoadResource(0, found)));
    return std::string(data, SizeofResource(0, found));
}

TEST(Resources, ManifestAsksForTheInvokersRightsCommonControlsSixAndNamesTheSystems)
{
    std::string manifest = ManifestText();
    ASSERT_FALSE(manifest.empty());
    const char* needles[] = {
        "level=\"asInvoker\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", // Vista
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10
    };
    for (const char* needle : needles)
        EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
}

TEST(Resources, ManifestBringsCommonControlsSix)
{
    // The program imports the common controls; the manifest makes the
    // loader take them from the side-by-side assembly of version 6 (whose
    // DllGetVersion under Wine still answers 5.81, so the path tells).
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
    std::wstring lower = path;
    for (wchar_t& ch : lower)
        ch = static_cast<wchar_t>(towlower(ch));
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."), std::wstring::npos)
        << std::string(lower.begin(), lower.end());
}

const wchar_t kProbeVariable[] = L"KLAWISZ_VERSION_PROBE";

// Run only as the child of the next test, on a system set to Windows 10.
TEST(VersionProbe, ReportsWindowsTen)
{
    wchar_t value[8];
    if (!GetEnvironmentVariableW(kProbeVariable, value, 8))
        GTEST_SKIP() << "runs as the child of VersionQuery_TellsTheTruthOnWindowsTen";
    OSVERSIONINFOW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_EQ(version.dwMajorVersion, 10u);
    EXPECT_EQ(version.dwMinorVersion, 0u);
}

TEST(Resources, VersionQuery_TellsTheTruthOnWindowsTen)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(0, path, MAX_PATH), 0u);
    std::wstring exe = path;
    std::wstring name = exe.substr(exe.find_last_of(L"\\/") + 1);
    // Wine's per-program Windows version, read when a process starts.
    std::wstring keyPath = L"Software\\Wine\\AppDefaults\\" + name;
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, 0, 0, KEY_SET_VALUE, 0, &key, 0), ERROR_SUCCESS);
    const wchar_t version[] = L"win10";
    RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof(version));
    RegCloseKey(key);

    SetEnvironmentVariableW(kProbeVariable, L"1");
    std::wstring command = L"\"" + exe + L"\" --gtest_filter=VersionProbe.ReportsWindowsTen";
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    BOOL started = CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process);
    SetEnvironmentVariableW(kProbeVariable, 0);
    DWORD exitCode = 99;
    if (started) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath.c_str());
    ASSERT_TRUE(started);
    EXPECT_EQ(exitCode, 0u) << "the child saw another version than 10.0";
}

} // namespace
