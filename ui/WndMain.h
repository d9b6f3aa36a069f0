#pragma once

// The one top-level window of the wizard: the header band above the current
// page, the page switches the pages ask for, the question before quitting,
// and the end of the message loop when it is destroyed.

#include "ui/WndBase.h"

// Navigation messages the pages post to the main window (wParam = lParam = 0).
const UINT WM_WIZ_CANCEL = WM_USER + 1;
const UINT WM_WIZ_BACK = WM_USER + 2;
const UINT WM_WIZ_NEXT = WM_USER + 3;
const UINT WM_WIZ_SETUP = WM_USER + 4;
const UINT WM_WIZ_EXPERT1 = WM_USER + 5;
const UINT WM_WIZ_EXPERT2 = WM_USER + 6;
const UINT WM_WIZ_DONE = WM_USER + 7;
const UINT WM_WIZ_FINISH = WM_USER + 8;

// Title string and style of the main window: a fixed-size window with a
// close box and a minimize box.
const u32 kMainTitleId = 93;
const u32 kMainStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
const int kMainWidth = 500;
const int kMainHeight = 400;

class CWndMain : public CWndBase
{
public:
    CWndMain();
    ~CWndMain() override;

    int OnMessage() override;
    int OnCreate() override;
    int OnPaint() override;
    int OnDestroy() override;
    int OnClose() override;

    virtual int OnFinish();
    virtual int OnShowDone();
    virtual int OnBack();
    virtual int OnNext();
    virtual int OnShowSetup();
    virtual int OnShowExpert1();
    virtual int OnShowExpert2();
};
