#pragma once
// The Import button: chain certificates into the intermediate store, fullchain.pfx into the
// machine store, then the TLS hardening of the machine.
#include <string>

#include "app/main.h"

namespace quillbay::certs {

void cmdImport_Click(app::Main& m);

// Writes the TLS settings below HKLM\...\SecurityProviders (after exporting the key into
// backup\ beside the program) and restarts IIS when it is installed. True when every value
// was written with exit code 0.
bool ApplySecurityConfiguration(app::Main& m);

// The moment as yyyymmddhhnnss, for names of copies and backups.
std::string CompactTimestamp(const LocalTime& t);

// stem + tail when no file has that path, else stem + "-2" + tail, "-3", ... (first free).
std::string UnusedPath(FileSystem& fs, const std::string& stem, const std::string& tail);

}  // namespace quillbay::certs
