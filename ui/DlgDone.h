#pragma once

// The finish page: what the install or the removal did, and one button that
// restarts the computer and closes the wizard. Closing the window instead
// ends the wizard without a restart.

#include "ui/WndBase.h"

class CDlgDone : public CWndBase
{
public:
    CDlgDone();
    ~CDlgDone() override;

    int OnInitDialog() override;
    int OnCommand() override;

private:
    // The second text after an installation.
    int BuildInstalledNote(GString& out);
};
