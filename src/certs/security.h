#pragma once
// The machine's TLS settings set to a profile in one go, after a backup that can undo it.
#include <cstdint>
#include <string>
#include <vector>

#include "certs/tls_profiles.h"
#include "support/machine.h"

namespace quillbay::certs {

struct SecurityOutcome {
    TlsProfile profile = TlsProfile::Compatible;
    int valuesExpected = 0;       // the profile's values; none for Unchanged
    bool ok = false;              // backed up, every value written, IIS restarted where it is installed
    int valuesWritten = 0;        // reg add exited with 0
    int valuesFailed = 0;         // reg add exited with another code
    // The first failing value's exit code, or the failure's number when reg.exe could not be
    // started (the values after it were not tried).
    std::int32_t valueFailureCode = 0;
    std::string backupPath;       // the key as it was (reg export); empty when the backup failed
    std::string undoPath;         // removes what was not there before, puts back what the export lacks
    bool backupFailed = false;    // then no value was written
    std::int32_t backupCode = 0;  // reg export's exit code, or the failure's number
    bool iisRestarted = false;    // iisreset was run
    std::int32_t iisResetCode = 0;  // its exit code, or the failure's number when it did not start
    bool IisResetFailed() const { return iisRestarted && iisResetCode != 0; }
};

// Saves what the profile is about to change into backup\ beside the program (an export of the
// SecurityProviders key and an undo file for what the export cannot give back), writes the
// profile's values, and restarts IIS when it is installed. Nothing is written when the backup
// cannot be made. Reports a status key per group of values. A reg.exe that cannot be started
// ends it there with ok false. Unchanged runs nothing and is ok.
SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress, TlsProfile profile);

// The undo file for these values as the registry holds them now: each key that is not there
// (its topmost missing ancestor) deleted, each missing value of a key that is deleted, and, for a
// value outside the SecurityProviders key that the export does not hold, its data put back.
std::string UndoText(Machine& machine, const std::vector<TlsValue>& values);

}  // namespace quillbay::certs
