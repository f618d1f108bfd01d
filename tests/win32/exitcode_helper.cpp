// A program for the adapter tests to start. It exits with CODE (a signed 32-bit number).
//   exitcode_helper CODE [RECORD-FILE [anything...]]
// With RECORD-FILE it first writes there, in UTF-8, "args=" and the argument text exactly as it
// arrived, "\nshow=" and the window state it was asked to show (-1 for none), and "\n".
//   exitcode_helper CODE -print OUT ERR [REPEAT]
// Writes OUT (in the ANSI code page) REPEAT times to standard output, then ERR to standard error.
//   exitcode_helper CODE -wait FILE
// Waits until FILE exists (at most a minute), then exits.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

#include "win32/text_win32.h"

using quillbay::win32::WideToUtf8;

namespace {

std::wstring ArgumentText() {
    const std::wstring line = GetCommandLineW();
    size_t pos = line.rfind(L'"', 0) == 0 ? line.find(L'"', 1) : line.find_first_of(L" \t");
    pos = pos == std::wstring::npos ? line.size() : pos + (line[0] == L'"');
    pos = line.find_first_not_of(L" \t", pos);
    return pos == std::wstring::npos ? std::wstring() : line.substr(pos);
}

void WriteRecord(const wchar_t* path) {
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    const std::string bytes = WideToUtf8(L"args=" + ArgumentText() + L"\nshow=" + std::to_wstring(show) + L"\n");
    // Unshared until complete: a reader that can open it reads the whole record.
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ExitProcess(9999);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void WriteAnsi(DWORD which, const wchar_t* text, int repeat) {
    const std::string bytes = quillbay::win32::Utf8ToAnsi(WideToUtf8(text));
    DWORD written = 0;
    for (int i = 0; i < repeat; ++i)
        WriteFile(GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const UINT code = static_cast<UINT>(static_cast<std::int32_t>(argc > 1 ? std::wcstoll(argv[1], nullptr, 10) : 0));
    if (argc > 4 && std::wstring(argv[2]) == L"-print") {
        WriteAnsi(STD_OUTPUT_HANDLE, argv[3], argc > 5 ? static_cast<int>(std::wcstol(argv[5], nullptr, 10)) : 1);
        WriteAnsi(STD_ERROR_HANDLE, argv[4], 1);
        ExitProcess(code);
    }
    if (argc > 3 && std::wstring(argv[2]) == L"-wait") {
        for (int i = 0; i < 6000 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
        ExitProcess(code);
    }
    if (argc > 2) WriteRecord(argv[2]);
    ExitProcess(code);
}
