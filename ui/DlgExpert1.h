#pragma once

// The modifier-key page: which virtual key the installed layout gives to
// Shift, Ctrl, Alt, the Windows and Application keys, the 102nd key, Tab
// and the lock keys.

#include "ui/DlgInstallBase.h"

class CDlgExpert1 : public CDlgInstallBase
{
public:
    CDlgExpert1();
    ~CDlgExpert1() override;

    int OnInitDialog() override;
    int OnCommand() override;

    static const KeyPageLayout& Layout();

private:
    WndPair* m_rowMemory;
    u32 m_rowCount;
    u32* m_filled;
};
