#include "win32/window.h"

#include <commctrl.h>

#include "app/handlers.h"
#include "app/main.h"
#include "app/report.h"
#include "support/failure.h"
#include "win32/automation.h"
#include "win32/resources/resource.h"
#include "win32/window_layout.h"
#include "win32/window_menus.h"

namespace quillbay::win32 {
namespace {

using app::Id;

// The name a failure that escapes a handler is logged under.
const char* HandlerName(Id id) {
    switch (id) {
    case Id::cmdImport: return "cmdImport_Click";
    case Id::cmdDeploy: return "cmdDeploy_Click";
    case Id::mnuFileExit: return "mnuFileExit_Click";
    case Id::mnuChainManualImport: return "mnuChainManualImport_Click";
    case Id::mnuChainViewSystemStore: return "mnuChainViewSystemStore_Click";
    case Id::mnuToolsSetPort: return "mnuToolsSetPort_Click";
    case Id::mnuToolsVerify: return "mnuToolsVerify_Click";
    case Id::mnuToolsRenew: return "mnuToolsRenew_Click";
    case Id::mnuChainTlsCompatible:
    case Id::mnuChainTlsModern:
    case Id::mnuChainTlsUnchanged: return "SetTlsProfile";
    case Id::mnuLanguageEnglish: return "mnuLanguageEnglish_Click";
    case Id::mnuLanguageSimplifiedChinese: return "mnuLanguageSimplifiedChinese_Click";
    case Id::mnuLanguageTraditionalChinese: return "mnuLanguageTraditionalChinese_Click";
    case Id::mnuHelpAbout: return "mnuHelpAbout_Click";
    case Id::mnuHelpCheckUpdate: return "mnuHelpCheckUpdate_Click";
    default: return "OnCommand";
    }
}

HICON LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_QUILLBAY), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), 0));
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
    if (font_) DeleteObject(font_);
}

void MainWindow::Create(int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MainWindow::WindowProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainWindowClass;
    wc.hIcon = LoadAppIcon(instance_, SM_CXICON, SM_CYICON);
    wc.hIconSm = LoadAppIcon(instance_, SM_CXSMICON, SM_CYSMICON);
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw Failure(static_cast<std::int32_t>(GetLastError()), "The main window class cannot be registered.");

    // Created hidden at a provisional place; sized once its monitor's DPI is known.
    HWND hwnd = CreateWindowExW(kMainWindowExStyle, kMainWindowClass, L"Quillbay", kMainWindowStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, BuildMenuBar(), instance_, this);
    if (!hwnd) throw Failure(static_cast<std::int32_t>(GetLastError()), "The main window cannot be created.");

    CreateControls(hwnd_, instance_);
    const UINT dpi = WindowDpi(hwnd_);
    ApplyDpi(dpi);
    SizeAndCentre(hwnd_, dpi);
    showCommand_ = showCommand;
}

void MainWindow::ApplyDpi(UINT dpi) {
    HFONT old = font_;
    font_ = CreateUiFont(dpi);
    LayOutControls(hwnd_, font_, dpi);
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
    if (auto answer = automation_.Answer(hwnd_, message, wParam, !loaded_ || handlerDepth_ > 0)) return *answer;

    switch (message) {
    case kResumeListRedraw:
        ResumeListRedraw(static_cast<Id>(wParam));
        return 0;
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
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

LRESULT MainWindow::OnCommand(int id, int code, HWND control) {
    if (!control) {
        // Menu command. A disabled item cannot be clicked; a posted command for one is
        // ignored the same way.
        if (code == 0 && IsMenuCommand(id) && Enabled(static_cast<Id>(id)) && main_)
            RunHandler(HandlerName(static_cast<Id>(id)), [&] { app::OnCommand(*main_, static_cast<Id>(id)); });
        return 0;
    }
    const Id from = static_cast<Id>(id);
    if ((from == Id::cmdImport || from == Id::cmdDeploy) && code == BN_CLICKED && main_) {
        RunHandler(HandlerName(from), [&] { app::OnCommand(*main_, from); });
    } else if (from == Id::lstSites && code == LBN_SELCHANGE && main_) {
        RunHandler("lstSites_Click", [&] { app::lstSites_Click(*main_); });
    } else if (from == Id::chkHttpRedirect && code == BN_CLICKED) {
        // A click on a grayed box leaves the three-state style that only the program sets.
        if ((GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTO3STATE) {
            SendMessageW(control, BM_SETSTYLE, BS_AUTOCHECKBOX, TRUE);
            SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
    return 0;
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

void MainWindow::Close() {
    closeRequested_ = true;
    if (handlerDepth_ == 0) CloseWhenIdle();
}

void MainWindow::CloseWhenIdle() {
    closeRequested_ = false;
    busy_ = false;
    if (hwnd_) DestroyWindow(hwnd_);
}

}  // namespace quillbay::win32
