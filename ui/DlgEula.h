#pragma once

// The licence page: the licence agreement in the interface language; Next
// is enabled only while the agreement is accepted.

#include "ui/WndBase.h"

class CDlgEula : public CWndBase
{
public:
    CDlgEula();
    ~CDlgEula() override;

    int OnInitDialog() override;
    int OnCommand() override;
};
