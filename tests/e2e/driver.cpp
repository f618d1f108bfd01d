// qbdriver: drives the running Quillbay window from another process, the way a user or an
// accessibility tool would, and prints what it sees. Controls and menu items go by the
// program's names for them (lblStatus, mnuHelpAbout; Main is the window itself).
//
//   serve                  commands from standard input, one a line, arguments separated by
//                          tabs, until an empty line; after each command's output a line
//                          "\x01" and its exit code
//   wait-window|wait-gone [ms], wait-exit PID [ms]
//   wait-idle [ms]         the window has handled everything posted to it so far and runs no
//                          handler (nor the load event); wait-seen: whether or not it does;
//                          busy: 1 while one does, else 0
//   text|enabled|checked|list|list-index NAME
//   click NAME, list-click NAME INDEX, menu NAME, close      (posted, but list-click: sent)
//   wait-box [ms]          a dialog of the program: "title=", "text=", "buttons=" (IDs) and,
//                          for the input box, "value="
//   box-icon [ms]          its icon as a message box style (16, 48, 64; 0: none drawn)
//   no-box, answer-box ID [ms], input-box TEXT [ms], input-cancel [ms], file-dialog TEXT [ms]
//   rect                   "x y width height" of the window
//   string LANG KEY...     the program's texts for the keys in en, zh-hans or zh-hant, joined
//   expect-captions LANG   prints every caption (and language check mark) not that language's
//   launch EXE [NAME=VALUE...], time-start EXE STATUS [ms]    (see Launch, TimeStart)
//
// Texts are UTF-8 on one line, with \r, \n, \t, \0 and \\ escaped. Exit code 0 on success, 1
// when something did not appear or hold in time, 2 for a refused or malformed command (for
// example clicking a disabled control, which a user cannot).
#include <windows.h>

#include <algorithm>
#include <cwchar>
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
using quillbay::win32::kMainWindowClass;

constexpr DWORD kDefaultTimeout = 30000;  // only ever waited in full when something is wrong
constexpr UINT kSendTimeout = 10000;
constexpr int kInputBoxEdit = 3001;
constexpr int kFileNameField = 1148;  // the open-file dialog's name box (cmb13)

#define QB_NAMED(name) {L## #name, Id::name}
constexpr struct {
    const wchar_t* name;
    Id id;
} kNames[] = {
    QB_NAMED(Main), QB_NAMED(lstCertificates), QB_NAMED(lblCertList), QB_NAMED(cmdImport), QB_NAMED(lblStatus),
    QB_NAMED(lstSites), QB_NAMED(cmdDeploy), QB_NAMED(lblSiteList), QB_NAMED(chkHttpRedirect),
    QB_NAMED(TxtHttpsPort), QB_NAMED(lblHttpsPort), QB_NAMED(mnuFile), QB_NAMED(mnuFileExit), QB_NAMED(mnuChain),
    QB_NAMED(mnuChainManualImport), QB_NAMED(mnuChainViewSystemStore), QB_NAMED(mnuTools),
    QB_NAMED(mnuToolsSetPort), QB_NAMED(mnuLanguage), QB_NAMED(mnuLanguageEnglish),
    QB_NAMED(mnuLanguageSimplifiedChinese), QB_NAMED(mnuLanguageTraditionalChinese), QB_NAMED(mnuHelp),
    QB_NAMED(mnuHelpAbout), QB_NAMED(mnuHelpCheckUpdate),
};
// Whose caption is not always the table's "<name>_Caption": it depends on state, or is no caption.
constexpr Id kUncaptioned[] = {Id::lstCertificates, Id::lblStatus, Id::lstSites, Id::lblSiteList,
                               Id::chkHttpRedirect, Id::TxtHttpsPort};
// The language menu's items in the order of the language IDs.
constexpr Id kLanguageItems[] = {Id::mnuLanguageEnglish, Id::mnuLanguageSimplifiedChinese,
                                 Id::mnuLanguageTraditionalChinese};

std::string Utf8(const std::wstring& text) { return quillbay::win32::WideToUtf8(text); }
std::wstring Wide(const std::string& text) { return quillbay::win32::Utf8ToWide(text); }

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

void Write(DWORD handle, const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(handle), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
void Print(const std::wstring& line) { Write(STD_OUTPUT_HANDLE, Utf8(line) + "\n"); }
int Fail(int code, const std::wstring& message) {
    Write(STD_ERROR_HANDLE, "qbdriver: " + Utf8(message) + "\n");
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
bool WaitFor(DWORD timeout, Condition&& condition, DWORD pollMs = 20) {
    const ULONGLONG end = GetTickCount64() + timeout;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(pollMs);
    }
}

std::optional<Id> IdOf(const std::wstring& name) {
    for (const auto& n : kNames)
        if (name == n.name) return n.id;
    return std::nullopt;
}
bool IsMenu(Id id) { return static_cast<int>(id) >= static_cast<int>(Id::mnuFileExit); }

// Bit 0 enabled, bit 1 checked; -1 unknown ID (the window's own answer, see automation.h).
LRESULT MenuState(HWND main, Id id) {
    static const UINT message = RegisterWindowMessageW(quillbay::win32::kMenuStateMessage);
    LRESULT state = -1;
    if (!Send(main, message, static_cast<WPARAM>(id), 0, state)) return -1;
    return state;
}

bool MenuText(HWND main, Id id, std::wstring& text) {
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

bool TextOf(HWND main, Id id, std::wstring& text) {
    if (IsMenu(id)) return MenuText(main, id, text);
    HWND control = id == Id::Main ? main : GetDlgItem(main, static_cast<int>(id));
    if (control) text = TextOf(control);
    return control != nullptr;
}

// The program's dialogs (message boxes, the input box, the file dialog) that take input now.
HWND FindDialog(HWND main) {
    struct Search {
        DWORD pid;
        HWND found;
    } search{0, nullptr};
    GetWindowThreadProcessId(main, &search.pid);
    EnumWindows([](HWND hwnd, LPARAM context) {
        auto* search = reinterpret_cast<Search*>(context);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != search->pid || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd) || ClassOf(hwnd) != L"#32770")
            return TRUE;
        search->found = hwnd;
        return FALSE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
HWND WaitDialog(HWND main, DWORD timeout, int childId = 0) {
    HWND dialog = nullptr;
    WaitFor(timeout, [&] { return (dialog = FindDialog(main)) && (!childId || GetDlgItem(dialog, childId)); });
    return dialog && (!childId || GetDlgItem(dialog, childId)) ? dialog : nullptr;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, [](HWND hwnd, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool IsIcon(HWND child) {
    return ClassOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// A message box's text: the longest static text that is not an icon (its control ID differs
// between implementations).
std::wstring DialogText(HWND dialog) {
    std::wstring best;
    for (HWND child : ChildrenOf(dialog)) {
        if (ClassOf(child) != L"Static" || !IsWindowVisible(child) || IsIcon(child)) continue;
        if (std::wstring text = TextOf(child); text.size() > best.size()) best = text;
    }
    return best;
}

// The box's icon as drawn on the screen, judged by its colours: the standard icons are a
// red disc (16), a yellow triangle (48) and a blue disc (64). 0 while none is drawn.
int IconStyle(HWND dialog) {
    for (HWND child : ChildrenOf(dialog)) {
        if (!IsIcon(child) || !IsWindowVisible(child)) continue;
        RECT r{};
        GetWindowRect(child, &r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        if (w <= 0 || h <= 0) continue;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        int red = 0, yellow = 0, blue = 0;
        for (int i = 0; i < w * h; ++i) {
            const DWORD p = static_cast<const DWORD*>(bits)[i];
            const int b = p & 0xFF, g = (p >> 8) & 0xFF, rd = (p >> 16) & 0xFF;
            if (rd > g + 60 && rd > b + 60 && g < b + 40) ++red;
            else if (rd > 140 && g > 110 && b + 60 < g) ++yellow;
            else if (b > rd + 40 && b > g + 20) ++blue;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        const int enough = w * h / 8;
        if (red > enough && red > 3 * (yellow + blue)) return 16;
        if (yellow > enough && yellow > 3 * (red + blue)) return 48;
        if (blue > enough && blue > 3 * (red + yellow)) return 64;
    }
    return 0;
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

// A process of EXE in this environment; its folder is the working folder. Its standard
// handles are the null device: handed ours, it would hold the caller's pipes open for as
// long as it runs.
std::optional<PROCESS_INFORMATION> StartProgram(const std::wstring& exe, DWORD flags) {
    const auto slash = exe.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash);
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

// Waits until the window has worked through everything posted to it so far (see
// automation.h) and, with mask 3, runs no handler either; state is its last answer.
bool WaitIdle(HWND main, DWORD timeout, LRESULT& state, LRESULT mask = 3, DWORD pollMs = 20) {
    static const UINT ping = RegisterWindowMessageW(quillbay::win32::kPingMessage);
    static const UINT busy = RegisterWindowMessageW(quillbay::win32::kBusyMessage);
    static WPARAM sequence = 0;
    const WPARAM token = (static_cast<WPARAM>(GetCurrentProcessId()) << 16) ^ GetTickCount() ^ ++sequence;
    PostMessageW(main, ping, token, 0);
    state = -1;
    return WaitFor(timeout, [&] { return Send(main, busy, token, 0, state) && (state & mask) == 0; }, pollMs);
}

std::wstring StartFailure(const wchar_t* exe) {
    return L"cannot start " + std::wstring(exe) + L" (error " + std::to_wstring(GetLastError()) + L")";
}

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
    auto until = [&](auto&& condition) {  // gives up early when the program has ended
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
    HWND status = GetDlgItem(main, static_cast<int>(Id::lblStatus));
    std::wstring text;
    if (!until([&] {
            wchar_t buffer[512] = {};
            GetWindowTextW(status, buffer, 512);
            text = buffer;
            return text == wanted;
        }))
        return Fail(1, L"status is \"" + text + L"\"");
    if (WaitForInputIdle(process->hProcess, left()) != 0) return Fail(1, L"the program did not become input-idle");
    LRESULT state = -1;
    if (!WaitIdle(main, left(), state, 3, kPollMs))
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

// The program's own string tables: the texts of the keys in a language, joined; none for an
// unknown language or key.
std::optional<std::wstring> TableText(const std::wstring& language, const std::vector<std::wstring>& keys) {
    const std::wstring names[] = {L"en", L"zh-hans", L"zh-hant"};
    const auto id = std::find(std::begin(names), std::end(names), language) - std::begin(names);
    if (id == 3) return std::nullopt;
    quillbay::lang::SetCurrentLanguage(static_cast<int>(id));
    std::wstring text;
    for (const auto& key : keys) {
        const std::string piece = quillbay::lang::GetLangString(Utf8(key));
        if (piece.rfind("[MISSING_TRANSLATION:", 0) == 0) return std::nullopt;
        text += Wide(piece);
    }
    return text;
}

int ExpectCaptions(HWND main, const std::wstring& language) {
    if (!TableText(language, {})) return Fail(2, L"unknown language " + language);
    int differences = 0;
    // Each choice is a list of keys whose texts make the caption.
    auto expect = [&](Id id, const std::wstring& name, const std::vector<std::vector<std::wstring>>& choices) {
        std::wstring shown;
        TextOf(main, id, shown);
        for (const auto& keys : choices)
            if (TableText(language, keys) == shown) return;
        Print(name + L": shows [" + Escape(shown) + L"], expected [" +
              Escape(TableText(language, choices.front()).value_or(L"")) + L"]");
        ++differences;
    };
    for (const auto& n : kNames)
        if (std::find(std::begin(kUncaptioned), std::end(kUncaptioned), n.id) == std::end(kUncaptioned))
            expect(n.id, n.name, {{n.name + std::wstring(L"_Caption")}});
    expect(Id::lblSiteList, L"lblSiteList",
           {{L"lblSiteList_Caption", L"lblSiteList_Caption_Multi"}, {L"lblSiteList_Caption", L"lblSiteList_Caption_One"},
            {L"lblSiteList_NoIIS"}});
    expect(Id::chkHttpRedirect, L"chkHttpRedirect", {{L"chkHttpRedirect_Caption"}, {L"chkHttpRedirect_Caption_no_module"}});
    for (int i = 0; i < 3; ++i) {
        if (((MenuState(main, kLanguageItems[i]) & 2) != 0) == (i == quillbay::lang::GetCurrentLanguage())) continue;
        Print(L"check mark of language " + std::to_wstring(i) + L" wrong");
        ++differences;
    }
    return differences ? 1 : 0;
}

int Run(int argc, wchar_t** argv);

// One command a line from standard input; "\x01RC" after each command's output.
int Serve() {
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::wstring line = Wide(pending.substr(0, end));
            pending.erase(0, end + 1);
            if (line.empty()) return 0;
            std::vector<std::wstring> args{L"qbdriver"};
            std::wistringstream fields(line);
            for (std::wstring arg; std::getline(fields, arg, L'\t');) args.push_back(arg);
            std::vector<wchar_t*> argv;
            for (auto& arg : args) argv.push_back(arg.data());
            const int rc = Run(static_cast<int>(argv.size()), argv.data());
            Write(STD_OUTPUT_HANDLE, "\x01" + std::to_string(rc) + "\n");
        }
    }
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return Fail(2, L"usage: qbdriver COMMAND [ARGS]");
    const std::wstring command = argv[1];

    if (command == L"serve") return Serve();
    if (command == L"string" && argc >= 4) {
        const auto text = TableText(argv[2], {argv + 3, argv + argc});
        if (!text) return Fail(2, L"no such language or text");
        Print(Escape(*text));
        return 0;
    }
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
    if (command == L"wait-exit" && argc >= 3) {
        long pid = 0;
        if (!ParseInt(argv[2], pid)) return Fail(2, L"bad process ID");
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
        if (!process) return 0;  // gone already
        const DWORD waited = WaitForSingleObject(process, TimeoutArg(argc, argv, 3));
        CloseHandle(process);
        return waited == WAIT_OBJECT_0 ? 0 : Fail(1, L"the process is still running");
    }
    if (command == L"launch" && argc >= 3) return Launch(argc, argv);
    if (command == L"time-start" && argc >= 4) return TimeStart(argc, argv);

    HWND main = FindMain();
    if (!main) return Fail(1, L"no window of class QuillbayMain");

    if (command == L"wait-idle" || command == L"wait-seen") {
        LRESULT state = -1;
        if (!WaitIdle(main, TimeoutArg(argc, argv, 2), state, command == L"wait-idle" ? 3 : 2))
            return Fail(1, L"the window stayed busy (" + std::to_wstring(state) + L")");
        return 0;
    }
    if (command == L"busy") {
        LRESULT state = -1;
        WaitIdle(main, kDefaultTimeout, state, 2);
        Print(state & 1 ? L"1" : L"0");
        return 0;
    }
    if (command == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"rect") {
        RECT r{};
        GetWindowRect(main, &r);
        Print(std::to_wstring(r.left) + L" " + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) +
              L" " + std::to_wstring(r.bottom - r.top));
        return 0;
    }
    if (command == L"expect-captions" && argc >= 3) return ExpectCaptions(main, argv[2]);
    if (command == L"wait-box") {
        HWND dialog = WaitDialog(main, TimeoutArg(argc, argv, 2));
        if (!dialog) return Fail(1, L"no dialog appeared");
        std::wstring buttons;
        for (HWND child : ChildrenOf(dialog))
            if (ClassOf(child) == L"Button" && IsWindowVisible(child))
                buttons += (buttons.empty() ? L"" : L" ") + std::to_wstring(GetDlgCtrlID(child));
        Print(L"title=" + Escape(TextOf(dialog)));
        Print(L"text=" + Escape(DialogText(dialog)));
        Print(L"buttons=" + buttons);
        if (HWND edit = GetDlgItem(dialog, kInputBoxEdit)) Print(L"value=" + Escape(TextOf(edit)));
        return 0;
    }
    if (command == L"box-icon") {
        HWND dialog = WaitDialog(main, kDefaultTimeout);
        if (!dialog) return Fail(1, L"no dialog is open");
        int style = 0;
        WaitFor(TimeoutArg(argc, argv, 2), [&] { return (style = IconStyle(dialog)) != 0; });
        Print(std::to_wstring(style));
        return 0;
    }
    if (command == L"no-box") return FindDialog(main) ? Fail(1, L"a dialog is open: " + TextOf(FindDialog(main))) : 0;
    // These wait for the dialog first: a posted command may not have opened it yet.
    if (command == L"answer-box" && argc >= 3) {
        long id = 0;
        if (!ParseInt(argv[2], id)) return Fail(2, L"bad button ID");
        const DWORD timeout = TimeoutArg(argc, argv, 3);
        HWND dialog = WaitDialog(main, timeout);
        return dialog ? PressDialogButton(dialog, static_cast<int>(id), timeout) : Fail(1, L"no dialog is open");
    }
    if ((command == L"input-box" && argc >= 3) || command == L"input-cancel") {
        const bool ok = command == L"input-box";
        const DWORD timeout = TimeoutArg(argc, argv, ok ? 3 : 2);
        HWND dialog = WaitDialog(main, timeout, kInputBoxEdit);
        if (!dialog) return Fail(1, L"no input box is open");
        if (!ok) return PressDialogButton(dialog, IDCANCEL, timeout);
        SendOrZero(GetDlgItem(dialog, kInputBoxEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[2]));
        return PressDialogButton(dialog, IDOK, timeout);
    }
    if (command == L"file-dialog" && argc >= 3) {
        const DWORD timeout = TimeoutArg(argc, argv, 3);
        HWND dialog = WaitDialog(main, timeout, kFileNameField);
        if (!dialog) return Fail(1, L"no open-file dialog is open");
        HWND field = GetDlgItem(dialog, kFileNameField);
        const std::wstring text = argv[2];
        SendOrZero(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        // Done when the dialog closed, or when it took a folder and emptied the field.
        if (!WaitFor(timeout, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog) || TextOf(field) != text; }))
            return Fail(1, L"the dialog did not take the name");
        return 0;
    }

    if (argc < 3) return Fail(2, L"unknown or incomplete command: " + command);
    const auto id = IdOf(argv[2]);
    if (!id) return Fail(2, L"no control or menu item named " + std::wstring(argv[2]));
    HWND control = IsMenu(*id) ? nullptr : *id == Id::Main ? main : GetDlgItem(main, static_cast<int>(*id));
    if (!IsMenu(*id) && !control) return Fail(1, L"no control " + std::wstring(argv[2]));
    const LRESULT menuState = IsMenu(*id) ? MenuState(main, *id) : 0;
    if (menuState < 0) return Fail(1, L"no menu item " + std::wstring(argv[2]));

    if (command == L"text") {
        std::wstring text;
        if (!TextOf(main, *id, text)) return Fail(1, L"cannot read " + std::wstring(argv[2]));
        Print(Escape(text));
        return 0;
    }
    if (command == L"enabled") {
        Print((control ? IsWindowEnabled(control) : (menuState & 1)) ? L"1" : L"0");
        return 0;
    }
    if (command == L"checked") {
        Print(control ? std::to_wstring(SendOrZero(control, BM_GETCHECK)) : (menuState & 2) ? L"1" : L"0");
        return 0;
    }
    if (command == L"list") {
        const LRESULT count = SendOrZero(control, LB_GETCOUNT);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring item(static_cast<std::size_t>(SendOrZero(control, LB_GETTEXTLEN, i)) + 1, L'\0');
            const LRESULT copied = SendOrZero(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            item.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
            Print(std::wstring(SendOrZero(control, LB_GETSEL, i) > 0 ? L"[x] " : L"[ ] ") + Escape(item));
        }
        return 0;
    }
    if (command == L"list-index") {
        Print(SendOrZero(control, LB_GETCOUNT) == 0 ? L"-1" : std::to_wstring(SendOrZero(control, LB_GETCARETINDEX)));
        return 0;
    }
    if (command == L"menu") {
        if (control) return Fail(2, std::wstring(argv[2]) + L" is no menu item");
        if (!(menuState & 1)) return Fail(2, L"menu item " + std::wstring(argv[2]) + L" is disabled");
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(static_cast<int>(*id), 0), 0);
        return 0;
    }
    if (!control || !IsWindowEnabled(control)) return Fail(2, std::wstring(argv[2]) + L" is disabled");
    if (command == L"click") {
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"list-click" && argc >= 4) {
        long index = 0;
        if (!ParseInt(argv[3], index) || index < 0 || index >= SendOrZero(control, LB_GETCOUNT))
            return Fail(2, L"no item " + std::wstring(argv[3]));
        // Scroll the item into view, then press and release the mouse button on it. Sent,
        // not posted: the list and its click handler have run when this returns.
        LRESULT top = SendOrZero(control, LB_GETTOPINDEX);
        const LRESULT height = SendOrZero(control, LB_GETITEMHEIGHT, static_cast<WPARAM>(index));
        RECT client{};
        GetClientRect(control, &client);
        const LRESULT visible = height > 0 ? client.bottom / height : 1;
        if (index < top || index >= top + visible) {
            SendOrZero(control, LB_SETTOPINDEX, static_cast<WPARAM>(index));
            top = SendOrZero(control, LB_GETTOPINDEX);
        }
        const LPARAM at = MAKELPARAM(4, static_cast<int>((index - top) * height + height / 2));
        LRESULT ignored = 0;
        if (!Send(control, WM_LBUTTONDOWN, MK_LBUTTON, at, ignored) || !Send(control, WM_LBUTTONUP, 0, at, ignored))
            return Fail(1, L"the list did not answer");
        return 0;
    }
    return Fail(2, L"unknown or incomplete command: " + command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }
