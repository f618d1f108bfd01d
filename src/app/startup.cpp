// Start-up, the lists' refresh and the window's captions.
#include "app/handlers.h"
#include "app/report.h"
#include "iis/version.h"

namespace quillbay::app {

using lang::GetLangString;

bool Form_Load(Main& m) {
    try {
        m.m_IsIIS8OrGreater = iis::IsIIS8OrGreater(iis::DetectIisVersion(m.machine));
        lang::InitLanguageFromSystem(m.machine.host.UserUILanguage());
        ApplyLanguage(m);
        LoadTlsProfile(m);
        // First shown with the chosen language's captions; the lists fill while it is up.
        m.ui.Show();
        RefreshAllLists(m);
        m.started = true;
        return true;
    } catch (...) {
        ReportFailure(m, "Form_Load", "MsgBox_InitError", "MsgBox_InitError_Title");
        m.ui.Close();
        return false;
    }
}

void RefreshAllLists(Main& m) {
    ScanChainFolder(m);
    PopulateSitesList(m);
    CheckRewriteModuleInstalled(m);
}

void ApplyLanguage(Main& m) {
    struct Caption {
        Id id;
        const char* key;
    };
    static constexpr Caption kCaptions[] = {
        {Id::Main, "Main_Caption"},
        {Id::cmdDeploy, "cmdDeploy_Caption"},
        {Id::cmdImport, "cmdImport_Caption"},
        {Id::chkHttpRedirect, "chkHttpRedirect_Caption"},
        {Id::lblHttpsPort, "lblHttpsPort_Caption"},
        {Id::lblStatus, "lblStatus_Ready"},
        {Id::lblSiteList, nullptr},
        {Id::lblCertList, "lblCertList_Caption"},
        {Id::mnuFile, "mnuFile_Caption"},
        {Id::mnuFileExit, "mnuFileExit_Caption"},
        {Id::mnuChain, "mnuChain_Caption"},
        {Id::mnuChainManualImport, "mnuChainManualImport_Caption"},
        {Id::mnuChainViewSystemStore, "mnuChainViewSystemStore_Caption"},
        {Id::mnuChainTls, "mnuChainTls_Caption"},
        {Id::mnuChainTlsCompatible, "mnuChainTlsCompatible_Caption"},
        {Id::mnuChainTlsModern, "mnuChainTlsModern_Caption"},
        {Id::mnuChainTlsUnchanged, "mnuChainTlsUnchanged_Caption"},
        {Id::mnuTools, "mnuTools_Caption"},
        {Id::mnuToolsSetPort, "mnuToolsSetPort_Caption"},
        {Id::mnuToolsVerify, "mnuToolsVerify_Caption"},
        {Id::mnuToolsRenew, "mnuToolsRenew_Caption"},
        {Id::mnuHelp, "mnuHelp_Caption"},
        {Id::mnuHelpAbout, "mnuHelpAbout_Caption"},
        {Id::mnuHelpCheckUpdate, "mnuHelpCheckUpdate_Caption"},
        {Id::mnuLanguage, "mnuLanguage_Caption"},
        {Id::mnuLanguageEnglish, "mnuLanguageEnglish_Caption"},
        {Id::mnuLanguageSimplifiedChinese, "mnuLanguageSimplifiedChinese_Caption"},
        {Id::mnuLanguageTraditionalChinese, "mnuLanguageTraditionalChinese_Caption"},
    };
    for (const Caption& c : kCaptions) {
        if (c.key) {
            m.ui.SetText(c.id, GetLangString(c.key));
        } else {
            // The site list's heading says whether several sites may be selected.
            m.ui.SetText(c.id, GetLangString("lblSiteList_Caption") +
                                   GetLangString(m.m_IsIIS8OrGreater ? "lblSiteList_Caption_Multi"
                                                                     : "lblSiteList_Caption_One"));
        }
    }

    const lang::LanguageId current = lang::GetCurrentLanguage();
    if (current >= lang::kEnglish && current <= lang::kTraditionalChinese) {
        m.ui.SetMenuChecked(Id::mnuLanguageEnglish, current == lang::kEnglish);
        m.ui.SetMenuChecked(Id::mnuLanguageSimplifiedChinese, current == lang::kSimplifiedChinese);
        m.ui.SetMenuChecked(Id::mnuLanguageTraditionalChinese, current == lang::kTraditionalChinese);
    }
}

void SetLanguage(Main& m, lang::LanguageId id) {
    lang::SetCurrentLanguage(id);
    ApplyLanguage(m);
}

}  // namespace quillbay::app
