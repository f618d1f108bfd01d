#include "common/console.h"

#include <windows.h>

#include "common/text.h"

namespace sandbox {

namespace {
UINT g_redirectedCodePage = CP_ACP;
}

void UseUtf8WhenRedirected() { g_redirectedCodePage = CP_UTF8; }

void Write(Stream stream, std::wstring_view text) {
    if (text.empty()) return;
    HANDLE handle = GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = ToCodePage(g_redirectedCodePage, text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace sandbox
