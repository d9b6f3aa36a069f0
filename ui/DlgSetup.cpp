#include "ui/DlgSetup.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

#include <stdio.h>
#include <stdlib.h>

const u32 kStringProductName = 81;
const u32 kStringHeading = 101;
const u32 kStringLangEntry = 102;
const u32 kStringNeedsAdmin = 123;
const u32 kStringInstallFailed = 143;
const wch kNameSeparator[] = W(" - ");

const i32 kVersionVista = 60;
const i32 kVersionWindows8 = 62;

const int kNameBufferLength = 1024;

// Control -> string.
static const WndPair kSetupTexts[] = {
    { IDC_CANCEL, 98 },
    { IDC_BACK, 100 },
    { IDC_SETUP_HEADING, 101 },
    { IDC_INSTALL, 104 },
    { IDC_DESKTOP_LINKS, 106 },
    { IDC_HOTKEYS, 139 },
    { IDC_ALT_SET, 109 },
    { IDC_FAMILY_LABEL, 110 },
    { IDC_DECIMAL_LABEL, 111 },
    { IDC_SETUP_NOTE, 112 },
    { IDC_EXPERT1, 152 },
    { IDC_EXPERT2, 153 },
    { 0, 0 },
};

// Letter arrangement: string -> family.
static const WndPair kFamilyChoices[] = {
    { 113, 0 },
    { 114, 1 },
    { 115, 2 },
    { 0, 0 },
};

// Decimal key: string -> decimal flag (0 = comma).
static const WndPair kDecimalChoices[] = {
    { 119, 0 },
    { 120, 1 },
    { 0, 0 },
};

static const u32 kHiddenControls[] = { IDC_EXPERT2, 0 };
static const u32 kLanguageControls[] = { IDC_SETUP_HEADING, IDC_LAYOUT_LANG, IDC_LANG_ENTRY, 0 };

// The locale enumeration calls back without a context, so what it shares
// with the page is process-wide; one setup page uses it at a time, on the
// UI thread.
struct LocaleListState
{
    HKL* layouts = 0;
    int layoutCount = 0;
    wch* name = 0;
    int nameLength = 0;
    HWND target = 0;
    u16 current = 0;
    // Outlives the pages: the name of the current language as last listed.
    GString selectedName;
};

static LocaleListState g_localeList;

static void FreeLayoutList()
{
    free(g_localeList.layouts);
    g_localeList.layouts = 0;
    g_localeList.layoutCount = 0;
}

static void FreeNameBuffer()
{
    free(g_localeList.name);
    g_localeList.name = 0;
    g_localeList.nameLength = 0;
}

static BOOL CALLBACK ListLocale(LPWSTR localeText)
{
    LocaleListState& state = g_localeList;
    if (!localeText || !state.target)
        return FALSE;
    unsigned int locale = 0;
    // A text that is no locale id ends the enumeration here.
    if (swscanf(localeText, L"%x", &locale) != 1 || locale == 0)
        return FALSE;
    if (state.layoutCount == 0)
        return TRUE;

    int listed = locale == state.current;
    for (int i = 0; !listed && i < state.layoutCount; i++) {
        u16 layoutLanguage = static_cast<u16>(reinterpret_cast<UINT_PTR>(state.layouts[i]) & 0xFFFF);
        listed = (locale & 0xFFFF) == layoutLanguage;
    }
    if (!listed)
        return TRUE;

    if (!state.name || !GetLocaleInfoW(locale, LOCALE_SLANGUAGE, state.name, state.nameLength - 1))
        return FALSE;
    LRESULT index = SendMessageW(state.target, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(state.name));
    if (index == CB_ERR || index == CB_ERRSPACE)
        return FALSE;
    SendMessageW(state.target, CB_SETITEMDATA, static_cast<WPARAM>(index), locale);
    if (locale == state.current)
        (void)state.selectedName.AssignWide(state.name);
    return TRUE;
}

CDlgSetup::CDlgSetup()
{
    FreeLayoutList();
    FreeNameBuffer();
}

CDlgSetup::~CDlgSetup()
{
    FreeLayoutList();
    FreeNameBuffer();
    g_localeList.current = 0;
    g_localeList.target = 0;
}

void CDlgSetup::FillLanguageList()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    HWND list = m_hwnd ? GetDlgItem(m_hwnd, IDC_LAYOUT_LANG) : 0;
    if (!install || !list)
        return;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);

    FreeNameBuffer();
    g_localeList.name = static_cast<wch*>(malloc(kNameBufferLength * sizeof(wch)));
    if (!g_localeList.name)
        return;
    g_localeList.nameLength = kNameBufferLength;

    FreeLayoutList();
    int count = GetKeyboardLayoutList(0, 0);
    if (count <= 0)
        return;
    g_localeList.layouts = static_cast<HKL*>(malloc(count * sizeof(HKL)));
    if (!g_localeList.layouts)
        return;
    g_localeList.current = install->GetLayoutLangId();
    g_localeList.target = list;
    g_localeList.layoutCount = GetKeyboardLayoutList(count, g_localeList.layouts);
    if (g_localeList.layoutCount <= 0) {
        g_localeList.layoutCount = 0;
        return;
    }

    if (!EnumSystemLocalesW(ListLocale, LCID_INSTALLED)) {
        FreeLayoutList();
        FreeNameBuffer();
        return;
    }
    FreeNameBuffer();
    // The list is sorted: look for the current language once all are in.
    LRESULT total = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < total; i++) {
        LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        if (data != CB_ERR && static_cast<u32>(data) == g_localeList.current) {
            SelectComboIndex(list, static_cast<int>(i));
            break;
        }
    }
}

void CDlgSetup::SetLangEntryText()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return;
    GString format, product, name, text;
    LoadString(kStringLangEntry, format);
    LoadString(kStringProductName, product);
    if (!name.Assign(install->GetLangName()) || !name.MakeWide() || !name.AppendWide(kNameSeparator)
        || !name.Append(product))
        return;
    const wch* formatText = format.MakeWide();
    if (formatText && text.Format(formatText, name.MakeWide()))
        SetItemText(IDC_LANG_ENTRY, text.MakeWide());
}

void CDlgSetup::SetHeading()
{
    GString format, product, text;
    LoadString(kStringHeading, format);
    LoadString(kStringProductName, product);
    const wch* formatText = format.MakeWide();
    if (formatText && text.Format(formatText, product.MakeWide()))
        SetItemText(IDC_SETUP_HEADING, text.MakeWide());
}

// The language is chosen only from 6.0 on, and never when an installation
// is only changed. Unticking changes the control, not the choice.
void CDlgSetup::ApplyLanguageControls()
{
    CInstall* install = m_wizard->GetInstall();
    if (install->GetOsVersion() < kVersionVista || install->GetUpdateMode()) {
        EnableItems(kLanguageControls, 0);
        ShowItems(kLanguageControls, 0);
        CheckItem(IDC_LANG_ENTRY, 0);
        return;
    }
    ShowItems(kLanguageControls, 1);
    EnableItems(kLanguageControls, 1);
    CheckItem(IDC_LANG_ENTRY, install->GetLangEntryOption());
}

void CDlgSetup::ApplyHotkeyOption()
{
    CInstall* install = m_wizard->GetInstall();
    if (install->GetUpdateMode()) {
        EnableItem(IDC_HOTKEYS, 0);
        ShowItem(IDC_HOTKEYS, 0);
        CheckItem(IDC_HOTKEYS, 0);
        return;
    }
    ShowItem(IDC_HOTKEYS, 1);
    EnableItem(IDC_HOTKEYS, 1);
    CheckItem(IDC_HOTKEYS, install->GetHotkeyOption());
}

// From Windows 8 on the desktop links are always made and not offered.
void CDlgSetup::ApplyDesktopOption()
{
    CInstall* install = m_wizard->GetInstall();
    int newer = install->GetOsVersion() >= kVersionWindows8;
    i32 value = newer ? 1 : install->GetDesktopShortcuts();
    install->SetDesktopShortcuts(value);
    if (install->GetUpdateMode()) {
        CheckItem(IDC_DESKTOP_LINKS, 0);
        EnableItem(IDC_DESKTOP_LINKS, 0);
        ShowItem(IDC_DESKTOP_LINKS, 0);
        return;
    }
    CheckItem(IDC_DESKTOP_LINKS, value);
    ShowItem(IDC_DESKTOP_LINKS, !newer);
    EnableItem(IDC_DESKTOP_LINKS, !newer);
}

int CDlgSetup::OnInitDialog()
{
    SetPage(kStepSetup);
    FitToPage();
    EnableItems(kHiddenControls, 0);
    ShowItems(kHiddenControls, 0);
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return 1;

    CheckItem(IDC_ALT_SET, install->GetAltSetB());
    FillLanguageList();
    (void)FillComboItem(IDC_FAMILY, kFamilyChoices, static_cast<u32>(install->DetectFamily()));
    (void)FillComboItem(IDC_DECIMAL, kDecimalChoices, static_cast<u32>(install->DetectDecimalFlag()));

    (void)install->SetLangName(g_localeList.selectedName);
    SetLangEntryText();
    ApplyLanguageControls();
    ApplyHotkeyOption();
    ApplyDesktopOption();

    SetItemStrings(kSetupTexts);
    SetHeading();

    HWND installButton = GetDlgItem(m_hwnd, IDC_INSTALL);
    if (installButton)
        SetFocus(installButton);
    SetForegroundWindow(m_hwnd);
    // The focus stays where it was put.
    return 0;
}

void CDlgSetup::OnLanguageChosen()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    HWND list = GetDlgItem(m_hwnd, IDC_LAYOUT_LANG);
    if (!install || !list)
        return;
    LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return;
    LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    install->SetLayoutLangId(static_cast<u16>(data & 0xFFFF));

    LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0)
        return;
    GString name;
    name.ClearWide();
    wch* buffer = name.WideBuffer(static_cast<int>(length) + 1);
    if (!buffer)
        return;
    buffer[0] = 0;
    LRESULT got = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
    if (got <= 0 || got > length || !name.SetLength(static_cast<int>(got)) || !install->SetLangName(name))
        return;
    SetLangEntryText();
}

void CDlgSetup::EndWithMessage(u32 textId)
{
    ShowMessageId(textId, MB_OK);
    SetPage(kStepEnding);
    PostToMain(WM_WIZ_CANCEL);
}

int CDlgSetup::OnInstall()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return 0;
    if (!install->GetIsAdmin()) {
        EndWithMessage(kStringNeedsAdmin);
        return 1;
    }
    // Disables this page's controls while it works; what it did before a
    // failure stays.
    if (!m_wizard->Install()) {
        EndWithMessage(kStringInstallFailed);
        return 1;
    }
    SetPage(kStepEnding);
    PostToMain(WM_WIZ_DONE);
    return 1;
}

int CDlgSetup::OnCommand()
{
    CInstall* install = m_wizard ? m_wizard->GetInstall() : 0;
    if (!install)
        return 0;

    if (m_notifyCode == CBN_SELCHANGE) {
        HWND list = GetDlgItem(m_hwnd, m_controlId);
        // A list without a selection changes nothing.
        if (!list || SendMessageW(list, CB_GETCURSEL, 0, 0) < 0)
            return 0;
        switch (m_controlId) {
        case IDC_LAYOUT_LANG:
            OnLanguageChosen();
            return 1;
        case IDC_FAMILY:
            (void)install->SetFamily(static_cast<u32>(GetComboData(IDC_FAMILY)));
            return 1;
        case IDC_DECIMAL:
            (void)install->SetDecimalFlag(static_cast<int>(GetComboData(IDC_DECIMAL)));
            return 1;
        }
        return 0;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;

    switch (m_controlId) {
    case IDC_INSTALL:
        return OnInstall();
    case IDC_CANCEL:
        PostToMain(WM_WIZ_CANCEL);
        return 1;
    case IDC_BACK:
        PostToMain(WM_WIZ_BACK);
        return 1;
    case IDC_EXPERT1:
        PostToMain(WM_WIZ_EXPERT1);
        return 1;
    case IDC_EXPERT2:
        PostToMain(WM_WIZ_EXPERT2);
        return 1;
    case IDC_LANG_ENTRY:
        install->SetLangEntryOption(IsItemChecked(IDC_LANG_ENTRY));
        return 1;
    case IDC_HOTKEYS:
        install->SetHotkeyOption(IsItemChecked(IDC_HOTKEYS));
        return 1;
    case IDC_DESKTOP_LINKS:
        install->SetDesktopShortcuts(IsItemChecked(IDC_DESKTOP_LINKS));
        return 1;
    case IDC_ALT_SET:
        install->SetAltSetB(IsItemChecked(IDC_ALT_SET));
        return 1;
    }
    return 0;
}
