#include "app/handlers.h"

#include "app/port_input.h"
#include "certs/chain_scan.h"
#include "certs/import.h"
#include "certs/manual_import.h"
#include "certs/store_view.h"
#include "iis/sites.h"
#include "iis/version.h"
#include "lang/store.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

std::int32_t NumberOf(const std::exception& e) {
    const auto* f = dynamic_cast<const Failure*>(&e);
    return f ? f->number() : 0;
}
std::string DescriptionOf(const std::exception& e) {
    const auto* f = dynamic_cast<const Failure*>(&e);
    return f ? f->description() : std::string(e.what());
}

}  // namespace

static void Dispatch(Main& m, Id id);

bool Form_Load(Main& m) {
    try {
        m.m_IsIIS8OrGreater = iis::IsIIS8OrGreater(m);
        lang::InitLanguageFromSystem(m.host.UserUILanguage());
        ApplyLanguage(m);
        RefreshAllLists(m);
        return true;
    } catch (const std::exception& e) {
        const std::string description = DescriptionOf(e);
        m.log.WriteErrorLog("Form_Load", NumberOf(e), description);
        m.ui.ShowMessage(GetLangString("MsgBox_InitError") + description, kCritical,
                        GetLangString("MsgBox_InitError_Title"));
        m.ui.Close();
        return false;
    }
}

void RefreshAllLists(Main& m) {
    certs::ScanChainFolder(m);
    iis::PopulateSitesList(m);
    iis::CheckRewriteModuleInstalled(m);
}

void ApplyLanguage(Main& m) {
    Ui& ui = m.ui;
    ui.SetText(Id::Main, GetLangString("Main_Caption"));
    ui.SetText(Id::cmdDeploy, GetLangString("cmdDeploy_Caption"));
    ui.SetText(Id::cmdImport, GetLangString("cmdImport_Caption"));
    ui.SetText(Id::chkHttpRedirect, GetLangString("chkHttpRedirect_Caption"));
    ui.SetText(Id::lblHttpsPort, GetLangString("lblHttpsPort_Caption"));
    ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
    ui.SetText(Id::lblSiteList, GetLangString("lblSiteList_Caption") +
                                    GetLangString(m.m_IsIIS8OrGreater ? "lblSiteList_Caption_Multi"
                                                                      : "lblSiteList_Caption_One"));
    ui.SetText(Id::lblCertList, GetLangString("lblCertList_Caption"));
    ui.SetText(Id::mnuFile, GetLangString("mnuFile_Caption"));
    ui.SetText(Id::mnuFileExit, GetLangString("mnuFileExit_Caption"));
    ui.SetText(Id::mnuChain, GetLangString("mnuChain_Caption"));
    ui.SetText(Id::mnuChainManualImport, GetLangString("mnuChainManualImport_Caption"));
    ui.SetText(Id::mnuChainViewSystemStore, GetLangString("mnuChainViewSystemStore_Caption"));
    ui.SetText(Id::mnuTools, GetLangString("mnuTools_Caption"));
    ui.SetText(Id::mnuToolsSetPort, GetLangString("mnuToolsSetPort_Caption"));
    ui.SetText(Id::mnuHelp, GetLangString("mnuHelp_Caption"));
    ui.SetText(Id::mnuHelpAbout, GetLangString("mnuHelpAbout_Caption"));
    ui.SetText(Id::mnuHelpCheckUpdate, GetLangString("mnuHelpCheckUpdate_Caption"));
    ui.SetText(Id::mnuLanguage, GetLangString("mnuLanguage_Caption"));
    ui.SetText(Id::mnuLanguageEnglish, GetLangString("mnuLanguageEnglish_Caption"));
    ui.SetText(Id::mnuLanguageSimplifiedChinese, GetLangString("mnuLanguageSimplifiedChinese_Caption"));
    ui.SetText(Id::mnuLanguageTraditionalChinese, GetLangString("mnuLanguageTraditionalChinese_Caption"));

    const lang::LanguageId current = lang::GetCurrentLanguage();
    if (current >= lang::kEnglish && current <= lang::kTraditionalChinese) {
        ui.SetMenuChecked(Id::mnuLanguageEnglish, current == lang::kEnglish);
        ui.SetMenuChecked(Id::mnuLanguageSimplifiedChinese, current == lang::kSimplifiedChinese);
        ui.SetMenuChecked(Id::mnuLanguageTraditionalChinese, current == lang::kTraditionalChinese);
    }
}

void SetLanguage(Main& m, lang::LanguageId id) {
    lang::SetCurrentLanguage(id);
    ApplyLanguage(m);
}

void lstSites_Click(Main& m) {
    try {
        if (m.m_IsIIS8OrGreater) return;
        const int count = m.ui.ListCount(Id::lstSites);
        if (count == 0) return;
        const int clicked = m.ui.ListIndex(Id::lstSites);
        if (clicked < 0) return;
        for (int i = 0; i < count; ++i) {
            if (i == clicked) continue;
            try {
                m.ui.ListSetSelected(Id::lstSites, i, false);
            } catch (...) {
            }
        }
    } catch (...) {
        // A click must never break the window.
    }
}

std::string VersionText(Main& m) {
    const std::vector<int> v = m.host.OwnVersion();
    auto part = [&](std::size_t i) { return i < v.size() ? v[i] : 0; };
    // The record holds major.minor.0.revision; users see major.minor.revision.
    return std::to_string(part(0)) + "." + std::to_string(part(1)) + "." + std::to_string(part(3));
}

void mnuFileExit_Click(Main& m) { m.ui.Close(); }

void mnuHelpAbout_Click(Main& m) {
    m.ui.ShowMessage(GetLangString("Main_Caption") + "\r\n\r\n" + GetLangString("MsgBox_About_Version") +
                        VersionText(m) + "\r\n" + GetLangString("MsgBox_About_Description"),
                    kInformation, GetLangString("MsgBox_About_Title"));
}

void mnuToolsSetPort_Click(Main& m) {
    const std::optional<std::string> answer =
        m.ui.InputBox(GetLangString("MsgBox_SetPort_InputPrompt"), GetLangString("MsgBox_SetPort_InputTitle"),
                      m.ui.Text(Id::TxtHttpsPort));
    if (!answer || answer->empty()) return;
    const std::optional<std::string> port = ParsePort(*answer);
    if (!port) {
        m.ui.ShowMessage(GetLangString("MsgBox_SetPort_InvalidPort"), kCritical,
                        GetLangString("MsgBox_SetPort_InvalidPort_Title"));
        return;
    }
    m.ui.SetText(Id::TxtHttpsPort, *port);
    m.ui.ShowMessage(GetLangString("MsgBox_SetPort_UpdateSuccess") + m.ui.Text(Id::TxtHttpsPort), kInformation,
                    GetLangString("MsgBox_SetPort_UpdateSuccess_Title"));
}

void OnCommand(Main& m, Id id) {
    try {
        Dispatch(m, id);
    } catch (const std::exception& e) {
        // Last line of defence for handlers that keep no failure handling of their own.
        const std::string description = DescriptionOf(e);
        m.log.WriteErrorLog("OnCommand", NumberOf(e), description);
        m.ui.ShowMessage(description, kCritical, GetLangString("Main_Caption"));
    }
}

static void Dispatch(Main& m, Id id) {
    switch (id) {
        case Id::cmdImport: certs::cmdImport_Click(m); break;
        case Id::mnuFileExit: mnuFileExit_Click(m); break;
        case Id::mnuChainManualImport: certs::mnuChainManualImport_Click(m); break;
        case Id::mnuChainViewSystemStore: certs::mnuChainViewSystemStore_Click(m); break;
        case Id::mnuToolsSetPort: mnuToolsSetPort_Click(m); break;
        case Id::mnuLanguageEnglish: SetLanguage(m, lang::kEnglish); break;
        case Id::mnuLanguageSimplifiedChinese: SetLanguage(m, lang::kSimplifiedChinese); break;
        case Id::mnuLanguageTraditionalChinese: SetLanguage(m, lang::kTraditionalChinese); break;
        case Id::mnuHelpAbout: mnuHelpAbout_Click(m); break;
        case Id::lstSites: lstSites_Click(m); break;
        default: break;  // deployment and updates are not part of this build yet
    }
}

}  // namespace quillbay::app
