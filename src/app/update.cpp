// Help > Check for Updates: the version query, the prompt, the download and the hand-over to
// the self-update script.
#include "app/handlers.h"
#include "app/report.h"
#include "support/errors.h"
#include "update/check.h"
#include "update/restart.h"
#include "update/stage.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

constexpr std::int32_t kNoVersion = 9;    // "Subscript out of range": the answer has no first line
constexpr const char* kRestarting = "即将更新并重启程序...";
constexpr const char* kCannotStartUpdater = "无法启动更新程序。请手动重启。";

}  // namespace

bool DownloadAndUpdate(Main& m, const std::string& packageUrl) {
    ShowStatus(m, GetLangString("MsgBox_Update_DownloadingPackage"));
    const HttpResponse response = m.machine.http.Get(packageUrl, {});
    if (m.ui.ClosePending()) return false;
    if (response.status != 200 || response.body.empty()) {
        m.ui.ShowMessage(GetLangString("MsgBox_Update_DownloadFailed") + std::to_string(response.status),
                         MsgStyle::Critical, kAppTitle);
        return false;
    }
    // The script would copy anything over the program's folder and start it elevated.
    const HttpResponse signature = m.machine.http.Get(packageUrl + ".sig", {});
    if (m.ui.ClosePending()) return false;
    const std::string signatureBytes = signature.status == 200 ? signature.body : "";
    std::optional<std::string> problem =
        signature.status != 200 ? "no signature (status code " + std::to_string(signature.status) + ")"
                                : update::PackageProblem(m.machine.signatures, response.body, signatureBytes);
    update::StagedPackage staged;
    if (!problem) {
        staged = update::StagePackage(m.machine, response.body, signatureBytes);
        problem = staged.problem;
    }
    if (problem) {
        m.log.WriteErrorLog("DownloadAndUpdate", kErrorBadFormat,
                            "The update package was refused: " + *problem + ": " + packageUrl);
        m.ui.ShowMessage(GetLangString("MsgBox_Update_PackageInvalid"), MsgStyle::Critical, kAppTitle);
        return false;
    }
    ShowStatus(m, kRestarting);
    if (update::InitiateUpdateAndRestart(m.machine, staged.path)) {
        m.machine.host.EndProcess();
        return true;
    }
    m.ui.ShowMessage(kCannotStartUpdater, MsgStyle::Critical, kAppTitle);
    return false;
}

void mnuHelpCheckUpdate_Click(Main& m) {
    // A check could end the program in the middle of an import or a deployment.
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    try {
        const std::string current = update::OwnVersionText(m.machine.host);
        ShowStatus(m, GetLangString("MsgBox_Update_Checking"));
        const std::string base = update::UpdateBaseUrl(m.machine.shell);
        const HttpResponse response = m.machine.http.Get(update::VersionQueryUrl(base, current), update::kVersionQueryTimeouts);
        if (m.ui.ClosePending()) return;
        if (response.status != 200) {
            m.ui.ShowMessage(GetLangString("MsgBox_Update_FailedConnect") + std::to_string(response.status),
                             MsgStyle::Critical, GetLangString("MsgBox_Update_FailedConnect_Title"));
        } else {
            const std::optional<update::UpdateInfo> info =
                update::ParseVersionAnswer(update::BytesToString(response.body, "UTF-8"));
            if (!info) throw Failure(kNoVersion, "The update server's answer is empty.");
            if (update::CompareVersions(info->latest, current) <= 0) {
                m.ui.ShowMessage(GetLangString("MsgBox_Update_NoUpdateNeeded"), MsgStyle::Information,
                                 GetLangString("MsgBox_Update_NoUpdateNeeded_Title"));
            } else {
                const std::string prompt = GetLangString("MsgBox_Update_NewVersionFound") + info->latest +
                                           GetLangString("MsgBox_Update_CurrentVersion") + current + ")\r\n\r\n" +
                                           GetLangString("MsgBox_Update_UpdateContent") + "\r\n" + info->notes +
                                           "\r\n" + GetLangString("MsgBox_Update_DownloadPrompt");
                if (m.ui.ShowMessage(prompt, MsgStyle::YesNoInformation, GetLangString("MsgBox_Update_NewVersionFound")) ==
                        MsgAnswer::Yes &&
                    DownloadAndUpdate(m, update::PackageUrl(base, info->latest)))
                    return;  // the program has ended
            }
        }
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        m.log.WriteErrorLog("mnuHelpCheckUpdate_Click", f.number, f.description);
        // A request abandoned because the window is closing needs no box.
        if (!m.ui.ClosePending())
            m.ui.ShowMessage(GetLangString("MsgBox_Update_Error") + f.description, MsgStyle::Critical, kAppTitle);
    }
    m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
}

}  // namespace quillbay::app
