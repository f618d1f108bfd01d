#pragma once
// Security attributes for a named object that only the user the process runs as may open:
// the DACL holds one ACE, for the token's user, and inherits nothing.
#include <windows.h>

#include <vector>

namespace quillbay::win32 {

class OwnerOnlySecurity {
public:
    // Throws Failure when the process's user cannot be read or the ACL cannot be built.
    OwnerOnlySecurity();
    // Points into this object: neither copied nor moved.
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

private:
    PSID user() const;

    std::vector<BYTE> tokenUser_;  // TOKEN_USER followed by the SID it points to
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace quillbay::win32
