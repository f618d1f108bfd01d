// Deployment > Verify Deployment, and the verification that follows a deployment: what a client
// gets from the sites, shown in one box or on the status line, every finding logged.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/server_files.h"
#include "iis/verify.h"
#include "render/verification.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

// A box holds this many hosts' findings, those that fall short first; the log has them all.
constexpr std::size_t kHostsInBox = 12;

std::string FindingsText(const iis::Verification& verification) {
    std::vector<const iis::HostFinding*> order;
    for (const bool holds : {false, true})
        for (const iis::HostFinding& f : verification.hosts)
            if (f.Holds() == holds) order.push_back(&f);
    std::string text;
    for (std::size_t i = 0; i < order.size() && i < kHostsInBox; ++i) text += render::FindingLines(*order[i]);
    if (order.size() > kHostsInBox)
        text += lang::FormatLangString("MsgBox_Verify_More", {std::to_string(order.size() - kHostsInBox)}) + "\r\n";
    text += (text.empty() ? "" : "\r\n") + render::VerificationSummary(verification);
    return text.substr(0, text.size() - 2);  // a box needs no line end after its last line
}

std::string StatusText(const iis::Verification& verification) {
    int failing = 0;
    for (const iis::HostFinding& f : verification.hosts) failing += f.Holds() ? 0 : 1;
    const std::string total = std::to_string(verification.hosts.size());
    return failing ? lang::FormatLangString("lblStatus_VerifyFailed", {std::to_string(failing), total})
                   : lang::FormatLangString("lblStatus_VerifyPassed", {total});
}

}  // namespace

std::vector<std::string> SelectedSiteNames(Main& m) {
    std::vector<std::string> names;
    const int count = m.ui.ListCount(Id::lstSites);
    for (int i = 0; i < count; ++i)
        if (m.ui.ListSelected(Id::lstSites, i) && i < static_cast<int>(m.sites.size()))
            names.push_back(m.sites[static_cast<size_t>(i)].name);
    return names;
}

void VerifyDeployment(Main& m, const iis::DeployRequest& request, const iis::DeployOutcome& outcome) {
    ShowStatus(m, GetLangString("lblStatus_Verifying"));
    StatusProgress progress(m);
    const std::vector<iis::ProbeTarget> targets = iis::DeployedTargets(m.machine, progress, request, outcome);
    if (targets.empty()) return m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_DeployComplete"));
    m.ui.SetText(Id::lblStatus, StatusText(iis::VerifyHosts(m.machine, targets)));
}

void mnuToolsVerify_Click(Main& m) {
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    const std::vector<std::string> names = SelectedSiteNames(m);
    if (names.empty()) {
        m.ui.ShowMessage(GetLangString("MsgBox_Deploy_SelectSite"), MsgStyle::Exclamation, kAppTitle);
        return;
    }
    try {
        ShowStatus(m, GetLangString("lblStatus_Verifying"));
        StatusProgress progress(m);
        // The bindings as they are now, not as start-up listed them.
        std::vector<iis::Site> chosen;
        for (const iis::Site& site : iis::ListSites(m.machine, progress).sites)
            for (const std::string& name : names)
                if (site.name == name) chosen.push_back(site);
        const iis::Verification verification = iis::VerifyHosts(
            m.machine, iis::SiteTargets(m.machine, certs::DefaultServerFiles(m.machine.host), chosen));
        m.ui.SetText(Id::lblStatus,
                     verification.hosts.empty() ? GetLangString("Verify_NoHost") : StatusText(verification));
        m.ui.ShowMessage(FindingsText(verification),
                         verification.AllHold() ? MsgStyle::Information : MsgStyle::Exclamation,
                         GetLangString("MsgBox_Verify_Title"));
    } catch (...) {
        ReportFailure(m, "mnuToolsVerify_Click", "MsgBox_Deploy_UnexpectedError", "MsgBox_Deploy_UnexpectedError_Title");
    }
}

}  // namespace quillbay::app
