// The certificate list and the Import button.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/chain_files.h"
#include "certs/import.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

std::vector<std::string> SelectedItems(Ui& ui, Id list) {
    std::vector<std::string> items;
    const int count = ui.ListCount(list);
    for (int i = 0; i < count; ++i)
        if (ui.ListSelected(list, i)) items.push_back(ui.ListItem(list, i));
    return items;
}

void ShowImportOutcome(Main& m, const certs::ImportOutcome& outcome) {
    if (outcome.Complete()) {
        const std::string restartNote = GetLangString("MsgBox_Import_RestartNote");
        m.ui.ShowMessage(GetLangString("MsgBox_Import_CertImportSuccess") + std::to_string(outcome.ChainsImported()) +
                             GetLangString("MsgBox_Import_CertImportSuccessPFX") + "\r\n" + restartNote,
                         MsgStyle::Information, GetLangString("MsgBox_Import_CompleteTitle"));
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_ImportCompleteDeployReady") + " " + restartNote);
        return;
    }

    std::string text = GetLangString("MsgBox_Import_PartialIntro");
    if (outcome.pfx.status == certs::PfxStatus::Missing) text += "\r\n" + GetLangString("MsgBox_Import_PfxMissing");
    if (outcome.pfx.status == certs::PfxStatus::Failed)
        text += "\r\n" + GetLangString("MsgBox_Import_PfxFailed") + std::to_string(outcome.pfx.code) +
                GetLangString("MsgBox_Import_PfxFailed_CheckPassword");
    if (outcome.ChainsFailed() > 0)
        text += "\r\n" + std::to_string(outcome.ChainsFailed()) + GetLangString("MsgBox_Import_ChainsFailed");
    const certs::SecurityOutcome& security = outcome.security;
    const std::string securityFailed = GetLangString("lblStatus_ImportCompleteSecurityFailed");
    // iisreset runs only after every value was tried: with it failing, the values decide alone.
    const bool valuesFailed = !security.ok && !(security.IisResetFailed() && security.valuesFailed == 0);
    if (security.backupFailed)
        text += "\r\n" + GetLangString("MsgBox_Import_SecurityUnchanged") + std::to_string(security.backupCode) +
                GetLangString("MsgBox_Import_CodeEnd");
    else if (valuesFailed)
        text += "\r\n" + securityFailed;
    const std::string restartFailed = GetLangString("MsgBox_Import_IisResetFailed") +
                                      std::to_string(security.iisResetCode) + GetLangString("MsgBox_Import_CodeEnd");
    if (security.IisResetFailed()) text += "\r\n" + restartFailed;
    m.ui.ShowMessage(text, MsgStyle::Exclamation, GetLangString("MsgBox_Import_PartialCompleteTitle"));
    const bool certificatesFailed = outcome.ChainsFailed() > 0 || outcome.pfx.status != certs::PfxStatus::Imported;
    m.ui.SetText(Id::lblStatus, valuesFailed          ? securityFailed
                                : certificatesFailed  ? GetLangString("lblStatus_ImportPartial")
                                                      : restartFailed);
}

}  // namespace

void ScanChainFolder(Main& m) {
    const std::vector<std::string> files = certs::FindChainFiles(m.machine);
    m.ui.ListClear(Id::lstCertificates);
    for (const std::string& name : files) {
        m.ui.ListAdd(Id::lstCertificates, name);
        m.ui.ListSetSelected(Id::lstCertificates, m.ui.ListCount(Id::lstCertificates) - 1, true);
    }
    if (!files.empty()) {
        m.ui.SetText(Id::lblStatus, std::to_string(files.size()) + GetLangString("lblStatus_CertsFound"));
        m.ui.SetEnabled(Id::cmdImport, true);
    } else {
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_NoCerts"));
        m.ui.SetEnabled(Id::cmdImport, false);
    }
}

void cmdImport_Click(Main& m) {
    BusyWork busy(m);
    try {
        m.ui.SetEnabled(Id::cmdImport, false);
        m.ui.SetEnabled(Id::cmdDeploy, false);
        ShowStatus(m, GetLangString("lblStatus_Importing"));
        const std::vector<std::string> selected = SelectedItems(m.ui, Id::lstCertificates);
        if (selected.empty()) {
            m.ui.ShowMessage(GetLangString("MsgBox_Import_SelectCert"), MsgStyle::Exclamation, kAppTitle);
        } else {
            StatusProgress progress(m);
            ShowImportOutcome(m, certs::ImportCertificates(m.machine, selected, progress));
        }
    } catch (...) {
        ReportFailure(m, "cmdImport_Click", "MsgBox_Import_UnexpectedError", "MsgBox_Import_UnexpectedError_Title");
    }
    m.ui.SetEnabled(Id::cmdImport, true);
    if (m.ui.ListCount(Id::lstSites) > 0 && m.ui.Enabled(Id::lstSites)) m.ui.SetEnabled(Id::cmdDeploy, true);
}

}  // namespace quillbay::app
