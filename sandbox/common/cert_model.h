// The simulated machine certificate stores: certs.tsv lists which certificate (by SHA-1
// thumbprint) is in which store and whether its private key came with it; certs\<SHA1>.cer keeps
// the encoded certificate itself.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sandbox {

struct StoredCertificate {
    std::wstring store;       // "CA", "Root", "My"...; "User\My" for the user's stores
    std::wstring thumbprint;  // 40 upper-case hexadecimal digits
    bool hasKey = false;
    std::wstring subject;     // the subject name as text ("CN=..., O=...")
};

struct CertificateStores {
    std::vector<StoredCertificate> certificates;

    static CertificateStores Load();
    bool Save() const;

    const StoredCertificate* Find(std::wstring_view store, std::wstring_view thumbprint) const;
    // Adds the entry (or updates its key flag) and keeps the encoding; false when it was there.
    bool Add(const StoredCertificate& entry, const std::vector<unsigned char>& encoded);
};

}  // namespace sandbox
