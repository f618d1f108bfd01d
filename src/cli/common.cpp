#include "cli/common.h"

#include "certs/chain_files.h"
#include "certs/inspect.h"
#include "support/paths.h"
#include "support/text.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

struct FindingEntry {
    certs::Check check;
    const char* code;
    const char* key;
};
// Indexed by certs::Check.
constexpr FindingEntry kFindings[] = {
    {certs::Check::PfxMissing, "pfx-missing", "Cli_NoPfx"},
    {certs::Check::PasswordMissing, "password-missing", "Cli_NoPassword"},
    {certs::Check::PasswordEmpty, "password-empty", "Cli_EmptyPassword"},
    {certs::Check::PfxNotOpened, "pfx-not-opened", "Cli_PfxNotOpened"},
    {certs::Check::NoServerCertificate, "no-server-certificate", "Cli_NoServerCertificate"},
    {certs::Check::PfxOpened, "pfx-opened", "Cli_PfxOpened"},
    {certs::Check::Valid, "valid", "Cli_Valid"},
    {certs::Check::ExpiresSoon, "expires-soon", "Cli_ExpiresSoon"},
    {certs::Check::Expired, "expired", "Cli_Expired"},
    {certs::Check::NotYetValid, "not-yet-valid", "Cli_NotYetValid"},
    {certs::Check::NoChainFiles, "no-chain-files", "Cli_NoChainFiles"},
    {certs::Check::ChainFileUnreadable, "chain-file-unreadable", "Cli_ChainFileUnreadable"},
    {certs::Check::ChainComplete, "chain-complete", "Cli_ChainComplete"},
    {certs::Check::ChainIncomplete, "chain-incomplete", "Cli_ChainIncomplete"},
    {certs::Check::RootUntrusted, "root-untrusted", "Cli_RootUntrusted"},
    {certs::Check::NoIis, "no-iis", "Cli_NoIis"},
    {certs::Check::SitesUnlisted, "sites-unlisted", "Cli_SitesUnlisted"},
    {certs::Check::UnknownSite, "unknown-site", "Cli_UnknownSite"},
    {certs::Check::BindingsUnread, "bindings-unread", "Cli_SiteBindingsUnread"},
    {certs::Check::NoHostNames, "no-host-names", "Cli_SiteNoHostNames"},
    {certs::Check::HostSkipped, "host-skipped", "Cli_HostSkipped"},
    {certs::Check::HostCovered, "host-covered", "Cli_HostCovered"},
    {certs::Check::HostNotCovered, "host-not-covered", "Cli_HostNotCovered"},
    {certs::Check::FolderReparsePoint, "folder-reparse-point", "MsgBox_Folder_ReparsePoint"},
    {certs::Check::FolderWritable, "folder-writable", "Cli_Folder_Writable"},
    {certs::Check::SecretReadable, "secret-readable", "Cli_Folder_Readable"},
};
constexpr bool InCheckOrder() {
    for (std::size_t i = 0; i < std::size(kFindings); ++i)
        if (static_cast<std::size_t>(kFindings[i].check) != i) return false;
    return true;
}
static_assert(InCheckOrder() && std::size(kFindings) == static_cast<std::size_t>(certs::Check::SecretReadable) + 1);

}  // namespace

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

const char* FindingCode(certs::Check check) { return kFindings[static_cast<int>(check)].code; }

std::string FindingText(const certs::Finding& f) { return Say(kFindings[static_cast<int>(f.check)].key, f.details); }

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
