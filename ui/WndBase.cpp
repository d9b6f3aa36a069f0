#include "ui/WndBase.h"

#include "core/Install.h"
#include "ui/Resource.h"
#include "ui/Wizard.h"

const u32 kStringClassName = 94;
const u32 kStringHeaderMaker = 0;
const u32 kStringHeaderWord = 89;
const u32 kStringHeaderProduct = 82;
const u32 kComboBytesPerEntry = 100;
const UINT kQuietPosFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;
const int kHeaderIconX = 10;
const int kHeaderIconY = 10;
const int kHeaderTextLeft = 60;
const int kHeaderTextTop = 10;
const COLORREF kHeaderTextColour = RGB(128, 128, 128);
// The header band is measured on a capital with an accent: the tallest
// line a header text can need.
const wch kMeasureText[] = { 0x00D3, 0 };

CWndBase::CWndBase()
    : m_hwnd(0),
      m_isDialog(0),
      m_classAtom(0),
      m_wizard(0),
      m_result(0),
      m_notifyCode(0),
      m_controlId(0),
      m_controlHwnd(0),
      m_nmCode(0),
      m_nmhdr(0),
      m_message(0),
      m_wParam(0),
      m_lParam(0),
      m_textHeight(0),
      m_dispatchDepth(0),
      m_deletePending(0)
{
}

CWndBase::~CWndBase()
{
    if (m_hwnd) {
        HWND hwnd = m_hwnd;
        Detach();
        DestroyWindow(hwnd);
    }
    if (m_wizard) {
        m_wizard->Unlink(this);
        // By atom: the class name may no longer be available when the
        // string tables are gone. Fails harmlessly while windows remain.
        if (m_classAtom)
            (void)UnregisterClassW(MAKEINTATOM(m_classAtom), m_wizard->GetInstance());
    }
}

// ---- Handlers ----

int CWndBase::OnMessage()
{
    switch (m_message) {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        return OnDestroy();
    case WM_PAINT:
        return OnPaint();
    case WM_CLOSE:
        return OnClose();
    case WM_NCDESTROY:
        return OnNcDestroy();
    case WM_INITDIALOG:
        return OnInitDialog();
    }
    return 0;
}

int CWndBase::OnCommand()
{
    return 0;
}

int CWndBase::OnNcDestroy()
{
    Detach();
    if (m_wizard)
        m_wizard->Forget(this);
    return 1;
}

int CWndBase::OnCreate()
{
    return 1;
}

int CWndBase::OnPaint()
{
    return 0;
}

int CWndBase::OnDestroy()
{
    return 0;
}

int CWndBase::OnClose()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    return 1;
}

int CWndBase::OnInitDialog()
{
    return 0;
}

int CWndBase::Close()
{
    if (m_hwnd)
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    return 0;
}

// ---- Creation and lifetime ----

int CWndBase::RegisterWindowClass()
{
    if (!m_wizard)
        return 0;
    HINSTANCE instance = m_wizard->GetInstance();
    GString className;
    LoadString(kStringClassName, className);

    WNDCLASSEXW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    // The small icon from its own 16-pixel image rather than a shrunk copy.
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(0, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = className.MakeWide();
    if (!wc.lpszClassName)
        return 0;
    m_classAtom = RegisterClassExW(&wc);
    return m_classAtom != 0;
}

int CWndBase::Create(u32 titleId, u32 style, int width, int height)
{
    if (!m_wizard || m_hwnd || !m_classAtom)
        return 0;
    m_isDialog = 0;
    RECT desktop;
    if (!GetWindowRect(GetDesktopWindow(), &desktop))
        return 0;
    GString title;
    LoadString(titleId, title);
    const wch* titleText = title.MakeWide();
    int x = (desktop.right - desktop.left - width) / 2;
    int y = (desktop.bottom - desktop.top - height) / 2;

    // The creation runs handlers of this object; should they end its window
    // and with it the object, the deletion waits until this call is done.
    m_dispatchDepth++;
    HWND hwnd = CreateWindowExW(0, MAKEINTATOM(m_classAtom), titleText ? titleText : W(""), style,
        x, y, width, height, 0, 0, m_wizard->GetInstance(), this);
    m_dispatchDepth--;
    if (m_deletePending && m_dispatchDepth == 0) {
        delete this;
        return 0;
    }
    if (!hwnd || m_hwnd != hwnd)
        return 0;
    ShowWindow(hwnd, SW_SHOW);
    return 1;
}

int CWndBase::CreateModeless(u32 templateId, HWND parent)
{
    if (!m_wizard || m_hwnd)
        return 0;
    m_isDialog = 1;
    m_dispatchDepth++;
    HWND hwnd = CreateDialogParamW(m_wizard->GetInstance(), MAKEINTRESOURCEW(templateId), parent, DlgProc,
        reinterpret_cast<LPARAM>(this));
    m_dispatchDepth--;
    if (m_deletePending && m_dispatchDepth == 0) {
        delete this;
        return 0;
    }
    if (!hwnd || m_hwnd != hwnd)
        return 0;
    ShowWindow(hwnd, SW_SHOW);
    return 1;
}

int CWndBase::Destroy()
{
    if (!m_hwnd)
        return 1;
    // The object may be gone when DestroyWindow returns.
    return DestroyWindow(m_hwnd) ? 1 : 0;
}

int CWndBase::Attach(HWND hwnd)
{
    if (m_hwnd || !hwnd)
        return 0;
    LONG_PTR bound = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    if (bound) {
        // A window belongs to one object only.
        if (bound != reinterpret_cast<LONG_PTR>(this))
            return 0;
        m_hwnd = hwnd;
        return 1;
    }
    SetLastError(0);
    if (!SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this)) && GetLastError() != 0)
        return 0;
    m_hwnd = hwnd;
    SetWindowPos(hwnd, 0, 0, 0, 0, 0, kQuietPosFlags);
    return 1;
}

void CWndBase::Detach()
{
    if (!m_hwnd)
        return;
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    SetWindowPos(m_hwnd, 0, 0, 0, 0, 0, kQuietPosFlags);
    m_hwnd = 0;
}

void CWndBase::DeleteWhenIdle()
{
    if (m_dispatchDepth > 0) {
        m_deletePending = 1;
        return;
    }
    delete this;
}

// ---- Texts and messages ----

int CWndBase::LoadString(u32 id)
{
    return LoadString(id, m_text);
}

int CWndBase::LoadString(u32 id, GString& out)
{
    if (!m_wizard) {
        out.ClearWide();
        return 0;
    }
    return m_wizard->LoadString(id, out);
}

int CWndBase::ShowMessage(const wch* text, u32 type)
{
    return m_wizard ? m_wizard->ShowMessage(text, type) : 0;
}

int CWndBase::ShowMessageId(u32 textId, u32 type)
{
    return m_wizard ? m_wizard->ShowMessageId(textId, type) : 0;
}

i32 CWndBase::GetPage() const
{
    if (!m_wizard || !m_wizard->GetInstall())
        return -1;
    return m_wizard->GetInstall()->GetPage();
}

void CWndBase::SetPage(i32 step)
{
    if (m_wizard && m_wizard->GetInstall())
        m_wizard->GetInstall()->SetPage(step);
}

void CWndBase::PostToMain(u32 message)
{
    HWND main = m_wizard ? m_wizard->GetMainWindow() : 0;
    if (main)
        PostMessageW(main, message, 0, 0);
}

// ---- Control operations ----

int CWndBase::EnableItem(int id, int on)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    EnableWindow(item, on ? TRUE : FALSE);
    return 1;
}

int CWndBase::EnableItems(const u32* ids, int on)
{
    if (!ids)
        return 0;
    for (const u32* id = ids; *id; id++)
        (void)EnableItem(static_cast<int>(*id), on);
    return 1;
}

int CWndBase::ShowItem(int id, int on)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    ShowWindow(item, on ? SW_SHOW : SW_HIDE);
    return 1;
}

int CWndBase::ShowItems(const u32* ids, int on)
{
    if (!ids)
        return 0;
    for (const u32* id = ids; *id; id++)
        (void)ShowItem(static_cast<int>(*id), on);
    return 1;
}

int CWndBase::SetItemString(int id, u32 stringId)
{
    if (!LoadString(stringId))
        return 0;
    return SetItemText(id, m_text.MakeWide());
}

int CWndBase::SetItemText(int id, const wch* text)
{
    if (!text || !m_hwnd)
        return 0;
    return SetDlgItemTextW(m_hwnd, id, text) ? 1 : 0;
}

void CWndBase::SetItemStrings(const WndPair* table)
{
    if (!table || !m_hwnd)
        return;
    for (const WndPair* pair = table; pair->first; pair++) {
        // A missing text shows as an empty control; a missing control is skipped.
        (void)LoadString(pair->second);
        const wch* text = m_text.MakeWide();
        (void)SetDlgItemTextW(m_hwnd, static_cast<int>(pair->first), text ? text : W(""));
    }
}

int CWndBase::IsItemChecked(int id)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    return SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int CWndBase::CheckItem(int id, int on)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    SendMessageW(item, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    return 1;
}

LRESULT CWndBase::GetComboData(int id)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    LRESULT index = SendMessageW(item, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return 0;
    return SendMessageW(item, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

LRESULT CWndBase::SelectComboIndex(HWND combo, int index)
{
    return SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CWndBase::FillCombo(HWND combo, const WndPair* table, u32 select)
{
    if (!combo || !table)
        return 0;
    u32 count = 0;
    for (const WndPair* pair = table; pair->first; pair++)
        count++;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    SendMessageW(combo, CB_INITSTORAGE, count, count * kComboBytesPerEntry);

    int selected = 0;
    for (const WndPair* pair = table; pair->first; pair++) {
        (void)LoadString(pair->first);
        const wch* text = m_text.MakeWide();
        LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text ? text : W("")));
        if (index == CB_ERR || index == CB_ERRSPACE)
            return 0;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), pair->second);
        if (pair->second == select) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            selected = 1;
        }
    }
    if (!selected)
        return 1;
    // A sorted list moves entries as later ones arrive: select by the data
    // once all are in.
    LRESULT total = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < total; i++) {
        if (static_cast<u32>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) == select) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            break;
        }
    }
    return 1;
}

int CWndBase::FillComboItem(int id, const WndPair* table, u32 select)
{
    HWND item = m_hwnd ? GetDlgItem(m_hwnd, id) : 0;
    if (!item)
        return 0;
    return FillCombo(item, table, select);
}

u16 CWndBase::LookupPair(u32 key, const WndPair* table)
{
    if (!key)
        return 0;
    const WndPair* pair = FindPair(key, table);
    return pair ? static_cast<u16>(pair->second) : 0;
}

const WndPair* CWndBase::FindPair(u32 key, const WndPair* table)
{
    if (!table)
        return 0;
    for (const WndPair* pair = table; pair->first; pair++) {
        if (pair->first == key)
            return pair;
    }
    return 0;
}

WndPair* CWndBase::FindPair(u32 key, WndPair* table)
{
    return const_cast<WndPair*>(FindPair(key, static_cast<const WndPair*>(table)));
}

// ---- Fitting and the header band ----

i32 CWndBase::MeasureHeaderText()
{
    HWND main = m_wizard ? m_wizard->GetMainWindow() : 0;
    if (!main)
        return 0;
    HDC dc = GetDC(main);
    if (!dc)
        return 0;
    HFONT font = m_wizard->GetHeaderFont();
    HGDIOBJ previous = font ? SelectObject(dc, font) : 0;
    SIZE size;
    size.cx = 0;
    size.cy = 0;
    if (!GetTextExtentPoint32W(dc, kMeasureText, 1, &size))
        size.cy = 0;
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(main, dc);
    return size.cy;
}

int CWndBase::FitToPage()
{
    if (!m_wizard || !m_hwnd)
        return 0;
    HWND main = m_wizard->GetMainWindow();
    if (!main)
        return 0;

    i32 header = m_wizard->GetHeaderHeight();
    if (header == 0) {
        i32 cy = MeasureHeaderText();
        m_textHeight = cy;
        header = cy + cy / 2;
        m_wizard->SetHeaderHeight(header);
    }

    RECT mainWindow, mainClient, page, desktop;
    if (!GetWindowRect(main, &mainWindow) || !GetClientRect(main, &mainClient) || !GetClientRect(m_hwnd, &page)
        || !GetWindowRect(GetDesktopWindow(), &desktop))
        return 0;

    int width = (mainWindow.right - mainWindow.left) - (mainClient.right - mainClient.left)
        + (page.right - page.left);
    int height = (mainWindow.bottom - mainWindow.top) - (mainClient.bottom - mainClient.top)
        + (page.bottom - page.top) + header;
    if (!m_wizard->IsSized()) {
        SetWindowPos(main, 0, (desktop.right - desktop.left - width) / 2, (desktop.bottom - desktop.top - height) / 2,
            width, height, SWP_NOZORDER);
        m_wizard->SetSized();
    }
    SetWindowPos(m_hwnd, 0, 0, header, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return 1;
}

void CWndBase::PaintHeader(HDC dc)
{
    if (!dc || !m_hwnd || !m_wizard)
        return;
    RECT client;
    if (!GetClientRect(m_hwnd, &client))
        return;
    HICON icon = LoadIconW(m_wizard->GetInstance(), MAKEINTRESOURCEW(IDI_HEADER));
    if (icon)
        DrawIcon(dc, kHeaderIconX, kHeaderIconY, icon);

    if (m_textHeight == 0)
        m_textHeight = MeasureHeaderText();
    RECT textRect;
    textRect.left = kHeaderTextLeft;
    textRect.top = kHeaderTextTop;
    textRect.right = client.right;
    textRect.bottom = kHeaderTextTop + m_textHeight;

    COLORREF previousColour = SetTextColor(dc, kHeaderTextColour);
    int previousMode = SetBkMode(dc, TRANSPARENT);
    HFONT font = m_wizard->GetHeaderFont();
    HGDIOBJ previousFont = font ? SelectObject(dc, font) : 0;

    // Looked up on every paint, so a change of interface language shows.
    GString line, part;
    line.ClearWide();
    LoadString(kStringHeaderMaker, part);
    line.Append(part);
    line.AppendChar(' ');
    LoadString(kStringHeaderWord, part);
    line.Append(part);
    line.AppendChar(' ');
    LoadString(kStringHeaderProduct, part);
    line.Append(part);
    const wch* text = line.MakeWide();
    if (text)
        DrawTextW(dc, text, -1, &textRect, DT_SINGLELINE);

    if (previousFont)
        SelectObject(dc, previousFont);
    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousColour);
}

// ---- Window and dialog procedures ----

void CWndBase::Decode(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_message = message;
    m_wParam = wParam;
    m_lParam = lParam;
    m_result = 0;
    m_notifyCode = 0;
    m_controlId = 0;
    m_controlHwnd = 0;
    m_nmCode = 0;
    m_nmhdr = 0;
    if (message == WM_COMMAND) {
        m_notifyCode = static_cast<i16>(HIWORD(wParam));
        m_controlId = LOWORD(wParam);
        m_controlHwnd = reinterpret_cast<HWND>(lParam);
    } else if (message == WM_NOTIFY) {
        m_controlId = LOWORD(wParam);
        m_nmhdr = reinterpret_cast<NMHDR*>(lParam);
        if (m_nmhdr) {
            m_controlId = static_cast<u16>(m_nmhdr->idFrom);
            m_nmCode = m_nmhdr->code;
        }
    }
}

LRESULT CALLBACK CWndBase::WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWndBase* self = reinterpret_cast<CWndBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        if (message != WM_NCCREATE && message != WM_CREATE)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        CWndBase* candidate = create ? static_cast<CWndBase*>(create->lpCreateParams) : 0;
        if (!candidate || candidate->m_isDialog || !candidate->Attach(hwnd))
            return DefWindowProcW(hwnd, message, wParam, lParam);
        self = candidate;
    }

    self->m_dispatchDepth++;
    self->Decode(message, wParam, lParam);
    int handled = self->OnMessage();
    LRESULT result = self->m_result;
    self->m_dispatchDepth--;
    if (self->m_deletePending && self->m_dispatchDepth == 0)
        delete self;
    // From here on the object may be gone: only the window is used.
    if (message == WM_NCDESTROY)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (handled)
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR CALLBACK CWndBase::DlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWndBase* self = reinterpret_cast<CWndBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        if (message != WM_INITDIALOG || !lParam)
            return FALSE;
        CWndBase* candidate = reinterpret_cast<CWndBase*>(lParam);
        if (!candidate->m_isDialog || !candidate->Attach(hwnd))
            return FALSE;
        self = candidate;
    }

    self->m_dispatchDepth++;
    self->Decode(message, wParam, lParam);
    int handled = 0;
    if (message == WM_NOTIFY) {
        handled = 0;
    } else if (message == WM_COMMAND) {
        handled = self->OnCommand();
    } else {
        if (message == WM_INITDIALOG)
            self->m_result = 1;
        handled = self->OnMessage();
    }
    LRESULT result = self->m_result;
    int windowGone = self->m_hwnd == 0;
    self->m_dispatchDepth--;
    if (self->m_deletePending && self->m_dispatchDepth == 0)
        delete self;
    // From here on the object may be gone: only the window is used.

    if (!handled)
        return FALSE;
    if (message == WM_COMMAND) {
        if (!windowGone)
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return FALSE;
    }
    return static_cast<INT_PTR>(result);
}
