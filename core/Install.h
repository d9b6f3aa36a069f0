#pragma once

// The installer object: the whole state of one run. Every subsystem reads
// and writes it; its operations live in the folder of the subsystem they
// belong to (install/Registry.cpp, payload/StringLookup.cpp, ...).

#include "core/KeyEntry.h"
#include "payload/Guard.h"
#include "payload/StringTable.h"
#include "text/GString.h"
#include "text/Types.h"

#include <windows.h>

class CWizard;

class CInstallBase
{
public:
    CInstallBase();

    virtual HWND GetOwnerWindow();
    virtual int Init(HINSTANCE hInstance);
    virtual void ReleaseTables();
    virtual const u32* FindString(u32 id);

protected:
    // No virtual destructor: only CInstall is ever destroyed, as itself.
    ~CInstallBase();

public:
    HINSTANCE m_hInstance;
    CGuard m_guard;
    CStringTable m_commonStrings;
    CStringTable m_langStrings[2];
    i32 m_page;
    i32 m_osVersion;
    i32 m_uiLanguage;
    i32 m_is64Bit;
    u16 m_processorArch;
    GString m_scratch;

private:
    CInstallBase(const CInstallBase&);
    CInstallBase& operator=(const CInstallBase&);
};

class CInstall : public CInstallBase
{
public:
    CInstall();
    virtual ~CInstall();

    // ---- Lifecycle (core/Install.cpp) ----
    HWND GetOwnerWindow() override;
    int Init(HINSTANCE hInstance) override;
    int Run();
    void Finish();

    // ---- Start-up checks (core/StartupChecks.cpp) ----
    int DetectSystem(u32 procId, u32 libraryId);
    int IsSystemSupported();
    int ActivateRunningInstance();
    int BuildPaths();
    int DetectFamily();
    int SetFamily(u32 family);
    int DetectDecimalFlag();
    int SetDecimalFlag(int flag);

    // ---- Strings (payload/StringLookup.cpp) ----
    void ReleaseTables() override;
    const u32* FindString(u32 id) override;
    int GetString(u32 id, GString& out);
    // Init steps 2 and 3: load the key block, decode and attach the four
    // string tables (common, setup, language 0, language 1).
    int AttachStringTables();

    // ---- Messages (ui/InstallMessages.cpp) ----
    int ShowMessageId(u32 textId, u32 style);

    // ---- Accessors used by the wizard pages ----
    i32 GetPage() const { return m_page; }
    void SetPage(i32 page) { m_page = page; }
    i32 GetOsVersion() const { return m_osVersion; }
    u16 GetLayoutLangId() const { return m_layoutLangId; }
    void SetLayoutLangId(u16 langId) { m_layoutLangId = langId; }
    const GString& GetLangName() const { return m_langName; }
    int SetLangName(const GString& name) { return m_langName.Assign(name); }
    i32 GetLangEntryOption() const { return m_langEntryOption; }
    void SetLangEntryOption(i32 value) { m_langEntryOption = value; }
    i32 GetHotkeyOption() const { return m_hotkeyOption; }
    void SetHotkeyOption(i32 value) { m_hotkeyOption = value; }
    i32 GetDesktopShortcuts() const { return m_desktopShortcuts; }
    void SetDesktopShortcuts(i32 value) { m_desktopShortcuts = value; }
    i32 GetAssocMatch() const { return m_assocMatch; }
    i32 GetIsAdmin() const { return m_isAdmin; }
    i32 GetUninstallDone() const { return m_uninstallDone; }
    i32 GetInstallDone() const { return m_installDone; }
    u32 GetInstalledVersion() const { return m_installedVersion; }
    i32 GetUiLanguage() const { return m_uiLanguage; }
    int SetUiLanguage(u32 language);
    i32 GetFamily() const { return m_family; }
    i32 GetDecimalFlag() const { return m_decimalFlag; }
    i32 GetAltSetB() const { return m_altSetB; }
    void SetAltSetB(i32 value) { m_altSetB = value; }
    i32 GetUpdateMode() const { return m_updateMode; }
    void SetUpdateMode(i32 value);

    // ---- Registry layer (install/Registry.cpp) ----
    // Names are string ids (id forms) or wide texts (raw forms). A key that
    // a caller opened or created is closed by that caller.
    HKEY OpenKey(HKEY parent, const wch* subKey, u32 access);
    HKEY OpenKey(HKEY parent, u32 subKeyId, u32 access);
    HKEY CreateKey(HKEY parent, const wch* subKey, u32 access);
    HKEY CreateKey(HKEY parent, u32 subKeyId, u32 access);
    int SetBinaryValue(HKEY key, const wch* name, const void* data, u32 size);
    int SetBinaryValue(HKEY key, u32 nameId, const void* data, u32 size);
    // A new buffer the caller frees with free(); null when refused.
    u8* GetBinaryValue(HKEY key, const wch* name, u32& size);
    u8* GetBinaryValue(HKEY key, u32 nameId, u32& size);
    int SetDwordValue(HKEY key, const wch* name, u32 value);
    int SetDwordValue(HKEY key, u32 nameId, u32 value);
    int GetDwordValue(HKEY key, const wch* name, u32& value);
    int GetDwordValue(HKEY key, u32 nameId, u32& value);
    int SetStringValue(HKEY key, const wch* name, GString& text);
    int SetStringValue(HKEY key, u32 nameId, GString& text);
    int SetStringValueFromId(HKEY key, u32 nameId, u32 textId);
    int GetStringValue(HKEY key, const wch* name, GString& out);
    int GetStringValue(HKEY key, u32 nameId, GString& out);
    int StringValueEquals(HKEY key, const wch* name, GString& text);
    int StringValueEquals(HKEY key, u32 nameId, GString& text);
    int DeleteValue(HKEY key, const wch* name);
    void DeleteValue(HKEY key, u32 nameId);
    int DeleteKey(HKEY parent, u32 subKeyId);
    int SetMachineString(u32 keyPathId, u32 nameId, u32 textId);

    // ---- Files, folders, temporary files and processes (install/Files.cpp) ----
    // Optional platform functions, looked up by name (GetProcById); cast the
    // FARPROC through void (*)() to these.
    typedef void(WINAPI* NativeSystemInfoProc)(SYSTEM_INFO* info);
    typedef UINT(WINAPI* SystemWow64FolderProc)(wchar_t* buffer, UINT size);
    typedef BOOL(WINAPI* RedirectionDisableProc)(void** saved);
    typedef BOOL(WINAPI* RedirectionRevertProc)(void* saved);
    typedef LONG(WINAPI* DeleteKeyViewProc)(HKEY parent, const wchar_t* subKey, DWORD access, DWORD reserved);

    int GetSpecialFolder(int csidl, GString& out);
    int GetSystemFolder(GString& out);
    HANDLE CreateFileForWrite(const wch* path);
    int WriteBytes(HANDLE file, const void* data, u32 size);
    int WriteText(HANDLE file, GString& text);
    int WriteItemToFile(const wch* path, const void* item, u32 itemSize);
    int DeleteOrSchedule(const wch* path);
    int DeleteOrSchedule(GString& path);
    int EnsureFolder(const wch* path);
    int RemoveFolder(GString& path);
    int GetTempFolder(GString& out);
    int MakeTempFile(GString& out, u32 prefixId, const wch* folder);
    // Formats string formatId with the arguments and starts it; 0 only for
    // format id 0. A program not named by a full path is taken from the
    // system folder, never searched for.
    int RunCommand(u32 formatId, ...);
    int RunCommandLine(GString& commandLine);
    int PinProgramToSystemFolder(GString& commandLine, GString& program);
    int GetAssociatedProgram(u32 extensionId, GString& out);
    int AssociatedProgramContains(u32 extensionId, u32 needleId);
    int OpenWithAssociatedProgram(u32 extensionId, u32 formatId, const wch* argument);
    HMODULE LoadLibraryById(u32 libraryId);
    FARPROC GetProcById(u32 nameId, u32 libraryId, HMODULE& module);
    HMODULE GetRedirectionSwitch(RedirectionDisableProc& disable, RedirectionRevertProc& revert);
    int LoadTextItem(const void* item, u32 itemSize, GString& out);

    // ---- Shortcuts (install/Shortcut.cpp) ----
    int CreateShortcut(const wch* target, const wch* linkPath, const wch* description,
                       const wch* iconPath, int iconIndex);

    // ---- Privileges and restart (install/Privileges.cpp) ----
    int IsUserAdmin();
    int RestartSystem();

    // ---- Key remapping store (install/KeyStore.cpp) ----
    // Walks stop at the first record with scancode 0; null when not found.
    const KeyEntry* FindDefaultKey(u16 scancode) const;
    KeyEntry* FindKey(u16 scancode);
    // Clears every choice that repeats the key's default; 0 without a table.
    int NormaliseKeys();
    // Takes over a buffer from malloc (as GetBinaryValue gives it) and frees it.
    int ApplyStoredOverrides(u8* buffer, u32 size);
    // A new buffer the caller frees with free(), possibly of size 0; null
    // without a table.
    u8* BuildStoredOverrides(u32& size);
    void ReadScancodeMap();
    int WriteScancodeMap();

    // ---- Installation record (install/Record.cpp) ----
    void ReadRecord();
    int WriteRecord();
    int RemoveRecord();

    // ---- Layout library preparation (install/LayoutLibrary.cpp) ----
    // Where the libraries go: the system folder copies (the 64-bit one empty
    // on a 32-bit system) and, when asked, the staging files in the product
    // folder (the 64-bit one empty on a 32-bit system). 0 when a folder or
    // the file name cannot be obtained.
    int GetLayoutPaths(GString& target32, GString& target64, GString* staging32, GString* staging64);
    // The library items for this system and the user's family and set; an
    // output with no variant is null with size 0xFFFFFFFF. 0 for a system
    // the variant table refuses.
    int SelectLayoutItems(const void*& first, u32& firstSize, const void*& second, u32& secondSize);
    // A pattern text (upper-case hexadecimal) as a new buffer the caller
    // frees with free(); null for a missing, empty or malformed text.
    u8* DecodeHexPattern(u32 id, u32& count);
    // Offset of the first complete match of the pattern in the data, or -1.
    static i32 FindPattern(const u8* data, u32 size, const u8* pattern, u32 count);
    // Writes the key table's layout targets and, when wanted, the decimal
    // comma into a decoded library. 0 when a pattern is missing, malformed
    // or unmatched, or its table would reach past the end of the library.
    int PatchLayoutLibrary(u8* library, u32 size, int wantComma);
    // Decodes and patches one library, writes the staging file whole and
    // queues its move over the target for the next restart.
    int PrepareLayoutFile(const wch* target, const wch* staging, const void* item, u32 itemSize);
    int PrepareLayout();

    // ---- Install procedure (install/InstallProcedure.cpp, install/InstalledPrograms.cpp) ----
    // Nothing done is undone when a later step fails.
    int Install();
    int InstallFiles();
    int WriteLauncherFile(const wch* path);
    int RegisterLayout();
    // The regional-settings text that adds the layout under the language id
    // (the default input when the option is set). The id of the format used
    // (62, or 63 on Windows 8 and later with a user named), 0 when a text is
    // missing or cannot be formatted.
    int BuildLanguageSettingsText(u16 langId, int option, GString& out);
    int ApplyLanguageSettings(u16 langId, int option);
    int DisableLanguageHotkeys();
    int SetStartupValue();
    // The product's entry in the platform's list of installed programs,
    // whose remove and change commands start the setup copy.
    int WriteInstalledProgramsEntry();
    int RemoveInstalledProgramsEntry();
    // The main document, extra document and target file items placed by
    // InstallFiles, in this order; null places the program's own.
    const struct PayloadItem* m_installItems = nullptr;

    // ---- Uninstall procedure (install/UninstallProcedure.cpp) ----
    // Removes what the record lists, shared parts only when their counts
    // reach 0, and queues the libraries' deletion for the next restart. 0,
    // with nothing removed and the counts as read, when the library paths
    // cannot be built.
    int Uninstall();
    // Removes the files of the earlier version that kept no record and, when
    // asked, queues the layout libraries' deletion for the next restart. 0
    // only when the deletion was asked and the library paths cannot be built.
    int RemoveEarlierVersionFiles(int scheduleLibraries);
    // Deletes the layout's registration values and key, in the 64-bit view
    // on a 64-bit system; 0 when the registration key cannot be opened.
    int UnregisterLayout();
    // The regional-settings text that takes the layout out of the user's
    // input list; the id of the format used, 0 when it is missing or cannot
    // be formatted.
    int BuildLanguageRemovalText(GString& out);
    // Hands that text to the platform, unless another installation still
    // counts; 0 when the settings file cannot be made or written.
    int ApplyLanguageRemoval();

public:
    u16 m_defaultLangId;
    u16 m_layoutLangId;
    i32 m_langEntryOption;
    i32 m_assocMatch;
    i32 m_isAdmin;
    i32 m_uninstallDone;
    i32 m_installDone;
    i32 m_restartRequested;
    i32 m_licenceAccepted;
    i32 m_hotkeyOption;
    i32 m_desktopShortcuts;
    i32 m_desktopLink3Made;
    i32 m_desktopLink1Made;
    i32 m_desktopLink2Made;
    i32 m_family;
    i32 m_decimalFlag;
    i32 m_altSetA;
    i32 m_altSetB;
    i32 m_updateMode;
    i32 m_scancodeMapSeen;
    KeyEntry* m_keys;
    i32 m_keyCount;
    CStringTable m_setupStrings;
    CWizard* m_wizard;

    // The 36 texts: display name, recorded layout, folders, then for each
    // installed-file slot the recorded path followed by the current one.
    GString m_langName;
    GString m_recordedPrevLayout;
    GString m_makerFolder;
    GString m_productFolder;
    GString m_menuMakerFolder;
    GString m_menuFolder;
    GString m_recordedMainDocument;
    GString m_mainDocument;
    GString m_recordedMainDocumentMenuLink;
    GString m_mainDocumentMenuLink;
    GString m_recordedMainDocumentDesktopLink;
    GString m_mainDocumentDesktopLink;
    GString m_recordedExtraDocument;
    GString m_extraDocument;
    GString m_recordedExtraDocumentMenuLink;
    GString m_extraDocumentMenuLink;
    GString m_recordedExtraDocumentDesktopLink;
    GString m_extraDocumentDesktopLink;
    GString m_recordedLauncher;
    GString m_launcher;
    GString m_recordedLauncherMenuLink;
    GString m_launcherMenuLink;
    GString m_recordedLauncherDesktopLink;
    GString m_launcherDesktopLink;
    GString m_recordedTargetLinkMenu;
    GString m_targetLinkMenu;
    GString m_recordedTargetLinkDesktop;
    GString m_targetLinkDesktop;
    GString m_recordedTargetFile;
    GString m_targetFile;
    GString m_runningProgram;
    GString m_setupLinkTitle;
    GString m_recordedSetupCopy;
    GString m_setupCopy;
    GString m_recordedSetupMenuLink;
    GString m_setupMenuLink;

    u32 m_storedVersion;
    u32 m_storedVersion2;
    i32 m_docRefCount;
    u32 m_installedVersion;
    u32 m_installCount;

private:
    CInstall(const CInstall&);
    CInstall& operator=(const CInstall&);
};
