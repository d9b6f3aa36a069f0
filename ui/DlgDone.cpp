#include "ui/DlgDone.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

const u32 kStringProductName = 81;
const u32 kStringRemoved = 130;
const u32 kStringNeedsBrowser = 133;
const u32 kStringNextStepsOld = 134;
const u32 kStringNextSteps = 135;
const u32 kStringInstalled = 136;
const wch kParagraph[] = W("\n\n");

const i32 kVersionVista = 60;

// Control -> string.
static const WndPair kDoneTexts[] = {
    { IDC_RESTART, 137 },
    { 0, 0 },
};

CDlgDone::CDlgDone()
{
}

CDlgDone::~CDlgDone()
{
}

// From 6.0 on the layout is added to the user's input languages by the
// install; older systems need the user to add it, under the layout's name.
int CDlgDone::BuildInstalledNote(GString& out)
{
    CInstall* install = m_wizard->GetInstall();
    if (install->GetOsVersion() >= kVersionVista) {
        if (!LoadString(kStringNextSteps, out))
            return 0;
    } else {
        GString format, product;
        LoadString(kStringNextStepsOld, format);
        LoadString(kStringProductName, product);
        const wch* formatText = format.MakeWide();
        if (!formatText || !out.Format(formatText, product.MakeWide()))
            return 0;
    }
    if (install->GetAssocMatch())
        return 1;
    GString hint;
    LoadString(kStringNeedsBrowser, hint);
    return out.MakeWide() && out.AppendWide(kParagraph) && out.Append(hint);
}

int CDlgDone::OnInitDialog()
{
    SetPage(kStepEnding);
    FitToPage();
    SetItemStrings(kDoneTexts);

    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (install && install->GetUninstallDone()) {
        (void)SetItemString(IDC_DONE_TEXT2, kStringRemoved);
    } else if (install) {
        (void)SetItemString(IDC_DONE_TEXT1, kStringInstalled);
        GString note;
        if (BuildInstalledNote(note))
            SetItemText(IDC_DONE_TEXT2, note.MakeWide());
    }

    HWND restart = GetDlgItem(m_hwnd, IDC_RESTART);
    if (restart)
        SetFocus(restart);
    SetForegroundWindow(m_hwnd);
    return 1;
}

int CDlgDone::OnCommand()
{
    if (m_notifyCode != BN_CLICKED || m_controlId != IDC_RESTART)
        return 0;
    SetPage(kStepEnding);
    PostToMain(WM_WIZ_FINISH);
    return 1;
}
