#include "certs/thumbprint.h"
#include "support/text.h"

#include "certs/inspect.h"
#include "support/errors.h"

namespace quillbay::certs {

std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password) {
    try {
        // The administrator reads the path in the record; the platform's own text lacks it.
        if (!machine.fs.FileExists(pfxPath)) throw Failure(kErrorFileNotFound, "The PFX file is not there: " + pfxPath);
        const std::string bytes = machine.fs.ReadBytes(pfxPath);
        if (bytes.empty()) throw Failure(kErrorHandleEof, "The PFX file is empty: " + pfxPath);
        const std::vector<PfxCertificate> certificates = machine.pkcs12.Open(bytes, password);
        const PfxCertificate* server = ServerCertificate(certificates);
        return server ? UpperHex(server->sha1) : std::string();
    } catch (...) {
        const FailureInfo failure = CurrentFailure();
        machine.log.WriteErrorLog("GetPfxThumbprint_API", failure.number, failure.description);
        return {};
    }
}

}  // namespace quillbay::certs
