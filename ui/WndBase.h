#pragma once

// CWndBase binds one Win32 window (the main window or a page dialog) to one
// object. Every message is stored in the object, decoded once and routed to
// a virtual handler. It also carries the control operations the pages share.

#include "text/GString.h"
#include "text/Types.h"

#include <windows.h>

class CWizard;

// One entry of a page table: a text table (control id, string id), a choice
// table (string id, item data) or a row table (control id, scancode). A pair
// whose first value is 0 ends a table.
struct WndPair
{
    u32 first;
    u32 second;
};

class CWndBase
{
public:
    CWndBase();
    // Destroys a still attached window (detached first, so no handler runs
    // on a half-destroyed object) and unregisters the object's class.
    virtual ~CWndBase();

    // Message handlers: non-zero means handled; m_result is then the value
    // the message returns.
    virtual int OnMessage();
    virtual int OnCommand();
    virtual int OnNcDestroy();
    virtual int OnCreate();
    virtual int OnPaint();
    virtual int OnDestroy();
    virtual int OnClose();
    virtual int OnInitDialog();
    virtual int Close();

    // ---- Creation and lifetime ----

    void SetWizard(CWizard* wizard) { m_wizard = wizard; }
    CWizard* GetWizard() const { return m_wizard; }
    HWND GetHwnd() const { return m_hwnd; }

    int RegisterWindowClass();
    int Create(u32 titleId, u32 style, int width, int height);
    int CreateModeless(u32 templateId, HWND parent);
    int Destroy();
    int Attach(HWND hwnd);
    void Detach();
    // Deletes the object now, or, while one of its own handlers is still
    // running, as soon as the outermost of them has returned.
    void DeleteWhenIdle();

    // ---- Texts and messages (through the controller) ----

    int LoadString(u32 id);
    int LoadString(u32 id, GString& out);
    int ShowMessage(const wch* text, u32 type);
    int ShowMessageId(u32 textId, u32 type);
    i32 GetPage() const;
    void SetPage(i32 step);
    void PostToMain(u32 message);

    // ---- Control operations (ids of the attached dialog's controls) ----

    int EnableItem(int id, int on);
    int EnableItems(const u32* ids, int on);
    int ShowItem(int id, int on);
    int ShowItems(const u32* ids, int on);
    int SetItemString(int id, u32 stringId);
    int SetItemText(int id, const wch* text);
    void SetItemStrings(const WndPair* table);
    int IsItemChecked(int id);
    int CheckItem(int id, int on);
    LPARAM GetComboData(int id);
    LRESULT SelectComboIndex(HWND combo, int index);
    int FillCombo(HWND combo, const WndPair* table, u32 select);
    int FillComboItem(int id, const WndPair* table, u32 select);
    static u16 LookupPair(u32 key, const WndPair* table);
    static const WndPair* FindPair(u32 key, const WndPair* table);
    static WndPair* FindPair(u32 key, WndPair* table);

    // Places the page below the header band; sizes and centres the main
    // window around the first page of the run.
    int FitToPage();
    // Icon and header line of the main window.
    void PaintHeader(HDC dc);

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    CWndBase(const CWndBase&);
    CWndBase& operator=(const CWndBase&);

    void Decode(UINT message, WPARAM wParam, LPARAM lParam);
    // Height of one line of the header font, measured once on the main window.
    i32 MeasureHeaderText();

protected:
    HWND m_hwnd;
    u32 m_isDialog;
    u16 m_classAtom;
    CWizard* m_wizard;
    GString m_text;
    LRESULT m_result;
    i16 m_notifyCode;
    u16 m_controlId;
    HWND m_controlHwnd;
    u32 m_nmCode;
    NMHDR* m_nmhdr;
    u32 m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
    i32 m_textHeight;

private:
    // Handlers of this object on the stack, and a deletion that waits for them.
    i32 m_dispatchDepth;
    i32 m_deletePending;
};
