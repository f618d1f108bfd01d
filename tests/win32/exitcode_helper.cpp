// A program for the adapter tests to start.
//   exitcode_helper CODE [RECORD-FILE [anything...]]
// Exits with CODE (a signed 32-bit number). With RECORD-FILE it first writes there, in
// UTF-8, the argument text exactly as it arrived (everything after the program name) and
// the window state it was asked to show.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>

namespace {

std::wstring ArgumentText() {
    std::wstring line = GetCommandLineW();
    size_t pos = 0;
    if (!line.empty() && line[0] == L'"') {
        pos = line.find(L'"', 1);
        pos = pos == std::wstring::npos ? line.size() : pos + 1;
    } else {
        while (pos < line.size() && line[pos] != L' ' && line[pos] != L'\t') ++pos;
    }
    while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
    return line.substr(pos);
}

void WriteRecord(const wchar_t* path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    std::wstring text = L"args=" + ArgumentText() + L"\nshow=" + std::to_wstring(show) + L"\n";

    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                   nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) ExitProcess(9999);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    long long code = argc > 1 ? std::wcstoll(argv[1], nullptr, 10) : 0;
    if (argc > 2) WriteRecord(argv[2]);
    ExitProcess(static_cast<UINT>(static_cast<std::int32_t>(code)));
}
