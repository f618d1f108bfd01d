#include "render/tls.h"

#include "lang/store.h"

namespace quillbay::render {

std::string TlsProfileLine(const certs::SecurityOutcome& security) {
    if (security.profile == certs::TlsProfile::Unchanged) return lang::GetLangString("Tls_LeftUnchanged");
    if (security.backupPath.empty()) return {};
    return lang::FormatLangString("Tls_Applied", {lang::GetLangString(certs::ProfileKey(security.profile)),
                                                  security.backupPath, security.undoPath});
}

std::string JoinProtocols(const std::vector<std::string>& protocols) {
    std::string joined;
    for (std::size_t i = 0; i < protocols.size(); ++i)
        joined += (i == 0 ? "" : i + 1 == protocols.size() ? lang::GetLangString("Tls_And") : ", ") + protocols[i];
    return joined;
}

std::string ReenablesLine(const std::vector<std::string>& protocols) {
    return protocols.empty() ? std::string() : lang::FormatLangString("Tls_CompatibleReenables", {JoinProtocols(protocols)});
}

}  // namespace quillbay::render
