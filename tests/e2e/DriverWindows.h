#pragma once

// What the end-to-end drivers share: waiting for a condition and reading
// and driving the windows of the program under test, which runs in another
// process (so every message is sent with a time-out).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

const DWORD kWaitMs = 15000;
const UINT kSendTimeoutMs = 5000;

inline int WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return 1;
        if (GetTickCount() - start > timeoutMs)
            return 0;
        Sleep(20);
    }
}

inline std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256];
    int n = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, n > 0 ? n : 0);
}

inline std::wstring TextOf(HWND hwnd)
{
    if (!hwnd)
        return L"<no window>";
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return L"<no answer>";
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(&buffer[0]), SMTO_ABORTIFHUNG,
        kSendTimeoutMs, &got);
    return std::wstring(&buffer[0], got);
}

inline LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

struct TopLevelSearch
{
    DWORD pid;
    std::wstring className;
    HWND found;
};

inline BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    TopLevelSearch* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd) || ClassOf(hwnd) != search->className)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

inline HWND TopLevelOf(DWORD pid, const std::wstring& className)
{
    TopLevelSearch search = { pid, className, 0 };
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The page inside the main window that holds the given control.
inline HWND PageWith(HWND main, int controlId)
{
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (IsWindowVisible(child) && GetDlgItem(child, controlId))
            return child;
    }
    return 0;
}

inline bool Visible(HWND item)
{
    return item && (GetWindowLongPtrW(item, GWL_STYLE) & WS_VISIBLE) != 0;
}
