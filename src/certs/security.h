#pragma once
// The machine's TLS settings below HKLM\...\SecurityProviders, hardened in one go.
#include <cstdint>
#include <string>

#include "support/machine.h"

namespace quillbay::certs {

struct SecurityOutcome {
    bool ok = false;           // every value written with exit code 0, nothing failed
    int valuesWritten = 0;     // reg add exited with 0
    int valuesFailed = 0;      // reg add exited with another code
    std::string backupPath;    // the saved key; empty when the backup failed
    bool iisRestarted = false; // iisreset was run (its exit code does not count)
};

// Saves the key into backup\ beside the program, writes the 56 values, and restarts IIS
// when it is installed. Reports a status key per group of values. A tool that cannot be
// started ends the hardening there with ok false.
SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress);

}  // namespace quillbay::certs
