#include "certs/thumbprint.h"

namespace quillbay::certs {
std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password) {
    try {
        for (const PfxCertificate& c : machine.pkcs12.Open(machine.fs.ReadBytes(pfxPath), password)) {
            if (!c.hasPrivateKey) continue;
            static const char* const kHex = "0123456789ABCDEF";
            std::string out;
            for (unsigned char b : c.sha1) out += {kHex[b >> 4], kHex[b & 15]};
            return out;
        }
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("GetPfxThumbprint_API", f.number, f.description);
    }
    return "";
}
}  // namespace quillbay::certs
