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
    std::string failure;        // why it did not start, or that it was ended at its time-out
    bool Succeeded() const { return started && exitCode == 0; }
    // The first line of the output that is not blank, for a log record.
    std::string FirstLine() const;
};

// How long a system tool may run before it is ended: long enough for a slow server, short
// enough that a tool waiting for something that never comes (appcmd on a locked configuration,
// certutil on a prompt) does not hold the run for ever.
inline constexpr int kCertutilTimeoutSeconds = 300;
inline constexpr int kIisresetTimeoutSeconds = 300;
inline constexpr int kAppcmdTimeoutSeconds = 120;
inline constexpr int kNetshTimeoutSeconds = 60;
inline constexpr int kRegTimeoutSeconds = 60;
inline constexpr int kSchtasksTimeoutSeconds = 60;
// The time-out of the program a command line starts, by its file name; 0 for none (a program
// the user works in, such as the certificate manager).
int ToolTimeoutSeconds(const std::string& commandLine);

// The line of a tool's output that says what went wrong: the first naming an error or a
// failure, else the first that is not blank; "" for none.
std::string ToolWords(const std::string& output);
// A log record with the tool's own words after it, when it wrote any.
std::string WithToolWords(const std::string& record, const std::string& output);

// Runs a tool that changes the machine (Shell::RunTool). A line that cannot be started, or a
// tool ended at its time-out, comes back not started with the failure's number and words.
ToolRun RunChange(Shell& shell, const std::string& commandLine);
// The record with why the tool did not run, or with its own words when it failed.
std::string Explained(const std::string& record, const ToolRun& run);

// Runs the command line hidden, waits, and returns how it ended with what it wrote. A line
// that cannot be started is logged under "RunHiddenAndCapture" with its number; never throws
// for the tool's sake.
ToolRun RunHiddenAndCapture(Shell& shell, Log& log, const std::string& commandLine);

}  // namespace quillbay
