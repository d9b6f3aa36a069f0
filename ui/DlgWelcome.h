#pragma once

// The welcome page: greeting, the interface language, and the choice
// between a new installation and the installation of this version found on
// the machine (remove it, change it, or open the keyboard settings).

#include "ui/WndBase.h"

class CDlgWelcome : public CWndBase
{
public:
    CDlgWelcome();
    ~CDlgWelcome() override;

    int OnInitDialog() override;
    int OnCommand() override;

private:
    // 1 when this very version is installed.
    int IsInstalled() const;
    // Every text of the page in the current interface language.
    void FillTexts();
    // The buttons of an installed version, or those of a new installation.
    void ShowButtonSet();
    int Remove();
};
