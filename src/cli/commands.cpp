#include "cli/commands.h"

#include "certs/chain_files.h"
#include "certs/import.h"
#include "certs/inspect.h"
#include "certs/server_files.h"
#include "iis/appcmd.h"
#include "iis/deploy.h"
#include "iis/deploy_text.h"
#include "iis/sites.h"
#include "iis/version.h"
#include "support/command_line.h"
#include "support/text.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kCrLf = "\r\n";

std::string Line(const std::string& text) { return text + kCrLf; }

json::Value FailureJson(const FailureInfo& f) {
    return json::Value::Object().Set("code", f.number).Set("message", f.description);
}

// --- the files ------------------------------------------------------------------------------

certs::ServerFiles FilesOf(Host& host, const Options& o) {
    certs::ServerFiles files = certs::DefaultServerFiles(host);
    if (!o.pfx.empty()) files.pfx = o.pfx;
    if (!o.passwordFile.empty()) files.password = o.passwordFile;
    return files;
}

std::string ChainFolderOf(Host& host, const Options& o) {
    return o.chainFolder.empty() ? certs::ChainFolder(host) : o.chainFolder;
}

enum class PfxState { Opened, NoPfx, NoPassword, EmptyPassword, NotOpened };
constexpr const char* kPfxStateNames[] = {"opened", "missing", "password-missing", "password-empty", "not-opened"};

struct PfxRead {
    PfxState state = PfxState::NoPfx;
    FailureInfo failure;
    std::vector<PfxCertificate> certificates;
};

// The PFX opened with its password, as the import and the deployment will open it.
PfxRead ReadPfx(Machine& m, const certs::ServerFiles& files) {
    PfxRead read;
    if (!m.fs.FileExists(files.pfx)) return read;
    read.state = PfxState::NoPassword;
    if (!m.fs.FileExists(files.password)) return read;
    std::string password;
    try {
        password = certs::ReadServerPassword(m.fs, files.password);
        read.certificates = m.pkcs12.Open(m.fs.ReadBytes(files.pfx), password);
        read.state = PfxState::Opened;
    } catch (...) {
        read.failure = CurrentFailure();
        read.state = password.empty() && read.failure.number == 62 ? PfxState::EmptyPassword : PfxState::NotOpened;
    }
    return read;
}

// Why a command cannot go on with this PFX; empty code when it can.
Refusal PfxProblem(const PfxRead& read, const certs::ServerFiles& files) {
    switch (read.state) {
        case PfxState::NoPfx: return {"pfx-missing", Say("Cli_NoPfx", {files.pfx})};
        case PfxState::NoPassword: return {"password-missing", Say("Cli_NoPassword", {files.password})};
        case PfxState::EmptyPassword: return {"password-empty", Say("Cli_EmptyPassword", {files.password})};
        case PfxState::NotOpened:
            return {"pfx-not-opened", Say("Cli_PfxNotOpened", {std::to_string(read.failure.number), read.failure.description})};
        case PfxState::Opened: break;
    }
    if (!certs::ServerCertificate(read.certificates)) return {"no-server-certificate", Say("Cli_NoServerCertificate")};
    return {};
}

struct ChainFile {
    std::string name;
    std::vector<PfxCertificate> certificates;
    std::optional<FailureInfo> failure;
};

std::vector<ChainFile> ReadChainFiles(Machine& m, const std::string& folder) {
    std::vector<ChainFile> files;
    if (!m.fs.FolderExists(folder)) return files;
    for (const std::string& name : certs::FindChainFiles(m, folder)) {
        ChainFile file{name, {}, std::nullopt};
        try {
            for (const std::string& der : certs::CertificateBlobs(m.fs.ReadBytes(folder + "\\" + name)))
                for (PfxCertificate& certificate : m.pkcs12.DecodeCertificates(der))
                    file.certificates.push_back(std::move(certificate));
        } catch (...) {
            file.failure = CurrentFailure();
        }
        files.push_back(std::move(file));
    }
    return files;
}

json::Value CertificateJson(const PfxCertificate& c) {
    return json::Value::Object()
        .Set("subject", c.details.subject)
        .Set("issuer", c.details.issuer)
        .Set("dnsNames", json::Value::Strings(c.details.dnsNames))
        .Set("thumbprint", certs::HexThumbprint(c.sha1))
        .Set("notBefore", certs::UtcText(c.details.notBefore))
        .Set("notAfter", certs::UtcText(c.details.notAfter));
}

std::string CertificateText(const PfxCertificate& c, const std::string& indent) {
    std::string names;
    for (const std::string& name : c.details.dnsNames) names += (names.empty() ? "" : ", ") + name;
    return Line(indent + Say("Cli_Status_Subject", {c.details.subject})) +
           Line(indent + Say("Cli_Status_Issuer", {c.details.issuer})) +
           (names.empty() ? "" : Line(indent + Say("Cli_Status_Names", {names}))) +
           Line(indent + Say("Cli_Status_Thumbprint", {certs::HexThumbprint(c.sha1)})) +
           Line(indent + Say("Cli_Status_Valid", {certs::UtcText(c.details.notBefore), certs::UtcText(c.details.notAfter)}));
}

// --- the sites ------------------------------------------------------------------------------

// The sites the options name, in the list's order and spelling; names no site has are returned apart.
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

iis::SiteList ListSitesOrRefuse(Machine& m, Progress& progress) {
    try {
        iis::SiteList list = iis::ListSites(m, progress);
        if (list.status == iis::SiteListStatus::NoIis) throw Refusal{"no-iis", Say("Cli_NoIis")};
        return list;
    } catch (const Failure& f) {
        m.log.WriteErrorLog("PopulateSitesList", f.number(), f.description());
        throw Refusal{"sites-unlisted", Say("Cli_SitesUnlisted", {f.description()})};
    }
}

const char* SourceName(iis::VersionSource source) {
    return source == iis::VersionSource::Registry ? "registry" : source == iis::VersionSource::IisManager ? "iis-manager" : "unknown";
}

// --- check ----------------------------------------------------------------------------------

enum class Level { Ok, Info, Warning, Error };
constexpr const char* kLevelNames[] = {"ok", "info", "warning", "error"};
constexpr const char* kLevelKeys[] = {"Cli_Level_Ok", "Cli_Level_Info", "Cli_Level_Warning", "Cli_Level_Error"};

struct Finding {
    Level level;
    std::string code;
    std::string message;
    std::string site = {};
    std::string host = {};
};

void CheckSites(Machine& m, Progress& progress, const Options& o, const PfxCertificate* server,
                std::vector<Finding>& findings) {
    iis::SiteList list;
    try {
        list = ListSitesOrRefuse(m, progress);
    } catch (const Refusal& r) {
        findings.push_back({Level::Error, r.code, r.message});
        return;
    }
    std::vector<std::string> unknown;
    const std::vector<iis::Site> sites = ChooseSites(list, o, unknown);
    for (const std::string& name : unknown) findings.push_back({Level::Error, "unknown-site", Say("Cli_UnknownSite", {name}), name});
    for (const iis::Site& site : sites) {
        if (!site.bindingsRead) {
            findings.push_back({Level::Warning, "bindings-unread", Say("Cli_SiteBindingsUnread", {site.name}), site.name});
            continue;
        }
        if (site.hostNames.empty())
            findings.push_back({Level::Info, "no-host-names", Say("Cli_SiteNoHostNames", {site.name}), site.name});
        for (const std::string& host : site.hostNames) {
            if (!iis::IsDeployableHostName(host))
                findings.push_back({Level::Warning, "host-skipped", Say("Cli_HostSkipped", {site.name, host}), site.name, host});
            else if (!server)
                continue;
            else if (certs::CertificateCovers(server->details, host))
                findings.push_back({Level::Ok, "host-covered", Say("Cli_HostCovered", {site.name, host}), site.name, host});
            else {
                std::string names;
                for (const std::string& name : server->details.dnsNames) names += (names.empty() ? "" : ", ") + name;
                findings.push_back({Level::Error, "host-not-covered", Say("Cli_HostNotCovered", {site.name, host, names}),
                                    site.name, host});
            }
        }
    }
}

void CheckCertificate(Machine& m, const Options& o, const PfxRead& pfx, const certs::ServerFiles& files,
                      std::vector<Finding>& findings) {
    const Refusal problem = PfxProblem(pfx, files);
    if (!problem.code.empty()) {
        findings.push_back({Level::Error, problem.code, problem.message});
        return;
    }
    const PfxCertificate& server = *certs::ServerCertificate(pfx.certificates);
    findings.push_back({Level::Ok, "pfx-opened",
                        Say("Cli_PfxOpened", {server.details.subject, certs::HexThumbprint(server.sha1)})});

    const certs::ValidityFinding validity = certs::CheckValidity(server.details, m.clock.UtcNow());
    const std::string until = certs::UtcText(server.details.notAfter), days = std::to_string(validity.daysLeft);
    switch (validity.validity) {
        case certs::Validity::Valid: findings.push_back({Level::Ok, "valid", Say("Cli_Valid", {until, days})}); break;
        case certs::Validity::ExpiresSoon:
            findings.push_back({Level::Warning, "expires-soon", Say("Cli_ExpiresSoon", {until, days})});
            break;
        case certs::Validity::Expired: findings.push_back({Level::Error, "expired", Say("Cli_Expired", {until})}); break;
        case certs::Validity::NotYetValid:
            findings.push_back(
                {Level::Error, "not-yet-valid", Say("Cli_NotYetValid", {certs::UtcText(server.details.notBefore)})});
            break;
    }

    const std::string folder = ChainFolderOf(m.host, o);
    std::vector<CertificateDetails> pool;
    for (const PfxCertificate& c : pfx.certificates) pool.push_back(c.details);
    const std::vector<ChainFile> chain = ReadChainFiles(m, folder);
    if (chain.empty()) findings.push_back({Level::Error, "no-chain-files", Say("Cli_NoChainFiles", {folder})});
    for (const ChainFile& file : chain) {
        if (file.failure)
            findings.push_back({Level::Warning, "chain-file-unreadable",
                                Say("Cli_ChainFileUnreadable", {file.name, std::to_string(file.failure->number)})});
        for (const PfxCertificate& c : file.certificates) pool.push_back(c.details);
    }
    const certs::ChainFinding links = certs::FollowChain(server.details, pool);
    std::string path = server.details.subject;
    for (const std::string& subject : links.path) path += " <- " + subject;
    if (links.complete)
        findings.push_back({Level::Ok, "chain-complete", Say("Cli_ChainComplete", {path})});
    else
        findings.push_back({Level::Warning, "chain-incomplete", Say("Cli_ChainIncomplete", {path, links.missingIssuer})});
}

// --- deployment -----------------------------------------------------------------------------

// The console's answers: the wildcard question as the options say, failures on standard error.
class ConsoleDeployEvents final : public iis::DeployEvents {
public:
    ConsoleDeployEvents(Console& console, bool wildcard) : console_(console), wildcard_(wildcard) {}
    bool ConfirmWildcard(const std::string&) override { return wildcard_; }
    void EntryFailed(const std::string& site, const iis::EntryResult& entry) override {
        console_.Err(Line(iis::EntryFailureText(site, entry)));
    }
    void RedirectFailed(const std::string& site, bool adding) override {
        console_.Err(Line(iis::RedirectFailureText(site, adding)));
    }
    bool StopRequested() override { return false; }

private:
    Console& console_;
    bool wildcard_;
};

// A dry run: queries run (they change nothing and tell which host names a site has); every
// other command line is kept, with the secret masked, and answered as if it had succeeded.
class DryRunShell final : public Shell {
public:
    DryRunShell(Shell& real, std::string secret) : real_(real), secret_(std::move(secret)) {}
    std::int32_t Run(const std::string& commandLine, WindowStyle, bool) override {
        lines.push_back(secret_.empty() ? commandLine : Redact(commandLine, secret_));
        return 0;
    }
    Captured RunAndCapture(const std::string& commandLine) override { return real_.RunAndCapture(commandLine); }
    std::string RegRead(const std::string& valuePath) override { return real_.RegRead(valuePath); }
    bool RegKeyExists(const std::string& keyPath) override { return real_.RegKeyExists(keyPath); }
    bool RegValueExists(const std::string& valuePath) override { return real_.RegValueExists(valuePath); }
    std::vector<std::string> lines;

private:
    Shell& real_;
    std::string secret_;
};

constexpr const char* kEntryStatusNames[] = {"bound", "netsh-failed", "appcmd-failed", "bad-host-name", "bindings-unread"};

}  // namespace

std::string Say(std::string_view key, const std::vector<std::string>& values) {
    std::string text = GetLangString(key);
    for (std::size_t i = values.size(); i > 0; --i) {
        const std::string mark = "{" + std::to_string(i) + "}";
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + values[i - 1].size()))
            text.replace(at, mark.size(), values[i - 1]);
    }
    return text;
}

void ConsoleProgress::Report(const ProgressStep& step) {
    std::string text = GetLangString(step.statusKey);
    if (step.done >= 0)
        text += std::to_string(step.done) + GetLangString(std::string(step.statusKey) + "_Of") + std::to_string(step.total);
    for (const StatusPiece& piece : step.pieces) text += piece.isKey ? GetLangString(piece.text) : piece.text;
    if (text.empty() || (step.done < 0 && text == last_)) return;
    console_.Err(Line(text));
    last_ = std::move(text);
}

Outcome RunStatus(Machine& m, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    Outcome out;
    const iis::IisVersion version = iis::DetectIisVersion(m);
    const bool installed = m.fs.FileExists(iis::AppcmdPath(m.fs));
    const bool rewrite = installed && iis::IsRewriteModuleInstalled(m);
    out.json.Set("iis", json::Value::Object()
                            .Set("installed", installed)
                            .Set("version", version.major ? json::Value(*version.major) : json::Value())
                            .Set("versionSource", SourceName(version.source))
                            .Set("urlRewrite", rewrite));
    out.text += Line(version.major ? Say("Cli_Status_Iis", {std::to_string(*version.major),
                                                             GetLangString(version.source == iis::VersionSource::Registry
                                                                               ? "Cli_Source_Registry"
                                                                               : "Cli_Source_IisManager")})
                                   : GetLangString(installed ? "Cli_Status_IisUnknown" : "Cli_NoIis"));
    out.text += Line(GetLangString(rewrite ? "Cli_Status_Rewrite_Yes" : "Cli_Status_Rewrite_No"));

    json::Value sites = json::Value::Array();
    if (installed) {
        out.text += Line(GetLangString("Cli_Status_Sites"));
        try {
            for (const iis::Site& site : iis::ListSites(m, progress).sites) {
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
            m.log.WriteErrorLog("PopulateSitesList", f.number, f.description);
            out.json.Set("sitesError", FailureJson(f));
            out.text += Line("  " + Say("Cli_SitesUnlisted", {f.description}));
        }
    }
    out.json.Set("sites", sites);

    const std::string folder = ChainFolderOf(m.host, o);
    json::Value files = json::Value::Array();
    out.text += Line(Say("Cli_Status_Chain", {folder}));
    for (const ChainFile& file : ReadChainFiles(m, folder)) {
        json::Value certificates = json::Value::Array();
        for (const PfxCertificate& c : file.certificates) certificates.Add(CertificateJson(c));
        files.Add(json::Value::Object()
                      .Set("name", file.name)
                      .Set("certificates", certificates)
                      .Set("error", file.failure ? FailureJson(*file.failure) : json::Value()));
        out.text += Line("  " + file.name);
        for (const PfxCertificate& c : file.certificates) out.text += CertificateText(c, "    ");
        if (file.failure) out.text += Line("    " + Say("Cli_ChainFileUnreadable", {file.name, std::to_string(file.failure->number)}));
    }
    out.json.Set("chain", json::Value::Object().Set("folder", folder).Set("files", files));

    const certs::ServerFiles paths = FilesOf(m.host, o);
    const PfxRead pfx = ReadPfx(m, paths);
    const PfxCertificate* server = certs::ServerCertificate(pfx.certificates);
    out.json.Set("pfx", json::Value::Object()
                            .Set("path", paths.pfx)
                            .Set("passwordFile", paths.password)
                            .Set("state", kPfxStateNames[static_cast<int>(pfx.state)])
                            .Set("serverCertificate", server ? CertificateJson(*server) : json::Value()));
    out.text += Line(Say("Cli_Status_Pfx", {paths.pfx}));
    const Refusal problem = PfxProblem(pfx, paths);
    out.text += problem.code.empty() ? CertificateText(*server, "  ") : Line("  " + problem.message);
    return out;
}

Outcome RunCheck(Machine& m, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const certs::ServerFiles files = FilesOf(m.host, o);
    const PfxRead pfx = ReadPfx(m, files);
    std::vector<Finding> findings;
    CheckCertificate(m, o, pfx, files, findings);
    CheckSites(m, progress, o, certs::ServerCertificate(pfx.certificates), findings);

    Outcome out;
    int counts[4] = {0, 0, 0, 0};
    json::Value list = json::Value::Array();
    for (const Finding& f : findings) {
        ++counts[static_cast<int>(f.level)];
        json::Value item = json::Value::Object().Set("level", kLevelNames[static_cast<int>(f.level)]).Set("code", f.code);
        if (!f.site.empty()) item.Set("site", f.site);
        if (!f.host.empty()) item.Set("host", f.host);
        list.Add(item.Set("message", f.message));
        out.text += Line(GetLangString(kLevelKeys[static_cast<int>(f.level)]) + " " + f.message);
    }
    const int errors = counts[static_cast<int>(Level::Error)], warnings = counts[static_cast<int>(Level::Warning)];
    out.exitCode = errors > 0 ? kNothingDone : warnings > 0 ? kPartlyDone : kDone;
    out.json.Set("findings", list);
    out.json.Set("counts", json::Value::Object()
                               .Set("ok", counts[0])
                               .Set("info", counts[1])
                               .Set("warning", warnings)
                               .Set("error", errors));
    out.text += Line(Say("Cli_CheckSummary", {std::to_string(errors), std::to_string(warnings)}));
    return out;
}

Outcome RunImport(Machine& m, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    certs::ImportFiles files{ChainFolderOf(m.host, o), FilesOf(m.host, o)};
    // What the window lists and selects; its Import stays disabled without a chain file.
    if (o.chainFolder.empty() && !m.fs.FolderExists(files.chainFolder)) m.fs.CreateFolder(files.chainFolder);
    const std::vector<std::string> chain =
        m.fs.FolderExists(files.chainFolder) ? certs::FindChainFiles(m, files.chainFolder) : std::vector<std::string>();
    if (chain.empty()) throw Refusal{"no-chain-files", Say("Cli_NoChainFiles", {files.chainFolder})};
    // Nothing changes on a server whose PFX would not import.
    const Refusal problem = PfxProblem(ReadPfx(m, files.server), files.server);
    if (!problem.code.empty()) throw problem;

    progress.Report({"lblStatus_Importing"});
    const certs::ImportOutcome outcome = certs::ImportCertificates(m, files, chain, progress);
    const certs::SecurityOutcome& security = outcome.security;
    const bool pfxImported = outcome.pfx.status == certs::PfxStatus::Imported;
    const int failed = outcome.ChainsFailed() + (pfxImported ? 0 : 1) + (security.ok ? 0 : 1);
    const bool nothing = outcome.ChainsImported() == 0 && !pfxImported && security.valuesWritten == 0;

    Outcome out;
    out.exitCode = failed == 0 ? kDone : nothing ? kNothingDone : kPartlyDone;
    json::Value chains = json::Value::Array();
    for (const certs::ChainImport& c : outcome.chains)
        chains.Add(json::Value::Object().Set("file", c.file).Set("imported", c.Imported()).Set("exitCode", c.exitCode));
    static constexpr const char* kPfxNames[] = {"imported", "missing", "failed"};
    out.json.Set("chain", chains)
        .Set("pfx", json::Value::Object()
                        .Set("status", kPfxNames[static_cast<int>(outcome.pfx.status)])
                        .Set("exitCode", outcome.pfx.code))
        .Set("security", json::Value::Object()
                             .Set("ok", security.ok)
                             .Set("valuesWritten", security.valuesWritten)
                             .Set("valuesFailed", security.valuesFailed)
                             .Set("backup", security.backupPath)
                             .Set("undo", security.undoPath)
                             .Set("backupFailed", security.backupFailed)
                             .Set("backupCode", security.backupCode)
                             .Set("iisRestarted", security.iisRestarted)
                             .Set("iisResetCode", security.iisResetCode))
        .Set("failed", failed);

    if (failed == 0) {
        out.text += Line(Say("Cli_ImportDone", {std::to_string(outcome.ChainsImported()), security.backupPath}));
    } else {
        out.text += Line(Say("Cli_ImportPartly", {std::to_string(failed)}));
        if (outcome.ChainsFailed() > 0)
            out.text += Line("  " + std::to_string(outcome.ChainsFailed()) + GetLangString("MsgBox_Import_ChainsFailed"));
        if (outcome.pfx.status == certs::PfxStatus::Failed)
            out.text += Line("  " + GetLangString("MsgBox_Import_PfxFailed") + std::to_string(outcome.pfx.code) +
                             GetLangString("MsgBox_Import_PfxFailed_CheckPassword"));
        if (outcome.pfx.status == certs::PfxStatus::Missing) out.text += Line("  " + GetLangString("MsgBox_Import_PfxMissing"));
        if (security.backupFailed)
            out.text += Line("  " + GetLangString("MsgBox_Import_SecurityUnchanged") + std::to_string(security.backupCode) +
                             GetLangString("MsgBox_Import_CodeEnd"));
        else if (security.valuesFailed > 0)
            out.text += Line("  " + GetLangString("lblStatus_ImportCompleteSecurityFailed"));
        if (security.IisResetFailed())
            out.text += Line("  " + GetLangString("MsgBox_Import_IisResetFailed") + std::to_string(security.iisResetCode) +
                             GetLangString("MsgBox_Import_CodeEnd"));
    }
    out.text += Line(GetLangString("MsgBox_Import_RestartNote"));
    return out;
}

Outcome RunDeploy(Machine& m, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const iis::IisVersion version = iis::DetectIisVersion(m);
    const iis::SiteList list = ListSitesOrRefuse(m, progress);
    std::vector<std::string> unknown;
    std::vector<std::string> names;
    for (const iis::Site& site : ChooseSites(list, o, unknown)) names.push_back(site.name);
    if (!unknown.empty()) throw Refusal{"unknown-site", Say("Cli_UnknownSite", {unknown.front()})};
    if (names.empty()) throw Refusal{"no-sites", GetLangString("MsgBox_Deploy_SelectSite")};
    // One certificate per address and port below IIS 8: the window lets one site be chosen.
    if (!iis::IsIIS8OrGreater(version) && names.size() > 1) throw Refusal{"one-site-below-iis8", Say("Cli_OneSiteBelowIis8")};

    const certs::ServerFiles files = FilesOf(m.host, o);
    if (!m.fs.FileExists(files.pfx)) throw Refusal{"pfx-missing", Say("Cli_NoPfx", {files.pfx})};
    if (!m.fs.FileExists(files.password)) throw Refusal{"password-missing", Say("Cli_NoPassword", {files.password})};
    progress.Report({"lblStatus_GettingThumbprint"});
    std::string thumbprint, password;
    try {
        password = certs::ReadServerPassword(m.fs, files.password);
        thumbprint = certs::DeploymentThumbprint(m, files);
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        m.log.WriteErrorLog("cmdDeploy_Click", f.number, f.description);
        throw Refusal{"password-empty", Say("Cli_EmptyPassword", {files.password})};
    }
    if (thumbprint.empty()) throw Refusal{"no-thumbprint", GetLangString("MsgBox_Deploy_GetThumbprintFailed")};
    progress.Report({"lblStatus_ThumbprintSuccess", -1, -1, {{thumbprint.substr(0, 20) + "..."}}});

    const bool rewrite = iis::IsRewriteModuleInstalled(m);
    if (o.redirect && !rewrite) console.Err(Line(Say("Cli_RewriteMissing")));
    const iis::DeployRequest request =
        iis::MakeDeployRequest(names, o.port, thumbprint, iis::IsIIS8OrGreater(version), o.redirect, rewrite);
    ConsoleDeployEvents events(console, o.wildcard);
    DryRunShell dryShell(m.shell, password);
    Machine dry(dryShell, m.fs, m.host, m.clock, m.pkcs12, m.http);
    const iis::DeployOutcome outcome = iis::DeploySites(o.dryRun ? dry : m, request, progress, events);

    Outcome out;
    int skipped = 0;
    json::Value sites = json::Value::Array();
    for (const iis::SiteResult& site : outcome.sites) {
        skipped += site.skipped ? 1 : 0;
        json::Value entries = json::Value::Array();
        for (const iis::EntryResult& e : site.entries)
            entries.Add(json::Value::Object()
                            .Set("host", e.entry)
                            .Set("status", kEntryStatusNames[static_cast<int>(e.status)])
                            .Set("exitCode", e.code));
        sites.Add(json::Value::Object()
                      .Set("name", site.name)
                      .Set("skipped", site.skipped)
                      .Set("success", site.success)
                      .Set("redirectOk", site.redirectOk)
                      .Set("entries", entries));
        const char* key = site.skipped ? "Cli_Deploy_SiteSkipped" : site.success ? "Cli_Deploy_SiteDone" : "Cli_Deploy_SiteFailed";
        out.text += Line(Say(key, {site.name}));
    }
    const int succeeded = outcome.Succeeded();
    const int failed = outcome.Selected() - succeeded - skipped;
    out.exitCode = succeeded == 0 ? kNothingDone : failed > 0 ? kPartlyDone : kDone;
    out.json.Set("dryRun", o.dryRun)
        .Set("port", request.port)
        .Set("redirect", request.redirect)
        .Set("wildcard", o.wildcard)
        .Set("sni", request.sni)
        .Set("thumbprint", thumbprint)
        .Set("sites", sites)
        .Set("selected", outcome.Selected())
        .Set("succeeded", succeeded)
        .Set("skipped", skipped)
        .Set("failed", failed);
    if (o.dryRun) {
        out.json.Set("commands", json::Value::Strings(dryShell.lines));
        out.text = Line(GetLangString("Cli_DryRun"));
        for (const std::string& line : dryShell.lines) out.text += Line("  " + line);
    }
    out.text += Line(Say("Cli_DeployDone", {std::to_string(outcome.Selected()), std::to_string(succeeded),
                                            std::to_string(skipped), std::to_string(failed)}));
    return out;
}

}  // namespace quillbay::cli
