#pragma once
// The TLS profile's words, the same in the window and the console.
#include <string>
#include <vector>

#include "certs/security.h"

namespace quillbay::render {

// The profile an import or tls --apply set, with its backup pair; that the settings were left
// alone for Unchanged; "" when the backup failed (no value was written).
std::string TlsProfileLine(const certs::SecurityOutcome& security);

// One line when the Compatible profile switches on protocols this system has off; "" when none.
std::string ReenablesLine(const std::vector<std::string>& protocols);

// "TLS 1.0 and TLS 1.1".
std::string JoinProtocols(const std::vector<std::string>& protocols);

}  // namespace quillbay::render
