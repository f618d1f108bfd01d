#include "certs/thumbprint.h"

#include "certs/inspect.h"

namespace quillbay::certs {

namespace {

constexpr std::int32_t kFileNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::int32_t kEndOfFile = 38;    // ERROR_HANDLE_EOF

}  // namespace

std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password) {
    try {
        // The administrator reads the path in the record; the platform's own text lacks it.
        if (!machine.fs.FileExists(pfxPath)) throw Failure(kFileNotFound, "The PFX file is not there: " + pfxPath);
        const std::string bytes = machine.fs.ReadBytes(pfxPath);
        if (bytes.empty()) throw Failure(kEndOfFile, "The PFX file is empty: " + pfxPath);
        const std::vector<PfxCertificate> certificates = machine.pkcs12.Open(bytes, password);
        const PfxCertificate* server = ServerCertificate(certificates);
        return server ? HexThumbprint(server->sha1) : std::string();
    } catch (...) {
        const FailureInfo failure = CurrentFailure();
        machine.log.WriteErrorLog("GetPfxThumbprint_API", failure.number, failure.description);
        return {};
    }
}

}  // namespace quillbay::certs
