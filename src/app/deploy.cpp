// The Deploy button: the certificate's thumbprint, then every selected site.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/thumbprint.h"
#include "iis/deploy.h"
#include "support/password_file.h"
#include "support/paths.h"

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
        const std::string label = entry.Wildcard() ? GetLangString("lblStatus_DomainWildcard") : entry.entry;
        std::string text;
        switch (entry.status) {
            case iis::EntryStatus::AppcmdFailed:
                text = GetLangString("MsgBox_Deploy_AppCmdFailed") + site + GetLangString("MsgBox_Deploy_AppCmdFailed_Error") +
                       label + GetLangString("MsgBox_Deploy_AppCmdFailed_CheckLog");
                break;
            case iis::EntryStatus::BindingsUnread:
                text = GetLangString("MsgBox_Deploy_BindingsUnread") + site + GetLangString("MsgBox_Deploy_BindingsUnread_End");
                break;
            default:  // netsh refused the binding, or the host name cannot be bound
                text = GetLangString("MsgBox_Deploy_NetshFailed") + site + GetLangString("MsgBox_Deploy_NetshFailed_Error") +
                       label + GetLangString("MsgBox_Deploy_NetshFailed_CheckLog");
                break;
        }
        m_.ui.ShowMessage(text, MsgStyle::Exclamation, kAppTitle);
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

}  // namespace

void cmdDeploy_Click(Main& m) {
    BusyWork busy(m);
    const bool redirect = m.ui.CheckValue(Id::chkHttpRedirect) != CheckState::Unchecked && m.m_RewriteModuleInstalled;
    // The selection as the button was pressed; names come from the list's own sites.
    iis::DeployRequest request;
    const int count = m.ui.ListCount(Id::lstSites);
    for (int i = 0; i < count; ++i)
        if (m.ui.ListSelected(Id::lstSites, i) && i < static_cast<int>(m.sites.size()))
            request.sites.push_back(m.sites[static_cast<size_t>(i)].name);
    if (request.sites.empty()) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_SelectSite"), MsgStyle::Exclamation, kAppTitle);
        return;
    }
    const std::string base = WithTrailingBackslash(m.machine.host.AppFolder());
    const std::string pfxPath = base + "fullchain.pfx";
    const std::string passwordPath = base + "password.txt";
    if (!m.machine.fs.FileExists(pfxPath)) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPFX"), MsgStyle::Critical, kAppTitle);
        return;
    }
    if (!m.machine.fs.FileExists(passwordPath)) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_NoPassword"), MsgStyle::Critical, kAppTitle);
        return;
    }
    // The port goes into every command: a value left from elsewhere is refused before any runs.
    const std::optional<std::string> port = ParsePort(m.ui.Text(Id::TxtHttpsPort));
    if (!port) {
        m.ui.ShowMessage(GetLangString("MsgBox_SetPort_InvalidPort"), MsgStyle::Exclamation,
                         GetLangString("MsgBox_SetPort_InvalidPort_Title"));
        return;
    }

    m.ui.SetEnabled(Id::cmdImport, false);
    m.ui.SetEnabled(Id::cmdDeploy, false);
    try {
        ShowStatus(m, GetLangString("lblStatus_GettingThumbprint"));
        const std::optional<std::string> password = ReadPasswordFile(m.machine.fs, passwordPath);
        if (!password) throw Failure(62, "Input past end of file");
        request.thumbprint = certs::GetPfxThumbprint_API(m.machine, pfxPath, *password);
        if (request.thumbprint.empty()) {
            m.ui.ShowMessage(GetLangString("MsgBox_Deploy_GetThumbprintFailed"), MsgStyle::Critical, kAppTitle);
        } else {
            ShowStatus(m, GetLangString("lblStatus_ThumbprintSuccess") + request.thumbprint.substr(0, 20) + "...");
            request.port = *port;
            request.sni = m.m_IsIIS8OrGreater;
            request.redirect = redirect;
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
