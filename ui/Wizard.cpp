#include "ui/Wizard.h"

#include "core/Install.h"
#include "payload/Catalogue.h"
#include "ui/DlgDone.h"
#include "ui/DlgEula.h"
#include "ui/DlgExpert1.h"
#include "ui/DlgExpert2.h"
#include "ui/DlgSetup.h"
#include "ui/DlgWelcome.h"
#include "ui/Resource.h"
#include "ui/WndMain.h"

#include <commctrl.h>
#include <new>

const u32 kStringCaption = 93;
const u32 kStringHeaderFace = 40;
const LONG kHeaderFontHeight = -30;
const LONG kHeaderFontWeight = 700;

CWizard::CWizard(CInstall* install)
    : m_hInstance(0),
      m_install(install),
      m_main(0),
      m_currentPage(0),
      m_welcomePage(0),
      m_licencePage(0),
      m_setupPage(0),
      m_expert1Page(0),
      m_expert2Page(0),
      m_donePage(0),
      m_headerFont(0),
      m_sized(0),
      m_headerHeight(0)
{
}

CWizard::~CWizard()
{
    Teardown();
}

int CWizard::Init(HINSTANCE hInstance)
{
    m_hInstance = hInstance;
    if (!m_install || !hInstance)
        return 0;

    LOGFONTW font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = kHeaderFontHeight;
    font.lfWeight = kHeaderFontWeight;
    GString face;
    LoadString(kStringHeaderFace, face);
    const wch* faceText = face.MakeWide();
    const int faceRoom = LF_FACESIZE - 1;
    for (int i = 0; faceText && i < faceRoom && faceText[i]; i++)
        font.lfFaceName[i] = faceText[i];
    // Without the font the header is drawn in the default one.
    m_headerFont = CreateFontIndirectW(&font);

    InitCommonControls();
    return 1;
}

int CWizard::RunLoop()
{
    CWndMain* main = new (std::nothrow) CWndMain;
    if (!main)
        return 0;
    m_main = main;
    main->SetWizard(this);
    if (!main->RegisterWindowClass() || !main->Create(kMainTitleId, kMainStyle, kMainWidth, kMainHeight)) {
        // No window could end a loop: give up instead of waiting forever.
        if (m_main) {
            CWndMain* failed = m_main;
            m_main = 0;
            failed->DeleteWhenIdle();
        }
        return 0;
    }

    HACCEL accelerators = LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, 0, 0, 0);
        if (got == 0 || got == -1)
            break;
        HWND page = m_currentPage ? m_currentPage->GetHwnd() : 0;
        if (page && IsDialogMessageW(page, &msg))
            continue;
        HWND mainWindow = GetMainWindow();
        if (page && accelerators && mainWindow && TranslateAcceleratorW(mainWindow, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 1;
}

void CWizard::Teardown()
{
    if (m_headerFont) {
        DeleteObject(m_headerFont);
        m_headerFont = 0;
    }
    CWndBase* objects[] = { m_main, m_welcomePage, m_licencePage, m_setupPage, m_expert1Page, m_expert2Page,
        m_donePage };
    m_main = 0;
    m_welcomePage = 0;
    m_licencePage = 0;
    m_setupPage = 0;
    m_expert1Page = 0;
    m_expert2Page = 0;
    m_donePage = 0;
    m_currentPage = 0;
    // Deleting the main window object destroys its window and with it a page
    // still shown; that page's WM_NCDESTROY finds no field pointing at it,
    // so each object is deleted here, once.
    for (size_t i = 0; i < sizeof(objects) / sizeof(objects[0]); i++) {
        if (objects[i])
            objects[i]->DeleteWhenIdle();
    }
}

// ---- Texts and messages ----

int CWizard::LoadString(u32 id)
{
    return LoadString(id, m_text);
}

int CWizard::LoadString(u32 id, GString& out)
{
    if (!m_install) {
        out.ClearWide();
        return 0;
    }
    return m_install->GetString(id, out);
}

int CWizard::ShowMessage(const wch* text, u32 type)
{
    LoadString(kStringCaption);
    const wch* caption = m_text.MakeWide();
    return MessageBoxW(GetMainWindow(), text ? text : W(""), caption ? caption : W(""), type);
}

int CWizard::ShowMessageId(u32 textId, u32 type)
{
    GString text;
    LoadString(textId, text);
    return ShowMessage(text.MakeWide(), type);
}

HWND CWizard::GetMainWindow() const
{
    return m_main ? m_main->GetHwnd() : 0;
}

void CWizard::DisableAllControls()
{
    HWND page = m_currentPage ? m_currentPage->GetHwnd() : 0;
    if (!page)
        return;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        EnableWindow(child, FALSE);
}

// ---- Pages ----

int CWizard::ShowPage(CWndBase*& slot, CWndBase* page, u32 templateId)
{
    if (!page)
        return 0;
    slot = page;
    if (m_currentPage) {
        // Its WM_NCDESTROY makes Forget delete it and clear its slot.
        (void)m_currentPage->Destroy();
    }
    m_currentPage = page;
    page->SetWizard(this);
    // A dialog that cannot be created leaves the main window without a page;
    // the object stays in its slot.
    (void)page->CreateModeless(templateId, GetMainWindow());
    return 1;
}

int CWizard::ShowWelcome()
{
    if (m_welcomePage)
        return 0;
    return ShowPage(m_welcomePage, new (std::nothrow) CDlgWelcome, IDD_WELCOME);
}

int CWizard::ShowLicence()
{
    if (m_licencePage)
        return 0;
    return ShowPage(m_licencePage, new (std::nothrow) CDlgEula, IDD_EULA);
}

int CWizard::ShowSetup()
{
    if (m_setupPage)
        return 0;
    return ShowPage(m_setupPage, new (std::nothrow) CDlgSetup, IDD_SETUP);
}

int CWizard::ShowExpert1()
{
    if (m_expert1Page)
        return 0;
    return ShowPage(m_expert1Page, new (std::nothrow) CDlgExpert1, IDD_EXPERT1);
}

int CWizard::ShowExpert2()
{
    if (m_expert2Page)
        return 0;
    return ShowPage(m_expert2Page, new (std::nothrow) CDlgExpert2, IDD_EXPERT2);
}

int CWizard::ShowDone()
{
    if (m_donePage)
        return 0;
    return ShowPage(m_donePage, new (std::nothrow) CDlgDone, IDD_DONE);
}

void CWizard::Unlink(CWndBase* wnd)
{
    if (!wnd)
        return;
    if (wnd == m_main)
        m_main = 0;
    CWndBase** slots[] = { &m_welcomePage, &m_licencePage, &m_setupPage, &m_expert1Page, &m_expert2Page,
        &m_donePage, &m_currentPage };
    for (size_t i = 0; i < sizeof(slots) / sizeof(slots[0]); i++) {
        if (*slots[i] == wnd)
            *slots[i] = 0;
    }
}

void CWizard::Forget(CWndBase* wnd)
{
    if (!wnd)
        return;
    int known = wnd == m_main || wnd == m_welcomePage || wnd == m_licencePage || wnd == m_setupPage
        || wnd == m_expert1Page || wnd == m_expert2Page || wnd == m_donePage;
    Unlink(wnd);
    // An object no field refers to is not this controller's to delete.
    if (known)
        wnd->DeleteWhenIdle();
}

// ---- Procedures of the installer object ----

int CWizard::Install()
{
    return m_install ? m_install->Install() : 0;
}

int CWizard::Uninstall()
{
    return m_install ? m_install->Uninstall() : 0;
}

int CWizard::OpenWithAssociatedProgram(u32 extensionId, u32 formatId, const GString& argument)
{
    if (!m_install)
        return 0;
    GString text;
    text.Assign(argument);
    const wch* argumentText = text.MakeWide();
    if (!argumentText)
        return 0;
    return m_install->OpenWithAssociatedProgram(extensionId, formatId, argumentText);
}

int CWizard::LoadLicenceText(GString& out)
{
    if (!m_install)
        return 0;
    i32 language = m_install->GetUiLanguage();
    if (language < 0 || language >= kLicenceCount)
        return 0;
    const PayloadItem& item = g_licenceItems[language];
    return m_install->LoadTextItem(item.bytes, item.size, out);
}
