#pragma once
// The rules of the pre-flight check: which host names a certificate covers, how close it is
// to its end, whether the chain files complete its chain. Plain data in, plain answers out.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/ports.h"

namespace quillbay::certs {

// A host name in the ASCII form certificates carry it in: ASCII and Latin-1 letters
// lower-cased, each label that holds other characters in its IDNA form ("xn--" and its
// Punycode). Empty optional when a label cannot be encoded (not UTF-8).
std::optional<std::string> AsciiHostName(const std::string& host);

// Whether one DNS name of a certificate covers the host: equal whatever the letter case, or
// "*." followed by a name that the host has after exactly one more label. Both sides compare
// in their ASCII form.
bool NameCovers(const std::string& certificateName, const std::string& host);
// Whether any of the certificate's DNS names (subject alternative names) covers the host.
bool CertificateCovers(const CertificateDetails& certificate, const std::string& host);

enum class Validity {
    Valid,
    ExpiresSoon,  // fewer than kExpiryWarningDays days left
    Expired,
    NotYetValid,
};
inline constexpr int kExpiryWarningDays = 30;
struct ValidityFinding {
    Validity validity = Validity::Valid;
    std::int64_t daysLeft = 0;  // whole days until notAfter, negative once it has passed
};
ValidityFinding CheckValidity(const CertificateDetails& certificate, std::int64_t now);

// The certificate's chain, followed by issuer and subject names through the pool.
struct ChainFinding {
    std::vector<std::string> path;  // subjects from the certificate's issuer up
    bool complete = false;          // ends in a self-signed certificate (a root)
    std::string rootName;           // when complete: the root's encoded subject name
    std::string missingIssuer;      // when incomplete: the issuer nothing in the pool names
};
ChainFinding FollowChain(const CertificateDetails& certificate, const std::vector<CertificateDetails>& pool);

// The DER blobs of a certificate file: each PEM block's Base64 decoded, a file of bare Base64
// decoded whole, anything else as it is.
std::vector<std::string> CertificateBlobs(const std::string& fileBytes);

// The server certificate of a PFX: its first certificate with its own key, as deployment picks it.
const PfxCertificate* ServerCertificate(const std::vector<PfxCertificate>& certificates);

// Seconds since 1970 UTC as "2026-12-06T09:05:07Z".
std::string UtcText(std::int64_t seconds);

}  // namespace quillbay::certs
