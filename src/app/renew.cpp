// Deployment > Replace Certificate Everywhere: what `quillbay-cli renew` does with the files
// beside the program, after a question that lists each endpoint's change.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/chain_files.h"
#include "render/findings.h"
#include "render/renewal.h"
#include "renew/renew.h"
#include "support/events.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

// The plan's refusal as a box; false when there is none.
bool ShowRefusal(Main& m, const renew::RenewPlan& plan) {
    const std::string title = GetLangString("MsgBox_Renew_Title");
    if (plan.refusal == renew::RenewRefusal::Unfit) {
        std::string text;
        for (const certs::Finding& f : plan.findings) text += (text.empty() ? "" : "\r\n") + render::FindingText(f);
        m.ui.ShowMessage(text, MsgStyle::Critical, title);
    } else if (plan.refusal != renew::RenewRefusal::None) {
        m.ui.ShowMessage(render::RefusalText(plan), MsgStyle::Exclamation, title);
    } else if (plan.AlreadyCurrent()) {
        m.ui.ShowMessage(lang::FormatLangString("Renew_AlreadyCurrent", {plan.thumbprint, std::to_string(plan.current)}),
                         MsgStyle::Information, title);
    } else {
        return false;
    }
    return true;
}

}  // namespace

void mnuToolsRenew_Click(Main& m) {
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    try {
        if (!ProgramFolderUsable(m, "mnuToolsRenew_Click")) return;
        const std::string before = m.ui.Text(Id::lblStatus);
        ShowStatus(m, GetLangString("lblStatus_Renewing"));
        const renew::RenewFiles files{certs::DefaultServerFiles(m.machine.host), certs::ChainFolder(m.machine.host)};
        const renew::RenewPlan plan = renew::PlanRenewal(m.machine, files, "");
        if (ShowRefusal(m, plan)) return m.ui.SetText(Id::lblStatus, before);
        const std::string question =
            lang::FormatLangString("MsgBox_Renew_Question", {plan.thumbprint, render::PlanLines(plan)});
        if (m.ui.ShowMessage(question, MsgStyle::YesNoExclamation, GetLangString("MsgBox_Renew_Title")) != MsgAnswer::Yes)
            return m.ui.SetText(Id::lblStatus, before);
        m.ui.SetEnabled(Id::cmdImport, false);
        m.ui.SetEnabled(Id::cmdDeploy, false);
        StatusProgress progress(m);
        const renew::RenewOutcome outcome = renew::Renew(m.machine, files, plan, {}, progress);
        m.ui.SetEnabled(Id::cmdImport, true);
        m.ui.SetEnabled(Id::cmdDeploy, true);
        const std::string text = render::RenewalLines(plan, outcome);
        WriteEvent(m.machine, renew::OutcomeRecord(outcome), text);
        m.ui.SetText(Id::lblStatus, render::RenewalSummary(outcome));
        m.ui.ShowMessage(text.substr(0, text.size() - 2), BoxFor(outcome.Judge()), GetLangString("MsgBox_Renew_Title"));
    } catch (...) {
        m.ui.SetEnabled(Id::cmdImport, true);
        m.ui.SetEnabled(Id::cmdDeploy, true);
        ReportFailure(m, "mnuToolsRenew_Click", "MsgBox_Deploy_UnexpectedError", "MsgBox_Deploy_UnexpectedError_Title");
    }
}

}  // namespace quillbay::app
