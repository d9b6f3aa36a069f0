#pragma once

// The wizard controller: the one object through which the windows and the
// installer object meet. It owns the main window, the page objects, the
// header font and the message loop; windows reach texts, message boxes,
// page switches and the installer object's settings only through it.

#include "text/GString.h"
#include "text/Types.h"

#include <windows.h>

class CInstall;
class CWndBase;
class CWndMain;

// Wizard steps, held in the installer object's m_page. Step 5 is not used.
const i32 kStepWelcome = 1;
const i32 kStepLicence = 2;
const i32 kStepSetup = 3;
const i32 kStepKeys = 4;
const i32 kStepEnding = 6;

class CWizard
{
public:
    // Every field zero or null; the installer object stays the owner.
    explicit CWizard(CInstall* install);
    // Runs Teardown.
    ~CWizard();

    // ---- For the installer object ----

    // Stores the instance handle, creates the header font and initialises
    // the common controls. 0 without installer object or instance handle.
    int Init(HINSTANCE hInstance);
    // Creates the main window (which shows the welcome page) and runs the
    // message loop until the main window is gone. 0 when the main window
    // cannot be allocated or created; 1 otherwise.
    int RunLoop();
    // Deletes the header font and every remaining window object (a window
    // that still exists is destroyed with its object).
    void Teardown();

    // Message box owned by the main window (no owner without one), caption
    // string 93; the MessageBoxW result.
    int ShowMessage(const wch* text, u32 type);
    int ShowMessageId(u32 textId, u32 type);
    // The main window's handle, null when there is none.
    HWND GetMainWindow() const;
    // Disables every child window of the current page, so that it cannot be
    // used while a procedure runs.
    void DisableAllControls();

    // ---- For the windows ----

    int LoadString(u32 id);
    int LoadString(u32 id, GString& out);
    const GString& Text() const { return m_text; }

    // Create and show one page, destroying the current one. 1 on success
    // (also when its dialog could not be created: the main window then shows
    // no page), 0 when that page already exists or cannot be allocated.
    int ShowWelcome();
    int ShowLicence();
    int ShowSetup();
    int ShowExpert1();
    int ShowExpert2();
    int ShowDone();

    // Called from a window object's OnNcDestroy: clears every field that
    // refers to the object and deletes it (once its own handler returned).
    void Forget(CWndBase* wnd);
    // Clears every field that refers to the object without deleting it.
    void Unlink(CWndBase* wnd);

    HINSTANCE GetInstance() const { return m_hInstance; }
    CInstall* GetInstall() const { return m_install; }
    CWndBase* GetCurrentPage() const { return m_currentPage; }
    HFONT GetHeaderFont() const { return m_headerFont; }
    i32 GetHeaderHeight() const { return m_headerHeight; }
    void SetHeaderHeight(i32 height) { m_headerHeight = height; }
    i32 IsSized() const { return m_sized; }
    void SetSized() { m_sized = 1; }

    // ---- Procedures of the installer object the pages start ----
    // Each returns non-zero for success; an operation whose procedure is not
    // part of this program reports failure.

    int Install();
    int Uninstall();
    // Starts the program associated with the extension of string
    // extensionId through command format formatId with the given argument.
    int OpenWithAssociatedProgram(u32 extensionId, u32 formatId, const GString& argument);
    // The licence text of the interface language, as UTF-8 text.
    int LoadLicenceText(GString& out);

private:
    CWizard(const CWizard&);
    CWizard& operator=(const CWizard&);

    int ShowPage(CWndBase*& slot, CWndBase* page, u32 templateId);

    HINSTANCE m_hInstance;
    CInstall* m_install;
    CWndMain* m_main;
    CWndBase* m_currentPage;
    CWndBase* m_welcomePage;
    CWndBase* m_licencePage;
    CWndBase* m_setupPage;
    CWndBase* m_expert1Page;
    CWndBase* m_expert2Page;
    CWndBase* m_donePage;
    GString m_text;
    HFONT m_headerFont;
    i32 m_sized;
    i32 m_headerHeight;
};
