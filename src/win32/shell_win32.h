#pragma once
// Process start and registry reads through the Win32 shell and registry functions.
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
    // ShellExecuteEx with the "open" verb: a bare program name is looked up on the search
    // path, a document opens with its associated program. With wait, returns the process's 32-bit exit code
    // (0 when the start handed over no process, e.g. to an already running program).
    // A line that cannot be started throws Failure with the Win32 error code; a line holding
    // a NUL character is refused with ERROR_INVALID_PARAMETER.
    std::int32_t Run(const std::string& commandLine, WindowStyle style, bool wait) override;

    // "ROOT\key\path\Name": the root is HKLM, HKCU, HKCR, HKU, HKCC or their long forms
    // (HKEY_LOCAL_MACHINE, ...), any letter case. The text after the last backslash names
    // the value; a path ending in a backslash reads the key's default value.
    // REG_SZ as is, REG_EXPAND_SZ expanded, REG_DWORD as the signed decimal of its 32 bits,
    // REG_QWORD as the signed decimal of its 64 bits, REG_MULTI_SZ as its strings joined
    // with CR LF. A missing key or value throws Failure(ERROR_FILE_NOT_FOUND = 2); an
    // unknown root Failure(ERROR_INVALID_PARAMETER); other value types
    // Failure(ERROR_UNSUPPORTED_TYPE).
    std::string RegRead(const std::string& valuePath) override;
};

}  // namespace quillbay::win32
