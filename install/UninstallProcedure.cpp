// The uninstall procedure: what the record lists goes (shared parts when
// their counts reach 0), the layout libraries are queued for deletion at the
// next restart, the layout's registration and the record are removed, and an
// earlier version that kept no record is removed by its fixed file names.

#include "core/Install.h"

namespace
{

const u32 kVersionEarlier = 130;
const i32 kVersionVista = 60;

const int kCsidlDesktop = 0x00;
const int kCsidlPersonal = 0x05;

const u32 kStringEarlierGuideName = 77;
const u32 kStringEarlierLauncherName = 78;
const u32 kStringDocumentExtension = 42;
const u32 kStringLinkExtension = 43;
const u32 kStringLauncherExtension = 44;

// The platform's registration of the layout and the key deletion that
// reaches the 64-bit view from a 32-bit process.
const u32 kStringLayoutsKey = 3;
const u32 kStringLayoutId = 85;
const u32 kRegistrationValues[] = {17, 20, 19, 18};
const u32 kAccessUnregister = 0x20006;
const u32 kAccessUnregisterView64 = 0x20106;
const u32 kStringDeleteKeyView = 59;
const u32 kStringRegistryLibrary = 145;
const DWORD kDeleteKeyView64 = 0x100;

// Regional-settings file that takes the layout out of the user's input list.
const u32 kStringTempPrefix = 47;
const u32 kStringSettingsCommand = 49;
const u32 kStringRemovalOld = 65;
const u32 kStringRemoval = 66;

// The earlier version's files, in the order they go: folder, base name,
// extension.
struct EarlierFile
{
    int csidl;
    u32 nameId;
    u32 extensionId;
};
const EarlierFile kEarlierFiles[] = {
    {kCsidlPersonal, kStringEarlierGuideName, kStringDocumentExtension},
    {kCsidlDesktop, kStringEarlierGuideName, kStringLinkExtension},
    {kCsidlPersonal, kStringEarlierLauncherName, kStringLauncherExtension},
    {kCsidlDesktop, kStringEarlierLauncherName, kStringLinkExtension},
};

void QueueDeletionAtRestart(GString& path)
{
    const wch* text = path.IsEmpty() ? 0 : path.MakeWide(-1);
    if (text)
        (void)MoveFileExW(text, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Queues the deletion of the system folder copies; on a 64-bit system with
// file-system redirection off, so that the native folder is the one named.
void QueueLayoutDeletion(CInstall& install, GString& target32, GString& target64)
{
    if (!install.m_is64Bit)
    {
        QueueDeletionAtRestart(target32);
        return;
    }
    CInstall::RedirectionDisableProc disable = 0;
    CInstall::RedirectionRevertProc revert = 0;
    HMODULE module = install.GetRedirectionSwitch(disable, revert);
    void* saved = 0;
    const int switchedOff = module && disable(&saved);
    QueueDeletionAtRestart(target32);
    QueueDeletionAtRestart(target64);
    if (switchedOff)
        (void)revert(saved);
    if (module)
        FreeLibrary(module);
}

} // namespace

int CInstall::Uninstall()
{
    if (m_installedVersion == kVersionEarlier)
    {
        // The earlier version kept no record: nothing is counted or written.
        (void)RemoveEarlierVersionFiles(1);
        (void)UnregisterLayout();
        (void)ApplyLanguageRemoval();
        m_uninstallDone = 1;
        return 1;
    }

    // The paths come before the counts: a removal that cannot start leaves
    // the counts as read, so that trying again removes no more than once.
    GString target32, target64;
    if (!GetLayoutPaths(target32, target64, 0, 0))
        return 0;
    if (m_installCount > 0)
        --m_installCount;
    if (m_docRefCount > 0)
        --m_docRefCount;

    QueueLayoutDeletion(*this, target32, target64);

    // Empty recorded paths are skipped by the deletion itself.
    if (m_docRefCount == 0)
    {
        GString* shared[] = {&m_recordedMainDocument, &m_recordedMainDocumentMenuLink,
                             &m_recordedMainDocumentDesktopLink};
        for (GString* path : shared)
            (void)DeleteOrSchedule(*path);
    }
    if (m_installCount == 0)
    {
        GString* installed[] = {&m_recordedLauncher,          &m_recordedLauncherMenuLink,
                                &m_recordedLauncherDesktopLink, &m_recordedTargetLinkMenu,
                                &m_recordedTargetLinkDesktop,   &m_recordedExtraDocument,
                                &m_recordedExtraDocumentMenuLink, &m_recordedExtraDocumentDesktopLink,
                                &m_recordedTargetFile};
        for (GString* path : installed)
            (void)DeleteOrSchedule(*path);
        (void)ApplyLanguageRemoval();
    }
    (void)DeleteOrSchedule(m_recordedSetupCopy);
    (void)DeleteOrSchedule(m_recordedSetupMenuLink);

    // A folder that still holds anything stays.
    GString* folders[] = {&m_productFolder, &m_makerFolder, &m_menuFolder, &m_menuMakerFolder};
    for (GString* folder : folders)
        (void)RemoveFolder(*folder);

    (void)UnregisterLayout();
    (void)RemoveRecord();
    // The entry's commands start the setup copy, which is gone with the
    // last installation.
    if (m_installCount == 0)
        (void)RemoveInstalledProgramsEntry();

    m_uninstallDone = 1;
    return 1;
}

int CInstall::RemoveEarlierVersionFiles(int scheduleLibraries)
{
    for (const EarlierFile& file : kEarlierFiles)
    {
        // Without its folder the name alone would point into the current
        // folder: such a file is not looked for.
        GString path, name, extension;
        if (!GetSpecialFolder(file.csidl, path) || path.IsEmpty() || !GetString(file.nameId, name) ||
            name.IsEmpty() || !GetString(file.extensionId, extension) || !path.AppendPath(name) ||
            !path.Append(extension))
            continue;
        (void)DeleteOrSchedule(path);
    }

    if (!scheduleLibraries)
        return 1;
    GString target32, target64;
    if (!GetLayoutPaths(target32, target64, 0, 0))
        return 0;
    QueueLayoutDeletion(*this, target32, target64);
    return 1;
}

int CInstall::UnregisterLayout()
{
    const u32 access = m_is64Bit ? kAccessUnregisterView64 : kAccessUnregister;
    HKEY layouts = OpenKey(HKEY_LOCAL_MACHINE, kStringLayoutsKey, access);
    if (!layouts)
        return 0;
    HKEY layout = OpenKey(layouts, kStringLayoutId, access);
    if (!layout)
    {
        RegCloseKey(layouts);
        return 0;
    }
    for (u32 nameId : kRegistrationValues)
        DeleteValue(layout, nameId);
    RegCloseKey(layout);

    // An empty name would delete the parent of every layout's registration.
    GString layoutId;
    HMODULE module = 0;
    if (GetString(kStringLayoutId, layoutId) && !layoutId.IsEmpty())
    {
        const wch* name = layoutId.MakeWide(-1);
        int deleted = 0;
        if (m_is64Bit)
        {
            // Without the view flag a 32-bit process would delete in its own view.
            DeleteKeyViewProc deleteKey = reinterpret_cast<DeleteKeyViewProc>(reinterpret_cast<void (*)()>(
                GetProcById(kStringDeleteKeyView, kStringRegistryLibrary, module)));
            if (deleteKey)
                deleted = deleteKey(layouts, name, kDeleteKeyView64, 0) == ERROR_SUCCESS;
        }
        if (!deleted)
            (void)RegDeleteKeyW(layouts, name);
    }
    if (module)
        FreeLibrary(module);
    RegCloseKey(layouts);
    return 1;
}

int CInstall::BuildLanguageRemovalText(GString& out)
{
    out.ClearWide();
    const u32 formatId = m_osVersion < kVersionVista ? kStringRemovalOld : kStringRemoval;
    GString format;
    if (!GetString(formatId, format) || format.IsEmpty())
        return 0;
    const wch* formatText = format.MakeWide(-1);
    if (!formatText)
        return 0;
    const int built = formatId == kStringRemovalOld ? out.Format(formatText, W(""), W(""))
                                                    : out.Format(formatText, W(""));
    return built && !out.IsEmpty() ? static_cast<int>(formatId) : 0;
}

int CInstall::ApplyLanguageRemoval()
{
    // Another installation still uses the layout's input entry.
    if (m_installCount > 1)
        return 1;
    GString settingsFile;
    if (!MakeTempFile(settingsFile, kStringTempPrefix, 0))
        return 0;

    GString text;
    int written = 0;
    HANDLE file = BuildLanguageRemovalText(text) ? CreateFileForWrite(settingsFile.MakeWide(-1)) : 0;
    if (file)
    {
        written = WriteText(file, text);
        CloseHandle(file);
    }
    if (written)
        (void)RunCommand(kStringSettingsCommand, settingsFile.MakeWide(-1));
    // A file that could not be written is no more use than one the command
    // has read: neither stays in the temporary folder.
    (void)DeleteOrSchedule(settingsFile);
    return written;
}
