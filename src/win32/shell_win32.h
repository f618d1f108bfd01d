#pragma once
// Process start and registry reads through the Win32 shell and registry functions.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "support/ports.h"

namespace quillbay::win32 {

// Splits a command line into the program (the first token: a quoted part without its
// quotes, or everything up to the first blank) and the parameters (the rest after the
// blanks that follow the program, unchanged).
std::pair<std::string, std::string> SplitCommandLine(const std::string& commandLine);

class Win32Shell : public Shell {
public:
    // whileWaiting runs whenever messages arrive while a started program is waited for, so
    // that a window stays responsive; without it the wait blocks. timeoutMs gives a command
    // line's time-out in milliseconds (0: none); by default the tool's (ToolTimeoutSeconds).
    explicit Win32Shell(std::function<void()> whileWaiting = {},
                        std::function<DWORD(const std::string&)> timeoutMs = DefaultTimeoutMs);
    static DWORD DefaultTimeoutMs(const std::string& commandLine);

    // CreateProcess with the program's full path as the application name, the system folder
    // as the child's current folder, no window for a hidden start. With wait, returns the
    // process's 32-bit exit code. A program that is not a full path to an .exe is refused
    // with ERROR_BAD_PATHNAME, a line holding a NUL with ERROR_INVALID_PARAMETER; any other
    // line that cannot be started throws Failure with the Win32 error code.
    std::int32_t Run(const std::string& commandLine, WindowStyle style, bool wait) override;
    // Standard output and standard error share one pipe, so their lines keep their order;
    // standard input is the NUL device. A program still running at its time-out is ended
    // and Failure(ERROR_TIMEOUT) thrown, for Run with wait as well.
    Captured RunAndCapture(const std::string& commandLine) override;
    Captured RunTool(const std::string& commandLine) override { return RunAndCapture(commandLine); }

    // "ROOT\key\path\Name": the root is HKLM, HKCU, HKCR, HKU, HKCC or their long forms
    // (HKEY_LOCAL_MACHINE, ...), any letter case. The text after the last backslash names
    // the value; a path ending in a backslash reads the key's default value.
    // REG_SZ as is, REG_EXPAND_SZ expanded, REG_DWORD as the signed decimal of its 32 bits,
    // REG_QWORD as the signed decimal of its 64 bits, REG_MULTI_SZ as its strings joined
    // with CR LF. A missing key or value throws Failure(ERROR_FILE_NOT_FOUND = 2); an
    // unknown root Failure(ERROR_INVALID_PARAMETER); other value types
    // Failure(ERROR_UNSUPPORTED_TYPE).
    std::string RegRead(const std::string& valuePath) override;
    // Same path forms as RegRead, naming a key; any failure other than absence throws.
    bool RegKeyExists(const std::string& keyPath) override;
    bool RegValueExists(const std::string& valuePath) override;

private:
    class Process {
    public:
        explicit Process(HANDLE handle) : handle_(handle) {}
        ~Process() { CloseHandle(handle_); }
        Process(const Process&) = delete;
        Process& operator=(const Process&) = delete;
        HANDLE get() const { return handle_; }

    private:
        HANDLE handle_;
    };
    Process Start(const std::string& commandLine, WindowStyle style, HANDLE output);
    void Wait(HANDLE handle, const std::string& commandLine);
    static std::int32_t ExitCode(HANDLE process);

    std::function<void()> whileWaiting_;
    std::function<DWORD(const std::string&)> timeoutMs_;
};

}  // namespace quillbay::win32
