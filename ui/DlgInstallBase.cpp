#include "ui/DlgInstallBase.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

#include <stdlib.h>

const u16 kNoChange = 0;
// An entry the user cannot mistake for a choice: shown while a row is off.
static const wch kBlankEntry[] = W(" ");

CDlgInstallBase::CDlgInstallBase()
{
}

CDlgInstallBase::~CDlgInstallBase()
{
}

CInstall* CDlgInstallBase::GetInstallObject() const
{
    return m_wizard ? m_wizard->GetInstall() : 0;
}

u16 CDlgInstallBase::GetColumn(const KeyEntry& key, const KeyPageLayout& layout)
{
    return layout.editsMapTarget ? key.mapTarget : key.target;
}

void CDlgInstallBase::SetColumn(KeyEntry& key, const KeyPageLayout& layout, u16 value)
{
    if (layout.editsMapTarget)
        key.mapTarget = value;
    else
        key.target = value;
}

u32 CDlgInstallBase::CountPairs(const WndPair* table)
{
    u32 count = 0;
    while (table && table[count].first)
        count++;
    return count;
}

u16 CDlgInstallBase::RowScancode(const KeyPageLayout& layout, int listId) const
{
    if (listId <= 0)
        return 0;
    return LookupPair(static_cast<u32>(listId), layout.rows);
}

int CDlgInstallBase::InitRows(const KeyPageLayout& layout, WndPair*& rows, u32& rowCount, u32** filled)
{
    rowCount = CountPairs(layout.rows);
    rows = static_cast<WndPair*>(calloc(rowCount + 1, sizeof(WndPair)));
    if (!rows) {
        rowCount = 0;
        return 0;
    }
    if (filled) {
        *filled = static_cast<u32*>(calloc(rowCount, sizeof(u32)));
        if (!*filled) {
            free(rows);
            rows = 0;
            rowCount = 0;
            return 0;
        }
    }

    CInstall* install = GetInstallObject();
    for (u32 i = 0; i < rowCount; i++) {
        u16 scancode = static_cast<u16>(layout.rows[i].second);
        rows[i].first = scancode;
        rows[i].second = kNoChange;
        KeyEntry* key = install ? install->FindKey(scancode) : 0;
        if (!key)
            continue;
        rows[i].second = GetColumn(*key, layout);
        SetItemString(static_cast<int>(layout.rows[i].first) - kRowListOffset, key->nameId);
    }

    for (u32 i = 0; i < rowCount; i++) {
        u32 target = rows[i].second;
        if (!target)
            continue;
        int listId = static_cast<int>(layout.rows[i].first);
        CheckItem(listId - kRowListOffset, 1);
        EnableItem(listId, 1);
        HWND list = GetDlgItem(m_hwnd, listId);
        if (!list)
            continue;
        if (!layout.fillsOnDemand) {
            (void)FillListInFull(layout, listId, target);
            continue;
        }
        // Only the current target's text until the list is opened.
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const WndPair* choice = layout.choices; choice->first; choice++) {
            if (choice->second != target)
                continue;
            (void)LoadString(choice->first);
            const wch* text = m_text.MakeWide();
            LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : W("")));
            if (index >= 0) {
                SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), target);
                SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            }
            break;
        }
    }
    return 1;
}

int CDlgInstallBase::FillListInFull(const KeyPageLayout& layout, int listId, u32 select)
{
    HWND list = GetDlgItem(m_hwnd, listId);
    if (!list || !FillCombo(list, layout.choices, select))
        return 0;
    // "No change" is what an unticked row means; the list never offers it.
    SendMessageW(list, CB_DELETESTRING, 0, 0);
    return 1;
}

void CDlgInstallBase::ToggleRow(const KeyPageLayout& layout, WndPair* rows, u32 rowCount, u32* filled,
                                int checkId)
{
    int listId = checkId + kRowListOffset;
    u16 scancode = RowScancode(layout, listId);
    HWND list = GetDlgItem(m_hwnd, listId);
    WndPair* memory = scancode && rows ? FindPair(scancode, rows) : 0;
    if (!list || !memory)
        return;
    u32 row = static_cast<u32>(memory - rows);
    if (row >= rowCount)
        return;

    int ticked = IsItemChecked(checkId);
    EnableItem(listId, ticked);
    if (!ticked) {
        memory->second = static_cast<u32>(GetComboData(listId));
        LRESULT index = SendMessageW(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(kBlankEntry));
        if (index < 0)
            return;
        SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(index), kNoChange);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }

    LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    if (count <= 0 || (layout.fillsOnDemand && filled && !filled[row])) {
        (void)FillListInFull(layout, listId, kNoChange);
        if (layout.fillsOnDemand && filled)
            filled[row] = 1;
    } else {
        SendMessageW(list, CB_DELETESTRING, 0, 0);
    }

    u32 target = memory->second;
    if (!target) {
        CInstall* install = GetInstallObject();
        const KeyEntry* key = install ? install->FindDefaultKey(scancode) : 0;
        if (key)
            target = layout.editsMapTarget ? key->scancode : key->target;
    }
    int index = 0;
    for (u32 i = 1; layout.choices[i - 1].first && layout.choices[i].first; i++) {
        if (layout.choices[i].second == target) {
            index = static_cast<int>(i) - 1;
            break;
        }
    }
    SelectComboIndex(list, index);
}

void CDlgInstallBase::ChooseTarget(const KeyPageLayout& layout, WndPair* rows, int listId)
{
    u16 scancode = RowScancode(layout, listId);
    WndPair* memory = scancode && rows ? FindPair(scancode, rows) : 0;
    if (!memory)
        return;
    u16 value = static_cast<u16>(GetComboData(listId));
    CInstall* install = GetInstallObject();
    KeyEntry* key = install ? install->FindKey(scancode) : 0;
    if (key)
        SetColumn(*key, layout, value);
    memory->second = value;
}

void CDlgInstallBase::SaveRows(const KeyPageLayout& layout, const WndPair* rows, u32 rowCount)
{
    CInstall* install = GetInstallObject();
    if (!install || !rows)
        return;
    for (u32 i = 0; i < rowCount; i++) {
        int listId = static_cast<int>(layout.rows[i].first);
        KeyEntry* key = install->FindKey(static_cast<u16>(rows[i].first));
        if (!key)
            continue;
        u16 value = kNoChange;
        if (IsItemChecked(listId - kRowListOffset))
            value = static_cast<u16>(GetComboData(listId));
        SetColumn(*key, layout, value);
    }
    (void)install->NormaliseKeys();
}

int CDlgInstallBase::OnPageClick(const KeyPageLayout& layout, WndPair* rows, u32 rowCount, u32* filled,
                                 int otherPageId, u32 otherPageMessage)
{
    if (m_controlId == IDC_CANCEL) {
        // Leaving the wizard keeps what single choices already wrote.
        PostToMain(WM_WIZ_CANCEL);
        return 1;
    }
    if (m_controlId == IDC_BACK || m_controlId == otherPageId) {
        SaveRows(layout, rows, rowCount);
        PostToMain(m_controlId == IDC_BACK ? WM_WIZ_SETUP : otherPageMessage);
        return 1;
    }
    if (RowScancode(layout, m_controlId + kRowListOffset)) {
        ToggleRow(layout, rows, rowCount, filled, m_controlId);
        return 1;
    }
    return 0;
}
