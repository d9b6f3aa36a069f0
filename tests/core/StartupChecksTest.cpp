#include "core/Install.h"

#include "tests/install/TestStrings.h"
#include "ui/Wizard.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

const u16 kArchX86 = 0;
const u16 kArchIa64 = 6;
const u16 kArchAmd64 = 9;
const u16 kArchArm64 = 12;

std::wstring TempFolder()
{
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer, length);
}

std::wstring OwnPath()
{
    wchar_t buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(0, buffer, MAX_PATH);
    return std::wstring(buffer, length);
}

std::vector<TestText> SystemTexts()
{
    return {{58, L"GetNativeSystemInfo"}, {144, L"kernel32.dll"}};
}

TEST(StartupChecks, IsSystemSupported_AcceptsTheTableOfVersionsAndProcessors)
{
    struct Case
    {
        i32 version;
        u16 arch;
        int supported;
    };
    const Case cases[] = {
        {50, kArchX86, 1},    {50, kArchAmd64, 0}, {50, kArchIa64, 0},   {51, kArchX86, 1},   {51, kArchAmd64, 0},
        {51, kArchIa64, 0},   {52, kArchX86, 1},   {52, kArchAmd64, 1},  {52, kArchIa64, 1},  {60, kArchX86, 1},
        {60, kArchAmd64, 1},  {61, kArchAmd64, 1}, {62, kArchIa64, 1},   {63, kArchAmd64, 1}, {100, kArchX86, 1},
        {100, kArchAmd64, 1}, {100, kArchIa64, 1}, {100, kArchArm64, 0}, {61, 0xFFFF, 0},     {0, kArchX86, 0},
        {40, kArchX86, 0},    {53, kArchX86, 0},   {64, kArchAmd64, 0},  {101, kArchX86, 0},  {110, kArchAmd64, 0},
    };
    CInstall install;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "version " << c.version << ", processor " << c.arch);
        install.m_osVersion = c.version;
        install.m_processorArch = c.arch;
        EXPECT_EQ(install.IsSystemSupported(), c.supported);
    }
}

TEST(StartupChecks, DetectSystem_ReadsVersionAndNativeProcessor)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    SYSTEM_INFO native;
    GetNativeSystemInfo(&native);

    struct Case
    {
        const char* name;
        std::vector<TestText> texts;
    };
    const Case cases[] = {
        {"native query found", SystemTexts()},
        {"native query missing: plain system information", {{58, L"KlawiszNoSuchFunction"}, {144, L"kernel32.dll"}}},
        {"library missing", {{58, L"GetNativeSystemInfo"}, {144, L"klawisz-no-such.dll"}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CInstall install;
        ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, c.texts));
        install.m_osVersion = 7;
        install.m_is64Bit = 7;
        EXPECT_EQ(install.DetectSystem(58, 144), 1);
        EXPECT_EQ(install.m_osVersion, static_cast<i32>(version.dwMajorVersion * 10 + version.dwMinorVersion));
        EXPECT_EQ(install.m_processorArch, native.wProcessorArchitecture);
        EXPECT_EQ(install.m_is64Bit, native.wProcessorArchitecture == kArchAmd64 ? 1 : 0);
    }
}

// Run only inside the probe copies started below: reports what the start-up
// checks see under the Windows version Wine shows that copy.
TEST(StartupChecksProbe, DISABLED_ReportSystem)
{
    CInstall install;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, SystemTexts()));
    const int detected = install.DetectSystem(58, 144);
    FILE* out = _wfopen((OwnPath() + L".out").c_str(), L"w");
    ASSERT_NE(out, nullptr);
    fprintf(out, "%d %d %d %d %d\n", detected, install.m_osVersion, install.m_processorArch, install.m_is64Bit,
            install.IsSystemSupported());
    fclose(out);
}

// A copy of this test program under a name of its own, so that Wine's
// per-program Windows version applies to it and to nothing else.
class VersionProbe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_name = L"KlawiszVersionProbe-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
        m_copy = TempFolder() + m_name;
        m_settings = L"Software\\Wine\\AppDefaults\\" + m_name;
        ASSERT_TRUE(CopyFileW(OwnPath().c_str(), m_copy.c_str(), FALSE));
    }

    void TearDown() override
    {
        DeleteFileW(m_copy.c_str());
        DeleteFileW((m_copy + L".out").c_str());
        DeleteFileW((m_copy + L".msg").c_str());
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, m_settings.c_str());
    }

    // version, arch, 64-bit flag and support as the probe saw them.
    // Runs one probe test in the copy under the given Windows version; the
    // numbers it wrote are read back into seen.
    bool Probe(const wchar_t* windowsVersion, const wchar_t* probeTest, std::vector<int>& seen, size_t count)
    {
        HKEY key = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, m_settings.c_str(), 0, 0, 0, KEY_SET_VALUE, 0, &key, 0) !=
            ERROR_SUCCESS)
            return false;
        LONG set = RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(windowsVersion),
                                  static_cast<DWORD>((wcslen(windowsVersion) + 1) * 2));
        RegCloseKey(key);
        if (set != ERROR_SUCCESS)
            return false;
        DeleteFileW((m_copy + L".out").c_str());

        DeleteFileW((m_copy + L".msg").c_str());
        std::wstring line = L"\"" + m_copy + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + probeTest;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(0, &line[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
            return false;
        DWORD waited = WaitForSingleObject(process.hProcess, 60000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        if (waited != WAIT_OBJECT_0)
            return false;

        FILE* in = _wfopen((m_copy + L".out").c_str(), L"r");
        if (!in)
            return false;
        seen.assign(count, -1);
        size_t fields = 0;
        while (fields < count && fscanf(in, "%d", &seen[fields]) == 1)
            ++fields;
        fclose(in);
        return fields == count;
    }

    std::wstring m_name;
    std::wstring m_copy;
    std::wstring m_settings;
};

TEST_F(VersionProbe, RefusesWindows2000AndXpOn64BitAndAcceptsTheRest)
{
    struct Case
    {
        const wchar_t* setting;
        std::vector<int> versions;
        int supported;
    };
    // Without a manifest that names them, 8.1 and 10 report 6.2.
    const Case cases[] = {
        {L"win2k", {50}, 0},   {L"winxp", {51}, 0},       {L"win2003", {52}, 1},     {L"vista", {60}, 1},
        {L"win7", {61}, 1},    {L"win8", {62}, 1},        {L"win81", {62, 63}, 1},   {L"win10", {62, 100}, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "Wine setting " << std::string(c.setting, c.setting + wcslen(c.setting)));
        std::vector<int> seen;
        ASSERT_TRUE(Probe(c.setting, L"StartupChecksProbe.DISABLED_ReportSystem", seen, 5));
        EXPECT_EQ(seen[0], 1);
        EXPECT_NE(std::find(c.versions.begin(), c.versions.end(), seen[1]), c.versions.end()) << "saw " << seen[1];
        EXPECT_EQ(seen[2], kArchAmd64);
        EXPECT_EQ(seen[3], 1);
        EXPECT_EQ(seen[4], c.supported);
    }
}

// Closes the first message box of this process and keeps its text.
struct MessageBoxWatch
{
    std::wstring text;
    bool seen = false;

    static DWORD WINAPI Watch(void* parameter)
    {
        MessageBoxWatch* watch = static_cast<MessageBoxWatch*>(parameter);
        for (int i = 0; i < 400 && !watch->seen; ++i)
        {
            HWND box = 0;
            while ((box = FindWindowExW(0, box, L"#32770", 0)) != 0)
            {
                DWORD process = 0;
                GetWindowThreadProcessId(box, &process);
                if (process != GetCurrentProcessId() || !IsWindowVisible(box))
                    continue;
                wchar_t buffer[1024] = {};
                GetDlgItemTextW(box, 0xFFFF, buffer, 1024);
                watch->text = buffer;
                watch->seen = true;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                break;
            }
            Sleep(50);
        }
        return 0;
    }
};

// Run only inside the probe copies: the whole run on a system it refuses.
TEST(StartupChecksProbe, DISABLED_RunOnRefusedSystem)
{
    CInstall install;
    ASSERT_EQ(install.AttachStringTables(), 1);
    install.m_wizard = new CWizard(&install);
    MessageBoxWatch watch;
    HANDLE watcher = CreateThread(0, 0, MessageBoxWatch::Watch, &watch, 0, 0);
    ASSERT_NE(watcher, nullptr);
    const int result = install.Run();
    WaitForSingleObject(watcher, 30000);
    CloseHandle(watcher);

    FILE* out = _wfopen((OwnPath() + L".out").c_str(), L"w");
    ASSERT_NE(out, nullptr);
    fprintf(out, "%d %d %d %d\n", result, install.m_osVersion, watch.seen ? 1 : 0, install.m_uiLanguage);
    fclose(out);
    FILE* message = _wfopen((OwnPath() + L".msg").c_str(), L"wb");
    ASSERT_NE(message, nullptr);
    fwrite(watch.text.data(), sizeof(wchar_t), watch.text.size(), message);
    fclose(message);
}

TEST_F(VersionProbe, Run_ShowsTheUnsupportedSystemMessageAndEndsOnWindows2000AndXp)
{
    CInstall texts;
    ASSERT_EQ(texts.AttachStringTables(), 1);
    for (const wchar_t* setting : {L"win2k", L"winxp"})
    {
        SCOPED_TRACE(testing::Message() << "Wine setting " << std::string(setting, setting + wcslen(setting)));
        std::vector<int> seen;
        ASSERT_TRUE(Probe(setting, L"StartupChecksProbe.DISABLED_RunOnRefusedSystem", seen, 4));
        EXPECT_EQ(seen[0], 0);
        EXPECT_EQ(seen[1], setting[3] == L'2' ? 50 : 51);
        ASSERT_EQ(seen[2], 1) << "no message box was shown";

        ASSERT_EQ(texts.SetUiLanguage(static_cast<u32>(seen[3])), 1);
        GString expected;
        ASSERT_EQ(texts.GetString(124, expected), 1);
        FILE* in = _wfopen((m_copy + L".msg").c_str(), L"rb");
        ASSERT_NE(in, nullptr);
        std::wstring shown;
        wchar_t unit = 0;
        while (fread(&unit, sizeof(unit), 1, in) == 1)
            shown.push_back(unit);
        fclose(in);
        EXPECT_EQ(shown, Text(expected));
    }
}

TEST(StartupChecks, BuildPaths_ComposesEveryFolderAndPath)
{
    CInstall install;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, {
                                                             {9, L"Maker"},
                                                             {10, L"Product"},
                                                             {22, L"Polish"},
                                                             {23, L"Klawisz"},
                                                             {30, L"Chart"},
                                                             {42, L".html"},
                                                             {43, L".lnk"},
                                                             {44, L".cmd"},
                                                             {46, L".url"},
                                                             {48, L"Change or remove %s"},
                                                             {70, L"Try it"},
                                                             {71, L"Language Bar"},
                                                             {80, L"try.html"},
                                                             {81, L"Polish (Klawisz)"},
                                                         }));
    ASSERT_EQ(install.BuildPaths(), 1);

    GString programFiles, programs, desktop;
    ASSERT_EQ(install.GetSpecialFolder(38, programFiles), 1);
    ASSERT_EQ(install.GetSpecialFolder(23, programs), 1);
    ASSERT_EQ(install.GetSpecialFolder(25, desktop), 1);
    const std::wstring product = Text(programFiles) + L"\\Maker\\Product";
    const std::wstring menu = Text(programs) + L"\\Maker\\Product";
    const std::wstring desk = Text(desktop);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    ASSERT_NE(argv, nullptr);
    const std::wstring running = argv[0];
    LocalFree(argv);
    const std::wstring fileName = running.substr(running.rfind(L'\\') + 1);

    struct Case
    {
        const char* name;
        GString* field;
        std::wstring expected;
    };
    const Case cases[] = {
        {"maker folder", &install.m_makerFolder, Text(programFiles) + L"\\Maker"},
        {"product folder", &install.m_productFolder, product},
        {"menu maker folder", &install.m_menuMakerFolder, Text(programs) + L"\\Maker"},
        {"menu folder", &install.m_menuFolder, menu},
        {"main document", &install.m_mainDocument, product + L"\\Polish (Klawisz).html"},
        {"main document menu link", &install.m_mainDocumentMenuLink, menu + L"\\Polish (Klawisz).lnk"},
        {"main document desktop link", &install.m_mainDocumentDesktopLink, desk + L"\\Polish (Klawisz).lnk"},
        {"extra document", &install.m_extraDocument, product + L"\\Chart.html"},
        {"extra document menu link", &install.m_extraDocumentMenuLink, menu + L"\\Chart.lnk"},
        {"extra document desktop link", &install.m_extraDocumentDesktopLink, desk + L"\\Chart.lnk"},
        {"launcher", &install.m_launcher, product + L"\\Language Bar.cmd"},
        {"launcher menu link", &install.m_launcherMenuLink, menu + L"\\Language Bar.lnk"},
        {"launcher desktop link", &install.m_launcherDesktopLink, desk + L"\\Language Bar.lnk"},
        {"target menu link", &install.m_targetLinkMenu, menu + L"\\Try it.url"},
        {"target desktop link", &install.m_targetLinkDesktop, desk + L"\\Try it.url"},
        {"target file", &install.m_targetFile, product + L"\\try.html"},
        {"running program", &install.m_runningProgram, running},
        {"setup copy", &install.m_setupCopy, product + L"\\" + fileName},
        {"setup link title", &install.m_setupLinkTitle, L"Change or remove Polish (Klawisz)"},
        {"setup menu link", &install.m_setupMenuLink, menu + L"\\Change or remove Polish (Klawisz).lnk"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Text(*c.field), c.expected);
    }
}

class RunningInstance : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_className = L"KlawiszTestWindow-" + std::to_wstring(GetCurrentProcessId());
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(0);
        windowClass.lpszClassName = m_className.c_str();
        ASSERT_NE(RegisterClassW(&windowClass), 0);
        ASSERT_TRUE(AttachTestTexts(m_install.m_commonStrings, {{94, m_className}}));
    }

    void TearDown() override
    {
        if (m_window)
            DestroyWindow(m_window);
        UnregisterClassW(m_className.c_str(), GetModuleHandleW(0));
    }

    CInstall m_install;
    std::wstring m_className;
    HWND m_window = 0;
};

TEST_F(RunningInstance, ActivateRunningInstance_GoesOnWhenNoWindowOfTheClassExists)
{
    EXPECT_EQ(m_install.ActivateRunningInstance(), 1);
}

TEST_F(RunningInstance, ActivateRunningInstance_StopsAndBringsTheOtherWindowForward)
{
    m_window = CreateWindowExW(0, m_className.c_str(), L"other copy", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, 0, 0,
                               GetModuleHandleW(0), 0);
    ASSERT_NE(m_window, nullptr);
    HWND decoy = CreateWindowExW(0, L"STATIC", L"decoy", WS_POPUP | WS_VISIBLE, 60, 0, 50, 50, 0, 0,
                                 GetModuleHandleW(0), 0);
    ASSERT_NE(decoy, nullptr);
    SetForegroundWindow(decoy);
    EXPECT_EQ(m_install.ActivateRunningInstance(), 0);
    EXPECT_EQ(GetForegroundWindow(), m_window);
    DestroyWindow(decoy);
}

TEST(StartupChecks, DetectFamily_TakesTheFirstFamilyTextThatContainsTheKey)
{
    struct Case
    {
        const char* name;
        std::wstring key;
        std::wstring texts[3];
        i32 family;
    };
    const Case cases[] = {
        {"key in the first", L"QWERTY", {L"QWERTY (standard)", L"QWERTZ", L"Dvorak"}, 0},
        {"key in the second only", L"QWERTZ", {L"QWERTY (standard)", L"QWERTZ (Y and Z)", L"Dvorak"}, 1},
        {"key in the third only", L"Dvorak", {L"QWERTY", L"QWERTZ", L"Dvorak"}, 2},
        {"key in the first two", L"QWERT", {L"QWERTY", L"QWERTZ", L"Dvorak"}, 0},
        {"key nowhere", L"AZERTY", {L"QWERTY", L"QWERTZ", L"Dvorak"}, 0},
        {"case matters", L"dvorak", {L"QWERTY", L"QWERTZ", L"Dvorak"}, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CInstall install;
        ASSERT_TRUE(AttachTestTexts(install.m_commonStrings,
                                    {{88, c.key}, {113, c.texts[0]}, {114, c.texts[1]}, {115, c.texts[2]}}));
        EXPECT_EQ(install.DetectFamily(), c.family);
        EXPECT_EQ(install.m_family, c.family);
    }
}

TEST(StartupChecks, DetectFamily_KeepsAFamilyAlreadyChosen)
{
    CInstall install;
    ASSERT_TRUE(AttachTestTexts(install.m_commonStrings, {{88, L"QWERTY"}, {113, L"QWERTY"}}));
    ASSERT_EQ(install.SetFamily(2), 1);
    EXPECT_EQ(install.DetectFamily(), 2);
}

TEST(StartupChecks, SettersOfFamilyAndDecimalFlagRefuseValuesOutOfRange)
{
    CInstall install;
    EXPECT_EQ(install.SetFamily(1), 1);
    EXPECT_EQ(install.SetFamily(3), 0);
    EXPECT_EQ(install.SetFamily(0xFFFFFFFFu), 0);
    EXPECT_EQ(install.m_family, 1);
    EXPECT_EQ(install.SetDecimalFlag(1), 1);
    EXPECT_EQ(install.SetDecimalFlag(2), 0);
    EXPECT_EQ(install.SetDecimalFlag(-1), 0);
    EXPECT_EQ(install.m_decimalFlag, 1);
    EXPECT_EQ(install.SetDecimalFlag(0), 1);
    EXPECT_EQ(install.m_decimalFlag, 0);
}

// The user's decimal separator is set through the platform's own setting
// and put back afterwards.
class DecimalSeparator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t buffer[16] = {};
        ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 16), 0);
        m_original = buffer;
    }

    void TearDown() override { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, m_original.c_str()); }

    std::wstring m_original;
};

TEST_F(DecimalSeparator, DetectDecimalFlag_IsZeroOnlyForAComma)
{
    struct Case
    {
        const wchar_t* separator;
        int flag;
    };
    const Case cases[] = {{L",", 0}, {L".", 1}, {L",,", 1}, {L"\x066B", 1}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "separator of " << wcslen(c.separator) << " units, first "
                                        << static_cast<int>(c.separator[0]));
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, c.separator));
        CInstall install;
        EXPECT_EQ(install.DetectDecimalFlag(), c.flag);
        EXPECT_EQ(install.m_decimalFlag, c.flag);
    }
}

TEST_F(DecimalSeparator, DetectDecimalFlag_KeepsAChoiceAlreadyMade)
{
    ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"."));
    CInstall install;
    ASSERT_EQ(install.SetDecimalFlag(0), 1);
    EXPECT_EQ(install.DetectDecimalFlag(), 0);
}

} // namespace
