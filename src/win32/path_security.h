#pragma once
// What a file's or folder's security descriptor lets others do, others being anyone but
// Administrators, SYSTEM, TrustedInstaller and the owner.
#include <windows.h>

#include "support/ports.h"

namespace quillbay::win32 {

// From the descriptor's owner and DACL (a missing DACL lets everyone in). Only allowing
// entries that apply to the object itself count; denying entries are not subtracted, so the
// answer errs towards "others may".
PathAccess OthersAccess(PSECURITY_DESCRIPTOR descriptor, bool folder);

// The descriptor of a folder that only Administrators and SYSTEM may enter, inherited by
// everything made in it. Free it with LocalFree.
PSECURITY_DESCRIPTOR AdminOnlyDescriptor();

}  // namespace quillbay::win32
