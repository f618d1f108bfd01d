#include "win32/shell_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "support/runner.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

class HandleGuard {
public:
    explicit HandleGuard(HANDLE handle = nullptr) : handle_(handle) {}
    ~HandleGuard() { Reset(); }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }
    void Reset() {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

bool IsAbsoluteExe(const std::string& program) {
    const bool drive = program.size() > 3 && ((program[0] >= 'A' && program[0] <= 'Z') ||
                                              (program[0] >= 'a' && program[0] <= 'z')) &&
                       program[1] == ':' && program[2] == '\\';
    const bool unc = program.size() > 2 && program[0] == '\\' && program[1] == '\\';
    if (!drive && !unc) return false;
    if (program.find("\\..\\") != std::string::npos || program.find('/') != std::string::npos) return false;
    const size_t dot = program.rfind('.');
    if (dot == std::string::npos || program.size() - dot != 4) return false;
    std::string ext = program.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == "exe";
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

HKEY RootKey(std::string_view name) {
    struct Root {
        const char* shortName;
        const char* longName;
        HKEY key;
    };
    static const Root roots[] = {
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKU", "HKEY_USERS", HKEY_USERS},
        {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const Root& root : roots)
        if (EqualsNoCase(name, root.shortName) || EqualsNoCase(name, root.longName)) return root.key;
    return nullptr;
}

}  // namespace

std::pair<std::string, std::string> SplitCommandLine(const std::string& commandLine) {
    size_t pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    std::string program;
    if (pos < commandLine.size() && commandLine[pos] == '"') {
        size_t close = commandLine.find('"', pos + 1);
        if (close == std::string::npos) close = commandLine.size();
        program = commandLine.substr(pos + 1, close - pos - 1);
        pos = close < commandLine.size() ? close + 1 : close;
    } else {
        size_t end = pos;
        while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
        program = commandLine.substr(pos, end - pos);
        pos = end;
    }
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    return {program, commandLine.substr(pos)};
}

namespace {
constexpr int kStartAttempts = 3;
}  // namespace

Win32Shell::Win32Shell(std::function<void()> whileWaiting, std::function<DWORD(const std::string&)> timeoutMs)
    : whileWaiting_(std::move(whileWaiting)), timeoutMs_(std::move(timeoutMs)) {}

DWORD Win32Shell::DefaultTimeoutMs(const std::string& commandLine) {
    return static_cast<DWORD>(ToolTimeoutSeconds(commandLine)) * 1000;
}

Win32Shell::Process Win32Shell::Start(const std::string& commandLine, WindowStyle style, HANDLE output) {
    // A NUL would end the line early: the program would run without what came after it.
    if (commandLine.find('\0') != std::string::npos) throw MakeFailure(ERROR_INVALID_PARAMETER);
    const std::string program = SplitCommandLine(commandLine).first;
    // Named by its full path or not at all: a bare name would be looked for in the current
    // folder and along PATH, where anyone who can drop a file could take its place.
    if (!IsAbsoluteExe(program)) throw MakeFailure(ERROR_BAD_PATHNAME);
    const std::wstring application = Utf8ToWide(program);
    std::wstring line = Utf8ToWide(commandLine);
    wchar_t systemFolder[MAX_PATH + 1];
    const UINT folderLength = GetSystemDirectoryW(systemFolder, MAX_PATH + 1);
    if (folderLength == 0 || folderLength > MAX_PATH) ThrowLastError();

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = style == WindowStyle::Hidden ? SW_HIDE : SW_SHOWNORMAL;
    HandleGuard input;
    if (output) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        *input.out() = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (input.get() == INVALID_HANDLE_VALUE) ThrowLastError();
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION info{};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (style == WindowStyle::Hidden ? CREATE_NO_WINDOW : 0);
    // A child that failed to come up before running any of its code (ERROR_INTERNAL_ERROR, seen
    // when the loader could not map it) is safe to start again; everything else is final.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, output ? TRUE : FALSE, flags, nullptr,
                           systemFolder, &startup, &info))
            break;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt == kStartAttempts) ThrowLastError();
    }
    CloseHandle(info.hThread);
    return Process(info.hProcess);
}

void Win32Shell::Wait(HANDLE handle, const std::string& commandLine) {
    const DWORD timeout = timeoutMs_ ? timeoutMs_(commandLine) : 0;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = timeout == 0 ? INFINITE : now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woke = whileWaiting_ ? MsgWaitForMultipleObjectsEx(1, &handle, left, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
                                         : WaitForSingleObject(handle, left);
        if (woke == WAIT_OBJECT_0) return;
        if (woke == WAIT_FAILED) ThrowLastError();
        // A window busy with messages past the deadline must not keep the tool alive.
        if (woke == WAIT_TIMEOUT || (timeout != 0 && GetTickCount64() >= deadline)) {
            // A tool that waits for something that never comes would hold the run for ever.
            TerminateProcess(handle, ERROR_TIMEOUT);
            WaitForSingleObject(handle, 5000);
            const std::string within = timeout % 1000 == 0 ? std::to_string(timeout / 1000) + " seconds"
                                                            : std::to_string(timeout) + " milliseconds";
            throw Failure(ERROR_TIMEOUT, "The program did not finish within " + within + " and was ended: " +
                                             SplitCommandLine(commandLine).first);
        }
        // Messages arrived: the window repaints and answers while the tool works.
        whileWaiting_();
    }
}

std::int32_t Win32Shell::ExitCode(HANDLE process) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) ThrowLastError();
    return static_cast<std::int32_t>(exitCode);
}

std::int32_t Win32Shell::Run(const std::string& commandLine, WindowStyle style, bool wait) {
    // What the tool prints goes nowhere: given none, a console tool may write into our own
    // standard output (Wine hands it on), where the console program's JSON is.
    HandleGuard discard;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    *discard.out() = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (discard.get() == INVALID_HANDLE_VALUE) ThrowLastError();
    Process process = Start(commandLine, style, discard.get());
    if (!wait) return 0;
    Wait(process.get(), commandLine);
    return ExitCode(process.get());
}

Captured Win32Shell::RunAndCapture(const std::string& commandLine) {
    HandleGuard readEnd, writeEnd;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 0)) ThrowLastError();
    // Only the child's end is inherited.
    if (!SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) ThrowLastError();
    Process process = Start(commandLine, WindowStyle::Hidden, writeEnd.get());
    writeEnd.Reset();  // the pipe ends when the child (and whatever it started) closes it

    // Read on a thread of its own: a child writing more than the pipe holds would otherwise
    // wait for us while we wait for it.
    std::string bytes;
    std::thread reader([&bytes, pipe = readEnd.get()] {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    });
    try {
        Wait(process.get(), commandLine);
    } catch (...) {
        TerminateProcess(process.get(), ERROR_CANCELLED);
        reader.join();
        throw;
    }
    Captured result;
    result.exitCode = ExitCode(process.get());
    reader.join();
    result.output = AnsiToUtf8(bytes);
    return result;
}

namespace {

// "HKLM\Key\Sub\Name" as its root, the key below it and the value's name.
struct ValuePath {
    HKEY root = nullptr;
    std::wstring subKey, valueName;
    const wchar_t* SubKey() const { return subKey.empty() ? nullptr : subKey.c_str(); }
    const wchar_t* ValueName() const { return valueName.empty() ? nullptr : valueName.c_str(); }
};
ValuePath SplitValuePath(const std::string& valuePath) {
    const size_t rootEnd = valuePath.find('\\');
    ValuePath parts;
    parts.root = rootEnd == std::string::npos ? nullptr : RootKey(std::string_view(valuePath).substr(0, rootEnd));
    if (!parts.root) throw MakeFailure(ERROR_INVALID_PARAMETER);
    const size_t lastSlash = valuePath.rfind('\\');
    if (lastSlash != rootEnd) parts.subKey = Utf8ToWide(valuePath.substr(rootEnd + 1, lastSlash - rootEnd - 1));
    parts.valueName = Utf8ToWide(valuePath.substr(lastSlash + 1));
    return parts;
}

template <class Number>
std::string NumberText(const std::vector<BYTE>& data) {
    Number value;
    std::memcpy(&value, data.data(), sizeof value);
    return std::to_string(value);
}

// A value's data as text: strings as they are, the strings of a multi-string one a line each,
// numbers in decimal.
std::string RegistryText(DWORD type, const std::vector<BYTE>& data) {
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            return WideToUtf8(text);
        case REG_MULTI_SZ: {
            std::string joined;
            for (size_t start = 0, end; start < text.size(); start = end + 1) {
                end = text.find(L'\0', start);
                if (end == std::wstring::npos) end = text.size();
                if (end == start) break;
                if (!joined.empty()) joined += "\r\n";
                joined += WideToUtf8(std::wstring_view(text).substr(start, end - start));
            }
            return joined;
        }
        case REG_DWORD:
            if (data.size() >= sizeof(std::int32_t)) return NumberText<std::int32_t>(data);
            break;
        case REG_QWORD:
            if (data.size() >= sizeof(std::int64_t)) return NumberText<std::int64_t>(data);
            break;
        default: break;
    }
    throw MakeFailure(ERROR_UNSUPPORTED_TYPE);
}

}  // namespace

std::string Win32Shell::RegRead(const std::string& valuePath) {
    const ValuePath path = SplitValuePath(valuePath);
    std::vector<BYTE> data(256);
    DWORD type = REG_NONE;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        const LSTATUS status =
            RegGetValueW(path.root, path.SubKey(), path.ValueName(), RRF_RT_ANY, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(size, data.size() * 2) + sizeof(wchar_t));
            continue;
        }
        if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
        data.resize(size);
        return RegistryText(type, data);
    }
}

bool Win32Shell::RegKeyExists(const std::string& keyPath) {
    std::string path = keyPath;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    const size_t rootEnd = path.find('\\');
    HKEY root = RootKey(std::string_view(path).substr(0, rootEnd));
    if (!root) throw MakeFailure(ERROR_INVALID_PARAMETER);
    if (rootEnd == std::string::npos) return true;
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(root, Utf8ToWide(path.substr(rootEnd + 1)).c_str(), 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(key);
        return true;
    }
    if (status == ERROR_FILE_NOT_FOUND) return false;
    throw MakeFailure(static_cast<DWORD>(status));
}

bool Win32Shell::RegValueExists(const std::string& valuePath) {
    const ValuePath path = SplitValuePath(valuePath);
    const LSTATUS status = RegGetValueW(path.root, path.SubKey(), path.ValueName(), RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                                        nullptr, nullptr);
    if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) return true;
    if (status == ERROR_FILE_NOT_FOUND) return false;
    throw MakeFailure(static_cast<DWORD>(status));
}

}  // namespace quillbay::win32
