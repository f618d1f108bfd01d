// verify: what a client gets from the chosen sites' HTTPS bindings, changing nothing.
#include "certs/inspect.h"
#include "cli/common.h"
#include "iis/inventory.h"
#include "support/text.h"

namespace quillbay::cli {

using lang::GetLangString;

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

std::string Level(bool ok) { return GetLangString(ok ? "Cli_Level_Ok" : "Cli_Level_Error") + " "; }

// The handshake's line, then one for each way the certificate falls short.
std::string HandshakeText(const iis::HostFinding& f) {
    const iis::ProbeTarget& t = f.target;
    const std::string host = t.host.empty() ? GetLangString("lblStatus_DomainWildcard") : t.host;
    const std::vector<std::string> where{host, t.address + ":" + std::to_string(t.port), t.site};
    auto say = [&](const char* key, std::vector<std::string> more, bool ok) {
        std::vector<std::string> values = where;
        values.insert(values.end(), more.begin(), more.end());
        return Line(Level(ok) + Say(key, values));
    };
    if (f.served == iis::Served::NothingListens) return say("Cli_Verify_NothingListens", {std::to_string(f.error)}, false);
    if (!f.certificate) return say("Cli_Verify_HandshakeFailed", {std::to_string(f.error), f.message}, false);
    const PfxCertificate& c = *f.certificate;
    std::string text = f.served == iis::Served::Expected
                           ? say("Cli_Verify_Serves", {c.details.subject, UpperHex(c.sha1), std::to_string(f.daysLeft)},
                                 f.chainTrusted && f.nameCovered && f.daysLeft >= 0)
                           : say("Cli_Verify_Another", {c.details.subject, UpperHex(c.sha1), t.expected}, false);
    if (!f.chainTrusted) text += say("Cli_Verify_Untrusted", {std::to_string(f.error)}, false);
    if (!f.nameCovered) text += say("Cli_Verify_NameNotCovered", {}, false);
    if (f.daysLeft < 0) text += say("Cli_Verify_Expired", {}, false);
    return text;
}

std::string RedirectText(const iis::HostFinding& f) {
    const std::vector<std::string> where{f.target.host, std::to_string(f.target.httpPort.value_or(0))};
    auto say = [&](const char* key, const std::string& more, bool ok) {
        std::vector<std::string> values = where;
        values.push_back(more);
        if (key == std::string("Cli_Verify_Redirects")) values.push_back(f.location);
        return Line(Level(ok) + Say(key, values));
    };
    switch (f.redirect) {
        case iis::RedirectSeen::NotChecked: return "";
        case iis::RedirectSeen::Redirects: return say("Cli_Verify_Redirects", std::to_string(f.httpStatus), true);
        case iis::RedirectSeen::Missing: return say("Cli_Verify_NoRedirect", std::to_string(f.httpStatus), false);
        case iis::RedirectSeen::WrongTarget: return say("Cli_Verify_WrongRedirect", f.location, false);
        case iis::RedirectSeen::NothingListens: break;
    }
    return say("Cli_Verify_NoHttp", std::to_string(f.error), false);
}

// What each target should serve: the PFX's server certificate, or without a readable PFX the
// certificate HTTP.sys has bound for its endpoint.
void SetExpected(Machine& machine, const Options& o, const std::vector<iis::Site>& sites,
                 std::vector<iis::ProbeTarget>& targets) {
    const certs::PfxRead pfx = certs::ReadPfx(machine, FilesOf(machine.host, o));
    if (const PfxCertificate* server = certs::ServerCertificate(pfx.certificates)) {
        for (iis::ProbeTarget& t : targets) t.expected = UpperHex(server->sha1);
        return;
    }
    const iis::Inventory inventory = iis::TakeInventory(machine, sites);
    for (iis::ProbeTarget& t : targets)
        for (const iis::InventoryEndpoint& e : inventory.endpoints)
            for (const iis::SiteUse& use : e.sites)
                if (use.site == t.site && use.binding == t.binding) t.expected = e.binding.thumbprint;
}

}  // namespace

void RenderVerification(const iis::Verification& verification, Outcome& out) {
    json::Value hosts = json::Value::Array();
    int holding = 0;
    for (const iis::HostFinding& f : verification.hosts) {
        hosts.Add(HostJson(f));
        out.text += HandshakeText(f) + RedirectText(f);
        holding += f.Holds() ? 1 : 0;
    }
    out.json.Set("allHold", verification.AllHold()).Set("hosts", hosts);
    const int total = static_cast<int>(verification.hosts.size());
    out.text += Line(total ? Say("Cli_Verify_Summary", {std::to_string(total), std::to_string(holding),
                                                        std::to_string(total - holding)})
                           : GetLangString("Cli_Verify_NoHost"));
}

Outcome RunVerify(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const iis::SiteList list = ListSitesOrRefuse(machine, progress);
    std::vector<std::string> unknown;
    const std::vector<iis::Site> chosen = ChooseSites(list, o, unknown);
    if (!unknown.empty()) throw Refusal{"unknown-site", Say("Cli_UnknownSite", {unknown.front()})};
    std::vector<iis::ProbeTarget> targets;
    for (const iis::Site& site : chosen)
        for (iis::ProbeTarget& t : iis::ProbeTargets({site}, 0, site.redirectRule)) targets.push_back(std::move(t));
    SetExpected(machine, o, chosen, targets);
    const iis::Verification verification = iis::VerifyHosts(machine, targets);
    Outcome out;
    RenderVerification(verification, out);
    out.exitCode = verification.NothingProbed() ? kNothingDone : verification.AllHold() ? kDone : kPartlyDone;
    return out;
}

}  // namespace quillbay::cli
