#include "win32/system_library.h"

#include "win32/text_win32.h"

namespace quillbay::win32 {

HMODULE SystemModule(const wchar_t* name) {
    HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
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
