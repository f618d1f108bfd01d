// qbdriver: drives the running Quillbay window from another process, the way a user or an
// accessibility tool would, and prints what it sees. One command per run:
//
//   wait-window [ms]        wait for the main window; prints "pid N"
//   wait-gone [ms]          wait until the main window no longer exists
//   wait-idle [ms]          wait until the window has handled everything posted to it so
//                           far and no handler (nor the load event) is running
//   text ID                 caption or text (ID 0: the window title; menu IDs too)
//   enabled ID              1 or 0 (controls and menu items)
//   checked ID              check box value 0/1/2, or menu check mark 0/1
//   list ID                 one line per item: "[x] text" selected, "[ ] text" not
//   list-index ID           the list's caret (current item), -1 when empty
//   click ID                press a button or the check box (posted: a modal box may follow)
//   list-click ID INDEX     click an item with the mouse
//   menu ID                 choose a menu command (posted)
//   close                   the window's close box (posted)
//   wait-box [ms]           wait for a message box or dialog of the program; prints
//                           "title=...", "text=..." and one "button=ID caption" per button
//   no-box [ms]             succeed when no dialog shows up within the time
//   answer-box ID [ms]      press a button of the open box and wait until it is gone
//   input-box TEXT [ms]     type TEXT into the input box, press OK, wait until it is gone
//   input-cancel [ms]       press Cancel in the input box
//   file-dialog TEXT [ms]   type TEXT into the open-file dialog's name field and press Open
//                           (a folder navigates there; "a" "b" picks several files)
//   wait-status TEXT [ms]   wait until the status line reads TEXT
//   rect                    the window's screen rectangle: "x y width height"
//   launch EXE [NAME=VALUE...]
//                           start EXE (a Windows path; its folder is the working folder) with
//                           these environment changes, an empty VALUE removing the variable;
//                           for what a shell cannot hand over (Wine sets TEMP and TMP from the
//                           registry for a process started from outside); prints "pid N"
//   time-start EXE STATUS [ms]
//                           start EXE in a job object and wait until its window's status line
//                           reads STATUS and the window is idle; prints "window-ms N" (until the
//                           window showed), "ms N" (until idle), both counted from just before
//                           the process was created, and "processes N" (every process the job
//                           saw, EXE included)
//
// Texts are printed in UTF-8 on one line, with \r, \n, \t, \0 and \\ escaped. Exit code 0
// on success, 1 when something did not appear or a condition did not hold in time, 2 for a
// refused or malformed command (for example clicking a disabled control, which a user cannot).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "win32/automation.h"

namespace {

using quillbay::win32::kMainWindowClass;

constexpr DWORD kDefaultTimeout = 10000;
constexpr UINT kSendTimeout = 10000;
constexpr int kInputBoxEdit = 3001;
constexpr int kFileNameField = 1148;  // the open-file dialog's name box (cmb13)
constexpr int kStatusLine = 1004;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        case L'\t': out += L"\\t"; break;
        case L'\0': out += L"\\0"; break;
        default: out += c;
        }
    }
    return out;
}

// Raw UTF-8 bytes to whatever stdout is (a pipe or file when run from the test scripts).
void Print(const std::wstring& line) {
    std::string bytes = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int Fail(int code, const std::wstring& message) {
    std::string bytes = "qbdriver: " + Utf8(message) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    return code;
}

bool Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR out = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kSendTimeout, &out)) return false;
    result = static_cast<LRESULT>(out);
    return true;
}

LRESULT SendOrZero(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    LRESULT result = 0;
    return Send(hwnd, message, wParam, lParam, result) ? result : 0;
}

// WM_GETTEXT goes through the owning thread, so it reads an edit box's live text too.
std::wstring TextOf(HWND hwnd) {
    LRESULT length = SendOrZero(hwnd, WM_GETTEXTLENGTH);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT copied = SendOrZero(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

HWND FindMain() { return FindWindowW(kMainWindowClass, nullptr); }

template <class Condition>
bool WaitFor(DWORD timeout, Condition&& condition, DWORD pollMs = 50) {
    const ULONGLONG end = GetTickCount64() + timeout;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(pollMs);
    }
}

bool IsMenuId(int id) { return (id >= 2001 && id <= 2099) || (id >= 2101 && id <= 2199); }

// Bit 0 enabled, bit 1 checked; -1 unknown ID (the window's own answer, see automation.h).
LRESULT MenuState(HWND main, int id) {
    static const UINT message = RegisterWindowMessageW(quillbay::win32::kMenuStateMessage);
    LRESULT state = -1;
    if (!Send(main, message, static_cast<WPARAM>(id), 0, state)) return -1;
    return state;
}

bool MenuText(HWND main, int id, std::wstring& text) {
    static const UINT message = RegisterWindowMessageW(quillbay::win32::kMenuTextMessage);
    LRESULT length = -1;
    if (!Send(main, message, static_cast<WPARAM>(id), 0, length) || length < 0) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, quillbay::win32::MenuTextMappingName(pid).c_str());
    if (!mapping) return false;
    const auto* view = static_cast<const wchar_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (view) {
        text.assign(view, static_cast<std::size_t>(length));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return view != nullptr;
}

// The program's dialogs (message boxes, the input box) that take input now: visible,
// enabled top-level windows of the dialog class in the window's process.
struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND hwnd, LPARAM context) {
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && ClassOf(hwnd) == L"#32770")
        search->found.push_back(hwnd);
    return TRUE;
}

HWND FindDialog(HWND main) {
    DialogSearch search{0, {}};
    GetWindowThreadProcessId(main, &search.pid);
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found.empty() ? nullptr : search.found.front();
}

struct Children {
    std::vector<HWND> all;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM context) {
    reinterpret_cast<Children*>(context)->all.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    Children children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children.all;
}

// A message box's text is the static with ID 0xFFFF on Windows; other implementations use
// another ID, so fall back to the longest static text that is not an icon.
std::wstring DialogText(HWND dialog) {
    if (HWND text = GetDlgItem(dialog, 0xFFFF); text && ClassOf(text) == L"Static") return TextOf(text);
    std::wstring best;
    for (HWND child : ChildrenOf(dialog)) {
        if (ClassOf(child) != L"Static" || !IsWindowVisible(child)) continue;
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        std::wstring text = TextOf(child);
        if (text.size() > best.size()) best = text;
    }
    return best;
}

bool ParseInt(const wchar_t* text, long& value) {
    wchar_t* end = nullptr;
    value = std::wcstol(text, &end, 0);
    return end != text && *end == L'\0';
}

DWORD TimeoutArg(int argc, wchar_t** argv, int index) {
    long value = 0;
    if (index < argc && ParseInt(argv[index], value) && value >= 0) return static_cast<DWORD>(value);
    return kDefaultTimeout;
}

HWND RequireControl(HWND main, long id) {
    HWND control = GetDlgItem(main, static_cast<int>(id));
    if (!control) Fail(1, L"no control with ID " + std::to_wstring(id));
    return control;
}

// Presses a dialog button the way its keyboard accelerator would, then waits for the
// dialog to close.
int PressDialogButton(HWND dialog, int id, DWORD timeout) {
    HWND button = GetDlgItem(dialog, id);
    if (!button) return Fail(1, L"the dialog has no button " + std::to_wstring(id));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    if (!WaitFor(timeout, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        return Fail(1, L"the dialog did not close");
    return 0;
}

// A process of EXE in this environment; its folder is the working folder. Suspended when
// asked, so that it can join a job before it runs. Its standard handles are the null device:
// handed our own, it would hold the caller's output pipe open for as long as it runs. (Wine
// still passes our standard error on: callers send that to a file.)
std::optional<PROCESS_INFORMATION> StartProgram(const std::wstring& exe, DWORD flags) {
    const auto slash = exe.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash);
    std::wstring commandLine = L"\"" + exe + L"\"";
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (nul != INVALID_HANDLE_VALUE) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                        folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    const DWORD error = GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    SetLastError(error);
    if (!started) return std::nullopt;
    return process;
}

// The main window that belongs to the given process, if it is visible yet.
HWND FindMainOf(DWORD pid) {
    HWND main = nullptr;
    while ((main = FindWindowExW(nullptr, main, kMainWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(main, &owner);
        if (owner == pid && IsWindowVisible(main)) return main;
    }
    return nullptr;
}

// Waits until the window has worked through everything posted to it so far and runs no
// handler (see automation.h); state is its last answer.
bool WaitIdle(HWND main, DWORD timeout, LRESULT& state, DWORD pollMs = 50) {
    static const UINT ping = RegisterWindowMessageW(quillbay::win32::kPingMessage);
    static const UINT busy = RegisterWindowMessageW(quillbay::win32::kBusyMessage);
    const WPARAM token = static_cast<WPARAM>(GetCurrentProcessId()) << 16 ^ GetTickCount();
    PostMessageW(main, ping, token, 0);
    state = -1;
    return WaitFor(timeout, [&] { return Send(main, busy, token, 0, state) && state == 0; }, pollMs);
}

std::wstring StartFailure(const wchar_t* exe) {
    return L"cannot start " + std::wstring(exe) + L" (error " + std::to_wstring(GetLastError()) + L")";
}

// Milliseconds since a performance-counter reading.
long long MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now{}, frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
}

int Launch(int argc, wchar_t** argv) {
    for (int i = 3; i < argc; ++i) {
        const std::wstring change = argv[i];
        const auto equals = change.find(L'=');
        if (equals == std::wstring::npos || equals == 0) return Fail(2, L"not NAME=VALUE: " + change);
        const std::wstring name = change.substr(0, equals), value = change.substr(equals + 1);
        SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    auto process = StartProgram(argv[2], 0);
    if (!process) return Fail(1, StartFailure(argv[2]));
    Print(L"pid " + std::to_wstring(process->dwProcessId));
    CloseHandle(process->hThread);
    CloseHandle(process->hProcess);
    return 0;
}

int TimeStart(int argc, wchar_t** argv) {
    const std::wstring wanted = argv[3];
    const DWORD timeout = TimeoutArg(argc, argv, 4);
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return Fail(1, L"no job object (error " + std::to_wstring(GetLastError()) + L")");
    LARGE_INTEGER start{};
    QueryPerformanceCounter(&start);
    auto process = StartProgram(argv[2], CREATE_SUSPENDED);
    if (!process) return Fail(1, StartFailure(argv[2]));
    if (!AssignProcessToJobObject(job, process->hProcess)) {
        TerminateProcess(process->hProcess, 1);
        return Fail(1, L"the process cannot join the job (error " + std::to_wstring(GetLastError()) + L")");
    }
    ResumeThread(process->hThread);
    CloseHandle(process->hThread);

    // Polled finely: the figures are what this command is for. The window text of another
    // process is read without a message, so polling never waits on the busy window.
    constexpr DWORD kPollMs = 2;
    const ULONGLONG end = GetTickCount64() + timeout;
    auto left = [&] {
        const ULONGLONG now = GetTickCount64();
        return static_cast<DWORD>(end > now ? end - now : 0);
    };
    // Gives up early when the program has ended.
    auto until = [&](auto&& condition) {
        bool met = false;
        WaitFor(left(), [&] {
            return (met = condition()) || WaitForSingleObject(process->hProcess, 0) == WAIT_OBJECT_0;
        }, kPollMs);
        return met;
    };
    HWND main = nullptr;
    if (!until([&] { return (main = FindMainOf(process->dwProcessId)) != nullptr; }))
        return Fail(1, L"no window appeared");
    const long long windowMs = MillisecondsSince(start);
    HWND status = GetDlgItem(main, kStatusLine);
    std::wstring text;
    if (!until([&] {
            wchar_t buffer[512] = {};
            GetWindowTextW(status, buffer, 512);
            text = buffer;
            return text == wanted;
        }))
        return Fail(1, L"status is \"" + text + L"\"");
    if (WaitForInputIdle(process->hProcess, left()) != 0) return Fail(1, L"the program did not become input-idle");
    // The rewrite module check follows the site list: idle means the load event has ended.
    LRESULT state = -1;
    if (!WaitIdle(main, left(), state, kPollMs))
        return Fail(1, L"the window stayed busy (" + std::to_wstring(state) + L")");
    const long long ms = MillisecondsSince(start);

    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting, nullptr))
        return Fail(1, L"no job accounting (error " + std::to_wstring(GetLastError()) + L")");
    Print(L"window-ms " + std::to_wstring(windowMs));
    Print(L"ms " + std::to_wstring(ms));
    Print(L"processes " + std::to_wstring(accounting.TotalProcesses));
    CloseHandle(process->hProcess);
    CloseHandle(job);
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return Fail(2, L"usage: qbdriver COMMAND [ARGS]");
    const std::wstring command = argv[1];

    if (command == L"wait-window") {
        HWND main = nullptr;
        if (!WaitFor(TimeoutArg(argc, argv, 2), [&] { return (main = FindMain()) && IsWindowVisible(main); }))
            return Fail(1, L"no window of class QuillbayMain");
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        Print(L"pid " + std::to_wstring(pid));
        return 0;
    }
    if (command == L"wait-gone") {
        if (!WaitFor(TimeoutArg(argc, argv, 2), [] { return FindMain() == nullptr; }))
            return Fail(1, L"the window is still there");
        return 0;
    }

    if (command == L"launch" && argc >= 3) return Launch(argc, argv);
    if (command == L"time-start" && argc >= 4) return TimeStart(argc, argv);

    HWND main = FindMain();
    if (!main) return Fail(1, L"no window of class QuillbayMain");

    if (command == L"wait-idle") {
        LRESULT state = -1;
        if (!WaitIdle(main, TimeoutArg(argc, argv, 2), state))
            return Fail(1, L"the window stayed busy (" + std::to_wstring(state) + L")");
        return 0;
    }

    long id = 0;
    const bool hasId = argc >= 3 && ParseInt(argv[2], id);

    if (command == L"text" && hasId) {
        if (id == 0) {
            Print(Escape(TextOf(main)));
        } else if (IsMenuId(static_cast<int>(id))) {
            std::wstring caption;
            if (!MenuText(main, static_cast<int>(id), caption)) return Fail(1, L"no menu item " + std::to_wstring(id));
            Print(Escape(caption));
        } else {
            HWND control = RequireControl(main, id);
            if (!control) return 1;
            Print(Escape(TextOf(control)));
        }
        return 0;
    }
    if (command == L"enabled" && hasId) {
        if (IsMenuId(static_cast<int>(id))) {
            LRESULT state = MenuState(main, static_cast<int>(id));
            if (state < 0) return Fail(1, L"no menu item " + std::to_wstring(id));
            Print((state & 1) ? L"1" : L"0");
        } else {
            HWND control = id == 0 ? main : RequireControl(main, id);
            if (!control) return 1;
            Print(IsWindowEnabled(control) ? L"1" : L"0");
        }
        return 0;
    }
    if (command == L"checked" && hasId) {
        if (IsMenuId(static_cast<int>(id))) {
            LRESULT state = MenuState(main, static_cast<int>(id));
            if (state < 0) return Fail(1, L"no menu item " + std::to_wstring(id));
            Print((state & 2) ? L"1" : L"0");
        } else {
            HWND control = RequireControl(main, id);
            if (!control) return 1;
            Print(std::to_wstring(SendOrZero(control, BM_GETCHECK)));
        }
        return 0;
    }
    if (command == L"list" && hasId) {
        HWND list = RequireControl(main, id);
        if (!list) return 1;
        LRESULT count = SendOrZero(list, LB_GETCOUNT);
        for (LRESULT i = 0; i < count; ++i) {
            LRESULT length = SendOrZero(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
            std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
            LRESULT copied =
                SendOrZero(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
            item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
            bool selected = SendOrZero(list, LB_GETSEL, static_cast<WPARAM>(i)) > 0;
            Print(std::wstring(selected ? L"[x] " : L"[ ] ") + Escape(item));
        }
        return 0;
    }
    if (command == L"list-index" && hasId) {
        HWND list = RequireControl(main, id);
        if (!list) return 1;
        Print(SendOrZero(list, LB_GETCOUNT) == 0 ? L"-1" : std::to_wstring(SendOrZero(list, LB_GETCARETINDEX)));
        return 0;
    }
    if (command == L"click" && hasId) {
        HWND control = RequireControl(main, id);
        if (!control) return 1;
        if (!IsWindowEnabled(control)) return Fail(2, L"control " + std::to_wstring(id) + L" is disabled");
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"list-click" && hasId && argc >= 4) {
        long index = 0;
        if (!ParseInt(argv[3], index)) return Fail(2, L"bad index");
        HWND list = RequireControl(main, id);
        if (!list) return 1;
        if (!IsWindowEnabled(list)) return Fail(2, L"list " + std::to_wstring(id) + L" is disabled");
        if (index < 0 || index >= SendOrZero(list, LB_GETCOUNT)) return Fail(2, L"no item " + std::to_wstring(index));
        // Scroll the item into view, then press and release the mouse button on it. Sent,
        // not posted: the list and its click handler have run when this returns.
        LRESULT top = SendOrZero(list, LB_GETTOPINDEX);
        LRESULT height = SendOrZero(list, LB_GETITEMHEIGHT, static_cast<WPARAM>(index));
        RECT client{};
        GetClientRect(list, &client);
        const LRESULT visible = height > 0 ? client.bottom / height : 1;
        if (index < top || index >= top + visible) {
            SendOrZero(list, LB_SETTOPINDEX, static_cast<WPARAM>(index));
            top = SendOrZero(list, LB_GETTOPINDEX);
        }
        const LPARAM at = MAKELPARAM(4, static_cast<int>((index - top) * height + height / 2));
        LRESULT ignored = 0;
        if (!Send(list, WM_LBUTTONDOWN, MK_LBUTTON, at, ignored) || !Send(list, WM_LBUTTONUP, 0, at, ignored))
            return Fail(1, L"the list did not answer");
        return 0;
    }
    if (command == L"menu" && hasId) {
        LRESULT state = MenuState(main, static_cast<int>(id));
        if (state < 0) return Fail(1, L"no menu item " + std::to_wstring(id));
        if (!(state & 1)) return Fail(2, L"menu item " + std::to_wstring(id) + L" is disabled");
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 0;
    }
    if (command == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"wait-box") {
        HWND dialog = nullptr;
        if (!WaitFor(TimeoutArg(argc, argv, 2), [&] { return (dialog = FindDialog(main)) != nullptr; }))
            return Fail(1, L"no dialog appeared");
        Print(L"title=" + Escape(TextOf(dialog)));
        Print(L"text=" + Escape(DialogText(dialog)));
        for (HWND child : ChildrenOf(dialog)) {
            if (ClassOf(child) != L"Button" || !IsWindowVisible(child)) continue;
            Print(L"button=" + std::to_wstring(GetDlgCtrlID(child)) + L" " + Escape(TextOf(child)));
        }
        return 0;
    }
    if (command == L"no-box") {
        if (WaitFor(TimeoutArg(argc, argv, 2), [&] { return FindDialog(main) != nullptr; }))
            return Fail(1, L"a dialog appeared: " + TextOf(FindDialog(main)));
        return 0;
    }
    // These wait for the box first: a posted menu command may not have opened it yet.
    if (command == L"answer-box" && hasId) {
        const DWORD timeout = TimeoutArg(argc, argv, 3);
        HWND dialog = nullptr;
        if (!WaitFor(timeout, [&] { return (dialog = FindDialog(main)) != nullptr; }))
            return Fail(1, L"no dialog is open");
        return PressDialogButton(dialog, static_cast<int>(id), timeout);
    }
    if ((command == L"input-box" && argc >= 3) || command == L"input-cancel") {
        const bool ok = command == L"input-box";
        const DWORD timeout = TimeoutArg(argc, argv, ok ? 3 : 2);
        HWND dialog = nullptr;
        HWND edit = nullptr;
        if (!WaitFor(timeout, [&] {
                dialog = FindDialog(main);
                return dialog && (edit = GetDlgItem(dialog, kInputBoxEdit)) != nullptr;
            }))
            return Fail(1, L"no input box is open");
        if (!ok) return PressDialogButton(dialog, IDCANCEL, timeout);
        LRESULT ignored = 0;
        Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]), ignored);
        return PressDialogButton(dialog, IDOK, timeout);
    }
    if (command == L"file-dialog" && argc >= 3) {
        const DWORD timeout = TimeoutArg(argc, argv, 3);
        HWND dialog = nullptr;
        HWND field = nullptr;
        if (!WaitFor(timeout, [&] {
                dialog = FindDialog(main);
                return dialog && (field = GetDlgItem(dialog, kFileNameField)) != nullptr;
            }))
            return Fail(1, L"no open-file dialog is open");
        const std::wstring text = argv[2];
        LRESULT ignored = 0;
        Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), ignored);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        // Done when the dialog closed, or when it took a folder and emptied the field.
        if (!WaitFor(timeout, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog) || TextOf(field) != text; }))
            return Fail(1, L"the dialog did not take the name");
        return 0;
    }
    if (command == L"wait-status" && argc >= 3) {
        HWND status = RequireControl(main, kStatusLine);
        if (!status) return 1;
        const std::wstring wanted = argv[2];
        if (!WaitFor(TimeoutArg(argc, argv, 3), [&] { return TextOf(status) == wanted; }))
            return Fail(1, L"status is \"" + TextOf(status) + L"\"");
        return 0;
    }
    if (command == L"rect") {
        RECT r{};
        GetWindowRect(main, &r);
        Print(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) +
              L" " + std::to_wstring(r.bottom - r.top));
        return 0;
    }
    return Fail(2, L"unknown or incomplete command: " + command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }
