#include "win32/console_win32.h"

#include <string>
#include <vector>

#include "win32/text_win32.h"

namespace quillbay::win32 {

Win32Console::Win32Console() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)) {}

void Win32Console::Write(HANDLE handle, std::string_view text) {
    if (!handle || handle == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf8ToWide(text);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    // A pipe may take less than asked at a time.
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) || written == 0)
            return;
        done += written;
    }
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(WideToUtf8(argv[i]));
    return args;
}

}  // namespace quillbay::win32
