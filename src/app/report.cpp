#include "app/report.h"

#include "certs/chain_files.h"
#include "certs/folder_check.h"
#include "lang/store.h"

namespace quillbay::app {

using lang::GetLangString;

MsgStyle BoxFor(Verdict verdict) {
    switch (verdict) {
        case Verdict::Done: return MsgStyle::Information;
        case Verdict::PartlyDone: return MsgStyle::Exclamation;
        case Verdict::NothingDone: break;
    }
    return MsgStyle::Critical;
}

bool ProgramFolderUsable(Main& m, const char* procedure) {
    const std::string folder = m.machine.host.AppFolder();
    const certs::FolderCheck check = certs::CheckProgramFolder(
        m.machine.fs, folder, certs::ChainFolder(m.machine.host), certs::DefaultServerFiles(m.machine.host));
    certs::LogFolderCheck(m.log, procedure, check);
    if (check.problem == certs::FolderProblem::ReparsePoint) {
        m.ui.ShowMessage(lang::FormatLangString("MsgBox_Folder_ReparsePoint", {check.path}), MsgStyle::Critical, kAppTitle);
        return false;
    }
    if (check.problem == certs::FolderProblem::None) return true;
    if (m.ui.ShowMessage(lang::FormatLangString("MsgBox_Folder_Writable", {folder}), MsgStyle::YesNoExclamation,
                         kAppTitle) != MsgAnswer::Yes) {
        m.log.WriteLog(procedure, "Stopped: the administrator left " + folder + " as it is");
        return false;
    }
    try {
        certs::RestrictProgramFolder(m.machine, procedure, folder);
        return true;
    } catch (const Failure& f) {
        m.ui.ShowMessage(lang::FormatLangString("MsgBox_Folder_RestrictFailed", {folder, f.description()}),
                         MsgStyle::Critical, kAppTitle);
        return false;
    }
}

void ShowStatus(Main& m, const std::string& text) {
    m.ui.SetText(Id::lblStatus, text);
    m.ui.DoEvents();
}

void StatusProgress::Report(const ProgressStep& step) {
    if (step.done >= 0) {
        // A counted step is shown every time, also when a failed item left the count as it was.
        ShowStatus(m_, GetLangString(step.statusKey) + std::to_string(step.done) +
                           GetLangString(std::string(step.statusKey) + "_Of") + std::to_string(step.total));
        last_.clear();
        return;
    }
    std::string text = GetLangString(step.statusKey);
    for (const StatusPiece& piece : step.pieces) text += piece.isKey ? GetLangString(piece.text) : piece.text;
    if (text.empty() || text == last_) {
        m_.ui.DoEvents();  // the same step again: nothing new to show, but the window answers
        return;
    }
    ShowStatus(m_, text);
    last_ = std::move(text);
}

void ReportFailure(Main& m, std::string_view procedure, std::string_view textKey, std::string_view titleKey) noexcept {
    const FailureInfo f = CurrentFailure();
    m.log.WriteErrorLog(std::string(procedure), f.number, f.description);
    try {
        const std::string prefix = textKey.empty() ? std::string() : GetLangString(textKey);
        m.ui.ShowMessage(prefix + f.description, MsgStyle::Critical, GetLangString(titleKey));
    } catch (...) {
        // Nothing more can be shown; the record is in the log.
    }
}

void ReportUnhandled(Main& m, std::string_view procedure) noexcept {
    ReportFailure(m, procedure, {}, "Main_Caption");
}

}  // namespace quillbay::app
