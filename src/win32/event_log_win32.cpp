#include "win32/event_log_win32.h"

#include <windows.h>

#include "support/errors.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

// The source's key names this program as its message file and the kinds it writes.
void RegisterSource() {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
    wchar_t path[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    if (length == 0 || length > MAX_PATH) status = ERROR_BAD_PATHNAME;
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path),
                                (length + 1) * sizeof(wchar_t));
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) throw MakeFailure(static_cast<DWORD>(status));
}

}  // namespace

void Win32EventLog::Report(EventKind kind, int id, const std::string& text) {
    RegisterSource();
    HANDLE source = RegisterEventSourceW(nullptr, L"Quillbay");
    if (!source) ThrowLastError();
    const WORD types[] = {EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE};
    const std::wstring wide = Utf8ToWide(text);
    LPCWSTR strings[] = {wide.c_str()};
    const BOOL written = ReportEventW(source, types[static_cast<int>(kind)], 0, static_cast<DWORD>(id), nullptr, 1, 0,
                                      strings, nullptr);
    const DWORD error = written ? ERROR_SUCCESS : GetLastError();
    DeregisterEventSource(source);
    if (!written) throw MakeFailure(error);
}

}  // namespace quillbay::win32
