// The uninstall procedure against the real registry and file system of the
// test prefix: an installation is placed where the program puts one (files,
// record, registration, installed-programs entry, system folder libraries),
// then removed, and what goes, what stays and what waits for the restart is
// checked, the restart itself carried out by the platform's restart step.

#include "core/Install.h"

#include "payload/Catalogue.h"
#include "tests/install/TestItems.h"
#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{

const u32 kStringNativeSystemInfo = 58;
const u32 kStringKernelLibrary = 144;

// Key and value names as string ids; the tests take their texts from the
// program's own tables, as the procedure does.
const u32 kSoftwareKey = 7;
const u32 kMakerKey = 8;
const u32 kRecordKey = 10;
const u32 kDocumentGroupKey = 24;
const u32 kDocumentKey = 23;
const u32 kLayoutGroupKey = 36;
const u32 kLayoutKey = 89;
const u32 kLayoutsKey = 3;
const u32 kLayoutId = 85;
const u32 kInstalledProgramsKey = 330;
const u32 kInstalledProgramsEntryKey = 10;
const u32 kScancodeMapKey = 5;
const u32 kScancodeMapValue = 6;
const u32 kHotkeyKey = 13;
const u32 kHotkeyValues[] = {14, 15, 16};
const u32 kRunKey = 4;
const u32 kRunValue = 71;
const u32 kLibraryFile = 83;
const u32 kTempPrefix = 47;
const u32 kSettingsCommand = 49;
const u32 kDeleteKeyView = 59;

const u32 kValueInstallCount = 21;
const u32 kValueDocRefCount = 29;

// Texts a test puts in front of the program's own (through the language
// table, which the lookup asks first); none of them is a language text.
const u32 kOverrideLanguage = 1;

// ---- Files ----

bool FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileText(const std::wstring& path, const char* text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, 0);
    CloseHandle(file);
    return ok != FALSE;
}

std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, length);
}

// The files in a folder whose names match a wildcard pattern.
std::vector<std::wstring> FilesMatching(const std::wstring& folder, const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
    {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Every file and folder below a folder, as paths with the prefix; only the
// first level when not recursive.
void ListTree(const std::wstring& folder, const std::wstring& prefix, std::set<std::wstring>& out, bool recursive)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        out.insert(prefix + name);
        if (recursive && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ListTree(folder + L"\\" + name, prefix + name + L"\\", out, true);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = towlower(ch);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

bool WaitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 400; ++i)
    {
        if (condition())
            return true;
        Sleep(50);
    }
    return false;
}

// ---- Registry below a root key, for inspection and set-up ----

int HasKey(HKEY root, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int HasValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    return RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY, 0, 0, 0) == ERROR_SUCCESS;
}

DWORD DwordAt(const std::wstring& path, const std::wstring& name)
{
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, 0, &value, &size),
              ERROR_SUCCESS)
        << "no number " << Narrow(name);
    return value;
}

// A value's type and bytes, or "missing".
std::vector<u8> RawValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, 0, &size) != ERROR_SUCCESS)
        return {'m', 'i', 's', 's', 'i', 'n', 'g'};
    std::vector<u8> bytes(size + 1, 0);
    bytes[0] = static_cast<u8>(type);
    if (size && RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data() + 1,
                             &size) != ERROR_SUCCESS)
        return {'u', 'n', 'r', 'e', 'a', 'd'};
    return bytes;
}

void PutRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const void* data, size_t size)
{
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, 0, 0, KEY_SET_VALUE, 0, &key, 0), ERROR_SUCCESS)
        << Narrow(path);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void PutText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text)
{
    PutRaw(root, path, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void PutDword(const std::wstring& path, const std::wstring& name, DWORD value)
{
    PutRaw(HKEY_LOCAL_MACHINE, path, name, REG_DWORD, &value, sizeof(value));
}

// Every value and sub-key below a key, as one comparable text.
std::wstring Snapshot(HKEY root, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"(missing)";
    std::wstring out;
    for (DWORD i = 0;; ++i)
    {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[1024];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, 0, &type, data, &size) != ERROR_SUCCESS)
            break;
        out += L"[" + std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":";
        for (DWORD j = 0; j < size; ++j)
            out += std::to_wstring(data[j]) + L",";
        out += L"]";
    }
    for (DWORD i = 0;; ++i)
    {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, 0, 0, 0, 0) != ERROR_SUCCESS)
            break;
        const std::wstring sub(name, nameLength);
        out += L"{" + sub + L":" + Snapshot(root, path + L"\\" + sub) + L"}";
    }
    RegCloseKey(key);
    return out;
}

// Moves a key tree aside for the test and puts it back afterwards.
class SavedTree
{
public:
    void Save(HKEY root, const std::wstring& path, const std::wstring& backup)
    {
        m_root = root;
        m_path = path;
        m_backup = backup;
        m_saved = 0;
        HKEY source = 0;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
            return;
        HKEY target = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, backup.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &target, 0) ==
            ERROR_SUCCESS)
        {
            m_saved = RegCopyTreeW(source, 0, target) == ERROR_SUCCESS;
            RegCloseKey(target);
        }
        RegCloseKey(source);
        ASSERT_TRUE(m_saved) << "could not save " << Narrow(path) << " before the test";
        (void)RegDeleteTreeW(root, path.c_str());
    }

    void Restore()
    {
        if (m_path.empty())
            return;
        (void)RegDeleteTreeW(m_root, m_path.c_str());
        if (!m_saved)
            return;
        HKEY source = 0;
        HKEY target = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_backup.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS)
        {
            if (RegCreateKeyExW(m_root, m_path.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &target, 0) == ERROR_SUCCESS)
            {
                const LONG copied = RegCopyTreeW(source, 0, target);
                EXPECT_EQ(copied, ERROR_SUCCESS);
                RegCloseKey(target);
            }
            RegCloseKey(source);
        }
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, m_backup.c_str());
    }

private:
    HKEY m_root = 0;
    std::wstring m_path;
    std::wstring m_backup;
    int m_saved = 0;
};

// One value kept aside for the test and put back afterwards.
class SavedValue
{
public:
    void Save(HKEY root, const std::wstring& path, const std::wstring& name)
    {
        m_root = root;
        m_path = path;
        m_name = name;
        m_present = 0;
        DWORD size = 0;
        if (RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_type, 0, &size) !=
            ERROR_SUCCESS)
            return;
        m_data.resize(size);
        m_present = RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &m_type,
                                 m_data.data(), &size) == ERROR_SUCCESS;
        m_data.resize(size);
    }

    void Restore()
    {
        if (m_path.empty())
            return;
        HKEY key = 0;
        if (RegOpenKeyExW(m_root, m_path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        if (m_present)
            (void)RegSetValueExW(key, m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
        else
            (void)RegDeleteValueW(key, m_name.c_str());
        RegCloseKey(key);
    }

private:
    HKEY m_root = 0;
    std::wstring m_path;
    std::wstring m_name;
    DWORD m_type = 0;
    std::vector<u8> m_data;
    int m_present = 0;
};

// ---- Moves and deletions queued for the restart ----

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

std::vector<std::wstring> PendingRenames()
{
    std::vector<std::wstring> entries;
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entries;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, kPendingRenames, 0, &type, 0, &size) == ERROR_SUCCESS && size)
    {
        std::vector<wchar_t> data(size / 2 + 2, 0);
        if (RegQueryValueExW(key, kPendingRenames, 0, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
            ERROR_SUCCESS)
        {
            const size_t units = size / 2;
            size_t start = 0;
            for (size_t i = 0; i < units; ++i)
            {
                if (data[i] == 0)
                {
                    entries.push_back(std::wstring(data.data() + start, i - start));
                    start = i + 1;
                }
            }
        }
    }
    RegCloseKey(key);
    return entries;
}

// Whether a deletion of the file at path waits for the restart.
bool DeletionQueued(const std::wstring& path)
{
    std::vector<std::wstring> entries = PendingRenames();
    const std::wstring wanted = Lower(path);
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
    {
        const std::wstring source = Lower(entries[i]);
        if (source.size() >= wanted.size() &&
            source.compare(source.size() - wanted.size(), wanted.size(), wanted) == 0 && entries[i + 1].empty())
            return true;
    }
    return false;
}

// Carries out what waits for the restart, as the platform does when it
// starts again.
bool RunRestartStep()
{
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (!length || length >= MAX_PATH)
        return false;
    const std::wstring program = std::wstring(system, length) + L"\\wineboot.exe";
    std::wstring line = L"wineboot.exe -r";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        return false;
    const bool ended = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

// ---- The installed state ----

enum Place
{
    kInRecord,
    kInDocument,
    kInLayout
};

// Every installed-file slot, with the count that protects it.
enum Guard
{
    kDocumentCount,
    kInstallCount,
    kNoCount
};

struct Slot
{
    const char* name;
    u32 valueId;
    Guard guard;
    GString CInstall::*current;
};
const Slot kSlots[] = {
    {"MainDocument", 25, kDocumentCount, &CInstall::m_mainDocument},
    {"MainDocumentMenuLink", 26, kDocumentCount, &CInstall::m_mainDocumentMenuLink},
    {"MainDocumentDesktopLink", 27, kDocumentCount, &CInstall::m_mainDocumentDesktopLink},
    {"ExtraDocument", 31, kInstallCount, &CInstall::m_extraDocument},
    {"ExtraDocumentMenuLink", 32, kInstallCount, &CInstall::m_extraDocumentMenuLink},
    {"ExtraDocumentDesktopLink", 33, kInstallCount, &CInstall::m_extraDocumentDesktopLink},
    {"Launcher", 72, kInstallCount, &CInstall::m_launcher},
    {"LauncherMenuLink", 73, kInstallCount, &CInstall::m_launcherMenuLink},
    {"LauncherDesktopLink", 74, kInstallCount, &CInstall::m_launcherDesktopLink},
    {"TargetLinkMenu", 75, kInstallCount, &CInstall::m_targetLinkMenu},
    {"TargetLinkDesktop", 76, kInstallCount, &CInstall::m_targetLinkDesktop},
    {"TargetFile", 79, kInstallCount, &CInstall::m_targetFile},
    {"SetupCopy", 37, kNoCount, &CInstall::m_setupCopy},
    {"SetupMenuLink", 38, kNoCount, &CInstall::m_setupMenuLink},
};

const u32 kRegistrationNames[] = {17, 20, 19, 18};
const u32 kRegistrationData[] = {81, 87, 84, 83};

// The earlier version's files: folder, base name, extension.
struct EarlierFile
{
    int csidl;
    u32 nameId;
    u32 extensionId;
};
const EarlierFile kEarlierFiles[] = {
    {CSIDL_PERSONAL, 77, 42},
    {CSIDL_DESKTOP, 77, 43},
    {CSIDL_PERSONAL, 78, 44},
    {CSIDL_DESKTOP, 78, 43},
};

const wchar_t kBackupRoot[] = L"SOFTWARE\\KlawiszUninstallTestSaved";
const wchar_t kForeignLayout[] = L"00000409";
const u8 kScancodeMap[] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x1D, 0, 0x3A, 0, 0, 0, 0, 0};

// Each test starts without a record, registration or installed-programs
// entry of the product, with nothing queued for the restart, and with
// known scancode map, hotkey and start-up values; it leaves all of these
// and the file system as it found them.
class UninstallTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_EQ(m_names.AttachStringTables(), 1);
        Prepare(m_names);
        m_makerPath = Name(kSoftwareKey) + L"\\" + Name(kMakerKey);
        m_recordPath = m_makerPath + L"\\" + Name(kRecordKey);
        m_documentPath = m_recordPath + L"\\" + Name(kDocumentGroupKey) + L"\\" + Name(kDocumentKey);
        m_layoutGroupPath = m_recordPath + L"\\" + Name(kLayoutGroupKey);
        m_layoutPath = m_layoutGroupPath + L"\\" + Name(kLayoutKey);
        m_layoutsPath = Name(kLayoutsKey);
        m_registrationPath = m_layoutsPath + L"\\" + Name(kLayoutId);
        m_entryPath = Name(kInstalledProgramsKey) + L"\\" + Name(kInstalledProgramsEntryKey);
        m_hotkeyPath = Name(kHotkeyKey);

        m_folders = {Text(m_names.m_productFolder), Text(m_names.m_makerFolder), Text(m_names.m_menuFolder),
                     Text(m_names.m_menuMakerFolder)};
        for (const std::wstring& folder : m_folders)
            ASSERT_FALSE(FolderExists(folder)) << "an installation is already in " << Narrow(folder);

        m_savedMaker.Save(HKEY_LOCAL_MACHINE, m_makerPath, std::wstring(kBackupRoot) + L"\\maker");
        m_savedRegistration.Save(HKEY_LOCAL_MACHINE, m_registrationPath,
                                 std::wstring(kBackupRoot) + L"\\registration");
        m_savedEntry.Save(HKEY_LOCAL_MACHINE, m_entryPath, std::wstring(kBackupRoot) + L"\\entry");
        m_savedPending.Save(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames);
        ClearPendingRenames();

        // What the removal must leave alone, set to known values.
        m_savedScancodeMap.Save(HKEY_LOCAL_MACHINE, Name(kScancodeMapKey), Name(kScancodeMapValue));
        PutRaw(HKEY_LOCAL_MACHINE, Name(kScancodeMapKey), Name(kScancodeMapValue), REG_BINARY, kScancodeMap,
               sizeof(kScancodeMap));
        for (int i = 0; i < 3; ++i)
        {
            m_savedHotkeys[i].Save(HKEY_CURRENT_USER, m_hotkeyPath, Name(kHotkeyValues[i]));
            PutText(HKEY_CURRENT_USER, m_hotkeyPath, Name(kHotkeyValues[i]), L"3");
        }
        m_savedRun.Save(HKEY_LOCAL_MACHINE, Name(kRunKey), Name(kRunValue));
        PutText(HKEY_LOCAL_MACHINE, Name(kRunKey), Name(kRunValue), Name(50));
        m_keptBefore = KeptValues();

        GString target32, target64;
        ASSERT_EQ(m_names.GetLayoutPaths(target32, target64, 0, 0), 1);
        m_target32 = Text(target32);
        m_target64 = Text(target64);
        ASSERT_FALSE(FileExists(m_target32)) << Narrow(m_target32);
        ASSERT_FALSE(FileExists(m_target64)) << Narrow(m_target64);
        m_tempFilesBefore = TempSettingsFiles();

        wchar_t self[MAX_PATH];
        const DWORD length = GetModuleFileNameW(0, self, MAX_PATH);
        ASSERT_GT(length, 0u);
        const std::wstring selfPath(self, length);
        m_planted = selfPath.substr(0, selfPath.rfind(L'\\')) + L"\\PlantedProgram.exe";
        ASSERT_TRUE(FileExists(m_planted)) << "PlantedProgram.exe must lie beside the test program";
        m_plantedMark = m_planted + L".ran";
        DeleteFileW(m_plantedMark.c_str());
        // From here on the product's places are the test's own to clean.
        m_ownsPlaces = true;
    }

    void TearDown() override
    {
        if (m_ownsPlaces)
            RemovePlacedFiles();
        m_savedMaker.Restore();
        m_savedRegistration.Restore();
        m_savedEntry.Restore();
        m_savedPending.Restore();
        m_savedScancodeMap.Restore();
        for (SavedValue& value : m_savedHotkeys)
            value.Restore();
        m_savedRun.Restore();
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, kBackupRoot);
    }

    void RemovePlacedFiles()
    {
        for (const Slot& slot : kSlots)
            DeleteFileW(Text(m_names.*slot.current).c_str());
        for (const std::wstring& path : EarlierPaths())
            DeleteFileW(path.c_str());
        for (const std::wstring& path : m_extraFiles)
            DeleteFileW(path.c_str());
        for (const std::wstring& folder : m_folders)
            RemoveDirectoryW(folder.c_str());
        DeleteFileW(m_target32.c_str());
        DeleteFileW(m_target64.c_str());
        DeleteFileW(m_plantedMark.c_str());
    }

    std::wstring Name(u32 id)
    {
        GString text;
        EXPECT_EQ(m_names.GetString(id, text), 1) << "no text " << id;
        return Text(text);
    }

    // A run's installer object as start-up leaves it, before the record.
    static void Prepare(CInstall& install)
    {
        if (!install.m_commonStrings.m_buffer)
        {
            ASSERT_EQ(install.AttachStringTables(), 1);
        }
        ASSERT_EQ(install.DetectSystem(kStringNativeSystemInfo, kStringKernelLibrary), 1);
        ASSERT_EQ(install.BuildPaths(), 1);
    }

    // Puts texts in front of the program's own for one installer object.
    static void Override(CInstall& install, std::vector<TestText> texts)
    {
        ASSERT_TRUE(AttachTestTexts(install.m_langStrings[kOverrideLanguage], std::move(texts)));
        install.m_uiLanguage = kOverrideLanguage;
    }

    // The removal settings command becomes the planted program, which
    // leaves its mark when it runs.
    void WatchRemovalSettings(CInstall& install)
    {
        Override(install, {{kSettingsCommand, L"\"" + m_planted + L"\" %s"}});
    }

    void PutRegistration()
    {
        for (int i = 0; i < 4; ++i)
            PutText(HKEY_LOCAL_MACHINE, m_registrationPath, Name(kRegistrationNames[i]), Name(kRegistrationData[i]));
    }

    // The state an install leaves: every file and link, the record with the
    // given counts, the registration, the installed-programs entry and the
    // libraries in the system folders.
    void PlaceInstallation(u32 installCount, i32 docRefCount)
    {
        CInstall installer;
        Prepare(installer);
        for (const std::wstring& folder : {m_folders[1], m_folders[0], m_folders[3], m_folders[2]})
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), 0) || FolderExists(folder)) << Narrow(folder);
        for (const Slot& slot : kSlots)
            ASSERT_TRUE(WriteFileText(Text(installer.*slot.current), slot.name)) << slot.name;
        installer.m_installCount = installCount;
        installer.m_docRefCount = docRefCount;
        installer.m_desktopLink1Made = 1;
        installer.m_desktopLink2Made = 1;
        installer.m_desktopLink3Made = 1;
        ASSERT_EQ(installer.WriteRecord(), 1);
        PutRegistration();
        PutText(HKEY_LOCAL_MACHINE, m_entryPath, Name(331), Name(0));
        ASSERT_TRUE(WriteFileText(m_target32, "32-bit library"));
        ASSERT_TRUE(WriteFileText(m_target64, "64-bit library"));
    }

    // The installer object of the run that removes, with the record read.
    void PrepareRemover(CInstall& remover)
    {
        Prepare(remover);
        remover.ReadRecord();
    }

    std::vector<std::wstring> EarlierPaths()
    {
        std::vector<std::wstring> paths;
        for (const EarlierFile& file : kEarlierFiles)
        {
            GString folder;
            if (!m_names.GetSpecialFolder(file.csidl, folder))
                continue;
            paths.push_back(Text(folder) + L"\\" + Name(file.nameId) + Name(file.extensionId));
        }
        return paths;
    }

    std::vector<std::wstring> TempSettingsFiles()
    {
        return FilesMatching(TempFolder(), Name(kTempPrefix) + L"*.tmp");
    }

    // The values an uninstall leaves as they are.
    std::vector<std::vector<u8>> KeptValues()
    {
        std::vector<std::vector<u8>> values;
        values.push_back(RawValue(HKEY_LOCAL_MACHINE, Name(kScancodeMapKey), Name(kScancodeMapValue)));
        for (u32 id : kHotkeyValues)
            values.push_back(RawValue(HKEY_CURRENT_USER, m_hotkeyPath, Name(id)));
        values.push_back(RawValue(HKEY_LOCAL_MACHINE, Name(kRunKey), Name(kRunValue)));
        return values;
    }

    static void ClearPendingRenames()
    {
        HKEY key = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
            return;
        (void)RegDeleteValueW(key, kPendingRenames);
        RegCloseKey(key);
    }

    CInstall m_names;
    bool m_ownsPlaces = false;
    std::wstring m_makerPath;
    std::wstring m_recordPath;
    std::wstring m_documentPath;
    std::wstring m_layoutGroupPath;
    std::wstring m_layoutPath;
    std::wstring m_layoutsPath;
    std::wstring m_registrationPath;
    std::wstring m_entryPath;
    std::wstring m_hotkeyPath;
    std::vector<std::wstring> m_folders;
    std::vector<std::wstring> m_extraFiles;
    std::wstring m_target32;
    std::wstring m_target64;
    std::wstring m_planted;
    std::wstring m_plantedMark;
    std::vector<std::wstring> m_tempFilesBefore;
    std::vector<std::vector<u8>> m_keptBefore;
    SavedTree m_savedMaker;
    SavedTree m_savedRegistration;
    SavedTree m_savedEntry;
    SavedValue m_savedPending;
    SavedValue m_savedScancodeMap;
    SavedValue m_savedHotkeys[3];
    SavedValue m_savedRun;
};

TEST_F(UninstallTest, Uninstall_LastInstallationRemovesWhatItRecordedAndQueuesTheLibraries)
{
    PlaceInstallation(1, 1);
    // A recorded file the user already deleted is passed over.
    ASSERT_TRUE(DeleteFileW(Text(m_names.m_launcherDesktopLink).c_str()));

    CInstall remover;
    PrepareRemover(remover);
    ASSERT_EQ(remover.m_installedVersion, 190u);
    ASSERT_EQ(remover.m_installCount, 1u);
    ASSERT_EQ(remover.m_docRefCount, 1);
    WatchRemovalSettings(remover);

    EXPECT_EQ(remover.Uninstall(), 1);
    EXPECT_EQ(remover.m_uninstallDone, 1);
    EXPECT_EQ(remover.m_installCount, 0u);
    EXPECT_EQ(remover.m_docRefCount, 0);

    for (const Slot& slot : kSlots)
    {
        const std::wstring path = Text(m_names.*slot.current);
        EXPECT_FALSE(FileExists(path)) << slot.name;
        EXPECT_FALSE(DeletionQueued(path)) << slot.name << ": a file not in use goes at once";
    }
    for (const std::wstring& folder : m_folders)
        EXPECT_FALSE(FolderExists(folder)) << Narrow(folder);

    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_layoutsPath + L"\\" + kForeignLayout)) << "another layout's registration";
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_makerPath));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, Name(kSoftwareKey)));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, Name(kInstalledProgramsKey)));

    // The scancode map, the hotkeys and the start-up value stay as they were.
    EXPECT_EQ(KeptValues(), m_keptBefore);

    // The removal settings were handed on, and their file went afterwards.
    EXPECT_TRUE(WaitFor([&] { return FileExists(m_plantedMark); })) << "the removal settings command did not run";
    EXPECT_EQ(TempSettingsFiles(), m_tempFilesBefore);

    // The libraries stay in use until the restart, then go.
    EXPECT_TRUE(FileExists(m_target32));
    EXPECT_TRUE(FileExists(m_target64));
    EXPECT_TRUE(DeletionQueued(m_target32)) << Narrow(m_target32);
    EXPECT_TRUE(DeletionQueued(m_target64)) << Narrow(m_target64);
    ASSERT_TRUE(RunRestartStep());
    EXPECT_FALSE(FileExists(m_target32));
    EXPECT_FALSE(FileExists(m_target64));
    EXPECT_TRUE(PendingRenames().empty());
}

TEST_F(UninstallTest, Uninstall_AfterARealInstallLeavesOnlyTheDocumentedTraces)
{
    const bool comJoined = SUCCEEDED(CoInitializeEx(0, COINIT_MULTITHREADED));
    // The places the program writes to. The user's own desktop and
    // documents, which only an earlier version used, may be a home folder
    // shared with everything else on the machine: they are not compared.
    const int folders[] = {CSIDL_PROGRAM_FILES, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY};
    auto files = [&] {
        std::set<std::wstring> all;
        for (int csidl : folders)
        {
            GString path;
            if (m_names.GetSpecialFolder(csidl, path))
                ListTree(Text(path), Text(path) + L"\\", all, true);
        }
        return all;
    };
    auto registry = [&] {
        return std::vector<std::wstring>{Snapshot(HKEY_LOCAL_MACHINE, m_makerPath),
                                         Snapshot(HKEY_LOCAL_MACHINE, m_layoutsPath),
                                         Snapshot(HKEY_LOCAL_MACHINE, m_entryPath),
                                         Snapshot(HKEY_LOCAL_MACHINE, Name(kRunKey))};
    };
    const std::set<std::wstring> filesBefore = files();
    const std::vector<std::wstring> registryBefore = registry();

    // The install as the setup page runs it, with small documents.
    const std::vector<u8> main = PackTestItem(m_names.m_guard, {'m', 'a', 'i', 'n'});
    const std::vector<u8> extra = PackTestItem(m_names.m_guard, {'e', 'x', 't', 'r', 'a'});
    const std::vector<u8> target = PackTestItem(m_names.m_guard, {'t', 'r', 'y'});
    ASSERT_FALSE(main.empty() || extra.empty() || target.empty());
    const PayloadItem items[3] = {{main.data(), static_cast<u32>(main.size())},
                                  {extra.data(), static_cast<u32>(extra.size())},
                                  {target.data(), static_cast<u32>(target.size())}};
    {
        CInstall installer;
        Prepare(installer);
        installer.ReadScancodeMap();
        installer.ReadRecord();
        ASSERT_EQ(installer.m_installedVersion, 0u);
        ASSERT_TRUE(installer.SetFamily(1));
        ASSERT_TRUE(installer.SetDecimalFlag(0));
        installer.SetLayoutLangId(0x0415);
        installer.SetDesktopShortcuts(1);
        installer.SetHotkeyOption(1);
        installer.m_installItems = items;
        ASSERT_EQ(installer.Install(), 1);
    }
    ASSERT_TRUE(FileExists(Text(m_names.m_mainDocument)));
    ASSERT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    const std::vector<std::vector<u8>> keptAfterInstall = KeptValues();
    GString target32, target64, staging32, staging64;
    ASSERT_EQ(m_names.GetLayoutPaths(target32, target64, &staging32, &staging64), 1);
    ASSERT_TRUE(FileExists(Text(staging32)));
    ASSERT_TRUE(FileExists(Text(staging64)));

    // The next run removes it from the welcome page.
    CInstall remover;
    PrepareRemover(remover);
    ASSERT_EQ(remover.m_installedVersion, 190u);
    WatchRemovalSettings(remover);
    EXPECT_EQ(remover.Uninstall(), 1);

    // The scancode map and the hotkeys stay as the install left them.
    EXPECT_EQ(KeptValues(), keptAfterInstall);
    EXPECT_EQ(registry(), registryBefore);
    EXPECT_TRUE(WaitFor([&] { return FileExists(m_plantedMark); })) << "the removal settings command did not run";

    // At the restart the staged libraries move into place and go.
    ASSERT_TRUE(RunRestartStep());
    EXPECT_FALSE(FileExists(m_target32));
    EXPECT_FALSE(FileExists(m_target64));
    EXPECT_FALSE(FileExists(Text(staging32)));
    EXPECT_FALSE(FileExists(Text(staging64)));
    EXPECT_TRUE(PendingRenames().empty());

    // What stays are the product folder, which held the staged libraries,
    // and the maker folder around it.
    const std::set<std::wstring> filesAfter = files();
    std::set<std::wstring> added, removed;
    for (const std::wstring& path : filesAfter)
    {
        if (!filesBefore.count(path))
            added.insert(Lower(path));
    }
    for (const std::wstring& path : filesBefore)
    {
        if (!filesAfter.count(path))
            removed.insert(path);
    }
    const std::set<std::wstring> traces = {Lower(m_folders[0]), Lower(m_folders[1])};
    EXPECT_EQ(added, traces);
    EXPECT_TRUE(removed.empty());
    if (comJoined)
        CoUninitialize();
}

TEST_F(UninstallTest, Uninstall_WithTwoInstallationsKeepsTheSharedPartsAndCountsOneEach)
{
    PlaceInstallation(2, 2);

    CInstall remover;
    PrepareRemover(remover);
    ASSERT_EQ(remover.m_installCount, 2u);
    ASSERT_EQ(remover.m_docRefCount, 2);
    WatchRemovalSettings(remover);

    EXPECT_EQ(remover.Uninstall(), 1);
    EXPECT_EQ(remover.m_uninstallDone, 1);
    EXPECT_EQ(remover.m_installCount, 1u);
    EXPECT_EQ(remover.m_docRefCount, 1);

    for (const Slot& slot : kSlots)
    {
        const std::wstring path = Text(m_names.*slot.current);
        EXPECT_EQ(FileExists(path), slot.guard != kNoCount) << slot.name;
    }
    for (const std::wstring& folder : m_folders)
        EXPECT_TRUE(FolderExists(folder)) << Narrow(folder);

    // The record keeps its values with the new counts; only this layout's
    // sub-key goes.
    EXPECT_EQ(DwordAt(m_recordPath, Name(kValueInstallCount)), 1u);
    EXPECT_EQ(DwordAt(m_documentPath, Name(kValueDocRefCount)), 1u);
    for (const Slot& slot : kSlots)
    {
        if (slot.guard == kInstallCount)
        {
            EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, m_recordPath, Name(slot.valueId))) << slot.name;
        }
    }
    for (const Slot& slot : kSlots)
    {
        if (slot.guard == kDocumentCount)
        {
            EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, m_documentPath, Name(slot.valueId))) << slot.name;
        }
    }
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_layoutGroupPath));

    // The layout itself goes in any case; the entry stays for the other
    // installation, and so does its input entry.
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath));
    EXPECT_TRUE(DeletionQueued(m_target32));
    EXPECT_TRUE(DeletionQueued(m_target64));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_FALSE(FileExists(m_plantedMark)) << "the removal settings ran while an installation remains";
    EXPECT_EQ(KeptValues(), m_keptBefore);

    // The next run reads the counts as left.
    CInstall next;
    PrepareRemover(next);
    EXPECT_EQ(next.m_installCount, 1u);
    EXPECT_EQ(next.m_docRefCount, 1);
    EXPECT_EQ(next.m_installedVersion, 0u);
}

TEST_F(UninstallTest, Uninstall_WithoutLibraryPathsRemovesNothingAndARetryCountsOnce)
{
    PlaceInstallation(2, 2);
    const std::wstring recordBefore = Snapshot(HKEY_LOCAL_MACHINE, m_makerPath);

    CInstall remover;
    PrepareRemover(remover);
    // Without the library's file name no library path can be built.
    Override(remover, {{kLibraryFile, L""}, {kSettingsCommand, L"\"" + m_planted + L"\" %s"}});

    EXPECT_EQ(remover.Uninstall(), 0);
    EXPECT_EQ(remover.m_uninstallDone, 0);
    EXPECT_EQ(remover.m_installCount, 2u);
    EXPECT_EQ(remover.m_docRefCount, 2);
    for (const Slot& slot : kSlots)
        EXPECT_TRUE(FileExists(Text(m_names.*slot.current))) << slot.name;
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, m_makerPath), recordBefore);
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_entryPath));
    EXPECT_TRUE(PendingRenames().empty());

    // Trying again once the paths can be built removes one installation.
    Override(remover, {{kSettingsCommand, L"\"" + m_planted + L"\" %s"}});
    EXPECT_EQ(remover.Uninstall(), 1);
    EXPECT_EQ(remover.m_installCount, 1u);
    EXPECT_EQ(remover.m_docRefCount, 1);
    EXPECT_EQ(DwordAt(m_recordPath, Name(kValueInstallCount)), 1u);
    EXPECT_TRUE(FileExists(Text(m_names.m_mainDocument)));
    EXPECT_FALSE(FileExists(Text(m_names.m_setupCopy)));
}

TEST_F(UninstallTest, Uninstall_KeepsTheStagedLibrariesAndTheFolderThatHoldsThem)
{
    PlaceInstallation(1, 1);
    GString target32, target64, staging32, staging64;
    ASSERT_EQ(m_names.GetLayoutPaths(target32, target64, &staging32, &staging64), 1);
    m_extraFiles = {Text(staging32), Text(staging64)};
    for (const std::wstring& path : m_extraFiles)
        ASSERT_TRUE(WriteFileText(path, "staged library")) << Narrow(path);

    CInstall remover;
    PrepareRemover(remover);
    WatchRemovalSettings(remover);
    EXPECT_EQ(remover.Uninstall(), 1);

    for (const std::wstring& path : m_extraFiles)
    {
        EXPECT_TRUE(FileExists(path)) << Narrow(path);
        EXPECT_FALSE(DeletionQueued(path)) << Narrow(path);
    }
    EXPECT_TRUE(FolderExists(m_folders[0])) << "the product folder";
    EXPECT_TRUE(FolderExists(m_folders[1])) << "the maker folder";
    EXPECT_FALSE(FolderExists(m_folders[2])) << "the start-menu folder";
    EXPECT_FALSE(FolderExists(m_folders[3])) << "the start-menu maker folder";
    EXPECT_FALSE(FileExists(Text(m_names.m_mainDocument)));
}

TEST_F(UninstallTest, Uninstall_EarlierVersionGoesByItsFixedNamesAndLeavesTheRecord)
{
    // What an earlier version leaves: its registration, its files, and here
    // also a record key that lacks its first value and so is not read.
    PutRegistration();
    const std::vector<std::wstring> earlier = EarlierPaths();
    ASSERT_EQ(earlier.size(), 4u);
    for (const std::wstring& path : earlier)
        ASSERT_TRUE(WriteFileText(path, "earlier version")) << Narrow(path);
    PutDword(m_recordPath, Name(kValueInstallCount), 1);
    const std::wstring recordBefore = Snapshot(HKEY_LOCAL_MACHINE, m_makerPath);
    ASSERT_TRUE(WriteFileText(m_target32, "32-bit library"));
    ASSERT_TRUE(WriteFileText(m_target64, "64-bit library"));

    CInstall remover;
    PrepareRemover(remover);
    ASSERT_EQ(remover.m_installedVersion, 130u) << "the earlier version is not recognised";
    const u32 installCount = remover.m_installCount;
    const i32 docRefCount = remover.m_docRefCount;
    WatchRemovalSettings(remover);

    EXPECT_EQ(remover.Uninstall(), 1);
    EXPECT_EQ(remover.m_uninstallDone, 1);
    for (const std::wstring& path : earlier)
        EXPECT_FALSE(FileExists(path)) << Narrow(path);
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath));
    EXPECT_TRUE(DeletionQueued(m_target32));
    EXPECT_TRUE(DeletionQueued(m_target64));
    EXPECT_TRUE(WaitFor([&] { return FileExists(m_plantedMark); })) << "the removal settings command did not run";
    EXPECT_EQ(TempSettingsFiles(), m_tempFilesBefore);

    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, m_makerPath), recordBefore);
    EXPECT_EQ(remover.m_installCount, installCount);
    EXPECT_EQ(remover.m_docRefCount, docRefCount);
    EXPECT_EQ(KeptValues(), m_keptBefore);
}

TEST_F(UninstallTest, RemoveEarlierVersionFiles_QueuesTheLibrariesOnlyWhenAsked)
{
    struct Case
    {
        const char* name;
        int schedule;
    };
    const Case cases[] = {
        {"for the install, which replaces the libraries itself", 0},
        {"for the removal", 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ClearPendingRenames();
        const std::vector<std::wstring> earlier = EarlierPaths();
        for (const std::wstring& path : earlier)
            ASSERT_TRUE(WriteFileText(path, "earlier version")) << Narrow(path);
        CInstall install;
        Prepare(install);
        EXPECT_EQ(install.RemoveEarlierVersionFiles(c.schedule), 1);
        for (const std::wstring& path : earlier)
            EXPECT_FALSE(FileExists(path)) << Narrow(path);
        EXPECT_EQ(DeletionQueued(m_target32), c.schedule != 0);
        EXPECT_EQ(DeletionQueued(m_target64), c.schedule != 0);

        // Without library paths only the scheduling fails.
        for (const std::wstring& path : earlier)
            ASSERT_TRUE(WriteFileText(path, "earlier version")) << Narrow(path);
        Override(install, {{kLibraryFile, L""}});
        EXPECT_EQ(install.RemoveEarlierVersionFiles(c.schedule), c.schedule ? 0 : 1);
        for (const std::wstring& path : earlier)
            EXPECT_FALSE(FileExists(path)) << Narrow(path);
    }
}

TEST_F(UninstallTest, UnregisterLayout_DeletesTheRegistrationInEachWay)
{
    struct Case
    {
        const char* name;
        i32 is64Bit;
        const wchar_t* deleteFunction;  // null: the program's own name
    };
    const Case cases[] = {
        {"64-bit system, key deleted in the 64-bit view", 1, 0},
        {"64-bit system without the view-aware deletion", 1, L"KlawiszNoSuchFunction"},
        {"32-bit system", 0, 0},
    };
    const std::wstring foreignBefore = Snapshot(HKEY_LOCAL_MACHINE, m_layoutsPath + L"\\" + kForeignLayout);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        PutRegistration();
        CInstall install;
        Prepare(install);
        install.m_is64Bit = c.is64Bit;
        if (c.deleteFunction)
            Override(install, {{kDeleteKeyView, c.deleteFunction}});
        EXPECT_EQ(install.UnregisterLayout(), 1);
        EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath));
        EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_layoutsPath));
        EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, m_layoutsPath + L"\\" + kForeignLayout), foreignBefore);
    }

    // Nothing registered: nothing to open, nothing removed.
    const std::wstring layoutsBefore = Snapshot(HKEY_LOCAL_MACHINE, m_layoutsPath);
    CInstall install;
    Prepare(install);
    EXPECT_EQ(install.UnregisterLayout(), 0);
    EXPECT_EQ(Snapshot(HKEY_LOCAL_MACHINE, m_layoutsPath), layoutsBefore);
}

TEST_F(UninstallTest, UnregisterLayout_KeyThatCannotGoLosesItsValues)
{
    // A registration key holding a sub-key of its own cannot be deleted;
    // its registration values go nevertheless.
    PutRegistration();
    PutText(HKEY_LOCAL_MACHINE, m_registrationPath + L"\\Extra", L"Kept", L"x");
    CInstall install;
    Prepare(install);
    EXPECT_EQ(install.UnregisterLayout(), 1);
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, m_registrationPath + L"\\Extra"));
    for (u32 id : kRegistrationNames)
        EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, m_registrationPath, Name(id))) << id;
}

TEST_F(UninstallTest, BuildLanguageRemovalText_TakesTheFormOfThePlatformVersion)
{
    struct Case
    {
        const char* name;
        i32 osVersion;
        int formatId;
    };
    const Case cases[] = {
        {"Windows 2000", 50, 65},
        {"Windows XP", 51, 65},
        {"Windows Server 2003", 52, 65},
        {"Windows Vista", 60, 66},
        {"Windows 7", 61, 66},
        {"Windows 10", 100, 66},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CInstall install;
        ASSERT_EQ(install.AttachStringTables(), 1);
        install.m_osVersion = c.osVersion;
        GString text;
        EXPECT_EQ(install.BuildLanguageRemovalText(text), c.formatId);
        // Every argument is empty: the format without its directives.
        std::wstring expected = Name(static_cast<u32>(c.formatId));
        for (size_t at = expected.find(L"%s"); at != std::wstring::npos; at = expected.find(L"%s"))
            expected.erase(at, 2);
        EXPECT_EQ(Text(text), expected);
        if (c.formatId == 66)
        {
            EXPECT_NE(Text(text).find(L"remove\" ID=\"0415:" + Name(kLayoutId) + L"\""), std::wstring::npos);
        }
    }
}

TEST_F(UninstallTest, ApplyLanguageRemoval_RunsOnlyForTheLastInstallationAndLeavesNoFile)
{
    struct Case
    {
        const char* name;
        u32 installCount;
        bool runs;
    };
    const Case cases[] = {
        {"after the last installation", 0, true},
        {"with one installation counted", 1, true},
        {"while another installation remains", 2, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        DeleteFileW(m_plantedMark.c_str());
        CInstall install;
        Prepare(install);
        WatchRemovalSettings(install);
        install.m_installCount = c.installCount;
        EXPECT_EQ(install.ApplyLanguageRemoval(), 1);
        if (c.runs)
        {
            EXPECT_TRUE(WaitFor([&] { return FileExists(m_plantedMark); }));
        }
        else
        {
            EXPECT_FALSE(FileExists(m_plantedMark));
        }
        EXPECT_EQ(TempSettingsFiles(), m_tempFilesBefore);
    }

    // A settings text that cannot be built runs nothing and leaves no file.
    DeleteFileW(m_plantedMark.c_str());
    CInstall install;
    Prepare(install);
    Override(install, {{kSettingsCommand, L"\"" + m_planted + L"\" %s"}, {66, L""}});
    EXPECT_EQ(install.ApplyLanguageRemoval(), 0);
    EXPECT_FALSE(FileExists(m_plantedMark));
    EXPECT_EQ(TempSettingsFiles(), m_tempFilesBefore);
}

} // namespace
