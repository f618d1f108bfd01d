#include "win32/path_security.h"

#include <sddl.h>

#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

bool Trusted(PSID sid, PSID owner) {
    if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinLocalSystemSid)) return true;
    if (owner && EqualSid(sid, owner)) return true;
    // NT SERVICE\TrustedInstaller owns the system's own folders.
    PSID installer = nullptr;
    if (!ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &installer)) return false;
    const bool same = EqualSid(sid, installer);
    LocalFree(installer);
    return same;
}

constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER |
                                     GENERIC_WRITE | GENERIC_ALL;
constexpr ACCESS_MASK kReadRights = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

}  // namespace

PathAccess OthersAccess(PSECURITY_DESCRIPTOR descriptor, bool folder) {
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE, present = FALSE, daclDefaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &daclDefaulted))
        ThrowLastError();
    if (!present || !dacl) return {false, true, true};
    PathAccess access;
    const ACCESS_MASK write = kWriteRights | (folder ? FILE_DELETE_CHILD : 0);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) ThrowLastError();
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        if (Trusted(&ace->SidStart, owner)) continue;
        access.othersMayWrite = access.othersMayWrite || (ace->Mask & write);
        access.othersMayRead = access.othersMayRead || (ace->Mask & kReadRights);
    }
    return access;
}

PSECURITY_DESCRIPTOR AdminOnlyDescriptor() {
    // Protected (P): nothing inherited from the parent; Administrators (BA) and SYSTEM (SY) get
    // full control, passed on to files (OI) and folders (CI) made inside.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        ThrowLastError();
    return descriptor;
}

}  // namespace quillbay::win32
