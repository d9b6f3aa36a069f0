// The finish page inside the running wizard: its texts after an install and
// after a removal, the restart button, and closing without a restart.

#include "ui/DlgDone.h"

#include "UiTestSupport.h"
#include "ui/WndMain.h"

#include <gtest/gtest.h>

namespace {

class DonePageFixture : public InstallFixture
{
protected:
    HWND Main() { return m_wizard->GetMainWindow(); }
    HWND Page() { return m_wizard->GetCurrentPage() ? m_wizard->GetCurrentPage()->GetHwnd() : 0; }
    HWND Item(int id) { return Page() ? GetDlgItem(Page(), id) : 0; }
    bool OnDone() { return Item(IDC_DONE_TEXT2) != 0; }
    std::wstring Text(int id) { return WindowText(Item(id)); }
    std::wstring S(u32 id) { return StringText(*m_install, id); }

    std::wstring Formatted(u32 formatId, u32 argumentId)
    {
        GString format, argument, out;
        m_install->GetString(formatId, format);
        m_install->GetString(argumentId, argument);
        out.Format(format.MakeWide(), argument.MakeWide());
        return out.MakeWide();
    }

    // From the welcome page to the finish page, as a procedure that ended
    // leaves the wizard.
    CLoopScript::Step ToDone()
    {
        return [this] {
            if (!Item(IDC_WELCOME_HEADING))
                return false;
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_WIZ_DONE, 0, 0);
            return true;
        };
    }

    void RunWizard(CLoopScript& script, bool mayEndEarly = false)
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
        if (!mayEndEarly)
            EXPECT_TRUE(script.Finished()) << "the loop ended at step " << script.StepIndex();
        EXPECT_FALSE(script.TimedOut());
        script.Stop();
    }

    void TearDown() override
    {
        // No test run may ask for a real restart.
        if (m_install)
            m_install->m_restartRequested = 0;
        InstallFixture::TearDown();
    }
};

TEST_F(DonePageFixture, Init_TellsWhatTheProcedureDid)
{
    struct Case
    {
        const char* name;
        i32 uninstallDone;
        i32 osVersion;
        i32 assocMatch;
        i32 uiLanguage;
    };
    const Case cases[] = {
        { "install on 6.1 with a browser", 0, 61, 1, 0 },
        { "install on 6.2 without a browser", 0, 62, 0, 0 },
        { "install on 5.1 with a browser", 0, 51, 1, 0 },
        { "install on 5.2 without a browser", 0, 52, 0, 1 },
        { "removal with a browser", 1, 61, 1, 0 },
        { "removal without a browser", 1, 61, 0, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_install->m_uninstallDone = c.uninstallDone;
        m_install->m_osVersion = c.osVersion;
        m_install->m_assocMatch = c.assocMatch;
        m_install->m_uiLanguage = c.uiLanguage;
        CLoopScript script({
            ToDone(),
            [&] {
                if (!OnDone())
                    return false;
                EXPECT_EQ(m_install->GetPage(), kStepEnding);
                EXPECT_EQ(Text(IDC_RESTART), S(137));
                if (c.uninstallDone) {
                    EXPECT_EQ(Text(IDC_DONE_TEXT1), L"");
                    EXPECT_EQ(Text(IDC_DONE_TEXT2), S(130));
                } else {
                    EXPECT_EQ(Text(IDC_DONE_TEXT1), S(136));
                    std::wstring note = c.osVersion >= 60 ? S(135) : Formatted(134, 81);
                    if (!c.assocMatch)
                        note += L"\n\n" + S(133);
                    EXPECT_EQ(Text(IDC_DONE_TEXT2), note);
                }
                EXPECT_EQ(GetFocus(), Item(IDC_RESTART));
                PostMessageW(Main(), WM_CLOSE, 0, 0);
                return true;
            },
        });
        RunWizard(script);
    }
}

TEST_F(DonePageFixture, RestartButton_AsksForTheRestartAndCloses)
{
    bool asked = false;
    CLoopScript script({
        ToDone(),
        [&] {
            if (!OnDone())
                return false;
            SendMessageW(Item(IDC_RESTART), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            // Reached only while the loop still runs: a question came up.
            HWND box = OwnedMessageBox(Main());
            asked = box != 0;
            if (box)
                SendMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            return true;
        },
    });
    RunWizard(script, true);
    EXPECT_EQ(script.StepIndex(), 2u);
    EXPECT_FALSE(asked);
    EXPECT_EQ(m_install->m_restartRequested, 1);
    EXPECT_EQ(m_install->GetPage(), kStepEnding);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
}

TEST_F(DonePageFixture, EnterPressesTheRestartButton)
{
    CLoopScript script({
        ToDone(),
        [&] {
            if (!OnDone())
                return false;
            // Through the loop's dialog manager, as a key press arrives.
            PostMessageW(Item(IDC_RESTART), WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageW(Item(IDC_RESTART), WM_KEYUP, VK_RETURN, 0xC01C0001);
            return true;
        },
    });
    RunWizard(script, true);
    EXPECT_EQ(m_install->m_restartRequested, 1);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
}

TEST_F(DonePageFixture, CloseBox_EndsWithoutQuestionOrRestart)
{
    bool asked = false;
    CLoopScript script({
        ToDone(),
        [&] {
            if (!OnDone())
                return false;
            // What the close box and Alt+F4 send.
            PostMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            asked = box != 0;
            if (box)
                SendMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            return true;
        },
    });
    RunWizard(script, true);
    EXPECT_EQ(script.StepIndex(), 2u);
    EXPECT_FALSE(asked);
    EXPECT_EQ(m_install->m_restartRequested, 0);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
}

} // namespace
