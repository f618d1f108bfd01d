// The certificate list and the Import button.
#include "app/handlers.h"
#include "support/events.h"
#include "app/report.h"
#include "certs/chain_files.h"
#include "certs/import.h"
#include "certs/pfx_encryption.h"
#include "render/tls.h"

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

std::string ProblemLine(const certs::ImportFailure& f) {
    const std::string code = std::to_string(f.code);
    switch (f.problem) {
        case certs::ImportProblem::PfxMissing: return GetLangString("MsgBox_Import_PfxMissing");
        case certs::ImportProblem::PfxFailed:
            return GetLangString("MsgBox_Import_PfxFailed") + code + GetLangString("MsgBox_Import_PfxFailed_CheckPassword");
        case certs::ImportProblem::ChainsFailed:
            return std::to_string(f.count) + GetLangString("MsgBox_Import_ChainsFailed");
        case certs::ImportProblem::SettingsUnchanged:
            return GetLangString("MsgBox_Import_SecurityUnchanged") + code + GetLangString("MsgBox_Import_CodeEnd");
        case certs::ImportProblem::SettingsFailed: return GetLangString("lblStatus_ImportCompleteSecurityFailed");
        case certs::ImportProblem::IisRestartFailed:
            return GetLangString("MsgBox_Import_IisResetFailed") + code + GetLangString("MsgBox_Import_CodeEnd");
    }
    return {};
}

// The profile's line, and the note when Compatible switched protocols back on, after the box's text.
std::string TlsLines(const certs::ImportOutcome& outcome, const std::vector<std::string>& reenabled) {
    std::string lines;
    for (const std::string& line : {render::TlsProfileLine(outcome.security), render::ReenablesLine(reenabled)})
        if (!line.empty()) lines += "\r\n" + line;
    return lines;
}

void ShowImportOutcome(Main& m, const certs::ImportOutcome& outcome, const std::vector<std::string>& reenabled) {
    const certs::ImportJudgement judgement = certs::JudgeImport(outcome);
    if (judgement.verdict == Verdict::Done) {
        const bool unchanged = outcome.security.profile == certs::TlsProfile::Unchanged;
        const std::string restartNote = unchanged ? std::string() : GetLangString("MsgBox_Import_RestartNote");
        const std::string text = GetLangString(unchanged ? "MsgBox_Import_CertOnlySuccess" : "MsgBox_Import_CertImportSuccess") +
                                 std::to_string(outcome.ChainsImported()) + GetLangString("MsgBox_Import_CertImportSuccessPFX") +
                                 (unchanged ? "" : "\r\n" + restartNote) + TlsLines(outcome, reenabled);
        WriteEvent(m.machine, OutcomeEvent(Operation::Import, judgement.verdict), text);
        m.ui.ShowMessage(text, MsgStyle::Information, GetLangString("MsgBox_Import_CompleteTitle"));
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_ImportCompleteDeployReady") + " " +
                                        (unchanged ? "" : restartNote + " ") +
                                        lang::FormatLangString("lblStatus_ImportTlsProfile",
                                                               {GetLangString(certs::ProfileKey(outcome.security.profile))}));
        return;
    }
    std::string text = GetLangString("MsgBox_Import_PartialIntro");
    for (const certs::ImportFailure& f : judgement.failures) text += "\r\n" + ProblemLine(f);
    text += TlsLines(outcome, reenabled);
    WriteEvent(m.machine, OutcomeEvent(Operation::Import, judgement.verdict), text);
    m.ui.ShowMessage(text, BoxFor(judgement.verdict), GetLangString("MsgBox_Import_PartialCompleteTitle"));
    // The status line names the gravest kind of problem: the TLS settings, the certificates, the restart.
    using certs::ImportProblem;
    const bool settings = judgement.Has(ImportProblem::SettingsUnchanged) || judgement.Has(ImportProblem::SettingsFailed);
    const bool certificates = judgement.Has(ImportProblem::PfxMissing) || judgement.Has(ImportProblem::PfxFailed) ||
                              judgement.Has(ImportProblem::ChainsFailed);
    m.ui.SetText(Id::lblStatus, settings       ? GetLangString("lblStatus_ImportCompleteSecurityFailed")
                                : certificates ? GetLangString("lblStatus_ImportPartial")
                                               : ProblemLine(judgement.failures.back()));
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
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    try {
        if (!ProgramFolderUsable(m, "cmdImport_Click")) return;
        m.ui.SetEnabled(Id::cmdImport, false);
        m.ui.SetEnabled(Id::cmdDeploy, false);
        ShowStatus(m, GetLangString("lblStatus_Importing"));
        const std::vector<std::string> selected = SelectedItems(m.ui, Id::lstCertificates);
        if (selected.empty()) {
            m.ui.ShowMessage(GetLangString("MsgBox_Import_SelectCert"), MsgStyle::Exclamation, kAppTitle);
        } else if (const std::optional<int> build = certs::AesPfxTooNew(m.machine, certs::DefaultServerFiles(m.machine.host))) {
            // certutil would blame the password: said as it is, before anything is imported.
            m.ui.ShowMessage(lang::FormatLangString("Pfx_AesTooNew", {std::to_string(*build)}) + "\r\n\r\n" +
                                 GetLangString("MsgBox_Import_NothingImported"),
                             MsgStyle::Critical, GetLangString("MsgBox_Import_PfxAes_Title"));
            ShowStatus(m, GetLangString("lblStatus_Ready"));
        } else {
            StatusProgress progress(m);
            // Read before the import changes them.
            const std::vector<std::string> reenabled = certs::ReenabledBy(m.machine, m.tlsProfile);
            ShowImportOutcome(m, certs::ImportCertificates(m.machine, selected, m.tlsProfile, progress), reenabled);
        }
    } catch (...) {
        ReportFailure(m, "cmdImport_Click", "MsgBox_Import_UnexpectedError", "MsgBox_Import_UnexpectedError_Title");
    }
    m.ui.SetEnabled(Id::cmdImport, true);
    if (m.ui.ListCount(Id::lstSites) > 0 && m.ui.Enabled(Id::lstSites)) m.ui.SetEnabled(Id::cmdDeploy, true);
}

}  // namespace quillbay::app
