#pragma once
// Starting the system's tools: always by full path, never through a command interpreter.
#include <cstdint>
#include <string>

#include "support/log.h"
#include "support/ports.h"

namespace quillbay {

// Full path of a program below the system folder, e.g. "certutil.exe", "inetsrv\\appcmd.exe".
std::string SystemProgram(FileSystem& fs, const std::string& relative);
// A program's path as the first token of a command line: quoted only when it holds a blank,
// so that log records stay readable.
std::string ProgramToken(const std::string& path);

struct ToolRun {
    bool started = false;
    std::int32_t exitCode = 0;  // the start's error number when it did not start
    std::string output;         // standard output and standard error
    bool Succeeded() const { return started && exitCode == 0; }
    // The first line of the output that is not blank, for a log record.
    std::string FirstLine() const;
};

// Runs the command line hidden, waits, and returns how it ended with what it wrote. A line
// that cannot be started is logged under "RunHiddenAndCapture" with its number; never throws
// for the tool's sake.
ToolRun RunHiddenAndCapture(Shell& shell, Log& log, const std::string& commandLine);

}  // namespace quillbay
