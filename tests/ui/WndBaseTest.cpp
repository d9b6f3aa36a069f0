#include "ui/WndBase.h"

#include "UiTestSupport.h"

#include <gtest/gtest.h>

namespace {

// ---- Tables ----

const WndPair kTable[] = {
    { 307, 1 },
    { 315, 0x1A1 },
    { 2003, 0x12345 },
    { 0, 0 },
    { 999, 5 }, // past the end: never found
};

TEST(WndPairs, LookupAndFindStopAtTheTerminator)
{
    struct Case
    {
        const char* name;
        u32 key;
        u16 lookup;
        const WndPair* found;
    };
    const Case cases[] = {
        { "first pair", 307, 1, &kTable[0] },
        { "extended value kept", 315, 0x1A1, &kTable[1] },
        { "value cut to 16 bits", 2003, 0x2345, &kTable[2] },
        { "missing key", 308, 0, 0 },
        { "zero key never matches the terminator", 0, 0, 0 },
        { "pair after the terminator", 999, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CWndBase::LookupPair(c.key, kTable), c.lookup);
        EXPECT_EQ(CWndBase::FindPair(c.key, kTable), c.found);
    }
    EXPECT_EQ(CWndBase::LookupPair(307, static_cast<const WndPair*>(0)), 0);
    EXPECT_EQ(CWndBase::FindPair(307, static_cast<const WndPair*>(0)), nullptr);
}

TEST(WndPairs, FindPairHandsOutAWritablePair)
{
    WndPair rows[] = { { 0x2A, 0 }, { 0x36, 0 }, { 0, 0 } };
    WndPair* row = CWndBase::FindPair(0x36, rows);
    ASSERT_EQ(row, &rows[1]);
    row->second = 0xA0;
    EXPECT_EQ(CWndBase::LookupPair(0x36, rows), 0xA0);
}

// ---- Probe objects ----

// A page that records what reaches it.
class CProbe : public CWndBase
{
public:
    CProbe() { s_alive++; }
    ~CProbe() override
    {
        s_alive--;
        s_lastWriteSeen = m_writtenAfterDestroy;
    }

    int OnInitDialog() override
    {
        m_initDialogs++;
        m_hwndAtInit = m_hwnd;
        return 1;
    }

    int OnCommand() override
    {
        // Controls tell their dialog about focus changes too; count ours only.
        if (m_controlId != kProbeCommand && m_controlId != kDestroyYourself)
            return 0;
        m_commands++;
        m_lastNotifyCode = m_notifyCode;
        m_lastControlId = m_controlId;
        m_lastControlHwnd = m_controlHwnd;
        if (m_controlId == kDestroyYourself) {
            DestroyWindow(m_hwnd);
            // Still inside its own handler: the object must still be there.
            m_writtenAfterDestroy = 1;
            return 1;
        }
        m_result = kCommandResult;
        return 1;
    }

    int OnMessage() override
    {
        if (m_message == WM_NCCREATE)
            m_sawNcCreate = 1;
        if (m_message == WM_GETMINMAXINFO && !m_sawNcCreate)
            m_earlyMessages++;
        m_messagesSeen++;
        if (m_message == WM_NOTIFY)
            m_notifies++;
        return CWndBase::OnMessage();
    }

    // Stands in for the controller, which deletes only its own objects.
    int OnNcDestroy() override
    {
        CWndBase::OnNcDestroy();
        if (m_deleteOnNcDestroy)
            DeleteWhenIdle();
        return 1;
    }

    // Direct access to the protected dialog flag for the attach tests.
    void MarkAsDialog() { m_isDialog = 1; }

    static constexpr u16 kDestroyYourself = 4321;
    static constexpr u16 kProbeCommand = 4322;
    static constexpr LRESULT kCommandResult = 77;
    static int s_alive;
    static int s_lastWriteSeen;

    int m_initDialogs = 0;
    HWND m_hwndAtInit = 0;
    int m_commands = 0;
    i16 m_lastNotifyCode = 0;
    u16 m_lastControlId = 0;
    HWND m_lastControlHwnd = 0;
    int m_notifies = 0;
    int m_messagesSeen = 0;
    int m_sawNcCreate = 0;
    int m_earlyMessages = 0;
    int m_deleteOnNcDestroy = 0;
    int m_writtenAfterDestroy = 0;
};

int CProbe::s_alive = 0;
int CProbe::s_lastWriteSeen = -1;

// Installer object plus a hidden top-level window to hold child pages.
class WndBaseFixture : public InstallFixture
{
protected:
    void SetUp() override
    {
        InstallFixture::SetUp();
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, 0, 0, m_instance, 0);
        ASSERT_NE(m_parent, nullptr);
    }

    void TearDown() override
    {
        DestroyWindow(m_parent);
        InstallFixture::TearDown();
    }

    // A probe page made from one of the program's templates.
    CProbe* MakePage(u32 templateId)
    {
        CProbe* page = new CProbe;
        page->SetWizard(m_wizard);
        EXPECT_TRUE(page->CreateModeless(templateId, m_parent));
        return page;
    }

    std::wstring ComboText(HWND combo, int index)
    {
        wchar_t buffer[256] = { 0 };
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, index, 0);
        if (length > 0 && length < 256)
            SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }

    HWND m_parent = 0;
};

// ---- Attaching ----

TEST_F(WndBaseFixture, CreateModeless_AttachesBeforeInitDialogRuns)
{
    CProbe* page = MakePage(IDD_WELCOME);
    ASSERT_NE(page->GetHwnd(), nullptr);
    EXPECT_EQ(page->m_initDialogs, 1);
    EXPECT_EQ(page->m_hwndAtInit, page->GetHwnd());
    EXPECT_EQ(GetWindowLongPtrW(page->GetHwnd(), GWLP_USERDATA), reinterpret_cast<LONG_PTR>(page));
    EXPECT_NE(GetWindowLongPtrW(page->GetHwnd(), GWL_STYLE) & WS_VISIBLE, 0);
    // A second window for the same object is refused.
    EXPECT_FALSE(page->CreateModeless(IDD_EULA, m_parent));
    delete page;
}

TEST_F(WndBaseFixture, DialogProcedure_AttachesOnlyDialogObjects)
{
    struct Case
    {
        const char* name;
        bool passObject;
        bool markAsDialog;
        bool attached;
    };
    const Case cases[] = {
        { "null creation parameter", false, false, false },
        { "object made for a window", true, false, false },
        { "object made for a dialog", true, true, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProbe probe;
        probe.SetWizard(m_wizard);
        if (c.markAsDialog)
            probe.MarkAsDialog();
        HWND dialog = CreateDialogParamW(m_instance, MAKEINTRESOURCEW(IDD_WELCOME), m_parent, CWndBase::DlgProc,
            c.passObject ? reinterpret_cast<LPARAM>(&probe) : 0);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(probe.GetHwnd() == dialog, c.attached);
        EXPECT_EQ(GetWindowLongPtrW(dialog, GWLP_USERDATA) != 0, c.attached);
        EXPECT_EQ(probe.m_initDialogs, c.attached ? 1 : 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(CProbe::kProbeCommand, BN_CLICKED), 0);
        EXPECT_EQ(probe.m_commands, c.attached ? 1 : 0);
        DestroyWindow(dialog);
        EXPECT_EQ(probe.GetHwnd(), nullptr);
    }
}

const wchar_t kProbeClass[] = L"KlawiszUiTestProbe";

class WndProcFixture : public WndBaseFixture
{
protected:
    void SetUp() override
    {
        WndBaseFixture::SetUp();
        WNDCLASSEXW wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = CWndBase::WndProc;
        wc.hInstance = m_instance;
        wc.lpszClassName = kProbeClass;
        ASSERT_NE(RegisterClassExW(&wc), 0);
    }

    void TearDown() override
    {
        UnregisterClassW(kProbeClass, m_instance);
        WndBaseFixture::TearDown();
    }
};

TEST_F(WndProcFixture, WindowProcedure_AttachesWindowObjectsOnNcCreate)
{
    CProbe probe;
    probe.SetWizard(m_wizard);
    HWND hwnd = CreateWindowExW(0, kProbeClass, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, 0, 0, m_instance, &probe);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(probe.GetHwnd(), hwnd);
    // WM_GETMINMAXINFO, sent before WM_NCCREATE, found no object.
    EXPECT_EQ(probe.m_sawNcCreate, 1);
    EXPECT_EQ(probe.m_earlyMessages, 0);
    DestroyWindow(hwnd);
    EXPECT_EQ(probe.GetHwnd(), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
}

TEST_F(WndProcFixture, WindowProcedure_RefusesDialogObjectsAndNullParameters)
{
    CProbe dialogKind;
    dialogKind.SetWizard(m_wizard);
    dialogKind.MarkAsDialog();
    const struct
    {
        const char* name;
        void* parameter;
    } cases[] = { { "dialog object", &dialogKind }, { "null parameter", 0 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND hwnd = CreateWindowExW(0, kProbeClass, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, 0, 0, m_instance,
            c.parameter);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 0);
        EXPECT_EQ(dialogKind.m_messagesSeen, 0);
        DestroyWindow(hwnd);
    }
}

// ---- Decoding ----

TEST_F(WndBaseFixture, DialogDecode_CommandReachesOnCommandWithItsParts)
{
    CProbe* page = MakePage(IDD_WELCOME);
    HWND control = GetDlgItem(page->GetHwnd(), IDC_CANCEL);
    SendMessageW(page->GetHwnd(), WM_COMMAND, MAKEWPARAM(CProbe::kProbeCommand, 0x0300),
        reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(page->m_commands, 1);
    EXPECT_EQ(page->m_lastNotifyCode, 0x0300);
    EXPECT_EQ(page->m_lastControlId, CProbe::kProbeCommand);
    EXPECT_EQ(page->m_lastControlHwnd, control);
    // A handled command leaves its result where the dialog manager reads it.
    EXPECT_EQ(GetWindowLongPtrW(page->GetHwnd(), DWLP_MSGRESULT), CProbe::kCommandResult);
    delete page;
}

TEST_F(WndBaseFixture, DialogDecode_NotifyCallsNoHandler)
{
    CProbe* page = MakePage(IDD_WELCOME);
    NMHDR header;
    header.hwndFrom = GetDlgItem(page->GetHwnd(), IDC_UILANG);
    header.idFrom = IDC_UILANG;
    header.code = 0x1234;
    int before = page->m_messagesSeen;
    LRESULT result = SendMessageW(page->GetHwnd(), WM_NOTIFY, IDC_UILANG, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(page->m_messagesSeen, before);
    EXPECT_EQ(page->m_notifies, 0);
    delete page;
}

// ---- Lifetime ----

TEST_F(WndBaseFixture, DeletingAnObject_DestroysItsWindowFirst)
{
    CProbe* page = MakePage(IDD_EULA);
    HWND hwnd = page->GetHwnd();
    ASSERT_TRUE(IsWindow(hwnd));
    int alive = CProbe::s_alive;
    delete page;
    EXPECT_EQ(CProbe::s_alive, alive - 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WndBaseFixture, WindowEndedByItsOwnHandler_IsDeletedOnceAfterTheHandlerReturns)
{
    CProbe* page = MakePage(IDD_EULA);
    page->m_deleteOnNcDestroy = 1;
    HWND hwnd = page->GetHwnd();
    int alive = CProbe::s_alive;
    CProbe::s_lastWriteSeen = -1;
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(CProbe::kDestroyYourself, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CProbe::s_alive, alive - 1);
    // The destructor ran after the handler's last write, not in the middle.
    EXPECT_EQ(CProbe::s_lastWriteSeen, 1);
}

TEST_F(WndBaseFixture, WindowDestroyedFromOutside_IsDeletedAtNcDestroy)
{
    CProbe* page = MakePage(IDD_EULA);
    page->m_deleteOnNcDestroy = 1;
    HWND hwnd = page->GetHwnd();
    int alive = CProbe::s_alive;
    CProbe::s_lastWriteSeen = -1;
    DestroyWindow(hwnd);
    EXPECT_EQ(CProbe::s_alive, alive - 1);
    EXPECT_EQ(CProbe::s_lastWriteSeen, 0);
}

// ---- Control operations ----

TEST_F(WndBaseFixture, ControlOperations_ReportMissingControls)
{
    CProbe* page = MakePage(IDD_EULA);
    const int kMissing = 4444;
    EXPECT_EQ(page->EnableItem(kMissing, 1), 0);
    EXPECT_EQ(page->ShowItem(kMissing, 1), 0);
    EXPECT_EQ(page->CheckItem(kMissing, 1), 0);
    EXPECT_EQ(page->IsItemChecked(kMissing), 0);
    EXPECT_EQ(page->GetComboData(kMissing), 0);
    EXPECT_EQ(page->FillComboItem(kMissing, kTable, 1), 0);
    EXPECT_EQ(page->EnableItems(0, 1), 0);
    EXPECT_EQ(page->ShowItems(0, 1), 0);
    EXPECT_EQ(page->SetItemText(IDC_EULA_HEADING, 0), 0);

    EXPECT_EQ(page->CheckItem(IDC_EULA_ACCEPT, 1), 1);
    EXPECT_EQ(page->IsItemChecked(IDC_EULA_ACCEPT), 1);
    EXPECT_EQ(page->CheckItem(IDC_EULA_ACCEPT, 0), 1);
    EXPECT_EQ(page->IsItemChecked(IDC_EULA_ACCEPT), 0);

    // Id lists skip missing controls and carry on.
    const u32 ids[] = { kMissing, IDC_NEXT, IDC_BACK, 0 };
    EXPECT_EQ(page->EnableItems(ids, 0), 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page->GetHwnd(), IDC_BACK)));
    EXPECT_EQ(page->ShowItems(ids, 0), 1);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page->GetHwnd(), IDC_BACK)));
    delete page;
}

TEST_F(WndBaseFixture, SetItemStrings_SkipsMissingControlsAndCarriesOn)
{
    CProbe* page = MakePage(IDD_EULA);
    const WndPair texts[] = {
        { IDC_EULA_HEADING, 132 },
        { 4444, 98 },         // no such control
        { IDC_BACK, 999999 }, // no such string: empty text
        { IDC_NEXT, 99 },
        { 0, 0 },
    };
    SetDlgItemTextW(page->GetHwnd(), IDC_BACK, L"old");
    page->SetItemStrings(texts);
    EXPECT_EQ(WindowText(GetDlgItem(page->GetHwnd(), IDC_EULA_HEADING)), StringText(*m_install, 132));
    EXPECT_EQ(WindowText(GetDlgItem(page->GetHwnd(), IDC_BACK)), L"");
    EXPECT_EQ(WindowText(GetDlgItem(page->GetHwnd(), IDC_NEXT)), StringText(*m_install, 99));
    EXPECT_EQ(page->SetItemString(IDC_NEXT, 999999), 0);
    delete page;
}

TEST_F(WndBaseFixture, FillCombo_AddsEntriesInOrderAndSelectsByData)
{
    const WndPair languages[] = { { 92, 0 }, { 91, 1 }, { 999999, 7 }, { 0, 0 } };
    struct Case
    {
        const char* name;
        u32 templateId;
        int comboId;
        u32 select;
        int selectedIndex;
        const wchar_t* order[3]; // by string: 0 = 92, 1 = 91, 2 = the missing one
    };
    // English < Polski, and the empty text of the missing string sorts first.
    const Case cases[] = {
        { "select the second entry", IDD_WELCOME, IDC_UILANG, 1, 1, { L"92", L"91", L"-" } },
        { "select the first entry", IDD_WELCOME, IDC_UILANG, 0, 0, { L"92", L"91", L"-" } },
        { "no entry carries the data", IDD_WELCOME, IDC_UILANG, 5, -1, { L"92", L"91", L"-" } },
        { "sorted list follows the data", IDD_SETUP, IDC_LAYOUT_LANG, 1, 2, { L"-", L"92", L"91" } },
        { "sorted list, entry without text", IDD_SETUP, IDC_LAYOUT_LANG, 7, 0, { L"-", L"92", L"91" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProbe* page = MakePage(c.templateId);
        HWND combo = GetDlgItem(page->GetHwnd(), c.comboId);
        ASSERT_NE(combo, nullptr);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"left over"));
        EXPECT_EQ(page->FillComboItem(c.comboId, languages, c.select), 1);
        ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
        for (int i = 0; i < 3; i++) {
            std::wstring expected = c.order[i] == std::wstring(L"-") ? L"" : StringText(*m_install, _wtoi(c.order[i]));
            EXPECT_EQ(ComboText(combo, i), expected) << "entry " << i;
        }
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), c.selectedIndex);
        if (c.selectedIndex >= 0) {
            EXPECT_EQ(static_cast<u32>(page->GetComboData(c.comboId)), c.select);
        } else {
            EXPECT_EQ(page->GetComboData(c.comboId), 0);
        }
        delete page;
    }
    CProbe* page = MakePage(IDD_WELCOME);
    EXPECT_EQ(page->FillCombo(0, languages, 0), 0);
    EXPECT_EQ(page->FillCombo(GetDlgItem(page->GetHwnd(), IDC_UILANG), 0, 0), 0);
    delete page;
}

} // namespace
