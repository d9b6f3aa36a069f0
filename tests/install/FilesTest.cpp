#include "core/Install.h"

#include "payload/Catalogue.h"
#include "tests/install/TestItems.h"
#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace
{

const u32 kIdTempPrefix = 6001;
const u32 kIdKernelLibrary = 6002;
const u32 kIdNativeSystemInfo = 6003;
const u32 kIdMissingFunction = 6004;
const u32 kIdMissingLibrary = 6005;
const u32 kIdEmptyText = 6006;
const u32 kIdUnknown = 0xFFFF0002u;

std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, length);
}

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

std::vector<u8> ReadBytes(const std::wstring& path)
{
    std::vector<u8> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
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

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = towlower(ch);
    return text;
}

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// The moves and deletions queued for the next restart, as source and target
// pairs (an empty target is a deletion).
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
bool DeletionScheduled(const std::wstring& path)
{
    std::vector<std::wstring> entries = PendingRenames();
    const std::wstring wanted = Lower(path);
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
    {
        std::wstring source = Lower(entries[i]);
        if (source.size() >= wanted.size() && source.compare(source.size() - wanted.size(), wanted.size(), wanted) == 0 &&
            entries[i + 1].empty())
            return true;
    }
    return false;
}

// Takes the test's own entries out of the queue again.
void ForgetPendingRenames(const std::wstring& folder)
{
    std::vector<std::wstring> entries = PendingRenames();
    std::vector<wchar_t> kept;
    const std::wstring mark = Lower(folder);
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
    {
        if (Lower(entries[i]).find(mark) != std::wstring::npos)
            continue;
        for (size_t j = i; j <= i + 1; ++j)
        {
            kept.insert(kept.end(), entries[j].begin(), entries[j].end());
            kept.push_back(0);
        }
    }
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (kept.empty())
    {
        RegDeleteValueW(key, kPendingRenames);
    }
    else
    {
        kept.push_back(0);
        RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                       static_cast<DWORD>(kept.size() * 2));
    }
    RegCloseKey(key);
}

// A scratch folder in the temporary folder, removed with its content (and
// any deletion the test queued in it) after each test.
class FilesLayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = TempFolder() + L"KlawiszTest-Files-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(m_folder);
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), 0));
        ASSERT_TRUE(AttachTestTexts(m_install.m_commonStrings, {
                                                                   {kIdTempPrefix, L"klt"},
                                                                   {kIdKernelLibrary, L"kernel32.dll"},
                                                                   {kIdNativeSystemInfo, L"GetNativeSystemInfo"},
                                                                   {kIdMissingFunction, L"KlawiszNoSuchFunction"},
                                                                   {kIdMissingLibrary, L"klawisz-no-such.dll"},
                                                                   {kIdEmptyText, L""},
                                                               }));
        ASSERT_TRUE(m_install.m_guard.Load(g_keyBlock, static_cast<int>(g_keyBlockSize)));
    }

    void TearDown() override
    {
        RemoveTree(m_folder);
        ForgetPendingRenames(m_folder);
    }

    std::wstring Path(const wchar_t* name) const { return m_folder + L"\\" + name; }

    CInstall m_install;
    std::wstring m_folder;
};

TEST_F(FilesLayer, DeleteOrSchedule_HandlesEachStateOfThePath)
{
    const std::wstring present = Path(L"present.txt");
    const std::wstring missing = Path(L"missing.txt");
    const std::wstring inUse = Path(L"in-use.txt");
    const std::wstring noFolder = Path(L"no-folder\\file.txt");
    ASSERT_TRUE(WriteFileText(present, "x"));
    ASSERT_TRUE(WriteFileText(inUse, "x"));
    HANDLE held = CreateFileW(inUse.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    struct Case
    {
        const char* name;
        std::wstring path;
        int result;
        bool scheduled;
        bool remains;
    };
    const Case cases[] = {
        {"present file is deleted now", present, 1, false, false},
        {"missing file counts as deleted", missing, 1, false, false},
        {"file in use waits for the restart", inUse, 1, true, true},
        {"file in a missing folder waits for the restart", noFolder, 1, true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m_install.DeleteOrSchedule(c.path.c_str()), c.result);
        EXPECT_EQ(DeletionScheduled(c.path), c.scheduled);
        EXPECT_EQ(FileExists(c.path), c.remains);
    }
    CloseHandle(held);

    EXPECT_EQ(m_install.DeleteOrSchedule(static_cast<const wch*>(0)), 0);
    EXPECT_EQ(m_install.DeleteOrSchedule(L""), 0);
    GString empty;
    EXPECT_EQ(m_install.DeleteOrSchedule(empty), 0);
    GString path;
    path.AssignWide(present.c_str());
    ASSERT_TRUE(WriteFileText(present, "x"));
    EXPECT_EQ(m_install.DeleteOrSchedule(path), 1);
    EXPECT_FALSE(FileExists(present));
}

TEST_F(FilesLayer, EnsureFolder_AcceptsOnlyAFolderThatIsThereAfterwards)
{
    const std::wstring made = Path(L"made");
    const std::wstring file = Path(L"a-file");
    ASSERT_TRUE(WriteFileText(file, "x"));
    struct Case
    {
        const char* name;
        std::wstring path;
        int result;
    };
    const Case cases[] = {
        {"new folder", made, 1},
        {"existing folder", made, 1},
        {"parent missing", Path(L"no-parent\\child"), 0},
        {"a file of that name", file, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m_install.EnsureFolder(c.path.c_str()), c.result);
    }
    EXPECT_TRUE(FolderExists(made));
    EXPECT_FALSE(FolderExists(Path(L"no-parent")));
    EXPECT_EQ(m_install.EnsureFolder(L""), 0);
}

TEST_F(FilesLayer, RemoveFolder_RemovesOnlyEmptyFolders)
{
    ASSERT_TRUE(CreateDirectoryW(Path(L"empty").c_str(), 0));
    ASSERT_TRUE(CreateDirectoryW(Path(L"full").c_str(), 0));
    ASSERT_TRUE(WriteFileText(Path(L"full\\file.txt"), "x"));
    GString empty;
    empty.AssignWide(Path(L"empty").c_str());
    GString full;
    full.AssignWide(Path(L"full").c_str());
    GString none;
    EXPECT_EQ(m_install.RemoveFolder(empty), 1);
    EXPECT_FALSE(FolderExists(Path(L"empty")));
    EXPECT_EQ(m_install.RemoveFolder(full), 0);
    EXPECT_TRUE(FolderExists(Path(L"full")));
    EXPECT_EQ(m_install.RemoveFolder(none), 0);
}

TEST_F(FilesLayer, WriteText_WritesTheUtf8BytesOnly)
{
    const std::wstring path = Path(L"text.txt");
    HANDLE file = m_install.CreateFileForWrite(path.c_str());
    ASSERT_NE(file, nullptr);
    GString text;
    text.AssignWide(L"Zażółć\r\n");
    EXPECT_EQ(m_install.WriteText(file, text), 1);
    GString empty;
    EXPECT_EQ(m_install.WriteText(file, empty), 0);
    CloseHandle(file);
    const char expected[] = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\n";
    EXPECT_EQ(ReadBytes(path), std::vector<u8>(expected, expected + sizeof(expected) - 1));
    EXPECT_EQ(m_install.WriteText(0, text), 0);
}

TEST_F(FilesLayer, CreateFileForWrite_ReplacesAnExistingFileAndGivesNullOnFailure)
{
    const std::wstring path = Path(L"bytes.bin");
    ASSERT_TRUE(WriteFileText(path, "old content that is longer"));
    HANDLE file = m_install.CreateFileForWrite(path.c_str());
    ASSERT_NE(file, nullptr);
    const u8 bytes[] = {0, 1, 2, 0xFF};
    EXPECT_EQ(m_install.WriteBytes(file, bytes, sizeof(bytes)), 1);
    EXPECT_EQ(m_install.WriteBytes(file, bytes, 0), 0);
    EXPECT_EQ(m_install.WriteBytes(file, 0, 4), 0);
    CloseHandle(file);
    EXPECT_EQ(ReadBytes(path), std::vector<u8>(bytes, bytes + sizeof(bytes)));

    EXPECT_EQ(m_install.CreateFileForWrite(Path(L"no-folder\\file.bin").c_str()), nullptr);
    EXPECT_EQ(m_install.WriteBytes(0, bytes, sizeof(bytes)), 0);
}

TEST_F(FilesLayer, WriteItemToFile_WritesTheDecodedItem)
{
    std::vector<u8> content(5000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<u8>(i * 7 + i / 13);
    std::vector<u8> item = PackTestItem(m_install.m_guard, content);
    ASSERT_FALSE(item.empty());
    const std::wstring path = Path(L"item.bin");
    EXPECT_EQ(m_install.WriteItemToFile(path.c_str(), item.data(), static_cast<u32>(item.size())), 1);
    EXPECT_EQ(ReadBytes(path), content);

    // A damaged item writes no file; a file that cannot be created fails.
    item[item.size() / 2] ^= 0x40;
    const std::wstring damaged = Path(L"damaged.bin");
    EXPECT_EQ(m_install.WriteItemToFile(damaged.c_str(), item.data(), static_cast<u32>(item.size())), 0);
    EXPECT_FALSE(FileExists(damaged));
    item[item.size() / 2] ^= 0x40;
    EXPECT_EQ(m_install.WriteItemToFile(Path(L"no-folder\\item.bin").c_str(), item.data(),
                                        static_cast<u32>(item.size())),
              0);
}

TEST_F(FilesLayer, LoadTextItem_SkipsAByteOrderMarkOnly)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {"plain text", "Licence \xC5\xBC", 1, "Licence \xC5\xBC"},
        {"with a byte-order mark", "\xEF\xBB\xBFLicence", 1, "Licence"},
        {"mark alone", "\xEF\xBB\xBF", 1, ""},
        {"mark-like start kept", "\xEF\xBB" "a", 1, "\xEF\xBB" "a"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<u8> item = PackTestItem(m_install.m_guard, std::vector<u8>(c.bytes.begin(), c.bytes.end()));
        ASSERT_FALSE(item.empty());
        GString out;
        EXPECT_EQ(m_install.LoadTextItem(item.data(), static_cast<u32>(item.size()), out), c.result);
        EXPECT_FALSE(out.IsWide());
        EXPECT_EQ(std::string(out.NarrowText(0), out.Length()), c.text);
    }
    GString out;
    EXPECT_EQ(m_install.LoadTextItem(0, 64, out), 0);
    const u8 bytes[8] = {};
    EXPECT_EQ(m_install.LoadTextItem(bytes, 0, out), 0);
}

TEST_F(FilesLayer, GetSpecialFolder_GivesThePathWithoutTrailingBackslash)
{
    GString folder;
    ASSERT_EQ(m_install.GetSpecialFolder(38, folder), 1);
    std::wstring path = Text(folder);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), L'\\');
    EXPECT_TRUE(FolderExists(path));

    // A value the platform does not know leaves the text empty.
    folder.AssignWide(L"left over");
    EXPECT_EQ(m_install.GetSpecialFolder(0x7F, folder), 0);
    EXPECT_TRUE(folder.IsEmpty());
}

TEST_F(FilesLayer, GetSystemFolder_GivesThePlatformSystemFolder)
{
    wchar_t expected[MAX_PATH];
    UINT length = GetSystemDirectoryW(expected, MAX_PATH);
    GString folder;
    ASSERT_EQ(m_install.GetSystemFolder(folder), 1);
    EXPECT_EQ(Text(folder), std::wstring(expected, length));
}

TEST_F(FilesLayer, GetTempFolder_GivesAnExistingFolderEndingInABackslash)
{
    GString folder;
    ASSERT_EQ(m_install.GetTempFolder(folder), 1);
    std::wstring path = Text(folder);
    EXPECT_EQ(path, TempFolder());
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), L'\\');
    EXPECT_TRUE(FolderExists(path));
}

TEST_F(FilesLayer, MakeTempFile_CreatesAnEmptyFileWithThePrefix)
{
    GString name;
    ASSERT_EQ(m_install.MakeTempFile(name, kIdTempPrefix, m_folder.c_str()), 1);
    std::wstring path = Text(name);
    EXPECT_EQ(Lower(path.substr(0, m_folder.size() + 4)), Lower(m_folder + L"\\klt"));
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(ReadBytes(path).empty());

    GString inTemp;
    ASSERT_EQ(m_install.MakeTempFile(inTemp, kIdTempPrefix, 0), 1);
    std::wstring tempPath = Text(inTemp);
    EXPECT_EQ(Lower(tempPath.substr(0, TempFolder().size() + 3)), Lower(TempFolder() + L"klt"));
    EXPECT_TRUE(FileExists(tempPath));
    DeleteFileW(tempPath.c_str());

    GString refused;
    EXPECT_EQ(m_install.MakeTempFile(refused, 0, m_folder.c_str()), 0);
    EXPECT_EQ(m_install.MakeTempFile(refused, kIdUnknown, m_folder.c_str()), 0);
    EXPECT_EQ(m_install.MakeTempFile(refused, kIdTempPrefix, Path(L"no-folder").c_str()), 0);
    EXPECT_TRUE(refused.IsEmpty());
}

TEST_F(FilesLayer, GetProcById_LoadsTheLibraryOnlyWhenNoModuleIsGiven)
{
    HMODULE module = 0;
    FARPROC proc = m_install.GetProcById(kIdNativeSystemInfo, kIdKernelLibrary, module);
    EXPECT_NE(proc, nullptr);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(proc),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));

    // With a module given, the library id is not even looked up.
    HMODULE given = module;
    EXPECT_NE(m_install.GetProcById(kIdNativeSystemInfo, kIdUnknown, given), nullptr);
    EXPECT_EQ(given, module);

    // A missing function leaves the loaded library with the caller.
    HMODULE loaded = 0;
    EXPECT_EQ(m_install.GetProcById(kIdMissingFunction, kIdKernelLibrary, loaded), nullptr);
    EXPECT_NE(loaded, nullptr);
    FreeLibrary(loaded);
    FreeLibrary(module);

    HMODULE none = 0;
    EXPECT_EQ(m_install.GetProcById(kIdNativeSystemInfo, kIdMissingLibrary, none), nullptr);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(m_install.GetProcById(kIdNativeSystemInfo, kIdEmptyText, none), nullptr);
    EXPECT_EQ(none, nullptr);
}

TEST_F(FilesLayer, LoadLibraryById_LoadsTheNamedLibrary)
{
    HMODULE module = m_install.LoadLibraryById(kIdKernelLibrary);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, GetModuleHandleW(L"kernel32.dll"));
    FreeLibrary(module);
    EXPECT_EQ(m_install.LoadLibraryById(kIdMissingLibrary), nullptr);
    EXPECT_EQ(m_install.LoadLibraryById(kIdUnknown), nullptr);
}

TEST(RedirectionSwitch, GivesBothFunctionsOrNeither)
{
    struct Case
    {
        const char* name;
        std::wstring disableName;
        std::wstring revertName;
        bool found;
    };
    const Case cases[] = {
        {"both present", L"Wow64DisableWow64FsRedirection", L"Wow64RevertWow64FsRedirection", true},
        {"revert missing", L"Wow64DisableWow64FsRedirection", L"KlawiszNoSuchFunction", false},
        {"disable missing", L"KlawiszNoSuchFunction", L"Wow64RevertWow64FsRedirection", false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CInstall install;
        ASSERT_TRUE(AttachTestTexts(install.m_commonStrings,
                                    {{56, c.disableName}, {57, c.revertName}, {144, L"kernel32.dll"}}));
        CInstall::RedirectionDisableProc disable = reinterpret_cast<CInstall::RedirectionDisableProc>(1);
        CInstall::RedirectionRevertProc revert = reinterpret_cast<CInstall::RedirectionRevertProc>(1);
        HMODULE module = install.GetRedirectionSwitch(disable, revert);
        EXPECT_EQ(module != 0, c.found);
        EXPECT_EQ(disable != 0, c.found);
        EXPECT_EQ(revert != 0, c.found);
        if (module)
        {
            // In a 64-bit process there is nothing to redirect; the pair
            // must still be callable.
            void* saved = 0;
            (void)disable(&saved);
            (void)revert(saved);
            FreeLibrary(module);
        }
    }
}

// Commands start programs; a program beside the running one under a system
// program's name must never be the one that runs.
class StartedCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t self[MAX_PATH];
        DWORD length = GetModuleFileNameW(0, self, MAX_PATH);
        ASSERT_GT(length, 0u);
        std::wstring selfPath(self, length);
        m_ownFolder = selfPath.substr(0, selfPath.rfind(L'\\'));
        m_planted = m_ownFolder + L"\\PlantedProgram.exe";
        ASSERT_TRUE(FileExists(m_planted)) << "PlantedProgram.exe must lie beside the test program";
        m_folder = TempFolder() + L"KlawiszTest-Commands-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(m_folder);
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), 0));
        wchar_t system[MAX_PATH];
        m_system = std::wstring(system, GetSystemDirectoryW(system, MAX_PATH));
    }

    void TearDown() override
    {
        for (const std::wstring& path : m_plantedCopies)
        {
            DeleteFileW(path.c_str());
            DeleteFileW((path + L".ran").c_str());
        }
        RemoveTree(m_folder);
        (void)RegDeleteTreeW(HKEY_CLASSES_ROOT, L".klawisztest");
        (void)RegDeleteTreeW(HKEY_CLASSES_ROOT, L"KlawiszTest.File");
    }

    std::wstring Plant(const wchar_t* name, const std::wstring& folder)
    {
        std::wstring path = folder + L"\\" + name;
        m_plantedCopies.push_back(path);
        DeleteFileW((path + L".ran").c_str());
        if (!CopyFileW(m_planted.c_str(), path.c_str(), FALSE))
            return std::wstring();
        return path;
    }

    static bool WaitForFile(const std::wstring& path)
    {
        for (int i = 0; i < 200; ++i)
        {
            if (FileExists(path))
                return true;
            Sleep(50);
        }
        return false;
    }

    // Starts a command line the way the platform does when nothing names
    // the program: a search that begins in this program's folder.
    static void RunSearched(const wchar_t* command)
    {
        std::wstring line = command;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
        {
            WaitForSingleObject(process.hProcess, 10000);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }

    std::wstring m_ownFolder;
    std::wstring m_planted;
    std::wstring m_folder;
    std::wstring m_system;
    std::vector<std::wstring> m_plantedCopies;
};

TEST_F(StartedCommands, RunCommand_StartsTheSystemProgramNotOnePlantedBesideTheRunningProgram)
{
    const std::wstring planted = Plant(L"cmd.exe", m_ownFolder);
    ASSERT_FALSE(planted.empty());
    RunSearched(L"cmd.exe /c exit 0");
    ASSERT_TRUE(FileExists(planted + L".ran")) << "a plain search must find the planted program, or this test shows nothing";
    DeleteFileW((planted + L".ran").c_str());

    CInstall install;
    const u32 kIdCommand = 7001;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, {{kIdCommand, L"cmd.exe /c echo pinned> \"%s\""}}));
    const std::wstring marker = m_folder + L"\\system-cmd-ran.txt";
    EXPECT_EQ(install.RunCommand(kIdCommand, marker.c_str()), 1);
    EXPECT_TRUE(WaitForFile(marker));
    EXPECT_FALSE(FileExists(planted + L".ran"));
}

TEST_F(StartedCommands, RunCommand_ReturnsZeroOnlyForFormatIdZero)
{
    CInstall install;
    const u32 kIdMissingProgram = 7002;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, {{kIdMissingProgram, L"klawisz-no-such-program.exe %s"}}));
    EXPECT_EQ(install.RunCommand(0, L"x"), 0);
    EXPECT_EQ(install.RunCommand(kIdUnknown, L"x"), 1);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(install.RunCommand(kIdMissingProgram, L"x"), 1);
    // Nothing was started, so there was nothing to wait for.
    EXPECT_LT(GetTickCount64() - start, 900u);
}

TEST_F(StartedCommands, PinProgramToSystemFolder_NamesEveryProgramByAFullPath)
{
    struct Case
    {
        const char* name;
        std::wstring line;
        int result;
        std::wstring pinnedLine;
        std::wstring program;
    };
    const std::wstring quotedCmd = L"\"" + m_system + L"\\cmd.exe\"";
    const Case cases[] = {
        {"bare name", L"cmd.exe /c exit", 1, quotedCmd + L" /c exit", m_system + L"\\cmd.exe"},
        {"quoted bare name", L"\"control.exe\" intl.cpl,, /f:\"a b.xml\"", 1,
         L"\"" + m_system + L"\\control.exe\" intl.cpl,, /f:\"a b.xml\"", m_system + L"\\control.exe"},
        {"bare name alone", L"cmd.exe", 1, quotedCmd, m_system + L"\\cmd.exe"},
        {"relative path", L"sub\\tool.exe x", 1, L"\"" + m_system + L"\\sub\\tool.exe\" x",
         m_system + L"\\sub\\tool.exe"},
        {"full path kept", L"C:\\windows\\notepad.exe a", 1, L"C:\\windows\\notepad.exe a", L"C:\\windows\\notepad.exe"},
        {"quoted full path with spaces kept", L"\"C:\\Program Files\\a b.exe\" \"x\"", 1,
         L"\"C:\\Program Files\\a b.exe\" \"x\"", L"C:\\Program Files\\a b.exe"},
        {"network path kept", L"\\\\server\\share\\p.exe", 1, L"\\\\server\\share\\p.exe", L"\\\\server\\share\\p.exe"},
        {"empty line", L"", 0, L"", L""},
        {"blanks only", L"   ", 0, L"   ", L""},
        {"quote never closed", L"\"cmd.exe /c", 0, L"\"cmd.exe /c", L""},
        {"empty quotes", L"\"\" x", 0, L"\"\" x", L""},
    };
    CInstall install;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        GString line;
        line.AssignWide(c.line.c_str());
        GString program;
        EXPECT_EQ(install.PinProgramToSystemFolder(line, program), c.result);
        EXPECT_EQ(Text(line), c.pinnedLine);
        if (c.result)
            EXPECT_EQ(Lower(Text(program)), Lower(c.program));
    }
}

TEST_F(StartedCommands, OpenWithAssociatedProgram_StartsTheRegisteredProgramWithTheArgument)
{
    const std::wstring program = Plant(L"assoc-probe.exe", m_folder);
    ASSERT_FALSE(program.empty());
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L".klawisztest", 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0), ERROR_SUCCESS);
    RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"KlawiszTest.File"), 34);
    RegCloseKey(key);
    const std::wstring command = L"\"" + program + L"\" \"%1\"";
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"KlawiszTest.File\\shell\\open\\command", 0, 0, 0, KEY_ALL_ACCESS, 0,
                              &key, 0),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * 2));
    RegCloseKey(key);

    CInstall install;
    const u32 kIdExtension = 7003;
    const u32 kIdMissingExtension = 7004;
    const u32 kIdFormat = 7005;
    const u32 kIdNeedle = 7006;
    const u32 kIdLowerNeedle = 7007;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, {
                                                             {kIdExtension, L".klawisztest"},
                                                             {kIdMissingExtension, L".klawisznone"},
                                                             {kIdFormat, L"\"%s\" %s"},
                                                             {kIdNeedle, L"ASSOC-PROBE.EXE"},
                                                             {kIdLowerNeedle, L"assoc-probe.exe"},
                                                         }));
    GString found;
    ASSERT_EQ(install.GetAssociatedProgram(kIdExtension, found), 1);
    EXPECT_EQ(Lower(Text(found)), Lower(program));
    EXPECT_EQ(install.AssociatedProgramContains(kIdExtension, kIdNeedle), 1);
    // The path is upper-cased before the search, so only an upper-case needle matches.
    EXPECT_EQ(install.AssociatedProgramContains(kIdExtension, kIdLowerNeedle), 0);
    EXPECT_EQ(install.AssociatedProgramContains(kIdMissingExtension, kIdNeedle), 0);
    EXPECT_EQ(install.AssociatedProgramContains(kIdExtension, kIdUnknown), 0);

    EXPECT_EQ(install.OpenWithAssociatedProgram(kIdExtension, kIdFormat, L"argument"), 1);
    EXPECT_TRUE(WaitForFile(program + L".ran"));

    GString none;
    none.AssignWide(L"left over");
    EXPECT_EQ(install.GetAssociatedProgram(kIdMissingExtension, none), 0);
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(install.OpenWithAssociatedProgram(kIdMissingExtension, kIdFormat, L"argument"), 0);
}

} // namespace

namespace
{

// The program's own texts must name what the engine looks up and starts.
class ProgramTexts : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(m_install.AttachStringTables(), 1); }

    CInstall m_install;
};

TEST_F(ProgramTexts, FunctionNamesDenoteThePlatformFunctionsInTheirLibraries)
{
    struct Case
    {
        u32 nameId;
        u32 libraryId;
        const wchar_t* library;
        const char* function;
    };
    const Case cases[] = {
        {58, 144, L"kernel32.dll", "GetNativeSystemInfo"},
        {60, 144, L"kernel32.dll", "GetSystemWow64DirectoryW"},
        {56, 144, L"kernel32.dll", "Wow64DisableWow64FsRedirection"},
        {57, 144, L"kernel32.dll", "Wow64RevertWow64FsRedirection"},
        {59, 145, L"advapi32.dll", "RegDeleteKeyExW"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.function);
        HMODULE module = 0;
        FARPROC proc = m_install.GetProcById(c.nameId, c.libraryId, module);
        ASSERT_NE(module, nullptr);
        HMODULE expectedModule = LoadLibraryW(c.library);
        EXPECT_EQ(reinterpret_cast<void*>(proc), reinterpret_cast<void*>(GetProcAddress(expectedModule, c.function)));
        EXPECT_NE(proc, nullptr);
        FreeLibrary(expectedModule);
        FreeLibrary(module);
    }
    CInstall::RedirectionDisableProc disable = 0;
    CInstall::RedirectionRevertProc revert = 0;
    HMODULE module = m_install.GetRedirectionSwitch(disable, revert);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(disable, nullptr);
    EXPECT_NE(revert, nullptr);
    FreeLibrary(module);
}

TEST_F(ProgramTexts, CommandsNameTheirProgramsInTheSystemFolder)
{
    wchar_t system[MAX_PATH];
    const std::wstring systemFolder(system, GetSystemDirectoryW(system, MAX_PATH));
    struct Case
    {
        const char* name;
        u32 formatId;
        const wchar_t* first;
        const wchar_t* second;
        std::wstring program;
    };
    const Case cases[] = {
        {"language settings command", 49, L"C:\\temp\\settings.xml", 0, systemFolder + L"\\control.exe"},
        {"associated program command", 2, L"C:\\windows\\system32\\rundll32.exe", L"shell32.dll,Control_RunDLL",
         L"C:\\windows\\system32\\rundll32.exe"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        GString format;
        ASSERT_EQ(m_install.GetString(c.formatId, format), 1);
        GString line;
        ASSERT_EQ(line.Format(format.WideText(0), c.first, c.second), 1);
        GString program;
        ASSERT_EQ(m_install.PinProgramToSystemFolder(line, program), 1);
        EXPECT_EQ(Lower(Text(program)), Lower(c.program));
        EXPECT_NE(Text(line).find(c.first), std::wstring::npos);
        wchar_t* part = 0;
        wchar_t full[MAX_PATH];
        EXPECT_GT(GetFullPathNameW(Text(program).c_str(), MAX_PATH, full, &part), 0u);
        EXPECT_TRUE(FileExists(full)) << "the program the command names must be there";
    }
}

TEST_F(ProgramTexts, MessagesOfTheStartupChecksExistInBothLanguages)
{
    for (u32 language = 0; language < 2; ++language)
    {
        ASSERT_EQ(m_install.SetUiLanguage(language), 1);
        for (u32 id : {93u, 94u, 123u, 124u})
        {
            SCOPED_TRACE(testing::Message() << "language " << language << ", string " << id);
            GString text;
            EXPECT_EQ(m_install.GetString(id, text), 1);
            EXPECT_FALSE(text.IsEmpty());
        }
    }
}

TEST_F(ProgramTexts, AssociationTestLooksForAnUpperCaseNeedle)
{
    GString needle;
    ASSERT_EQ(m_install.GetString(45, needle), 1);
    GString upper;
    upper.Assign(needle);
    upper.MakeUpper();
    EXPECT_EQ(Text(needle), Text(upper));
    EXPECT_FALSE(needle.IsEmpty());
}

} // namespace
