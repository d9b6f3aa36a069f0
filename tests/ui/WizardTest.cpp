#include "ui/Wizard.h"

#include "UiTestSupport.h"
#include "ui/WndMain.h"

#include <gtest/gtest.h>

namespace {

class WizardFixture : public InstallFixture
{
protected:
    HWND Main() { return m_wizard->GetMainWindow(); }
    HWND Page() { return m_wizard->GetCurrentPage() ? m_wizard->GetCurrentPage()->GetHwnd() : 0; }
    bool PageHas(int controlId) { return Page() && GetDlgItem(Page(), controlId); }

    // Runs the wizard's loop with the script; the script must end the loop,
    // after its last step unless the loop may end earlier.
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
        if (!mayEndEarly) {
            EXPECT_TRUE(script.Finished()) << "the loop ended at step " << script.StepIndex();
        }
        EXPECT_FALSE(script.TimedOut());
        script.Stop();
    }
};

TEST_F(WizardFixture, Init_CreatesTheBoldHeaderFontInTheFaceOfString40)
{
    HFONT font = m_wizard->GetHeaderFont();
    ASSERT_NE(font, nullptr);
    LOGFONTW described;
    ASSERT_EQ(GetObjectW(font, sizeof(described), &described), static_cast<int>(sizeof(described)));
    EXPECT_EQ(described.lfHeight, -30);
    EXPECT_EQ(described.lfWeight, 700);
    EXPECT_EQ(std::wstring(described.lfFaceName), StringText(*m_install, 40).substr(0, 31));
}

TEST(WizardInit, RefusesMissingInstallerObjectOrInstance)
{
    CWizard withoutInstall(0);
    EXPECT_EQ(withoutInstall.Init(GetModuleHandleW(0)), 0);
    CInstall install;
    CWizard withoutInstance(&install);
    EXPECT_EQ(withoutInstance.Init(0), 0);
}

TEST(InstallMessages, ShowMessageIdWithoutControllerShowsNothing)
{
    CInstall install;
    EXPECT_EQ(install.ShowMessageId(96, MB_OK), 0);
}

TEST_F(WizardFixture, RunLoop_ShowsTheWelcomePageBelowTheHeaderInACentredWindow)
{
    RECT window = {}, client = {}, page = {}, pageClient = {}, desktop = {};
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            EXPECT_EQ(m_install->GetPage(), kStepWelcome);
            GetWindowRect(Main(), &window);
            GetClientRect(Main(), &client);
            GetWindowRect(Page(), &page);
            GetClientRect(Page(), &pageClient);
            GetWindowRect(GetDesktopWindow(), &desktop);
            EXPECT_TRUE(IsWindowVisible(Main()));
            EXPECT_EQ(WindowText(Main()), StringText(*m_install, 93));
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_CLOSE, 0, 0);
            return true;
        },
    });
    RunWizard(script);

    i32 header = m_wizard->GetHeaderHeight();
    EXPECT_GT(header, 20);
    // The client area holds the header band and the page exactly.
    EXPECT_EQ(client.right, pageClient.right);
    EXPECT_EQ(client.bottom, pageClient.bottom + header);
    int windowWidth = window.right - window.left;
    int windowHeight = window.bottom - window.top;
    EXPECT_EQ(window.left, (desktop.right - windowWidth) / 2);
    EXPECT_EQ(window.top, (desktop.bottom - windowHeight) / 2);
    EXPECT_NE(windowWidth, kMainWidth);
}

TEST_F(WizardFixture, Navigation_FollowsTheStepAndKeepsTheWindowSize)
{
    HWND welcome = 0, licence = 0;
    RECT firstSize = {}, laterSize = {};
    POINT pageCorner = { -1, -1 };
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            welcome = Page();
            GetWindowRect(Main(), &firstSize);
            // Back on the first page changes nothing.
            PostMessageW(Main(), WM_WIZ_BACK, 0, 0);
            return true;
        },
        [&] {
            EXPECT_EQ(Page(), welcome);
            EXPECT_EQ(m_install->GetPage(), kStepWelcome);
            PostMessageW(Main(), WM_WIZ_NEXT, 0, 0);
            return true;
        },
        [&] {
            EXPECT_TRUE(PageHas(IDC_EULA_TEXT));
            EXPECT_FALSE(IsWindow(welcome));
            EXPECT_EQ(m_install->GetPage(), kStepLicence);
            licence = Page();
            GetWindowRect(Main(), &laterSize);
            RECT pageRect;
            GetWindowRect(Page(), &pageRect);
            pageCorner.x = pageRect.left;
            pageCorner.y = pageRect.top;
            ScreenToClient(Main(), &pageCorner);
            // A step that leads nowhere from here changes nothing.
            m_install->SetPage(kStepKeys);
            PostMessageW(Main(), WM_WIZ_NEXT, 0, 0);
            PostMessageW(Main(), WM_WIZ_BACK, 0, 0);
            return true;
        },
        [&] {
            EXPECT_EQ(Page(), licence);
            m_install->SetPage(kStepLicence);
            PostMessageW(Main(), WM_WIZ_BACK, 0, 0);
            return true;
        },
        [&] {
            EXPECT_TRUE(PageHas(IDC_WELCOME_HEADING));
            EXPECT_FALSE(IsWindow(licence));
            EXPECT_NE(Page(), welcome);
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_CLOSE, 0, 0);
            return true;
        },
    });
    RunWizard(script);

    EXPECT_EQ(laterSize.left, firstSize.left);
    EXPECT_EQ(laterSize.right, firstSize.right);
    EXPECT_EQ(laterSize.bottom, firstSize.bottom);
    // The second page sits below the header band like the first.
    EXPECT_EQ(pageCorner.x, 0);
    EXPECT_EQ(pageCorner.y, m_wizard->GetHeaderHeight());
}

TEST_F(WizardFixture, Cancel_AsksAndNoKeepsThePageYesEndsTheLoop)
{
    HWND page = 0;
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            page = Page();
            SendMessageW(GetDlgItem(page, IDC_CANCEL), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), StringText(*m_install, 96));
            EXPECT_EQ(WindowText(box), StringText(*m_install, 93));
            SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            if (OwnedMessageBox(Main()))
                return false;
            EXPECT_EQ(Page(), page);
            EXPECT_TRUE(IsWindow(Main()));
            // The close box asks the same question.
            PostMessageW(Main(), WM_CLOSE, 0, 0);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            SendMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            return true;
        },
    });
    RunWizard(script);

    // The loop ended because the windows are gone, and their objects with them.
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
    EXPECT_EQ(m_wizard->GetCurrentPage(), nullptr);
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(m_install->m_restartRequested, 0);
}

TEST_F(WizardFixture, CloseAtTheEndingStep_AsksNothing)
{
    bool asked = false;
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_CLOSE, 0, 0);
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
    EXPECT_EQ(script.StepIndex(), 1u);
    EXPECT_FALSE(asked);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
}

TEST_F(WizardFixture, Finish_AsksForTheRestartAndCloses)
{
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_WIZ_FINISH, 0, 0);
            return true;
        },
    });
    script.m_onTimeout = 0;
    RunWizard(script);
    EXPECT_EQ(m_install->m_restartRequested, 1);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
    m_install->m_restartRequested = 0;
}

TEST_F(WizardFixture, Teardown_DestroysWindowsLeftWhenTheLoopEnds)
{
    HWND main = 0, page = 0;
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            main = Main();
            page = Page();
            // As if the loop had failed: it ends with the windows still there.
            PostQuitMessage(0);
            return true;
        },
    });
    RunWizard(script);
    ASSERT_TRUE(IsWindow(main));
    ASSERT_TRUE(IsWindow(page));
    m_wizard->Teardown();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
    EXPECT_EQ(m_wizard->GetCurrentPage(), nullptr);
    EXPECT_EQ(m_wizard->GetHeaderFont(), nullptr);
}

TEST_F(WizardFixture, ShowWelcome_RefusesAPageThatIsShown)
{
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            HWND page = Page();
            EXPECT_EQ(m_wizard->ShowWelcome(), 0);
            EXPECT_EQ(Page(), page);
            EXPECT_EQ(m_wizard->ShowLicence(), 1);
            EXPECT_EQ(m_wizard->ShowLicence(), 0);
            EXPECT_TRUE(PageHas(IDC_EULA_TEXT));
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_CLOSE, 0, 0);
            return true;
        },
    });
    RunWizard(script);
}

TEST_F(WizardFixture, DisableAllControls_DisablesEveryControlOfThePage)
{
    CLoopScript script({
        [&] {
            if (!PageHas(IDC_WELCOME_HEADING))
                return false;
            m_wizard->DisableAllControls();
            int children = 0;
            for (HWND child = GetWindow(Page(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                children++;
                EXPECT_FALSE(IsWindowEnabled(child));
            }
            EXPECT_EQ(children, 11);
            m_install->SetPage(kStepEnding);
            PostMessageW(Main(), WM_CLOSE, 0, 0);
            return true;
        },
    });
    RunWizard(script);
}

} // namespace
