// A program planted where the application must never look for one: copied as cmd.exe,
// certutil.exe, reg.exe and so on into the application's folder, the current folder or a folder
// on the search path. Whatever name it runs under, it leaves its own path and command line in
// planted.log of the sandbox state, so that a test can tell it was started.
#include <windows.h>

#include <string>

#include "common/state.h"

using namespace sandbox;

int wmain() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    CreateDirectories(StateDirectory());
    StateLock lock;
    AppendRecord(StatePath(L"planted.log"), {Timestamp(), std::wstring(path, length), GetCommandLineW()});
    return 0;
}
