// deploy: what the window's Deploy does for the chosen sites, the wildcard question answered
// by an option; or, as a dry run, the command lines it would run.
#include "cli/common.h"
#include "iis/deploy.h"
#include "iis/deploy_checks.h"
#include "iis/version.h"
#include "support/dry_run_shell.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kEntryStatusNames[] = {"bound", "netsh-failed", "appcmd-failed", "bad-host-name", "bindings-unread", "site-gone"};
static_assert(std::size(kEntryStatusNames) == static_cast<int>(iis::EntryStatus::SiteGone) + 1);
constexpr const char* kPreviousNames[] = {"none", "restored", "lost"};

// The console's answers: the wildcard question as the options say, failures on standard error.
class ConsoleDeployEvents final : public iis::DeployEvents {
public:
    ConsoleDeployEvents(Console& console, bool wildcard) : console_(console), wildcard_(wildcard) {}
    bool ConfirmWildcard(const std::string&) override { return wildcard_; }
    void EntryFailed(const std::string& site, const iis::EntryResult& entry) override {
        const std::string label = entry.Wildcard() ? GetLangString("lblStatus_DomainWildcard") : entry.entry;
        const std::string code = std::to_string(entry.code);
        switch (entry.status) {
            case iis::EntryStatus::NetshFailed:
                Warn(Say("Cli_Deploy_NetshFailed", {site, label, code}));
                if (entry.previous == iis::PreviousBinding::Restored)
                    Warn(Say("MsgBox_Deploy_PreviousRestored", {entry.previousThumbprint}));
                if (entry.previous == iis::PreviousBinding::Lost) Warn(Say("MsgBox_Deploy_PreviousLost", {entry.previousThumbprint}));
                return;
            case iis::EntryStatus::AppcmdFailed: return Warn(Say("Cli_Deploy_AppcmdFailed", {site, label, code}));
            case iis::EntryStatus::BadHostName: return Warn(Say("Cli_HostSkipped", {site, entry.entry}));
            case iis::EntryStatus::BindingsUnread: return Warn(Say("Cli_SiteBindingsUnread", {site}));
            case iis::EntryStatus::SiteGone: return Warn(Say("Cli_SiteGone", {site}));
            case iis::EntryStatus::Bound: break;
        }
    }
    void RedirectFailed(const std::string& site, bool adding) override {
        Warn(Say(adding ? "Cli_Deploy_RedirectAddFailed" : "Cli_Deploy_RedirectRemoveFailed", {site}));
    }
    bool StopRequested() override { return false; }

private:
    void Warn(const std::string& text) { console_.Err(Line(GetLangString("Cli_Level_Warning") + " " + text)); }
    Console& console_;
    bool wildcard_;
};

Refusal RefusalOf(iis::DeployRefusal refusal, const certs::ServerFiles& files, const FailureInfo& failure,
                  const std::string& thumbprint = "") {
    switch (refusal) {
        case iis::DeployRefusal::NoSite: return {"no-sites", GetLangString("MsgBox_Deploy_SelectSite")};
        case iis::DeployRefusal::OneSiteBelowIis8: return {"one-site-below-iis8", Say("Cli_OneSiteBelowIis8")};
        case iis::DeployRefusal::NoPfx: return {"pfx-missing", Say("Cli_NoPfx", {files.pfx})};
        case iis::DeployRefusal::NoPassword: return {"password-missing", Say("Cli_NoPassword", {files.password})};
        case iis::DeployRefusal::BadPort: return {"bad-port", GetLangString("MsgBox_SetPort_InvalidPort")};
        case iis::DeployRefusal::EmptyPassword:
            return {"password-empty", Say("Cli_EmptyPassword", {files.password}), failure.number};
        case iis::DeployRefusal::PasswordUnreadable:
            return {"password-unreadable", Say("Cli_PasswordUnreadable", {std::to_string(failure.number), failure.description}),
                    failure.number};
        case iis::DeployRefusal::NoThumbprint: return {"no-thumbprint", GetLangString("MsgBox_Deploy_GetThumbprintFailed")};
        case iis::DeployRefusal::NotInStore: return {"not-in-store", Say("MsgBox_Deploy_NotInStore", {thumbprint})};
        case iis::DeployRefusal::StoreUnread:
            return {"store-unread", Say("MsgBox_Deploy_StoreUnread", {std::to_string(failure.number)}), failure.number};
        case iis::DeployRefusal::BindingsUnlisted:
            return {"bindings-unlisted", Say("MsgBox_Deploy_BindingsUnlisted", {std::to_string(failure.number)}), failure.number};
        case iis::DeployRefusal::None: break;
    }
    return {};
}

// The request for the chosen sites, or a refusal, asked in the window's order.
iis::DeployRequest RequestOrRefuse(Machine& machine, Console& console, ConsoleProgress& progress, const Options& o) {
    const iis::IisVersion version = iis::DetectIisVersion(machine);
    const iis::SiteList list = ListSitesOrRefuse(machine, progress);
    std::vector<std::string> unknown;
    iis::DeployChoice choice{{}, o.port, iis::IsIIS8OrGreater(version)};
    for (const iis::Site& site : ChooseSites(list, o, unknown)) choice.sites.push_back(site.name);
    if (!unknown.empty()) throw Refusal{"unknown-site", Say("Cli_UnknownSite", {unknown.front()})};
    const certs::ServerFiles files = FilesOf(machine.host, o);
    if (const iis::DeployRefusal refusal = iis::CheckDeployChoice(machine.fs, choice, files); refusal != iis::DeployRefusal::None)
        throw RefusalOf(refusal, files, {});
    CheckFolderOrRefuse(machine, console, o);

    progress.Report({"lblStatus_GettingThumbprint"});
    const iis::DeployThumbprint read = iis::ReadDeployThumbprint(machine, files);
    // A dry run shows what a deployment would run once the certificate is imported.
    if (o.dryRun && read.refusal == iis::DeployRefusal::NotInStore)
        console.Err(Line(GetLangString("Cli_Level_Warning") + " " + Say("MsgBox_Deploy_NotInStore", {read.thumbprint})));
    else if (read.refusal != iis::DeployRefusal::None)
        throw RefusalOf(read.refusal, files, read.failure, read.thumbprint);
    progress.Report({"lblStatus_ThumbprintSuccess", -1, -1, {{read.thumbprint.substr(0, 20) + "..."}}});
    iis::DeployRequest request = iis::MakeDeployRequest(std::move(choice.sites), *iis::ParsePort(o.port), read.thumbprint,
                                                        choice.iis8OrGreater, o.redirect, iis::IsRewriteModuleInstalled(machine));
    request.current = read.current;
    return request;
}

json::Value SitesJson(const iis::DeployOutcome& outcome) {
    json::Value sites = json::Value::Array();
    for (const iis::SiteResult& site : outcome.sites) {
        json::Value entries = json::Value::Array();
        for (const iis::EntryResult& e : site.entries)
            entries.Add(json::Value::Object()
                            .Set("host", e.entry)
                            .Set("status", kEntryStatusNames[static_cast<int>(e.status)])
                            .Set("exitCode", e.code)
                            .Set("previous", kPreviousNames[static_cast<int>(e.previous)])
                            .Set("previousThumbprint", e.previousThumbprint));
        sites.Add(json::Value::Object()
                      .Set("name", site.name)
                      .Set("skipped", site.skipped)
                      .Set("success", site.success)
                      .Set("redirectOk", site.redirectOk)
                      .Set("entries", entries));
    }
    return sites;
}

// What a client now gets from the deployed sites.
json::Value VerifyDeployed(Machine& machine, Progress& progress, const iis::DeployRequest& request,
                           const iis::DeployOutcome& outcome, Outcome& out) {
    Outcome verified;
    RenderVerification(iis::VerifyHosts(machine, iis::DeployedTargets(machine, progress, request, outcome)), verified);
    out.text += verified.text;
    return verified.json;
}

}  // namespace

Outcome RunDeploy(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const iis::DeployRequest request = RequestOrRefuse(machine, console, progress, o);
    if (o.redirect && !request.redirect) console.Err(Line(Say("Cli_RewriteMissing")));
    ConsoleDeployEvents events(console, o.wildcard);
    // A dry run masks the password in the lines it shows.
    DryRunShell dryShell(machine.shell, o.dryRun ? certs::ReadServerPassword(machine.fs, FilesOf(machine.host, o).password) : "");
    Machine dry(dryShell, machine.fs, machine.host, machine.clock, machine.pkcs12, machine.http,
                machine.signatures, machine.xml, machine.probe, machine.events);
    const iis::DeployOutcome outcome = iis::DeploySites(o.dryRun ? dry : machine, request, progress, events);
    const iis::DeployJudgement j = iis::JudgeDeployment(outcome);

    Outcome out;
    out.exitCode = ExitCodeOf(j.verdict);
    out.json.Set("dryRun", o.dryRun).Set("port", request.port).Set("redirect", request.redirect).Set("wildcard", o.wildcard);
    out.json.Set("sni", request.sni).Set("thumbprint", request.thumbprint).Set("sites", SitesJson(outcome));
    out.json.Set("selected", j.selected).Set("succeeded", j.succeeded).Set("skipped", j.skipped).Set("failed", j.failed);
    out.json.Set("redirectsFailed", j.redirectsFailed);
    if (o.dryRun) {
        out.json.Set("commands", json::Value::Strings(dryShell.Lines()));
        out.text += Line(GetLangString("Cli_DryRun"));
        for (const std::string& line : dryShell.Lines()) out.text += Line("  " + line);
    } else {
        for (const iis::SiteResult& site : outcome.sites)
            out.text += Line(Say(site.skipped   ? "Cli_Deploy_SiteSkipped"
                                 : site.success ? "Cli_Deploy_SiteDone"
                                                : "Cli_Deploy_SiteFailed",
                                 {site.name}));
    }
    out.text += Line(Say("Cli_DeployDone", {std::to_string(j.selected), std::to_string(j.succeeded),
                                            std::to_string(j.skipped), std::to_string(j.failed)}));
    // What a client now gets from the sites it changed; reported, the verdict stays the deployment's.
    if (!o.dryRun && o.verify && j.succeeded > 0) out.json.Set("verification", VerifyDeployed(machine, progress, request, outcome, out));
    return out;
}

}  // namespace quillbay::cli
