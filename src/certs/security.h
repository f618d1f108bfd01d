#pragma once
// The machine's TLS settings below HKLM\...\SecurityProviders, hardened in one go.
#include <cstdint>
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::certs {

// The values the hardening writes.
inline constexpr int kSecurityValueCount = 56;

struct SecurityOutcome {
    bool ok = false;              // backed up, every value written, IIS restarted where it is installed
    int valuesWritten = 0;        // reg add exited with 0
    int valuesFailed = 0;         // reg add exited with another code
    // The first failing value's exit code, or the failure's number when reg.exe could not be
    // started (the values after it were not tried).
    std::int32_t valueFailureCode = 0;
    std::string backupPath;       // the key as it was (reg export); empty when the backup failed
    std::string undoPath;         // removes the values and keys that were not there before
    bool backupFailed = false;    // then no value was written
    std::int32_t backupCode = 0;  // reg export's exit code, or the failure's number
    bool iisRestarted = false;    // iisreset was run
    std::int32_t iisResetCode = 0;  // its exit code, or the failure's number when it did not start
    bool IisResetFailed() const { return iisRestarted && iisResetCode != 0; }
};

// A value of the TLS settings: its key (the whole path, "HKLM\..."), name, type and data as
// reg.exe takes them ("0xffffffff", "3des,rc4").
struct TlsValue {
    std::string key;
    std::string name;
    std::string type;
    std::string data;
};
// The 56 values the hardening writes, in its order.
std::vector<TlsValue> CompatibleValues();

// Saves the key into backup\ beside the program (an export of what was there and an undo
// file for what was not), writes the 56 values, and restarts IIS when it is installed.
// Nothing is written when the backup cannot be made. Reports a status key per group of
// values. A reg.exe that cannot be started ends the hardening there with ok false.
SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress);

}  // namespace quillbay::certs
