// The installation record against the real registry of the test prefix:
// written, read back, damaged, updated and removed, and the earlier version
// that kept no record recognised by its layout registration.

#include "core/Install.h"

#include "tests/install/TestStrings.h"

#include <gtest/gtest.h>

#include <string.h>
#include <wctype.h>

#include <functional>
#include <string>
#include <vector>

namespace
{

// Key and value names as string ids; the tests take their texts from the
// program's own tables, as the record does.
const u32 kSoftwareKey = 7;
const u32 kMakerKey = 8;
const u32 kRecordKey = 10;
const u32 kDocumentGroupKey = 24;
const u32 kDocumentKey = 23;
const u32 kLayoutGroupKey = 36;
const u32 kLayoutKey = 89;
const u32 kLayoutsKey = 3;
const u32 kLayoutId = 85;

enum Place
{
    kInRecord,
    kInDocument,
    kInLayout
};

// Every installed-file slot the record keeps.
struct Slot
{
    const char* name;
    u32 valueId;
    Place place;
    GString CInstall::*current;
    GString CInstall::*recorded;
};
const Slot kSlots[] = {
    {"Launcher", 72, kInRecord, &CInstall::m_launcher, &CInstall::m_recordedLauncher},
    {"LauncherMenuLink", 73, kInRecord, &CInstall::m_launcherMenuLink, &CInstall::m_recordedLauncherMenuLink},
    {"LauncherDesktopLink", 74, kInRecord, &CInstall::m_launcherDesktopLink,
     &CInstall::m_recordedLauncherDesktopLink},
    {"TargetLinkMenu", 75, kInRecord, &CInstall::m_targetLinkMenu, &CInstall::m_recordedTargetLinkMenu},
    {"TargetLinkDesktop", 76, kInRecord, &CInstall::m_targetLinkDesktop, &CInstall::m_recordedTargetLinkDesktop},
    {"ExtraDocument", 31, kInRecord, &CInstall::m_extraDocument, &CInstall::m_recordedExtraDocument},
    {"ExtraDocumentMenuLink", 32, kInRecord, &CInstall::m_extraDocumentMenuLink,
     &CInstall::m_recordedExtraDocumentMenuLink},
    {"ExtraDocumentDesktopLink", 33, kInRecord, &CInstall::m_extraDocumentDesktopLink,
     &CInstall::m_recordedExtraDocumentDesktopLink},
    {"TargetFile", 79, kInRecord, &CInstall::m_targetFile, &CInstall::m_recordedTargetFile},
    {"MainDocument", 25, kInDocument, &CInstall::m_mainDocument, &CInstall::m_recordedMainDocument},
    {"MainDocumentMenuLink", 26, kInDocument, &CInstall::m_mainDocumentMenuLink,
     &CInstall::m_recordedMainDocumentMenuLink},
    {"MainDocumentDesktopLink", 27, kInDocument, &CInstall::m_mainDocumentDesktopLink,
     &CInstall::m_recordedMainDocumentDesktopLink},
    {"SetupCopy", 37, kInLayout, &CInstall::m_setupCopy, &CInstall::m_recordedSetupCopy},
    {"SetupMenuLink", 38, kInLayout, &CInstall::m_setupMenuLink, &CInstall::m_recordedSetupMenuLink},
};

const Slot* FindSlot(u32 valueId)
{
    for (const Slot& slot : kSlots) {
        if (slot.valueId == valueId)
            return &slot;
    }
    return nullptr;
}

std::wstring Widen(const char* text)
{
    return std::wstring(text, text + strlen(text));
}

// The path a writer tagged `tag` records for a slot.
std::wstring SlotPath(const wchar_t* tag, const Slot& slot)
{
    return std::wstring(L"C:\\") + tag + L"\\" + Widen(slot.name);
}

// ---- Plain registry access below HKEY_LOCAL_MACHINE, for inspection ----

int HasKey(const std::wstring& path)
{
    HKEY key = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int HasValue(const std::wstring& path, const std::wstring& name)
{
    return RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_ANY, 0, 0, 0) == ERROR_SUCCESS;
}

DWORD DwordAt(const std::wstring& path, const std::wstring& name)
{
    DWORD value = 0xDEADBEEF;
    DWORD size = sizeof(value);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, 0, &value, &size),
              ERROR_SUCCESS)
        << "no number " << std::string(name.begin(), name.end());
    return value;
}

std::wstring TextAt(const std::wstring& path, const std::wstring& name)
{
    wchar_t buffer[512] = {0};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name.c_str(), RRF_RT_REG_SZ, 0, buffer, &size) !=
        ERROR_SUCCESS)
        return L"(missing)";
    return buffer;
}

void PutRaw(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, size_t size)
{
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void PutDword(const std::wstring& path, const std::wstring& name, DWORD value)
{
    PutRaw(path, name, REG_DWORD, &value, sizeof(value));
}

void PutText(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ)
{
    PutRaw(path, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void RemoveValue(const std::wstring& path, const std::wstring& name)
{
    HKEY key = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, name.c_str()), ERROR_SUCCESS);
    RegCloseKey(key);
}

void RemoveTree(const std::wstring& path)
{
    (void)RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
}

void MakeKey(const std::wstring& path)
{
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, 0, 0, KEY_WRITE, 0, &key, 0), ERROR_SUCCESS);
    RegCloseKey(key);
}

// The handles the next keys get. A key an operation leaves open keeps its
// handle taken, so afterwards the same number of new keys gets another set.
std::vector<HKEY> NextKeyHandles()
{
    std::vector<HKEY> keys(16);
    for (HKEY& key : keys)
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key), ERROR_SUCCESS);
    for (HKEY key : keys)
        RegCloseKey(key);
    return keys;
}

// Moves a key tree aside for the test and puts it back afterwards.
class SavedTree
{
public:
    void Save(const std::wstring& path, const std::wstring& backup)
    {
        m_path = path;
        m_backup = backup;
        // A backup left by a run that ended early is the state to keep.
        if (HasKey(backup)) {
            m_saved = 1;
            Restore();
        }
        m_saved = 0;
        HKEY source = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &source) != ERROR_SUCCESS)
            return;
        HKEY target = 0;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, backup.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &target, 0) ==
            ERROR_SUCCESS) {
            m_saved = RegCopyTreeW(source, 0, target) == ERROR_SUCCESS;
            RegCloseKey(target);
        }
        RegCloseKey(source);
        ASSERT_TRUE(m_saved) << "could not save the tree before the test";
        RemoveTree(path);
    }

    void Restore()
    {
        if (m_path.empty())
            return;
        RemoveTree(m_path);
        if (!m_saved)
            return;
        HKEY source = 0;
        HKEY target = 0;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, m_backup.c_str(), 0, KEY_READ, &source) == ERROR_SUCCESS) {
            if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, m_path.c_str(), 0, 0, 0, KEY_ALL_ACCESS, 0, &target, 0) ==
                ERROR_SUCCESS) {
                EXPECT_EQ(RegCopyTreeW(source, 0, target), ERROR_SUCCESS);
                RegCloseKey(target);
            }
            RegCloseKey(source);
        }
        RemoveTree(m_backup);
    }

private:
    std::wstring m_path;
    std::wstring m_backup;
    int m_saved = 0;
};

const wchar_t kBackupRoot[] = L"SOFTWARE\\KlawiszRecordTestSaved";

// Each test starts without a record and without a layout registration and
// leaves the registry as it found it.
class RecordTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_EQ(m_names.AttachStringTables(), 1);
        m_makerPath = Name(kSoftwareKey) + L"\\" + Name(kMakerKey);
        m_recordPath = m_makerPath + L"\\" + Name(kRecordKey);
        m_documentGroupPath = m_recordPath + L"\\" + Name(kDocumentGroupKey);
        m_documentPath = m_documentGroupPath + L"\\" + Name(kDocumentKey);
        m_layoutGroupPath = m_recordPath + L"\\" + Name(kLayoutGroupKey);
        m_layoutPath = m_layoutGroupPath + L"\\" + Name(kLayoutKey);
        m_registrationPath = Name(kLayoutsKey) + L"\\" + Name(kLayoutId);
        m_savedMaker.Save(m_makerPath, std::wstring(kBackupRoot) + L"\\maker");
        m_savedRegistration.Save(m_registrationPath, std::wstring(kBackupRoot) + L"\\registration");
    }

    void TearDown() override
    {
        m_savedMaker.Restore();
        m_savedRegistration.Restore();
        RemoveTree(kBackupRoot);
    }

    std::wstring Name(u32 id)
    {
        GString text;
        EXPECT_EQ(m_names.GetString(id, text), 1) << "no text " << id;
        return Text(text);
    }

    void Prepare(CInstall& install)
    {
        ASSERT_EQ(install.AttachStringTables(), 1);
        install.m_osVersion = 61;
    }

    // A first install's state, every path tagged.
    void PrepareWriter(CInstall& install, const wchar_t* tag, u32 installCount, i32 docRefCount)
    {
        Prepare(install);
        for (const Slot& slot : kSlots)
            (install.*slot.current).AssignWide(SlotPath(tag, slot).c_str());
        install.m_installCount = installCount;
        install.m_docRefCount = docRefCount;
        install.m_desktopLink1Made = 1;
        install.m_desktopLink2Made = 1;
        install.m_desktopLink3Made = 1;
        install.m_family = 2;
        install.m_decimalFlag = 0;
        install.m_altSetA = 1;
        install.m_altSetB = 1;
        install.FindKey(0x3A)->target = 0xA2;
        install.FindKey(0xE05B)->target = 0x1A3;
    }

    void WriteFirstRecord(u32 installCount = 2, i32 docRefCount = 2)
    {
        CInstall writer;
        PrepareWriter(writer, L"A", installCount, docRefCount);
        ASSERT_EQ(writer.WriteRecord(), 1);
    }

    // The path of the key that holds a slot's value.
    const std::wstring& PathOf(Place place)
    {
        return place == kInRecord ? m_recordPath : place == kInDocument ? m_documentPath : m_layoutPath;
    }

    void PutRegistration()
    {
        MakeKey(m_registrationPath);
        PutText(m_registrationPath, Name(17), Name(81));
        PutText(m_registrationPath, Name(20), Name(87));
        PutText(m_registrationPath, Name(19), Name(84));
        PutText(m_registrationPath, Name(18), Name(83));
    }

    CInstall m_names;
    std::wstring m_makerPath;
    std::wstring m_recordPath;
    std::wstring m_documentGroupPath;
    std::wstring m_documentPath;
    std::wstring m_layoutGroupPath;
    std::wstring m_layoutPath;
    std::wstring m_registrationPath;
    SavedTree m_savedMaker;
    SavedTree m_savedRegistration;
};

TEST_F(RecordTest, WriteRecord_FirstInstallIsReadBackWhole)
{
    CInstall writer;
    PrepareWriter(writer, L"A", 2, 2);
    ASSERT_EQ(writer.WriteRecord(), 1);

    // The record lives where the product keeps it.
    EXPECT_TRUE(HasKey(L"SOFTWARE\\Klawisz\\Klawisz Layout"));
    EXPECT_EQ(DwordAt(m_recordPath, Name(34)), 190u);
    EXPECT_EQ(DwordAt(m_documentPath, Name(28)), 190u);
    EXPECT_EQ(DwordAt(m_layoutPath, Name(39)), 190u);
    for (const Slot& slot : kSlots) {
        SCOPED_TRACE(slot.name);
        EXPECT_EQ(TextAt(PathOf(slot.place), Name(slot.valueId)), SlotPath(L"A", slot));
    }
    // The layout active before the first install, with the user's language.
    wchar_t layoutName[KL_NAMELENGTH] = {0};
    ASSERT_TRUE(GetKeyboardLayoutNameW(layoutName));
    const std::wstring prevLayout = TextAt(m_recordPath, Name(11));
    EXPECT_NE(prevLayout.find(layoutName), std::wstring::npos) << std::string(prevLayout.begin(), prevLayout.end());

    CInstall reader;
    Prepare(reader);
    reader.ReadRecord();
    EXPECT_EQ(reader.m_installedVersion, 190u);
    EXPECT_EQ(reader.m_installCount, 2u);
    EXPECT_EQ(reader.m_docRefCount, 2);
    EXPECT_EQ(reader.m_storedVersion, 190u);
    EXPECT_EQ(reader.m_storedVersion2, 190u);
    EXPECT_EQ(Text(reader.m_recordedPrevLayout), prevLayout);
    for (const Slot& slot : kSlots) {
        SCOPED_TRACE(slot.name);
        EXPECT_EQ(Text(reader.*slot.recorded), SlotPath(L"A", slot));
        EXPECT_TRUE((reader.*slot.current).IsEmpty());
    }
    EXPECT_EQ(reader.m_family, 2);
    EXPECT_EQ(reader.m_decimalFlag, 0);
    EXPECT_EQ(reader.m_altSetA, 1);
    EXPECT_EQ(reader.m_altSetB, 1);
    EXPECT_EQ(reader.FindKey(0x3A)->target, 0xA2);
    EXPECT_EQ(reader.FindKey(0xE05B)->target, 0x1A3);
    EXPECT_EQ(reader.FindKey(0x1D)->target, 0);
}

TEST_F(RecordTest, WriteRecord_WithoutDesktopLinksLeavesTheirValuesOut)
{
    CInstall writer;
    PrepareWriter(writer, L"A", 1, 1);
    writer.m_desktopLink1Made = 0;
    writer.m_desktopLink2Made = 0;
    writer.m_desktopLink3Made = 0;
    for (i32 i = 0; i < writer.m_keyCount; i++)
        writer.m_keys[i].target = 0;
    ASSERT_EQ(writer.WriteRecord(), 1);

    const u32 absent[] = {74, 33, 27};
    for (u32 id : absent) {
        const Slot* slot = FindSlot(id);
        EXPECT_FALSE(HasValue(PathOf(slot->place), Name(id))) << slot->name;
    }
    // No layout targets: the value stands, empty.
    DWORD type = 0;
    DWORD size = 99;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, m_layoutPath.c_str(), Name(157).c_str(), RRF_RT_ANY, &type, 0, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 0u);

    CInstall reader;
    Prepare(reader);
    reader.ReadRecord();
    EXPECT_EQ(reader.m_installedVersion, 190u);
    for (u32 id : absent)
        EXPECT_TRUE((reader.*FindSlot(id)->recorded).IsEmpty()) << FindSlot(id)->name;
}

TEST_F(RecordTest, WriteRecord_OverARecordKeepsItsOnceOnlyValues)
{
    struct Case
    {
        const char* name;
        u32 storedVersion;         // value 34 before the second install
        const wchar_t* extraTag;   // whose extra document paths stand afterwards
    };
    const Case cases[] = {
        {"record of this version", 190, L"A"},
        {"record of an older content version", 130, L"B"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        WriteFirstRecord(1, 1);
        PutText(m_recordPath, Name(11), L"before the first install");
        PutDword(m_recordPath, Name(34), c.storedVersion);

        // The next install reads the record, then records its own paths.
        CInstall second;
        Prepare(second);
        second.ReadRecord();
        ASSERT_EQ(second.m_installedVersion, 190u);
        for (const Slot& slot : kSlots)
            (second.*slot.current).AssignWide(SlotPath(L"B", slot).c_str());
        second.m_desktopLink1Made = 0;
        second.m_desktopLink2Made = 1;
        second.m_desktopLink3Made = 0;
        ASSERT_EQ(second.WriteRecord(), 1);

        EXPECT_EQ(TextAt(m_recordPath, Name(11)), L"before the first install");
        EXPECT_EQ(DwordAt(m_recordPath, Name(34)), 190u);
        struct Want
        {
            u32 valueId;
            const wchar_t* tag;
        };
        const Want wants[] = {
            {72, L"A"},       {73, L"A"},       {74, L"A"},       {75, L"A"}, {76, L"A"},
            {79, L"A"},       {31, c.extraTag}, {32, c.extraTag}, {33, c.extraTag},
            {25, L"B"},       {26, L"B"},       {27, L"A"},       {37, L"B"}, {38, L"B"},
        };
        for (const Want& w : wants) {
            const Slot* slot = FindSlot(w.valueId);
            EXPECT_EQ(TextAt(PathOf(slot->place), Name(w.valueId)), SlotPath(w.tag, *slot)) << slot->name;
        }
    }
}

TEST_F(RecordTest, WriteRecord_UpdateModeChangesOnlyTheChoices)
{
    WriteFirstRecord();

    CInstall update;
    Prepare(update);
    update.ReadRecord();
    update.SetUpdateMode(1);
    for (const Slot& slot : kSlots)
        (update.*slot.current).AssignWide(SlotPath(L"B", slot).c_str());
    update.m_installCount = 7;
    update.m_family = 0;
    update.m_decimalFlag = 1;
    update.m_altSetA = 0;
    update.m_altSetB = 0;
    update.FindKey(0x3A)->target = 0xA3;
    update.FindKey(0xE05B)->target = 0;
    ASSERT_EQ(update.WriteRecord(), 1);

    CInstall reader;
    Prepare(reader);
    reader.ReadRecord();
    EXPECT_EQ(reader.m_installedVersion, 190u);
    EXPECT_EQ(reader.m_installCount, 2u);
    for (const Slot& slot : kSlots)
        EXPECT_EQ(Text(reader.*slot.recorded), SlotPath(L"A", slot)) << slot.name;
    EXPECT_EQ(reader.m_family, 0);
    EXPECT_EQ(reader.m_decimalFlag, 1);
    EXPECT_EQ(reader.m_altSetA, 0);
    EXPECT_EQ(reader.m_altSetB, 0);
    EXPECT_EQ(reader.FindKey(0x3A)->target, 0xA3);
    EXPECT_EQ(reader.FindKey(0xE05B)->target, 0);
}

TEST_F(RecordTest, WriteRecord_UpdateModeWithoutRecordFailsAndCreatesNothing)
{
    struct Case
    {
        const char* name;
        std::function<void(RecordTest&)> damage;
        std::function<int(RecordTest&)> untouched;
    };
    const Case cases[] = {
        {"no record at all", [](RecordTest&) {}, [](RecordTest& t) { return !HasKey(t.m_makerPath); }},
        {"record without its layout sub-key", [](RecordTest& t) {
             t.WriteFirstRecord();
             RemoveTree(t.m_layoutGroupPath);
         },
         [](RecordTest& t) { return !HasKey(t.m_layoutGroupPath); }},
        {"record key's last level missing", [](RecordTest& t) { MakeKey(t.m_makerPath); },
         [](RecordTest& t) { return !HasKey(t.m_recordPath); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        c.damage(*this);
        CInstall update;
        PrepareWriter(update, L"B", 1, 1);
        update.SetUpdateMode(1);
        EXPECT_EQ(update.WriteRecord(), 0);
        EXPECT_TRUE(c.untouched(*this));
    }
}

TEST_F(RecordTest, ReadRecord_DamagedRecordLeavesLaterFieldsAtTheirDefaults)
{
    struct Want
    {
        u32 version;
        u32 installCount;
        i32 docRefCount;
        int launcherRead;   // record key read past its first paths
        int documentRead;   // document sub-key read
        int layoutRead;     // layout sub-key's paths read
        int choicesRead;    // layout sub-key's choices read
        u16 capsTarget;
    };
    struct Case
    {
        const char* name;
        std::function<void(RecordTest&)> damage;
        Want want;
        u32 emptySlot;  // an optional slot that reads as empty, or 0
    };
    auto remove = [](Place place, u32 id) {
        return [place, id](RecordTest& t) { RemoveValue(t.PathOf(place), t.Name(id)); };
    };
    const Want whole = {190, 2, 2, 1, 1, 1, 1, 0xA2};
    const Case cases[] = {
        {"complete record", [](RecordTest&) {}, whole, 0},
        {"language and layout text missing: nothing is read", remove(kInRecord, 11), {0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"language and layout text expandable: nothing is read",
         [](RecordTest& t) { PutText(t.m_recordPath, t.Name(11), L"0409", REG_EXPAND_SZ); }, {0, 0, 0, 0, 0, 0, 0, 0},
         0},
        {"install count as text", [](RecordTest& t) { PutText(t.m_recordPath, t.Name(21), L"2"); },
         {0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"launcher missing: only the count is read", remove(kInRecord, 72), {0, 2, 0, 0, 0, 0, 0, 0}, 0},
        {"optional launcher menu link missing", remove(kInRecord, 73), whole, 73},
        {"optional target desktop link missing", remove(kInRecord, 76), whole, 76},
        {"required target file missing", remove(kInRecord, 79), {0, 2, 0, 1, 0, 0, 0, 0}, 0},
        {"stored version missing", remove(kInRecord, 34), {0, 2, 0, 1, 0, 0, 0, 0}, 0},
        {"document sub-key missing: the layout sub-key is still read",
         [](RecordTest& t) { RemoveTree(t.m_documentGroupPath); }, {190, 2, 0, 1, 0, 1, 1, 0xA2}, 0},
        {"document sub-key without its version: the layout sub-key is not read", remove(kInDocument, 28),
         {0, 2, 0, 1, 1, 0, 0, 0}, 0},
        {"document count missing", remove(kInDocument, 29), {0, 2, 0, 1, 1, 0, 0, 0}, 0},
        {"optional main document desktop link missing", remove(kInDocument, 27), whole, 27},
        {"layout sub-key missing", [](RecordTest& t) { RemoveTree(t.m_layoutGroupPath); }, {0, 2, 2, 1, 1, 0, 0, 0},
         0},
        {"setup copy missing", remove(kInLayout, 37), {0, 2, 2, 1, 1, 0, 0, 0}, 0},
        {"installed version missing", remove(kInLayout, 39), {0, 2, 2, 1, 1, 1, 0, 0}, 0},
        {"installed version of another number is taken as it is",
         [](RecordTest& t) { PutDword(t.m_layoutPath, t.Name(39), 777); }, {777, 2, 2, 1, 1, 1, 1, 0xA2}, 0},
        {"stored layout targets missing", remove(kInLayout, 157), {190, 2, 2, 1, 1, 1, 1, 0}, 0},
        {"stored layout targets with a remainder",
         [](RecordTest& t) {
             const u8 bytes[] = {0x3A, 0x00, 0xA3, 0x00, 0x1D};
             PutRaw(t.m_layoutPath, t.Name(157), REG_BINARY, bytes, sizeof(bytes));
         },
         {190, 2, 2, 1, 1, 1, 1, 0xA3}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        WriteFirstRecord();
        c.damage(*this);

        CInstall reader;
        Prepare(reader);
        // What start-up detection found before the record is read.
        reader.m_family = 1;
        reader.m_decimalFlag = 1;
        reader.ReadRecord();
        const Want& w = c.want;
        EXPECT_EQ(reader.m_installedVersion, w.version);
        EXPECT_EQ(reader.m_installCount, w.installCount);
        EXPECT_EQ(Text(reader.m_recordedLauncher), w.launcherRead ? SlotPath(L"A", *FindSlot(72)) : L"");
        EXPECT_EQ(Text(reader.m_recordedMainDocument), w.documentRead ? SlotPath(L"A", *FindSlot(25)) : L"");
        EXPECT_EQ(reader.m_docRefCount, w.docRefCount);
        EXPECT_EQ(Text(reader.m_recordedSetupCopy), w.layoutRead ? SlotPath(L"A", *FindSlot(37)) : L"");
        EXPECT_EQ(reader.m_family, w.choicesRead ? 2 : 1);
        EXPECT_EQ(reader.m_decimalFlag, w.choicesRead ? 0 : 1);
        EXPECT_EQ(reader.m_altSetA, w.choicesRead ? 1 : 0);
        EXPECT_EQ(reader.m_altSetB, w.choicesRead ? 1 : 0);
        EXPECT_EQ(reader.FindKey(0x3A)->target, w.capsTarget);
        if (c.emptySlot) {
            EXPECT_TRUE((reader.*FindSlot(c.emptySlot)->recorded).IsEmpty());
        }
    }
}

TEST_F(RecordTest, ReadRecord_ChoicesOutOfRangeKeepTheStartUpValues)
{
    struct Case
    {
        const char* name;
        u32 valueId;
        int asText;
        DWORD value;
        i32 CInstall::*field;
        i32 startUp;
        i32 want;
    };
    const Case cases[] = {
        {"family 2 taken", 158, 0, 2, &CInstall::m_family, 1, 2},
        {"family 3 ignored", 158, 0, 3, &CInstall::m_family, 1, 1},
        {"family FFFFFFFF ignored", 158, 0, 0xFFFFFFFF, &CInstall::m_family, 1, 1},
        {"family as text ignored", 158, 1, 0, &CInstall::m_family, 1, 1},
        {"decimal flag 0 taken", 159, 0, 0, &CInstall::m_decimalFlag, 1, 0},
        {"decimal flag 2 ignored", 159, 0, 2, &CInstall::m_decimalFlag, 1, 1},
        {"first alternative switch 2 ignored", 155, 0, 2, &CInstall::m_altSetA, 0, 0},
        {"second alternative switch 1 taken", 156, 0, 1, &CInstall::m_altSetB, 0, 1},
        {"second alternative switch 7 ignored", 156, 0, 7, &CInstall::m_altSetB, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        WriteFirstRecord();
        if (c.asText)
            PutText(m_layoutPath, Name(c.valueId), L"0");
        else
            PutDword(m_layoutPath, Name(c.valueId), c.value);

        CInstall reader;
        Prepare(reader);
        reader.*c.field = c.startUp;
        reader.ReadRecord();
        EXPECT_EQ(reader.m_installedVersion, 190u);
        EXPECT_EQ(reader.*c.field, c.want);
    }
}

TEST_F(RecordTest, ReadRecord_RecognisesTheEarlierVersionByItsRegistration)
{
    struct Case
    {
        const char* name;
        int record;  // 0 none, 1 this version's, 2 one without value 11
        int registration;
        std::function<void(RecordTest&)> change;
        i32 osVersion;
        u32 want;
    };
    auto nothing = [](RecordTest&) {};
    const Case cases[] = {
        {"nothing installed", 0, 0, nothing, 61, 0},
        {"registration as this version writes it", 0, 1, nothing, 61, 130},
        {"registration read without a view on 5.0", 0, 1, nothing, 50, 130},
        {"value 20 differs: it is not compared", 0, 1,
         [](RecordTest& t) { PutText(t.m_registrationPath, t.Name(20), L"0099"); }, 61, 130},
        {"display name differs", 0, 1,
         [](RecordTest& t) { PutText(t.m_registrationPath, t.Name(17), t.Name(81) + L" "); }, 61, 0},
        {"library file name differs in case only", 0, 1,
         [](RecordTest& t) {
             std::wstring upper = t.Name(83);
             for (wchar_t& ch : upper)
                 ch = static_cast<wchar_t>(towupper(ch));
             PutText(t.m_registrationPath, t.Name(18), upper);
         },
         61, 0},
        {"library file name expandable", 0, 1,
         [](RecordTest& t) { PutText(t.m_registrationPath, t.Name(18), t.Name(83), REG_EXPAND_SZ); }, 61, 0},
        {"value 19 missing", 0, 1, [](RecordTest& t) { RemoveValue(t.m_registrationPath, t.Name(19)); }, 61, 0},
        {"this version's record wins", 1, 1, nothing, 61, 190},
        {"a damaged record falls back to the registration", 2, 1, nothing, 61, 130},
        {"a damaged record without registration", 2, 0, nothing, 61, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        RemoveTree(m_registrationPath);
        if (c.record)
            WriteFirstRecord();
        if (c.record == 2)
            RemoveValue(m_recordPath, Name(11));
        if (c.registration)
            PutRegistration();
        c.change(*this);

        CInstall reader;
        Prepare(reader);
        reader.m_osVersion = c.osVersion;
        reader.ReadRecord();
        EXPECT_EQ(reader.m_installedVersion, c.want);
    }
}

TEST_F(RecordTest, RecordOperations_CloseEveryKeyTheyOpen)
{
    struct Case
    {
        const char* name;
        std::function<void(RecordTest&)> state;
    };
    const Case states[] = {
        {"no record", [](RecordTest&) {}},
        {"maker key only", [](RecordTest& t) { MakeKey(t.m_makerPath); }},
        {"complete record", [](RecordTest& t) { t.WriteFirstRecord(); }},
        {"record without value 11", [](RecordTest& t) {
             t.WriteFirstRecord();
             RemoveValue(t.m_recordPath, t.Name(11));
         }},
        {"document sub-key without its version", [](RecordTest& t) {
             t.WriteFirstRecord();
             RemoveValue(t.m_documentPath, t.Name(28));
         }},
        {"document sub-key's second level missing", [](RecordTest& t) {
             t.WriteFirstRecord();
             RemoveTree(t.m_documentPath);
         }},
        {"layout sub-key's second level missing", [](RecordTest& t) {
             t.WriteFirstRecord();
             RemoveTree(t.m_layoutPath);
         }},
        {"earlier version's registration", [](RecordTest& t) { t.PutRegistration(); }},
    };
    struct Operation
    {
        const char* name;
        std::function<void(RecordTest&)> run;
    };
    const Operation operations[] = {
        {"read", [](RecordTest& t) {
             CInstall install;
             t.Prepare(install);
             install.ReadRecord();
         }},
        {"write", [](RecordTest& t) {
             CInstall install;
             t.PrepareWriter(install, L"A", 1, 1);
             (void)install.WriteRecord();
         }},
        {"update", [](RecordTest& t) {
             CInstall install;
             t.PrepareWriter(install, L"A", 1, 1);
             install.SetUpdateMode(1);
             (void)install.WriteRecord();
         }},
        {"remove last", [](RecordTest& t) {
             CInstall install;
             t.Prepare(install);
             (void)install.RemoveRecord();
         }},
        {"remove shared", [](RecordTest& t) {
             CInstall install;
             t.Prepare(install);
             install.m_installCount = 1;
             install.m_docRefCount = 1;
             (void)install.RemoveRecord();
         }},
    };
    for (const Case& c : states) {
        for (const Operation& op : operations) {
            SCOPED_TRACE(std::string(op.name) + ", " + c.name);
            RemoveTree(m_makerPath);
            RemoveTree(m_registrationPath);
            c.state(*this);
            const std::vector<HKEY> before = NextKeyHandles();
            op.run(*this);
            EXPECT_EQ(NextKeyHandles(), before);
        }
    }
}

TEST_F(RecordTest, RemoveRecord_KeepsWhatTheRemainingCountsProtect)
{
    struct Case
    {
        const char* name;
        u32 installCount;  // as recorded, before the uninstall decrements it
        i32 docRefCount;
        int otherProduct;  // the maker key holds another product's key
        int recordValuesStay;
        int documentStays;
        int recordKeyStays;
        int makerKeyStays;
    };
    const Case cases[] = {
        {"counts 2 and 2 become 1 and 1", 2, 2, 0, 1, 1, 1, 1},
        {"counts 2 and 1: the document goes", 2, 1, 0, 1, 0, 1, 1},
        {"counts 1 and 1: everything goes", 1, 1, 0, 0, 0, 0, 0},
        {"last removal keeps a maker key in use", 1, 1, 1, 0, 0, 0, 1},
        {"document still shared: the record key keeps it", 1, 2, 0, 0, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveTree(m_makerPath);
        WriteFirstRecord(c.installCount, c.docRefCount);
        const std::wstring otherProduct = m_makerPath + L"\\Other Product";
        if (c.otherProduct)
            MakeKey(otherProduct);

        CInstall remover;
        Prepare(remover);
        remover.ReadRecord();
        ASSERT_EQ(remover.m_installedVersion, 190u);
        // The uninstall procedure counts down before it removes.
        remover.m_installCount--;
        remover.m_docRefCount--;
        EXPECT_EQ(remover.RemoveRecord(), 1);

        EXPECT_FALSE(HasKey(m_layoutPath));
        EXPECT_FALSE(HasKey(m_layoutGroupPath));
        EXPECT_EQ(HasKey(m_documentPath), c.documentStays);
        EXPECT_EQ(HasKey(m_documentGroupPath), c.documentStays);
        if (c.documentStays) {
            EXPECT_EQ(DwordAt(m_documentPath, Name(29)), static_cast<DWORD>(c.docRefCount - 1));
            EXPECT_EQ(TextAt(m_documentPath, Name(25)), SlotPath(L"A", *FindSlot(25)));
        }
        EXPECT_EQ(HasKey(m_recordPath), c.recordKeyStays);
        EXPECT_EQ(HasKey(m_makerPath), c.makerKeyStays);
        if (c.recordValuesStay) {
            EXPECT_EQ(DwordAt(m_recordPath, Name(21)), c.installCount - 1);
            EXPECT_EQ(TextAt(m_recordPath, Name(72)), SlotPath(L"A", *FindSlot(72)));
        } else if (c.recordKeyStays) {
            const u32 recordValues[] = {11, 21, 72, 73, 74, 75, 76, 31, 32, 33, 79, 34};
            for (u32 id : recordValues)
                EXPECT_FALSE(HasValue(m_recordPath, Name(id))) << "value " << id;
        }
        if (c.otherProduct) {
            EXPECT_TRUE(HasKey(otherProduct));
        }

        // What stays reads as the smaller installation.
        CInstall next;
        Prepare(next);
        next.ReadRecord();
        EXPECT_EQ(next.m_installedVersion, 0u);
        EXPECT_EQ(next.m_installCount, c.recordValuesStay ? c.installCount - 1 : 0u);
    }
}

TEST_F(RecordTest, RemoveRecord_WithoutItsLayoutSubKeyFailsAndKeepsTheRest)
{
    CInstall remover;
    Prepare(remover);
    remover.m_installCount = 0;
    remover.m_docRefCount = 0;

    // No record at all.
    EXPECT_EQ(remover.RemoveRecord(), 0);
    EXPECT_FALSE(HasKey(m_makerPath));

    // A record whose layout sub-key is gone.
    WriteFirstRecord(1, 1);
    RemoveTree(m_layoutPath);
    EXPECT_EQ(remover.RemoveRecord(), 0);
    EXPECT_TRUE(HasKey(m_layoutGroupPath));
    EXPECT_TRUE(HasKey(m_documentPath));
    EXPECT_EQ(DwordAt(m_recordPath, Name(21)), 1u);
}

} // namespace
