#include "win32/shell_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// ShellExecuteEx may report its failure only through hInstApp.
DWORD ErrorFromInstApp(HINSTANCE instApp) {
    switch (static_cast<int>(reinterpret_cast<INT_PTR>(instApp))) {
        case SE_ERR_FNF: return ERROR_FILE_NOT_FOUND;
        case SE_ERR_PNF: return ERROR_PATH_NOT_FOUND;
        case SE_ERR_ACCESSDENIED: return ERROR_ACCESS_DENIED;
        case SE_ERR_OOM: return ERROR_NOT_ENOUGH_MEMORY;
        case SE_ERR_SHARE: return ERROR_SHARING_VIOLATION;
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE: return ERROR_NO_ASSOCIATION;
        case SE_ERR_DDETIMEOUT:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDEBUSY: return ERROR_DDE_FAIL;
        case SE_ERR_DLLNOTFOUND: return ERROR_DLL_NOT_FOUND;
        default: return ERROR_FILE_NOT_FOUND;
    }
}

class HandleGuard {
public:
    explicit HandleGuard(HANDLE handle) : handle_(handle) {}
    ~HandleGuard() {
        if (handle_) CloseHandle(handle_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;

private:
    HANDLE handle_;
};

// Shell execution may reach COM-based handlers, which need COM on this thread.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

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

std::int32_t Win32Shell::Run(const std::string& commandLine, WindowStyle style, bool wait) {
    // A NUL would end the line early: the program would run without what came after it.
    if (commandLine.find('\0') != std::string::npos) throw MakeFailure(ERROR_INVALID_PARAMETER);
    auto [program, parameters] = SplitCommandLine(commandLine);
    if (program.empty()) throw MakeFailure(ERROR_FILE_NOT_FOUND);
    std::wstring file = Utf8ToWide(program);
    std::wstring params = Utf8ToWide(parameters);

    ComScope com;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = params.empty() ? nullptr : params.c_str();
    info.nShow = style == WindowStyle::Hidden ? SW_HIDE : SW_SHOWNORMAL;
    SetLastError(ERROR_SUCCESS);
    if (!ShellExecuteExW(&info)) {
        DWORD code = GetLastError();
        if (code == ERROR_SUCCESS) code = ErrorFromInstApp(info.hInstApp);
        throw MakeFailure(code);
    }
    HandleGuard process(info.hProcess);
    if (!wait || !info.hProcess) return 0;

    if (WaitForSingleObject(info.hProcess, INFINITE) == WAIT_FAILED) ThrowLastError();
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(info.hProcess, &exitCode)) ThrowLastError();
    return static_cast<std::int32_t>(exitCode);
}

std::string Win32Shell::RegRead(const std::string& valuePath) {
    size_t rootEnd = valuePath.find('\\');
    HKEY root = rootEnd == std::string::npos ? nullptr : RootKey(std::string_view(valuePath).substr(0, rootEnd));
    if (!root) throw MakeFailure(ERROR_INVALID_PARAMETER);
    size_t lastSlash = valuePath.rfind('\\');
    std::wstring subKey =
        lastSlash == rootEnd ? std::wstring() : Utf8ToWide(valuePath.substr(rootEnd + 1, lastSlash - rootEnd - 1));
    std::wstring valueName = Utf8ToWide(valuePath.substr(lastSlash + 1));

    std::vector<BYTE> data(256);
    DWORD type = REG_NONE;
    for (;;) {
        DWORD size = static_cast<DWORD>(data.size());
        LSTATUS status = RegGetValueW(root, subKey.empty() ? nullptr : subKey.c_str(),
                                      valueName.empty() ? nullptr : valueName.c_str(), RRF_RT_ANY, &type,
                                      data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            data.resize(std::max<size_t>(size, data.size() * 2) + sizeof(wchar_t));
            continue;
        }
        if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
        data.resize(size);
        break;
    }

    auto wideText = [&data]() {
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
        return text;
    };
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::wstring text = wideText();
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            return WideToUtf8(text);
        }
        case REG_MULTI_SZ: {
            std::wstring text = wideText();
            std::string joined;
            size_t start = 0;
            while (start < text.size()) {
                size_t end = text.find(L'\0', start);
                if (end == std::wstring::npos) end = text.size();
                if (end == start) break;
                if (!joined.empty()) joined += "\r\n";
                joined += WideToUtf8(std::wstring_view(text).substr(start, end - start));
                start = end + 1;
            }
            return joined;
        }
        case REG_DWORD: {
            if (data.size() < sizeof(std::int32_t)) break;
            std::int32_t value;
            std::memcpy(&value, data.data(), sizeof value);
            return std::to_string(value);
        }
        case REG_QWORD: {
            if (data.size() < sizeof(std::int64_t)) break;
            std::int64_t value;
            std::memcpy(&value, data.data(), sizeof value);
            return std::to_string(value);
        }
        default:
            break;
    }
    throw MakeFailure(ERROR_UNSUPPORTED_TYPE);
}

}  // namespace quillbay::win32
