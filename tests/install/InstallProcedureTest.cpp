// The install procedure against the registry and file system of the test
// prefix: a first install, installs over an earlier one, update mode, a
// failing last step, the earlier version that kept no record, the
// regional-settings text and the installed-programs entry. Every run is an
// installer object with the program's own string tables and the paths of
// the start-up checks; only the three install items are the test's own.

#include "core/Install.h"

#include "payload/Catalogue.h"
#include "tests/install/TestItems.h"
#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <objidl.h>
#include <oleauto.h>
#include <shlobj.h>
#include <windows.h>
#include <msxml2.h>

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

const u32 kVersionThis = 190;

// ---- Names by string id: the tests read the program's own tables ----

// Record key, document sub-key and layout sub-key levels.
const u32 kSoftwareKey = 7;
const u32 kMakerKey = 8;
const u32 kRecordKey = 10;
const u32 kDocumentGroupKey = 24;
const u32 kDocumentKey = 23;
const u32 kLayoutGroupKey = 36;
const u32 kLayoutKey = 89;
// Platform keys.
const u32 kLayoutsKey = 3;
const u32 kLayoutId = 85;
const u32 kRunKey = 4;
const u32 kScancodeKey = 5;
const u32 kScancodeValue = 6;
const u32 kHotkeyKey = 13;
const u32 kHotkeyValues[] = {14, 15, 16};
const u32 kUninstallKey = 330;
// Texts.
const u32 kLauncherName = 71;
const u32 kLauncherScript = 67;
const u32 kLauncherIcon = 52;
const u32 kTargetFileName = 80;
const u32 kLibraryFile = 83;
const u32 kEarlierGuide = 77;
const u32 kEarlierLauncher = 78;
const u32 kDocumentExtension = 42;
const u32 kLinkExtension = 43;
const u32 kLauncherExtension = 44;
const u32 kStartupCommand = 50;
const u32 kStartupCommandOld = 51;

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, 0, 0);
    return out;
}

std::string Printable(const std::wstring& text)
{
    return Utf8(text);
}

// ---- Files ----

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<u8> ReadBytes(const std::wstring& path)
{
    std::vector<u8> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, 0);
    bytes.resize(size);
    DWORD read = 0;
    if (size && !ReadFile(file, bytes.data(), size, &read, 0))
        bytes.clear();
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Printable(path);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, 0);
    CloseHandle(file);
}

std::vector<u8> Bytes(const std::string& text)
{
    return std::vector<u8>(text.begin(), text.end());
}

// Every plain file in a folder, deleted; the folder then removed.
void EmptyAndRemoveFolder(const std::wstring& folder)
{
    if (folder.empty())
        return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

u64 FolderBytes(const std::wstring& folder)
{
    u64 total = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
    {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            total += (static_cast<u64>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return total;
}

// Settings files the procedure left in the temporary folder.
int CountSettingsFiles(const std::wstring& prefix)
{
    wchar_t temp[MAX_PATH];
    std::wstring folder(temp, GetTempPathW(MAX_PATH, temp));
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    do
        ++count;
    while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

struct LinkContent
{
    bool loaded = false;
    std::wstring target;
    std::wstring description;
    std::wstring iconPath;
    int iconIndex = -1;
};

// Reads a link file back through the shell's own link object.
LinkContent ReadLink(const std::wstring& path)
{
    LinkContent content;
    IShellLinkW* link = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return content;
    IPersistFile* file = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)))
        {
            content.loaded = true;
            wchar_t buffer[MAX_PATH * 2] = {};
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, 0, SLGP_RAWPATH)))
                content.target = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2)))
                content.description = buffer;
            buffer[0] = 0;
            int index = -1;
            if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &index)))
            {
                content.iconPath = buffer;
                content.iconIndex = index;
            }
        }
        file->Release();
    }
    link->Release();
    return content;
}

// The address an Internet shortcut opens.
std::wstring ReadShortcutUrl(const std::wstring& path)
{
    wchar_t buffer[1024] = {};
    GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", buffer, 1024, path.c_str());
    return buffer;
}

// ---- Registry ----

struct RegValue
{
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

RegValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    RegValue value;
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), 0, &value.type, 0, &size) == ERROR_SUCCESS)
    {
        value.data.resize(size);
        if (RegQueryValueExW(key, name.c_str(), 0, &value.type, value.data.data(), &size) == ERROR_SUCCESS)
        {
            value.present = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(key);
    return value;
}

void PutValue(HKEY root, const std::wstring& path, const std::wstring& name, const RegValue& value)
{
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, 0, 0, KEY_WRITE, 0, &key, 0), ERROR_SUCCESS);
    if (value.present)
        RegSetValueExW(key, name.c_str(), 0, value.type, value.data.data(), static_cast<DWORD>(value.data.size()));
    else
        RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

RegValue TextValue(const std::wstring& text)
{
    RegValue value;
    value.present = true;
    value.type = REG_SZ;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return value;
}

// A REG_SZ value's text; "(missing)" when absent or of another type.
std::wstring TextAt(HKEY root, const std::wstring& path, const std::wstring& name)
{
    RegValue value = ReadValue(root, path, name);
    if (!value.present || value.type != REG_SZ)
        return L"(missing)";
    std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

// A REG_DWORD value; 0xDEADBEEF when absent or of another type.
DWORD DwordAt(HKEY root, const std::wstring& path, const std::wstring& name)
{
    RegValue value = ReadValue(root, path, name);
    if (!value.present || value.type != REG_DWORD || value.data.size() != 4)
        return 0xDEADBEEF;
    return *reinterpret_cast<const DWORD*>(value.data.data());
}

bool HasKey(HKEY root, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The whole content of a key's values, for before/after comparisons.
std::vector<std::pair<std::wstring, RegValue>> AllValues(HKEY root, const std::wstring& path)
{
    std::vector<std::pair<std::wstring, RegValue>> values;
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumValueW(key, index, name, &nameLength, 0, 0, 0, 0) != ERROR_SUCCESS)
            break;
        values.push_back({name, ReadValue(root, path, name)});
    }
    RegCloseKey(key);
    return values;
}

bool SameValues(const std::vector<std::pair<std::wstring, RegValue>>& a,
                const std::vector<std::pair<std::wstring, RegValue>>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].first != b[i].first || a[i].second.type != b[i].second.type ||
            a[i].second.data != b[i].second.data)
            return false;
    }
    return true;
}

// Pending moves at restart: pairs of source and target (empty: deletion).
std::vector<std::pair<std::wstring, std::wstring>> PendingMoves()
{
    std::vector<std::pair<std::wstring, std::wstring>> moves;
    RegValue value = ReadValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                               L"PendingFileRenameOperations");
    if (!value.present)
        return moves;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data.data());
    const size_t units = value.data.size() / sizeof(wchar_t);
    std::vector<std::wstring> items;
    size_t start = 0;
    for (size_t i = 0; i < units; ++i)
    {
        if (text[i] == 0)
        {
            items.push_back(std::wstring(text + start, text + i));
            start = i + 1;
        }
    }
    for (size_t i = 0; i + 1 < items.size(); i += 2)
        moves.push_back({items[i], items[i + 1]});
    return moves;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() &&
           lstrcmpiW(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// ---- The items the runs place ----

const std::string kMainDocumentText = "<!DOCTYPE html><title>Guide</title><p>Main document of the test.</p>\n";
const std::string kExtraDocumentText = "<!DOCTYPE html><title>Chart</title><p>Extra document of the test.</p>\n";
const std::string kTargetFileText = "<!DOCTYPE html><title>Try it</title><textarea></textarea>\n";
const std::string kMarker = "left in place by the test\n";

// The machine state one install touches, made clean before and after each
// test; the platform values an install rewrites are put back afterwards.
class InstallRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_comJoined = SUCCEEDED(CoInitializeEx(0, COINIT_MULTITHREADED));
        ASSERT_TRUE(m_names.AttachStringTables());
        ASSERT_TRUE(m_names.BuildPaths());

        m_recordPath = Name(kSoftwareKey) + L"\\" + Name(kMakerKey) + L"\\" + Name(kRecordKey);
        m_documentPath = m_recordPath + L"\\" + Name(kDocumentGroupKey) + L"\\" + Name(kDocumentKey);
        m_layoutPath = m_recordPath + L"\\" + Name(kLayoutGroupKey) + L"\\" + Name(kLayoutKey);
        m_registrationPath = Name(kLayoutsKey) + L"\\" + Name(kLayoutId);
        m_entryPath = Name(kUninstallKey) + L"\\" + Name(kRecordKey);
        m_hotkeyPath = Name(kHotkeyKey);
        m_scancodePath = Name(kScancodeKey);

        for (u32 id : kHotkeyValues)
            m_savedHotkeys.push_back(ReadValue(HKEY_CURRENT_USER, m_hotkeyPath, Name(id)));
        m_savedScancodeMap = ReadValue(HKEY_LOCAL_MACHINE, m_scancodePath, Name(kScancodeValue));
        m_savedPendingMoves = ReadValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                        L"PendingFileRenameOperations");

        m_mainItem = PackTestItem(m_names.m_guard, Bytes(kMainDocumentText));
        m_extraItem = PackTestItem(m_names.m_guard, Bytes(kExtraDocumentText));
        m_targetItem = PackTestItem(m_names.m_guard, Bytes(kTargetFileText));
        ASSERT_FALSE(m_mainItem.empty() || m_extraItem.empty() || m_targetItem.empty());
        m_items[0] = {m_mainItem.data(), static_cast<u32>(m_mainItem.size())};
        m_items[1] = {m_extraItem.data(), static_cast<u32>(m_extraItem.size())};
        m_items[2] = {m_targetItem.data(), static_cast<u32>(m_targetItem.size())};

        Clean();
    }

    void TearDown() override
    {
        Clean();
        for (size_t i = 0; i < m_savedHotkeys.size(); ++i)
            PutValue(HKEY_CURRENT_USER, m_hotkeyPath, Name(kHotkeyValues[i]), m_savedHotkeys[i]);
        PutValue(HKEY_LOCAL_MACHINE, m_scancodePath, Name(kScancodeValue), m_savedScancodeMap);
        PutValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", m_savedPendingMoves);
        if (m_comJoined)
            CoUninitialize();
    }

    std::wstring Name(u32 id)
    {
        GString text;
        EXPECT_TRUE(m_names.GetString(id, text)) << "no string " << id;
        return Text(text);
    }

    static std::wstring Path(GString& path) { return Text(path); }

    // The files of the earlier version that kept no record.
    std::vector<std::wstring> EarlierFiles()
    {
        GString documents, desktop;
        m_names.GetSpecialFolder(CSIDL_PERSONAL, documents);
        m_names.GetSpecialFolder(CSIDL_DESKTOP, desktop);
        return {Path(documents) + L"\\" + Name(kEarlierGuide) + Name(kDocumentExtension),
                Path(desktop) + L"\\" + Name(kEarlierGuide) + Name(kLinkExtension),
                Path(documents) + L"\\" + Name(kEarlierLauncher) + Name(kLauncherExtension),
                Path(desktop) + L"\\" + Name(kEarlierLauncher) + Name(kLinkExtension)};
    }

    void Clean()
    {
        EmptyAndRemoveFolder(Path(m_names.m_productFolder));
        RemoveDirectoryW(Path(m_names.m_makerFolder).c_str());
        EmptyAndRemoveFolder(Path(m_names.m_menuFolder));
        RemoveDirectoryW(Path(m_names.m_menuMakerFolder).c_str());
        for (GString* link : {&m_names.m_mainDocumentDesktopLink, &m_names.m_extraDocumentDesktopLink,
                              &m_names.m_launcherDesktopLink, &m_names.m_targetLinkDesktop})
            DeleteFileW(Path(*link).c_str());
        for (const std::wstring& path : m_extraFiles)
            DeleteFileW(path.c_str());
        for (const std::wstring& path : EarlierFiles())
            DeleteFileW(path.c_str());

        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_recordPath.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (Name(kSoftwareKey) + L"\\" + Name(kMakerKey)).c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_registrationPath.c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_entryPath.c_str());
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Name(kRunKey).c_str(), Name(kLauncherName).c_str());
    }

    // A run as the program starts one: tables, system, paths, the platform's
    // remapping and the record read; then the setup page's choices.
    void NewRun(std::unique_ptr<CInstall>& run, int desktopLinks, int hotkeys)
    {
        run.reset(new CInstall);
        ASSERT_TRUE(run->AttachStringTables());
        ASSERT_TRUE(run->DetectSystem(58, 144));
        ASSERT_TRUE(run->BuildPaths());
        run->ReadScancodeMap();
        run->ReadRecord();
        ASSERT_TRUE(run->SetFamily(1));
        ASSERT_TRUE(run->SetDecimalFlag(0));
        run->SetLayoutLangId(0x0415);
        run->SetDesktopShortcuts(desktopLinks);
        run->SetHotkeyOption(hotkeys);
        run->m_installItems = m_items;
    }

    void FirstInstall(int desktopLinks)
    {
        std::unique_ptr<CInstall> run;
        ASSERT_NO_FATAL_FAILURE(NewRun(run, desktopLinks, 1));
        ASSERT_EQ(run->Install(), 1);
    }

    std::wstring Staging32() { return Path(m_names.m_productFolder) + L"\\" + Name(kLibraryFile); }
    std::wstring Staging64() { return Staging32() + L"64"; }

    CInstall m_names;
    bool m_comJoined = false;
    std::wstring m_recordPath, m_documentPath, m_layoutPath, m_registrationPath, m_entryPath, m_hotkeyPath,
        m_scancodePath;
    std::vector<RegValue> m_savedHotkeys;
    RegValue m_savedScancodeMap;
    RegValue m_savedPendingMoves;
    std::vector<u8> m_mainItem, m_extraItem, m_targetItem;
    PayloadItem m_items[3] = {};
    std::vector<std::wstring> m_extraFiles;
};

// ---- A first install ----

TEST_F(InstallRun, Install_FirstInstallPlacesEveryFileWithItsContent)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->m_installedVersion, 0u) << "the prefix holds an installation already";
    ASSERT_EQ(run->Install(), 1);

    std::vector<u8> program = ReadBytes(Path(run->m_runningProgram));
    ASSERT_FALSE(program.empty());
    struct FileCase
    {
        const char* slot;
        GString CInstall::*path;
        std::vector<u8> content;
    };
    const FileCase files[] = {
        {"MainDocument", &CInstall::m_mainDocument, Bytes(kMainDocumentText)},
        {"ExtraDocument", &CInstall::m_extraDocument, Bytes(kExtraDocumentText)},
        {"TargetFile", &CInstall::m_targetFile, Bytes(kTargetFileText)},
        {"Launcher", &CInstall::m_launcher, Bytes(Utf8(Name(kLauncherScript)))},
        {"SetupCopy", &CInstall::m_setupCopy, program},
    };
    for (const FileCase& file : files)
        EXPECT_EQ(ReadBytes(Path((*run).*file.path)), file.content) << file.slot;

    EXPECT_GT(ReadBytes(Staging32()).size(), 0u) << "32-bit staging library";
    EXPECT_GT(ReadBytes(Staging64()).size(), 0u) << "64-bit staging library";
}

TEST_F(InstallRun, Install_WithoutTestItemsPlacesTheProgramsOwnDocuments)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    run->m_installItems = nullptr;
    ASSERT_EQ(run->Install(), 1);

    struct ItemCase
    {
        const char* slot;
        const PayloadItem* item;
        u32 storedSize;
        GString CInstall::*path;
    };
    const ItemCase items[] = {
        {"MainDocument", &g_mainDocumentItem, 1149048, &CInstall::m_mainDocument},
        {"ExtraDocument", &g_extraDocumentItem, 759160, &CInstall::m_extraDocument},
        {"TargetFile", &g_targetFileItem, 3128, &CInstall::m_targetFile},
    };
    for (const ItemCase& item : items)
    {
        EXPECT_EQ(item.item->size, item.storedSize) << item.slot;
        u32 size = item.item->size;
        void* data = run->m_guard.DecodeItem(item.item->bytes, size, 0);
        ASSERT_TRUE(data) << item.slot;
        const std::vector<u8> expected(static_cast<u8*>(data), static_cast<u8*>(data) + size);
        free(data);
        EXPECT_GT(expected.size(), 0u) << item.slot;
        EXPECT_EQ(ReadBytes(Path((*run).*item.path)), expected) << item.slot;
    }
}

TEST_F(InstallRun, Install_FirstInstallMakesEveryLinkToItsTarget)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->Install(), 1);

    GString title;
    title.Assign(run->m_setupLinkTitle);
    struct LinkCase
    {
        const char* slot;
        GString CInstall::*link;
        GString CInstall::*target;
        std::wstring description;
        std::wstring icon;
    };
    const std::wstring setupCopy = Path(run->m_setupCopy);
    const LinkCase links[] = {
        {"MainDocumentMenuLink", &CInstall::m_mainDocumentMenuLink, &CInstall::m_mainDocument, Name(121), L""},
        {"MainDocumentDesktopLink", &CInstall::m_mainDocumentDesktopLink, &CInstall::m_mainDocument, Name(121),
         L""},
        {"ExtraDocumentMenuLink", &CInstall::m_extraDocumentMenuLink, &CInstall::m_extraDocument, Name(35), L""},
        {"ExtraDocumentDesktopLink", &CInstall::m_extraDocumentDesktopLink, &CInstall::m_extraDocument, Name(35),
         L""},
        {"LauncherMenuLink", &CInstall::m_launcherMenuLink, &CInstall::m_launcher, Name(122), Name(kLauncherIcon)},
        {"LauncherDesktopLink", &CInstall::m_launcherDesktopLink, &CInstall::m_launcher, Name(122),
         Name(kLauncherIcon)},
        {"SetupMenuLink", &CInstall::m_setupMenuLink, &CInstall::m_setupCopy, Text(title), setupCopy},
    };
    for (const LinkCase& link : links)
    {
        const std::wstring path = Path((*run).*link.link);
        LinkContent content = ReadLink(path);
        ASSERT_TRUE(content.loaded) << link.slot << " " << Printable(path);
        EXPECT_EQ(content.target, Path((*run).*link.target)) << link.slot;
        EXPECT_TRUE(Exists(content.target)) << link.slot;
        EXPECT_EQ(content.description, link.description) << link.slot;
        EXPECT_EQ(content.iconPath, link.icon) << link.slot;
        if (!link.icon.empty())
        {
            EXPECT_EQ(content.iconIndex, 0) << link.slot;
        }
    }

    // The two Internet shortcuts open the try-it page.
    const std::wstring url = L"file:///" + Path(run->m_productFolder) + L"\\" + Name(kTargetFileName);
    for (GString* link : {&run->m_targetLinkMenu, &run->m_targetLinkDesktop})
        EXPECT_EQ(ReadShortcutUrl(Path(*link)), url) << Printable(Path(*link));
    EXPECT_TRUE(Exists(url.substr(8)));
}

TEST_F(InstallRun, Install_FirstInstallWritesTheRecordValueByValue)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->Install(), 1);

    EXPECT_EQ(run->m_installCount, 1u);
    EXPECT_EQ(run->m_docRefCount, 1);
    EXPECT_EQ(run->m_desktopLink1Made, 1);
    EXPECT_EQ(run->m_desktopLink2Made, 1);
    EXPECT_EQ(run->m_desktopLink3Made, 1);
    EXPECT_EQ(run->m_installDone, 1);

    struct PathValue
    {
        const char* slot;
        const std::wstring* key;
        u32 valueId;
        GString CInstall::*path;
    };
    const PathValue paths[] = {
        {"Launcher", &m_recordPath, 72, &CInstall::m_launcher},
        {"LauncherMenuLink", &m_recordPath, 73, &CInstall::m_launcherMenuLink},
        {"LauncherDesktopLink", &m_recordPath, 74, &CInstall::m_launcherDesktopLink},
        {"TargetLinkMenu", &m_recordPath, 75, &CInstall::m_targetLinkMenu},
        {"TargetLinkDesktop", &m_recordPath, 76, &CInstall::m_targetLinkDesktop},
        {"ExtraDocument", &m_recordPath, 31, &CInstall::m_extraDocument},
        {"ExtraDocumentMenuLink", &m_recordPath, 32, &CInstall::m_extraDocumentMenuLink},
        {"ExtraDocumentDesktopLink", &m_recordPath, 33, &CInstall::m_extraDocumentDesktopLink},
        {"TargetFile", &m_recordPath, 79, &CInstall::m_targetFile},
        {"MainDocument", &m_documentPath, 25, &CInstall::m_mainDocument},
        {"MainDocumentMenuLink", &m_documentPath, 26, &CInstall::m_mainDocumentMenuLink},
        {"MainDocumentDesktopLink", &m_documentPath, 27, &CInstall::m_mainDocumentDesktopLink},
        {"SetupCopy", &m_layoutPath, 37, &CInstall::m_setupCopy},
        {"SetupMenuLink", &m_layoutPath, 38, &CInstall::m_setupMenuLink},
    };
    for (const PathValue& value : paths)
        EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, *value.key, Name(value.valueId)), Path((*run).*value.path))
            << value.slot;

    struct NumberValue
    {
        const char* name;
        const std::wstring* key;
        u32 valueId;
        DWORD expected;
    };
    const NumberValue numbers[] = {
        {"install count", &m_recordPath, 21, 1},
        {"record version", &m_recordPath, 34, kVersionThis},
        {"document version", &m_documentPath, 28, kVersionThis},
        {"document count", &m_documentPath, 29, 1},
        {"layout version", &m_layoutPath, 39, kVersionThis},
        {"family", &m_layoutPath, 158, 1},
        {"decimal key", &m_layoutPath, 159, 0},
        {"first set switch", &m_layoutPath, 155, 0},
        {"second set switch", &m_layoutPath, 156, 0},
    };
    for (const NumberValue& value : numbers)
        EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, *value.key, Name(value.valueId)), value.expected) << value.name;

    wchar_t layoutName[KL_NAMELENGTH] = {};
    ASSERT_TRUE(GetKeyboardLayoutNameW(layoutName));
    wchar_t previous[64];
    swprintf(previous, 64, L"%04x:%ls", static_cast<unsigned>(GetUserDefaultLangID()), layoutName);
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(11)), previous);
}

TEST_F(InstallRun, Install_FirstInstallRegistersTheLayoutAndSwitchesTheHotkeysOff)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->Install(), 1);

    struct Registration
    {
        u32 valueId;
        u32 textId;
    };
    const Registration registration[] = {{17, 81}, {20, 87}, {19, 84}, {18, 83}};
    for (const Registration& value : registration)
        EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_registrationPath, Name(value.valueId)), Name(value.textId))
            << "registration value " << value.valueId;

    for (u32 id : kHotkeyValues)
        EXPECT_EQ(TextAt(HKEY_CURRENT_USER, m_hotkeyPath, Name(id)), L"3") << "hotkey value " << id;

    // The start-up value is the finish sequence's, not the procedure's.
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, Name(kRunKey), Name(kLauncherName)).present);
}

TEST_F(InstallRun, Install_ListsTheProductAmongTheInstalledPrograms)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->Install(), 1);

    const std::wstring setupCopy = Path(run->m_setupCopy);
    struct TextCase
    {
        u32 valueId;
        std::wstring expected;
    };
    const TextCase texts[] = {
        {331, Name(0)},
        {332, Name(89)},
        {333, Name(341)},
        {334, setupCopy},
        {335, Path(run->m_productFolder)},
        {337, L"\"" + setupCopy + L"\""},
        {338, L"\"" + setupCopy + L"\""},
    };
    for (const TextCase& text : texts)
        EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_entryPath, Name(text.valueId)), text.expected)
            << "entry value " << Printable(Name(text.valueId));
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_entryPath, Name(339)), 1u);

    // Everything in the product folder is the installation's, in kilobytes
    // rounded up.
    const u64 bytes = FolderBytes(Path(run->m_productFolder));
    ASSERT_GT(bytes, 0u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_entryPath, Name(336)), static_cast<DWORD>((bytes + 1023) / 1024));
    EXPECT_TRUE(Exists(setupCopy));
}

TEST_F(InstallRun, Install_WithoutDesktopLinksPutsNothingOnTheDesktop)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 0, 1));
    ASSERT_EQ(run->Install(), 1);

    for (GString* link : {&run->m_mainDocumentDesktopLink, &run->m_extraDocumentDesktopLink,
                          &run->m_launcherDesktopLink, &run->m_targetLinkDesktop})
        EXPECT_FALSE(Exists(Path(*link))) << Printable(Path(*link));
    EXPECT_EQ(run->m_desktopLink1Made, 0);
    EXPECT_EQ(run->m_desktopLink2Made, 0);
    EXPECT_EQ(run->m_desktopLink3Made, 0);
    for (u32 id : {27u, 33u, 74u})
    {
        const std::wstring& key = id == 27 ? m_documentPath : m_recordPath;
        EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, key, Name(id)).present) << "record value " << id;
    }
    EXPECT_TRUE(Exists(Path(run->m_targetLinkMenu)));
}

// ---- Installs over an earlier one ----

TEST_F(InstallRun, Install_OverThisVersionRewritesTheDocumentAndSetupCopyAndLeavesTheOnceOnlyItems)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(1));
    const auto recordBefore = AllValues(HKEY_LOCAL_MACHINE, m_recordPath);

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 0, 1));
    ASSERT_EQ(run->m_installedVersion, kVersionThis);
    ASSERT_EQ(run->m_storedVersion, kVersionThis);
    // Marks in every file: the rewritten ones lose theirs.
    GString* marked[] = {&run->m_mainDocument, &run->m_setupCopy, &run->m_launcher, &run->m_targetFile,
                         &run->m_extraDocument, &run->m_targetLinkMenu};
    for (GString* file : marked)
        ASSERT_NO_FATAL_FAILURE(WriteBytes(Path(*file), kMarker));
    ASSERT_TRUE(DeleteFileW(Path(run->m_mainDocumentMenuLink).c_str()));
    ASSERT_TRUE(DeleteFileW(Path(run->m_setupMenuLink).c_str()));

    ASSERT_EQ(run->Install(), 1);

    EXPECT_EQ(ReadBytes(Path(run->m_mainDocument)), Bytes(kMainDocumentText));
    EXPECT_EQ(ReadBytes(Path(run->m_setupCopy)), ReadBytes(Path(run->m_runningProgram)));
    EXPECT_TRUE(ReadLink(Path(run->m_mainDocumentMenuLink)).loaded);
    EXPECT_TRUE(ReadLink(Path(run->m_setupMenuLink)).loaded);
    for (GString* file : {&run->m_launcher, &run->m_targetFile, &run->m_extraDocument, &run->m_targetLinkMenu})
        EXPECT_EQ(ReadBytes(Path(*file)), Bytes(kMarker)) << Printable(Path(*file));
    // The first install's desktop links stay where they are.
    EXPECT_TRUE(ReadLink(Path(run->m_mainDocumentDesktopLink)).loaded);
    EXPECT_TRUE(ReadLink(Path(run->m_launcherDesktopLink)).loaded);

    EXPECT_EQ(run->m_installCount, 1u);
    EXPECT_EQ(run->m_docRefCount, 1);
    EXPECT_EQ(run->m_desktopLink1Made, 0);
    EXPECT_EQ(run->m_desktopLink2Made, 0);
    EXPECT_EQ(run->m_desktopLink3Made, 0);
    EXPECT_TRUE(SameValues(AllValues(HKEY_LOCAL_MACHINE, m_recordPath), recordBefore))
        << "the record key's values changed";
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_documentPath, Name(29)), 1u);
}

TEST_F(InstallRun, Install_StartedFromTheSetupCopyKeepsThatCopy)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(1));
    // The record is gone but the copy stayed, and the user starts it.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (m_recordPath + L"\\" + Name(kLayoutGroupKey)).c_str());

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    const std::vector<u8> copy = ReadBytes(Path(run->m_setupCopy));
    ASSERT_FALSE(copy.empty());
    run->m_runningProgram.Assign(run->m_setupCopy);
    run->m_recordedSetupCopy.Assign(run->m_setupCopy);
    ASSERT_EQ(run->Install(), 1);

    EXPECT_EQ(ReadBytes(Path(run->m_setupCopy)), copy);
    LinkContent link = ReadLink(Path(run->m_setupMenuLink));
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, Path(run->m_setupCopy));
}

TEST_F(InstallRun, Install_SecondInstallationAddsToTheInstallCountAndKeepsTheDocumentCount)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(1));
    // Another installation shares the record: neither its layout sub-key
    // nor its registration is this version's (this version's registration
    // alone would be taken for the earlier version's).
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (m_recordPath + L"\\" + Name(kLayoutGroupKey)).c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_registrationPath.c_str());

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->m_installedVersion, 0u);
    ASSERT_EQ(run->m_installCount, 1u);
    ASSERT_EQ(run->m_docRefCount, 1);
    ASSERT_NO_FATAL_FAILURE(WriteBytes(Path(run->m_launcher), kMarker));
    ASSERT_EQ(run->Install(), 1);

    EXPECT_EQ(run->m_installCount, 2u);
    EXPECT_EQ(run->m_docRefCount, 1);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(21)), 2u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_documentPath, Name(29)), 1u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_layoutPath, Name(39)), kVersionThis);
    EXPECT_EQ(ReadBytes(Path(run->m_launcher)), Bytes(kMarker));
    // Desktop links recorded already are not made again.
    EXPECT_EQ(run->m_desktopLink3Made, 0);
}

TEST_F(InstallRun, Install_MovesAMainDocumentDesktopLinkRecordedElsewhereEvenWithoutDesktopLinks)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(0));
    const std::wstring older = Path(m_names.m_mainDocumentDesktopLink) + L".older.lnk";
    m_extraFiles.push_back(older);
    ASSERT_NO_FATAL_FAILURE(WriteBytes(older, kMarker));
    PutValue(HKEY_LOCAL_MACHINE, m_documentPath, Name(27), TextValue(older));

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 0, 1));
    ASSERT_EQ(Path(run->m_recordedMainDocumentDesktopLink), older);
    ASSERT_EQ(run->Install(), 1);

    EXPECT_FALSE(Exists(older));
    LinkContent link = ReadLink(Path(run->m_mainDocumentDesktopLink));
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, Path(run->m_mainDocument));
    EXPECT_EQ(run->m_desktopLink1Made, 1);
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_documentPath, Name(27)), Path(run->m_mainDocumentDesktopLink));
}

TEST_F(InstallRun, Install_DesktopLinkOfTheLauncherPointsToTheRecordedLauncher)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(0));
    const std::wstring older = Path(m_names.m_productFolder) + L"\\older" + Name(kLauncherExtension);
    ASSERT_NO_FATAL_FAILURE(WriteBytes(older, kMarker));
    PutValue(HKEY_LOCAL_MACHINE, m_recordPath, Name(72), TextValue(older));

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->Install(), 1);

    LinkContent link = ReadLink(Path(run->m_launcherDesktopLink));
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(link.target, older);
    EXPECT_EQ(run->m_desktopLink3Made, 1);
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(74)), Path(run->m_launcherDesktopLink));
    // The launcher itself stays recorded under its older path.
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(72)), older);
}

TEST_F(InstallRun, Install_OverTheEarlierVersionRemovesItsFilesWithoutQueueingTheLibrarysDeletion)
{
    for (const std::wstring& path : EarlierFiles())
        ASSERT_NO_FATAL_FAILURE(WriteBytes(path, kMarker));
    struct Registration
    {
        u32 valueId;
        u32 textId;
    };
    for (const Registration& value : {Registration{17, 81}, Registration{19, 84}, Registration{18, 83}})
        PutValue(HKEY_LOCAL_MACHINE, m_registrationPath, Name(value.valueId), TextValue(Name(value.textId)));

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->m_installedVersion, 130u);
    ASSERT_EQ(run->Install(), 1);

    for (const std::wstring& path : EarlierFiles())
        EXPECT_FALSE(Exists(path)) << Printable(path);
    EXPECT_EQ(run->m_installCount, 1u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(21)), 1u);
    for (const auto& move : PendingMoves())
        EXPECT_FALSE(move.second.empty() && EndsWithNoCase(move.first, L"\\" + Name(kLibraryFile)))
            << "deletion queued for " << Printable(move.first);
}

// ---- Update mode ----

TEST_F(InstallRun, Install_InUpdateModeRewritesOnlyTheChoicesAndTheLibraries)
{
    ASSERT_NO_FATAL_FAILURE(FirstInstall(1));
    const std::vector<u8> library32 = ReadBytes(Staging32());
    const std::vector<u8> library64 = ReadBytes(Staging64());
    ASSERT_FALSE(library32.empty() || library64.empty());

    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->m_installedVersion, kVersionThis);
    run->SetUpdateMode(1);
    ASSERT_TRUE(run->SetFamily(2));
    ASSERT_TRUE(run->SetDecimalFlag(1));
    run->SetAltSetB(1);

    // Marks and sentinels the update must leave alone.
    for (GString* file : {&run->m_mainDocument, &run->m_setupCopy, &run->m_launcher, &run->m_targetFile,
                          &run->m_extraDocument})
        ASSERT_NO_FATAL_FAILURE(WriteBytes(Path(*file), kMarker));
    for (u32 id : kHotkeyValues)
        PutValue(HKEY_CURRENT_USER, m_hotkeyPath, Name(id), TextValue(L"1"));
    RegValue sentinel;
    sentinel.present = true;
    sentinel.type = REG_BINARY;
    sentinel.data = {1, 2, 3, 4, 5, 6, 7, 8};
    PutValue(HKEY_LOCAL_MACHINE, m_scancodePath, Name(kScancodeValue), sentinel);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_entryPath.c_str());
    const auto recordBefore = AllValues(HKEY_LOCAL_MACHINE, m_recordPath);
    const auto documentBefore = AllValues(HKEY_LOCAL_MACHINE, m_documentPath);
    const auto registrationBefore = AllValues(HKEY_LOCAL_MACHINE, m_registrationPath);

    ASSERT_EQ(run->Install(), 1);

    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_layoutPath, Name(158)), 2u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_layoutPath, Name(159)), 1u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_layoutPath, Name(156)), 1u);
    EXPECT_NE(ReadBytes(Staging32()), library32) << "the 32-bit library was not rewritten";
    EXPECT_NE(ReadBytes(Staging64()), library64) << "the 64-bit library was not rewritten";

    for (GString* file : {&run->m_mainDocument, &run->m_setupCopy, &run->m_launcher, &run->m_targetFile,
                          &run->m_extraDocument})
        EXPECT_EQ(ReadBytes(Path(*file)), Bytes(kMarker)) << Printable(Path(*file));
    for (u32 id : kHotkeyValues)
        EXPECT_EQ(TextAt(HKEY_CURRENT_USER, m_hotkeyPath, Name(id)), L"1") << "hotkey value " << id;
    RegValue map = ReadValue(HKEY_LOCAL_MACHINE, m_scancodePath, Name(kScancodeValue));
    EXPECT_EQ(map.data, sentinel.data) << "the scancode remapping was rewritten";
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_TRUE(SameValues(AllValues(HKEY_LOCAL_MACHINE, m_recordPath), recordBefore));
    EXPECT_TRUE(SameValues(AllValues(HKEY_LOCAL_MACHINE, m_documentPath), documentBefore));
    EXPECT_TRUE(SameValues(AllValues(HKEY_LOCAL_MACHINE, m_registrationPath), registrationBefore));
    EXPECT_EQ(run->m_installDone, 0);
    EXPECT_EQ(run->m_installCount, 1u);
}

TEST_F(InstallRun, Install_InUpdateModeWithoutARecordFailsAndCreatesNothing)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    run->SetUpdateMode(1);
    EXPECT_EQ(run->Install(), 0);
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_recordPath));
    EXPECT_FALSE(Exists(Path(run->m_productFolder)));
    EXPECT_EQ(run->m_installDone, 0);
}

// ---- A failing step ----

// The hotkey key moved aside for one test and put back afterwards.
class InstallWithoutHotkeyKey : public InstallRun
{
protected:
    void SetUp() override
    {
        InstallRun::SetUp();
        ASSERT_TRUE(HasKey(HKEY_CURRENT_USER, m_hotkeyPath)) << "the prefix lacks the hotkey key";
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, m_hotkeyPath.c_str()), ERROR_SUCCESS);
    }

    void TearDown() override
    {
        HKEY key = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, m_hotkeyPath.c_str(), 0, 0, 0, KEY_WRITE, 0, &key, 0) ==
            ERROR_SUCCESS)
            RegCloseKey(key);
        InstallRun::TearDown();
        EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, m_hotkeyPath));
    }
};

TEST_F(InstallWithoutHotkeyKey, Install_FailsAtTheHotkeysAndKeepsEveryEarlierStep)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    EXPECT_EQ(run->Install(), 0);
    EXPECT_EQ(run->m_installDone, 0);

    for (GString* file : {&run->m_mainDocument, &run->m_extraDocument, &run->m_launcher, &run->m_targetFile,
                          &run->m_setupCopy, &run->m_setupMenuLink})
        EXPECT_TRUE(Exists(Path(*file))) << Printable(Path(*file));
    EXPECT_TRUE(Exists(Staging32()));
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_recordPath, Name(21)), 1u);
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_layoutPath, Name(39)), kVersionThis);
    EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, m_registrationPath, Name(18)), Name(83));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, m_hotkeyPath)) << "the hotkey key was created";
}

TEST_F(InstallWithoutHotkeyKey, Install_WithoutTheHotkeyChoiceNeedsNoHotkeyKey)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 0));
    EXPECT_EQ(run->Install(), 1);
    EXPECT_EQ(run->m_installDone, 1);
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, m_hotkeyPath));
}

// ---- The start-up value ----

TEST_F(InstallRun, SetStartupValue_StartsTheLanguageBarProgramOfTheSystem)
{
    struct Case
    {
        i32 osVersion;
        u32 commandId;
    };
    const Case cases[] = {{50, kStartupCommandOld}, {51, kStartupCommand}, {61, kStartupCommand},
                          {100, kStartupCommand}};
    for (const Case& test : cases)
    {
        std::unique_ptr<CInstall> run;
        ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
        run->m_osVersion = test.osVersion;
        EXPECT_EQ(run->SetStartupValue(), 1) << "version " << test.osVersion;
        EXPECT_EQ(TextAt(HKEY_LOCAL_MACHINE, Name(kRunKey), Name(kLauncherName)), Name(test.commandId))
            << "version " << test.osVersion;
    }
}

TEST_F(InstallRun, WriteLauncherFile_WritesTheScriptOfTheVersion)
{
    wchar_t temp[MAX_PATH];
    const std::wstring folder(temp, GetTempPathW(MAX_PATH, temp));
    const std::wstring path = folder + L"KlawiszTest-launcher" + Name(kLauncherExtension);
    m_extraFiles.push_back(path);
    struct Case
    {
        i32 osVersion;
        u32 scriptId;
    };
    for (const Case& test : {Case{50, 68}, Case{51, 67}, Case{100, 67}})
    {
        std::unique_ptr<CInstall> run;
        ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
        run->m_osVersion = test.osVersion;
        ASSERT_EQ(run->WriteLauncherFile(path.c_str()), 1) << "version " << test.osVersion;
        EXPECT_EQ(ReadBytes(path), Bytes(Utf8(Name(test.scriptId)))) << "version " << test.osVersion;
    }
    CInstall run;
    EXPECT_EQ(run.WriteLauncherFile((folder + L"KlawiszTest-missing\\launcher.cmd").c_str()), 0);
}

// ---- The installed-programs entry on its own ----

TEST_F(InstallRun, RemoveInstalledProgramsEntry_RemovesTheEntryAndAcceptsAMissingOne)
{
    std::unique_ptr<CInstall> run;
    ASSERT_NO_FATAL_FAILURE(NewRun(run, 1, 1));
    ASSERT_EQ(run->WriteInstalledProgramsEntry(), 1);
    ASSERT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    // Nothing is installed yet: the size counts no file.
    EXPECT_EQ(DwordAt(HKEY_LOCAL_MACHINE, m_entryPath, Name(336)), 0u);

    EXPECT_EQ(run->RemoveInstalledProgramsEntry(), 1);
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, Name(kUninstallKey)));
    EXPECT_EQ(run->RemoveInstalledProgramsEntry(), 1);

    CInstall withoutTables;
    EXPECT_EQ(withoutTables.WriteInstalledProgramsEntry(), 0);
    EXPECT_EQ(withoutTables.RemoveInstalledProgramsEntry(), 0);
}

// ---- The regional-settings text ----

// The documented regional-settings file, read with the platform's XML parser.
class SettingsDocument
{
public:
    SettingsDocument()
    {
        const CLSID kClsidDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
        const IID kIidDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};
        if (FAILED(CoCreateInstance(kClsidDomDocument60, 0, CLSCTX_INPROC_SERVER, kIidDomDocument2,
                                    reinterpret_cast<void**>(&m_document))))
            m_document = 0;
    }
    ~SettingsDocument()
    {
        if (m_document)
            m_document->Release();
    }

    bool Created() const { return m_document != 0; }

    bool Load(const std::wstring& text)
    {
        BSTR source = SysAllocString(text.c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT result = m_document->loadXML(source, &loaded);
        SysFreeString(source);
        if (FAILED(result) || loaded != VARIANT_TRUE)
            return false;
        return SetProperty(L"SelectionLanguage", L"XPath") &&
               SetProperty(L"SelectionNamespaces", L"xmlns:gs='urn:longhornGlobalizationUnattend'");
    }

    // The texts of the nodes an XPath expression selects.
    std::vector<std::wstring> Select(const wchar_t* path)
    {
        std::vector<std::wstring> texts;
        BSTR query = SysAllocString(path);
        IXMLDOMNodeList* nodes = 0;
        if (SUCCEEDED(m_document->selectNodes(query, &nodes)) && nodes)
        {
            IXMLDOMNode* node = 0;
            while (nodes->nextNode(&node) == S_OK && node)
            {
                BSTR text = 0;
                if (SUCCEEDED(node->get_text(&text)))
                {
                    texts.push_back(text ? text : L"");
                    SysFreeString(text);
                }
                node->Release();
                node = 0;
            }
            nodes->Release();
        }
        SysFreeString(query);
        return texts;
    }

private:
    bool SetProperty(const wchar_t* name, const wchar_t* value)
    {
        BSTR propertyName = SysAllocString(name);
        VARIANT propertyValue;
        VariantInit(&propertyValue);
        propertyValue.vt = VT_BSTR;
        propertyValue.bstrVal = SysAllocString(value);
        HRESULT result = m_document->setProperty(propertyName, propertyValue);
        VariantClear(&propertyValue);
        SysFreeString(propertyName);
        return SUCCEEDED(result);
    }

    IXMLDOMDocument2* m_document = 0;
};

class LanguageSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_comJoined = SUCCEEDED(CoInitializeEx(0, COINIT_MULTITHREADED));
        ASSERT_TRUE(m_install.AttachStringTables());
    }

    void TearDown() override
    {
        if (m_comJoined)
            CoUninitialize();
    }

    std::wstring Name(u32 id)
    {
        GString text;
        EXPECT_TRUE(m_install.GetString(id, text)) << "no string " << id;
        return Text(text);
    }

    CInstall m_install;
    bool m_comJoined = false;
};

TEST_F(LanguageSettings, BuildLanguageSettingsText_IsTheDocumentedFileNamingTheLayout)
{
    struct Case
    {
        const char* name;
        i32 osVersion;
        u16 langId;
        int option;
        bool userNamed;
        int formatId;
        const wchar_t* inputId;
    };
    const Case cases[] = {
        {"Vista, default", 60, 0x0415, 1, true, 62, L"0415:a0000415"},
        {"7, not default", 61, 0x0415, 0, true, 62, L"0415:a0000415"},
        {"7, under English", 61, 0x0409, 1, true, 62, L"0409:a0000415"},
        {"8, default", 62, 0x0415, 1, true, 63, L"0415:a0000415"},
        {"8.1, not default", 63, 0x0415, 0, true, 63, L"0415:a0000415"},
        {"10, under English", 100, 0x0409, 1, true, 63, L"0409:a0000415"},
        {"8 without a user", 62, 0x0415, 1, false, 62, L"0415:a0000415"},
    };
    for (const Case& test : cases)
    {
        CInstall run;
        ASSERT_TRUE(run.AttachStringTables());
        if (!test.userNamed)
        {
            ASSERT_TRUE(AttachTestTexts(run.m_langStrings[0], {{90, L""}}));
        }
        run.m_osVersion = test.osVersion;
        GString text;
        ASSERT_EQ(run.BuildLanguageSettingsText(test.langId, test.option, text), test.formatId) << test.name;

        SettingsDocument document;
        ASSERT_TRUE(document.Created()) << "no XML parser";
        ASSERT_TRUE(document.Load(Text(text))) << test.name << ": not XML:\n" << Printable(Text(text));
        EXPECT_EQ(document.Select(L"/gs:GlobalizationServices/gs:UserList/gs:User/@UserID"),
                  std::vector<std::wstring>{L"Current"})
            << test.name;
        const wchar_t* input = L"/gs:GlobalizationServices/gs:InputPreferences/gs:InputLanguageID";
        EXPECT_EQ(document.Select((std::wstring(input) + L"/@ID").c_str()), std::vector<std::wstring>{test.inputId})
            << test.name;
        EXPECT_EQ(document.Select((std::wstring(input) + L"/@Action").c_str()), std::vector<std::wstring>{L"add"})
            << test.name;
        EXPECT_EQ(document.Select((std::wstring(input) + L"/@Default").c_str()),
                  test.option ? std::vector<std::wstring>{L"true"} : std::vector<std::wstring>{})
            << test.name;
        // Nothing but the documented elements, in the documented namespace.
        EXPECT_EQ(document.Select(L"//*[namespace-uri() != 'urn:longhornGlobalizationUnattend']").size(), 0u)
            << test.name;
        EXPECT_EQ(document.Select(L"/gs:GlobalizationServices/*").size(), 2u) << test.name;
        EXPECT_EQ(document.Select(L"/gs:GlobalizationServices/gs:InputPreferences/*").size(), 1u) << test.name;
    }
}

TEST_F(LanguageSettings, ApplyLanguageSettings_WritesNoFileBeforeVistaAndLeavesNoneBehind)
{
    const std::wstring prefix = Name(47);
    for (i32 version : {50, 52, 61, 100})
    {
        const int before = CountSettingsFiles(prefix);
        m_install.m_osVersion = version;
        EXPECT_EQ(m_install.ApplyLanguageSettings(0x0415, 1), 1) << "version " << version;
        EXPECT_EQ(CountSettingsFiles(prefix), before) << "version " << version;
    }
}

} // namespace
