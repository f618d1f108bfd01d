// qbdriver: drives the running Quillbay window from another process, as a user would, and
// prints what it sees. Controls and menu items go by the program's names (lblStatus; Main is
// the window); the commands are in kCommands. "serve" reads commands from standard input, one
// a line, words separated by tabs, until an empty line, writing "\x01" and the exit code after
// each one's output. Texts are UTF-8 on one line, with \r, \n, \t, \0 and \\ escaped. Exit
// code 1 when something did not appear or hold in time, 2 for a refused or malformed command
// (for example clicking a disabled control, which a user cannot).
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ui.h"
#include "lang/store.h"
#include "win32/automation.h"
#include "win32/text_win32.h"

namespace {

using quillbay::app::Id;
namespace w32 = quillbay::win32;
using Words = std::vector<std::wstring>;

constexpr DWORD kDefaultTimeout = 30000;  // only ever waited in full when something is wrong
constexpr int kInputBoxEdit = 3001;
constexpr int kFileNameField = 1148;  // the open-file dialog's name box (cmb13)

#define QB_NAMED(name) {L## #name, Id::name}
constexpr struct { const wchar_t* name; Id id; } kNames[] = {
    QB_NAMED(Main), QB_NAMED(lstCertificates), QB_NAMED(lblCertList), QB_NAMED(cmdImport), QB_NAMED(lblStatus),
    QB_NAMED(lstSites), QB_NAMED(cmdDeploy), QB_NAMED(lblSiteList), QB_NAMED(chkHttpRedirect), QB_NAMED(TxtHttpsPort),
    QB_NAMED(lblHttpsPort), QB_NAMED(mnuFile), QB_NAMED(mnuFileExit), QB_NAMED(mnuChain), QB_NAMED(mnuChainManualImport),
    QB_NAMED(mnuChainViewSystemStore), QB_NAMED(mnuChainTls), QB_NAMED(mnuChainTlsCompatible), QB_NAMED(mnuChainTlsModern),
    QB_NAMED(mnuChainTlsUnchanged), QB_NAMED(mnuTools), QB_NAMED(mnuToolsSetPort), QB_NAMED(mnuToolsVerify), QB_NAMED(mnuToolsRenew),
    QB_NAMED(mnuLanguage),
    QB_NAMED(mnuLanguageEnglish), QB_NAMED(mnuLanguageSimplifiedChinese), QB_NAMED(mnuLanguageTraditionalChinese),
    QB_NAMED(mnuHelp), QB_NAMED(mnuHelpAbout), QB_NAMED(mnuHelpCheckUpdate),
};
std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        const auto special = std::wstring_view(L"\\\r\n\t\0", 5).find(c);
        out += special == std::wstring_view::npos ? std::wstring(1, c) : std::wstring{L'\\', L"\\rnt0"[special]};
    }
    return out;
}
void Write(DWORD handle, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(handle), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
int Print(const std::wstring& line) {
    Write(STD_OUTPUT_HANDLE, w32::WideToUtf8(line) + "\n");
    return 0;
}
int Fail(int code, const std::wstring& message) {
    Write(STD_ERROR_HANDLE, "qbdriver: " + w32::WideToUtf8(message) + "\n");
    return code;
}
std::optional<long> Number(const std::wstring& text) {
    wchar_t* end = nullptr;
    const long value = std::wcstol(text.c_str(), &end, 0);
    return end != text.c_str() && *end == L'\0' ? std::optional(value) : std::nullopt;
}
// A hung window fails a check instead of holding the run.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LRESULT failed = 0) {
    DWORD_PTR out = 0;
    return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, 10000, &out) ? LRESULT(out) : failed;
}
// WM_GETTEXT goes through the owning thread, so it reads an edit box's live text too.
std::wstring TextOf(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(Send(hwnd, WM_GETTEXTLENGTH)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(Send(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}
std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}
DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}
HWND FindMain() { return FindWindowW(w32::kMainWindowClass, nullptr); }
template <class Condition>
bool WaitFor(DWORD timeout, Condition&& condition, DWORD pollMs = 20) {
    for (const ULONGLONG end = GetTickCount64() + timeout; !condition(); Sleep(pollMs))
        if (GetTickCount64() >= end) return false;
    return true;
}
bool IsMenu(Id id) { return static_cast<int>(id) >= static_cast<int>(Id::mnuFileExit); }
// Bit 0 enabled, bit 1 checked; -1 unknown ID (the window's own answer, see automation.h).
LRESULT MenuState(HWND main, Id id) {
    static const UINT message = RegisterWindowMessageW(w32::kMenuStateMessage);
    return Send(main, message, static_cast<WPARAM>(id), 0, -1);
}
std::optional<std::wstring> TextOf(HWND main, Id id) {
    static const UINT message = RegisterWindowMessageW(w32::kMenuTextMessage);
    if (!IsMenu(id)) {
        HWND control = id == Id::Main ? main : GetDlgItem(main, static_cast<int>(id));
        return control ? std::optional(TextOf(control)) : std::nullopt;
    }
    const LRESULT length = Send(main, message, static_cast<WPARAM>(id), 0, -1);
    HANDLE mapping = length < 0 ? nullptr
                                : OpenFileMappingW(FILE_MAP_READ, FALSE, w32::MenuTextMappingName(ProcessOf(main)).c_str());
    if (!mapping) return std::nullopt;
    std::optional<std::wstring> text;
    if (const auto* view = static_cast<const wchar_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
        text.emplace(view, static_cast<std::size_t>(length));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return text;
}

std::vector<HWND> WindowsOf(HWND parent) {
    std::vector<HWND> all;
    WNDENUMPROC add = [](HWND hwnd, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
    };
    parent ? EnumChildWindows(parent, add, reinterpret_cast<LPARAM>(&all)) : EnumWindows(add, reinterpret_cast<LPARAM>(&all));
    return all;
}

// The program's dialog (message box, input box, file dialog) that takes input now.
HWND FindDialog(HWND main) {
    for (HWND w : WindowsOf(nullptr))
        if (ProcessOf(w) == ProcessOf(main) && IsWindowVisible(w) && IsWindowEnabled(w) && ClassOf(w) == L"#32770")
            return w;
    return nullptr;
}
HWND WaitDialog(HWND main, DWORD timeout, int childId = 0) {
    HWND dialog = nullptr;
    auto open = [&] { return (dialog = FindDialog(main)) && (!childId || GetDlgItem(dialog, childId)); };
    return WaitFor(timeout, open) ? dialog : nullptr;
}
bool IsIcon(HWND child) {
    return ClassOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}
// The box's icon as drawn on the screen, judged by the colours of a grid of its pixels: the
// standard icons are a red disc (16), a yellow triangle (48) and a blue disc (64). 0 while none is drawn.
int IconStyle(HWND dialog) {
    for (HWND child : WindowsOf(dialog)) {
        RECT r{};
        if (!IsIcon(child) || !IsWindowVisible(child) || !GetWindowRect(child, &r) || IsRectEmpty(&r)) continue;
        HDC screen = GetDC(nullptr);
        int red = 0, yellow = 0, blue = 0;
        for (int i = 1; i < 8; ++i)
            for (int j = 1; j < 8; ++j) {
                const COLORREF p = GetPixel(screen, r.left + (r.right - r.left) * i / 8, r.top + (r.bottom - r.top) * j / 8);
                const int rd = GetRValue(p), g = GetGValue(p), b = GetBValue(p);
                if (rd > g + 60 && rd > b + 60 && g < b + 40) ++red;
                else if (rd > 140 && g > 110 && b + 60 < g) ++yellow;
                else if (b > rd + 40 && b > g + 20) ++blue;
            }
        ReleaseDC(nullptr, screen);
        if (red > 6 && red > 3 * (yellow + blue)) return 16;
        if (yellow > 6 && yellow > 3 * (red + blue)) return 48;
        if (blue > 6 && blue > 3 * (red + yellow)) return 64;
    }
    return 0;
}

// See automation.h: mask 2 waits until the window has seen what was posted before, 3 also
// until it runs no handler; state is its last answer.
bool WaitIdle(HWND main, DWORD timeout, LRESULT& state, LRESULT mask, DWORD pollMs = 20) {
    static const UINT ping = RegisterWindowMessageW(w32::kPingMessage);
    static const UINT busy = RegisterWindowMessageW(w32::kBusyMessage);
    static WPARAM sequence = 0;
    const WPARAM token = (static_cast<WPARAM>(GetCurrentProcessId()) << 16) ^ GetTickCount() ^ ++sequence;
    PostMessageW(main, ping, token, 0);
    return WaitFor(timeout, [&] { return ((state = Send(main, busy, token, 0, -1)) & mask) == 0; }, pollMs);
}

// In EXE's folder. Its standard handles are the null device: handed ours, it would hold the
// caller's pipes open for as long as it runs.
std::optional<PROCESS_INFORMATION> StartProgram(const std::wstring& exe, DWORD flags) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    std::wstring commandLine = L"\"" + exe + L"\"";
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    const DWORD error = GetLastError();
    CloseHandle(nul);
    if (started) return process;
    Fail(1, L"cannot start " + exe + L" (error " + std::to_wstring(error) + L")");
    return std::nullopt;
}

// A key's text in the program's own table of a language.
std::optional<std::wstring> TableText(const std::wstring& language, const std::wstring& key) {
    const std::wstring names[] = {L"en", L"zh-hans", L"zh-hant"};
    const auto id = std::find(std::begin(names), std::end(names), language) - std::begin(names);
    if (id == 3) return std::nullopt;
    quillbay::lang::SetCurrentLanguage(static_cast<int>(id));
    const std::string text = quillbay::lang::GetLangString(w32::WideToUtf8(key));
    return text.rfind("[MISSING_TRANSLATION:", 0) == 0 ? std::nullopt : std::optional(w32::Utf8ToWide(text));
}

struct Call {
    Words args;
    HWND main = nullptr, control = nullptr;  // control: none for a menu item
    Id id{};
    LRESULT menuState = 0;
    DWORD Ms(std::size_t i) const {
        const auto value = i < args.size() ? Number(args[i]) : std::nullopt;
        return value && *value >= 0 ? static_cast<DWORD>(*value) : kDefaultTimeout;
    }
};

// Waits for the dialog (a posted command may not have opened it yet) and clicks a button as its
// accelerator would, after typing the second word into FIELD if given. Done when the dialog
// closed, or when a file dialog took a folder and emptied the field.
int PressButton(const Call& c, int id, int field = 0) {
    HWND dialog = WaitDialog(c.main, c.Ms(2), field), edit = dialog && field ? GetDlgItem(dialog, field) : nullptr;
    HWND button = dialog ? GetDlgItem(dialog, id) : nullptr;
    if (!button) return Fail(1, L"no dialog with a button " + std::to_wstring(id));
    if (edit) Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.args[1].c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return WaitFor(c.Ms(2), [&] { return !IsWindowVisible(dialog) || (edit && TextOf(edit) != c.args[1]); })
               ? 0
               : Fail(1, L"the dialog did not close");
}

int Run(Words args);

int Serve() {
    for (std::string line; std::getline(std::cin, line) && !line.empty();) {
        std::wistringstream fields(w32::Utf8ToWide(line));
        Words args;
        for (std::wstring arg; std::getline(fields, arg, L'\t');) args.push_back(arg);
        Write(STD_OUTPUT_HANDLE, "\x01" + std::to_string(Run(args)) + "\n");
    }
    return 0;
}

int Launch(const Call& c) {
    for (std::size_t i = 2; i < c.args.size(); ++i) {
        const auto equals = c.args[i].find(L'=');
        if (equals == std::wstring::npos || equals == 0) return Fail(2, L"not NAME=VALUE: " + c.args[i]);
        SetEnvironmentVariableW(c.args[i].substr(0, equals).c_str(), c.args[i].substr(equals + 1).c_str());
    }
    return StartProgram(c.args[1], 0) ? 0 : 1;  // its handles close with this process
}

// A job counts the processes the start made. The status is read without a message, so that
// the fine polling never waits on the busy window.
int TimeStart(const Call& c) {
    const ULONGLONG start = GetTickCount64();
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    const auto process = StartProgram(c.args[1], CREATE_SUSPENDED);
    if (!process) return 1;
    if (!job || !AssignProcessToJobObject(job, process->hProcess)) {
        TerminateProcess(process->hProcess, 1);
        return Fail(1, L"the process cannot join a job");
    }
    ResumeThread(process->hThread);
    HWND main = nullptr;
    std::wstring status;
    WaitFor(c.Ms(3), [&] {  // ends early when the program has
        wchar_t text[512] = {};
        if ((main = FindMain())) GetWindowTextW(GetDlgItem(main, static_cast<int>(Id::lblStatus)), text, 512);
        return (status = text) == c.args[2] || WaitForSingleObject(process->hProcess, 0) == WAIT_OBJECT_0;
    }, 2);
    LRESULT state = -1;
    if (status != c.args[2]) return Fail(1, L"status is \"" + status + L"\"");
    if (!WaitIdle(main, c.Ms(3), state, 3, 2)) return Fail(1, L"the window stayed busy (" + std::to_wstring(state) + L")");
    const ULONGLONG ms = GetTickCount64() - start;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION account{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &account, sizeof account, nullptr))
        return Fail(1, L"no job accounting");
    return Print(L"ms " + std::to_wstring(ms)) + Print(L"processes " + std::to_wstring(account.TotalProcesses));
}

// wait-box: the dialog's "title=", "text=", "buttons=" (IDs), for the input box "value=", and
// for a message box with an icon "icon=" and its style, once drawn (0 if it never is).
int Box(const Call& c) {
    HWND dialog = WaitDialog(c.main, c.Ms(1));
    if (!dialog) return Fail(1, L"no dialog appeared");
    std::wstring buttons, text;
    bool icon = false;
    for (HWND child : WindowsOf(dialog)) {
        icon = icon || (IsIcon(child) && IsWindowVisible(child));
        if (ClassOf(child) == L"Button" && IsWindowVisible(child))
            buttons += (buttons.empty() ? L"" : L" ") + std::to_wstring(GetDlgCtrlID(child));
        // A message box's text: the longest static text that is not an icon (its control ID
        // differs between implementations).
        if (ClassOf(child) == L"Static" && IsWindowVisible(child) && !IsIcon(child) && TextOf(child).size() > text.size())
            text = TextOf(child);
    }
    Print(L"title=" + Escape(TextOf(dialog)) + L"\ntext=" + Escape(text) + L"\nbuttons=" + buttons);
    if (HWND edit = GetDlgItem(dialog, kInputBoxEdit)) Print(L"value=" + Escape(TextOf(edit)));
    int style = 0;
    if (icon) WaitFor(c.Ms(1), [&] { return (style = IconStyle(dialog)) != 0; });
    return icon ? Print(L"icon=" + std::to_wstring(style)) : 0;
}

int ListClick(const Call& c) {
    const auto index = Number(c.args[2]);
    if (!index || *index < 0 || *index >= Send(c.control, LB_GETCOUNT)) return Fail(2, L"no item " + c.args[2]);
    // Scroll the item into view (the list keeps its last page full), then press and release the
    // mouse button on it. Sent, not posted: the list and its click handler have run when this returns.
    Send(c.control, LB_SETTOPINDEX, static_cast<WPARAM>(*index));
    const LRESULT top = Send(c.control, LB_GETTOPINDEX), height = Send(c.control, LB_GETITEMHEIGHT);
    const LPARAM at = MAKELPARAM(4, static_cast<int>((*index - top) * height + height / 2));
    if (Send(c.control, WM_LBUTTONDOWN, MK_LBUTTON, at, -1) == -1 || Send(c.control, WM_LBUTTONUP, 0, at, -1) == -1)
        return Fail(1, L"the list did not answer");
    return 0;
}

int List(const Call& c) {
    for (LRESULT i = 0, count = Send(c.control, LB_GETCOUNT); i < count; ++i) {
        std::wstring item(static_cast<std::size_t>(Send(c.control, LB_GETTEXTLEN, i)) + 1, L'\0');
        item.resize(static_cast<std::size_t>(
            std::max<LRESULT>(0, Send(c.control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data())))));
        Print(std::wstring(Send(c.control, LB_GETSEL, i) > 0 ? L"[x] " : L"[ ] ") + Escape(item));
    }
    return 0;
}

// What a command needs besides its words (the name included): the window, or also what the
// second word names, or that to be an enabled menu item or control.
enum class Needs { Nothing, Window, Named, Menu, Control };
const struct { const wchar_t* name; Needs needs; std::size_t words; std::function<int(const Call&)> run; } kCommands[] = {
    {L"serve", Needs::Nothing, 1, [](const Call&) { return Serve(); }},
    {L"string", Needs::Nothing, 3, [](const Call& c) {
         const auto text = TableText(c.args[1], c.args[2]);
         return text ? Print(Escape(*text)) : Fail(2, L"no such language or text");
     }},
    {L"wait-window", Needs::Nothing, 1, [](const Call& c) {  // prints "PID LEFT TOP WIDTH HEIGHT"
         HWND main = nullptr;
         RECT r{};
         if (!WaitFor(c.Ms(1), [&] { return (main = FindMain()) && IsWindowVisible(main) && GetWindowRect(main, &r); }))
             return Fail(1, L"no Quillbay window");
         return Print(std::to_wstring(ProcessOf(main)) + L" " + std::to_wstring(r.left) + L" " + std::to_wstring(r.top) +
                      L" " + std::to_wstring(r.right - r.left) + L" " + std::to_wstring(r.bottom - r.top));
     }},
    {L"wait-gone", Needs::Nothing, 1, [](const Call& c) {  // the window, then its program
         HWND main = FindMain();
         HANDLE process = main ? OpenProcess(SYNCHRONIZE, FALSE, ProcessOf(main)) : nullptr;
         const bool gone = WaitFor(c.Ms(1), [] { return !FindMain(); }) &&
                           (!process || WaitForSingleObject(process, c.Ms(1)) == WAIT_OBJECT_0);
         if (process) CloseHandle(process);
         return gone ? 0 : Fail(1, L"the window or its program is still there");
     }},
    {L"launch", Needs::Nothing, 2, Launch},
    {L"time-start", Needs::Nothing, 3, TimeStart},
    // wait-idle: the window has handled all posted to it so far and runs no handler (nor the
    // load event); wait-seen: only the first, printing 1 while a handler runs.
    {L"wait-idle", Needs::Window, 1, [](const Call& c) {
         LRESULT state = -1;
         return WaitIdle(c.main, c.Ms(1), state, 3) ? 0 : Fail(1, L"still busy (" + std::to_wstring(state) + L")");
     }},
    {L"wait-seen", Needs::Window, 1, [](const Call& c) {
         LRESULT state = -1;
         return WaitIdle(c.main, c.Ms(1), state, 2) ? Print(state & 1 ? L"1" : L"0") : Fail(1, L"nothing taken");
     }},
    {L"close", Needs::Window, 1, [](const Call& c) { return PostMessageW(c.main, WM_CLOSE, 0, 0) ? 0 : 1; }},
    {L"wait-box", Needs::Window, 1, Box},
    {L"no-box", Needs::Window, 1, [](const Call& c) {
         HWND dialog = FindDialog(c.main);
         return dialog ? Fail(1, L"a dialog is open: " + TextOf(dialog)) : 0;
     }},
    {L"answer-box", Needs::Window, 2, [](const Call& c) { return PressButton(c, Number(c.args[1]).value_or(0)); }},
    {L"input-box", Needs::Window, 2, [](const Call& c) { return PressButton(c, IDOK, kInputBoxEdit); }},
    {L"file-dialog", Needs::Window, 2, [](const Call& c) { return PressButton(c, IDOK, kFileNameField); }},
    {L"text", Needs::Named, 2, [](const Call& c) {
         const auto text = TextOf(c.main, c.id);
         return text ? Print(Escape(*text)) : Fail(1, L"cannot read " + c.args[1]);
     }},
    {L"enabled", Needs::Named, 2, [](const Call& c) {
         return Print((c.control ? IsWindowEnabled(c.control) : (c.menuState & 1)) ? L"1" : L"0");
     }},
    {L"checked", Needs::Named, 2, [](const Call& c) {
         return Print(c.control ? std::to_wstring(Send(c.control, BM_GETCHECK)) : (c.menuState & 2) ? L"1" : L"0");
     }},
    {L"list", Needs::Named, 2, List},
    {L"menu", Needs::Menu, 2, [](const Call& c) {
         return PostMessageW(c.main, WM_COMMAND, MAKEWPARAM(static_cast<int>(c.id), 0), 0) ? 0 : 1;
     }},
    {L"click", Needs::Control, 2, [](const Call& c) { return PostMessageW(c.control, BM_CLICK, 0, 0) ? 0 : 1; }},
    {L"list-click", Needs::Control, 3, ListClick},
};

int Run(Words args) {
    const auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const auto& k) { return !args.empty() && args[0] == k.name; });
    if (command == std::end(kCommands) || args.size() < command->words)
        return Fail(2, L"unknown or incomplete command: " + (args.empty() ? L"" : args[0]));
    Call c{std::move(args)};
    if (command->needs == Needs::Nothing) return command->run(c);
    if (!(c.main = FindMain())) return Fail(1, L"no Quillbay window");
    if (command->needs == Needs::Window) return command->run(c);
    const auto named = std::find_if(std::begin(kNames), std::end(kNames), [&](auto& n) { return c.args[1] == n.name; });
    if (named == std::end(kNames)) return Fail(2, L"no control or menu item named " + c.args[1]);
    c.id = named->id;
    if (IsMenu(c.id) && (c.menuState = MenuState(c.main, c.id)) < 0) return Fail(1, L"no menu item " + c.args[1]);
    if (!IsMenu(c.id) && !(c.control = c.id == Id::Main ? c.main : GetDlgItem(c.main, static_cast<int>(c.id))))
        return Fail(1, L"no control " + c.args[1]);
    if (command->needs == Needs::Menu && (c.control || !(c.menuState & 1)))
        return Fail(2, c.args[1] + L" is no enabled menu item");
    if (command->needs == Needs::Control && (!c.control || !IsWindowEnabled(c.control)))
        return Fail(2, c.args[1] + L" is no enabled control");
    return command->run(c);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run({argv + 1, argv + argc}); }
