#include "win32/host_win32.h"

#include <windows.h>
#include <winver.h>

#include <cstdio>
#include <cwchar>

#include "support/paths.h"
#include "win32/system_library.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

// The whole version resource of a file; empty when it has none or cannot be read.
std::vector<BYTE> VersionResource(const std::wstring& path) {
    DWORD ignored = 0;
    DWORD size = VersionApi::Get().GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> data(size);
    if (!VersionApi::Get().GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
    return data;
}

const VS_FIXEDFILEINFO* FixedInfo(std::vector<BYTE>& data) {
    void* value = nullptr;
    UINT length = 0;
    if (data.empty() || !VersionApi::Get().VerQueryValueW(data.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return nullptr;
    auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    return info->dwSignature == VS_FFI_SIGNATURE ? info : nullptr;
}

}  // namespace

std::string ExePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) ThrowLastError();
        if (length < buffer.size()) {
            buffer.resize(length);
            return WideToUtf8(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32Host::AppFolder() {
    std::string path = win32::ExePath();
    size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return path;
    // A drive root keeps its backslash ("C:\"), any other folder loses it.
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::string Win32Host::ExePath() { return win32::ExePath(); }

std::uint16_t Win32Host::UserUILanguage() { return GetUserDefaultUILanguage(); }

std::string Win32Host::FileProductVersion(const std::string& path) {
    std::vector<BYTE> data = VersionResource(Utf8ToWide(path));
    if (data.empty()) return {};

    struct Translation {
        WORD language;
        WORD codePage;
    };
    void* value = nullptr;
    UINT length = 0;
    if (VersionApi::Get().VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
        length >= sizeof(Translation)) {
        auto* first = static_cast<const Translation*>(value);
        wchar_t query[64];
        swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", first->language, first->codePage);
        void* text = nullptr;
        UINT textLength = 0;
        if (VersionApi::Get().VerQueryValueW(data.data(), query, &text, &textLength) && text) {
            std::wstring version(static_cast<const wchar_t*>(text), textLength);
            while (!version.empty() && version.back() == L'\0') version.pop_back();
            return WideToUtf8(version);
        }
    }

    if (const VS_FIXEDFILEINFO* info = FixedInfo(data)) {
        char version[64];
        std::snprintf(version, sizeof version, "%u.%u.%u.%u", HIWORD(info->dwProductVersionMS),
                      LOWORD(info->dwProductVersionMS), HIWORD(info->dwProductVersionLS),
                      LOWORD(info->dwProductVersionLS));
        return version;
    }
    return {};
}

std::vector<int> Win32Host::OwnVersion() {
    std::wstring path = Utf8ToWide(ExePath());
    DWORD ignored = 0;
    DWORD size = VersionApi::Get().GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) ThrowLastError();
    std::vector<BYTE> data(size);
    if (!VersionApi::Get().GetFileVersionInfoW(path.c_str(), 0, size, data.data())) ThrowLastError();
    const VS_FIXEDFILEINFO* info = FixedInfo(data);
    if (!info) throw MakeFailure(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
            LOWORD(info->dwFileVersionLS)};
}

void Win32Host::EndProcess() { ExitProcess(0); }

bool Win32Host::IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return read && elevation.TokenIsElevated != 0;
}

namespace {
constexpr const wchar_t* kUserSettingsKey = L"Software\\Quillbay";
}  // namespace

std::optional<std::string> Win32Host::UserSetting(const std::string& name) {
    const std::wstring value = Utf8ToWide(name);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kUserSettingsKey, value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return std::nullopt;
    std::wstring data(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, kUserSettingsKey, value.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    data.resize(wcsnlen(data.c_str(), data.size()));
    return WideToUtf8(data);
}

void Win32Host::SetUserSetting(const std::string& name, const std::string& value) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kUserSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
    const std::wstring data = Utf8ToWide(value);
    status = RegSetValueExW(key, Utf8ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
}

}  // namespace quillbay::win32
