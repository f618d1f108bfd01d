// status: what is on this server, changing nothing.
#include "certs/inspect.h"
#include "cli/common.h"
#include "iis/appcmd.h"
#include "iis/inventory.h"
#include "iis/version.h"
#include "support/text.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

const char* SourceName(iis::VersionSource source) {
    return source == iis::VersionSource::Registry ? "registry" : source == iis::VersionSource::IisManager ? "iis-manager" : "unknown";
}

constexpr const char* kPfxStateNames[] = {"opened", "missing", "password-missing", "password-empty", "not-opened",
                                           "aes-unsupported"};

// IIS, its version and URL Rewrite; whether appcmd is there to list sites.
bool ShowIis(Machine& machine, Outcome& out) {
    const iis::IisVersion version = iis::DetectIisVersion(machine);
    const bool installed = machine.fs.FileExists(iis::AppcmdPath(machine.fs));
    const bool rewrite = installed && iis::IsRewriteModuleInstalled(machine);
    out.json.Set("iis", json::Value::Object()
                            .Set("installed", installed)
                            .Set("version", version.major ? json::Value(*version.major) : json::Value())
                            .Set("versionSource", SourceName(version.source))
                            .Set("urlRewrite", rewrite));
    const char* source = version.source == iis::VersionSource::Registry ? "Cli_Source_Registry" : "Cli_Source_IisManager";
    out.text += Line(version.major ? Say("Cli_Status_Iis", {std::to_string(*version.major), GetLangString(source)})
                                   : GetLangString(installed ? "Cli_Status_IisUnknown" : "Cli_NoIis"));
    out.text += Line(GetLangString(rewrite ? "Cli_Status_Rewrite_Yes" : "Cli_Status_Rewrite_No"));
    return installed;
}

std::vector<iis::Site> ShowSites(Machine& machine, Progress& progress, Outcome& out) {
    json::Value sites = json::Value::Array();
    std::vector<iis::Site> listed;
    out.text += Line(GetLangString("Cli_Status_Sites"));
    try {
        listed = iis::ListSites(machine, progress).sites;
        for (const iis::Site& site : listed) {
            sites.Add(json::Value::Object()
                          .Set("name", site.name)
                          .Set("hostNames", json::Value::Strings(site.hostNames))
                          .Set("bindingsRead", site.bindingsRead)
                          .Set("httpsBindings", json::Value::Strings(site.httpsBindings)));
            out.text += Line("  " + iis::SiteListText(site));
            for (const std::string& binding : site.httpsBindings) out.text += Line("    https " + binding);
            if (site.bindingsRead && site.httpsBindings.empty()) out.text += Line("    " + GetLangString("Cli_Status_NoHttps"));
        }
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("PopulateSitesList", f.number, f.description);
        out.json.Set("sitesError", FailureJson(f));
        out.text += Line("  " + Say("Cli_SitesUnlisted", {f.description}));
    }
    out.json.Set("sites", sites);
    return listed;
}

json::Value StoreCertificateJson(const PfxCertificate& c, std::int64_t now) {
    return CertificateJson(c).Set("hasPrivateKey", c.hasPrivateKey).Set("daysLeft", certs::CheckValidity(c.details, now).daysLeft);
}

// The endpoint's lines: its certificate (or that the store lacks it) and the sites it serves.
std::string EndpointText(const iis::InventoryEndpoint& e, std::int64_t now) {
    const std::string& where = e.binding.endpoint;
    std::string text;
    if (!e.certificate) {
        text = Line("  " + Say("Cli_Status_EndpointMissing", {where, e.binding.thumbprint}));
    } else {
        const PfxCertificate& c = *e.certificate;
        const std::int64_t days = certs::CheckValidity(c.details, now).daysLeft;
        const std::string until = certs::UtcText(c.details.notAfter);
        text = Line("  " + (days < 0 ? Say("Cli_Status_EndpointExpired", {where, e.binding.thumbprint, c.details.subject, until})
                                     : Say("Cli_Status_Endpoint", {where, e.binding.thumbprint, c.details.subject, until,
                                                                   std::to_string(days)})));
        if (!c.hasPrivateKey) text += Line("    " + GetLangString("Cli_Status_EndpointNoKey"));
    }
    for (const iis::SiteUse& use : e.sites) text += Line("    " + Say("Cli_Status_EndpointSite", {use.site, use.binding}));
    if (e.sites.empty()) text += Line("    " + GetLangString("Cli_Status_EndpointNoSite"));
    return text;
}

json::Value EndpointJson(const iis::InventoryEndpoint& e, std::int64_t now, int warnDays) {
    json::Value sites = json::Value::Array();
    for (const iis::SiteUse& use : e.sites) sites.Add(json::Value::Object().Set("name", use.site).Set("binding", use.binding));
    return json::Value::Object()
        .Set("endpoint", e.binding.endpoint)
        .Set("kind", e.binding.kind == iis::EndpointKind::IpPort ? "ipport" : "hostnameport")
        .Set("thumbprint", e.binding.thumbprint)
        .Set("appId", e.binding.appId)
        .Set("storeName", e.binding.storeName)
        .Set("inStore", e.certificate.has_value())
        .Set("certificate", e.certificate ? StoreCertificateJson(*e.certificate, now) : json::Value())
        .Set("needsAttention", iis::NeedsAttention(e, now, warnDays))
        .Set("sites", sites);
}

// What HTTP.sys serves where, from what the store holds; the exit code says whether a bound
// certificate needs an administrator within the days given (2: the endpoints are unknown).
void ShowInventory(Machine& machine, const std::vector<iis::Site>& sites, int warnDays, Outcome& out) {
    const std::int64_t now = machine.clock.UtcNow();
    out.json.Set("warnDays", warnDays);
    out.text += Line(GetLangString("Cli_Status_Endpoints"));
    iis::Inventory inventory;
    try {
        inventory = iis::TakeInventory(machine, sites);
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("quillbay-cli status", f.number, f.description);
        out.json.Set("endpoints", json::Value::Array()).Set("endpointsError", FailureJson(f));
        out.text += Line("  " + Say("Cli_Status_EndpointsUnlisted", {f.description}));
        out.exitCode = kNothingDone;
        return;
    }
    json::Value endpoints = json::Value::Array(), unused = json::Value::Array();
    int attention = 0;
    for (const iis::InventoryEndpoint& e : inventory.endpoints) {
        endpoints.Add(EndpointJson(e, now, warnDays));
        out.text += EndpointText(e, now);
        attention += iis::NeedsAttention(e, now, warnDays) ? 1 : 0;
    }
    if (inventory.endpoints.empty()) out.text += Line("  " + GetLangString("Cli_Status_NoEndpoints"));
    if (!inventory.unused.empty()) out.text += Line(GetLangString("Cli_Status_Unused"));
    for (const PfxCertificate& c : inventory.unused) {
        unused.Add(StoreCertificateJson(c, now));
        out.text += Line("  " + Say("Cli_Status_UnusedCertificate", {UpperHex(c.sha1), c.details.subject,
                                                                        certs::UtcText(c.details.notAfter)}));
    }
    out.json.Set("endpoints", endpoints).Set("unusedCertificates", unused);
    if (attention) out.text += Line(Say("Cli_Status_Attention", {std::to_string(attention), std::to_string(warnDays)}));
    out.exitCode = attention ? kPartlyDone : kDone;
}

void ShowChain(Machine& machine, const std::string& folder, Outcome& out) {
    json::Value files = json::Value::Array();
    out.text += Line(Say("Cli_Status_Chain", {folder}));
    for (const certs::ChainFileRead& file : certs::ReadChainFiles(machine, folder)) {
        json::Value certificates = json::Value::Array();
        for (const PfxCertificate& c : file.certificates) certificates.Add(CertificateJson(c));
        files.Add(json::Value::Object()
                      .Set("name", file.name)
                      .Set("certificates", certificates)
                      .Set("error", file.readable ? json::Value() : FailureJson(file.failure)));
        out.text += Line("  " + file.name);
        for (const PfxCertificate& c : file.certificates) out.text += CertificateText(c, "    ");
        if (!file.readable)
            out.text += Line("    " + Say("Cli_ChainFileUnreadable", {file.name, std::to_string(file.failure.number)}));
    }
    out.json.Set("chain", json::Value::Object().Set("folder", folder).Set("files", files));
}

void ShowPfx(Machine& machine, const certs::ServerFiles& paths, Outcome& out) {
    const certs::PfxRead pfx = certs::ReadPfx(machine, paths);
    const PfxCertificate* server = certs::ServerCertificate(pfx.certificates);
    out.json.Set("pfx", json::Value::Object()
                            .Set("path", paths.pfx)
                            .Set("passwordFile", paths.password)
                            .Set("state", kPfxStateNames[static_cast<int>(pfx.state)])
                            .Set("serverCertificate", server ? CertificateJson(*server) : json::Value()));
    out.text += Line(Say("Cli_Status_Pfx", {paths.pfx}));
    const std::vector<certs::Finding> problems = certs::CheckPfx(pfx, paths);
    out.text += problems.empty() ? CertificateText(*server, "  ") : Line("  " + FindingText(problems.front()));
}

}  // namespace

Outcome RunStatus(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    Outcome out;
    std::vector<iis::Site> sites;
    if (ShowIis(machine, out))
        sites = ShowSites(machine, progress, out);
    else
        out.json.Set("sites", json::Value::Array());
    ShowChain(machine, ChainFolderOf(machine.host, o), out);
    ShowPfx(machine, FilesOf(machine.host, o), out);
    ShowInventory(machine, sites, o.warnDays, out);
    return out;
}

}  // namespace quillbay::cli
