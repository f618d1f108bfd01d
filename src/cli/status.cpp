// status: what is on this server, changing nothing.
#include "certs/inspect.h"
#include "cli/common.h"
#include "iis/appcmd.h"
#include "iis/version.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

const char* SourceName(iis::VersionSource source) {
    return source == iis::VersionSource::Registry ? "registry" : source == iis::VersionSource::IisManager ? "iis-manager" : "unknown";
}

constexpr const char* kPfxStateNames[] = {"opened", "missing", "password-missing", "password-empty", "not-opened"};

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

void ShowSites(Machine& machine, Progress& progress, Outcome& out) {
    json::Value sites = json::Value::Array();
    out.text += Line(GetLangString("Cli_Status_Sites"));
    try {
        for (const iis::Site& site : iis::ListSites(machine, progress).sites) {
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
    if (ShowIis(machine, out))
        ShowSites(machine, progress, out);
    else
        out.json.Set("sites", json::Value::Array());
    ShowChain(machine, ChainFolderOf(machine.host, o), out);
    ShowPfx(machine, FilesOf(machine.host, o), out);
    return out;
}

}  // namespace quillbay::cli
