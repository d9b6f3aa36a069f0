#include "ui/DlgExpert1.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

#include <stdlib.h>

CDlgExpert1::CDlgExpert1()
    : m_rowMemory(0),
      m_rowCount(0),
      m_filled(0)
{
}

CDlgExpert1::~CDlgExpert1()
{
    free(m_rowMemory);
    free(m_filled);
}

int CDlgExpert1::OnInitDialog()
{
    const KeyPageLayout& layout = Layout();
    SetPage(layout.step);
    FitToPage();
    EnableItems(layout.hidden, 0);
    ShowItems(layout.hidden, 0);
    SetItemStrings(layout.texts);
    (void)InitRows(layout, m_rowMemory, m_rowCount, &m_filled);

    HWND back = GetDlgItem(m_hwnd, IDC_BACK);
    if (back)
        SetFocus(back);
    SetForegroundWindow(m_hwnd);
    // The focus stays where it was put.
    return 0;
}

int CDlgExpert1::OnCommand()
{
    const KeyPageLayout& layout = Layout();
    int listId = m_controlId;
    u16 rowScancode = RowScancode(layout, listId);

    if (m_notifyCode == CBN_SELENDOK && rowScancode) {
        ChooseTarget(layout, m_rowMemory, listId);
        return 1;
    }
    if (m_notifyCode == CBN_DROPDOWN && rowScancode) {
        WndPair* memory = m_rowMemory ? FindPair(rowScancode, m_rowMemory) : 0;
        if (!memory || !m_filled)
            return 1;
        u32 row = static_cast<u32>(memory - m_rowMemory);
        if (row < m_rowCount && !m_filled[row]) {
            CInstall* install = GetInstallObject();
            const KeyEntry* key = install ? install->FindKey(rowScancode) : 0;
            (void)FillListInFull(layout, listId, key ? key->target : 0);
            m_filled[row] = 1;
        }
        return 1;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;
    return OnPageClick(layout, m_rowMemory, m_rowCount, m_filled, IDC_EXPERT2, WM_WIZ_EXPERT2);
}
