#include "core/Install.h"

#include "ui/Wizard.h"

#include <new>
#include <stdio.h>

const u16 kArchUnknown = 0xFFFF;
const u32 kStringDefaultLangId = 86;
const u32 kLanguageCount = 2;

CInstallBase::CInstallBase()
    : m_hInstance(0),
      m_page(0),
      m_osVersion(0),
      m_uiLanguage(0),
      m_is64Bit(0),
      m_processorArch(kArchUnknown)
{
}

CInstallBase::~CInstallBase()
{
    CInstallBase::ReleaseTables();
}

HWND CInstallBase::GetOwnerWindow()
{
    return 0;
}

int CInstallBase::Init(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    return 1;
}

CInstall::CInstall()
    : m_defaultLangId(0),
      m_layoutLangId(0),
      m_langEntryOption(1),
      m_assocMatch(0),
      m_isAdmin(0),
      m_uninstallDone(0),
      m_installDone(0),
      m_restartRequested(0),
      m_licenceAccepted(0),
      m_hotkeyOption(1),
      m_desktopShortcuts(1),
      m_desktopLink3Made(0),
      m_desktopLink1Made(0),
      m_desktopLink2Made(0),
      m_family(-1),
      m_decimalFlag(-1),
      m_altSetA(0),
      m_altSetB(0),
      m_updateMode(0),
      m_scancodeMapSeen(0),
      m_keys(0),
      m_keyCount(kKeyTableCount),
      m_wizard(0),
      m_storedVersion(0),
      m_storedVersion2(0),
      m_docRefCount(0),
      m_installedVersion(0),
      m_installCount(0)
{
    // The live table starts as the static one with every layout target
    // cleared: 0 keeps the library's own assignment.
    m_keys = static_cast<KeyEntry*>(HeapAlloc(GetProcessHeap(), 0, sizeof(KeyEntry) * kKeyTableCount));
    if (m_keys) {
        for (i32 i = 0; i < kKeyTableCount; i++) {
            m_keys[i] = g_defaultKeys[i];
            m_keys[i].target = 0;
        }
    } else {
        m_keyCount = 0;
    }
}

CInstall::~CInstall()
{
    CInstall::ReleaseTables();
    if (m_wizard) {
        delete m_wizard;
        m_wizard = 0;
    }
    if (m_keys) {
        HeapFree(GetProcessHeap(), 0, m_keys);
        m_keys = 0;
    }
}

HWND CInstall::GetOwnerWindow()
{
    if (!m_wizard)
        return 0;
    return m_wizard->GetMainWindow();
}

int CInstall::Init(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    if (!AttachStringTables())
        return 0;

    m_wizard = new (std::nothrow) CWizard(this);
    if (!m_wizard)
        return 0;
    if (!m_wizard->Init(hInstance))
        return 0;

    GetString(kStringDefaultLangId, m_scratch);
    unsigned int langId = 0;
    if (m_scratch.WideText() && swscanf(m_scratch.WideText(), L"%X", &langId) == 1)
        m_defaultLangId = static_cast<u16>(langId & 0xFFFF);

    (void)DetectFamily();
    (void)DetectDecimalFlag();
    return 1;
}

void CInstall::Finish()
{
    if (m_wizard) {
        m_wizard->Teardown();
        delete m_wizard;
        m_wizard = 0;
    }
    if (m_uninstallDone || m_installDone)
        (void)SetStartupValue();
    ReleaseTables();
    if (m_restartRequested)
        (void)RestartSystem();
}

int CInstall::SetUiLanguage(u32 language)
{
    if (language >= kLanguageCount)
        return 0;
    m_uiLanguage = static_cast<i32>(language);
    return 1;
}

void CInstall::SetUpdateMode(i32 value)
{
    m_updateMode = value;
    if (value)
        m_licenceAccepted = 1;
}
