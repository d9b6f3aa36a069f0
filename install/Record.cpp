// The installation record: what was installed, where, how often and with
// which choices, kept in three keys below HKEY_LOCAL_MACHINE. Read once at
// start-up, written by an install, updated or removed by an uninstall.

#include "core/Install.h"

#include <stdlib.h>

namespace
{

const u32 kAccessRead = 0x20019;
const u32 kAccessReadView64 = 0x20119;
const u32 kAccessWrite = 0x20006;

const u32 kVersionThis = 190;
const u32 kVersionEarlier = 130;
// Above this platform version the layout registration is read in the 64-bit view.
const i32 kOsVersionWithoutView = 50;

// The record's keys, one level per string id: the record key is levels
// 0 to 2, the document sub-key and the layout sub-key lie below it.
enum RecordLevel
{
    kLevelSoftware,
    kLevelMaker,
    kLevelRecord,
    kLevelDocumentGroup,
    kLevelDocument,
    kLevelLayoutGroup,
    kLevelLayout,
    kLevelCount
};
const u32 kLevelNames[kLevelCount] = {7, 8, 10, 24, 23, 36, 89};

// Record key values.
const u32 kValuePrevLayout = 11;
const u32 kValueInstallCount = 21;
const u32 kValueLauncher = 72;
const u32 kValueLauncherMenuLink = 73;
const u32 kValueLauncherDesktopLink = 74;
const u32 kValueTargetLinkMenu = 75;
const u32 kValueTargetLinkDesktop = 76;
const u32 kValueExtraDocument = 31;
const u32 kValueExtraDocumentMenuLink = 32;
const u32 kValueExtraDocumentDesktopLink = 33;
const u32 kValueTargetFile = 79;
const u32 kValueStoredVersion = 34;
// Document sub-key values.
const u32 kValueMainDocument = 25;
const u32 kValueMainDocumentMenuLink = 26;
const u32 kValueMainDocumentDesktopLink = 27;
const u32 kValueStoredVersion2 = 28;
const u32 kValueDocRefCount = 29;
// Layout sub-key values.
const u32 kValueSetupCopy = 37;
const u32 kValueSetupMenuLink = 38;
const u32 kValueInstalledVersion = 39;
const u32 kValueStoredOverrides = 157;
const u32 kValueFamily = 158;
const u32 kValueDecimalFlag = 159;
const u32 kValueAltSetA = 155;
const u32 kValueAltSetB = 156;

// What each key holds, for removal.
const u32 kRecordValues[] = {
    kValuePrevLayout,          kValueInstallCount,          kValueLauncherMenuLink,
    kValueLauncher,            kValueLauncherDesktopLink,   kValueTargetLinkMenu,
    kValueTargetLinkDesktop,   kValueExtraDocument,         kValueExtraDocumentMenuLink,
    kValueExtraDocumentDesktopLink, kValueTargetFile,       kValueStoredVersion,
};
const u32 kDocumentValues[] = {kValueMainDocument, kValueMainDocumentMenuLink, kValueMainDocumentDesktopLink,
                               kValueStoredVersion2, kValueDocRefCount};
const u32 kLayoutPathValues[] = {kValueSetupCopy, kValueSetupMenuLink, kValueInstalledVersion};

// The text of value 11: the user's language id and active keyboard layout.
const u32 kStringPrevLayoutFormat = 12;

// The platform's registration of the layout, by which an earlier version
// that kept no record is recognised: value name and expected text, in the
// order they are compared.
const u32 kStringLayoutsKey = 3;
const u32 kStringLayoutId = 85;
struct RegistrationValue
{
    u32 nameId;
    u32 textId;
};
const RegistrationValue kEarlierRegistration[] = {{17, 81}, {19, 84}, {18, 83}};

const int kRequired = 1;
const int kOptional = 0;

// Opens (or creates) the levels first to last, each below the one before
// and the first below `parent`. 1 when all are open; the keys opened so
// far stay in `keys` for the caller to close.
int OpenLevels(CInstall& install, HKEY* keys, HKEY parent, int first, int last, u32 access, int create)
{
    for (int level = first; level <= last; level++) {
        keys[level] = create ? install.CreateKey(parent, kLevelNames[level], access)
                             : install.OpenKey(parent, kLevelNames[level], access);
        if (!keys[level])
            return 0;
        parent = keys[level];
    }
    return 1;
}

void CloseLevel(HKEY* keys, int level)
{
    if (keys[level]) {
        RegCloseKey(keys[level]);
        keys[level] = 0;
    }
}

void CloseLevels(HKEY* keys)
{
    for (int level = kLevelCount - 1; level >= 0; level--)
        CloseLevel(keys, level);
}

// A required text that cannot be read ends the reading; an optional one
// only stays empty.
int ReadText(CInstall& install, HKEY key, u32 nameId, GString& out, int required)
{
    return install.GetStringValue(key, nameId, out) || !required;
}

int ReadCount(CInstall& install, HKEY key, u32 nameId, i32& out)
{
    u32 value = 0;
    if (!install.GetDwordValue(key, nameId, value))
        return 0;
    out = static_cast<i32>(value);
    return 1;
}

// A choice is taken only when it is one the setup page could have made.
void ReadChoice(CInstall& install, HKEY key, u32 nameId, u32 highest, i32& out)
{
    u32 value = 0;
    if (install.GetDwordValue(key, nameId, value) && value <= highest)
        out = static_cast<i32>(value);
}

int ReadRecordValues(CInstall& install, HKEY key)
{
    return ReadText(install, key, kValuePrevLayout, install.m_recordedPrevLayout, kRequired) &&
           install.GetDwordValue(key, kValueInstallCount, install.m_installCount) &&
           ReadText(install, key, kValueLauncher, install.m_recordedLauncher, kRequired) &&
           ReadText(install, key, kValueLauncherMenuLink, install.m_recordedLauncherMenuLink, kOptional) &&
           ReadText(install, key, kValueLauncherDesktopLink, install.m_recordedLauncherDesktopLink, kOptional) &&
           ReadText(install, key, kValueTargetLinkMenu, install.m_recordedTargetLinkMenu, kRequired) &&
           ReadText(install, key, kValueTargetLinkDesktop, install.m_recordedTargetLinkDesktop, kOptional) &&
           ReadText(install, key, kValueExtraDocument, install.m_recordedExtraDocument, kRequired) &&
           ReadText(install, key, kValueExtraDocumentMenuLink, install.m_recordedExtraDocumentMenuLink, kRequired) &&
           ReadText(install, key, kValueExtraDocumentDesktopLink, install.m_recordedExtraDocumentDesktopLink,
                    kOptional) &&
           ReadText(install, key, kValueTargetFile, install.m_recordedTargetFile, kRequired) &&
           install.GetDwordValue(key, kValueStoredVersion, install.m_storedVersion);
}

int ReadDocumentValues(CInstall& install, HKEY key)
{
    return ReadText(install, key, kValueMainDocument, install.m_recordedMainDocument, kRequired) &&
           ReadText(install, key, kValueMainDocumentMenuLink, install.m_recordedMainDocumentMenuLink, kRequired) &&
           ReadText(install, key, kValueMainDocumentDesktopLink, install.m_recordedMainDocumentDesktopLink,
                    kOptional) &&
           install.GetDwordValue(key, kValueStoredVersion2, install.m_storedVersion2) &&
           ReadCount(install, key, kValueDocRefCount, install.m_docRefCount);
}

void ReadLayoutValues(CInstall& install, HKEY key)
{
    u32 version = 0;
    if (!ReadText(install, key, kValueSetupCopy, install.m_recordedSetupCopy, kRequired) ||
        !ReadText(install, key, kValueSetupMenuLink, install.m_recordedSetupMenuLink, kRequired) ||
        !install.GetDwordValue(key, kValueInstalledVersion, version))
        return;
    install.m_installedVersion = version;

    u32 size = 0;
    u8* overrides = install.GetBinaryValue(key, kValueStoredOverrides, size);
    if (overrides)
        (void)install.ApplyStoredOverrides(overrides, size);
    ReadChoice(install, key, kValueFamily, 2, install.m_family);
    ReadChoice(install, key, kValueDecimalFlag, 1, install.m_decimalFlag);
    ReadChoice(install, key, kValueAltSetA, 1, install.m_altSetA);
    ReadChoice(install, key, kValueAltSetB, 1, install.m_altSetB);
}

int RegistrationValueEquals(CInstall& install, HKEY key, const RegistrationValue& value)
{
    GString expected;
    return install.GetString(value.textId, expected) && install.StringValueEquals(key, value.nameId, expected);
}

// An earlier version kept no record, only the platform's registration of
// the layout with the same values this version writes.
int IsEarlierVersionRegistered(CInstall& install)
{
    const u32 access = install.m_osVersion > kOsVersionWithoutView ? kAccessReadView64 : kAccessRead;
    HKEY layouts = install.OpenKey(HKEY_LOCAL_MACHINE, kStringLayoutsKey, access);
    HKEY layout = layouts ? install.OpenKey(layouts, kStringLayoutId, access) : 0;
    int found = layout != 0;
    for (size_t i = 0; found && i < sizeof(kEarlierRegistration) / sizeof(kEarlierRegistration[0]); i++)
        found = RegistrationValueEquals(install, layout, kEarlierRegistration[i]);
    if (layout)
        RegCloseKey(layout);
    if (layouts)
        RegCloseKey(layouts);
    return found;
}

// The user's language id and keyboard layout as they were before the
// first install, for the record.
int BuildPrevLayout(CInstall& install, GString& out)
{
    wch layoutName[KL_NAMELENGTH] = {0};
    if (!GetKeyboardLayoutNameW(layoutName))
        return 0;
    GString format;
    if (!install.GetString(kStringPrevLayoutFormat, format))
        return 0;
    return out.Format(format.WideText(0), static_cast<u32>(GetUserDefaultLangID()), layoutName);
}

// Install mode: the record key's once-only values, the document sub-key
// and the layout sub-key's paths. Stops at the first failed write.
int WriteInstallValues(CInstall& install, HKEY* keys)
{
    GString prevLayout;
    const int newPrevLayout = install.m_recordedPrevLayout.IsEmpty();
    if (newPrevLayout && !BuildPrevLayout(install, prevLayout))
        return 0;

    // The software key must exist; the maker and product keys are ours.
    if (!OpenLevels(install, keys, HKEY_LOCAL_MACHINE, kLevelSoftware, kLevelSoftware, kAccessWrite, 0) ||
        !OpenLevels(install, keys, keys[kLevelSoftware], kLevelMaker, kLevelRecord, kAccessWrite, 1))
        return 0;
    HKEY record = keys[kLevelRecord];

    if (newPrevLayout && !install.SetStringValue(record, kValuePrevLayout, prevLayout))
        return 0;
    if (!install.SetDwordValue(record, kValueInstallCount, install.m_installCount))
        return 0;
    if (install.m_recordedLauncherMenuLink.IsEmpty() &&
        (!install.SetStringValue(record, kValueLauncherMenuLink, install.m_launcherMenuLink) ||
         !install.SetStringValue(record, kValueLauncher, install.m_launcher)))
        return 0;
    if (install.m_desktopLink3Made &&
        !install.SetStringValue(record, kValueLauncherDesktopLink, install.m_launcherDesktopLink))
        return 0;
    if (install.m_recordedTargetLinkMenu.IsEmpty() &&
        (!install.SetStringValue(record, kValueTargetLinkMenu, install.m_targetLinkMenu) ||
         !install.SetStringValue(record, kValueTargetLinkDesktop, install.m_targetLinkDesktop) ||
         !install.SetStringValue(record, kValueTargetFile, install.m_targetFile)))
        return 0;
    if (install.m_storedVersion < kVersionThis) {
        if (!install.SetStringValue(record, kValueExtraDocument, install.m_extraDocument) ||
            !install.SetStringValue(record, kValueExtraDocumentMenuLink, install.m_extraDocumentMenuLink))
            return 0;
        if (install.m_desktopLink2Made &&
            !install.SetStringValue(record, kValueExtraDocumentDesktopLink, install.m_extraDocumentDesktopLink))
            return 0;
        (void)install.SetDwordValue(record, kValueStoredVersion, kVersionThis);
    }

    if (!OpenLevels(install, keys, record, kLevelDocumentGroup, kLevelDocument, kAccessWrite, 1))
        return 0;
    HKEY document = keys[kLevelDocument];
    if (!install.SetStringValue(document, kValueMainDocument, install.m_mainDocument) ||
        !install.SetStringValue(document, kValueMainDocumentMenuLink, install.m_mainDocumentMenuLink))
        return 0;
    if (install.m_desktopLink1Made &&
        !install.SetStringValue(document, kValueMainDocumentDesktopLink, install.m_mainDocumentDesktopLink))
        return 0;
    if (!install.SetDwordValue(document, kValueStoredVersion2, kVersionThis) ||
        !install.SetDwordValue(document, kValueDocRefCount, static_cast<u32>(install.m_docRefCount)))
        return 0;
    CloseLevel(keys, kLevelDocument);
    CloseLevel(keys, kLevelDocumentGroup);

    if (!OpenLevels(install, keys, record, kLevelLayoutGroup, kLevelLayout, kAccessWrite, 1))
        return 0;
    HKEY layout = keys[kLevelLayout];
    return install.SetStringValue(layout, kValueSetupCopy, install.m_setupCopy) &&
           install.SetStringValue(layout, kValueSetupMenuLink, install.m_setupMenuLink) &&
           install.SetDwordValue(layout, kValueInstalledVersion, kVersionThis);
}

// Both modes: the user's choices and the stored layout targets.
int WriteChoices(CInstall& install, HKEY layout)
{
    if (!install.SetDwordValue(layout, kValueFamily, static_cast<u32>(install.m_family)) ||
        !install.SetDwordValue(layout, kValueDecimalFlag, static_cast<u32>(install.m_decimalFlag)) ||
        !install.SetDwordValue(layout, kValueAltSetA, static_cast<u32>(install.m_altSetA)) ||
        !install.SetDwordValue(layout, kValueAltSetB, static_cast<u32>(install.m_altSetB)))
        return 0;

    u32 size = 0;
    u8* overrides = install.BuildStoredOverrides(size);
    if (overrides) {
        (void)install.SetBinaryValue(layout, kValueStoredOverrides, overrides, size);
        free(overrides);
    }
    return 1;
}

void DeleteValues(CInstall& install, HKEY key, const u32* nameIds, size_t count)
{
    for (size_t i = 0; i < count; i++)
        install.DeleteValue(key, nameIds[i]);
}

} // namespace

void CInstall::ReadRecord()
{
    m_installedVersion = 0;
    HKEY keys[kLevelCount] = {0};

    // A missing required value ends the reading; what was read stays.
    int readOn = OpenLevels(*this, keys, HKEY_LOCAL_MACHINE, kLevelSoftware, kLevelRecord, kAccessRead, 0) &&
                 ReadRecordValues(*this, keys[kLevelRecord]);
    if (readOn &&
        OpenLevels(*this, keys, keys[kLevelRecord], kLevelDocumentGroup, kLevelDocument, kAccessRead, 0))
        readOn = ReadDocumentValues(*this, keys[kLevelDocument]);
    if (readOn && OpenLevels(*this, keys, keys[kLevelRecord], kLevelLayoutGroup, kLevelLayout, kAccessRead, 0))
        ReadLayoutValues(*this, keys[kLevelLayout]);
    CloseLevels(keys);

    if (m_installedVersion == 0 && IsEarlierVersionRegistered(*this))
        m_installedVersion = kVersionEarlier;
}

int CInstall::WriteRecord()
{
    HKEY keys[kLevelCount] = {0};
    int written = 0;
    if (m_updateMode) {
        // Only the choices change, and only in a record that is there.
        written =
            OpenLevels(*this, keys, HKEY_LOCAL_MACHINE, kLevelSoftware, kLevelRecord, kAccessWrite, 0) &&
            OpenLevels(*this, keys, keys[kLevelRecord], kLevelLayoutGroup, kLevelLayout, kAccessWrite, 0);
    } else {
        written = WriteInstallValues(*this, keys);
    }
    if (written)
        written = WriteChoices(*this, keys[kLevelLayout]);
    CloseLevels(keys);
    return written;
}

int CInstall::RemoveRecord()
{
    HKEY keys[kLevelCount] = {0};
    if (!OpenLevels(*this, keys, HKEY_LOCAL_MACHINE, kLevelSoftware, kLevelRecord, kAccessWrite, 0) ||
        !OpenLevels(*this, keys, keys[kLevelRecord], kLevelLayoutGroup, kLevelLayout, kAccessWrite, 0)) {
        CloseLevels(keys);
        return 0;
    }
    HKEY record = keys[kLevelRecord];

    // The layout sub-key goes always, the choices and stored targets with it.
    DeleteValues(*this, keys[kLevelLayout], kLayoutPathValues, sizeof(kLayoutPathValues) / sizeof(u32));
    CloseLevel(keys, kLevelLayout);
    (void)DeleteKey(keys[kLevelLayoutGroup], kLevelNames[kLevelLayout]);
    CloseLevel(keys, kLevelLayoutGroup);
    (void)DeleteKey(record, kLevelNames[kLevelLayoutGroup]);

    // The document sub-key goes when no installation shares the document any more.
    keys[kLevelDocumentGroup] = OpenKey(record, kLevelNames[kLevelDocumentGroup], kAccessWrite);
    if (keys[kLevelDocumentGroup]) {
        // A missing second level makes the value operations below fail quietly.
        keys[kLevelDocument] = OpenKey(keys[kLevelDocumentGroup], kLevelNames[kLevelDocument], kAccessWrite);
        if (m_docRefCount == 0) {
            DeleteValues(*this, keys[kLevelDocument], kDocumentValues, sizeof(kDocumentValues) / sizeof(u32));
            CloseLevel(keys, kLevelDocument);
            (void)DeleteKey(keys[kLevelDocumentGroup], kLevelNames[kLevelDocument]);
            CloseLevel(keys, kLevelDocumentGroup);
            (void)DeleteKey(record, kLevelNames[kLevelDocumentGroup]);
        } else {
            (void)SetDwordValue(keys[kLevelDocument], kValueDocRefCount, static_cast<u32>(m_docRefCount));
            CloseLevel(keys, kLevelDocument);
            CloseLevel(keys, kLevelDocumentGroup);
        }
    }

    if (m_installCount == 0) {
        DeleteValues(*this, record, kRecordValues, sizeof(kRecordValues) / sizeof(u32));
        CloseLevel(keys, kLevelRecord);
        // The maker key stays when another product of the maker still uses it.
        (void)DeleteKey(keys[kLevelMaker], kLevelNames[kLevelRecord]);
        CloseLevel(keys, kLevelMaker);
        (void)DeleteKey(keys[kLevelSoftware], kLevelNames[kLevelMaker]);
    } else {
        (void)SetDwordValue(record, kValueInstallCount, m_installCount);
    }
    CloseLevels(keys);
    return 1;
}
