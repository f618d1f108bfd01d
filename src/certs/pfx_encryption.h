#pragma once
// How a PFX file is encrypted, read from the file itself: Windows reads a PFX encrypted with
// AES (PBES2) only from Windows Server 2019 on, and an older release's certutil then reports a
// wrong password although the password is right.
#include <optional>
#include <string>

#include "certs/server_files.h"
#include "support/machine.h"

namespace quillbay::certs {

enum class PfxEncryption {
    Unknown,  // not a PFX this reader understands; the platform decides
    Legacy,   // the PKCS#12 schemes (3DES, RC2, RC4 with SHA-1) that every release reads
    Aes,      // PBES2 with AES, as OpenSSL 3 writes by default
};
PfxEncryption ReadPfxEncryption(const std::string& bytes);

// The first build that reads a PFX encrypted with AES (Windows Server 2019).
inline constexpr int kFirstBuildReadingAesPfx = 17763;

// The system's build when the PFX is encrypted with AES and this system is older than that
// build; none when it can be imported here, or when the build or the file cannot be read.
std::optional<int> AesPfxTooNew(Machine& machine, const ServerFiles& files);

}  // namespace quillbay::certs
