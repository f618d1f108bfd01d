#pragma once
// The console program: one command line in, one exit code out, never a window.
#include <string>
#include <vector>

#include "cli/console.h"
#include "support/machine.h"

namespace quillbay::cli {

// The version of the --json document's shape, in its "version" member.
inline constexpr int kJsonVersion = 1;

// Runs the command the arguments (after the program name, UTF-8) give and returns the
// process's exit code: 0 done, 1 partly done (check: warnings), 2 nothing done (bad usage,
// not elevated, missing files, wrong password; check: errors).
int RunConsole(Machine& machine, Console& console, const std::vector<std::string>& args);

}  // namespace quillbay::cli
