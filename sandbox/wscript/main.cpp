// wscript.exe stand-in: the self-update is started as <system32>\wscript.exe "script" "package"
// "folder" "program". It logs the invocation and runs nothing, so the simulated host's program
// folder stays as it is; a script file that does not exist is refused as the real host refuses
// it (on standard error instead of its message box).
#include <windows.h>

#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/console.h"
#include "common/state.h"
#include "common/text.h"

using namespace sandbox;

namespace {

DWORD Run(const std::vector<std::wstring>& args) {
    for (const std::wstring& arg : args) {
        if (!arg.empty() && arg[0] == L'/') continue;  // //B, //Nologo and the like
        if (FileExists(arg)) return 0;
        Err(L"Windows Script Host\r\n\r\nCan not find script file \"" + arg + L"\".\r\n");
        return ERROR_FILE_NOT_FOUND;
    }
    Err(L"Windows Script Host\r\n\r\nThere is no script file specified.\r\n");
    return ERROR_INVALID_PARAMETER;
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    DWORD code = Run(ArgumentValues(raw));
    LogInvocation(L"wscript", raw, code);
    return static_cast<int>(code);
}
