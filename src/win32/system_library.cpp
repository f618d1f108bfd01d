#include "win32/system_library.h"

#include <string>

#include "win32/text_win32.h"

namespace quillbay::win32 {

bool RestrictDllSearch() {
    // Looked up, not imported: an import the loader cannot resolve would keep the program from
    // starting at all.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto restrict = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (restrict && restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryW(L"");
    return false;
}

HMODULE SystemModule(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without the flag (the update above missing), by its full path: the DLLs it needs are then
    // looked for in the system folder first.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
        wchar_t folder[MAX_PATH + 1];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
        if (length == 0 || length > MAX_PATH) ThrowLastError();
        module = LoadLibraryExW((std::wstring(folder) + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!module) ThrowLastError();
    return module;
}

FARPROC SystemFunction(HMODULE module, const char* name) {
    FARPROC function = GetProcAddress(module, name);
    if (!function) throw MakeFailure(ERROR_PROC_NOT_FOUND);
    return function;
}

const VersionApi& VersionApi::Get() {
    static const VersionApi api;
    return api;
}

const Crypt32Api& Crypt32Api::Get() {
    static const Crypt32Api api;
    return api;
}

const BCryptApi& BCryptApi::Get() {
    static const BCryptApi api;
    return api;
}

const WinHttpApi& WinHttpApi::Get() {
    static const WinHttpApi api;
    return api;
}

int WinsockApi::Start(decltype(&::WSAStartup) start) {
    WSADATA data;
    return start(MAKEWORD(2, 2), &data);
}

const WinsockApi& WinsockApi::Get() {
    static const WinsockApi api;
    return api;
}

const SspiApi& SspiApi::Get() {
    static const SspiApi api;
    return api;
}

}  // namespace quillbay::win32
