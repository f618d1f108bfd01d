#pragma once
// Handing over to the self-update script: it waits for the program to end, unpacks the
// package over the program's folder, starts the program again elevated and removes itself.
#include <string>

#include "support/machine.h"

namespace quillbay::update {

// The script, 24 lines, each ending in CR LF.
std::string SelfUpdateScript();
// The program to start again: the running executable's full path, ".exe" included.
std::string ProgramToRelaunch(Host& host);
// The script host's command line: the host's full path, then the script, the package, the
// program folder and the program, each in double quotes, one blank apart.
std::string UpdateLaunchLine(const std::string& scriptHost, const std::string& script, const std::string& package,
                             const std::string& programFolder, const std::string& program);

// Writes self_update.vbs beside the package (a file already there is not overwritten) and
// starts the system's script host on it, without waiting. False on any failure, which is logged.
bool InitiateUpdateAndRestart(Machine& machine, const std::string& zipFilePath);

}  // namespace quillbay::update
