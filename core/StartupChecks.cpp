// The run of the installer object: what it learns about the machine before
// the wizard appears (version, native processor, a second copy already
// running, the paths, the association, administrator rights), and the
// layout family and decimal-key detections offered to the setup page.

#include "core/Install.h"

#include "ui/Wizard.h"

#include <shellapi.h>

namespace
{

const u16 kLangIdPolish = 1045;
const u16 kArchUnknown = 0xFFFF;
const u16 kArchX86 = 0;
const u16 kArchIa64 = 6;
const u16 kArchAmd64 = 9;

const int kCsidlProgramFiles = 38;
const int kCsidlCommonPrograms = 23;
const int kCsidlCommonDesktop = 25;

const u32 kStringAssocExtension = 42;
const u32 kStringAssocNeedle = 45;
const u32 kStringNativeSystemInfo = 58;
const u32 kStringKernelLibrary = 144;
const u32 kStringNotAdmin = 123;
const u32 kStringUnsupported = 124;
const u32 kStringWindowClass = 94;
const u32 kStringMakerName = 9;
const u32 kStringProductName = 10;
const u32 kStringDisplayName = 22;
const u32 kStringDisplayLanguage = 23;
const u32 kStringExtraDocumentName = 30;
const u32 kStringDocumentExtension = 42;
const u32 kStringLinkExtension = 43;
const u32 kStringLauncherExtension = 44;
const u32 kStringTargetLinkExtension = 46;
const u32 kStringSetupLinkTitle = 48;
const u32 kStringTargetLinkName = 70;
const u32 kStringLauncherName = 71;
const u32 kStringTargetFileName = 80;
const u32 kStringLayoutDisplayName = 81;
const u32 kStringFamilyKey = 88;
const u32 kStringFamilyTexts[] = {113, 114, 115};

// Versions as major x 10 + minor, with the native processors each takes.
struct SupportedSystem
{
    i32 version;
    int takesX86;
    int takesIa64;
    int takesAmd64;
};

const SupportedSystem kSupportedSystems[] = {
    // version  x86  IA64  AMD64
    {50, 1, 0, 0},
    {51, 1, 0, 0},
    {52, 1, 1, 1},
    {60, 1, 1, 1},
    {61, 1, 1, 1},
    {62, 1, 1, 1},
    {63, 1, 1, 1},
    {100, 1, 1, 1},
};

// out = folder \ name + extension (no extension when it is null).
int ComposePath(GString& out, const GString& folder, const GString& name, const GString* extension)
{
    if (!out.Assign(folder) || !out.MakeWide(-1) || !out.AppendPath(name))
        return 0;
    return extension ? out.Append(*extension) : 1;
}

} // namespace

int CInstall::Run()
{
    if (!m_wizard)
        return 0;
    m_uiLanguage = GetUserDefaultLangID() == kLangIdPolish ? 1 : 0;

    // A failed detection leaves version 0, which the next check refuses.
    (void)DetectSystem(kStringNativeSystemInfo, kStringKernelLibrary);
    if (!IsSystemSupported())
    {
        (void)ShowMessageId(kStringUnsupported, MB_ICONEXCLAMATION);
        return 0;
    }

    m_layoutLangId = m_osVersion >= 60 ? GetUserDefaultLangID() : m_defaultLangId;
    if (m_osVersion < 51)
        m_langEntryOption = 0;

    if (!ActivateRunningInstance())
        return 0;

    (void)BuildPaths();
    m_assocMatch = AssociatedProgramContains(kStringAssocExtension, kStringAssocNeedle);
    m_isAdmin = IsUserAdmin();
    if (!m_isAdmin)
    {
        (void)ShowMessageId(kStringNotAdmin, MB_OK);
        return 1;
    }

    (void)ReadScancodeMap();
    (void)ReadRecord();
    return m_wizard->RunLoop() ? 1 : 0;
}

int CInstall::DetectSystem(u32 procId, u32 libraryId)
{
    m_processorArch = kArchUnknown;
    m_osVersion = 0;
    m_is64Bit = 0;

    OSVERSIONINFOEXW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
    {
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)))
            return 0;
    }
    m_osVersion = static_cast<i32>(version.dwMajorVersion * 10 + version.dwMinorVersion);

    // The native query tells a 64-bit system from inside a 32-bit process;
    // platforms without it are 32-bit ones.
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof(info));
    HMODULE module = 0;
    FARPROC proc = GetProcById(procId, libraryId, module);
    if (proc)
        reinterpret_cast<NativeSystemInfoProc>(reinterpret_cast<void (*)()>(proc))(&info);
    else
        GetSystemInfo(&info);
    if (module)
        FreeLibrary(module);

    m_processorArch = info.wProcessorArchitecture;
    m_is64Bit = (m_processorArch == kArchAmd64 || m_processorArch == kArchIa64) ? 1 : 0;
    return 1;
}

int CInstall::IsSystemSupported()
{
    for (const SupportedSystem& system : kSupportedSystems)
    {
        if (system.version != m_osVersion)
            continue;
        switch (m_processorArch)
        {
        case kArchX86:
            return system.takesX86;
        case kArchIa64:
            return system.takesIa64;
        case kArchAmd64:
            return system.takesAmd64;
        default:
            return 0;
        }
    }
    return 0;
}

int CInstall::ActivateRunningInstance()
{
    if (!GetString(kStringWindowClass, m_scratch) || m_scratch.IsEmpty())
        return 1;
    HWND other = FindWindowW(m_scratch.WideText(0), 0);
    if (!other)
        return 1;
    SetForegroundWindow(other);
    return 0;
}

int CInstall::BuildPaths()
{
    // A folder the platform cannot name stays empty; the paths built on it
    // then start from nothing.
    GString programFiles;
    GString commonPrograms;
    GString desktop;
    (void)GetSpecialFolder(kCsidlProgramFiles, programFiles);
    (void)GetSpecialFolder(kCsidlCommonPrograms, commonPrograms);
    (void)GetSpecialFolder(kCsidlCommonDesktop, desktop);

    GString makerName, productName, displayLanguage, extraName, launcherName, targetLinkName, targetFileName;
    GString documentExt, linkExt, launcherExt, targetLinkExt;
    GString displayName;
    (void)GetString(kStringMakerName, makerName);
    (void)GetString(kStringProductName, productName);
    (void)GetString(kStringDisplayName, displayName);
    (void)GetString(kStringDisplayLanguage, displayLanguage);
    (void)GetString(kStringExtraDocumentName, extraName);
    (void)GetString(kStringLauncherName, launcherName);
    (void)GetString(kStringTargetLinkName, targetLinkName);
    (void)GetString(kStringTargetFileName, targetFileName);
    (void)GetString(kStringDocumentExtension, documentExt);
    (void)GetString(kStringLinkExtension, linkExt);
    (void)GetString(kStringLauncherExtension, launcherExt);
    (void)GetString(kStringTargetLinkExtension, targetLinkExt);
    (void)displayName.MakeWide(-1);
    (void)displayName.AppendWide(W(" ("));
    (void)displayName.Append(displayLanguage);
    (void)displayName.AppendWide(W(")"));

    (void)ComposePath(m_makerFolder, programFiles, makerName, 0);
    (void)ComposePath(m_productFolder, m_makerFolder, productName, 0);
    (void)ComposePath(m_menuMakerFolder, commonPrograms, makerName, 0);
    (void)ComposePath(m_menuFolder, m_menuMakerFolder, productName, 0);

    (void)ComposePath(m_mainDocument, m_productFolder, displayName, &documentExt);
    (void)ComposePath(m_mainDocumentMenuLink, m_menuFolder, displayName, &linkExt);
    (void)ComposePath(m_mainDocumentDesktopLink, desktop, displayName, &linkExt);
    (void)ComposePath(m_extraDocument, m_productFolder, extraName, &documentExt);
    (void)ComposePath(m_extraDocumentMenuLink, m_menuFolder, extraName, &linkExt);
    (void)ComposePath(m_extraDocumentDesktopLink, desktop, extraName, &linkExt);
    (void)ComposePath(m_launcher, m_productFolder, launcherName, &launcherExt);
    (void)ComposePath(m_launcherMenuLink, m_menuFolder, launcherName, &linkExt);
    (void)ComposePath(m_launcherDesktopLink, desktop, launcherName, &linkExt);
    (void)ComposePath(m_targetLinkMenu, m_menuFolder, targetLinkName, &targetLinkExt);
    (void)ComposePath(m_targetLinkDesktop, desktop, targetLinkName, &targetLinkExt);
    (void)ComposePath(m_targetFile, m_productFolder, targetFileName, 0);

    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args)
        return 0;
    int built = 0;
    if (count > 0 && args[0])
    {
        (void)m_runningProgram.AssignWide(args[0]);
        const int slash = m_runningProgram.ReverseFindChar(W('\\'), 0);
        GString fileName;
        (void)fileName.AssignWide(m_runningProgram.WideText(slash + 1));
        (void)ComposePath(m_setupCopy, m_productFolder, fileName, 0);

        GString titleFormat, layoutName;
        (void)GetString(kStringSetupLinkTitle, titleFormat);
        (void)GetString(kStringLayoutDisplayName, layoutName);
        (void)m_setupLinkTitle.Format(titleFormat.WideText(0), layoutName.WideText(0));
        (void)ComposePath(m_setupMenuLink, m_menuFolder, m_setupLinkTitle, &linkExt);
        built = 1;
    }
    LocalFree(args);
    return built;
}

int CInstall::DetectFamily()
{
    if (m_family >= 0)
        return m_family;
    GString key;
    (void)GetString(kStringFamilyKey, key);
    m_family = 0;
    GString text;
    for (i32 family = 0; family < 3; ++family)
    {
        if (GetString(kStringFamilyTexts[family], text) && text.Find(key, 0) >= 0)
        {
            m_family = family;
            break;
        }
    }
    return m_family;
}

int CInstall::SetFamily(u32 family)
{
    if (family > 2)
        return 0;
    m_family = static_cast<i32>(family);
    return 1;
}

int CInstall::DetectDecimalFlag()
{
    if (m_decimalFlag >= 0)
        return m_decimalFlag;
    int needed = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, 0, 0);
    if (needed <= 0)
        return -1;
    GString separator;
    separator.ClearWide();
    wch* buffer = separator.WideBuffer(needed);
    if (!buffer || !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, needed))
        return -1;
    separator.SetLength(-1);
    m_decimalFlag = separator.CompareWide(W(","), 1) == 0 ? 0 : 1;
    return m_decimalFlag;
}

int CInstall::SetDecimalFlag(int flag)
{
    if (flag != 0 && flag != 1)
        return 0;
    m_decimalFlag = flag;
    return 1;
}
