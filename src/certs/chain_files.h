#pragma once
// The chain folder beside the program and the chain certificates in it.
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::certs {

// The chain folder, without a trailing backslash.
std::string ChainFolder(Host& host);

// Names of the chain certificates (crt, cer, der, any letter case) in the chain folder, in
// the file system's order. Creates the folder when it is missing; a failure to read or
// create it throws.
std::vector<std::string> FindChainFiles(Machine& machine);
// The same for a chain folder given elsewhere, which is never created.
std::vector<std::string> FindChainFiles(Machine& machine, const std::string& folder);

// stem + tail when no file has that path, else stem + "-2" + tail, "-3", ... (first free).
std::string UnusedPath(FileSystem& fs, const std::string& stem, const std::string& tail);

// The moment as yyyymmddhhnnss, for names of copies and backups.
std::string CompactTimestamp(const LocalTime& t);

// Outcome of putting chain files picked anywhere into the intermediate store.
struct ManualImportOutcome {
    int imported = 0;  // certutil exited with 0
    int copied = 0;    // copied into the chain folder
};

// Each file goes into the intermediate store and is copied into the chain folder. A file
// already there is the user's and stays: the copy takes a time-stamped name. A file that
// fails either step is logged with its code and the others go on; a chain folder that cannot
// be made throws.
ManualImportOutcome ImportChainFiles(Machine& machine, const std::vector<std::string>& files);

}  // namespace quillbay::certs
