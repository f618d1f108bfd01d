// app::Ui on the real window: every read and write goes to a control, a menu item or a dialog.
#include "win32/window.h"

#include <commdlg.h>

#include <vector>

#include "support/failure.h"
#include "win32/input_box.h"
#include "win32/text_win32.h"
#include "win32/window_layout.h"
#include "win32/window_menus.h"

namespace quillbay::win32 {
namespace {

using app::Id;

std::string WindowText(HWND hwnd) {
    if (!hwnd) return {};
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
    return WideToUtf8(text);
}

}  // namespace

HWND MainWindow::Control(Id id) const {
    if (!hwnd_) return nullptr;
    if (id == Id::Main) return hwnd_;
    if (!IsControl(id)) return nullptr;
    return GetDlgItem(hwnd_, static_cast<int>(id));
}

void MainWindow::Show() {
    if (!hwnd_ || IsWindowVisible(hwnd_)) return;
    ShowWindow(hwnd_, showCommand_);
    UpdateWindow(hwnd_);
    if (HWND first = Control(Id::lstCertificates)) SetFocus(first);
}

void MainWindow::SetText(Id id, const std::string& text) {
    if (auto item = FindMenuItem(hwnd_, id)) {
        SetMenuCaption(*item, Utf8ToWide(text));
        DrawMenuBar(hwnd_);
        return;
    }
    if (IsList(id)) return;  // a list has no caption
    if (HWND hwnd = Control(id)) SetWindowTextW(hwnd, Utf8ToWide(text).c_str());
}

std::string MainWindow::Text(Id id) {
    if (auto item = FindMenuItem(hwnd_, id)) return WideToUtf8(MenuCaption(*item));
    if (IsList(id)) {
        // A list's text is that of its current item.
        int index = ListIndex(id);
        return index < 0 ? std::string() : ListItem(id, index);
    }
    return WindowText(Control(id));
}

void MainWindow::SetEnabled(Id id, bool enabled) {
    if (auto item = FindMenuItem(hwnd_, id)) {
        EnableMenuItem(item->menu, item->item, item->by | (enabled ? MF_ENABLED : MF_GRAYED));
        if (item->by == MF_BYPOSITION) DrawMenuBar(hwnd_);
        return;
    }
    if (HWND hwnd = Control(id)) EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool MainWindow::Enabled(Id id) {
    if (auto item = FindMenuItem(hwnd_, id)) {
        UINT state = MenuState(*item);
        return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
    }
    HWND hwnd = Control(id);
    return hwnd && IsWindowEnabled(hwnd);
}

void MainWindow::SetMenuChecked(Id id, bool checked) {
    if (auto item = FindMenuItem(hwnd_, id))
        CheckMenuItem(item->menu, item->item, item->by | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool MainWindow::MenuChecked(Id id) {
    auto item = FindMenuItem(hwnd_, id);
    if (!item) return false;
    UINT state = MenuState(*item);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED);
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
    const std::wstring wide = Utf8ToWide(item);
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
    return WideToUtf8(text);
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

app::MsgAnswer MainWindow::ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) {
    UINT flags = static_cast<UINT>(style);
    HWND owner = hwnd_;
    if (!owner) flags |= MB_TASKMODAL;
    return static_cast<app::MsgAnswer>(::MessageBoxW(owner, Utf8ToWide(text).c_str(),
                                                     title.empty() ? L"Quillbay" : Utf8ToWide(title).c_str(), flags));
}

std::optional<std::string> MainWindow::InputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) {
    auto answer = ShowInputBox(hwnd_, Utf8ToWide(prompt), Utf8ToWide(title), Utf8ToWide(defaultText));
    if (!answer) return std::nullopt;
    return WideToUtf8(*answer);
}

std::string MainWindow::OpenFileDialog(const std::string& title, const std::string& filter,
                                       const std::string& initialFolder, unsigned flags) {
    // "description|pattern|..." becomes NUL-separated pairs ending in a double NUL.
    std::wstring filters = Utf8ToWide(filter);
    for (auto& c : filters)
        if (c == L'|') c = L'\0';
    filters.push_back(L'\0');
    const std::wstring caption = Utf8ToWide(title);
    const std::wstring folder = Utf8ToWide(initialFolder);

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
    // The dialog must not leave the process in the folder it browsed to.
    ofn.Flags = flags | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return {};

    // One path, or the folder and the names, each ended by a NUL; a double NUL ends the list.
    std::size_t end = 0;
    while (end < kBufferChars && !(buffer[end] == L'\0' && buffer[end + 1] == L'\0')) ++end;
    return WideToUtf8(std::wstring_view(buffer.data(), end));
}

}  // namespace quillbay::win32
