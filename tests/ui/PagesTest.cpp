// The welcome and licence pages inside the running wizard.

#include "ui/DlgEula.h"
#include "ui/DlgWelcome.h"

#include "UiTestSupport.h"
#include "ui/WndMain.h"

#include <gtest/gtest.h>

namespace {

const u32 kThisVersion = 190;

class PagesFixture : public InstallFixture
{
protected:
    HWND Main() { return m_wizard->GetMainWindow(); }
    HWND Page() { return m_wizard->GetCurrentPage() ? m_wizard->GetCurrentPage()->GetHwnd() : 0; }
    HWND Item(int id) { return Page() ? GetDlgItem(Page(), id) : 0; }
    bool OnWelcome() { return Item(IDC_WELCOME_HEADING) != 0; }
    bool OnLicence() { return Item(IDC_EULA_TEXT) != 0; }
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

    bool Shown(int id) { return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != 0; }

    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    // For a click whose handler waits in a message box.
    void ClickLater(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }

    // Ends the wizard from a step without any question.
    bool End()
    {
        m_install->SetPage(kStepEnding);
        PostMessageW(Main(), WM_CLOSE, 0, 0);
        return true;
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
        if (!mayEndEarly) {
            EXPECT_TRUE(script.Finished()) << "the loop ended at step " << script.StepIndex();
        }
        EXPECT_FALSE(script.TimedOut());
    }

    void CheckWelcomeTexts(bool installed, const char* what)
    {
        SCOPED_TRACE(what);
        EXPECT_EQ(Text(IDC_WELCOME_HEADING), Formatted(installed ? 141 : 97, 81));
        EXPECT_EQ(Text(IDC_WELCOME_BODY), S(installed ? 136 : 131));
        const WndPair texts[] = { { IDC_UILANG_LABEL, 1 }, { IDC_REMOVE, 127 }, { IDC_CANCEL, 98 }, { IDC_NEXT, 99 },
            { IDC_OPEN_ASSOCIATED, 140 }, { IDC_CHANGE, 128 } };
        for (const WndPair& pair : texts)
            EXPECT_EQ(Text(pair.first), S(pair.second)) << "control " << pair.first;
        HWND list = Item(IDC_UILANG);
        ASSERT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 2);
        const u32 names[2] = { 92, 91 };
        for (int i = 0; i < 2; i++) {
            wchar_t entry[128] = { 0 };
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
            EXPECT_EQ(std::wstring(entry), S(names[i])) << "entry " << i;
            EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, i, 0), i);
        }
        LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
        EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, selected, 0), m_install->GetUiLanguage());
    }
};

TEST_F(PagesFixture, Welcome_ShowsTheButtonsOfTheInstallationItFinds)
{
    struct Case
    {
        const char* name;
        u32 installedVersion;
        bool installed;
    };
    const Case cases[] = {
        { "nothing installed", 0, false },
        { "an earlier product", 130, false },
        { "this version", kThisVersion, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_install->m_installedVersion = c.installedVersion;
        CLoopScript script({
            [&] {
                if (!OnWelcome())
                    return false;
                EXPECT_EQ(m_install->GetPage(), kStepWelcome);
                CheckWelcomeTexts(c.installed, c.name);
                EXPECT_EQ(Shown(IDC_NEXT), !c.installed);
                EXPECT_EQ(Enabled(IDC_NEXT), !c.installed);
                const int installedOnly[] = { IDC_REMOVE, IDC_CHANGE, IDC_OPEN_ASSOCIATED };
                for (int id : installedOnly) {
                    EXPECT_EQ(Shown(id), c.installed) << "control " << id;
                    EXPECT_EQ(Enabled(id), c.installed) << "control " << id;
                }
                EXPECT_TRUE(Shown(IDC_CANCEL) && Enabled(IDC_CANCEL));
                EXPECT_TRUE(Shown(IDC_UILANG) && Enabled(IDC_UILANG));
                return End();
            },
        });
        RunWizard(script);
        ASSERT_TRUE(Reopen());
    }
}

TEST_F(PagesFixture, Welcome_LanguageSwitchRetextsThePageAndTheHeader)
{
    m_install->m_installedVersion = kThisVersion;
    std::wstring title;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            title = WindowText(Main());
            HWND list = Item(IDC_UILANG);
            SendMessageW(list, CB_SETCURSEL, 1, 0);
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_UILANG, CBN_SELENDOK), reinterpret_cast<LPARAM>(list));
            EXPECT_EQ(m_install->GetUiLanguage(), 1);
            CheckWelcomeTexts(true, "after the switch to language 1");
            // The title keeps the language it was created in.
            EXPECT_EQ(WindowText(Main()), title);
            // Other notifications of the list change nothing.
            SendMessageW(list, CB_SETCURSEL, 0, 0);
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_UILANG, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
            EXPECT_EQ(m_install->GetUiLanguage(), 1);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Welcome_NextWhileThisVersionIsInstalledChangesNothing)
{
    m_install->m_installedVersion = kThisVersion;
    HWND welcome = 0;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            welcome = Page();
            SendMessageW(welcome, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
            return true;
        },
        [&] {
            EXPECT_EQ(Page(), welcome);
            EXPECT_EQ(m_install->GetPage(), kStepWelcome);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Welcome_RemoveWithoutAdministratorRightsExplainsAndEnds)
{
    m_install->m_installedVersion = kThisVersion;
    m_install->m_isAdmin = 0;
    int boxes = 0;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            ClickLater(IDC_REMOVE);
            return true;
        },
        [&] {
            // The message shows inside the click; the script runs in its loop.
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            boxes++;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), S(123));
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            // Reached only if the wizard did not end: it asked something more.
            HWND box = OwnedMessageBox(Main());
            if (box) {
                boxes++;
                SendMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            }
            return true;
        },
    });
    RunWizard(script, true);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(m_install->GetPage(), kStepEnding);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
}

TEST_F(PagesFixture, Welcome_RemoveAnsweredNoLeavesThePageUsable)
{
    m_install->m_installedVersion = kThisVersion;
    m_install->m_isAdmin = 1;
    HWND welcome = 0;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            welcome = Page();
            ClickLater(IDC_REMOVE);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), Formatted(129, 0));
            SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            if (OwnedMessageBox(Main()))
                return false;
            EXPECT_EQ(Page(), welcome);
            EXPECT_EQ(m_install->GetPage(), kStepWelcome);
            const int usable[] = { IDC_REMOVE, IDC_CHANGE, IDC_OPEN_ASSOCIATED, IDC_CANCEL, IDC_UILANG };
            for (int id : usable)
                EXPECT_TRUE(Enabled(id)) << "control " << id;
            EXPECT_EQ(m_install->m_uninstallDone, 0);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Welcome_ChangeSwitchesToUpdateMode)
{
    m_install->m_installedVersion = kThisVersion;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            EXPECT_EQ(m_install->m_licenceAccepted, 0);
            Click(IDC_CHANGE);
            EXPECT_EQ(m_install->GetUpdateMode(), 1);
            EXPECT_EQ(m_install->m_licenceAccepted, 1);
            EXPECT_EQ(m_install->GetPage(), kStepSetup);
            return true;
        },
        [&] { return End(); },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Welcome_ChangeOnANewInstallationChangesNothing)
{
    m_install->m_installedVersion = 0;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_CHANGE, BN_CLICKED), 0);
            EXPECT_EQ(m_install->GetUpdateMode(), 0);
            EXPECT_EQ(m_install->m_licenceAccepted, 0);
            EXPECT_EQ(m_install->GetPage(), kStepWelcome);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Licence_ShowsTheTextOfTheInterfaceLanguageWithEditLineEnds)
{
    std::wstring shown[2];
    for (int language = 0; language < 2; language++) {
        SCOPED_TRACE(language);
        m_install->m_uiLanguage = language;
        CLoopScript script({
            [&] {
                if (!OnWelcome())
                    return false;
                Click(IDC_NEXT);
                return true;
            },
            [&] {
                if (!OnLicence())
                    return false;
                EXPECT_EQ(m_install->GetPage(), kStepLicence);
                EXPECT_EQ(Text(IDC_EULA_HEADING), S(132));
                EXPECT_EQ(Text(IDC_EULA_ACCEPT), S(105));
                EXPECT_EQ(Text(IDC_BACK), S(100));
                EXPECT_EQ(Text(IDC_NEXT), S(99));
                EXPECT_EQ(Text(IDC_CANCEL), S(98));
                HWND edit = Item(IDC_EULA_TEXT);
                int length = GetWindowTextLengthW(edit);
                std::vector<wchar_t> text(length + 1);
                GetWindowTextW(edit, &text[0], length + 1);
                shown[language].assign(&text[0], length);
                return End();
            },
        });
        RunWizard(script);
        ASSERT_TRUE(Reopen());
    }
    for (int language = 0; language < 2; language++) {
        const std::wstring& text = shown[language];
        EXPECT_GT(text.size(), 200u) << "language " << language;
        EXPECT_NE(text.find(L"\r\n"), std::wstring::npos) << "language " << language;
        for (size_t i = 0; i < text.size(); i++) {
            if (text[i] == L'\n') {
                ASSERT_TRUE(i > 0 && text[i - 1] == L'\r') << "a bare line feed at " << i << ", language " << language;
            }
        }
    }
    EXPECT_NE(shown[0], shown[1]);
}

TEST_F(PagesFixture, Licence_TheBoxGatesNextAndTheChoiceIsRemembered)
{
    HWND licence = 0;
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            Click(IDC_NEXT);
            return true;
        },
        [&] {
            if (!OnLicence())
                return false;
            licence = Page();
            EXPECT_FALSE(Enabled(IDC_NEXT));
            EXPECT_EQ(SendMessageW(Item(IDC_EULA_ACCEPT), BM_GETCHECK, 0, 0), BST_UNCHECKED);
            // Enter on the disabled Next does not go on.
            SendMessageW(licence, WM_COMMAND, MAKEWPARAM(IDC_NEXT, BN_CLICKED), 0);
            return true;
        },
        [&] {
            EXPECT_EQ(Page(), licence);
            Click(IDC_EULA_ACCEPT);
            EXPECT_TRUE(Enabled(IDC_NEXT));
            EXPECT_EQ(m_install->m_licenceAccepted, 1);
            Click(IDC_EULA_ACCEPT);
            EXPECT_FALSE(Enabled(IDC_NEXT));
            EXPECT_EQ(m_install->m_licenceAccepted, 0);
            Click(IDC_EULA_ACCEPT);
            Click(IDC_BACK);
            return true;
        },
        [&] {
            if (!OnWelcome())
                return false;
            Click(IDC_NEXT);
            return true;
        },
        [&] {
            if (!OnLicence())
                return false;
            EXPECT_NE(Page(), licence);
            EXPECT_EQ(SendMessageW(Item(IDC_EULA_ACCEPT), BM_GETCHECK, 0, 0), BST_CHECKED);
            EXPECT_TRUE(Enabled(IDC_NEXT));
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(PagesFixture, Licence_FocusOnTheTextSelectsNothing)
{
    CLoopScript script({
        [&] {
            if (!OnWelcome())
                return false;
            Click(IDC_NEXT);
            return true;
        },
        [&] {
            if (!OnLicence())
                return false;
            HWND edit = Item(IDC_EULA_TEXT);
            SendMessageW(edit, EM_SETSEL, 0, 50);
            SetFocus(edit);
            DWORD start = 0, end = 0;
            SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, end);
            return End();
        },
    });
    RunWizard(script);
}

} // namespace
