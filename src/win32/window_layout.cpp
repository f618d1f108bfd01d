#include "win32/window_layout.h"

#include <commctrl.h>

namespace quillbay::win32 {
namespace {

using app::Id;

constexpr int kTwipsPerInch = 1440;
// The client area, in twips.
constexpr int kClientWidth = 10620;
constexpr int kClientHeight = 5415;

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

int Scale(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

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

// Outer window rectangle for the wanted client size (the menu bar counts as one line).
RECT OuterRect(int clientWidth, int clientHeight, UINT dpi) {
    static const auto adjustForDpi = User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, clientWidth, clientHeight};
    if (!adjustForDpi || !adjustForDpi(&rect, kMainWindowStyle, TRUE, kMainWindowExStyle, dpi))
        AdjustWindowRectEx(&rect, kMainWindowStyle, TRUE, kMainWindowExStyle);
    return rect;
}

}  // namespace

bool IsControl(Id id) {
    for (const auto& c : kControls)
        if (c.id == id) return true;
    return false;
}

bool IsList(Id id) { return id == Id::lstCertificates || id == Id::lstSites; }

void CreateControls(HWND window, HINSTANCE instance) {
    for (const auto& c : kControls) {
        const DWORD style = c.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
        CreateWindowExW(c.exStyle, c.className, c.text, style, 0, 0, 0, 0, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
    }
    SendMessageW(GetDlgItem(window, static_cast<int>(Id::chkHttpRedirect)), BM_SETCHECK, BST_CHECKED, 0);
}

void LayOutControls(HWND window, HFONT font, UINT dpi) {
    for (const auto& c : kControls) {
        HWND control = GetDlgItem(window, static_cast<int>(c.id));
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowPos(control, nullptr, Scale(c.left, dpi), Scale(c.top, dpi), Scale(c.width, dpi),
                     Scale(c.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(window, nullptr, TRUE);
}

void SizeAndCentre(HWND window, UINT dpi) {
    // Centre on the work area of the monitor it was placed on.
    RECT outer = OuterRect(Scale(kClientWidth, dpi), Scale(kClientHeight, dpi), dpi);
    int width = outer.right - outer.left, height = outer.bottom - outer.top;
    MONITORINFO monitor{sizeof monitor, {}, {}, 0};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    int x = work.left + (work.right - work.left - width) / 2;
    int y = work.top + (work.bottom - work.top - height) / 2;
    SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // A menu bar that wraps onto a second line (large fonts) takes client height: give it back.
    RECT client{};
    GetClientRect(window, &client);
    if (int missing = Scale(kClientHeight, dpi) - client.bottom; missing > 0)
        SetWindowPos(window, nullptr, x, y - missing / 2, width, height + missing, SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT WindowDpi(HWND window) {
    static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(window)) return dpi;
    }
    return SystemDpi();
}

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

}  // namespace quillbay::win32
