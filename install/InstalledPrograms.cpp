// The product's entry in the platform's list of installed programs: what
// the list shows (name, maker, version, icon, folder, size) and the remove
// and change commands, both of which start the setup copy, which then
// offers Remove and Change. Kept beside the program's own record, in the
// same registry view.

#include "core/Install.h"

namespace
{

const u32 kAccessWrite = 0x20006;
const u32 kAccessRead = 0x20019;

const u32 kStringUninstallKey = 330;
const u32 kStringEntryKey = 10;
const u32 kValueDisplayName = 331;
const u32 kValueDisplayVersion = 332;
const u32 kValuePublisher = 333;
const u32 kValueDisplayIcon = 334;
const u32 kValueInstallLocation = 335;
const u32 kValueEstimatedSize = 336;
const u32 kValueUninstallString = 337;
const u32 kValueModifyPath = 338;
const u32 kValueNoRepair = 339;

const u32 kStringProductName = 0;
const u32 kStringVersion = 89;
const u32 kStringPublisher = 341;
const u32 kStringSetupCommand = 340;

const u32 kNoRepair = 1;
const u64 kBytesPerKb = 1024;

// The size of one file, 0 when it is not there.
u64 FileBytes(GString& path)
{
    const wch* text = path.IsEmpty() ? 0 : path.MakeWide(-1);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!text || !GetFileAttributesExW(text, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return (static_cast<u64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Where a once-only file lies: the recorded path when an earlier install
// placed it, else this run's.
GString& PlacedPath(GString& recorded, GString& current)
{
    return recorded.IsEmpty() ? current : recorded;
}

// What the installation keeps in its product folder, in kilobytes rounded up.
u32 InstalledSizeKb(CInstall& install)
{
    GString target32, target64, staging32, staging64;
    (void)install.GetLayoutPaths(target32, target64, &staging32, &staging64);
    GString* files[] = {
        &install.m_mainDocument,
        &PlacedPath(install.m_recordedExtraDocument, install.m_extraDocument),
        &PlacedPath(install.m_recordedLauncher, install.m_launcher),
        &PlacedPath(install.m_recordedTargetFile, install.m_targetFile),
        &install.m_setupCopy,
        &staging32,
        &staging64,
    };
    u64 bytes = 0;
    for (GString* file : files)
        bytes += FileBytes(*file);
    const u64 kb = (bytes + kBytesPerKb - 1) / kBytesPerKb;
    return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(kb);
}

} // namespace

int CInstall::WriteInstalledProgramsEntry()
{
    // Both commands name the setup copy by its full path, quoted.
    GString format, command, setupCopy;
    if (!GetString(kStringSetupCommand, format) || !setupCopy.Assign(m_setupCopy) ||
        !command.Format(format.MakeWide(-1), setupCopy.MakeWide(-1)))
        return 0;
    const u32 sizeKb = InstalledSizeKb(*this);

    HKEY list = OpenKey(HKEY_LOCAL_MACHINE, kStringUninstallKey, kAccessWrite);
    if (!list)
        return 0;
    HKEY entry = CreateKey(list, kStringEntryKey, kAccessWrite);
    const int written = entry && SetStringValueFromId(entry, kValueDisplayName, kStringProductName) &&
                        SetStringValueFromId(entry, kValueDisplayVersion, kStringVersion) &&
                        SetStringValueFromId(entry, kValuePublisher, kStringPublisher) &&
                        SetStringValue(entry, kValueDisplayIcon, setupCopy) &&
                        SetStringValue(entry, kValueInstallLocation, m_productFolder) &&
                        SetDwordValue(entry, kValueEstimatedSize, sizeKb) &&
                        SetStringValue(entry, kValueUninstallString, command) &&
                        SetStringValue(entry, kValueModifyPath, command) &&
                        SetDwordValue(entry, kValueNoRepair, kNoRepair);
    if (entry)
        RegCloseKey(entry);
    RegCloseKey(list);
    return written;
}

int CInstall::RemoveInstalledProgramsEntry()
{
    GString entryName;
    if (!GetString(kStringEntryKey, entryName) || entryName.IsEmpty())
        return 0;
    HKEY list = OpenKey(HKEY_LOCAL_MACHINE, kStringUninstallKey, kAccessWrite);
    if (!list)
        return 0;
    int removed = DeleteKey(list, kStringEntryKey);
    if (!removed)
    {
        // An entry that is not there is as good as removed.
        HKEY entry = OpenKey(list, kStringEntryKey, kAccessRead);
        removed = entry == 0;
        if (entry)
            RegCloseKey(entry);
    }
    RegCloseKey(list);
    return removed;
}
