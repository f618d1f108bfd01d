// The command dispatch and the small commands: Exit, About, Set Port.
#include "app/handlers.h"
#include "app/report.h"
#include "iis/deploy.h"
#include "update/check.h"

namespace quillbay::app {

using lang::GetLangString;

void OnCommand(Main& m, Id id) {
    if (!m.started) return;
    try {
        switch (id) {
        case Id::cmdImport: cmdImport_Click(m); break;
        case Id::cmdDeploy: cmdDeploy_Click(m); break;
        case Id::mnuFileExit: mnuFileExit_Click(m); break;
        case Id::mnuChainManualImport: mnuChainManualImport_Click(m); break;
        case Id::mnuChainViewSystemStore: mnuChainViewSystemStore_Click(m); break;
        case Id::mnuToolsSetPort: mnuToolsSetPort_Click(m); break;
        case Id::mnuToolsVerify: mnuToolsVerify_Click(m); break;
        case Id::mnuToolsRenew: mnuToolsRenew_Click(m); break;
        case Id::mnuChainTlsCompatible: SetTlsProfile(m, certs::TlsProfile::Compatible); break;
        case Id::mnuChainTlsModern: SetTlsProfile(m, certs::TlsProfile::Modern); break;
        case Id::mnuChainTlsUnchanged: SetTlsProfile(m, certs::TlsProfile::Unchanged); break;
        case Id::mnuLanguageEnglish: SetLanguage(m, lang::kEnglish); break;
        case Id::mnuLanguageSimplifiedChinese: SetLanguage(m, lang::kSimplifiedChinese); break;
        case Id::mnuLanguageTraditionalChinese: SetLanguage(m, lang::kTraditionalChinese); break;
        case Id::mnuHelpAbout: mnuHelpAbout_Click(m); break;
        case Id::mnuHelpCheckUpdate: mnuHelpCheckUpdate_Click(m); break;
        case Id::lstSites: lstSites_Click(m); break;
        default: break;
        }
    } catch (...) {
        // Last line of defence for handlers that keep no failure handling of their own.
        ReportUnhandled(m, "OnCommand");
    }
}

std::string VersionText(Main& m) { return update::OwnVersionText(m.machine.host); }

void mnuFileExit_Click(Main& m) { m.ui.Close(); }

void mnuHelpAbout_Click(Main& m) {
    m.ui.ShowMessage(GetLangString("Main_Caption") + "\r\n\r\n" + GetLangString("MsgBox_About_Version") +
                         VersionText(m) + "\r\n" + GetLangString("MsgBox_About_Description"),
                     MsgStyle::Information, GetLangString("MsgBox_About_Title"));
}

void mnuToolsSetPort_Click(Main& m) {
    const std::optional<std::string> answer =
        m.ui.InputBox(GetLangString("MsgBox_SetPort_InputPrompt"), GetLangString("MsgBox_SetPort_InputTitle"),
                      m.ui.Text(Id::TxtHttpsPort));
    if (!answer || answer->empty()) return;
    const std::optional<std::string> port = iis::ParsePort(*answer);
    if (!port) {
        m.ui.ShowMessage(GetLangString("MsgBox_SetPort_InvalidPort"), MsgStyle::Critical,
                         GetLangString("MsgBox_SetPort_InvalidPort_Title"));
        return;
    }
    m.ui.SetText(Id::TxtHttpsPort, *port);
    m.ui.ShowMessage(GetLangString("MsgBox_SetPort_UpdateSuccess") + m.ui.Text(Id::TxtHttpsPort),
                     MsgStyle::Information, GetLangString("MsgBox_SetPort_UpdateSuccess_Title"));
}

}  // namespace quillbay::app
