// mmc.exe stand-in: the certificate consoles are started as <system32>\mmc.exe
// "<system32>\certlm.msc" (or certmgr.msc). It logs the invocation and opens nothing; a console
// file that does not exist, or is no console, is refused with the real console's complaint on
// standard error instead of its message box.
#include <windows.h>

#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/console.h"
#include "common/state.h"
#include "common/text.h"

using namespace sandbox;

namespace {

bool IsConsoleFile(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes, nullptr)) return false;
    return std::string(bytes.begin(), bytes.end()).find("<MMC_ConsoleFile") != std::string::npos;
}

DWORD Run(const std::vector<std::wstring>& args) {
    for (const std::wstring& arg : args) {
        if (!arg.empty() && (arg[0] == L'/' || arg[0] == L'-')) continue;  // /a, /32, /64
        if (FileExists(arg) && IsConsoleFile(arg)) return 0;
        Err(L"MMC cannot open the file " + arg +
            L".\r\n\r\nThis may be because the file does not exist, is not an MMC console, or was created by a "
            L"later version of MMC. This may also be because you do not have sufficient access rights to the "
            L"file.\r\n");
        return ERROR_FILE_NOT_FOUND;
    }
    return 0;  // no console file: an empty console
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    DWORD code = Run(ArgumentValues(raw));
    LogInvocation(L"mmc", raw, code);
    return static_cast<int>(code);
}
