#pragma once
// Opening PFX data with the platform certificate library, in memory only.
#include "support/ports.h"

namespace quillbay::win32 {

class Win32Pkcs12 : public Pkcs12 {
public:
    // Imports the data into a memory store with keys that are not persisted, lists its
    // certificates, and discards everything again. A key container that the platform
    // created for the import all the same is deleted before returning.
    //
    // hasPrivateKey is true only when the certificate has a private key attached AND that
    // key's public half is the certificate's public key: some platforms attach the one key
    // of a PFX to every certificate in it.
    //
    // An empty password is tried as the empty string and then as no password, as PFX tools
    // differ in how they write it. Failure carries GetLastError of the import.
    std::vector<PfxCertificate> Open(const std::string& bytes, const std::string& password) override;
    // Through the platform's object query: one DER certificate, or a PKCS #7 bundle.
    std::vector<PfxCertificate> DecodeCertificates(const std::string& der) override;
    // The local machine's ROOT store, opened read-only, searched by the encoded subject.
    bool InTrustedRoots(const std::string& subjectName) override;
    std::vector<PfxCertificate> PersonalCertificates() override;
};

}  // namespace quillbay::win32
