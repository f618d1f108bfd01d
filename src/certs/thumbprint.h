#pragma once
// The SHA-1 thumbprint that deployment binds the server certificate by, read straight from
// the PFX file: whatever store it was imported into is never looked at.
#include <string>

#include "support/machine.h"

namespace quillbay::certs {

// The first certificate of the PFX that carries its own private key, as the 40 upper-case
// hexadecimal digits of its SHA-1. "" when there is none (nothing logged), and when the file
// is missing, empty or unreadable or will not open with the password (one error record with
// the failure's number and description). The password is used exactly as given, blanks at
// its ends included, and never logged.
std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password);

}  // namespace quillbay::certs
