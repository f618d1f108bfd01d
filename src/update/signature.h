#pragma once
// Who made an update package: a detached ECDSA P-256 signature over its SHA-256 (what
// `openssl dgst -sha256 -sign` writes), checked against the public key the program carries.
#include <optional>
#include <string>

#include "support/ports.h"

namespace quillbay::update {

// The uncompressed point (0x04, X, Y: 65 bytes) of a PEM "PUBLIC KEY" that holds a P-256 key,
// as `openssl ec -pubout` writes it; nothing for any other text.
std::optional<std::string> P256PointFromPem(const std::string& pem);

// r then s of a DER ECDSA signature (a SEQUENCE of two positive INTEGERs), each as 32
// big-endian bytes; nothing for anything else.
std::optional<std::string> RawP256Signature(const std::string& der);

// The public key update packages must be signed with, as the build compiled it in (PEM).
const char* TrustedUpdateKey();

// Why the package is not signed with the key, or nothing when it is. A verifier that cannot
// check at all throws.
std::optional<std::string> SignatureProblem(SignatureVerifier& verifier, const std::string& keyPem,
                                            const std::string& package, const std::string& signature);

}  // namespace quillbay::update
