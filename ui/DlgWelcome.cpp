#include "ui/DlgWelcome.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

const u32 kThisVersion = 190;

const u32 kStringProductName = 81;
const u32 kStringMaker = 0;
const u32 kStringHeadingNew = 97;
const u32 kStringHeadingInstalled = 141;
const u32 kStringBodyNew = 131;
const u32 kStringBodyInstalled = 136;
const u32 kStringRemoveQuestion = 129;
const u32 kStringNeedsAdmin = 123;
const u32 kStringRemovalFailed = 350;
const u32 kStringSettingsExtension = 41;
const u32 kStringSettingsCommand = 2;
const u32 kStringSettingsArgument = 95;

// Control -> string.
static const WndPair kWelcomeTexts[] = {
    { IDC_UILANG_LABEL, 1 },
    { IDC_REMOVE, 127 },
    { IDC_CANCEL, 98 },
    { IDC_NEXT, 99 },
    { IDC_OPEN_ASSOCIATED, 140 },
    { IDC_CHANGE, 128 },
    { 0, 0 },
};

// Interface language list: string -> interface-language index.
static const WndPair kUiLanguageChoices[] = {
    { 92, 0 },
    { 91, 1 },
    { 0, 0 },
};

static const u32 kInstalledButtons[] = { IDC_REMOVE, IDC_CHANGE, IDC_OPEN_ASSOCIATED, 0 };
static const u32 kNewInstallButtons[] = { IDC_NEXT, 0 };

CDlgWelcome::CDlgWelcome()
{
}

CDlgWelcome::~CDlgWelcome()
{
}

int CDlgWelcome::IsInstalled() const
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    return install && install->GetInstalledVersion() == kThisVersion;
}

void CDlgWelcome::FillTexts()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install || !m_hwnd)
        return;
    int installed = IsInstalled();

    GString product, format, heading;
    LoadString(kStringProductName, product);
    LoadString(installed ? kStringHeadingInstalled : kStringHeadingNew, format);
    int focusId = installed ? IDC_OPEN_ASSOCIATED : IDC_NEXT;
    HWND focus = GetDlgItem(m_hwnd, focusId);
    if (focus)
        SetFocus(focus);

    const wch* formatText = format.MakeWide();
    if (formatText && heading.Format(formatText, product.MakeWide()))
        SetItemText(IDC_WELCOME_HEADING, heading.MakeWide());
    else
        SetItemText(IDC_WELCOME_HEADING, W(""));
    if (!SetItemString(IDC_WELCOME_BODY, installed ? kStringBodyInstalled : kStringBodyNew))
        SetItemText(IDC_WELCOME_BODY, W(""));

    SetItemStrings(kWelcomeTexts);
    (void)FillComboItem(IDC_UILANG, kUiLanguageChoices, static_cast<u32>(install->GetUiLanguage()));
}

void CDlgWelcome::ShowButtonSet()
{
    int installed = IsInstalled();
    EnableItems(kInstalledButtons, installed);
    ShowItems(kInstalledButtons, installed);
    EnableItems(kNewInstallButtons, !installed);
    ShowItems(kNewInstallButtons, !installed);
}

int CDlgWelcome::OnInitDialog()
{
    SetPage(kStepWelcome);
    FitToPage();
    FillTexts();
    ShowButtonSet();
    SetForegroundWindow(m_hwnd);
    return 1;
}

int CDlgWelcome::Remove()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return 0;
    if (!install->GetIsAdmin()) {
        ShowMessageId(kStringNeedsAdmin, MB_OK);
        SetPage(kStepEnding);
        PostToMain(WM_WIZ_CANCEL);
        return 1;
    }

    GString format, maker, question;
    LoadString(kStringRemoveQuestion, format);
    LoadString(kStringMaker, maker);
    const wch* formatText = format.MakeWide();
    if (!formatText || !question.Format(formatText, maker.MakeWide()))
        return 1;
    if (ShowMessage(question.MakeWide(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 1;
    // The question's own message loop may have ended this page.
    if (!m_hwnd || !m_wizard)
        return 1;

    m_wizard->DisableAllControls();
    if (m_wizard->Uninstall()) {
        SetPage(kStepEnding);
        PostToMain(WM_WIZ_DONE);
        return 1;
    }
    // The removal could not start: give the page back, so that the user
    // can try again or leave, and say so.
    if (m_hwnd) {
        for (HWND child = GetWindow(m_hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            EnableWindow(child, TRUE);
        ShowButtonSet();
    }
    ShowMessageId(kStringRemovalFailed, MB_OK | MB_ICONEXCLAMATION);
    return 1;
}

int CDlgWelcome::OnCommand()
{
    if (m_controlId == IDC_UILANG) {
        if (m_notifyCode != CBN_SELENDOK)
            return 0;
        CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
        if (!install)
            return 0;
        install->SetUiLanguage(static_cast<u32>(GetComboData(IDC_UILANG)));
        FillTexts();
        return 1;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;

    switch (m_controlId) {
    case IDC_NEXT:
        if (!IsInstalled())
            PostToMain(WM_WIZ_NEXT);
        return 1;
    case IDC_OPEN_ASSOCIATED:
        // Also what Escape sends: it opens the settings only where the
        // button is offered.
        if (IsInstalled() && m_wizard) {
            GString argument;
            LoadString(kStringSettingsArgument, argument);
            (void)m_wizard->OpenWithAssociatedProgram(kStringSettingsExtension, kStringSettingsCommand, argument);
        }
        return 1;
    case IDC_CANCEL:
        PostToMain(WM_WIZ_CANCEL);
        return 1;
    case IDC_REMOVE:
        if (!IsInstalled())
            return 1;
        return Remove();
    case IDC_CHANGE:
        if (IsInstalled() && m_wizard && m_wizard->GetInstall()) {
            m_wizard->GetInstall()->SetUpdateMode(1);
            SetPage(kStepSetup);
            PostToMain(WM_WIZ_SETUP);
        }
        return 1;
    }
    return 0;
}
