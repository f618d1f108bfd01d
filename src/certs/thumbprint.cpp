#include "certs/thumbprint.h"

namespace quillbay::certs {

namespace {

constexpr std::int32_t kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::int32_t kEndOfFile = 38;    // ERROR_HANDLE_EOF

std::string UpperHex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

}  // namespace

std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password) {
    try {
        // The administrator reads the path in the record; the platform's own text lacks it.
        if (!machine.fs.FileExists(pfxPath)) throw Failure(kFileNotFound, "The PFX file is not there: " + pfxPath);
        const std::string bytes = machine.fs.ReadBytes(pfxPath);
        if (bytes.empty()) throw Failure(kEndOfFile, "The PFX file is empty: " + pfxPath);
        for (const PfxCertificate& certificate : machine.pkcs12.Open(bytes, password))
            if (certificate.hasPrivateKey) return UpperHex(certificate.sha1);
        return {};
    } catch (...) {
        const FailureInfo failure = CurrentFailure();
        machine.log.WriteErrorLog("GetPfxThumbprint_API", failure.number, failure.description);
        return {};
    }
}

}  // namespace quillbay::certs
