#include "render/verification.h"

#include "lang/store.h"
#include "support/text.h"

namespace quillbay::render {

namespace {

using lang::FormatLangString;
using lang::GetLangString;

std::string Line(const std::string& text) { return text + "\r\n"; }

std::string Level(bool ok) { return GetLangString(ok ? "Cli_Level_Ok" : "Cli_Level_Error") + " "; }

std::string HandshakeLines(const iis::HostFinding& f) {
    const iis::ProbeTarget& t = f.target;
    const std::string host = t.host.empty() ? GetLangString("lblStatus_DomainWildcard") : t.host;
    const std::vector<std::string> where{host, t.address + ":" + std::to_string(t.port), t.site};
    auto say = [&](const char* key, std::vector<std::string> more, bool ok) {
        std::vector<std::string> values = where;
        values.insert(values.end(), more.begin(), more.end());
        return Line(Level(ok) + FormatLangString(key, values));
    };
    if (f.served == iis::Served::NothingListens) return say("Verify_NothingListens", {std::to_string(f.error)}, false);
    if (!f.certificate) return say("Verify_HandshakeFailed", {std::to_string(f.error), f.message}, false);
    const PfxCertificate& c = *f.certificate;
    std::string text = f.served == iis::Served::Expected
                           ? say("Verify_Serves", {c.details.subject, UpperHex(c.sha1), std::to_string(f.daysLeft)},
                                 f.chainTrusted && f.nameCovered && f.daysLeft >= 0)
                           : say("Verify_Another", {c.details.subject, UpperHex(c.sha1), t.expected}, false);
    if (!f.chainTrusted) text += say("Verify_Untrusted", {std::to_string(f.error)}, false);
    if (!f.nameCovered) text += say("Verify_NameNotCovered", {}, false);
    if (f.daysLeft < 0) text += say("Verify_Expired", {}, false);
    return text;
}

std::string RedirectLine(const iis::HostFinding& f) {
    const std::vector<std::string> where{f.target.host, std::to_string(f.target.httpPort.value_or(0))};
    auto say = [&](const char* key, const std::string& more, bool ok) {
        std::vector<std::string> values = where;
        values.push_back(more);
        values.push_back(f.location);
        return Line(Level(ok) + FormatLangString(key, values));
    };
    switch (f.redirect) {
        case iis::RedirectSeen::NotChecked: return "";
        case iis::RedirectSeen::Redirects: return say("Verify_Redirects", std::to_string(f.httpStatus), true);
        case iis::RedirectSeen::Missing: return say("Verify_NoRedirect", std::to_string(f.httpStatus), false);
        case iis::RedirectSeen::WrongTarget: return say("Verify_WrongRedirect", f.location, false);
        case iis::RedirectSeen::NothingListens: break;
    }
    return say("Verify_NoHttp", std::to_string(f.error), false);
}

}  // namespace

std::string FindingLines(const iis::HostFinding& finding) { return HandshakeLines(finding) + RedirectLine(finding); }

std::string VerificationSummary(const iis::Verification& verification) {
    const int total = static_cast<int>(verification.hosts.size());
    int holding = 0;
    for (const iis::HostFinding& f : verification.hosts) holding += f.Holds() ? 1 : 0;
    if (total == 0) return Line(GetLangString("Verify_NoHost"));
    return Line(FormatLangString("Verify_Summary",
                                 {std::to_string(total), std::to_string(holding), std::to_string(total - holding)}));
}

}  // namespace quillbay::render
