// Drives the install road of the setup program from outside, as a user
// would, and then checks what the installation left in the registry and the
// file system. The exit code is the result (0 = every check held).
//
//   InstallDriver SETUP.EXE CONTENT_DIR restart|close|update|failing|versions [en|pl]
//
//   restart   welcome, licence, setup (QWERTZ, decimal comma, desktop links),
//             Install, finish page, the restart button; then the registry, the
//             files, the queued library moves, a simulated restart and the
//             libraries it put in the system folders
//   close     the same road, ended on the finish page by the close box
//   update    the same road, then the installation changed from the welcome
//             page: only the layout's choices and its libraries change
//   failing   the road without the hotkey key: the install fails at its last
//             step, the failure message, no finish page
//   versions  the setup page under the Windows versions Wine can show
//
// The interface language is the one the program chooses for the Unix locale
// it runs under; a last argument en or pl insists on one. Every change is taken back at the end, so that the run's
// prefix is left as it was found. Screenshots go to KLAWISZ_SHOT_DIR.

#include "DriverWindows.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <functional>
#include <map>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const DWORD kInstallWaitMs = 240000;
const DWORD kRestartWaitMs = 180000;
const int kMessageTextId = 0xFFFF;

// Control ids of the pages.
const int kNext = 1;
const int kInstall = 206;
const int kCancel = 300;
const int kBack = 301;
const int kExpert1 = 303;
const int kExpert2 = 304;
const int kAccept = 305;
const int kLicenceText = 306;
const int kWelcomeHeading = 308;
const int kRemove = 315;
const int kChange = 2003;
const int kSetupHeading = 313;
const int kFamilyLabel = 314;
const int kDecimalLabel = 316;
const int kSetupNote = 317;
const int kLangEntry = 1200;
const int kLayoutLang = 1202;
const int kHotkeys = 1205;
const int kDesktopLinks = 1212;
const int kAltSet = 1213;
const int kFamily = 1214;
const int kDecimal = 1215;
const int kDoneText1 = 1209;
const int kDoneText2 = 1204;
const int kRestart = 1213;

const unsigned kThisVersion = 190;
const DWORD kQwertz = 1;
const DWORD kDvorak = 2;
const DWORD kComma = 0;
const DWORD kFullStop = 1;
// The virtual keys of scancodes 10, 15 and 2C in each letter arrangement.
const unsigned char kFamilyKeys[3][3] = { { 'Q', 'Y', 'Z' }, { 'Q', 'Z', 'Y' }, { 0xDE, 'F', 0xBA } };
const unsigned kFamilyScancodes[3] = { 0x10, 0x15, 0x2C };
// A key reassignment the user made before: Caps Lock sends Left Ctrl.
const DWORD kPlantedMap[] = { 0, 0, 2, 0x003A001D, 0 };

const char* const kLanguageCodes[2] = { "en", "pl" };

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

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return Lower(a) == Lower(b);
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

std::wstring SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = { 0 };
    if (FAILED(SHGetFolderPathW(0, csidl, 0, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
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

    // A format text with its %s and %04x directives filled in turn.
    static std::wstring Fill(std::wstring format, const std::vector<std::wstring>& arguments)
    {
        std::wstring out;
        size_t next = 0;
        for (size_t i = 0; i < format.size(); i++) {
            if (format[i] != L'%' || i + 1 >= format.size()) {
                out += format[i];
                continue;
            }
            size_t end = i + 1;
            while (end < format.size() && iswdigit(format[end]))
                end++;
            if (end < format.size() && (format[end] == L's' || format[end] == L'x') && next < arguments.size()) {
                out += arguments[next++];
                i = end;
            } else {
                out += format[i];
            }
        }
        return out;
    }

    std::wstring Formatted(unsigned formatId, const std::wstring& argument, int language) const
    {
        return Fill(Text(formatId, language), { argument });
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

    std::wstring Text() const
    {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        while (!text.empty() && text[text.size() - 1] == 0)
            text.erase(text.size() - 1);
        return text;
    }

    DWORD Number() const
    {
        DWORD value = 0;
        if (data.size() == sizeof(value))
            memcpy(&value, data.data(), sizeof(value));
        return value;
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
        if (end == start)
            break;
        out.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return out;
}


bool Ticked(HWND item)
{
    return Send(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

LRESULT SelectedData(HWND list)
{
    LRESULT index = Send(list, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : Send(list, CB_GETITEMDATA, index, 0);
}

std::wstring SelectedText(HWND list)
{
    LRESULT index = Send(list, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return std::wstring();
    wchar_t text[512] = { 0 };
    if (Send(list, CB_GETLBTEXTLEN, index, 0) < 512)
        Send(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

// What a list tells its dialog when the user picks the entry with the data.
int Pick(HWND page, int id, LRESULT data)
{
    HWND list = GetDlgItem(page, id);
    LRESULT count = Send(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; i++) {
        if (Send(list, CB_GETITEMDATA, i, 0) != data)
            continue;
        Send(list, CB_SETCURSEL, i, 0);
        Send(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        return 1;
    }
    return 0;
}

// ---- A shell link as the shell reads it ----

struct LinkInfo
{
    bool loaded = false;
    std::wstring target;
    std::wstring description;
    std::wstring icon;
    int iconIndex = -1;
};

LinkInfo ReadLink(const std::wstring& path)
{
    LinkInfo info;
    IShellLinkW* link = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, 0, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
            reinterpret_cast<void**>(&link))))
        return info;
    IPersistFile* file = 0;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
            wchar_t buffer[MAX_PATH * 2] = { 0 };
            info.loaded = true;
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH * 2, 0, SLGP_RAWPATH)))
                info.target = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH * 2)))
                info.description = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH * 2, &info.iconIndex)))
                info.icon = buffer;
        }
        file->Release();
    }
    link->Release();
    return info;
}

// ---- The layout library's tables, 64-bit form ----

const size_t kTableCharTables = 8;
const size_t kTableVscToVk = 48;
const size_t kTableMaxVsc = 56;
const unsigned char kVkDecimal = 0x6E;

template <typename T>
T ReadAt(const unsigned char* p)
{
    T value;
    memcpy(&value, p, sizeof value);
    return value;
}

const unsigned char* PointerAt(const unsigned char* p)
{
    return reinterpret_cast<const unsigned char*>(ReadAt<unsigned long long>(p));
}

// ---- The road ----

class CDriver
{
public:
    CDriver() : m_failures(0), m_shotCount(0), m_language(0)
    {
        ZeroMemory(&m_process, sizeof(m_process));
    }

    int Run(const std::wstring& setup, const std::wstring& contentDir, const std::wstring& mode,
        const std::wstring& language)
    {
        m_setup = setup;
        if (!m_expected.Load(contentDir)) {
            printf("e2e: cannot read the texts under %s\n", Utf8(contentDir).c_str());
            return 1;
        }
        wchar_t shots[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"KLAWISZ_SHOT_DIR", shots, MAX_PATH);
        m_shotDirUnix = n > 0 && n < MAX_PATH ? std::wstring(shots, n) : std::wstring();
        // The program chooses Polish for a Polish user, as this driver sees the user.
        m_language = GetUserDefaultLangID() == 0x0415 ? 1 : 0;
        if (!language.empty() && language != Wide(kLanguageCodes[m_language])) {
            printf("e2e: the user's language is %s, not %s: the locale did not reach the run\n",
                kLanguageCodes[m_language], Utf8(language).c_str());
            return 1;
        }
        BuildExpectedPaths();

        if (mode == L"versions") {
            if (!Versions())
                m_failures++;
        } else if (mode == L"restart" || mode == L"close" || mode == L"update" || mode == L"failing") {
            if (!Clean()) {
                m_failures++;
            } else {
                Remember();
                int ok = mode == L"update" ? UpdateRoad()
                    : mode == L"failing"   ? FailingRoad()
                                           : InstallRoad(mode == L"restart", true);
                if (!ok)
                    m_failures++;
                Stop();
                TakeBack();
            }
        } else {
            printf("e2e: unknown mode %s\n", Utf8(mode).c_str());
            return 2;
        }
        Stop();
        printf("e2e: %d checks, %s\n", m_checks, m_failures ? "FAILED" : "all held");
        return m_failures ? 1 : 0;
    }

private:
    // ---- Helpers ----

    std::wstring S(unsigned id) const { return m_expected.Text(id, m_language); }

    int Check(bool condition, const char* what)
    {
        m_checks++;
        if (!condition) {
            printf("e2e: check failed: %s\n", what);
            Screenshot("failure");
        }
        return condition ? 1 : 0;
    }

    int CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::string& what)
    {
        m_checks++;
        if (actual == expected)
            return 1;
        printf("e2e: %s: expected \"%s\", found \"%s\"\n", what.c_str(), Utf8(expected).c_str(), Utf8(actual).c_str());
        return 0;
    }

    int CheckText(HWND hwnd, const std::wstring& expected, const std::string& what)
    {
        int ok = CheckEqual(TextOf(hwnd), expected, what);
        if (!ok)
            Screenshot("failure");
        return ok;
    }

    int Start()
    {
        std::wstring command = L"\"" + m_setup + L"\"";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        ZeroMemory(&m_process, sizeof(m_process));
        if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &m_process)) {
            printf("e2e: cannot start %s (error %lu)\n", Utf8(m_setup).c_str(), GetLastError());
            return 0;
        }
        return 1;
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

    int WaitForExit(DWORD& exitCode)
    {
        if (WaitForSingleObject(m_process.hProcess, kWaitMs) != WAIT_OBJECT_0)
            return 0;
        exitCode = 99;
        GetExitCodeProcess(m_process.hProcess, &exitCode);
        return 1;
    }

    HWND WaitForMainWindow()
    {
        HWND main = 0;
        std::wstring className = m_expected.Text(94, 0);
        WaitUntil([&] { return (main = TopLevelOf(m_process.dwProcessId, className)) != 0; });
        return main;
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

    // ---- What the installation should leave ----

    std::wstring RecordKey() const { return Join(Join(S(7), S(8)), S(10)); }
    std::wstring DocumentKey() const { return Join(Join(RecordKey(), S(24)), S(23)); }
    std::wstring LayoutKey() const { return Join(Join(RecordKey(), S(36)), S(89)); }
    std::wstring RegistrationKey() const { return Join(S(3), S(85)); }
    std::wstring ProgramsEntryKey() const { return Join(S(330), S(10)); }
    std::wstring PendingKey() const { return L"SYSTEM\\CurrentControlSet\\Control\\Session Manager"; }

    void BuildExpectedPaths()
    {
        std::wstring programs = SpecialFolder(CSIDL_PROGRAM_FILES);
        std::wstring menu = SpecialFolder(CSIDL_COMMON_PROGRAMS);
        m_desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
        m_makerFolder = Join(programs, S(9));
        m_productFolder = Join(m_makerFolder, S(10));
        m_menuMakerFolder = Join(menu, S(9));
        m_menuFolder = Join(m_menuMakerFolder, S(10));
        std::wstring displayName = S(22) + L" (" + S(23) + L")";
        m_setupLinkTitle = m_expected.Formatted(48, S(81), m_language);

        m_mainDocument = Join(m_productFolder, displayName + S(42));
        m_mainDocumentMenuLink = Join(m_menuFolder, displayName + S(43));
        m_mainDocumentDesktopLink = Join(m_desktop, displayName + S(43));
        m_extraDocument = Join(m_productFolder, S(30) + S(42));
        m_extraDocumentMenuLink = Join(m_menuFolder, S(30) + S(43));
        m_extraDocumentDesktopLink = Join(m_desktop, S(30) + S(43));
        m_launcher = Join(m_productFolder, S(71) + S(44));
        m_launcherMenuLink = Join(m_menuFolder, S(71) + S(43));
        m_launcherDesktopLink = Join(m_desktop, S(71) + S(43));
        m_targetFile = Join(m_productFolder, S(80));
        m_targetLinkMenu = Join(m_menuFolder, S(70) + S(46));
        m_targetLinkDesktop = Join(m_desktop, S(70) + S(46));
        m_setupCopy = Join(m_productFolder, FileName(m_setup));
        m_setupMenuLink = Join(m_menuFolder, m_setupLinkTitle + S(43));

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
        return ok;
    }

    // The values this road changes, to give back afterwards; and the user's
    // earlier key reassignment, planted.
    void Remember()
    {
        m_makerFolderWasThere = GetFileAttributesW(m_makerFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
        m_menuMakerFolderWasThere = GetFileAttributesW(m_menuMakerFolder.c_str()) != INVALID_FILE_ATTRIBUTES;
        m_savedMap = ReadValue(HKEY_LOCAL_MACHINE, S(5), S(6));
        for (int i = 0; i < 3; i++)
            m_savedHotkeys[i] = ReadValue(HKEY_CURRENT_USER, S(13), S(14 + i));
        m_savedStartup = ReadValue(HKEY_LOCAL_MACHINE, S(4), S(71));
        m_savedPending = ReadValue(HKEY_LOCAL_MACHINE, PendingKey(), L"PendingFileRenameOperations");
        RegValue planted;
        planted.present = true;
        planted.type = REG_BINARY;
        planted.data.assign(reinterpret_cast<const char*>(kPlantedMap), sizeof(kPlantedMap));
        if (!WriteValue(HKEY_LOCAL_MACHINE, S(5), S(6), planted))
            printf("e2e: cannot plant the earlier key reassignment\n");
    }

    void DeleteTree(HKEY root, const std::wstring& path)
    {
        (void)RegDeleteTreeW(root, path.c_str());
        (void)RegDeleteKeyW(root, path.c_str());
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

    // Leaves the prefix as the road found it.
    void TakeBack()
    {
        DeleteTree(HKEY_LOCAL_MACHINE, RecordKey());
        // The maker's key goes only when nothing else is left in it.
        (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, Join(S(7), S(8)).c_str());
        DeleteTree(HKEY_LOCAL_MACHINE, RegistrationKey());
        DeleteTree(HKEY_LOCAL_MACHINE, ProgramsEntryKey());
        (void)WriteValue(HKEY_LOCAL_MACHINE, S(5), S(6), m_savedMap);
        for (int i = 0; i < 3; i++)
            (void)WriteValue(HKEY_CURRENT_USER, S(13), S(14 + i), m_savedHotkeys[i]);
        (void)WriteValue(HKEY_LOCAL_MACHINE, S(4), S(71), m_savedStartup);
        (void)WriteValue(HKEY_LOCAL_MACHINE, PendingKey(), L"PendingFileRenameOperations", m_savedPending);
        DeleteFolderTree(m_productFolder);
        DeleteFolderTree(m_menuFolder);
        if (!m_makerFolderWasThere)
            RemoveDirectoryW(m_makerFolder.c_str());
        if (!m_menuMakerFolderWasThere)
            RemoveDirectoryW(m_menuMakerFolder.c_str());
        const std::wstring* desktopLinks[] = { &m_mainDocumentDesktopLink, &m_extraDocumentDesktopLink,
            &m_launcherDesktopLink, &m_targetLinkDesktop };
        for (const std::wstring* link : desktopLinks)
            DeleteFileW(link->c_str());
        DeleteFileW(m_target64.c_str());
        DeleteFileW(m_target32.c_str());
    }

    // ---- Pages ----

    int WelcomeToSetup(HWND& setup)
    {
        HWND welcome = WaitForPage(kWelcomeHeading);
        if (!Check(welcome != 0, "the welcome page appears"))
            return 0;
        int ok = Check(Visible(GetDlgItem(welcome, kNext)) && !Visible(GetDlgItem(welcome, kRemove)),
            "the welcome page offers a new installation");
        PostMessageW(GetDlgItem(welcome, kNext), BM_CLICK, 0, 0);
        HWND licence = WaitForPage(kLicenceText);
        if (!Check(licence != 0, "Next shows the licence page"))
            return 0;
        Send(GetDlgItem(licence, kAccept), BM_CLICK, 0, 0);
        ok &= Check(IsWindowEnabled(GetDlgItem(licence, kNext)) != 0, "accepting the licence enables Next");
        PostMessageW(GetDlgItem(licence, kNext), BM_CLICK, 0, 0);
        setup = WaitForPage(kInstall);
        if (!Check(setup != 0, "Next shows the setup page"))
            return 0;
        return ok;
    }

    int CheckSetupTexts(HWND page)
    {
        struct Text
        {
            int id;
            unsigned stringId;
        };
        const Text texts[] = { { kCancel, 98 }, { kBack, 100 }, { kInstall, 104 }, { kDesktopLinks, 106 },
            { kHotkeys, 139 }, { kAltSet, 109 }, { kFamilyLabel, 110 }, { kDecimalLabel, 111 },
            { kSetupNote, 112 }, { kExpert1, 152 } };
        int ok = 1;
        for (const Text& text : texts)
            ok &= CheckText(GetDlgItem(page, text.id), S(text.stringId), "setup page control " + std::to_string(text.id));
        ok &= CheckText(GetDlgItem(page, kSetupHeading), m_expected.Formatted(101, S(81), m_language),
            "setup page heading");
        const unsigned familyNames[] = { 113, 114, 115 };
        HWND family = GetDlgItem(page, kFamily);
        ok &= Check(Send(family, CB_GETCOUNT, 0, 0) == 3, "three letter arrangements");
        for (int i = 0; i < 3; i++) {
            wchar_t entry[256] = { 0 };
            Send(family, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
            ok &= CheckEqual(entry, S(familyNames[i]), "letter arrangement " + std::to_string(i));
        }
        HWND decimal = GetDlgItem(page, kDecimal);
        ok &= Check(Send(decimal, CB_GETCOUNT, 0, 0) == 2, "two decimal key characters");
        // The decimal key's character the user's settings use, comma first.
        wchar_t separator[8] = { 0 };
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
        ok &= Check(SelectedData(decimal) == (std::wstring(separator) == L"," ? 0 : 1),
            "the decimal list starts at the user's decimal separator");
        return ok;
    }

    // The language controls and the options as a Windows version shows them.
    int CheckSetupOffer(HWND page, int osVersion)
    {
        bool language = osVersion >= 60;
        bool desktop = osVersion < 62;
        int ok = 1;
        const int languageControls[] = { kSetupHeading, kLayoutLang, kLangEntry };
        for (int id : languageControls) {
            HWND item = GetDlgItem(page, id);
            ok &= Check(Visible(item) == language && (IsWindowEnabled(item) != 0) == language,
                language ? "the language controls are offered" : "the language controls are hidden");
        }
        HWND links = GetDlgItem(page, kDesktopLinks);
        ok &= Check(Visible(links) == desktop && (IsWindowEnabled(links) != 0) == desktop,
            desktop ? "the desktop links are offered" : "the desktop links are not offered");
        ok &= Check(Ticked(links), "the desktop links are chosen");
        ok &= Check(Visible(GetDlgItem(page, kHotkeys)) && Ticked(GetDlgItem(page, kHotkeys)),
            "the hotkey option is offered and chosen");
        ok &= Check(!Visible(GetDlgItem(page, kExpert2)) && !IsWindowEnabled(GetDlgItem(page, kExpert2)),
            "the multimedia-key button is hidden");
        const int always[] = { kAltSet, kFamily, kDecimal, kInstall, kBack, kCancel };
        for (int id : always)
            ok &= Check(Visible(GetDlgItem(page, id)) && IsWindowEnabled(GetDlgItem(page, id)),
                "the arrangement, the decimal key and the buttons are offered");
        if (!language)
            return ok;
        // The user's own language, named as the system names it.
        HWND list = GetDlgItem(page, kLayoutLang);
        LANGID user = GetUserDefaultLangID();
        wchar_t name[256] = { 0 };
        GetLocaleInfoW(user, LOCALE_SLANGUAGE, name, 256);
        ok &= Check(SelectedData(list) == user, "the language list selects the user's language");
        ok &= CheckEqual(SelectedText(list), name, "selected language");
        ok &= CheckText(GetDlgItem(page, kLangEntry),
            m_expected.Formatted(102, std::wstring(name) + L" - " + S(81), m_language), "default-layout box");
        ok &= Check(Ticked(GetDlgItem(page, kLangEntry)), "the default-layout box is ticked");
        return ok;
    }

    // Starts the program and goes from the welcome page to the setup page.
    HWND OpenSetup(int& ok)
    {
        if (!Start())
            return 0;
        m_main = WaitForMainWindow();
        if (!Check(m_main != 0, "the main window appears"))
            return 0;
        HWND setup = 0;
        ok &= WelcomeToSetup(setup);
        return setup;
    }

    // Install runs inside the click; the page stays until it is done. The
    // finish page, or null with the message the program shows instead.
    HWND PressInstall(HWND setup, HWND& box)
    {
        PostMessageW(GetDlgItem(setup, kInstall), BM_CLICK, 0, 0);
        HWND done = 0;
        box = 0;
        WaitUntil([&] {
            done = PageWith(m_main, kDoneText2);
            box = MessageBoxOfProgram();
            return done != 0 || box != 0 || WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
        }, kInstallWaitMs);
        return done;
    }

    int CheckDonePage(HWND done, const std::string& shot)
    {
        int ok = CheckText(GetDlgItem(done, kDoneText1), S(136), "finish page, first text");
        std::wstring note = S(135);
        if (!AssociationMatches())
            note += L"\n\n" + S(133);
        ok &= CheckText(GetDlgItem(done, kDoneText2), note, "finish page, second text");
        ok &= CheckText(GetDlgItem(done, kRestart), S(137), "restart button");
        ok &= Check(Visible(GetDlgItem(done, kRestart)) && IsWindowEnabled(GetDlgItem(done, kRestart)),
            "the restart button is offered");
        if (!shot.empty())
            Screenshot(shot);
        return ok;
    }

    // The restart button, or the close box; either ends the program at once.
    int EndFrom(HWND done, bool restart)
    {
        if (restart)
            PostMessageW(GetDlgItem(done, kRestart), BM_CLICK, 0, 0);
        else
            PostMessageW(m_main, WM_SYSCOMMAND, SC_CLOSE, 0);
        DWORD exitCode = 99;
        HWND box = 0;
        bool ended = WaitUntil([&] {
            if ((box = MessageBoxOfProgram()) != 0)
                return true;
            return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
        }) != 0;
        int ok = Check(box == 0, restart ? "the restart button asks nothing" : "the close box asks nothing");
        ok &= Check(ended && WaitForExit(exitCode) != 0, "the program ends");
        ok &= Check(exitCode == 0, "the program ends with exit code 0");
        m_main = 0;
        return ok;
    }

    int InstallRoad(bool restart, bool shots)
    {
        const std::string code = kLanguageCodes[m_language];
        int ok = 1;
        HWND setup = OpenSetup(ok);
        if (!setup)
            return 0;
        ok &= CheckSetupTexts(setup);
        ok &= CheckSetupOffer(setup, 61);

        // The user's choices: QWERTZ, the decimal comma, desktop links.
        ok &= Check(Pick(setup, kFamily, kQwertz) != 0, "QWERTZ can be chosen");
        ok &= Check(Pick(setup, kDecimal, kComma) != 0, "the comma can be chosen");
        if (!Ticked(GetDlgItem(setup, kDesktopLinks)))
            Send(GetDlgItem(setup, kDesktopLinks), BM_CLICK, 0, 0);
        ok &= Check(SelectedData(GetDlgItem(setup, kFamily)) == static_cast<LRESULT>(kQwertz), "QWERTZ is chosen");
        ok &= Check(SelectedData(GetDlgItem(setup, kDecimal)) == static_cast<LRESULT>(kComma), "the comma is chosen");
        if (shots)
            Screenshot("setup-" + code);

        HWND box = 0;
        HWND done = PressInstall(setup, box);
        if (box) {
            printf("e2e: the install ended with the message \"%s\"\n", Utf8(TextOf(GetDlgItem(box, kMessageTextId))).c_str());
            Screenshot("install-failed-" + code);
        }
        if (!Check(done != 0, "Install shows the finish page"))
            return 0;
        ok &= Check(!IsWindow(setup), "the setup page is gone");
        ok &= CheckDonePage(done, shots ? "done-" + code : std::string());
        ok &= EndFrom(done, restart);

        ok &= CheckRegistry();
        ok &= CheckFiles();
        ok &= CheckQueuedMoves();
        if (restart)
            ok &= CheckAfterRestart();
        return ok;
    }

    // ---- Changing the installation ----

    typedef std::map<std::wstring, RegValue> Snapshot;

    void AddKey(Snapshot& snapshot, HKEY root, const std::wstring& path)
    {
        HKEY key = 0;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        for (DWORD i = 0;; i++) {
            wchar_t name[256];
            DWORD nameLength = 256;
            if (RegEnumValueW(key, i, name, &nameLength, 0, 0, 0, 0) != ERROR_SUCCESS)
                break;
            snapshot[path + L"|" + name] = ReadValue(root, path, name);
        }
        RegCloseKey(key);
    }

    // Every value the installation wrote, and when its files were written.
    Snapshot TakeSnapshot()
    {
        Snapshot snapshot;
        AddKey(snapshot, HKEY_LOCAL_MACHINE, RecordKey());
        AddKey(snapshot, HKEY_LOCAL_MACHINE, DocumentKey());
        AddKey(snapshot, HKEY_LOCAL_MACHINE, LayoutKey());
        AddKey(snapshot, HKEY_LOCAL_MACHINE, RegistrationKey());
        AddKey(snapshot, HKEY_LOCAL_MACHINE, ProgramsEntryKey());
        AddKey(snapshot, HKEY_LOCAL_MACHINE, S(5));
        AddKey(snapshot, HKEY_CURRENT_USER, S(13));
        const std::wstring* files[] = { &m_mainDocument, &m_mainDocumentMenuLink, &m_mainDocumentDesktopLink,
            &m_extraDocument, &m_extraDocumentMenuLink, &m_extraDocumentDesktopLink, &m_launcher,
            &m_launcherMenuLink, &m_launcherDesktopLink, &m_targetFile, &m_targetLinkMenu, &m_targetLinkDesktop,
            &m_setupCopy, &m_setupMenuLink };
        for (const std::wstring* file : files) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            RegValue written;
            if (GetFileAttributesExW(file->c_str(), GetFileExInfoStandard, &data)) {
                written.present = true;
                written.data.assign(reinterpret_cast<const char*>(&data.ftLastWriteTime), sizeof(FILETIME));
            }
            snapshot[L"file|" + *file] = written;
        }
        return snapshot;
    }

    static bool SameValue(const RegValue& a, const RegValue& b)
    {
        return a.present == b.present && a.type == b.type && a.data == b.data;
    }

    // The welcome page's Change, then the setup page of update mode: only the
    // layout's choices and its libraries may change.
    int UpdateRoad()
    {
        int ok = InstallRoad(false, false);
        if (!ok)
            return 0;
        (void)WriteValue(HKEY_LOCAL_MACHINE, S(4), S(71), RegValue());
        Snapshot before = TakeSnapshot();
        FILETIME staged = {};
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(m_staging64.c_str(), GetFileExInfoStandard, &data))
            staged = data.ftLastWriteTime;

        if (!Start())
            return 0;
        m_main = WaitForMainWindow();
        HWND welcome = m_main ? WaitForPage(kWelcomeHeading) : 0;
        if (!Check(welcome != 0, "the welcome page appears again"))
            return 0;
        HWND change = GetDlgItem(welcome, kChange);
        ok &= Check(Visible(change) && IsWindowEnabled(change) && !Visible(GetDlgItem(welcome, kNext)),
            "the welcome page offers to change the installation");
        PostMessageW(change, BM_CLICK, 0, 0);
        HWND setup = WaitForPage(kInstall);
        if (!Check(setup != 0, "Change shows the setup page"))
            return 0;
        const int hidden[] = { kSetupHeading, kLayoutLang, kLangEntry, kHotkeys, kDesktopLinks, kExpert2 };
        for (int id : hidden)
            ok &= Check(!Visible(GetDlgItem(setup, id)) && !IsWindowEnabled(GetDlgItem(setup, id)),
                "update mode offers only the layout's choices");
        const int offered[] = { kAltSet, kFamily, kDecimal, kInstall, kBack, kCancel };
        for (int id : offered)
            ok &= Check(Visible(GetDlgItem(setup, id)) && IsWindowEnabled(GetDlgItem(setup, id)),
                "update mode offers the set, the arrangement and the decimal key");
        ok &= Check(SelectedData(GetDlgItem(setup, kFamily)) == static_cast<LRESULT>(kQwertz),
            "the recorded arrangement is shown");
        ok &= Check(SelectedData(GetDlgItem(setup, kDecimal)) == static_cast<LRESULT>(kComma),
            "the recorded decimal key is shown");
        ok &= Check(Pick(setup, kFamily, kDvorak) != 0 && Pick(setup, kDecimal, kFullStop) != 0,
            "Dvorak and the full stop can be chosen");
        Screenshot(std::string("setup-update-") + kLanguageCodes[m_language]);

        HWND box = 0;
        HWND done = PressInstall(setup, box);
        if (box)
            printf("e2e: the change ended with the message \"%s\"\n", Utf8(TextOf(GetDlgItem(box, kMessageTextId))).c_str());
        if (!Check(done != 0, "the change shows the finish page"))
            return 0;
        ok &= CheckDonePage(done, std::string());
        ok &= EndFrom(done, false);

        Snapshot after = TakeSnapshot();
        const std::wstring family = LayoutKey() + L"|" + S(158);
        const std::wstring decimal = LayoutKey() + L"|" + S(159);
        for (const auto& entry : before) {
            if (entry.first == family || entry.first == decimal)
                continue;
            Snapshot::const_iterator later = after.find(entry.first);
            bool same = later != after.end() && SameValue(entry.second, later->second);
            if (!same)
                printf("e2e: changed by update mode: %s\n", Utf8(entry.first).c_str());
            ok &= Check(same, "update mode leaves everything but the layout's choices");
        }
        ok &= Check(after.size() == before.size(), "update mode adds no value");
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, LayoutKey(), 158, kDvorak);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, LayoutKey(), 159, kFullStop);
        ok &= Check(!ReadValue(HKEY_LOCAL_MACHINE, S(4), S(71)).present, "update mode writes no start-up value");
        ok &= Check(GetFileAttributesExW(m_staging64.c_str(), GetFileExInfoStandard, &data)
                && CompareFileTime(&data.ftLastWriteTime, &staged) > 0,
            "update mode writes the libraries again");
        ok &= CheckQueuedMoves();

        // The staged library carries the new choices.
        ok &= CheckLibrary(m_staging64, kDvorak, L'.', "the staged library");
        return ok;
    }

    // ---- A failing step ----

    // Without the hotkey key the install fails at its last step: the
    // failure message, and the wizard ends without the finish page.
    int FailingRoad()
    {
        DeleteTree(HKEY_CURRENT_USER, S(13));
        int ok = 1;
        HWND setup = OpenSetup(ok);
        if (!setup)
            return 0;
        ok &= Check(Ticked(GetDlgItem(setup, kHotkeys)), "the hotkey option is chosen");
        HWND box = 0;
        HWND done = PressInstall(setup, box);
        ok &= Check(done == 0, "a failed install shows no finish page");
        if (!Check(box != 0, "a failed install shows a message"))
            return 0;
        ok &= CheckText(GetDlgItem(box, kMessageTextId), S(143), "the failure message");
        Screenshot(std::string("install-failed-") + kLanguageCodes[m_language]);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        DWORD exitCode = 99;
        bool ended = WaitUntil([&] {
            HWND other = MessageBoxOfProgram();
            if (other && other != box)
                return true;
            return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0;
        }) != 0;
        ok &= Check(ended && WaitForExit(exitCode) != 0, "the wizard ends after the message, asking nothing");
        ok &= Check(exitCode == 0, "the program ends with exit code 0");
        m_main = 0;
        // Nothing is undone, and the run did not count as an install.
        ok &= Check(KeyExists(HKEY_LOCAL_MACHINE, RecordKey()), "the steps before the failure stay");
        ok &= Check(KeyExists(HKEY_LOCAL_MACHINE, RegistrationKey()), "the layout registration stays");
        ok &= Check(!ReadValue(HKEY_LOCAL_MACHINE, S(4), S(71)).present, "a failed install writes no start-up value");
        return ok;
    }

    bool AssociationMatches()
    {
        wchar_t program[MAX_PATH * 2] = { 0 };
        DWORD room = MAX_PATH * 2;
        if (FAILED(AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, S(42).c_str(), 0, program, &room)))
            return false;
        std::wstring upper = program;
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
        return upper.find(S(45)) != std::wstring::npos;
    }

    // ---- The registry after the install ----

    int CheckString(HKEY root, const std::wstring& key, unsigned nameId, const std::wstring& expected)
    {
        RegValue value = ReadValue(root, key, S(nameId));
        std::string what = Utf8(key + L"\\" + S(nameId));
        if (!Check(value.present && value.type == REG_SZ, (what + " is a text").c_str()))
            return 0;
        return CheckEqual(value.Text(), expected, what);
    }

    int CheckNumber(HKEY root, const std::wstring& key, unsigned nameId, DWORD expected)
    {
        RegValue value = ReadValue(root, key, S(nameId));
        std::string what = Utf8(key + L"\\" + S(nameId));
        if (!Check(value.present && value.type == REG_DWORD && value.data.size() == 4, (what + " is a number").c_str()))
            return 0;
        if (value.Number() == expected)
            return 1;
        printf("e2e: %s: expected %lu, found %lu\n", what.c_str(), expected, value.Number());
        return 0;
    }

    int CheckRegistry()
    {
        int ok = 1;
        const std::wstring record = RecordKey();
        wchar_t layoutName[KL_NAMELENGTH] = { 0 };
        GetKeyboardLayoutNameW(layoutName);
        wchar_t language[8];
        swprintf(language, 8, L"%04x", GetUserDefaultLangID());
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 11, CExpected::Fill(S(12), { language, layoutName }));
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, record, 21, 1);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 72, m_launcher);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 73, m_launcherMenuLink);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 74, m_launcherDesktopLink);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 75, m_targetLinkMenu);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 76, m_targetLinkDesktop);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 79, m_targetFile);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 31, m_extraDocument);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 32, m_extraDocumentMenuLink);
        ok &= CheckString(HKEY_LOCAL_MACHINE, record, 33, m_extraDocumentDesktopLink);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, record, 34, kThisVersion);

        const std::wstring documents = DocumentKey();
        ok &= CheckString(HKEY_LOCAL_MACHINE, documents, 25, m_mainDocument);
        ok &= CheckString(HKEY_LOCAL_MACHINE, documents, 26, m_mainDocumentMenuLink);
        ok &= CheckString(HKEY_LOCAL_MACHINE, documents, 27, m_mainDocumentDesktopLink);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, documents, 28, kThisVersion);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, documents, 29, 1);

        const std::wstring layout = LayoutKey();
        ok &= CheckString(HKEY_LOCAL_MACHINE, layout, 37, m_setupCopy);
        ok &= CheckString(HKEY_LOCAL_MACHINE, layout, 38, m_setupMenuLink);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, layout, 39, kThisVersion);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, layout, 158, kQwertz);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, layout, 159, kComma);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, layout, 155, 0);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, layout, 156, 0);
        // No key was reassigned in the layout: no stored target.
        RegValue overrides = ReadValue(HKEY_LOCAL_MACHINE, layout, S(157));
        ok &= Check(!overrides.present || (overrides.type == REG_BINARY && overrides.data.empty()),
            "no stored layout targets without reassigned keys");

        const std::wstring registration = RegistrationKey();
        ok &= CheckString(HKEY_LOCAL_MACHINE, registration, 17, S(81));
        ok &= CheckString(HKEY_LOCAL_MACHINE, registration, 20, S(87));
        ok &= CheckString(HKEY_LOCAL_MACHINE, registration, 19, S(84));
        ok &= CheckString(HKEY_LOCAL_MACHINE, registration, 18, S(83));

        // The earlier reassignment is written back as it was read.
        RegValue map = ReadValue(HKEY_LOCAL_MACHINE, S(5), S(6));
        ok &= Check(map.present && map.type == REG_BINARY
                && map.data == std::string(reinterpret_cast<const char*>(kPlantedMap), sizeof(kPlantedMap)),
            "the scancode map keeps the earlier reassignment");

        for (unsigned id = 14; id <= 16; id++)
            ok &= CheckString(HKEY_CURRENT_USER, S(13), id, L"3");
        ok &= CheckString(HKEY_LOCAL_MACHINE, S(4), 71, S(50));

        const std::wstring entry = ProgramsEntryKey();
        std::wstring command = CExpected::Fill(S(340), { m_setupCopy });
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 331, S(0));
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 332, S(89));
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 333, S(341));
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 334, m_setupCopy);
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 335, m_productFolder);
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 337, command);
        ok &= CheckString(HKEY_LOCAL_MACHINE, entry, 338, command);
        ok &= CheckNumber(HKEY_LOCAL_MACHINE, entry, 339, 1);
        RegValue size = ReadValue(HKEY_LOCAL_MACHINE, entry, S(336));
        ok &= Check(size.present && size.type == REG_DWORD && size.Number() > 0, "the entry tells the size");
        return ok;
    }

    // ---- The files after the install ----

    int CheckFile(const std::wstring& path, const char* what)
    {
        std::string bytes;
        bool there = ReadFileBytes(path, bytes) && !bytes.empty();
        if (!there)
            printf("e2e: %s is missing: %s\n", what, Utf8(path).c_str());
        return there ? 1 : 0;
    }

    int CheckHtml(const std::wstring& path, const char* what)
    {
        std::string bytes;
        if (!ReadFileBytes(path, bytes)) {
            printf("e2e: %s is missing: %s\n", what, Utf8(path).c_str());
            return 0;
        }
        std::wstring head = Lower(Wide(bytes.substr(0, 512)));
        return Check(head.find(L"<html") != std::wstring::npos, what);
    }

    int CheckLink(const std::wstring& path, const std::wstring& target, const std::wstring& description,
        const std::wstring& icon, int iconIndex, const char* what)
    {
        LinkInfo link = ReadLink(path);
        if (!link.loaded) {
            printf("e2e: %s cannot be read: %s\n", what, Utf8(path).c_str());
            return 0;
        }
        int ok = 1;
        ok &= CheckEqual(Lower(link.target), Lower(target), std::string(what) + ", target");
        ok &= Check(FileExists(link.target), (std::string(what) + " leads to a file").c_str());
        ok &= CheckEqual(link.description, description, std::string(what) + ", description");
        if (!icon.empty()) {
            ok &= CheckEqual(Lower(link.icon), Lower(icon), std::string(what) + ", icon");
            ok &= Check(link.iconIndex == iconIndex, (std::string(what) + ", icon index").c_str());
        }
        return ok;
    }

    int CheckFiles()
    {
        int ok = 1;
        ok &= CheckHtml(m_mainDocument, "the user guide");
        ok &= CheckHtml(m_extraDocument, "the chart");
        ok &= CheckHtml(m_targetFile, "the try-it page");
        ok &= CheckLink(m_mainDocumentMenuLink, m_mainDocument, S(121), L"", 0, "the guide's menu link");
        ok &= CheckLink(m_mainDocumentDesktopLink, m_mainDocument, S(121), L"", 0, "the guide's desktop link");
        ok &= CheckLink(m_extraDocumentMenuLink, m_extraDocument, S(35), L"", 0, "the chart's menu link");
        ok &= CheckLink(m_extraDocumentDesktopLink, m_extraDocument, S(35), L"", 0, "the chart's desktop link");

        std::string launcher;
        ok &= Check(ReadFileBytes(m_launcher, launcher) != 0, "the launcher is there");
        ok &= CheckEqual(Wide(launcher), S(67), "the launcher's text");
        ok &= CheckLink(m_launcherMenuLink, m_launcher, S(122), S(52), 0, "the launcher's menu link");
        ok &= CheckLink(m_launcherDesktopLink, m_launcher, S(122), S(52), 0, "the launcher's desktop link");

        std::wstring shortcut = CExpected::Fill(S(69), { m_productFolder, S(80) });
        const std::wstring* targetLinks[] = { &m_targetLinkMenu, &m_targetLinkDesktop };
        for (const std::wstring* link : targetLinks) {
            std::string text;
            ok &= Check(ReadFileBytes(*link, text) != 0, "an Internet shortcut to the try-it page is there");
            ok &= CheckEqual(Wide(text), shortcut, Utf8(*link));
            wchar_t url[MAX_PATH * 2] = { 0 };
            GetPrivateProfileStringW(L"InternetShortcut", L"URL", L"", url, MAX_PATH * 2, link->c_str());
            std::wstring prefix = L"file:///";
            std::wstring path = std::wstring(url).compare(0, prefix.size(), prefix) == 0
                ? std::wstring(url).substr(prefix.size()) : std::wstring();
            ok &= Check(SameText(path, m_targetFile) && FileExists(path), "the shortcut's address is the try-it page");
        }

        std::string copy, original;
        ok &= Check(ReadFileBytes(m_setupCopy, copy) && ReadFileBytes(m_setup, original) && copy == original,
            "the setup copy is the program itself");
        ok &= CheckLink(m_setupMenuLink, m_setupCopy, m_setupLinkTitle, m_setupCopy, 0, "the setup copy's menu link");

        ok &= Check(ReadFileBytes(m_staging32, m_staged32) && m_staged32.size() > 0, "the 32-bit library is staged");
        ok &= Check(ReadFileBytes(m_staging64, m_staged64) && m_staged64.size() > 0, "the 64-bit library is staged");
        ok &= Check(m_staged32.compare(0, 2, "MZ") == 0 && m_staged64.compare(0, 2, "MZ") == 0,
            "the staged libraries are programs' libraries");
        return ok;
    }

    // Pairs of source and "!" + destination, as the platform keeps them.
    int CheckQueuedMoves()
    {
        RegValue pending = ReadValue(HKEY_LOCAL_MACHINE, PendingKey(), L"PendingFileRenameOperations");
        if (!Check(pending.present, "moves are queued for the restart"))
            return 0;
        std::vector<std::wstring> entries = MultiStrings(pending);
        struct Move
        {
            const std::wstring* from;
            const std::wstring* to;
            const char* what;
        };
        const Move moves[] = { { &m_staging32, &m_target32, "the 32-bit library's move is queued" },
            { &m_staging64, &m_target64, "the 64-bit library's move is queued" } };
        int ok = 1;
        for (const Move& move : moves) {
            bool found = false;
            for (size_t i = 0; i + 1 < entries.size() && !found; i++)
                found = SameText(entries[i], L"\\??\\" + *move.from) && SameText(entries[i + 1], L"!\\??\\" + *move.to);
            ok &= Check(found, move.what);
        }
        if (!ok) {
            for (const std::wstring& entry : entries)
                printf("e2e:   queued: %s\n", Utf8(entry).c_str());
        }
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
        std::string library32, library64;
        ok &= Check(ReadFileBytes(m_target64, library64) && library64 == m_staged64,
            "the 64-bit system folder holds the staged 64-bit library");
        ok &= Check(ReadFileBytes(m_target32, library32) && library32 == m_staged32,
            "the 32-bit system folder holds the staged 32-bit library");
        ok &= Check(!FileExists(m_staging32) && !FileExists(m_staging64), "the staging files were moved");

        ok &= CheckLibrary(m_target64, kQwertz, L',', "the system folder's library");
        return ok;
    }

    // A 64-bit layout library as the system loads it: its letter arrangement
    // and what its keypad's decimal key types.
    int CheckLibrary(const std::wstring& path, DWORD family, wchar_t decimal, const std::string& what)
    {
        HMODULE module = LoadLibraryW(path.c_str());
        if (!Check(module != 0, (what + " loads").c_str()))
            return 0;
        typedef const void* (*DescriptorFn)();
        DescriptorFn descriptor =
            reinterpret_cast<DescriptorFn>(reinterpret_cast<void*>(GetProcAddress(module, "KbdLayerDescriptor")));
        const unsigned char* tables = descriptor ? static_cast<const unsigned char*>(descriptor()) : 0;
        int ok = Check(tables != 0, (what + " hands out its tables").c_str());
        if (tables) {
            const unsigned char* vscToVk = PointerAt(tables + kTableVscToVk);
            unsigned maxVsc = tables[kTableMaxVsc];
            bool arrangement = maxVsc > 0x2C;
            for (int i = 0; i < 3 && arrangement; i++)
                arrangement = (ReadAt<unsigned short>(vscToVk + 2 * kFamilyScancodes[i]) & 0xFF)
                    == kFamilyKeys[family][i];
            ok &= Check(arrangement, (what + " has the chosen letter arrangement").c_str());
            ok &= Check(DecimalKeyCharacter(tables) == decimal, (what + " types the chosen decimal character").c_str());
        }
        FreeLibrary(module);
        return ok;
    }

    // What the keypad's decimal key types without modifiers.
    static wchar_t DecimalKeyCharacter(const unsigned char* tables)
    {
        for (const unsigned char* table = PointerAt(tables + kTableCharTables); PointerAt(table); table += 16) {
            int size = table[9];
            for (const unsigned char* entry = PointerAt(table); entry[0]; entry += size) {
                if (entry[0] == kVkDecimal)
                    return ReadAt<wchar_t>(entry + 2);
            }
        }
        return 0;
    }

    // ---- The setup page under each Windows version ----

    int Versions()
    {
        struct Case
        {
            const wchar_t* setting;
            int osVersion;
            bool refused;
        };
        // A 64-bit system is at least 5.2: XP there is refused at once.
        const Case cases[] = { { L"winxp", 51, true }, { L"win2003", 52, false }, { L"win7", 61, false },
            { L"win8", 62, false } };
        std::wstring settings = L"Software\\Wine\\AppDefaults\\" + FileName(m_setup);
        int ok = 1;
        for (const Case& c : cases) {
            printf("e2e: Windows version %s\n", Utf8(c.setting).c_str());
            RegValue version;
            version.present = true;
            version.type = REG_SZ;
            std::wstring text = c.setting;
            version.data.assign(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
            if (!Check(WriteValue(HKEY_CURRENT_USER, settings, L"Version", version), "the Windows version is set")) {
                ok = 0;
                break;
            }
            ok &= c.refused ? Refused() : SetupPageOf(c.setting, c.osVersion);
            Stop();
        }
        DeleteTree(HKEY_CURRENT_USER, settings);
        return ok;
    }

    int Refused()
    {
        if (!Start())
            return 0;
        HWND box = 0;
        WaitUntil([&] { return (box = MessageBoxOfProgram()) != 0; });
        if (!Check(box != 0, "a refused system gets a message"))
            return 0;
        int ok = CheckText(GetDlgItem(box, kMessageTextId), S(124), "the refusal");
        ok &= Check(TopLevelOf(m_process.dwProcessId, m_expected.Text(94, 0)) == 0, "a refused system gets no wizard");
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        DWORD exitCode = 99;
        ok &= Check(WaitForExit(exitCode) != 0 && exitCode == 0, "the program ends with exit code 0");
        return ok;
    }

    int SetupPageOf(const wchar_t* setting, int osVersion)
    {
        if (!Start())
            return 0;
        m_main = WaitForMainWindow();
        if (!Check(m_main != 0, "the main window appears"))
            return 0;
        HWND setup = 0;
        int ok = WelcomeToSetup(setup);
        if (!setup)
            return 0;
        ok &= CheckSetupOffer(setup, osVersion);
        Screenshot(std::string("setup-") + Utf8(setting) + "-" + kLanguageCodes[m_language]);

        // Cancel asks; Yes ends the program, nothing installed.
        PostMessageW(GetDlgItem(setup, kCancel), BM_CLICK, 0, 0);
        HWND box = 0;
        WaitUntil([&] { return (box = MessageBoxOfProgram()) != 0; });
        if (!Check(box != 0, "Cancel asks the quit question"))
            return 0;
        ok &= CheckText(GetDlgItem(box, kMessageTextId), S(96), "quit question");
        PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        DWORD exitCode = 99;
        ok &= Check(WaitForExit(exitCode) != 0 && exitCode == 0, "Yes ends the program with exit code 0");
        ok &= Check(!KeyExists(HKEY_LOCAL_MACHINE, RecordKey()), "quitting installs nothing");
        m_main = 0;
        return ok;
    }

    std::wstring m_setup;
    std::wstring m_shotDirUnix;
    CExpected m_expected;
    PROCESS_INFORMATION m_process;
    HWND m_main = 0;
    int m_failures;
    int m_checks = 0;
    int m_shotCount;
    int m_language;

    std::wstring m_desktop, m_makerFolder, m_productFolder, m_menuMakerFolder, m_menuFolder, m_setupLinkTitle;
    std::wstring m_mainDocument, m_mainDocumentMenuLink, m_mainDocumentDesktopLink;
    std::wstring m_extraDocument, m_extraDocumentMenuLink, m_extraDocumentDesktopLink;
    std::wstring m_launcher, m_launcherMenuLink, m_launcherDesktopLink;
    std::wstring m_targetFile, m_targetLinkMenu, m_targetLinkDesktop;
    std::wstring m_setupCopy, m_setupMenuLink;
    std::wstring m_target32, m_target64, m_staging32, m_staging64;
    std::string m_staged32, m_staged64;

    bool m_makerFolderWasThere = false;
    bool m_menuMakerFolderWasThere = false;
    RegValue m_savedMap;
    RegValue m_savedHotkeys[3];
    RegValue m_savedStartup;
    RegValue m_savedPending;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        printf("usage: InstallDriver SETUP.EXE CONTENT_DIR restart|close|update|failing|versions [en|pl]\n");
        return 2;
    }
    CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    int result;
    {
        CDriver driver;
        result = driver.Run(WindowsPath(argv[1]), WindowsPath(argv[2]), argv[3], argc > 4 ? argv[4] : L"");
    }
    CoUninitialize();
    return result;
}
