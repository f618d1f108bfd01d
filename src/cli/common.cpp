#include "cli/common.h"

#include "certs/chain_files.h"
#include "certs/inspect.h"
#include "support/paths.h"
#include "support/text.h"

namespace quillbay::cli {

using lang::GetLangString;


ExitCode ExitCodeOf(Verdict verdict) {
    switch (verdict) {
        case Verdict::Done: return kDone;
        case Verdict::PartlyDone: return kPartlyDone;
        case Verdict::NothingDone: break;
    }
    return kNothingDone;
}

json::Value FailureJson(const FailureInfo& f) {
    return json::Value::Object().Set("code", f.number).Set("message", f.description);
}

certs::ServerFiles FilesOf(Host& host, const Options& o) {
    certs::ServerFiles files = certs::DefaultServerFiles(host);
    if (!o.from.empty()) files = {JoinPath(o.from, "fullchain.pfx"), JoinPath(o.from, "password.txt")};
    if (!o.pfx.empty()) files.pfx = o.pfx;
    if (!o.passwordFile.empty()) files.password = o.passwordFile;
    return files;
}

std::string ChainFolderOf(Host& host, const Options& o) {
    if (!o.chainFolder.empty()) return o.chainFolder;
    return o.from.empty() ? certs::ChainFolder(host) : JoinPath(o.from, "chain");
}

std::vector<iis::Site> ChooseSites(const iis::SiteList& list, const Options& o, std::vector<std::string>& unknown) {
    std::vector<iis::Site> chosen;
    for (const iis::Site& site : list.sites) {
        bool wanted = o.all || o.sites.empty();
        for (const std::string& name : o.sites) wanted = wanted || EqualsIgnoreCase(name, site.name);
        if (wanted) chosen.push_back(site);
    }
    for (const std::string& name : o.sites) {
        bool found = false;
        for (const iis::Site& site : list.sites) found = found || EqualsIgnoreCase(name, site.name);
        if (!found) unknown.push_back(name);
    }
    return chosen;
}

std::optional<certs::Finding> ListSitesFor(Machine& machine, Progress& progress, iis::SiteList& list) {
    try {
        list = iis::ListSites(machine, progress);
        if (list.status != iis::SiteListStatus::NoIis) return std::nullopt;
        return certs::Finding{certs::Level::Error, certs::Check::NoIis, {}};
    } catch (const Failure& f) {
        machine.log.WriteErrorLog("PopulateSitesList", f.number(), f.description());
        return certs::Finding{certs::Level::Error, certs::Check::SitesUnlisted, {f.description()}};
    }
}

iis::SiteList ListSitesOrRefuse(Machine& machine, Progress& progress) {
    iis::SiteList list;
    if (const std::optional<certs::Finding> problem = ListSitesFor(machine, progress, list)) throw RefusalOf(*problem);
    return list;
}

json::Value CertificateJson(const PfxCertificate& c) {
    return json::Value::Object()
        .Set("subject", c.details.subject)
        .Set("issuer", c.details.issuer)
        .Set("dnsNames", json::Value::Strings(c.details.dnsNames))
        .Set("thumbprint", UpperHex(c.sha1))
        .Set("notBefore", certs::UtcText(c.details.notBefore))
        .Set("notAfter", certs::UtcText(c.details.notAfter));
}

std::string CertificateText(const PfxCertificate& c, const std::string& indent) {
    std::string names;
    for (const std::string& name : c.details.dnsNames) names += (names.empty() ? "" : ", ") + name;
    return Line(indent + Say("Cli_Status_Subject", {c.details.subject})) +
           Line(indent + Say("Cli_Status_Issuer", {c.details.issuer})) +
           (names.empty() ? "" : Line(indent + Say("Cli_Status_Names", {names}))) +
           Line(indent + Say("Cli_Status_Thumbprint", {UpperHex(c.sha1)})) +
           Line(indent + Say("Cli_Status_Valid", {certs::UtcText(c.details.notBefore), certs::UtcText(c.details.notAfter)}));
}

Refusal RefusalOf(const certs::Finding& f) { return {FindingCode(f.check), FindingText(f)}; }

void CheckFolderOrRefuse(Machine& machine, Console& console, const Options& o) {
    const std::string procedure = std::string("quillbay-cli ") + CommandName(o.command);
    const std::string folder = machine.host.AppFolder();
    auto check = [&] {
        return certs::CheckProgramFolder(machine.fs, folder, ChainFolderOf(machine.host, o), FilesOf(machine.host, o));
    };
    certs::FolderCheck found = check();
    certs::LogFolderCheck(machine.log, procedure, found);
    // A dry run changes nothing, rights included; a file the options name elsewhere is not the
    // program folder's to restrict.
    const bool inFolder = EqualsIgnoreCase(found.path, folder) ||
                          AsciiLower(found.path).rfind(AsciiLower(WithTrailingBackslash(folder)), 0) == 0;
    if (found.problem == certs::FolderProblem::OthersMayWrite && inFolder && o.restrictFolder && !o.dryRun) {
        try {
            certs::RestrictProgramFolder(machine, procedure, folder);
        } catch (const Failure& f) {
            throw Refusal{"folder-restrict-failed", Say("MsgBox_Folder_RestrictFailed", {folder, f.description()}), f.number()};
        }
        console.Err(Line(Say("Cli_Folder_Restricted", {folder})));
        found = check();
    }
    for (const certs::Finding& f : certs::FolderFindings(found, folder))
        if (f.level == certs::Level::Error) throw RefusalOf(f);
}

}  // namespace quillbay::cli
