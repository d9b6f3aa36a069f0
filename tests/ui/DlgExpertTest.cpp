// The key pages inside the running wizard: rows showing the key table,
// lists filled on demand, ticking, unticking, choosing and saving.

#include "ui/DlgExpert1.h"
#include "ui/DlgExpert2.h"

#include "UiTestSupport.h"
#include "ui/WndMain.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

const u16 kLeftShift = 0x2A;
const u16 kLeftCtrl = 0x1D;
const u16 kRightCtrl = 0xE01D;
const u16 kCapsLock = 0x3A;
const u16 kVkApps = 0x15D;
const u16 kVkLeftShift = 0xA0;
const u16 kVkLeftControl = 0xA2;
const u16 kTargetNone = 0xFF;

// Rows of the modifier page: check box 1300 + r, list 1400 + r.
const int kRowLeftShift = 1;
const int kRowLeftCtrl = 3;
const int kRowRightCtrl = 4;
const int kRowCapsLock = 12;

class KeyPageFixture : public InstallFixture
{
protected:
    HWND Main() { return m_wizard->GetMainWindow(); }
    HWND Page() { return m_wizard->GetCurrentPage() ? m_wizard->GetCurrentPage()->GetHwnd() : 0; }
    HWND Item(int id) { return Page() ? GetDlgItem(Page(), id) : 0; }
    static int Check(int row) { return IDC_EXPERT1_CHECK_BASE + row; }
    static int List(int row) { return IDC_EXPERT1_LIST_BASE + row; }
    bool OnModifierPage() { return Page() && Item(List(1)) && m_install->GetPage() == kStepKeys; }
    bool OnSetupPage() { return Item(IDC_INSTALL) != 0; }
    bool Ticked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Shown(int id) { return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    LRESULT Count(int id) { return SendMessageW(Item(id), CB_GETCOUNT, 0, 0); }
    std::wstring S(u32 id) { return StringText(*m_install, id); }

    LRESULT SelectedData(int id)
    {
        LRESULT index = SendMessageW(Item(id), CB_GETCURSEL, 0, 0);
        return index < 0 ? -1 : SendMessageW(Item(id), CB_GETITEMDATA, index, 0);
    }

    std::wstring SelectedText(int id)
    {
        LRESULT index = SendMessageW(Item(id), CB_GETCURSEL, 0, 0);
        wchar_t text[256] = { 0 };
        if (index >= 0 && SendMessageW(Item(id), CB_GETLBTEXTLEN, index, 0) < 256)
            SendMessageW(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    void Notify(int id, int code)
    {
        SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }

    // As the user opens the list, picks the entry with that data and closes it.
    bool Pick(int id, LRESULT data, int code = CBN_SELENDOK)
    {
        Notify(id, CBN_DROPDOWN);
        LRESULT count = Count(id);
        for (LRESULT i = 0; i < count; i++) {
            if (SendMessageW(Item(id), CB_GETITEMDATA, i, 0) != data)
                continue;
            SendMessageW(Item(id), CB_SETCURSEL, i, 0);
            Notify(id, code);
            return true;
        }
        return false;
    }

    u16 Target(u16 scancode)
    {
        KeyEntry* key = m_install->FindKey(scancode);
        return key ? key->target : 0xFFFF;
    }

    CLoopScript::Step ToModifierPage()
    {
        return [this] {
            if (!Item(IDC_WELCOME_HEADING))
                return false;
            PostMessageW(Main(), WM_WIZ_EXPERT1, 0, 0);
            return true;
        };
    }

    // Starts a picture of the screen into the run's screenshot folder; the
    // step returned waits until it is there (no folder: nothing to wait for).
    CLoopScript::Step Screenshot(const std::wstring& name)
    {
        return [this, name] {
            wchar_t dir[MAX_PATH] = { 0 };
            DWORD n = GetEnvironmentVariableW(L"KLAWISZ_SHOT_DIR", dir, MAX_PATH);
            if (n == 0 || n >= MAX_PATH || dir[0] != L'/')
                return true;
            std::wstring file = std::wstring(dir) + L"/" + name + L".png";
            std::wstring windowsFile = L"Z:" + file;
            for (wchar_t& c : windowsFile)
                c = c == L'/' ? L'\\' : c;
            if (!m_shotStarted) {
                RedrawWindow(Main(), 0, 0, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
                DeleteFileW(windowsFile.c_str());
                // Wine starts Unix programs too; the file appears once complete.
                std::wstring command = L"/bin/sh -c \"import -window root png:'" + file + L".part' && mv '" + file
                    + L".part' '" + file + L"'\"";
                STARTUPINFOW startup = {};
                startup.cb = sizeof(startup);
                PROCESS_INFORMATION process = {};
                if (!CreateProcessW(0, &command[0], 0, 0, FALSE, 0, 0, 0, &startup, &process))
                    return true;
                CloseHandle(process.hProcess);
                CloseHandle(process.hThread);
                m_shotStarted = true;
                return false;
            }
            if (GetFileAttributesW(windowsFile.c_str()) == INVALID_FILE_ATTRIBUTES)
                return false;
            m_shotStarted = false;
            return true;
        };
    }

    bool m_shotStarted = false;

    bool End()
    {
        m_install->SetPage(kStepEnding);
        PostMessageW(Main(), WM_CLOSE, 0, 0);
        return true;
    }

    void RunWizard(CLoopScript& script)
    {
        script.m_onTimeout = [this] {
            m_install->SetPage(kStepEnding);
            if (Main())
                DestroyWindow(Main());
            else
                PostQuitMessage(0);
        };
        script.Start();
        EXPECT_EQ(m_wizard->RunLoop(), 1);
        EXPECT_TRUE(script.Finished()) << "the loop ended at step " << script.StepIndex();
        script.Stop();
    }
};

TEST_F(KeyPageFixture, StoredTarget_ShowsTickedAndItsDropDownOffersAll26Targets)
{
    m_install->FindKey(kRightCtrl)->target = kVkApps;
    CLoopScript script({
        ToModifierPage(),
        [&] {
            if (!OnModifierPage())
                return false;
            // Rows name their keys; 14 rows are offered, the rest and the
            // multimedia button are hidden.
            EXPECT_EQ(WindowText(Item(Check(kRowRightCtrl))), S(283));
            EXPECT_TRUE(Shown(Check(14)));
            EXPECT_FALSE(Shown(Check(15)));
            EXPECT_FALSE(Shown(List(20)));
            EXPECT_FALSE(Shown(IDC_EXPERT2));
            // Only the remapped row's one text is there before the list opens.
            EXPECT_TRUE(Ticked(Check(kRowRightCtrl)));
            EXPECT_TRUE(IsWindowEnabled(Item(List(kRowRightCtrl))));
            EXPECT_EQ(Count(List(kRowRightCtrl)), 1);
            EXPECT_EQ(SelectedData(List(kRowRightCtrl)), kVkApps);
            EXPECT_EQ(SelectedText(List(kRowRightCtrl)), S(230));
            EXPECT_FALSE(Ticked(Check(kRowLeftCtrl)));
            EXPECT_FALSE(IsWindowEnabled(Item(List(kRowLeftCtrl))));
            EXPECT_EQ(Count(List(kRowLeftCtrl)), 0);

            Notify(List(kRowRightCtrl), CBN_DROPDOWN);
            EXPECT_EQ(Count(List(kRowRightCtrl)), 26);
            EXPECT_EQ(SelectedData(List(kRowRightCtrl)), kVkApps);
            // A second drop-down leaves the list as it is.
            SendMessageW(Item(List(kRowRightCtrl)), CB_SETCURSEL, 0, 0);
            Notify(List(kRowRightCtrl), CBN_DROPDOWN);
            EXPECT_EQ(SelectedData(List(kRowRightCtrl)), kTargetNone);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(KeyPageFixture, ChoosingAndLeaving_StoresTargetsNormalisedIntoTheKeyTable)
{
    m_install->FindKey(kRightCtrl)->target = kVkApps;
    CLoopScript script({
        ToModifierPage(),
        [&] {
            if (!OnModifierPage())
                return false;
            // Caps Lock becomes left Ctrl.
            Click(Check(kRowCapsLock));
            EXPECT_TRUE(IsWindowEnabled(Item(List(kRowCapsLock))));
            EXPECT_EQ(Count(List(kRowCapsLock)), 26);
            EXPECT_TRUE(Pick(List(kRowCapsLock), kVkLeftControl));
            EXPECT_EQ(Target(kCapsLock), kVkLeftControl);

            // Ticking an unremapped row shows the key's own default.
            Click(Check(kRowLeftShift));
            EXPECT_EQ(SelectedData(List(kRowLeftShift)), kVkLeftShift);

            // "None" switches a key off.
            Click(Check(kRowLeftCtrl));
            EXPECT_TRUE(Pick(List(kRowLeftCtrl), kTargetNone));
            EXPECT_EQ(Target(kLeftCtrl), kTargetNone);

            // Unticking shows a blank entry and drops the remapping on leaving.
            Click(Check(kRowRightCtrl));
            EXPECT_FALSE(IsWindowEnabled(Item(List(kRowRightCtrl))));
            EXPECT_EQ(SelectedText(List(kRowRightCtrl)), L" ");
            EXPECT_EQ(SelectedData(List(kRowRightCtrl)), 0);
            return true;
        },
        Screenshot(L"keys-modifier-page"),
        [&] {
            Click(IDC_BACK);
            return true;
        },
        [&] {
            if (!OnSetupPage())
                return false;
            EXPECT_EQ(Target(kCapsLock), kVkLeftControl);
            EXPECT_EQ(Target(kLeftCtrl), kTargetNone);
            EXPECT_EQ(Target(kLeftShift), 0) << "a key's own default is no remapping";
            EXPECT_EQ(Target(kRightCtrl), 0);

            // What the record stores (value 157): exactly the two remappings.
            u32 size = 0;
            u8* stored = m_install->BuildStoredOverrides(size);
            EXPECT_EQ(size, 8u);
            if (stored && size == 8) {
                u16 pairs[4];
                memcpy(pairs, stored, sizeof(pairs));
                EXPECT_EQ(pairs[0], kLeftCtrl);
                EXPECT_EQ(pairs[1], kTargetNone);
                EXPECT_EQ(pairs[2], kCapsLock);
                EXPECT_EQ(pairs[3], kVkLeftControl);
            }
            free(stored);
            PostMessageW(Main(), WM_WIZ_EXPERT1, 0, 0);
            return true;
        },
        [&] {
            if (!OnModifierPage())
                return false;
            // Coming back shows the saved state.
            EXPECT_TRUE(Ticked(Check(kRowCapsLock)));
            EXPECT_EQ(SelectedData(List(kRowCapsLock)), kVkLeftControl);
            EXPECT_TRUE(Ticked(Check(kRowLeftCtrl)));
            EXPECT_FALSE(Ticked(Check(kRowLeftShift)));
            EXPECT_FALSE(Ticked(Check(kRowRightCtrl)));
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(KeyPageFixture, UntickThenTick_ShowsTheTargetChosenBefore)
{
    CLoopScript script({
        ToModifierPage(),
        [&] {
            if (!OnModifierPage())
                return false;
            Click(Check(kRowCapsLock));
            EXPECT_TRUE(Pick(List(kRowCapsLock), kVkApps));
            Click(Check(kRowCapsLock));
            EXPECT_EQ(SelectedText(List(kRowCapsLock)), L" ");
            Click(Check(kRowCapsLock));
            EXPECT_EQ(Count(List(kRowCapsLock)), 26);
            EXPECT_EQ(SelectedData(List(kRowCapsLock)), kVkApps);
            // Cancel keeps what single choices wrote.
            Click(IDC_CANCEL);
            return true;
        },
        [&] {
            HWND box = FindWindowW(L"#32770", S(93).c_str());
            if (!box)
                return false;
            EXPECT_EQ(Target(kCapsLock), kVkApps);
            // The quit question: yes.
            PostMessageW(box, WM_COMMAND, IDYES, 0);
            return true;
        },
    });
    RunWizard(script);
}

TEST_F(KeyPageFixture, MultimediaPage_ShowsNoRowsButKeepsStoredScancodeMapTargets)
{
    KeyEntry* caps = m_install->FindKey(kCapsLock);
    ASSERT_NE(caps, nullptr);
    caps->mapTarget = kLeftCtrl;
    CLoopScript script({
        [&] {
            if (!Item(IDC_WELCOME_HEADING))
                return false;
            PostMessageW(Main(), WM_WIZ_EXPERT2, 0, 0);
            return true;
        },
        [&] {
            if (!Item(IDC_EXPERT2_LIST_BASE + 1) || m_install->GetPage() != kStepKeys)
                return false;
            for (int row = 1; row <= 20; row++) {
                EXPECT_FALSE(Shown(IDC_EXPERT2_CHECK_BASE + row)) << row;
                EXPECT_FALSE(Shown(IDC_EXPERT2_LIST_BASE + row)) << row;
            }
            // The remapped row is filled in full, without "no change".
            EXPECT_TRUE(Ticked(IDC_EXPERT2_CHECK_BASE + 1));
            EXPECT_EQ(Count(IDC_EXPERT2_LIST_BASE + 1), 23);
            EXPECT_EQ(SelectedData(IDC_EXPERT2_LIST_BASE + 1), kLeftCtrl);
            Click(IDC_BACK);
            return true;
        },
        [&] {
            if (!OnSetupPage())
                return false;
            EXPECT_EQ(m_install->FindKey(kCapsLock)->mapTarget, kLeftCtrl);
            return End();
        },
    });
    RunWizard(script);
}

} // namespace
