#include "win32/window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "app/handlers.h"
#include "app/report.h"
#include "app/main.h"
#include "support/failure.h"
#include "win32/automation.h"
#include "win32/input_box.h"
#include "win32/resources/resource.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {
namespace {

using app::Id;

constexpr int kTwipsPerInch = 1440;
// The client area, in twips.
constexpr int kClientWidth = 10620;
constexpr int kClientHeight = 5415;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

struct ControlSpec {
    Id id;
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    const wchar_t* text;  // design caption; the language captions replace it at load
    int left, top, width, height;  // twips
};

constexpr DWORD kListStyle =
    LBS_MULTIPLESEL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;

// Creation order is z-order, top first, and the keyboard visits the focusable controls in
// it: lstCertificates, cmdImport, lstSites, cmdDeploy, chkHttpRedirect, TxtHttpsPort. The
// labels come last, beneath everything: some rectangles overlap (lblCertList reaches under
// lblSiteList, the headings touch the lists' top edges, lblHttpsPort starts under the check
// box), and with WS_CLIPSIBLINGS the control above keeps its pixels.
constexpr ControlSpec kControls[] = {
    {Id::lstCertificates, WC_LISTBOXW, kListStyle, WS_EX_CLIENTEDGE, L"", 240, 360, 4935, 3630},
    {Id::cmdImport, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, L"1. Import Chain and PFX", 2280, 4440, 2895, 495},
    {Id::lstSites, WC_LISTBOXW, kListStyle, WS_EX_CLIENTEDGE, L"", 5400, 360, 4995, 3630},
    {Id::cmdDeploy, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, L"2. Deploy PFX to Sites", 5400, 4440, 2895, 495},
    {Id::chkHttpRedirect, WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0, L"HTTP to HTTPS Redirection", 5400, 4080,
     3405, 255},
    // Read-only for typing: the Set Port command is the validated way to change it.
    {Id::TxtHttpsPort, WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_TABSTOP, WS_EX_CLIENTEDGE, L"443", 9765,
     4080, 615, 270},
    {Id::lblSiteList, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, L"IIS Site List", 5400, 120, 4155, 255},
    {Id::lblCertList, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, L"Importable Chains ('chain/' folder):", 240, 120, 5775,
     255},
    {Id::lblHttpsPort, WC_STATICW, SS_RIGHT | SS_NOPREFIX, 0, L"HTTPS Port:", 8520, 4120, 1215, 255},
    {Id::lblStatus, WC_STATICW, SS_CENTER | SS_NOPREFIX, 0, L"", 0, 5100, 10575, 255},
};

// Posted to the window itself: a list may draw itself again (wParam: its ID).
constexpr UINT kResumeListRedraw = WM_APP + 1;

constexpr int kFirstMenuBarId = static_cast<int>(Id::mnuFile);
constexpr int kLastMenuBarId = static_cast<int>(Id::mnuHelp);
constexpr int kFirstCommandId = static_cast<int>(Id::mnuFileExit);
constexpr int kLastCommandId = static_cast<int>(Id::mnuHelpCheckUpdate);

bool IsControl(Id id) {
    for (const auto& c : kControls)
        if (c.id == id) return true;
    return false;
}
bool IsList(Id id) { return id == Id::lstCertificates || id == Id::lstSites; }

// The name a failure that escapes a handler is logged under.
const char* HandlerName(Id id) {
    switch (id) {
    case Id::cmdImport: return "cmdImport_Click";
    case Id::cmdDeploy: return "cmdDeploy_Click";
    case Id::mnuFileExit: return "mnuFileExit_Click";
    case Id::mnuChainManualImport: return "mnuChainManualImport_Click";
    case Id::mnuChainViewSystemStore: return "mnuChainViewSystemStore_Click";
    case Id::mnuToolsSetPort: return "mnuToolsSetPort_Click";
    case Id::mnuLanguageEnglish: return "mnuLanguageEnglish_Click";
    case Id::mnuLanguageSimplifiedChinese: return "mnuLanguageSimplifiedChinese_Click";
    case Id::mnuLanguageTraditionalChinese: return "mnuLanguageTraditionalChinese_Click";
    case Id::mnuHelpAbout: return "mnuHelpAbout_Click";
    case Id::mnuHelpCheckUpdate: return "mnuHelpCheckUpdate_Click";
    default: return "OnCommand";
    }
}

std::wstring Wide(const std::string& text) { return Utf8ToWide(text); }
std::string Narrow(const wchar_t* text, std::size_t length) { return WideToUtf8(std::wstring_view(text, length)); }
std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

std::string WindowText(HWND hwnd) {
    if (!hwnd) return {};
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
    return Narrow(text);
}

// Functions of newer Windows versions, looked up at run time so the program still starts
// on servers that lack them.
template <class Fn>
Fn User32Function(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND hwnd) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(hwnd)) return dpi;
    }
    return SystemDpi();
}

// The system's message font at the given DPI.
HFONT CreateUiFont(UINT dpi) {
    static const auto forDpi = User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Given for the system DPI; rescale for this monitor.
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        return CreateFontIndirectW(&font);
    }
    LOGFONTW font{};
    font.lfHeight = -MulDiv(8, static_cast<int>(dpi), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, L"MS Shell Dlg", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

// Outer window rectangle for the wanted client size (the menu bar counts as one line).
RECT OuterRect(int clientWidth, int clientHeight, UINT dpi) {
    static const auto adjustForDpi = User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&rect, kWindowStyle, TRUE, kWindowExStyle, dpi))
        AdjustWindowRectEx(&rect, kWindowStyle, TRUE, kWindowExStyle);
    return rect;
}

void AppendItem(HMENU menu, Id id, const wchar_t* caption) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), caption);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
    if (menuTextMapping_) CloseHandle(menuTextMapping_);
}

void MainWindow::Create(int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    menuStateMessage_ = RegisterWindowMessageW(kMenuStateMessage);
    menuTextMessage_ = RegisterWindowMessageW(kMenuTextMessage);
    pingMessage_ = RegisterWindowMessageW(kPingMessage);
    busyMessage_ = RegisterWindowMessageW(kBusyMessage);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUILLBAY), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUILLBAY), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Failure(static_cast<std::int32_t>(GetLastError()), "The main window class cannot be registered.");

    // Created hidden at a provisional place; sized once its monitor's DPI is known.
    HWND hwnd = CreateWindowExW(kWindowExStyle, kMainWindowClass, L"Quillbay", kWindowStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, BuildMenuBar(), instance_, this);
    if (!hwnd) throw Failure(static_cast<std::int32_t>(GetLastError()), "The main window cannot be created.");

    CreateControls();
    ApplyDpi(WindowDpi(hwnd_));

    // Centre on the work area of the monitor it was placed on.
    RECT outer = OuterRect(Scale(kClientWidth), Scale(kClientHeight), dpi_);
    int width = outer.right - outer.left, height = outer.bottom - outer.top;
    MONITORINFO monitor{sizeof monitor, {}, {}, 0};
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line (large fonts) takes client height: give it back.
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (int missing = Scale(kClientHeight) - client.bottom; missing > 0)
        SetWindowPos(hwnd_, nullptr, x, y - missing / 2, width, height + missing, SWP_NOZORDER | SWP_NOACTIVATE);

    showCommand_ = showCommand;
}

void MainWindow::Show() {
    if (!hwnd_ || IsWindowVisible(hwnd_)) return;
    ShowWindow(hwnd_, showCommand_);
    UpdateWindow(hwnd_);
    if (HWND first = Control(Id::lstCertificates)) SetFocus(first);
}

HMENU MainWindow::BuildMenuBar() {
    // Design captions, replaced by the language's at load. Menu-bar order is what
    // Id::mnuFile..mnuHelp map to (by position).
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendItem(file, Id::mnuFileExit, L"Exit(&X)");
    HMENU chain = CreatePopupMenu();
    AppendItem(chain, Id::mnuChainManualImport, L"Manual Import...(&M)");
    AppendMenuW(chain, MF_SEPARATOR, 0, nullptr);
    AppendItem(chain, Id::mnuChainViewSystemStore, L"View System Store(&V)");
    HMENU tools = CreatePopupMenu();
    AppendItem(tools, Id::mnuToolsSetPort, L"Set Deployment Port(&P)...");
    HMENU language = CreatePopupMenu();
    AppendItem(language, Id::mnuLanguageEnglish, L"&English");
    AppendItem(language, Id::mnuLanguageSimplifiedChinese, L"简体中文");
    AppendItem(language, Id::mnuLanguageTraditionalChinese, L"繁體中文");
    HMENU help = CreatePopupMenu();
    AppendItem(help, Id::mnuHelpAbout, L"About(&A)...");
    AppendMenuW(help, MF_SEPARATOR, 0, nullptr);
    AppendItem(help, Id::mnuHelpCheckUpdate, L"Check for Updates(&U)");

    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File(&F)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(chain), L"Certificate Chain(&C)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), L"Deployment(&D)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(language), L"Language(&L)");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"Help(&H)");
    return bar;
}

void MainWindow::CreateControls() {
    for (const auto& c : kControls) {
        const DWORD style = c.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        CreateWindowExW(c.exStyle, c.className, c.text, style, 0, 0, 0, 0, hwnd_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance_, nullptr);
    }
    SendMessageW(Control(Id::chkHttpRedirect), BM_SETCHECK, BST_CHECKED, 0);
}

int MainWindow::Scale(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), kTwipsPerInch); }

void MainWindow::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    HFONT old = font_;
    font_ = CreateUiFont(dpi);
    for (const auto& c : kControls) {
        HWND control = Control(c.id);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        SetWindowPos(control, nullptr, Scale(c.left), Scale(c.top), Scale(c.width), Scale(c.height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    if (old) DeleteObject(old);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow* self;
    if (message == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == menuStateMessage_) return AnswerMenuState(wParam);
    if (message != 0 && message == menuTextMessage_) return AnswerMenuText(wParam);
    if (message != 0 && message == pingMessage_) {
        lastPing_ = wParam;
        return 0;
    }
    if (message != 0 && message == busyMessage_)
        return ((!loaded_ || handlerDepth_ > 0) ? 1 : 0) | (lastPing_ != wParam ? 2 : 0);

    switch (message) {
    case kResumeListRedraw:
        ResumeListRedraw(static_cast<Id>(wParam));
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (lParam == 0) {
            // Menu command. A disabled item cannot be clicked; a posted command for one is
            // ignored the same way.
            if (code == 0 && id >= kFirstCommandId && id <= kLastCommandId &&
                Enabled(static_cast<Id>(id)) && main_) {
                RunHandler(HandlerName(static_cast<Id>(id)), [&] { app::OnCommand(*main_, static_cast<Id>(id)); });
            }
            return 0;
        }
        const Id control = static_cast<Id>(id);
        if ((control == Id::cmdImport || control == Id::cmdDeploy) && code == BN_CLICKED && main_) {
            RunHandler(HandlerName(control), [&] { app::OnCommand(*main_, control); });
        } else if (control == Id::lstSites && code == LBN_SELCHANGE && main_) {
            RunHandler("lstSites_Click", [&] { app::lstSites_Click(*main_); });
        } else if (control == Id::chkHttpRedirect && code == BN_CLICKED) {
            // A click on a grayed box leaves the three-state style that only the program sets.
            HWND box = reinterpret_cast<HWND>(lParam);
            if ((GetWindowLongPtrW(box, GWL_STYLE) & BS_TYPEMASK) == BS_AUTO3STATE) {
                SendMessageW(box, BM_SETSTYLE, BS_AUTOCHECKBOX, TRUE);
                SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (busy_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        ApplyDpi(HIWORD(wParam));
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

template <class Handler>
void MainWindow::RunHandler(const char* name, Handler&& handler) {
    ++handlerDepth_;
    try {
        handler();
    } catch (...) {
        // A failure no handler caught must not cross the window procedure; the program goes on.
        if (main_) app::ReportUnhandled(*main_, name);
    }
    --handlerDepth_;
    if (handlerDepth_ == 0 && closeRequested_) CloseWhenIdle();
}

bool MainWindow::Load() {
    bool loaded = false;
    if (main_) RunHandler("Form_Load", [&] { loaded = app::Form_Load(*main_); });
    loaded_ = true;
    if (!loaded) Close();
    return loaded;
}

int MainWindow::RunMessageLoop() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void MainWindow::Close() {
    closeRequested_ = true;
    if (handlerDepth_ == 0) CloseWhenIdle();
}

void MainWindow::CloseWhenIdle() {
    closeRequested_ = false;
    busy_ = false;
    if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::DoEvents() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave it for the main loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

HWND MainWindow::Control(Id id) const {
    if (!hwnd_) return nullptr;
    if (id == Id::Main) return hwnd_;
    if (!IsControl(id)) return nullptr;
    return GetDlgItem(hwnd_, static_cast<int>(id));
}

bool MainWindow::FindMenuItem(Id id, HMENU& menu, UINT& item, UINT& byFlag) const {
    menu = hwnd_ ? GetMenu(hwnd_) : nullptr;
    if (!menu) return false;
    const int value = static_cast<int>(id);
    if (value >= kFirstMenuBarId && value <= kLastMenuBarId) {
        item = static_cast<UINT>(value - kFirstMenuBarId);
        byFlag = MF_BYPOSITION;
        return true;
    }
    if (value >= kFirstCommandId && value <= kLastCommandId) {
        item = static_cast<UINT>(value);
        byFlag = MF_BYCOMMAND;
        return true;
    }
    return false;
}

void MainWindow::SetText(Id id, const std::string& text) {
    const std::wstring wide = Wide(text);
    HMENU menu;
    UINT item, by;
    if (FindMenuItem(id, menu, item, by)) {
        // Only the string: ModifyMenu would also reset the check mark and the grayed state.
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(wide.c_str());
        SetMenuItemInfoW(menu, item, by == MF_BYPOSITION, &info);
        DrawMenuBar(hwnd_);
        return;
    }
    if (IsList(id)) return;  // a list has no caption
    if (HWND hwnd = Control(id)) SetWindowTextW(hwnd, wide.c_str());
}

std::string MainWindow::Text(Id id) {
    HMENU menu;
    UINT item, by;
    if (FindMenuItem(id, menu, item, by)) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        if (!GetMenuItemInfoW(menu, item, by == MF_BYPOSITION, &info)) return {};
        std::wstring caption(info.cch + 1, L'\0');
        info.dwTypeData = caption.data();
        info.cch = static_cast<UINT>(caption.size());
        if (!GetMenuItemInfoW(menu, item, by == MF_BYPOSITION, &info)) return {};
        caption.resize(info.cch);
        return Narrow(caption);
    }
    if (IsList(id)) {
        // A list's text is that of its current item.
        int index = ListIndex(id);
        return index < 0 ? std::string() : ListItem(id, index);
    }
    return WindowText(Control(id));
}

void MainWindow::SetEnabled(Id id, bool enabled) {
    HMENU menu;
    UINT item, by;
    if (FindMenuItem(id, menu, item, by)) {
        EnableMenuItem(menu, item, by | (enabled ? MF_ENABLED : MF_GRAYED));
        if (by == MF_BYPOSITION) DrawMenuBar(hwnd_);
        return;
    }
    if (HWND hwnd = Control(id)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool MainWindow::Enabled(Id id) {
    HMENU menu;
    UINT item, by;
    if (FindMenuItem(id, menu, item, by)) {
        UINT state = GetMenuState(menu, item, by);
        return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
    }
    HWND hwnd = Control(id);
    return hwnd && IsWindowEnabled(hwnd);
}

void MainWindow::ListClear(Id list) {
    if (IsList(list)) SendMessageW(Control(list), LB_RESETCONTENT, 0, 0);
}

void MainWindow::ListAdd(Id list, const std::string& item) {
    if (!IsList(list)) return;
    // A visible list repaints its scroll bar for every item added (about 5 ms an item under
    // Wine: 1.5 s for 300 sites). Lists are filled by handlers, which pump no messages until
    // they end or yield, so it is drawn once, when the message loop next runs.
    DeferListRedraw(list);
    const std::wstring wide = Wide(item);
    LRESULT index = SendMessageW(Control(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (index == LB_ERR || index == LB_ERRSPACE)
        throw Failure(static_cast<std::int32_t>(E_OUTOFMEMORY), "The item cannot be added to the list.");
}

void MainWindow::DeferListRedraw(Id list) {
    bool& deferred = list == Id::lstSites ? siteListRedrawDeferred_ : certListRedrawDeferred_;
    HWND control = Control(list);
    if (deferred || !control) return;
    if (!PostMessageW(hwnd_, kResumeListRedraw, static_cast<WPARAM>(list), 0)) return;
    SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    deferred = true;
}

void MainWindow::ResumeListRedraw(Id list) {
    if (!IsList(list)) return;
    bool& deferred = list == Id::lstSites ? siteListRedrawDeferred_ : certListRedrawDeferred_;
    if (!deferred) return;
    deferred = false;
    if (HWND control = Control(list)) {
        SendMessageW(control, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(control, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    }
}

int MainWindow::ListCount(Id list) {
    if (!IsList(list)) return 0;
    LRESULT count = SendMessageW(Control(list), LB_GETCOUNT, 0, 0);
    return count == LB_ERR ? 0 : static_cast<int>(count);
}

std::string MainWindow::ListItem(Id list, int index) {
    if (!IsList(list)) return {};
    HWND hwnd = Control(list);
    LRESULT length = SendMessageW(hwnd, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = SendMessageW(hwnd, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (copied == LB_ERR) return {};
    text.resize(static_cast<std::size_t>(copied));
    return Narrow(text);
}

bool MainWindow::ListSelected(Id list, int index) {
    if (!IsList(list)) return false;
    return SendMessageW(Control(list), LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
}

void MainWindow::ListSetSelected(Id list, int index, bool selected) {
    // LB_SETSEL sends no LBN_SELCHANGE: the program's own changes do not run the click handler.
    if (IsList(list) && index >= 0)
        SendMessageW(Control(list), LB_SETSEL, selected ? TRUE : FALSE, static_cast<LPARAM>(index));
}

int MainWindow::ListIndex(Id list) {
    if (ListCount(list) == 0) return -1;
    LRESULT caret = SendMessageW(Control(list), LB_GETCARETINDEX, 0, 0);
    return caret == LB_ERR ? -1 : static_cast<int>(caret);
}

app::CheckState MainWindow::CheckValue(Id box) {
    if (box != Id::chkHttpRedirect) return app::CheckState::Unchecked;
    switch (SendMessageW(Control(box), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return app::CheckState::Checked;
    case BST_INDETERMINATE: return app::CheckState::Grayed;
    default: return app::CheckState::Unchecked;
    }
}

void MainWindow::SetCheckValue(Id box, app::CheckState value) {
    if (box != Id::chkHttpRedirect) return;
    HWND hwnd = Control(box);
    const bool grayed = value == app::CheckState::Grayed;
    // Only a three-state button can show grayed; the user's clicks still toggle two states.
    SendMessageW(hwnd, BM_SETSTYLE, grayed ? BS_AUTO3STATE : BS_AUTOCHECKBOX, TRUE);
    SendMessageW(hwnd, BM_SETCHECK,
                 grayed ? BST_INDETERMINATE : value == app::CheckState::Checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::SetMenuChecked(Id item, bool checked) {
    HMENU menu;
    UINT position, by;
    if (FindMenuItem(item, menu, position, by)) CheckMenuItem(menu, position, by | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MainWindow::MenuChecked(Id item) {
    HMENU menu;
    UINT position, by;
    if (!FindMenuItem(item, menu, position, by)) return false;
    UINT state = GetMenuState(menu, position, by);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
}

app::MsgAnswer MainWindow::ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) {
    UINT flags = static_cast<UINT>(style);
    HWND owner = hwnd_;
    if (!owner) flags |= MB_TASKMODAL;
    return static_cast<app::MsgAnswer>(
        ::MessageBoxW(owner, Wide(text).c_str(), title.empty() ? L"Quillbay" : Wide(title).c_str(), flags));
}

std::optional<std::string> MainWindow::InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) {
    auto answer = ShowInputBox(hwnd_, Wide(prompt), Wide(title), Wide(defaultText));
    if (!answer) return std::nullopt;
    return Narrow(*answer);
}

std::string MainWindow::OpenFileDialog(const std::string& title, const std::string& filter,
                                       const std::string& initialFolder, unsigned flags) {
    // "description|pattern|..." becomes NUL-separated pairs ending in a double NUL.
    std::wstring filters = Wide(filter);
    for (auto& c : filters)
        if (c == L'|') c = L'\0';
    filters.push_back(L'\0');
    const std::wstring caption = Wide(title);
    const std::wstring folder = Wide(initialFolder);

    constexpr DWORD kBufferChars = 32767;
    std::vector<wchar_t> buffer(kBufferChars + 1, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd_;
    ofn.lpstrFilter = filter.empty() ? nullptr : filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = kBufferChars;
    ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.Flags = flags;
    if (!GetOpenFileNameW(&ofn)) return {};

    // One path, or the folder and the names, each ended by a NUL; a double NUL ends the list.
    std::size_t end = 0;
    while (end < kBufferChars && !(buffer[end] == L'\0' && buffer[end + 1] == L'\0')) ++end;
    return Narrow(buffer.data(), end);
}

void MainWindow::SetBusyCursor(bool busy) {
    busy_ = busy;
    if (busy) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else {
        // Let whatever window is under the pointer choose its cursor again.
        POINT at{};
        if (GetCursorPos(&at)) SetCursorPos(at.x, at.y);
    }
}

LRESULT MainWindow::AnswerMenuState(WPARAM id) {
    HMENU menu;
    UINT item, by;
    if (!FindMenuItem(static_cast<Id>(id), menu, item, by)) return -1;
    UINT state = GetMenuState(menu, item, by);
    if (state == static_cast<UINT>(-1)) return -1;
    return ((state & (MF_GRAYED | MF_DISABLED)) ? 0 : 1) | ((state & MF_CHECKED) ? 2 : 0);
}

LRESULT MainWindow::AnswerMenuText(WPARAM id) {
    HMENU menu;
    UINT item, by;
    if (!FindMenuItem(static_cast<Id>(id), menu, item, by)) return -1;
    if (!menuTextMapping_) {
        menuTextMapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                              kMenuTextMappingChars * sizeof(wchar_t),
                                              MenuTextMappingName(GetCurrentProcessId()).c_str());
        if (!menuTextMapping_) return -1;
    }
    const std::wstring caption = Wide(Text(static_cast<Id>(id)));
    auto* view = static_cast<wchar_t*>(MapViewOfFile(menuTextMapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return -1;
    std::size_t length = std::min<std::size_t>(caption.size(), kMenuTextMappingChars - 1);
    caption.copy(view, length);
    view[length] = L'\0';
    UnmapViewOfFile(view);
    return static_cast<LRESULT>(length);
}

}  // namespace quillbay::win32
