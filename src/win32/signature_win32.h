#pragma once
// Signature checks with the platform's CNG (bcrypt.dll from the system folder).
#include "support/ports.h"

namespace quillbay::win32 {

class Win32SignatureVerifier : public SignatureVerifier {
public:
    // False for a signature that does not verify, also for a point that is not on the curve;
    // throws Failure (the NTSTATUS as its number) when CNG cannot check at all.
    bool VerifyP256(const std::string& point, const std::string& data, const std::string& signature) override;
};

}  // namespace quillbay::win32
