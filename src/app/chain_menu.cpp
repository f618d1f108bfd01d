// The Certificate Chain menu: manual import, the view of the system store and the TLS profile
// Import sets.
#include "app/handlers.h"
#include "app/report.h"
#include "certs/chain_files.h"
#include "certs/store_view.h"
#include "support/paths.h"

namespace quillbay::app {

using lang::GetLangString;

std::vector<std::string> PickedFiles(const std::string& dialogResult) {
    if (dialogResult.empty()) return {};
    if (dialogResult.find('\0') == std::string::npos) return {dialogResult};

    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const auto at = dialogResult.find('\0', from);
        pieces.push_back(dialogResult.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) break;
        from = at + 1;
    }
    // A drive root ("D:\") already ends in its backslash.
    const std::string folder = WithTrailingBackslash(pieces.front());
    std::vector<std::string> files;
    for (std::size_t i = 1; i < pieces.size(); ++i)
        if (!pieces[i].empty()) files.push_back(folder + pieces[i]);
    return files;
}

void mnuChainManualImport_Click(Main& m) {
    if (AnotherRuns(m)) return;
    BusyWork busy(m);
    try {
        const std::vector<std::string> files = PickedFiles(
            m.ui.OpenFileDialog(GetLangString("MsgBox_ManualImport_SelectFile"),
                                GetLangString("MsgBox_ManualImport_FileFilter"), m.machine.host.AppFolder(),
                                kManualImportDialogFlags));
        if (files.empty()) return;

        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Importing"));
        m.ui.SetBusyCursor(true);
        m.ui.DoEvents();
        const certs::ManualImportOutcome outcome = certs::ImportChainFiles(m.machine, files);
        m.ui.SetBusyCursor(false);

        ScanChainFolder(m);
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
        m.ui.ShowMessage(GetLangString("MsgBox_ManualImport_Complete") + std::to_string(outcome.imported) +
                             GetLangString("MsgBox_ManualImport_Complete_Certs") + std::to_string(outcome.copied) +
                             GetLangString("MsgBox_ManualImport_Complete_Files"),
                         MsgStyle::Information, GetLangString("MsgBox_ManualImport_CompleteTitle"));
        RefreshAllLists(m);
    } catch (...) {
        m.ui.SetBusyCursor(false);
        ReportFailure(m, "mnuChainManualImport_Click", "MsgBox_ManualImport_Error", "MsgBox_ManualImport_Error_Title");
    }
}

void mnuChainViewSystemStore_Click(Main& m) {
    StatusProgress progress(m);
    try {
        certs::OpenSystemStore(m.machine, progress);
    } catch (const Failure& f) {
        m.log.WriteErrorLog("mnuChainViewSystemStore_Click", f.number(),
                            GetLangString("MsgBox_ViewSystemStore_CantOpen") + f.description());
        m.ui.ShowMessage(GetLangString("MsgBox_ViewSystemStore_Failed") + "\r\n" +
                             GetLangString("MsgBox_ViewSystemStore_AdminNeeded"),
                         MsgStyle::Critical, GetLangString("MsgBox_ViewSystemStore_Failed_Title"));
    }
    m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
}

namespace {
constexpr const char* kTlsProfileSetting = "TlsProfile";

void ShowTlsProfile(Main& m) {
    m.ui.SetMenuChecked(Id::mnuChainTlsCompatible, m.tlsProfile == certs::TlsProfile::Compatible);
    m.ui.SetMenuChecked(Id::mnuChainTlsModern, m.tlsProfile == certs::TlsProfile::Modern);
    m.ui.SetMenuChecked(Id::mnuChainTlsUnchanged, m.tlsProfile == certs::TlsProfile::Unchanged);
}
}  // namespace

void LoadTlsProfile(Main& m) {
    const std::optional<std::string> kept = m.machine.host.UserSetting(kTlsProfileSetting);
    const std::optional<certs::TlsProfile> profile = kept ? certs::ProfileNamed(*kept) : std::nullopt;
    m.tlsProfile = profile.value_or(certs::TlsProfile::Compatible);
    ShowTlsProfile(m);
}

void SetTlsProfile(Main& m, certs::TlsProfile profile) {
    m.tlsProfile = profile;
    ShowTlsProfile(m);
    try {
        m.machine.host.SetUserSetting(kTlsProfileSetting, certs::ProfileName(profile));
    } catch (const Failure& f) {
        // The choice holds for this run; the next starts from Compatible.
        m.log.WriteErrorLog("SetTlsProfile", f.number(), f.description());
    }
}

}  // namespace quillbay::app
