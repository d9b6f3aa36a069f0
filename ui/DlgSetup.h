#pragma once

// The setup page: the language the layout is installed under, the options,
// the letter arrangement and the decimal key, and the Install button. Every
// choice goes straight into the installer object; the page keeps nothing.

#include "ui/WndBase.h"

class CDlgSetup : public CWndBase
{
public:
    // Frees the layout list and the name buffer of the locale enumeration.
    CDlgSetup();
    // Frees them again and forgets the list being filled.
    ~CDlgSetup() override;

    int OnInitDialog() override;
    int OnCommand() override;

private:
    // Installed locales whose language has a loaded keyboard layout, and
    // the current one; selects the current one.
    void FillLanguageList();
    // Text of 1200: the language name and the layout's name.
    void SetLangEntryText();
    void ApplyLanguageControls();
    void ApplyHotkeyOption();
    void ApplyDesktopOption();
    void SetHeading();
    void OnLanguageChosen();
    int OnInstall();
    // Ends the wizard without the quit question after a message.
    void EndWithMessage(u32 textId);
};
