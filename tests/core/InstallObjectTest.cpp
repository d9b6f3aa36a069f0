#include "core/Install.h"

#include <gtest/gtest.h>

TEST(InstallObject, ConstructorCopiesKeyTableWithLayoutTargetsCleared)
{
    CInstall install;
    ASSERT_NE(install.m_keys, nullptr);
    ASSERT_EQ(install.m_keyCount, 146);
    int defaultTargets = 0;
    for (int i = 0; i < install.m_keyCount; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(install.m_keys[i].scancode, g_defaultKeys[i].scancode);
        EXPECT_EQ(install.m_keys[i].nameId, g_defaultKeys[i].nameId);
        EXPECT_EQ(install.m_keys[i].mapTarget, 0);
        EXPECT_EQ(install.m_keys[i].target, 0);
        if (g_defaultKeys[i].target)
            defaultTargets++;
    }
    // The copy is a copy: the static table keeps its default virtual keys.
    EXPECT_EQ(defaultTargets, 144);
    EXPECT_EQ(install.m_keys[144].scancode, 0);
    EXPECT_EQ(install.m_keys[144].nameId, 154);
    EXPECT_EQ(install.m_keys[145].nameId, 0);
}

TEST(InstallObject, ConstructorEstablishesInitialState)
{
    CInstall install;
    EXPECT_EQ(install.m_hInstance, nullptr);
    EXPECT_EQ(install.m_processorArch, 0xFFFF);
    EXPECT_EQ(install.m_osVersion, 0);
    EXPECT_EQ(install.m_uiLanguage, 0);
    EXPECT_EQ(install.m_langEntryOption, 1);
    EXPECT_EQ(install.m_hotkeyOption, 1);
    EXPECT_EQ(install.m_desktopShortcuts, 1);
    EXPECT_EQ(install.m_family, -1);
    EXPECT_EQ(install.m_decimalFlag, -1);
    EXPECT_EQ(install.m_updateMode, 0);
    EXPECT_EQ(install.m_licenceAccepted, 0);
    EXPECT_EQ(install.m_wizard, nullptr);
    EXPECT_EQ(install.m_installCount, 0u);
    EXPECT_EQ(install.m_installedVersion, 0u);
    EXPECT_EQ(install.GetOwnerWindow(), nullptr);
    EXPECT_EQ(install.m_commonStrings.m_buffer, nullptr);
    EXPECT_EQ(install.m_setupStrings.m_count, 0u);
}

TEST(InstallObject, SettersRefuseOutOfRangeValues)
{
    struct Case {
        const char* name;
        int (*set)(CInstall&, int);
        i32 CInstall::*field;
        int value;
        int accepted;
    };
    const Case cases[] = {
        {"ui language 1", [](CInstall& in, int v) { return in.SetUiLanguage(v); }, &CInstall::m_uiLanguage, 1, 1},
        {"ui language 2", [](CInstall& in, int v) { return in.SetUiLanguage(v); }, &CInstall::m_uiLanguage, 2, 0},
        {"ui language -1", [](CInstall& in, int v) { return in.SetUiLanguage(v); }, &CInstall::m_uiLanguage, -1, 0},
        {"family 2", [](CInstall& in, int v) { return in.SetFamily(v); }, &CInstall::m_family, 2, 1},
        {"family 3", [](CInstall& in, int v) { return in.SetFamily(v); }, &CInstall::m_family, 3, 0},
        {"family -1", [](CInstall& in, int v) { return in.SetFamily(v); }, &CInstall::m_family, -1, 0},
        {"decimal 0", [](CInstall& in, int v) { return in.SetDecimalFlag(v); }, &CInstall::m_decimalFlag, 0, 1},
        {"decimal 1", [](CInstall& in, int v) { return in.SetDecimalFlag(v); }, &CInstall::m_decimalFlag, 1, 1},
        {"decimal 2", [](CInstall& in, int v) { return in.SetDecimalFlag(v); }, &CInstall::m_decimalFlag, 2, 0},
        {"decimal -1", [](CInstall& in, int v) { return in.SetDecimalFlag(v); }, &CInstall::m_decimalFlag, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CInstall install;
        i32 before = install.*c.field;
        c.set(install, c.value);
        EXPECT_EQ(install.*c.field, c.accepted ? c.value : before);
    }
}

TEST(InstallObject, UpdateModeOnAcceptsLicenceAndOffKeepsIt)
{
    CInstall install;
    install.SetUpdateMode(1);
    EXPECT_EQ(install.m_updateMode, 1);
    EXPECT_EQ(install.m_licenceAccepted, 1);
    install.SetUpdateMode(0);
    EXPECT_EQ(install.m_updateMode, 0);
    EXPECT_EQ(install.m_licenceAccepted, 1);
}

TEST(InstallObject, InitOpensThePayloadAndReadsTheDefaultLanguageId)
{
    CInstall install;
    ASSERT_TRUE(install.Init(GetModuleHandleW(0)));
    EXPECT_NE(install.m_wizard, nullptr);
    GString text;
    ASSERT_TRUE(install.GetString(86, text));
    unsigned int expected = 0;
    ASSERT_EQ(swscanf(text.MakeWide(), L"%X", &expected), 1);
    EXPECT_EQ(install.m_defaultLangId, static_cast<u16>(expected));
    EXPECT_NE(install.m_defaultLangId, 0);
    // Family and decimal key are known once Init has run.
    EXPECT_GE(install.m_family, 0);
    EXPECT_GE(install.m_decimalFlag, 0);
}

TEST(InstallObject, FinishWithoutAProcedureWritesNoStartupValueAndReleasesTheTexts)
{
    CInstall install;
    ASSERT_TRUE(install.Init(GetModuleHandleW(0)));
    GString runKey, valueName;
    ASSERT_TRUE(install.GetString(4, runKey));
    ASSERT_TRUE(install.GetString(71, valueName));
    HKEY key = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, runKey.MakeWide(), 0, 0, 0, KEY_ALL_ACCESS, 0, &key, 0),
              ERROR_SUCCESS);
    (void)RegDeleteValueW(key, valueName.MakeWide());

    install.Finish();
    EXPECT_EQ(install.m_wizard, nullptr);
    EXPECT_EQ(RegQueryValueExW(key, valueName.MakeWide(), 0, 0, 0, 0), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    GString after;
    EXPECT_EQ(install.GetString(86, after), 0);
    EXPECT_TRUE(after.IsEmpty());
}
