// The Deploy button: the certificate's thumbprint, then every selected site.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/server_files.h"
#include "iis/deploy.h"
#include "iis/deploy_text.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

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
        m_.ui.ShowMessage(iis::EntryFailureText(site, entry), MsgStyle::Exclamation, kAppTitle);
    }

    void RedirectFailed(const std::string& site, bool adding) override {
        m_.ui.ShowMessage(iis::RedirectFailureText(site, adding), MsgStyle::Exclamation, kAppTitle);
    }

    bool StopRequested() override { return m_.ui.ClosePending(); }

private:
    Main& m_;
    std::string port_;
};

}  // namespace

void cmdDeploy_Click(Main& m) {
    BusyWork busy(m);
    const bool redirect = m.ui.CheckValue(Id::chkHttpRedirect) != CheckState::Unchecked;
    // The selection as the button was pressed; names come from the list's own sites.
    std::vector<std::string> sites;
    const int count = m.ui.ListCount(Id::lstSites);
    for (int i = 0; i < count; ++i)
        if (m.ui.ListSelected(Id::lstSites, i) && i < static_cast<int>(m.sites.size()))
            sites.push_back(m.sites[static_cast<size_t>(i)].name);
    if (sites.empty()) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_SelectSite"), MsgStyle::Exclamation, kAppTitle);
        return;
    }
    const certs::ServerFiles files = certs::DefaultServerFiles(m.machine.host);
    if (!m.machine.fs.FileExists(files.pfx)) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPFX"), MsgStyle::Critical, kAppTitle);
        return;
    }
    if (!m.machine.fs.FileExists(files.password)) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPassword"), MsgStyle::Critical, kAppTitle);
        return;
    }
    // The port goes into every command: a value left from elsewhere is refused before any runs.
    const std::optional<std::string> port = iis::ParsePort(m.ui.Text(Id::TxtHttpsPort));
    if (!port) {
        m.ui.ShowMessage(GetLangString("MsgBox_SetPort_InvalidPort"), MsgStyle::Exclamation,
                         GetLangString("MsgBox_SetPort_InvalidPort_Title"));
        return;
    }

    m.ui.SetEnabled(Id::cmdImport, false);
    m.ui.SetEnabled(Id::cmdDeploy, false);
    try {
        ShowStatus(m, GetLangString("lblStatus_GettingThumbprint"));
        const iis::DeployRequest request =
            iis::MakeDeployRequest(std::move(sites), *port, certs::DeploymentThumbprint(m.machine, files),
                                   m.m_IsIIS8OrGreater, redirect, m.m_RewriteModuleInstalled);
        if (request.thumbprint.empty()) {
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_GetThumbprintFailed"), MsgStyle::Critical, kAppTitle);
        } else {
            ShowStatus(m, GetLangString("lblStatus_ThumbprintSuccess") + request.thumbprint.substr(0, 20) + "...");
            StatusProgress progress(m);
            WindowDeployEvents events(m, *port);
            const iis::DeployOutcome outcome = iis::DeploySites(m.machine, request, progress, events);
            if (!outcome.stopped) {
                m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_DeployComplete"));
                m.ui.ShowMessage(GetLangString("MsgBox_Deploy_Complete") + std::to_string(outcome.Selected()) +
                                     GetLangString("MsgBox_Deploy_Complete_Sites") +
                                     std::to_string(outcome.Succeeded()) +
                                     GetLangString("MsgBox_Deploy_Complete_Success"),
                                 MsgStyle::Information, GetLangString("MsgBox_Deploy_Complete_Title"));
            }
        }
    } catch (...) {
        ReportFailure(m, "cmdDeploy_Click", "MsgBox_Deploy_UnexpectedError", "MsgBox_Deploy_UnexpectedError_Title");
    }
    m.ui.SetEnabled(Id::cmdImport, true);
    m.ui.SetEnabled(Id::cmdDeploy, true);
}

}  // namespace quillbay::app
