// The setup page inside the running wizard: which controls the Windows
// version and update mode leave, the language list, the choices written
// back, and Install with its two ways of ending the wizard.

#include "ui/DlgSetup.h"

#include "UiTestSupport.h"
#include "ui/WndMain.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

typedef std::vector<std::pair<std::wstring, LRESULT>> ComboEntries;

std::wstring LocaleName(LCID locale)
{
    wchar_t name[256] = { 0 };
    GetLocaleInfoW(locale, LOCALE_SLANGUAGE, name, 256);
    return name;
}

std::set<u16> LoadedLayoutLanguages()
{
    std::set<u16> languages;
    HKL layouts[64];
    int count = GetKeyboardLayoutList(64, layouts);
    for (int i = 0; i < count; i++)
        languages.insert(static_cast<u16>(reinterpret_cast<UINT_PTR>(layouts[i]) & 0xFFFF));
    return languages;
}

// An installed locale whose language no loaded keyboard layout has.
LCID LocaleWithoutLayout()
{
    const LCID candidates[] = { 0x0407, 0x040C, 0x0410, 0x0411, 0x0413, 0x041D };
    std::set<u16> loaded = LoadedLayoutLanguages();
    for (LCID locale : candidates) {
        if (!loaded.count(static_cast<u16>(locale)) && IsValidLocale(locale, LCID_INSTALLED))
            return locale;
    }
    return 0;
}

class SetupPageFixture : public InstallFixture
{
protected:
    void SetUp() override
    {
        InstallFixture::SetUp();
        if (!m_install)
            return;
        m_install->m_osVersion = 61;
        m_install->m_isAdmin = 1;
        m_install->m_layoutLangId = 0x0409;
        m_install->m_family = 1;
        m_install->m_decimalFlag = 0;
    }

    HWND Main() { return m_wizard->GetMainWindow(); }
    HWND Page() { return m_wizard->GetCurrentPage() ? m_wizard->GetCurrentPage()->GetHwnd() : 0; }
    HWND Item(int id) { return Page() ? GetDlgItem(Page(), id) : 0; }
    bool OnSetup() { return Item(IDC_INSTALL) != 0; }
    std::wstring Text(int id) { return WindowText(Item(id)); }
    std::wstring S(u32 id) { return StringText(*m_install, id); }
    bool Shown(int id) { return (GetWindowLongPtrW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != 0; }
    bool Ticked(int id) { return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    // For a button whose handler waits in a modal loop: the step must return first.
    void ClickLater(int id) { PostMessageW(Item(id), BM_CLICK, 0, 0); }

    std::wstring Formatted(u32 formatId, const std::wstring& argument)
    {
        GString format, out;
        m_install->GetString(formatId, format);
        out.Format(format.MakeWide(), argument.c_str());
        return out.MakeWide();
    }

    std::wstring LangEntryText(const std::wstring& languageName)
    {
        return Formatted(102, languageName + L" - " + S(81));
    }

    ComboEntries Entries(int id)
    {
        ComboEntries entries;
        HWND list = Item(id);
        LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; i++) {
            wchar_t text[512] = { 0 };
            if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < 512)
                SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            entries.push_back(std::make_pair(std::wstring(text), SendMessageW(list, CB_GETITEMDATA, i, 0)));
        }
        return entries;
    }

    LRESULT SelectedData(int id)
    {
        LRESULT index = SendMessageW(Item(id), CB_GETCURSEL, 0, 0);
        return index < 0 ? -1 : SendMessageW(Item(id), CB_GETITEMDATA, index, 0);
    }

    // As the list tells its dialog when the user picks the entry with that data.
    bool Pick(int id, LRESULT data)
    {
        HWND list = Item(id);
        LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; i++) {
            if (SendMessageW(list, CB_GETITEMDATA, i, 0) != data)
                continue;
            SendMessageW(list, CB_SETCURSEL, i, 0);
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
            return true;
        }
        return false;
    }

    // The first step of every script: from the welcome page to this one.
    CLoopScript::Step ToSetup()
    {
        return [this] {
            if (!Item(IDC_WELCOME_HEADING))
                return false;
            PostMessageW(Main(), WM_WIZ_SETUP, 0, 0);
            return true;
        };
    }

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
        if (!mayEndEarly)
            EXPECT_TRUE(script.Finished()) << "the loop ended at step " << script.StepIndex();
        EXPECT_FALSE(script.TimedOut());
        script.Stop();
    }
};

TEST_F(SetupPageFixture, Init_VersionAndUpdateModeDecideWhichChoicesAreOffered)
{
    struct Case
    {
        const char* name;
        i32 osVersion;
        i32 updateMode;
        i32 langEntry;
        i32 hotkeys;
        i32 desktopBefore;
        bool languageOffered;
        bool hotkeysOffered;
        bool desktopOffered;
        bool desktopTicked;
        i32 desktopAfter;
    };
    const Case cases[] = {
        { "5.2, links chosen", 52, 0, 1, 1, 1, false, true, true, true, 1 },
        { "5.2, no links", 52, 0, 1, 0, 0, false, true, true, false, 0 },
        { "6.0", 60, 0, 1, 1, 1, true, true, true, true, 1 },
        { "6.1, option and links off", 61, 0, 0, 1, 0, true, true, true, false, 0 },
        { "6.2 forces the links", 62, 0, 1, 0, 0, true, true, false, true, 1 },
        { "10.0 forces the links", 100, 0, 0, 1, 0, true, true, false, true, 1 },
        { "6.1, update mode", 61, 1, 1, 1, 1, false, false, false, false, 1 },
        { "6.2, update mode", 62, 1, 1, 1, 0, false, false, false, false, 1 },
        { "5.2, update mode", 52, 1, 1, 1, 0, false, false, false, false, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_install->m_osVersion = c.osVersion;
        m_install->m_updateMode = c.updateMode;
        m_install->m_langEntryOption = c.langEntry;
        m_install->m_hotkeyOption = c.hotkeys;
        m_install->m_desktopShortcuts = c.desktopBefore;
        m_install->m_altSetB = c.hotkeys;
        CLoopScript script({
            ToSetup(),
            [&] {
                if (!OnSetup())
                    return false;
                EXPECT_EQ(m_install->GetPage(), kStepSetup);
                const int languageControls[] = { IDC_SETUP_HEADING, IDC_LAYOUT_LANG, IDC_LANG_ENTRY };
                for (int id : languageControls) {
                    EXPECT_EQ(Shown(id), c.languageOffered) << "control " << id;
                    EXPECT_EQ(Enabled(id), c.languageOffered) << "control " << id;
                }
                EXPECT_EQ(Ticked(IDC_LANG_ENTRY), c.languageOffered && c.langEntry);
                EXPECT_EQ(Shown(IDC_HOTKEYS), c.hotkeysOffered);
                EXPECT_EQ(Enabled(IDC_HOTKEYS), c.hotkeysOffered);
                EXPECT_EQ(Ticked(IDC_HOTKEYS), c.hotkeysOffered && c.hotkeys);
                EXPECT_EQ(Shown(IDC_DESKTOP_LINKS), c.desktopOffered);
                EXPECT_EQ(Enabled(IDC_DESKTOP_LINKS), c.desktopOffered);
                EXPECT_EQ(Ticked(IDC_DESKTOP_LINKS), c.desktopTicked);
                EXPECT_EQ(m_install->m_desktopShortcuts, c.desktopAfter);
                // Unticking a control leaves the choice as it was.
                EXPECT_EQ(m_install->m_langEntryOption, c.langEntry);
                EXPECT_EQ(m_install->m_hotkeyOption, c.hotkeys);

                EXPECT_FALSE(Shown(IDC_EXPERT2));
                EXPECT_FALSE(Enabled(IDC_EXPERT2));
                const int alwaysOffered[] = { IDC_ALT_SET, IDC_FAMILY, IDC_DECIMAL, IDC_CANCEL, IDC_BACK, IDC_EXPERT1,
                    IDC_INSTALL };
                for (int id : alwaysOffered) {
                    EXPECT_TRUE(Shown(id)) << "control " << id;
                    EXPECT_TRUE(Enabled(id)) << "control " << id;
                }
                EXPECT_EQ(Ticked(IDC_ALT_SET), c.hotkeys != 0);
                EXPECT_EQ(GetFocus(), Item(IDC_INSTALL));
                return End();
            },
        });
        RunWizard(script);
    }
}

TEST_F(SetupPageFixture, Init_ShowsTheTextsAndTheDetectedChoices)
{
    struct Case
    {
        const char* name;
        i32 uiLanguage;
        i32 family;
        i32 decimalFlag;
        LRESULT familySelected;
        LRESULT decimalSelected;
    };
    const Case cases[] = {
        { "English, QWERTZ, comma", 0, 1, 0, 1, 0 },
        { "Polish, Dvorak, full stop", 1, 2, 1, 2, 1 },
        { "English, QWERTY, full stop", 0, 0, 1, 0, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_install->m_uiLanguage = c.uiLanguage;
        m_install->m_family = c.family;
        m_install->m_decimalFlag = c.decimalFlag;
        CLoopScript script({
            ToSetup(),
            [&] {
                if (!OnSetup())
                    return false;
                const WndPair texts[] = { { IDC_CANCEL, 98 }, { IDC_BACK, 100 }, { IDC_INSTALL, 104 },
                    { IDC_DESKTOP_LINKS, 106 }, { IDC_HOTKEYS, 139 }, { IDC_ALT_SET, 109 }, { IDC_FAMILY_LABEL, 110 },
                    { IDC_DECIMAL_LABEL, 111 }, { IDC_SETUP_NOTE, 112 }, { IDC_EXPERT1, 152 }, { IDC_EXPERT2, 153 } };
                for (const WndPair& pair : texts)
                    EXPECT_EQ(Text(pair.first), S(pair.second)) << "control " << pair.first;
                EXPECT_EQ(Text(IDC_SETUP_HEADING), Formatted(101, S(81)));
                EXPECT_EQ(Text(IDC_LANG_ENTRY), LangEntryText(LocaleName(0x0409)));

                ComboEntries family = Entries(IDC_FAMILY);
                ComboEntries expectedFamily = { { S(113), 0 }, { S(114), 1 }, { S(115), 2 } };
                EXPECT_EQ(family, expectedFamily);
                EXPECT_EQ(SelectedData(IDC_FAMILY), c.familySelected);
                ComboEntries decimal = Entries(IDC_DECIMAL);
                ComboEntries expectedDecimal = { { S(119), 0 }, { S(120), 1 } };
                EXPECT_EQ(decimal, expectedDecimal);
                EXPECT_EQ(SelectedData(IDC_DECIMAL), c.decimalSelected);
                return End();
            },
        });
        RunWizard(script);
    }
}

TEST_F(SetupPageFixture, LanguageList_HoldsTheLocalesOfLoadedLayoutsAndTheCurrentLanguage)
{
    LCID unloaded = LocaleWithoutLayout();
    ASSERT_NE(unloaded, 0u) << "no installed locale without a keyboard layout to try";
    std::set<u16> loaded = LoadedLayoutLanguages();
    ASSERT_FALSE(loaded.empty());

    struct Case
    {
        const char* name;
        u16 current;
    };
    const Case cases[] = {
        { "a language with a layout", 0x0409 },
        { "a language without a layout", static_cast<u16>(unloaded) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_install->m_layoutLangId = c.current;
        CLoopScript script({
            ToSetup(),
            [&] {
                if (!OnSetup())
                    return false;
                ComboEntries entries = Entries(IDC_LAYOUT_LANG);
                bool currentListed = false;
                for (const auto& entry : entries) {
                    LCID locale = static_cast<LCID>(entry.second);
                    EXPECT_TRUE(loaded.count(static_cast<u16>(locale & 0xFFFF)) || locale == c.current)
                        << "locale " << std::hex << locale;
                    EXPECT_EQ(entry.first, LocaleName(locale)) << "locale " << std::hex << locale;
                    currentListed = currentListed || locale == c.current;
                }
                EXPECT_TRUE(currentListed);
                // Every loaded layout's own language is there.
                for (u16 language : loaded) {
                    if (!IsValidLocale(language, LCID_INSTALLED))
                        continue;
                    bool found = false;
                    for (const auto& entry : entries)
                        found = found || static_cast<LCID>(entry.second) == language;
                    EXPECT_TRUE(found) << "language " << std::hex << language;
                }
                if (c.current != unloaded) {
                    for (const auto& entry : entries)
                        EXPECT_NE(static_cast<LCID>(entry.second), unloaded);
                }
                // The current language selected and named.
                EXPECT_EQ(SelectedData(IDC_LAYOUT_LANG), static_cast<LRESULT>(c.current));
                EXPECT_EQ(std::wstring(m_install->m_langName.MakeWide()), LocaleName(c.current));
                EXPECT_EQ(Text(IDC_LANG_ENTRY), LangEntryText(LocaleName(c.current)));
                return End();
            },
        });
        RunWizard(script);
    }
}

TEST_F(SetupPageFixture, LanguageChosen_RenamesTheDefaultBoxAtOnceAndSurvivesTheWayBack)
{
    LCID unloaded = LocaleWithoutLayout();
    ASSERT_NE(unloaded, 0u);
    m_install->m_layoutLangId = static_cast<u16>(unloaded);
    m_install->m_licenceAccepted = 1;
    LCID other = 0;
    CLoopScript script({
        ToSetup(),
        [&] {
            if (!OnSetup())
                return false;
            EXPECT_EQ(Text(IDC_LANG_ENTRY), LangEntryText(LocaleName(unloaded)));
            // Any listed language but the current one: a loaded layout's.
            for (const auto& entry : Entries(IDC_LAYOUT_LANG)) {
                if (static_cast<LCID>(entry.second) != unloaded && !other)
                    other = static_cast<LCID>(entry.second);
            }
            EXPECT_NE(other, 0u);
            EXPECT_TRUE(Pick(IDC_LAYOUT_LANG, other));
            EXPECT_EQ(m_install->m_layoutLangId, static_cast<u16>(other));
            EXPECT_EQ(std::wstring(m_install->m_langName.MakeWide()), LocaleName(other));
            EXPECT_EQ(Text(IDC_LANG_ENTRY), LangEntryText(LocaleName(other)));
            PostMessageW(Main(), WM_WIZ_BACK, 0, 0);
            return true;
        },
        [&] {
            if (!Item(IDC_EULA_TEXT))
                return false;
            PostMessageW(Main(), WM_WIZ_NEXT, 0, 0);
            return true;
        },
        [&] {
            if (!OnSetup())
                return false;
            EXPECT_EQ(SelectedData(IDC_LAYOUT_LANG), static_cast<LRESULT>(other));
            EXPECT_EQ(Text(IDC_LANG_ENTRY), LangEntryText(LocaleName(other)));
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(SetupPageFixture, Choices_AreWrittenAtOnceAndReadAgainByTheNextSetupPage)
{
    m_install->m_osVersion = 61;
    m_install->m_langEntryOption = 1;
    m_install->m_hotkeyOption = 1;
    m_install->m_desktopShortcuts = 1;
    m_install->m_altSetB = 0;
    m_install->m_licenceAccepted = 1;
    CLoopScript script({
        ToSetup(),
        [&] {
            if (!OnSetup())
                return false;
            struct Box
            {
                int id;
                i32* field;
            };
            const Box boxes[] = { { IDC_LANG_ENTRY, &m_install->m_langEntryOption },
                { IDC_HOTKEYS, &m_install->m_hotkeyOption }, { IDC_DESKTOP_LINKS, &m_install->m_desktopShortcuts },
                { IDC_ALT_SET, &m_install->m_altSetB } };
            for (const Box& box : boxes) {
                i32 before = *box.field;
                Click(box.id);
                EXPECT_EQ(*box.field, !before) << "control " << box.id;
                EXPECT_EQ(Ticked(box.id), *box.field != 0) << "control " << box.id;
            }
            EXPECT_TRUE(Pick(IDC_FAMILY, 2));
            EXPECT_EQ(m_install->m_family, 2);
            EXPECT_TRUE(Pick(IDC_DECIMAL, 1));
            EXPECT_EQ(m_install->m_decimalFlag, 1);

            // A list without a selection changes nothing.
            SendMessageW(Item(IDC_FAMILY), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_FAMILY, CBN_SELCHANGE),
                reinterpret_cast<LPARAM>(Item(IDC_FAMILY)));
            EXPECT_EQ(m_install->m_family, 2);
            SendMessageW(Item(IDC_LAYOUT_LANG), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            SendMessageW(Page(), WM_COMMAND, MAKEWPARAM(IDC_LAYOUT_LANG, CBN_SELCHANGE),
                reinterpret_cast<LPARAM>(Item(IDC_LAYOUT_LANG)));
            EXPECT_EQ(m_install->m_layoutLangId, 0x0409);
            PostMessageW(Main(), WM_WIZ_BACK, 0, 0);
            return true;
        },
        [&] {
            if (!Item(IDC_EULA_TEXT))
                return false;
            PostMessageW(Main(), WM_WIZ_NEXT, 0, 0);
            return true;
        },
        [&] {
            if (!OnSetup())
                return false;
            EXPECT_FALSE(Ticked(IDC_LANG_ENTRY));
            EXPECT_FALSE(Ticked(IDC_HOTKEYS));
            EXPECT_FALSE(Ticked(IDC_DESKTOP_LINKS));
            EXPECT_TRUE(Ticked(IDC_ALT_SET));
            EXPECT_EQ(SelectedData(IDC_FAMILY), 2);
            EXPECT_EQ(SelectedData(IDC_DECIMAL), 1);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(SetupPageFixture, Buttons_PostTheirNavigation)
{
    m_install->m_licenceAccepted = 1;
    CLoopScript script({
        ToSetup(),
        [&] {
            if (!OnSetup())
                return false;
            Click(IDC_BACK);
            return true;
        },
        [&] {
            if (!Item(IDC_EULA_TEXT))
                return false;
            EXPECT_EQ(m_install->GetPage(), kStepLicence);
            PostMessageW(Main(), WM_WIZ_NEXT, 0, 0);
            return true;
        },
        [&] {
            if (!OnSetup())
                return false;
            Click(IDC_CANCEL);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), S(96));
            SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            if (OwnedMessageBox(Main()) || !OnSetup())
                return false;
            EXPECT_EQ(m_install->GetPage(), kStepSetup);
            return End();
        },
    });
    RunWizard(script);
}

TEST_F(SetupPageFixture, Install_WithoutAdministratorRightsExplainsAndEndsWithoutInstalling)
{
    m_install->m_isAdmin = 0;
    int boxes = 0;
    bool pageUsable = false;
    CLoopScript script({
        ToSetup(),
        [&] {
            if (!OnSetup())
                return false;
            ClickLater(IDC_INSTALL);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            boxes++;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), S(123));
            // The procedure never ran: it would have disabled the page.
            pageUsable = Enabled(IDC_INSTALL) && Enabled(IDC_CANCEL);
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            // Reached only while the wizard still runs: it asked something more.
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
    EXPECT_TRUE(pageUsable);
    EXPECT_EQ(m_install->GetPage(), kStepEnding);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
    EXPECT_EQ(m_install->m_installDone, 0);
    EXPECT_EQ(m_install->m_restartRequested, 0);
}

TEST_F(SetupPageFixture, Install_FailingShowsTheFailureAndEndsWithoutTheFinishPage)
{
    // No paths were built: the procedure fails at its first folder.
    m_install->m_isAdmin = 1;
    int boxes = 0;
    bool pageDisabled = false;
    bool finishShown = false;
    CLoopScript script({
        ToSetup(),
        [&] {
            if (!OnSetup())
                return false;
            ClickLater(IDC_INSTALL);
            return true;
        },
        [&] {
            HWND box = OwnedMessageBox(Main());
            if (!box)
                return false;
            boxes++;
            EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), S(143));
            pageDisabled = OnSetup() && !Enabled(IDC_INSTALL) && !Enabled(IDC_CANCEL) && !Enabled(IDC_BACK);
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return true;
        },
        [&] {
            finishShown = Item(IDC_DONE_TEXT2) != 0;
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
    EXPECT_TRUE(pageDisabled);
    EXPECT_FALSE(finishShown);
    EXPECT_EQ(m_install->GetPage(), kStepEnding);
    EXPECT_EQ(m_wizard->GetMainWindow(), nullptr);
    EXPECT_EQ(m_install->m_installDone, 0);
    EXPECT_EQ(m_install->m_restartRequested, 0);
}

} // namespace
