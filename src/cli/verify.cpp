// verify: what a client gets from the chosen sites' HTTPS bindings, changing nothing.
#include "cli/common.h"
#include "render/verification.h"

namespace quillbay::cli {

namespace {

constexpr const char* kServedNames[] = {"expected", "another", "nothing-listens", "handshake-failed"};
constexpr const char* kRedirectNames[] = {"not-checked", "redirects", "missing", "wrong-target", "nothing-listens"};

json::Value HostJson(const iis::HostFinding& f) {
    json::Value certificate;
    if (f.certificate) certificate = CertificateJson(*f.certificate).Set("daysLeft", f.daysLeft);
    return json::Value::Object()
        .Set("site", f.target.site)
        .Set("host", f.target.host)
        .Set("address", f.target.address)
        .Set("port", f.target.port)
        .Set("expected", f.target.expected)
        .Set("served", kServedNames[static_cast<int>(f.served)])
        .Set("holds", f.Holds())
        .Set("error", f.error)
        .Set("message", f.message)
        .Set("certificate", certificate)
        .Set("chainTrusted", f.chainTrusted)
        .Set("nameCovered", f.nameCovered)
        .Set("redirect", kRedirectNames[static_cast<int>(f.redirect)])
        .Set("httpStatus", f.httpStatus)
        .Set("location", f.location);
}

}  // namespace

void RenderVerification(const iis::Verification& verification, Outcome& out) {
    json::Value hosts = json::Value::Array();
    for (const iis::HostFinding& f : verification.hosts) {
        hosts.Add(HostJson(f));
        out.text += render::FindingLines(f);
    }
    out.json.Set("allHold", verification.AllHold()).Set("hosts", hosts);
    out.text += render::VerificationSummary(verification);
}

Outcome RunVerify(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const iis::SiteList list = ListSitesOrRefuse(machine, progress);
    std::vector<std::string> unknown;
    const std::vector<iis::Site> chosen = ChooseSites(list, o, unknown);
    if (!unknown.empty()) throw Refusal{"unknown-site", Say("Cli_UnknownSite", {unknown.front()})};
    const iis::Verification verification = iis::VerifyHosts(machine, iis::SiteTargets(machine, FilesOf(machine.host, o), chosen));
    Outcome out;
    RenderVerification(verification, out);
    out.exitCode = verification.NothingProbed() ? kNothingDone : verification.AllHold() ? kDone : kPartlyDone;
    return out;
}

}  // namespace quillbay::cli
