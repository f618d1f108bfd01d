#include "win32/owner_only_security.h"

#include "win32/text_win32.h"

namespace quillbay::win32 {

OwnerOnlySecurity::OwnerOnlySecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) ThrowLastError();
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    tokenUser_.resize(size);
    const BOOL read = size > 0 && GetTokenInformation(token, TokenUser, tokenUser_.data(), size, &size);
    const DWORD error = GetLastError();
    CloseHandle(token);
    if (!read) throw MakeFailure(error);

    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(user());
    acl_.resize(aclSize);
    auto* acl = reinterpret_cast<ACL*>(acl_.data());
    // Protected, so that no inheritable ACE of the namespace it is created in is added.
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, user()) ||
        !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        ThrowLastError();
    attributes_ = {sizeof attributes_, &descriptor_, FALSE};
}

PSID OwnerOnlySecurity::user() const { return reinterpret_cast<const TOKEN_USER*>(tokenUser_.data())->User.Sid; }

}  // namespace quillbay::win32
