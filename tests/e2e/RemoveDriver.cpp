// Drives the removal road of the setup program from outside, as a user
// would: an installation made through the wizard, then the setup copy it
// left started again and the installation removed from its welcome page.
// Then checks what the removal left, carries out the restart's queued work
// and compares the prefix with how it was before the install. The exit code
// is the result (0 = every check held).
//
//   RemoveDriver SETUP.EXE CONTENT_DIR
//
// The interface language is the one the program chooses for the Unix locale
// it runs under. Every change is taken back at the end. Screenshots go to
// KLAWISZ_SHOT_DIR.

#include "DriverWindows.h"

#include <windows.h>

#include <shlobj.h>

#include <functional>
#include <map>
#include <set>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const DWORD kProcedureWaitMs = 240000;
const DWORD kRestartWaitMs = 180000;
const int kMessageTextId = 0xFFFF;

// Control ids of the pages.
const int kNext = 1;
const int kInstall = 206;
const int kAccept = 305;
const int kLicenceText = 306;
const int kWelcomeHeading = 308;
const int kRemove = 315;
const int kChange = 2003;
const int kDoneText1 = 1209;
const int kDoneText2 = 1204;

const char* const kLanguageCodes[2] = { "en", "pl" };
const wchar_t kPendingValue[] = L"PendingFileRenameOperations";

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), 0, 0, 0, 0);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, 0, 0);
    return out;
}

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), 0, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// "/a/b" -> "Z:\a\b" (Wine maps Z: to the Unix root); Windows paths stay.
std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    std::wstring out = L"Z:" + path;
    for (size_t i = 0; i < out.size(); i++) {
        if (out[i] == L'/')
            out[i] = L'\\';
    }
    return out;
}

// folder \ part, with exactly one backslash between them.
std::wstring Join(std::wstring folder, const std::wstring& part)
{
    while (!folder.empty() && folder[folder.size() - 1] == L'\\')
        folder.erase(folder.size() - 1);
    size_t skip = 0;
    while (skip < part.size() && part[skip] == L'\\')
        skip++;
    return folder + L"\\" + part.substr(skip);
}

std::wstring FileName(const std::wstring& path)
{
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

int ReadFileBytes(const std::wstring& path, std::string& out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    out.clear();
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, 0) && got > 0)
        out.append(buffer, got);
    CloseHandle(file);
    return 1;
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

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = { 0 };
    if (FAILED(SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

// Every file and folder below a folder, as lower-case full paths.
void ListTree(const std::wstring& folder, std::set<std::wstring>& out)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(Join(folder, L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = Join(folder, name);
        out.insert(Lower(path));
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(path, out);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// ---- Expected texts, read from the string table sources ----

class CExpected
{
public:
    int Load(const std::wstring& contentDir)
    {
        const wchar_t* files[4] = { L"common.txt", L"setup.txt", L"en.txt", L"pl.txt" };
        for (int i = 0; i < 4; i++) {
            if (!LoadTable(contentDir + L"\\strings\\" + files[i], m_tables[i]))
                return 0;
        }
        return 1;
    }

    // The program's lookup order: the language's table, common, setup.
    std::wstring Text(unsigned id, int language) const
    {
        const std::map<unsigned, std::wstring>* order[3] = { &m_tables[2 + language], &m_tables[0], &m_tables[1] };
        for (int i = 0; i < 3; i++) {
            std::map<unsigned, std::wstring>::const_iterator found = order[i]->find(id);
            if (found != order[i]->end())
                return found->second;
        }
        return std::wstring();
    }

    // A format text with its one %s filled in.
    std::wstring Formatted(unsigned formatId, const std::wstring& argument, int language) const
    {
        std::wstring format = Text(formatId, language);
        size_t at = format.find(L"%s");
        if (at != std::wstring::npos)
            format.replace(at, 2, argument);
        return format;
    }

private:
    static int LoadTable(const std::wstring& path, std::map<unsigned, std::wstring>& table)
    {
        std::string bytes;
        if (!ReadFileBytes(path, bytes))
            return 0;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t end = bytes.find('\n', start);
            if (end == std::string::npos)
                end = bytes.size();
            std::string line = bytes.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line[line.size() - 1] == '\r')
                line.erase(line.size() - 1);
            if (line.empty() || line[0] == '#')
                continue;
            size_t tab = line.find('\t');
            if (tab == std::string::npos)
                continue;
            unsigned id = static_cast<unsigned>(strtoul(line.substr(0, tab).c_str(), 0, 10));
            std::string text;
            for (size_t i = tab + 1; i < line.size(); i++) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    char next = line[++i];
                    text += next == 'n' ? '\n' : next == 't' ? '\t' : next;
                } else {
                    text += line[i];
                }
            }
            table[id] = Wide(text);
        }
        return 1;
    }

    std::map<unsigned, std::wstring> m_tables[4];
};

// ---- Registry ----

struct RegValue
{
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;

    bool operator==(const RegValue& other) const
    {
        return present == other.present && type == other.type && data == other.data;
    }

    std::wstring Text() const
    {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        while (!text.empty() && text[text.size() - 1] == 0)
            text.erase(text.size() - 1);
        return text;
    }
};

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

RegValue ReadValue(HKEY root, const std::wstring& path, const std::wstring& name)
{
    RegValue value;
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), 0, &value.type, 0, &size) == ERROR_SUCCESS) {
        value.data.assign(size, '\0');
        if (RegQueryValueExW(key, name.c_str(), 0, &value.type,
                size ? reinterpret_cast<BYTE*>(&value.data[0]) : 0, &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            value.present = true;
        }
    }
    RegCloseKey(key);
    return value;
}

bool WriteValue(HKEY root, const std::wstring& path, const std::wstring& name, const RegValue& value)
{
    HKEY key = 0;
    if (RegCreateKeyExW(root, path.c_str(), 0, 0, 0, KEY_SET_VALUE, 0, &key, 0) != ERROR_SUCCESS)
        return false;
    LONG result = value.present
        ? RegSetValueExW(key, name.c_str(), 0, value.type, reinterpret_cast<const BYTE*>(value.data.data()),
              static_cast<DWORD>(value.data.size()))
        : RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!value.present && result == ERROR_FILE_NOT_FOUND);
}

std::vector<std::wstring> MultiStrings(const RegValue& value)
{
    std::vector<std::wstring> out;
    std::wstring all(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos)
            end = all.size();
        out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    // The list ends with an empty text.
    while (!out.empty() && out.back().empty() && out.size() % 2)
        out.pop_back();
    return out;
}

// Every value and sub-key below a key, as one comparable text.
std::wstring Snapshot(HKEY root, const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"(missing)";
    std::wstring out;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[2048];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, 0, &type, data, &size) != ERROR_SUCCESS)
            break;
        out += L"[" + std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":";
        for (DWORD j = 0; j < size; ++j)
            out += std::to_wstring(data[j]) + L",";
        out += L"]";
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, 0, 0, 0, 0) != ERROR_SUCCESS)
            break;
        std::wstring sub(name, nameLength);
        out += L"{" + sub + L":" + Snapshot(root, Join(path, sub)) + L"}";
    }
    RegCloseKey(key);
    return out;
}


bool Offered(HWND item)
{
    return Visible(item) && IsWindowEnabled(item);
}

// ---- The road ----

class CDriver
{
public:
    CDriver() : m_failures(0), m_shotCount(0), m_language(0)
    {
        ZeroMemory(&m_process, sizeof(m_process));
    }

    int Run(const std::wstring& setup, const std::wstring& contentDir)
    {
        m_setup = setup;
        if (!m_expected.Load(contentDir)) {
            printf("e2e: cannot read the texts under %s\n", Utf8(contentDir).c_str());
            return 1;
        }
        wchar_t shots[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"KLAWISZ_SHOT_DIR", shots, MAX_PATH);
        m_shotDirUnix = n > 0 && n < MAX_PATH ? std::wstring(shots, n) : std::wstring();
        m_language = GetUserDefaultLangID() == 0x0415 ? 1 : 0;
        BuildExpectedPaths();

        if (!Clean()) {
            m_failures++;
        } else {
            Remember();
            if (!InstallRoad() || !RemoveRoad())
                m_failures++;
            else if (!CheckRemoved() || !CheckAfterRestart())
                m_failures++;
            Stop();
            TakeBack();
        }
        Stop();
        printf("e2e: %s\n", m_failures ? "FAILED" : "all checks held");
        return m_failures ? 1 : 0;
    }

private:
    // ---- Helpers ----

    std::wstring S(unsigned id) const { return m_expected.Text(id, m_language); }

    int Check(bool condition, const std::string& what)
    {
        if (!condition) {
            printf("e2e: check failed: %s\n", what.c_str());
            Screenshot("remove-failure");
        }
        return condition ? 1 : 0;
    }

    int CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::string& what)
    {
        if (actual == expected)
            return 1;
        printf("e2e: %s: expected \"%s\", found \"%s\"\n", what.c_str(), Utf8(expected).c_str(), Utf8(actual).c_str());
        return 0;
    }

    int CheckText(HWND hwnd, const std::wstring& expected, const std::string& what)
    {
        int ok = CheckEqual(TextOf(hwnd), expected, what);
        if (!ok)
            Screenshot("remove-failure");
        return ok;
    }

    int Start(const std::wstring& program)
    {
        std::wstring command = L"\"" + program + L"\"";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        ZeroMemory(&m_process, sizeof(m_process));
        if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &m_process)) {
            printf("e2e: cannot start %s (error %lu)\n", Utf8(program).c_str(), GetLastError());
            return 0;
        }
        m_main = 0;
        WaitUntil([&] { return (m_main = TopLevelOf(m_process.dwProcessId, m_expected.Text(94, 0))) != 0; });
        return Check(m_main != 0, "the main window appears");
    }

    void Stop()
    {
        if (!m_process.hProcess)
            return;
        if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process.hProcess, 99);
            WaitForSingleObject(m_process.hProcess, kWaitMs);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
        ZeroMemory(&m_process, sizeof(m_process));
        m_main = 0;
    }

    bool Running() const
    {
        return m_process.hProcess && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
    }

    HWND WaitForPage(int controlId, DWORD timeoutMs = kWaitMs)
    {
        HWND page = 0;
        WaitUntil([&] { return (page = PageWith(m_main, controlId)) != 0; }, timeoutMs);
        return page;
    }

    HWND MessageBoxOfProgram()
    {
        return TopLevelOf(m_process.dwProcessId, L"#32770");
    }

    HWND WaitForMessageBox()
    {
        HWND box = 0;
        WaitUntil([&] { return (box = MessageBoxOfProgram()) != 0; });
        return box;
    }

    // The finish page's close box ends the program at once, asking nothing.
    int CloseFinishPage()
    {
        PostMessageW(m_main, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND box = 0;
        bool ended = WaitUntil([&] {
            if ((box = MessageBoxOfProgram()) != 0)
                return true;
            return !Running();
        }) != 0;
        int ok = Check(box == 0, "the close box asks nothing");
        DWORD exitCode = 99;
        ok &= Check(ended && WaitForSingleObject(m_process.hProcess, kWaitMs) == WAIT_OBJECT_0, "the program ends");
        GetExitCodeProcess(m_process.hProcess, &exitCode);
        ok &= Check(exitCode == 0, "the program ends with exit code 0");
        Stop();
        return ok;
    }

    // The whole screen as the user sees it, into KLAWISZ_SHOT_DIR/name.png.
    void Screenshot(const std::string& name)
    {
        if (m_shotDirUnix.empty() || m_shotCount > 20)
            return;
        m_shotCount++;
        if (m_main && IsWindow(m_main)) {
            RedrawWindow(m_main, 0, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            Send(m_main, WM_NULL, 0, 0);
        }
        if (m_shotDirUnix[0] != L'/') {
            printf("e2e: KLAWISZ_SHOT_DIR must be a Unix path\n");
            return;
        }
        std::wstring file = m_shotDirUnix + L"/" + Wide(name) + L".png";
        std::wstring part = file + L".part";
        std::wstring windowsFile = WindowsPath(file);
        DeleteFileW(windowsFile.c_str());
        // Wine starts Unix programs too; the shell renames the picture once
        // it is complete, so its appearance is the signal.
        std::wstring command = L"/bin/sh -c \"import -window root png:'" + part + L"' && mv '" + part + L"' '"
            + file + L"'\"";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process)) {
            printf("e2e: cannot take the screenshot %s (error %lu)\n", name.c_str(), GetLastError());
            return;
        }
        if (process.hProcess && process.hProcess != INVALID_HANDLE_VALUE)
            CloseHandle(process.hProcess);
        if (process.hThread && process.hThread != INVALID_HANDLE_VALUE)
            CloseHandle(process.hThread);
        if (!WaitUntil([&] { return GetFileAttributesW(windowsFile.c_str()) != INVALID_FILE_ATTRIBUTES; }))
            printf("e2e: the screenshot %s did not appear\n", name.c_str());
        else
            printf("e2e: screenshot %s\n", Utf8(file).c_str());
    }

    // ---- Where the installation lives ----

    std::wstring MakerKey() const { return Join(S(7), S(8)); }
    std::wstring RecordKey() const { return Join(MakerKey(), S(10)); }
    std::wstring RegistrationKey() const { return Join(S(3), S(85)); }
    std::wstring ProgramsEntryKey() const { return Join(S(330), S(10)); }
    std::wstring PendingKey() const { return L"SYSTEM\\CurrentControlSet\\Control\\Session Manager"; }

    void BuildExpectedPaths()
    {
        std::wstring programs = SpecialFolder(CSIDL_PROGRAM_FILES);
        std::wstring menu = SpecialFolder(CSIDL_COMMON_PROGRAMS);
        std::wstring desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        m_watchedFolders = { programs, menu, desktop };
        m_makerFolder = Join(programs, S(9));
        m_productFolder = Join(m_makerFolder, S(10));
        m_menuMakerFolder = Join(menu, S(9));
        m_menuFolder = Join(m_menuMakerFolder, S(10));
        std::wstring displayName = S(22) + L" (" + S(23) + L")";
        std::wstring setupLinkTitle = m_expected.Formatted(48, S(81), m_language);

        m_setupCopy = Join(m_productFolder, FileName(m_setup));
        m_installed = {
            Join(m_productFolder, displayName + S(42)),
            Join(m_menuFolder, displayName + S(43)),
            Join(desktop, displayName + S(43)),
            Join(m_productFolder, S(30) + S(42)),
            Join(m_menuFolder, S(30) + S(43)),
            Join(desktop, S(30) + S(43)),
            Join(m_productFolder, S(71) + S(44)),
            Join(m_menuFolder, S(71) + S(43)),
            Join(desktop, S(71) + S(43)),
            Join(m_productFolder, S(80)),
            Join(m_menuFolder, S(70) + S(46)),
            Join(desktop, S(70) + S(46)),
            m_setupCopy,
            Join(m_menuFolder, setupLinkTitle + S(43)),
        };

        wchar_t system[MAX_PATH] = { 0 };
        wchar_t system32[MAX_PATH] = { 0 };
        GetSystemDirectoryW(system, MAX_PATH);
        GetSystemWow64DirectoryW(system32, MAX_PATH);
        m_target64 = Join(system, S(83));
        m_target32 = Join(system32, S(83));
        m_staging32 = Join(m_productFolder, S(83));
        m_staging64 = m_staging32 + L"64";
    }

    // Nothing of the product may be there when the road starts.
    int Clean()
    {
        int ok = 1;
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, RecordKey()), "no record before the install");
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey()), "no layout registration before the install");
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, ProgramsEntryKey()), "no installed-programs entry before");
        ok &= Check(!FileExists(m_target64) && !FileExists(m_target32), "no layout library in the system folders");
        ok &= Check(!FolderExists(m_productFolder) && !FolderExists(m_menuFolder), "no product folders before");
        return ok;
    }

    std::vector<std::wstring> RegistryState()
    {
        return { Snapshot(HKEY_LOCAL_MACHINE, MakerKey()), Snapshot(HKEY_LOCAL_MACHINE, S(3)),
            Snapshot(HKEY_LOCAL_MACHINE, ProgramsEntryKey()) };
    }

    std::set<std::wstring> FileState()
    {
        std::set<std::wstring> all;
        for (const std::wstring& folder : m_watchedFolders)
            ListTree(folder, all);
        return all;
    }

    // The values the road changes, to give back afterwards, and the state
    // the removal is compared with. The restart queue starts empty, so that
    // the simulated restart carries out only this road's work.
    void Remember()
    {
        m_makerFolderWasThere = FolderExists(m_makerFolder);
        m_menuMakerFolderWasThere = FolderExists(m_menuMakerFolder);
        m_savedMap = ReadValue(HKEY_LOCAL_MACHINE, S(5), S(6));
        for (int i = 0; i < 3; i++)
            m_savedHotkeys[i] = ReadValue(HKEY_CURRENT_USER, S(13), S(14 + i));
        m_savedStartup = ReadValue(HKEY_LOCAL_MACHINE, S(4), S(71));
        m_savedPending = ReadValue(HKEY_LOCAL_MACHINE, PendingKey(), kPendingValue);
        (void)WriteValue(HKEY_LOCAL_MACHINE, PendingKey(), kPendingValue, RegValue());
        m_registryBefore = RegistryState();
        m_filesBefore = FileState();
    }

    void DeleteFolderTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Join(folder, L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring path = Join(folder, name);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    DeleteFolderTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    // Leaves the prefix as the road found it, whatever the road did.
    void TakeBack()
    {
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, RecordKey().c_str());
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, RecordKey().c_str());
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, MakerKey().c_str());
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, RegistrationKey().c_str());
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, RegistrationKey().c_str());
        (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, ProgramsEntryKey().c_str());
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, ProgramsEntryKey().c_str());
        (void)WriteValue(HKEY_LOCAL_MACHINE, S(5), S(6), m_savedMap);
        for (int i = 0; i < 3; i++)
            (void)WriteValue(HKEY_CURRENT_USER, S(13), S(14 + i), m_savedHotkeys[i]);
        (void)WriteValue(HKEY_LOCAL_MACHINE, S(4), S(71), m_savedStartup);
        (void)WriteValue(HKEY_LOCAL_MACHINE, PendingKey(), kPendingValue, m_savedPending);
        for (const std::wstring& path : m_installed)
            DeleteFileW(path.c_str());
        DeleteFolderTree(m_productFolder);
        DeleteFolderTree(m_menuFolder);
        if (!m_makerFolderWasThere)
            RemoveDirectoryW(m_makerFolder.c_str());
        if (!m_menuMakerFolderWasThere)
            RemoveDirectoryW(m_menuMakerFolder.c_str());
        DeleteFileW(m_target64.c_str());
        DeleteFileW(m_target32.c_str());
    }

    // Whether a deletion of the file waits for the restart.
    bool DeletionQueued(const std::wstring& path)
    {
        std::vector<std::wstring> entries = MultiStrings(ReadValue(HKEY_LOCAL_MACHINE, PendingKey(), kPendingValue));
        const std::wstring wanted = Lower(path);
        for (size_t i = 0; i + 1 < entries.size(); i += 2) {
            std::wstring source = Lower(entries[i]);
            if (source.size() >= wanted.size() && source.compare(source.size() - wanted.size(), wanted.size(), wanted) == 0
                && entries[i + 1].empty())
                return true;
        }
        return false;
    }

    // ---- The install, as a user makes it ----

    int InstallRoad()
    {
        if (!Start(m_setup))
            return 0;
        HWND welcome = WaitForPage(kWelcomeHeading);
        if (!Check(welcome != 0, "the welcome page appears"))
            return 0;
        PostMessageW(GetDlgItem(welcome, kNext), BM_CLICK, 0, 0);
        HWND licence = WaitForPage(kLicenceText);
        if (!Check(licence != 0, "Next shows the licence page"))
            return 0;
        Send(GetDlgItem(licence, kAccept), BM_CLICK, 0, 0);
        PostMessageW(GetDlgItem(licence, kNext), BM_CLICK, 0, 0);
        HWND setup = WaitForPage(kInstall);
        if (!Check(setup != 0, "Next shows the setup page"))
            return 0;
        PostMessageW(GetDlgItem(setup, kInstall), BM_CLICK, 0, 0);
        HWND done = 0;
        HWND box = 0;
        WaitUntil([&] {
            done = PageWith(m_main, kDoneText2);
            box = MessageBoxOfProgram();
            return done != 0 || box != 0 || !Running();
        }, kProcedureWaitMs);
        if (box)
            printf("e2e: the install ended with the message \"%s\"\n", Utf8(TextOf(GetDlgItem(box, kMessageTextId))).c_str());
        if (!Check(done != 0, "Install shows the finish page"))
            return 0;
        if (!CloseFinishPage())
            return 0;
        int ok = Check(FileExists(m_setupCopy), "the install left the setup copy");
        ok &= Check(KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey()), "the install registered the layout");
        m_mapAfterInstall = ReadValue(HKEY_LOCAL_MACHINE, S(5), S(6));
        for (int i = 0; i < 3; i++)
            m_hotkeysAfterInstall[i] = ReadValue(HKEY_CURRENT_USER, S(13), S(14 + i));
        return ok;
    }

    // ---- The removal, from the setup copy's welcome page ----

    int RemoveRoad()
    {
        const std::string code = kLanguageCodes[m_language];
        if (!Start(m_setupCopy))
            return 0;
        HWND welcome = WaitForPage(kWelcomeHeading);
        if (!Check(welcome != 0, "the setup copy shows the welcome page"))
            return 0;
        int ok = CheckText(GetDlgItem(welcome, kWelcomeHeading), m_expected.Formatted(141, S(81), m_language),
            "welcome heading of an installed version");
        ok &= Check(Offered(GetDlgItem(welcome, kRemove)) && Offered(GetDlgItem(welcome, kChange)),
            "the installed version offers Remove and Change");
        ok &= Check(!Visible(GetDlgItem(welcome, kNext)), "the installed version does not offer Next");
        ok &= CheckText(GetDlgItem(welcome, kRemove), S(127), "remove button");
        Screenshot("remove-welcome-" + code);

        // The question; No leaves the page as it was.
        PostMessageW(GetDlgItem(welcome, kRemove), BM_CLICK, 0, 0);
        HWND box = WaitForMessageBox();
        if (!Check(box != 0, "Remove asks first"))
            return 0;
        ok &= CheckText(GetDlgItem(box, kMessageTextId), m_expected.Formatted(129, S(0), m_language),
            "removal question");
        ok &= CheckText(box, S(93), "removal question caption");
        Screenshot("remove-question-" + code);
        Send(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        ok &= Check(WaitUntil([&] { return !IsWindow(box); }) != 0, "No closes the question");
        ok &= Check(PageWith(m_main, kWelcomeHeading) == welcome && Offered(GetDlgItem(welcome, kRemove)),
            "No leaves the welcome page usable");
        ok &= Check(KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey()), "No removes nothing");

        // Yes: the removal runs, then the finish page reports it.
        PostMessageW(GetDlgItem(welcome, kRemove), BM_CLICK, 0, 0);
        box = WaitForMessageBox();
        if (!Check(box != 0, "Remove asks again"))
            return 0;
        Send(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        HWND done = 0;
        HWND message = 0;
        WaitUntil([&] {
            done = PageWith(m_main, kDoneText2);
            message = MessageBoxOfProgram();
            if (message == box)
                message = 0;
            return done != 0 || message != 0 || !Running();
        }, kProcedureWaitMs);
        if (message)
            printf("e2e: the removal ended with the message \"%s\"\n",
                Utf8(TextOf(GetDlgItem(message, kMessageTextId))).c_str());
        if (!Check(done != 0, "Yes removes and shows the finish page"))
            return 0;
        ok &= CheckText(GetDlgItem(done, kDoneText1), L"", "finish page after the removal, first text");
        ok &= CheckText(GetDlgItem(done, kDoneText2), S(130), "finish page after the removal, second text");
        Screenshot("remove-done-" + code);
        ok &= CloseFinishPage();
        return ok;
    }

    // ---- What the removal left ----

    int CheckRemoved()
    {
        int ok = 1;
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey()), "the layout registration is gone");
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, MakerKey()), "the record is gone");
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, ProgramsEntryKey()), "the installed-programs entry is gone");
        for (const std::wstring& path : m_installed)
            ok &= Check(!FileExists(path) || DeletionQueued(path), "deleted or queued: " + Utf8(path));
        ok &= Check(!FolderExists(m_menuFolder) && !FolderExists(m_menuMakerFolder), "the start-menu folders are gone");
        ok &= Check(DeletionQueued(m_target32), "the 32-bit library's deletion is queued");
        ok &= Check(DeletionQueued(m_target64), "the 64-bit library's deletion is queued");
        ok &= Check(FileExists(m_staging32) && FileExists(m_staging64), "the staged libraries wait for the restart");
        ok &= Check(FolderExists(m_productFolder), "the product folder that holds them stays");

        // Left as documented: the key reassignment and the hotkeys as the
        // install made them, and the start-up value written at the end.
        ok &= Check(ReadValue(HKEY_LOCAL_MACHINE, S(5), S(6)) == m_mapAfterInstall, "the scancode map is left");
        for (int i = 0; i < 3; i++)
            ok &= Check(ReadValue(HKEY_CURRENT_USER, S(13), S(14 + i)) == m_hotkeysAfterInstall[i],
                "the hotkey value is left: " + Utf8(S(14 + i)));
        ok &= CheckEqual(ReadValue(HKEY_LOCAL_MACHINE, S(4), S(71)).Text(), S(50), "start-up value");
        return ok;
    }

    // ---- The restart, simulated ----

    int CheckAfterRestart()
    {
        wchar_t system[MAX_PATH] = { 0 };
        GetSystemDirectoryW(system, MAX_PATH);
        std::wstring command = Join(system, L"wineboot.exe") + L" -r";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process;
        if (!Check(CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process) != 0, "wineboot -r starts"))
            return 0;
        DWORD waited = WaitForSingleObject(process.hProcess, kRestartWaitMs);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (!Check(waited == WAIT_OBJECT_0, "the simulated restart ends"))
            return 0;

        int ok = 1;
        ok &= Check(!FileExists(m_target32) && !FileExists(m_target64), "the libraries are gone after the restart");
        ok &= Check(!FileExists(m_staging32) && !FileExists(m_staging64), "the staged libraries are gone");
        for (const std::wstring& path : m_installed)
            ok &= Check(!FileExists(path), "gone after the restart: " + Utf8(path));
        ok &= Check(MultiStrings(ReadValue(HKEY_LOCAL_MACHINE, PendingKey(), kPendingValue)).empty(),
            "nothing waits for another restart");

        // Against the prefix before the install: the registry of the
        // product as it was; in the files only the emptied product folder
        // and the maker folder around it.
        std::vector<std::wstring> registry = RegistryState();
        const char* parts[] = { "the maker's record key", "the layout registrations", "the installed-programs entry" };
        for (size_t i = 0; i < registry.size(); i++)
            ok &= Check(registry[i] == m_registryBefore[i], std::string("as before the install: ") + parts[i]);
        std::set<std::wstring> files = FileState();
        std::set<std::wstring> traces = { Lower(m_productFolder) };
        if (!m_makerFolderWasThere)
            traces.insert(Lower(m_makerFolder));
        for (const std::wstring& path : files) {
            if (!m_filesBefore.count(path) && !traces.count(path))
                ok &= Check(false, "left after the removal: " + Utf8(path));
        }
        for (const std::wstring& path : m_filesBefore)
            ok &= Check(files.count(path) != 0, "gone since before the install: " + Utf8(path));
        for (const std::wstring& path : traces)
            printf("e2e: trace left as documented: %s\n", Utf8(path).c_str());
        return ok;
    }

    std::wstring m_setup;
    std::wstring m_shotDirUnix;
    CExpected m_expected;
    PROCESS_INFORMATION m_process;
    HWND m_main = 0;
    int m_failures;
    int m_shotCount;
    int m_language;

    std::vector<std::wstring> m_watchedFolders;
    std::wstring m_makerFolder, m_productFolder, m_menuMakerFolder, m_menuFolder, m_setupCopy;
    std::vector<std::wstring> m_installed;
    std::wstring m_target32, m_target64, m_staging32, m_staging64;

    bool m_makerFolderWasThere = false;
    bool m_menuMakerFolderWasThere = false;
    RegValue m_savedMap, m_savedStartup, m_savedPending;
    RegValue m_savedHotkeys[3];
    RegValue m_mapAfterInstall;
    RegValue m_hotkeysAfterInstall[3];
    std::vector<std::wstring> m_registryBefore;
    std::set<std::wstring> m_filesBefore;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        printf("usage: RemoveDriver SETUP.EXE CONTENT_DIR\n");
        return 2;
    }
    CDriver driver;
    return driver.Run(WindowsPath(argv[1]), WindowsPath(argv[2]));
}
