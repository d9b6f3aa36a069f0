#pragma once

// Shared by the window tests: an installer object opened on the real
// payload (so texts and templates are the program's own), a hidden parent
// for child pages, and a way to run steps inside a message loop.

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"
#include "ui/WndBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

inline std::wstring StringText(CInstall& install, u32 id)
{
    GString text;
    install.GetString(id, text);
    const wch* wide = text.MakeWide();
    return wide ? std::wstring(wide) : std::wstring();
}

inline std::wstring WindowText(HWND hwnd)
{
    wchar_t buffer[4096];
    int n = GetWindowTextW(hwnd, buffer, 4096);
    return std::wstring(buffer, n > 0 ? n : 0);
}

// An installer object with its string tables and controller, as Init leaves them.
class InstallFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Open()); }

    void TearDown() override { Close(); }

    // A fresh installer object, for table-driven tests that run the wizard per case.
    bool Reopen()
    {
        Close();
        return Open();
    }

    bool Open()
    {
        m_instance = GetModuleHandleW(0);
        m_install = new CInstall;
        if (!m_install->Init(m_instance))
            return false;
        m_wizard = m_install->m_wizard;
        m_install->m_uiLanguage = 0;
        return m_wizard != 0;
    }

    void Close()
    {
        if (!m_install)
            return;
        // The main window class outlives the window that registered it.
        std::wstring className = StringText(*m_install, 94);
        delete m_install;
        m_install = 0;
        m_wizard = 0;
        (void)UnregisterClassW(className.c_str(), m_instance);
    }

    HINSTANCE m_instance = 0;
    CInstall* m_install = 0;
    CWizard* m_wizard = 0;
};

// Runs steps inside whatever message loop is running (the wizard's own, or
// a message box's), one step per timer tick. A step returns true when it is
// done and false to be asked again at the next tick. Timer ticks come only
// when no posted message waits, so what a step posted has been handled when
// the next step runs. A step must not itself wait in a modal loop (post the
// click that opens a message box instead of sending it).
class CLoopScript
{
public:
    typedef std::function<bool()> Step;

    explicit CLoopScript(std::vector<Step> steps, int ticksPerStep = 200)
        : m_steps(steps), m_ticksPerStep(ticksPerStep)
    {
    }

    ~CLoopScript() { Stop(); }

    void Start(UINT intervalMs = 20)
    {
        s_current = this;
        m_timer = SetTimer(0, 0, intervalMs, Tick);
    }

    void Stop()
    {
        if (m_timer)
            KillTimer(0, m_timer);
        m_timer = 0;
        if (s_current == this)
            s_current = 0;
    }

    bool Finished() const { return m_index >= m_steps.size(); }
    bool TimedOut() const { return m_timedOut; }
    size_t StepIndex() const { return m_index; }

    // Called when a step waits too long: end the loop somehow.
    std::function<void()> m_onTimeout;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        CLoopScript* self = s_current;
        if (!self || self->Finished())
            return;
        if (self->m_running) {
            // A step is stuck in a modal loop of its own: only watch the time.
            if (++self->m_ticks > self->m_ticksPerStep && !self->m_timedOut) {
                self->m_timedOut = true;
                ADD_FAILURE() << "step " << self->m_index << " did not return";
                if (self->m_onTimeout)
                    self->m_onTimeout();
            }
            return;
        }
        // A step may start a modal loop of its own, in which ticks go on.
        self->m_running = true;
        bool done = self->m_steps[self->m_index]();
        self->m_running = false;
        if (done) {
            self->m_index++;
            self->m_ticks = 0;
        } else if (++self->m_ticks > self->m_ticksPerStep && !self->m_timedOut) {
            self->m_timedOut = true;
            ADD_FAILURE() << "step " << self->m_index << " did not complete";
            self->m_index = self->m_steps.size();
            if (self->m_onTimeout)
                self->m_onTimeout();
        }
        if (self->Finished())
            self->Stop();
    }

    static CLoopScript* s_current;

    std::vector<Step> m_steps;
    int m_ticksPerStep;
    size_t m_index = 0;
    int m_ticks = 0;
    bool m_running = false;
    bool m_timedOut = false;
    UINT_PTR m_timer = 0;
};

inline CLoopScript* CLoopScript::s_current = 0;

// The message box a window owns, or null.
inline HWND OwnedMessageBox(HWND owner)
{
    struct Search
    {
        HWND owner;
        HWND found;
    } search = { owner, 0 };
    EnumThreadWindows(GetCurrentThreadId(), [](HWND hwnd, LPARAM param) -> BOOL {
        Search* s = reinterpret_cast<Search*>(param);
        wchar_t name[32];
        GetClassNameW(hwnd, name, 32);
        if (std::wstring(name) == L"#32770" && GetWindow(hwnd, GW_OWNER) == s->owner && IsWindowVisible(hwnd)) {
            s->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
