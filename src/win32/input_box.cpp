#include "win32/input_box.h"

#include <cstdint>
#include <vector>

namespace quillbay::win32 {
namespace {

// Writes a DLGTEMPLATE and its items into a WORD-aligned buffer, field by field as the
// dialog manager reads them.
class TemplateWriter {
public:
    void Dword(DWORD v) {
        Word(static_cast<WORD>(v & 0xFFFF));
        Word(static_cast<WORD>(v >> 16));
    }
    void Word(WORD v) { words_.push_back(v); }
    void String(const wchar_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void AlignDword() {
        if (words_.size() % 2) Word(0);
    }
    void Header(DWORD style, WORD items, short cx, short cy) {
        Dword(style);
        Dword(0);  // extended style
        Word(items);
        Word(0), Word(0);  // x, y: the dialog is centred on its owner once created
        Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // predefined dialog class
        String(L"");  // title set at WM_INITDIALOG
        Word(8);  // DS_SETFONT: point size, then the face
        String(L"MS Shell Dlg");
    }
    void Item(WORD classAtom, int id, DWORD style, short x, short y, short cx, short cy) {
        AlignDword();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
        Word(static_cast<WORD>(id));
        Word(0xFFFF), Word(classAtom);
        String(L"");
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    // std::vector's storage is aligned well beyond the DWORD that templates need.
    std::vector<WORD> words_;
};

constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;

struct InputBoxState {
    const std::wstring* prompt;
    const std::wstring* title;
    const std::wstring* defaultText;
    std::wstring answer;
};

// The platform's own captions for OK and Cancel in the user's language where it offers
// them (MB_GetString is exported by user32 on Windows but absent from some emulations).
std::wstring ButtonCaption(UINT index, const wchar_t* fallback) {
    using GetStringFn = LPCWSTR(WINAPI*)(UINT);
    static const auto getString = reinterpret_cast<GetStringFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "MB_GetString")));
    if (getString) {
        if (LPCWSTR text = getString(index); text && *text) return text;
    }
    return fallback;
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(item);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(item, text.data(), length + 1)));
    return text;
}

void CentreOnOwner(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT area{};
    if (!owner || !GetWindowRect(owner, &area)) {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT self{};
    GetWindowRect(dialog, &self);
    int width = self.right - self.left, height = self.bottom - self.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    // Keep the whole box on the monitor even when the owner is near an edge.
    MONITORINFO monitor{sizeof monitor, {}, {}, 0};
    if (GetMonitorInfoW(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        if (x + width > work.right) x = work.right - width;
        if (y + height > work.bottom) y = work.bottom - height;
        if (x < work.left) x = work.left;
        if (y < work.top) y = work.top;
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<InputBoxState*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, state->title->c_str());
        SetDlgItemTextW(dialog, kInputBoxPromptId, state->prompt->c_str());
        SetDlgItemTextW(dialog, IDOK, ButtonCaption(IDOK - 1, L"OK").c_str());
        SetDlgItemTextW(dialog, IDCANCEL, ButtonCaption(IDCANCEL - 1, L"Cancel").c_str());
        HWND edit = GetDlgItem(dialog, kInputBoxEditId);
        SetWindowTextW(edit, state->defaultText->c_str());
        SendMessageW(edit, EM_SETSEL, 0, -1);
        CentreOnOwner(dialog);
        SetFocus(edit);
        return FALSE;  // focus set here
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
            state->answer = ItemText(dialog, kInputBoxEditId);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                                         const std::wstring& defaultText) {
    // Dialog units; the classic layout: prompt at the top left, the two buttons on the
    // right, the field across the bottom.
    TemplateWriter t;
    t.Header(DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 252, 78);
    t.Item(kEditAtom, kInputBoxEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 57, 238, 13);
    t.Item(kButtonAtom, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 192, 7, 53, 14);
    t.Item(kButtonAtom, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 192, 25, 53, 14);
    t.Item(kStaticAtom, kInputBoxPromptId, SS_LEFT | SS_NOPREFIX, 7, 7, 178, 44);

    InputBoxState state{&prompt, &title, &defaultText, {}};
    INT_PTR result = DialogBoxIndirectParamW(reinterpret_cast<HINSTANCE>(GetModuleHandleW(nullptr)), t.Get(), owner,
                                             InputBoxProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return std::nullopt;
    return state.answer;
}

}  // namespace quillbay::win32
