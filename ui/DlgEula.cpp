#include "ui/DlgEula.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

// Control -> string.
static const WndPair kEulaTexts[] = {
    { IDC_EULA_HEADING, 132 },
    { IDC_EULA_ACCEPT, 105 },
    { IDC_CANCEL, 98 },
    { IDC_BACK, 100 },
    { IDC_NEXT, 99 },
    { 0, 0 },
};

// A multi-line edit control breaks lines only at CR LF: the licence files
// may end their lines with LF alone.
static int ToEditLines(GString& text, GString& out)
{
    const wch* units = text.MakeWide();
    if (!units)
        return 0;
    out.ClearWide();
    int length = text.Length();
    int runStart = 0;
    for (int i = 0; i < length; i++) {
        if (units[i] != '\n' || (i > 0 && units[i - 1] == '\r'))
            continue;
        if (!out.AppendWideRaw(units + runStart, i - runStart) || !out.AppendChar('\r'))
            return 0;
        runStart = i;
    }
    return out.AppendWideRaw(units + runStart, length - runStart);
}

CDlgEula::CDlgEula()
{
}

CDlgEula::~CDlgEula()
{
}

int CDlgEula::OnInitDialog()
{
    SetPage(kStepLicence);
    FitToPage();
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    int accepted = install && install->m_licenceAccepted;
    CheckItem(IDC_EULA_ACCEPT, accepted);
    EnableItem(IDC_NEXT, accepted);
    SetItemStrings(kEulaTexts);

    // A licence text that cannot be read leaves the box empty; the user can
    // still accept and go on.
    GString licence, shown;
    if (m_wizard && m_wizard->LoadLicenceText(licence) && ToEditLines(licence, shown))
        SetItemText(IDC_EULA_TEXT, shown.MakeWide());

    HWND accept = GetDlgItem(m_hwnd, IDC_EULA_ACCEPT);
    if (accept)
        SetFocus(accept);
    SetForegroundWindow(m_hwnd);
    return 1;
}

int CDlgEula::OnCommand()
{
    if (m_controlId == IDC_EULA_TEXT) {
        if (m_notifyCode != EN_SETFOCUS)
            return 0;
        // The text is read, not edited: no selection when it gets the focus.
        HWND text = GetDlgItem(m_hwnd, IDC_EULA_TEXT);
        if (text)
            SendMessageW(text, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        return 1;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;

    switch (m_controlId) {
    case IDC_NEXT: {
        // Enter reaches a disabled default button too: go on only when accepted.
        CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
        if (install && install->m_licenceAccepted)
            PostToMain(WM_WIZ_NEXT);
        return 1;
    }
    case IDC_CANCEL:
        PostToMain(WM_WIZ_CANCEL);
        return 1;
    case IDC_BACK:
        PostToMain(WM_WIZ_BACK);
        return 1;
    case IDC_EULA_ACCEPT: {
        int accepted = IsItemChecked(IDC_EULA_ACCEPT);
        EnableItem(IDC_NEXT, accepted);
        CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
        if (install)
            install->m_licenceAccepted = accepted;
        return 1;
    }
    }
    return 0;
}
