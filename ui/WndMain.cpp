#include "ui/WndMain.h"

#include "core/Install.h"
#include "ui/Wizard.h"

const u32 kStringQuitQuestion = 96;

CWndMain::CWndMain()
{
}

CWndMain::~CWndMain()
{
}

int CWndMain::OnMessage()
{
    if (CWndBase::OnMessage())
        return 1;
    switch (m_message) {
    case WM_WIZ_CANCEL:
        Close();
        return 1;
    case WM_WIZ_BACK:
        return OnBack();
    case WM_WIZ_NEXT:
        return OnNext();
    case WM_WIZ_SETUP:
        return OnShowSetup();
    case WM_WIZ_EXPERT1:
        return OnShowExpert1();
    case WM_WIZ_EXPERT2:
        return OnShowExpert2();
    case WM_WIZ_DONE:
        return OnShowDone();
    case WM_WIZ_FINISH:
        return OnFinish();
    }
    return 0;
}

int CWndMain::OnCreate()
{
    if (!m_wizard)
        return 0;
    (void)m_wizard->ShowWelcome();
    return 1;
}

int CWndMain::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hwnd, &paint);
    if (dc)
        PaintHeader(dc);
    EndPaint(m_hwnd, &paint);
    return 1;
}

int CWndMain::OnDestroy()
{
    PostQuitMessage(0);
    return 1;
}

int CWndMain::OnClose()
{
    if (!m_wizard)
        return 0;
    HWND hwnd = m_hwnd;
    if (GetPage() == kStepEnding) {
        DestroyWindow(hwnd);
        return 1;
    }
    // Any answer but Yes keeps the wizard where it is; the message counts
    // as handled so that default processing does not destroy the window.
    if (ShowMessageId(kStringQuitQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES)
        DestroyWindow(hwnd);
    return 1;
}

int CWndMain::OnFinish()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return 0;
    install->m_restartRequested = 1;
    Close();
    return 1;
}

int CWndMain::OnShowDone()
{
    if (!m_wizard)
        return 0;
    (void)m_wizard->ShowDone();
    return 1;
}

int CWndMain::OnBack()
{
    if (!m_wizard)
        return 0;
    switch (GetPage()) {
    case kStepLicence:
        (void)m_wizard->ShowWelcome();
        break;
    case kStepSetup:
        (void)m_wizard->ShowLicence();
        break;
    }
    return 1;
}

int CWndMain::OnNext()
{
    if (!m_wizard)
        return 0;
    switch (GetPage()) {
    case kStepWelcome:
        (void)m_wizard->ShowLicence();
        break;
    case kStepLicence:
        (void)m_wizard->ShowSetup();
        break;
    }
    return 1;
}

int CWndMain::OnShowSetup()
{
    return m_wizard ? m_wizard->ShowSetup() : 0;
}

int CWndMain::OnShowExpert1()
{
    return m_wizard ? m_wizard->ShowExpert1() : 0;
}

int CWndMain::OnShowExpert2()
{
    return m_wizard ? m_wizard->ShowExpert2() : 0;
}
