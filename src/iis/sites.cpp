#include "iis/sites.h"

#include "iis/appcmd.h"
#include "iis/bindings.h"
#include "lang/store.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

using app::Id;
using lang::GetLangString;

namespace {

void DisableDeployment(app::Main& m) {
    for (Id id : {Id::lstSites, Id::cmdDeploy, Id::mnuToolsSetPort, Id::TxtHttpsPort, Id::chkHttpRedirect,
                  Id::lblHttpsPort})
        m.ui.SetEnabled(id, false);
}

void NoRewriteModule(app::Main& m) {
    m.ui.SetEnabled(Id::chkHttpRedirect, false);
    m.ui.SetCheckValue(Id::chkHttpRedirect, 0);
    m.ui.SetText(Id::chkHttpRedirect, GetLangString("chkHttpRedirect_Caption_no_module"));
    m.m_RewriteModuleInstalled = false;
}

}  // namespace

void PopulateSitesList(app::Main& m) {
    try {
        m.ui.ListClear(Id::lstSites);
        const std::string appcmd = AppcmdPath(m.fs);
        if (!m.fs.FileExists(appcmd)) {
            m.ui.SetText(Id::lblSiteList, GetLangString("lblSiteList_NoIIS"));
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_NoIISFound"));
            DisableDeployment(m);
            m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_NoIIS"));
            return;
        }

        m.ui.SetText(Id::lblStatus, GetLangString("MsgBox_LoadingIIS"));
        m.ui.DoEvents();
        const std::string output = RunHiddenAndCapture(m.shell, m.fs, m.log, ListSiteNamesCommand(appcmd));
        if (TrimBlanks(output).empty()) return;

        for (const std::string& line : Split(output, "\r\n")) {
            const std::string name = TrimBlanks(line);
            if (name.empty()) continue;
            const std::string domains = GetSiteDomains(m, appcmd, name);
            m.ui.ListAdd(Id::lstSites, domains.empty() ? name : name + " " + domains);
        }

        if (m.ui.ListCount(Id::lstSites) > 0) {
            m.ui.ListSetSelected(Id::lstSites, 0, true);
            m.ui.SetEnabled(Id::cmdDeploy, true);
            m.ui.SetEnabled(Id::lstSites, true);
            m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_IISDetected"));
        } else {
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_NoIISFound"));
            DisableDeployment(m);
        }
    } catch (const std::exception& e) {
        const auto* f = dynamic_cast<const Failure*>(&e);
        m.log.WriteErrorLog("PopulateSitesList", f ? f->number() : 0, f ? f->description() : e.what());
        try {
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_ErrorLoadingSites"));
            m.ui.SetEnabled(Id::lstSites, false);
            m.ui.SetEnabled(Id::cmdDeploy, false);
        } catch (...) {
        }
    }
}

bool CheckRewriteModuleInstalled(app::Main& m) {
    try {
        const std::string output = RunHiddenAndCapture(m.shell, m.fs, m.log, kRewriteModuleCommand);
        if (ContainsIgnoreCase(output, "RewriteModule")) {
            m.ui.SetEnabled(Id::chkHttpRedirect, true);
            m.m_RewriteModuleInstalled = true;
        } else {
            NoRewriteModule(m);
        }
    } catch (const std::exception& e) {
        const auto* f = dynamic_cast<const Failure*>(&e);
        m.log.WriteErrorLog("CheckRewriteModuleInstalled", f ? f->number() : 0, f ? f->description() : e.what());
        try {
            NoRewriteModule(m);
        } catch (...) {
        }
    }
    return m.m_RewriteModuleInstalled;
}

}  // namespace quillbay::iis
