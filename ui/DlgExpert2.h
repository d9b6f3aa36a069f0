#pragma once

// The multimedia-key page: which scancode the platform reports for Caps
// Lock, left Ctrl and the multimedia keys. Every row is hidden in this
// configuration and nothing leads here, but the page is complete.

#include "ui/DlgInstallBase.h"

class CDlgExpert2 : public CDlgInstallBase
{
public:
    CDlgExpert2();
    ~CDlgExpert2() override;

    int OnInitDialog() override;
    int OnCommand() override;

    static const KeyPageLayout& Layout();

private:
    WndPair* m_rowMemory;
    u32 m_rowCount;
};
