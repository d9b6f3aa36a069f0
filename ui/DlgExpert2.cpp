#include "ui/DlgExpert2.h"

#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

#include <stdlib.h>

CDlgExpert2::CDlgExpert2()
    : m_rowMemory(0),
      m_rowCount(0)
{
}

CDlgExpert2::~CDlgExpert2()
{
    free(m_rowMemory);
}

int CDlgExpert2::OnInitDialog()
{
    const KeyPageLayout& layout = Layout();
    SetPage(layout.step);
    FitToPage();
    EnableItems(layout.hidden, 0);
    ShowItems(layout.hidden, 0);
    SetItemStrings(layout.texts);
    (void)InitRows(layout, m_rowMemory, m_rowCount, 0);
    SetForegroundWindow(m_hwnd);
    return 1;
}

int CDlgExpert2::OnCommand()
{
    const KeyPageLayout& layout = Layout();
    if (m_notifyCode == CBN_SELCHANGE && RowScancode(layout, m_controlId)) {
        ChooseTarget(layout, m_rowMemory, m_controlId);
        return 1;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;
    return OnPageClick(layout, m_rowMemory, m_rowCount, 0, IDC_EXPERT1, WM_WIZ_EXPERT1);
}
