#pragma once

// Base of the key pages: a grid of rows, each a physical key with a check
// box and a list of what the key shall produce instead. The rows edit one
// column of the installer object's key table; what differs between the
// pages is data (KeyPageLayout).

#include "ui/WndBase.h"

class CInstall;
struct KeyEntry;

// A row's list id is its check box id plus this.
const int kRowListOffset = 100;

struct KeyPageLayout
{
    i32 step;
    const WndPair* texts;   // control -> string
    const WndPair* rows;    // list id -> scancode
    const WndPair* choices; // string -> target; entry 0 is "no change"
    const u32* hidden;      // controls hidden at start, 0-terminated
    i32 editsMapTarget;     // 0: layout target column, 1: scancode-map column
    i32 fillsOnDemand;      // lists hold one entry until first needed
};

// The row memory is one (scancode, target) pair per row in row-table order,
// followed by a zero pair so that FindPair stops at its end.
class CDlgInstallBase : public CWndBase
{
public:
    CDlgInstallBase();
    ~CDlgInstallBase() override;

protected:
    CInstall* GetInstallObject() const;
    static u16 GetColumn(const KeyEntry& key, const KeyPageLayout& layout);
    static void SetColumn(KeyEntry& key, const KeyPageLayout& layout, u16 value);
    static u32 CountPairs(const WndPair* table);

    // Allocates the row memory (and the filled flags when wanted) and shows
    // every row's key and current target. 0 when the memory cannot be had.
    int InitRows(const KeyPageLayout& layout, WndPair*& rows, u32& rowCount, u32** filled);
    // The list holds every choice but "no change", the target selected.
    int FillListInFull(const KeyPageLayout& layout, int listId, u32 select);
    void ToggleRow(const KeyPageLayout& layout, WndPair* rows, u32 rowCount, u32* filled, int checkId);
    void ChooseTarget(const KeyPageLayout& layout, WndPair* rows, int listId);
    void SaveRows(const KeyPageLayout& layout, const WndPair* rows, u32 rowCount);
    // Cancel, Back, the other page's button and the rows' check boxes; 0 for
    // other controls. otherPageId leads to otherPageMessage, saving first.
    int OnPageClick(const KeyPageLayout& layout, WndPair* rows, u32 rowCount, u32* filled, int otherPageId,
                    u32 otherPageMessage);
    // A row's list as the page's row table knows it; 0 for other controls.
    u16 RowScancode(const KeyPageLayout& layout, int listId) const;
};
