// check: the pre-flight, changing nothing.
#include "certs/inspect.h"
#include "certs/tls_profiles.h"
#include "cli/common.h"
#include "render/tls.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kLevelNames[] = {"ok", "info", "warning", "error"};
constexpr const char* kLevelKeys[] = {"Cli_Level_Ok", "Cli_Level_Info", "Cli_Level_Warning", "Cli_Level_Error"};

// The chosen sites' findings, or the one finding of why the sites could not be chosen.
std::vector<certs::Finding> CheckSites(Machine& machine, Progress& progress, const Options& o,
                                       const PfxCertificate* server) {
    iis::SiteList list;
    if (std::optional<certs::Finding> problem = ListSitesFor(machine, progress, list)) return {std::move(*problem)};
    std::vector<std::string> unknown;
    std::vector<certs::SiteHosts> sites;
    for (const iis::Site& site : ChooseSites(list, o, unknown)) sites.push_back({site.name, site.hostNames, site.bindingsRead});
    std::vector<certs::Finding> findings;
    for (const std::string& name : unknown) findings.push_back({certs::Level::Error, certs::Check::UnknownSite, {name}, name});
    for (certs::Finding& f : certs::CheckSiteHosts(sites, server)) findings.push_back(std::move(f));
    return findings;
}

}  // namespace

Outcome RunCheck(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const certs::ServerFiles files = FilesOf(machine.host, o);
    const certs::PfxRead pfx = certs::ReadPfx(machine, files);
    const std::string folder = ChainFolderOf(machine.host, o);
    std::vector<certs::Finding> findings = certs::CheckServerCertificate(
        pfx, files, certs::ReadChainFiles(machine, folder), folder, machine.clock.UtcNow(), machine.pkcs12);
    for (certs::Finding& f : CheckSites(machine, progress, o, certs::ServerCertificate(pfx.certificates)))
        findings.push_back(std::move(f));
    const std::string programFolder = machine.host.AppFolder();
    for (certs::Finding& f : certs::FolderFindings(
             certs::CheckProgramFolder(machine.fs, programFolder, folder, files), programFolder))
        findings.push_back(std::move(f));
    // What the import would do to the TLS settings with the profile chosen.
    if (const std::vector<std::string> reenabled = certs::ReenabledBy(machine, o.tls); !reenabled.empty())
        findings.push_back({certs::Level::Warning, certs::Check::TlsReenabled, {render::JoinProtocols(reenabled)}});

    Outcome out;
    json::Value list = json::Value::Array();
    for (const certs::Finding& f : findings) {
        const std::string text = FindingText(f);
        json::Value item = json::Value::Object().Set("level", kLevelNames[static_cast<int>(f.level)]).Set("code", FindingCode(f.check));
        if (!f.site.empty()) item.Set("site", f.site);
        if (!f.host.empty()) item.Set("host", f.host);
        list.Add(item.Set("message", text));
        out.text += Line(GetLangString(kLevelKeys[static_cast<int>(f.level)]) + " " + text);
    }
    const certs::LevelCounts counts = certs::CountLevels(findings);
    const int errors = counts.Of(certs::Level::Error), warnings = counts.Of(certs::Level::Warning);
    out.exitCode = errors > 0 ? kNothingDone : warnings > 0 ? kPartlyDone : kDone;
    out.json.Set("findings", list);
    out.json.Set("counts", json::Value::Object()
                               .Set("ok", counts.Of(certs::Level::Ok))
                               .Set("info", counts.Of(certs::Level::Info))
                               .Set("warning", warnings)
                               .Set("error", errors));
    out.text += Line(Say("Cli_CheckSummary", {std::to_string(errors), std::to_string(warnings)}));
    return out;
}

}  // namespace quillbay::cli
