// Drives the setup program's wizard from outside, as a user would: finds its
// windows, reads their texts, clicks buttons and picks list entries. The
// exit code is the result (0 = every check held).
//
//   WizardDriver SETUP.EXE CONTENT_DIR
//
// SETUP.EXE is the x86_64 program, CONTENT_DIR the source folder of the
// string tables and licence texts (Unix or Windows path); the texts the
// program shows are checked against them. Screenshots go to the folder named
// by KLAWISZ_SHOT_DIR (ImageMagick's import, started through Wine).

#include <windows.h>

#include <functional>
#include <map>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const DWORD kWaitMs = 15000;
const UINT kSendTimeoutMs = 5000;
const int kMessageTextId = 0xFFFF;

// Control ids of the pages.
const int kNext = 1;
const int kCancel = 300;
const int kBack = 301;
const int kAccept = 305;
const int kLicenceText = 306;
const int kUiLangLabel = 307;
const int kWelcomeHeading = 308;
const int kWelcomeBody = 309;
const int kLicenceHeading = 311;
const int kRemove = 315;
const int kUiLang = 2002;
const int kChange = 2003;
const int kOpenSettings = 2;

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

int ReadFileBytes(const std::wstring& path, std::string& out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    out.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, 0) && got > 0)
        out.append(buffer, got);
    CloseHandle(file);
    return 1;
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
        const wchar_t* licences[2] = { L"en.txt", L"pl.txt" };
        for (int i = 0; i < 2; i++) {
            std::string bytes;
            if (!ReadFileBytes(contentDir + L"\\licence\\" + licences[i], bytes))
                return 0;
            if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
                bytes.erase(0, 3);
            m_licences[i] = Wide(bytes);
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

    // A format text with its single %s filled in.
    std::wstring Formatted(unsigned formatId, unsigned argumentId, int language) const
    {
        std::wstring format = Text(formatId, language);
        size_t at = format.find(L"%s");
        if (at != std::wstring::npos)
            format.replace(at, 2, Text(argumentId, language));
        return format;
    }

    // As a multi-line edit control holds it: lines end with CR LF.
    std::wstring Licence(int language) const
    {
        std::wstring out;
        const std::wstring& text = m_licences[language];
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
                out += L'\r';
            out += text[i];
        }
        return out;
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
    std::wstring m_licences[2];
};

// ---- Windows of another process ----

int WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return 1;
        if (GetTickCount() - start > timeoutMs)
            return 0;
        Sleep(20);
    }
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256];
    int n = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

std::wstring TextOf(HWND hwnd)
{
    if (!hwnd)
        return L"<no window>";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return L"<no answer>";
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]), SMTO_ABORTIFHUNG,
        kSendTimeoutMs, &got);
    return std::wstring(&buffer[0], got);
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

struct TopLevelSearch
{
    DWORD pid;
    std::wstring className;
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    TopLevelSearch* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd) || ClassOf(hwnd) != search->className)
        return TRUE;
    if (search->owner && GetWindow(hwnd, GW_OWNER) != search->owner)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

HWND TopLevelOf(DWORD pid, const std::wstring& className, HWND owner)
{
    TopLevelSearch search = { pid, className, owner, 0 };
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The page inside the main window that holds the given control.
HWND PageWith(HWND main, int controlId)
{
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && GetDlgItem(child, controlId))
            return child;
    }
    return 0;
}

int CountWindowsOfClass(const std::wstring& className)
{
    int count = 0;
    for (HWND hwnd = FindWindowExW(0, 0, className.c_str(), 0); hwnd;
         hwnd = FindWindowExW(0, hwnd, className.c_str(), 0))
        count++;
    return count;
}

// Everything posted to the program's thread before this call has been
// handled when it returns 1: a posted push state on one of its buttons
// arrives after them (or the button is gone with its page).
int Fence(HWND button)
{
    if (!PostMessageW(button, BM_SETSTATE, TRUE, 0))
        return !IsWindow(button);
    int done = WaitUntil([&] { return !IsWindow(button) || (Send(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; });
    if (IsWindow(button))
        Send(button, BM_SETSTATE, FALSE, 0);
    return done;
}

// ---- The checks ----

class CDriver
{
public:
    CDriver() : m_failures(0), m_shotCount(0)
    {
        ZeroMemory(&m_first, sizeof(m_first));
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

        if (!PagesAndQuitting())
            m_failures++;
        Stop(m_first);
        if (!SecondCopy())
            m_failures++;
        Stop(m_first);
        Stop(m_second);
        printf("e2e: %s\n", m_failures ? "FAILED" : "all checks held");
        return m_failures ? 1 : 0;
    }

private:
    // ---- Helpers ----

    int Check(bool condition, const char* what)
    {
        if (!condition) {
            printf("e2e: check failed: %s\n", what);
            Screenshot("failure");
        }
        return condition ? 1 : 0;
    }

    int CheckText(HWND hwnd, const std::wstring& expected, const char* what)
    {
        std::wstring actual = TextOf(hwnd);
        if (actual == expected)
            return 1;
        printf("e2e: %s: expected \"%s\", found \"%s\"\n", what, Utf8(expected).c_str(), Utf8(actual).c_str());
        Screenshot("failure");
        return 0;
    }

    int Start(PROCESS_INFORMATION& process)
    {
        std::wstring command = L"\"" + m_setup + L"\"";
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        ZeroMemory(&process, sizeof(process));
        if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process)) {
            printf("e2e: cannot start %s (error %lu)\n", Utf8(m_setup).c_str(), GetLastError());
            return 0;
        }
        return 1;
    }

    static void Stop(PROCESS_INFORMATION& process)
    {
        if (!process.hProcess)
            return;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, kWaitMs);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        ZeroMemory(&process, sizeof(process));
    }

    int WaitForExit(PROCESS_INFORMATION& process, DWORD& exitCode)
    {
        if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0)
            return 0;
        exitCode = 99;
        GetExitCodeProcess(process.hProcess, &exitCode);
        return 1;
    }

    HWND WaitForMainWindow(DWORD pid)
    {
        HWND main = 0;
        std::wstring className = m_expected.Text(94, 0);
        WaitUntil([&] { return (main = TopLevelOf(pid, className, 0)) != 0; });
        return main;
    }

    HWND WaitForPage(HWND main, int controlId)
    {
        HWND page = 0;
        WaitUntil([&] { return (page = PageWith(main, controlId)) != 0; });
        return page;
    }

    HWND WaitForQuestion(DWORD pid, HWND main)
    {
        HWND box = 0;
        WaitUntil([&] { return (box = TopLevelOf(pid, L"#32770", main)) != 0; });
        return box;
    }

    // The whole screen as the user sees it, into KLAWISZ_SHOT_DIR/name.png.
    void Screenshot(const char* name)
    {
        if (m_shotDirUnix.empty() || m_shotCount > 20)
            return;
        m_shotCount++;
        if (m_first.hProcess && m_main && IsWindow(m_main)) {
            RedrawWindow(m_main, 0, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            Send(m_main, WM_NULL, 0, 0);
        }
        std::wstring unixDir = m_shotDirUnix;
        if (!unixDir.empty() && unixDir[0] != L'/') {
            printf("e2e: KLAWISZ_SHOT_DIR must be a Unix path\n");
            return;
        }
        std::wstring file = unixDir + L"/" + Wide(name) + L".png";
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
            printf("e2e: cannot take the screenshot %s (error %lu)\n", name, GetLastError());
            return;
        }
        if (process.hProcess && process.hProcess != INVALID_HANDLE_VALUE)
            CloseHandle(process.hProcess);
        if (process.hThread && process.hThread != INVALID_HANDLE_VALUE)
            CloseHandle(process.hThread);
        if (!WaitUntil([&] { return GetFileAttributesW(windowsFile.c_str()) != INVALID_FILE_ATTRIBUTES; }))
            printf("e2e: the screenshot %s did not appear\n", name);
        else
            printf("e2e: screenshot %s\n", Utf8(file).c_str());
    }

    // ---- Pages ----

    int CheckWelcome(HWND page, int language)
    {
        int ok = 1;
        ok &= CheckText(GetDlgItem(page, kWelcomeHeading), m_expected.Formatted(97, 81, language), "welcome heading");
        ok &= CheckText(GetDlgItem(page, kWelcomeBody), m_expected.Text(131, language), "welcome body");
        ok &= CheckText(GetDlgItem(page, kUiLangLabel), m_expected.Text(1, language), "language label");
        ok &= CheckText(GetDlgItem(page, kCancel), m_expected.Text(98, language), "cancel button");
        ok &= CheckText(GetDlgItem(page, kNext), m_expected.Text(99, language), "next button");
        ok &= Check(IsWindowVisible(GetDlgItem(page, kNext)) && IsWindowEnabled(GetDlgItem(page, kNext)),
            "a new installation offers Next");
        const int installedOnly[] = { kRemove, kChange, kOpenSettings };
        for (int id : installedOnly)
            ok &= Check(!IsWindowVisible(GetDlgItem(page, id)) && !IsWindowEnabled(GetDlgItem(page, id)),
                "a new installation hides remove, change and settings");

        HWND list = GetDlgItem(page, kUiLang);
        ok &= Check(Send(list, CB_GETCOUNT, 0, 0) == 2, "the language list has two entries");
        const unsigned names[2] = { 92, 91 };
        for (int i = 0; i < 2; i++) {
            wchar_t item[256] = { 0 };
            LRESULT length = Send(list, CB_GETLBTEXTLEN, i, 0);
            if (length > 0 && length < 256)
                Send(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            std::wstring expected = m_expected.Text(names[i], language);
            if (expected != item) {
                printf("e2e: language entry %d: expected \"%s\", found \"%s\"\n", i, Utf8(expected).c_str(),
                    Utf8(item).c_str());
                ok = 0;
            }
        }
        LRESULT selected = Send(list, CB_GETCURSEL, 0, 0);
        ok &= Check(selected >= 0 && Send(list, CB_GETITEMDATA, selected, 0) == language,
            "the language list selects the interface language");
        return ok;
    }

    int CheckLicence(HWND page, int language, bool accepted)
    {
        int ok = 1;
        ok &= CheckText(GetDlgItem(page, kLicenceHeading), m_expected.Text(132, language), "licence heading");
        ok &= CheckText(GetDlgItem(page, kAccept), m_expected.Text(105, language), "accept box");
        ok &= CheckText(GetDlgItem(page, kBack), m_expected.Text(100, language), "back button");
        ok &= CheckText(GetDlgItem(page, kCancel), m_expected.Text(98, language), "cancel button");
        ok &= CheckText(GetDlgItem(page, kNext), m_expected.Text(99, language), "next button");
        ok &= CheckText(GetDlgItem(page, kLicenceText), m_expected.Licence(language), "licence text");
        bool ticked = Send(GetDlgItem(page, kAccept), BM_GETCHECK, 0, 0) == BST_CHECKED;
        ok &= Check(ticked == accepted, accepted ? "the licence box shows the tick kept" : "the licence box starts unticked");
        ok &= Check((IsWindowEnabled(GetDlgItem(page, kNext)) != 0) == accepted,
            accepted ? "Next is enabled while the licence is accepted" : "Next is disabled until the licence is accepted");
        return ok;
    }

    int SelectLanguage(HWND page, int language)
    {
        HWND list = GetDlgItem(page, kUiLang);
        LRESULT count = Send(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; i++) {
            if (Send(list, CB_GETITEMDATA, i, 0) != language)
                continue;
            // What the list sends its dialog when the user picks an entry.
            Send(list, CB_SETCURSEL, i, 0);
            Send(page, WM_COMMAND, MAKEWPARAM(kUiLang, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
            return 1;
        }
        return 0;
    }

    int PagesAndQuitting()
    {
        if (!Start(m_first))
            return 0;
        DWORD pid = m_first.dwProcessId;
        m_main = WaitForMainWindow(pid);
        if (!Check(m_main != 0, "the main window appears"))
            return 0;
        HWND welcome = WaitForPage(m_main, kWelcomeHeading);
        if (!Check(welcome != 0, "the welcome page appears"))
            return 0;

        HWND list = GetDlgItem(welcome, kUiLang);
        LRESULT selected = Send(list, CB_GETCURSEL, 0, 0);
        int language = selected >= 0 ? static_cast<int>(Send(list, CB_GETITEMDATA, selected, 0)) : -1;
        if (!Check(language == 0 || language == 1, "an interface language is selected"))
            return 0;
        CheckText(m_main, m_expected.Text(93, language), "window title");
        int ok = CheckWelcome(welcome, language);
        Screenshot((std::string("welcome-") + kLanguageCodes[language]).c_str());

        // The other language re-texts the whole page; the title keeps its own.
        int other = 1 - language;
        if (!Check(SelectLanguage(welcome, other) != 0, "the other language can be picked"))
            return 0;
        ok &= CheckWelcome(welcome, other);
        ok &= CheckText(m_main, m_expected.Text(93, language), "window title after the switch");
        Screenshot((std::string("welcome-") + kLanguageCodes[other]).c_str());

        // Next: the licence page, Next disabled until the box is ticked.
        Send(GetDlgItem(welcome, kNext), BM_CLICK, 0, 0);
        HWND licence = WaitForPage(m_main, kLicenceText);
        if (!Check(licence != 0, "Next shows the licence page"))
            return 0;
        ok &= Check(!IsWindow(welcome), "the welcome page is gone");
        ok &= CheckLicence(licence, other, false);
        Screenshot((std::string("licence-") + kLanguageCodes[other]).c_str());

        // Enter on the disabled Next does not go on.
        Send(licence, WM_COMMAND, MAKEWPARAM(kNext, BN_CLICKED), 0);
        ok &= Check(Fence(GetDlgItem(licence, kCancel)) && IsWindow(licence),
            "the licence page stays while the licence is not accepted");

        HWND accept = GetDlgItem(licence, kAccept);
        HWND next = GetDlgItem(licence, kNext);
        Send(accept, BM_CLICK, 0, 0);
        ok &= Check(IsWindowEnabled(next) != 0, "ticking the box enables Next");
        Send(accept, BM_CLICK, 0, 0);
        ok &= Check(!IsWindowEnabled(next), "unticking the box disables Next at once");
        Send(accept, BM_CLICK, 0, 0);
        ok &= Check(IsWindowEnabled(next) != 0, "ticking it again enables Next");

        // Back and forth keeps the tick.
        Send(GetDlgItem(licence, kBack), BM_CLICK, 0, 0);
        welcome = WaitForPage(m_main, kWelcomeHeading);
        if (!Check(welcome != 0, "Back shows the welcome page"))
            return 0;
        ok &= Check(!IsWindow(licence), "the licence page is gone");
        ok &= CheckWelcome(welcome, other);
        Send(GetDlgItem(welcome, kNext), BM_CLICK, 0, 0);
        licence = WaitForPage(m_main, kLicenceText);
        if (!Check(licence != 0, "Next shows the licence page again"))
            return 0;
        ok &= CheckLicence(licence, other, true);

        // Cancel asks; No keeps the page as it was.
        Send(GetDlgItem(licence, kCancel), BM_CLICK, 0, 0);
        HWND box = WaitForQuestion(pid, m_main);
        if (!Check(box != 0, "Cancel asks the quit question"))
            return 0;
        ok &= CheckText(GetDlgItem(box, kMessageTextId), m_expected.Text(96, other), "quit question");
        ok &= CheckText(box, m_expected.Text(93, other), "quit question caption");
        Screenshot("quit-question");
        Send(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        ok &= Check(WaitUntil([&] { return !IsWindow(box); }) != 0, "No closes the question");
        ok &= Check(IsWindow(licence) && PageWith(m_main, kLicenceText) == licence, "No keeps the licence page");
        ok &= Check(WaitForSingleObject(m_first.hProcess, 0) == WAIT_TIMEOUT, "No keeps the program running");
        ok &= CheckLicence(licence, other, true);

        // Cancel again, Yes: the program ends with exit code 0.
        Send(GetDlgItem(licence, kCancel), BM_CLICK, 0, 0);
        box = WaitForQuestion(pid, m_main);
        if (!Check(box != 0, "Cancel asks the quit question again"))
            return 0;
        Send(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        DWORD exitCode = 99;
        ok &= Check(WaitForExit(m_first, exitCode) != 0, "Yes ends the program");
        ok &= Check(exitCode == 0, "the program ends with exit code 0");
        m_main = 0;
        return ok;
    }

    static LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    int SecondCopy()
    {
        if (!Start(m_first))
            return 0;
        m_main = WaitForMainWindow(m_first.dwProcessId);
        if (!Check(m_main != 0 && WaitForPage(m_main, kWelcomeHeading) != 0, "the first copy shows its wizard"))
            return 0;

        // Another window in front, so that bringing the wizard back shows.
        WNDCLASSW wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleW(0);
        wc.lpszClassName = L"WizardDriverFront";
        RegisterClassW(&wc);
        HWND front = CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
            0, 0, wc.hInstance, 0);
        SetForegroundWindow(front);
        int ok = Check(WaitUntil([&] {
            MSG msg;
            while (PeekMessageW(&msg, 0, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            return GetForegroundWindow() == front;
        }) != 0, "the driver's window comes to the front");

        std::wstring className = ClassOf(m_main);
        if (!Start(m_second))
            return 0;
        DWORD exitCode = 99;
        ok &= Check(WaitForExit(m_second, exitCode) != 0, "the second copy ends by itself");
        ok &= Check(exitCode == 0, "the second copy ends with exit code 0");
        ok &= Check(CountWindowsOfClass(className) == 1, "only the first copy's main window exists");
        ok &= Check(WaitUntil([&] { return GetForegroundWindow() == m_main; }) != 0,
            "the second copy brings the first to the front");
        ok &= Check(WaitForSingleObject(m_first.hProcess, 0) == WAIT_TIMEOUT, "the first copy still runs");
        DestroyWindow(front);

        // The first copy ends as the user ends it.
        HWND welcome = PageWith(m_main, kWelcomeHeading);
        Send(GetDlgItem(welcome, kCancel), BM_CLICK, 0, 0);
        HWND box = WaitForQuestion(m_first.dwProcessId, m_main);
        if (!Check(box != 0, "Cancel asks the quit question"))
            return 0;
        Send(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
        ok &= Check(WaitForExit(m_first, exitCode) != 0 && exitCode == 0, "Yes ends the first copy with exit code 0");
        m_main = 0;
        return ok;
    }

    std::wstring m_setup;
    std::wstring m_shotDirUnix;
    CExpected m_expected;
    PROCESS_INFORMATION m_first;
    PROCESS_INFORMATION m_second = PROCESS_INFORMATION();
    HWND m_main = 0;
    int m_failures;
    int m_shotCount;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        printf("usage: WizardDriver SETUP.EXE CONTENT_DIR\n");
        return 2;
    }
    CDriver driver;
    return driver.Run(WindowsPath(argv[1]), WindowsPath(argv[2]));
}
