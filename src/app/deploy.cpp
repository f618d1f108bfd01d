// The Deploy button: the certificate's thumbprint, then every selected site.
#include "app/handlers.h"
#include "app/report.h"
#include "iis/deploy.h"
#include "iis/deploy_checks.h"
#include "support/events.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

// What became of the certificate the endpoint had before, on a line of its own.
std::string PreviousBindingText(const iis::EntryResult& entry) {
    switch (entry.previous) {
        case iis::PreviousBinding::Restored:
            return "\r\n" + lang::FormatLangString("MsgBox_Deploy_PreviousRestored", {entry.previousThumbprint});
        case iis::PreviousBinding::Lost:
            return "\r\n" + lang::FormatLangString("MsgBox_Deploy_PreviousLost", {entry.previousThumbprint});
        case iis::PreviousBinding::None: break;
    }
    return "";
}

std::string EntryFailureText(const std::string& site, const iis::EntryResult& entry) {
    const std::string label = entry.Wildcard() ? GetLangString("lblStatus_DomainWildcard") : entry.entry;
    switch (entry.status) {
        case iis::EntryStatus::AppcmdFailed:
            return GetLangString("MsgBox_Deploy_AppCmdFailed") + site + GetLangString("MsgBox_Deploy_AppCmdFailed_Error") +
                   label + GetLangString("MsgBox_Deploy_AppCmdFailed_CheckLog");
        case iis::EntryStatus::BindingsUnread:
            return GetLangString("MsgBox_Deploy_BindingsUnread") + site + GetLangString("MsgBox_Deploy_BindingsUnread_End");
        case iis::EntryStatus::SiteGone: return lang::FormatLangString("MsgBox_Deploy_SiteGone", {site});
        case iis::EntryStatus::BadHostName:
            return lang::FormatLangString("MsgBox_Deploy_HostNameSkipped", {site, entry.entry});
        default:
            return GetLangString("MsgBox_Deploy_NetshFailed") + site + GetLangString("MsgBox_Deploy_NetshFailed_Error") +
                   label + GetLangString("MsgBox_Deploy_NetshFailed_CheckLog") + PreviousBindingText(entry);
    }
}

// The window's answers to what a deployment asks, and its reports of what failed.
class WindowDeployEvents final : public iis::DeployEvents {
public:
    WindowDeployEvents(Main& m, std::string port) : m_(m), port_(std::move(port)) {}

    bool ConfirmWildcard(const std::string& site) override {
        const MsgAnswer answer = m_.ui.ShowMessage(
            GetLangString("MsgBox_Deploy_WarningWildcardBinding") + site +
                GetLangString("MsgBox_Deploy_WarningWildcardBinding_NoDomain") + port_ +
                GetLangString("MsgBox_Deploy_WarningWildcardBinding_Conflict"),
            MsgStyle::YesNoExclamation, GetLangString("MsgBox_Deploy_WarningWildcardBinding_Title"));
        return answer != MsgAnswer::No;
    }

    void EntryFailed(const std::string& site, const iis::EntryResult& entry) override {
        m_.ui.ShowMessage(EntryFailureText(site, entry), MsgStyle::Exclamation, kAppTitle);
    }

    void RedirectFailed(const std::string& site, bool adding) override {
        const std::string key = adding ? "MsgBox_Deploy_HttpRedirectFailed" : "MsgBox_Deploy_HttpRedirectDisableFailed";
        m_.ui.ShowMessage(GetLangString(key) + site + GetLangString(key + (adding ? "_CheckModule" : "_CheckIIS")),
                          MsgStyle::Exclamation, kAppTitle);
    }

    bool StopRequested() override { return m_.ui.ClosePending(); }

private:
    Main& m_;
    std::string port_;
};

// The box of a refusal: the precondition boxes, or the unexpected-error box for a password
// file that could not be read (already logged).
void ShowRefusal(Main& m, const iis::DeployThumbprint& read, iis::DeployRefusal refusal) {
    switch (refusal) {
        case iis::DeployRefusal::NoPfx:
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPFX"), MsgStyle::Critical, kAppTitle);
            break;
        case iis::DeployRefusal::NoPassword:
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPassword"), MsgStyle::Critical, kAppTitle);
            break;
        case iis::DeployRefusal::BadPort:
            m.ui.ShowMessage(GetLangString("MsgBox_SetPort_InvalidPort"), MsgStyle::Exclamation,
                             GetLangString("MsgBox_SetPort_InvalidPort_Title"));
            break;
        case iis::DeployRefusal::NoThumbprint:
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_GetThumbprintFailed"), MsgStyle::Critical, kAppTitle);
            break;
        case iis::DeployRefusal::NotInStore:
            m.ui.ShowMessage(lang::FormatLangString("MsgBox_Deploy_NotInStore", {read.thumbprint}), MsgStyle::Critical,
                             kAppTitle);
            break;
        case iis::DeployRefusal::StoreUnread:
            m.ui.ShowMessage(lang::FormatLangString("MsgBox_Deploy_StoreUnread", {std::to_string(read.failure.number)}),
                             MsgStyle::Critical, kAppTitle);
            break;
        case iis::DeployRefusal::BindingsUnlisted:
            m.ui.ShowMessage(lang::FormatLangString("MsgBox_Deploy_BindingsUnlisted", {std::to_string(read.failure.number)}),
                             MsgStyle::Critical, kAppTitle);
            break;
        case iis::DeployRefusal::EmptyPassword:
        case iis::DeployRefusal::PasswordUnreadable:
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_UnexpectedError") + read.failure.description, MsgStyle::Critical,
                             GetLangString("MsgBox_Deploy_UnexpectedError_Title"));
            break;
        default:  // no site, or more than one below IIS 8 (the list lets one be chosen there)
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_SelectSite"), MsgStyle::Exclamation, kAppTitle);
            break;
    }
}

void RunDeployment(Main& m, const iis::DeployRequest& request) {
    StatusProgress progress(m);
    WindowDeployEvents events(m, request.port);
    const iis::DeployOutcome outcome = iis::DeploySites(m.machine, request, progress, events);
    if (outcome.stopped) return;
    const iis::DeployJudgement judgement = iis::JudgeDeployment(outcome);
    m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_DeployComplete"));
    const std::string summary = GetLangString("MsgBox_Deploy_Complete") + std::to_string(judgement.selected) +
                                GetLangString("MsgBox_Deploy_Complete_Sites") + std::to_string(judgement.succeeded) +
                                GetLangString("MsgBox_Deploy_Complete_Success");
    WriteEvent(m.machine, OutcomeEvent(Operation::Deploy, judgement.verdict), summary);
    m.ui.ShowMessage(summary, BoxFor(judgement.verdict), GetLangString("MsgBox_Deploy_Complete_Title"));
    if (judgement.succeeded > 0 && !m.ui.ClosePending()) VerifyDeployment(m, request, outcome);
}

}  // namespace

void cmdDeploy_Click(Main& m) {
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    // The selection as the button was pressed; names come from the list's own sites.
    iis::DeployChoice choice{SelectedSiteNames(m), m.ui.Text(Id::TxtHttpsPort), m.m_IsIIS8OrGreater};
    const certs::ServerFiles files = certs::DefaultServerFiles(m.machine.host);
    if (const iis::DeployRefusal refusal = iis::CheckDeployChoice(m.machine.fs, choice, files);
        refusal != iis::DeployRefusal::None)
        return ShowRefusal(m, {}, refusal);
    bool usable = false;
    try {
        usable = ProgramFolderUsable(m, "cmdDeploy_Click");
    } catch (...) {
        ReportFailure(m, "cmdDeploy_Click", "MsgBox_Deploy_UnexpectedError", "MsgBox_Deploy_UnexpectedError_Title");
    }
    if (!usable) return;

    const bool redirect = m.ui.CheckValue(Id::chkHttpRedirect) != CheckState::Unchecked;
    m.ui.SetEnabled(Id::cmdImport, false);
    m.ui.SetEnabled(Id::cmdDeploy, false);
    try {
        ShowStatus(m, GetLangString("lblStatus_GettingThumbprint"));
        const iis::DeployThumbprint read = iis::ReadDeployThumbprint(m.machine, files);
        if (read.refusal != iis::DeployRefusal::None) {
            ShowRefusal(m, read, read.refusal);
        } else {
            ShowStatus(m, GetLangString("lblStatus_ThumbprintSuccess") + read.thumbprint.substr(0, 20) + "...");
            iis::DeployRequest request = iis::MakeDeployRequest(std::move(choice.sites), *iis::ParsePort(choice.port),
                                                                read.thumbprint, m.m_IsIIS8OrGreater, redirect,
                                                                m.m_RewriteModuleInstalled);
            request.current = read.current;
            RunDeployment(m, request);
        }
    } catch (...) {
        ReportFailure(m, "cmdDeploy_Click", "MsgBox_Deploy_UnexpectedError", "MsgBox_Deploy_UnexpectedError_Title");
    }
    m.ui.SetEnabled(Id::cmdImport, true);
    m.ui.SetEnabled(Id::cmdDeploy, true);
}

}  // namespace quillbay::app
