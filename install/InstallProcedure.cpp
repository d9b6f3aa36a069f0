// The install procedure: the product's folders, files and links, the layout
// libraries, the record, the layout's registration with the platform, the
// scancode remapping, the language settings and the hotkeys. In update mode
// only the stored choices and the libraries are rewritten. A failing step
// leaves what the steps before it did.

#include "core/Install.h"

#include "payload/Catalogue.h"
#include "ui/Wizard.h"

namespace
{

const u32 kVersionThis = 190;
const u32 kVersionEarlier = 130;
const i32 kVersionWindows2000 = 50;
const i32 kVersionWindowsXp = 51;
const i32 kVersionVista = 60;
const i32 kVersionWindows8 = 62;

// Folders, names and link texts.
const u32 kStringLinkDescriptionGuide = 121;
const u32 kStringLinkDescriptionChart = 35;
const u32 kStringLinkDescriptionLauncher = 122;
const u32 kStringLauncherIcon = 52;
const int kLauncherIconIndex = 0;
const int kSetupIconIndex = 0;
const u32 kStringLauncherScript = 67;
const u32 kStringLauncherScriptOld = 68;
const u32 kStringTargetLinkText = 69;
const u32 kStringTargetFileName = 80;

// The platform's registration of the layout: value name and data.
const u32 kStringLayoutsKey = 3;
const u32 kStringLayoutId = 85;
const u32 kAccessRegister = 0x0006;
const u32 kAccessRegisterView64 = 0x0106;
struct RegistrationValue
{
    u32 nameId;
    u32 textId;
};
const RegistrationValue kRegistration[] = {
    {17, 81},  // the layout's display name
    {20, 87},  // the display name resource of the layout library
    {19, 84},  // the layout's own id
    {18, 83},  // the layout library's file name
};

// Language hotkeys: 3 switches each of them off.
const u32 kStringHotkeyKey = 13;
const u32 kHotkeyValues[] = {14, 15, 16};
const wch kHotkeyOff[] = W("3");
const u32 kAccessHotkeys = 0x2001F;

// Regional-settings files.
const u32 kStringTempPrefix = 47;
const u32 kStringSettingsCommand = 49;
const u32 kStringSettingsVista = 62;
const u32 kStringSettingsWindows8 = 63;
const u32 kStringDefaultAttribute = 64;
const u32 kStringSettingsUser = 90;
const DWORD kSettingsSettleMs = 500;
const int kDebugOutputLimit = 65535;

// The start-up value.
const u32 kStringRunKey = 4;
const u32 kStringLauncherName = 71;
const u32 kStringStartupCommand = 50;
const u32 kStringStartupCommandOld = 51;

enum InstallItemRole
{
    kItemMainDocument,
    kItemExtraDocument,
    kItemTargetFile
};

const wch* PathOf(GString& path)
{
    return path.MakeWide(-1);
}

int IsRecorded(const GString& recorded)
{
    return !recorded.IsEmpty();
}

// Deletions of recorded files in the procedure: a file that will not go
// stays without notice.
void DeleteRecorded(GString& recorded)
{
    const wch* path = IsRecorded(recorded) ? PathOf(recorded) : 0;
    if (path)
        (void)DeleteFileW(path);
}

int IsSameFile(GString& a, GString& b)
{
    const wch* first = PathOf(a);
    const wch* second = PathOf(b);
    return first && second && first[0] && lstrcmpiW(first, second) == 0;
}

} // namespace

int CInstall::Install()
{
    if (m_wizard)
        m_wizard->DisableAllControls();

    if (m_updateMode)
        return WriteRecord() && PrepareLayout();

    if (m_installedVersion == kVersionEarlier)
        (void)RemoveEarlierVersionFiles(0);
    if (!InstallFiles() || !PrepareLayout())
        return 0;
    // An install over this version adds no installation.
    if (m_installedVersion <= kVersionEarlier)
        ++m_installCount;
    if (!WriteRecord() || !RegisterLayout())
        return 0;
    // The entry only helps to find the setup copy; the layout is in place
    // without it, and the start-menu link offers the same commands.
    (void)WriteInstalledProgramsEntry();
    (void)WriteScancodeMap();
    (void)ApplyLanguageSettings(m_layoutLangId, m_langEntryOption);
    if (m_hotkeyOption && !DisableLanguageHotkeys())
        return 0;
    m_installDone = 1;
    return 1;
}

int CInstall::InstallFiles()
{
    const PayloadItem* items = m_installItems;
    const PayloadItem programItems[] = {g_mainDocumentItem, g_extraDocumentItem, g_targetFileItem};
    if (!items)
        items = programItems;

    GString* folders[] = {&m_makerFolder, &m_productFolder, &m_menuMakerFolder, &m_menuFolder};
    for (GString* folder : folders)
    {
        if (!EnsureFolder(PathOf(*folder)))
            return 0;
    }

    // The running program may be the setup copy itself: it is neither
    // deleted nor copied onto itself.
    const int runningCopy = IsSameFile(m_runningProgram, m_setupCopy) ||
                            (IsRecorded(m_recordedSetupCopy) && IsSameFile(m_runningProgram, m_recordedSetupCopy));
    if (!runningCopy)
        DeleteRecorded(m_recordedSetupCopy);
    DeleteRecorded(m_recordedSetupMenuLink);

    int desktopChoice = m_desktopShortcuts;

    // Taken back in step with the increment below: an install over a
    // recorded document keeps its count.
    if (IsRecorded(m_recordedMainDocument) && m_docRefCount > 0)
        --m_docRefCount;

    // A main document or link recorded under another path moves to this
    // run's path; a desktop link that existed is made again.
    struct MovedSlot
    {
        GString* recorded;
        GString* current;
        int isDesktopLink;
    };
    const MovedSlot mainSlots[] = {
        {&m_recordedMainDocument, &m_mainDocument, 0},
        {&m_recordedMainDocumentMenuLink, &m_mainDocumentMenuLink, 0},
        {&m_recordedMainDocumentDesktopLink, &m_mainDocumentDesktopLink, 1},
    };
    for (const MovedSlot& slot : mainSlots)
    {
        if (!IsRecorded(*slot.recorded) || Equal(*slot.recorded, *slot.current))
            continue;
        DeleteRecorded(*slot.recorded);
        if (slot.isDesktopLink)
            desktopChoice = 1;
    }

    // A missing description text leaves the link without one.
    GString description;
    (void)GetString(kStringLinkDescriptionGuide, description);
    if (!WriteItemToFile(PathOf(m_mainDocument), items[kItemMainDocument].bytes, items[kItemMainDocument].size) ||
        !CreateShortcut(PathOf(m_mainDocument), PathOf(m_mainDocumentMenuLink), PathOf(description), 0, 0))
        return 0;
    if (desktopChoice)
    {
        if (!CreateShortcut(PathOf(m_mainDocument), PathOf(m_mainDocumentDesktopLink), PathOf(description), 0, 0))
            return 0;
        m_desktopLink1Made = 1;
    }
    ++m_docRefCount;

    // The extra document is placed once per record version.
    if (m_storedVersion < kVersionThis)
    {
        DeleteRecorded(m_recordedExtraDocument);
        DeleteRecorded(m_recordedExtraDocumentMenuLink);
        DeleteRecorded(m_recordedExtraDocumentDesktopLink);
        (void)GetString(kStringLinkDescriptionChart, description);
        if (!WriteItemToFile(PathOf(m_extraDocument), items[kItemExtraDocument].bytes,
                             items[kItemExtraDocument].size) ||
            !CreateShortcut(PathOf(m_extraDocument), PathOf(m_extraDocumentMenuLink), PathOf(description), 0, 0))
            return 0;
        if (m_desktopShortcuts)
        {
            if (!CreateShortcut(PathOf(m_extraDocument), PathOf(m_extraDocumentDesktopLink), PathOf(description), 0,
                                0))
                return 0;
            m_desktopLink2Made = 1;
        }
    }

    // The launcher and its links are placed once.
    GString icon;
    (void)GetString(kStringLinkDescriptionLauncher, description);
    (void)GetString(kStringLauncherIcon, icon);
    if (!IsRecorded(m_recordedLauncherMenuLink))
    {
        if (!WriteLauncherFile(PathOf(m_launcher)) ||
            !CreateShortcut(PathOf(m_launcher), PathOf(m_launcherMenuLink), PathOf(description), PathOf(icon),
                            kLauncherIconIndex))
            return 0;
    }
    if (m_desktopShortcuts && !IsRecorded(m_recordedLauncherDesktopLink))
    {
        GString& target = IsRecorded(m_recordedLauncher) ? m_recordedLauncher : m_launcher;
        if (!CreateShortcut(PathOf(target), PathOf(m_launcherDesktopLink), PathOf(description), PathOf(icon),
                            kLauncherIconIndex))
            return 0;
        m_desktopLink3Made = 1;
    }

    // The try-it page and its two Internet shortcuts are placed once; none
    // of these writes decides the install. The desktop one only goes where
    // the user asked for desktop links.
    if (!IsRecorded(m_recordedTargetLinkMenu))
    {
        GString format, fileName, text;
        if (GetString(kStringTargetLinkText, format) && GetString(kStringTargetFileName, fileName))
            (void)text.Format(PathOf(format), PathOf(m_productFolder), PathOf(fileName));
        (void)WriteItemToFile(PathOf(m_targetFile), items[kItemTargetFile].bytes, items[kItemTargetFile].size);
        GString* links[] = {&m_targetLinkMenu, m_desktopShortcuts ? &m_targetLinkDesktop : 0};
        for (GString* link : links)
        {
            HANDLE file = link ? CreateFileForWrite(PathOf(*link)) : 0;
            if (!file)
                continue;
            (void)WriteText(file, text);
            CloseHandle(file);
        }
    }

    if (!runningCopy && !CopyFileW(PathOf(m_runningProgram), PathOf(m_setupCopy), FALSE))
        return 0;
    return CreateShortcut(PathOf(m_setupCopy), PathOf(m_setupMenuLink), PathOf(m_setupLinkTitle),
                          PathOf(m_setupCopy), kSetupIconIndex);
}

int CInstall::WriteLauncherFile(const wch* path)
{
    HANDLE file = CreateFileForWrite(path);
    if (!file)
        return 0;
    GString text;
    (void)GetString(m_osVersion < kVersionWindowsXp ? kStringLauncherScriptOld : kStringLauncherScript, text);
    const int written = WriteText(file, text);
    CloseHandle(file);
    return written;
}

int CInstall::RegisterLayout()
{
    const u32 access = m_is64Bit ? kAccessRegisterView64 : kAccessRegister;
    HKEY layouts = OpenKey(HKEY_LOCAL_MACHINE, kStringLayoutsKey, access);
    if (!layouts)
        return 0;
    HKEY layout = CreateKey(layouts, kStringLayoutId, access);
    int written = layout != 0;
    for (const RegistrationValue& value : kRegistration)
    {
        if (!written)
            break;
        written = SetStringValueFromId(layout, value.nameId, value.textId);
    }
    if (layout)
        RegCloseKey(layout);
    RegCloseKey(layouts);
    return written;
}

int CInstall::BuildLanguageSettingsText(u16 langId, int option, GString& out)
{
    out.ClearWide();
    GString layoutId, user, attribute, format;
    if (!GetString(kStringLayoutId, layoutId))
        return 0;
    (void)GetString(kStringSettingsUser, user);
    if (option && !GetString(kStringDefaultAttribute, attribute))
        return 0;
    // Each text is taken wide before any pointer into it is handed on.
    const wch* layoutText = PathOf(layoutId);
    const wch* userText = PathOf(user);
    const wch* attributeText = PathOf(attribute);
    const u32 language = langId;

    if (!user.IsEmpty() && m_osVersion >= kVersionWindows8)
    {
        if (!GetString(kStringSettingsWindows8, format))
            return 0;
        if (!out.Format(PathOf(format), userText, language, layoutText, attributeText, language, language))
            return 0;
        return kStringSettingsWindows8;
    }
    if (!GetString(kStringSettingsVista, format) || !out.Format(PathOf(format), language, layoutText, attributeText))
        return 0;
    return kStringSettingsVista;
}

int CInstall::ApplyLanguageSettings(u16 langId, int option)
{
    // Before Vista the platform takes no such file.
    if (m_osVersion < kVersionVista)
        return 1;
    GString settingsFile;
    if (!MakeTempFile(settingsFile, kStringTempPrefix, 0))
        return 0;
    GString text;
    // The newer file is also shown to a debugger, for whoever follows the
    // platform's reading of it.
    if (BuildLanguageSettingsText(langId, option, text) == kStringSettingsWindows8)
        (void)text.DebugOutput(kDebugOutputLimit);

    HANDLE file = CreateFileForWrite(PathOf(settingsFile));
    if (!file)
        return 0;
    const int written = WriteText(file, text);
    CloseHandle(file);
    if (written)
    {
        (void)RunCommand(kStringSettingsCommand, PathOf(settingsFile));
        // The control panel reads the file after it was started.
        Sleep(kSettingsSettleMs);
    }
    (void)DeleteOrSchedule(settingsFile);
    return 1;
}

int CInstall::DisableLanguageHotkeys()
{
    HKEY key = OpenKey(HKEY_CURRENT_USER, kStringHotkeyKey, kAccessHotkeys);
    if (!key)
        return 0;
    GString off;
    int written = off.AssignWide(kHotkeyOff);
    for (u32 nameId : kHotkeyValues)
    {
        if (!written)
            break;
        written = SetStringValue(key, nameId, off);
    }
    RegCloseKey(key);
    return written;
}

int CInstall::SetStartupValue()
{
    u32 command = m_osVersion > kVersionWindows2000 ? kStringStartupCommand : kStringStartupCommandOld;
    return SetMachineString(kStringRunKey, kStringLauncherName, command);
}
