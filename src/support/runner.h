#pragma once
#include <string>

#include "support/log.h"
#include "support/ports.h"

namespace quillbay {

// Runs the command hidden through cmd.exe, waits, and returns its standard output (read
// from a capture file in the temporary folder, which is always deleted). Failures are
// logged and give "".
std::string RunHiddenAndCapture(Shell& shell, FileSystem& fs, Log& log, const std::string& command);

}  // namespace quillbay
