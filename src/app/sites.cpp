// The site list, its click rule and the redirect check box.
#include "app/handlers.h"
#include "app/report.h"
#include "iis/sites.h"

namespace quillbay::app {

using lang::GetLangString;

namespace {

void DisableDeployment(Ui& ui) {
    for (Id id : {Id::lstSites, Id::cmdDeploy, Id::mnuToolsSetPort, Id::mnuToolsVerify, Id::mnuToolsRenew,
                  Id::TxtHttpsPort, Id::chkHttpRedirect, Id::lblHttpsPort})
        ui.SetEnabled(id, false);
}

void NoRewriteModule(Main& m) {
    m.ui.SetEnabled(Id::chkHttpRedirect, false);
    m.ui.SetCheckValue(Id::chkHttpRedirect, CheckState::Unchecked);
    m.ui.SetText(Id::chkHttpRedirect, GetLangString("chkHttpRedirect_Caption_no_module"));
    m.m_RewriteModuleInstalled = false;
}

}  // namespace

void PopulateSitesList(Main& m) {
    try {
        m.ui.ListClear(Id::lstSites);
        m.sites.clear();
        StatusProgress progress(m);
        const iis::SiteList list = iis::ListSites(m.machine, progress);
        if (list.status == iis::SiteListStatus::NoIis) {
            m.ui.SetText(Id::lblSiteList, GetLangString("lblSiteList_NoIIS"));
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_NoIISFound"));
            DisableDeployment(m.ui);
            m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_NoIIS"));
            return;
        }
        if (list.status == iis::SiteListStatus::NoOutput) return;

        for (const iis::Site& site : list.sites) {
            m.ui.ListAdd(Id::lstSites, iis::SiteListText(site));
            m.sites.push_back(site);
        }
        if (m.ui.ListCount(Id::lstSites) > 0) {
            m.ui.ListSetSelected(Id::lstSites, 0, true);
            m.ui.SetEnabled(Id::cmdDeploy, true);
            m.ui.SetEnabled(Id::lstSites, true);
            m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_IISDetected"));
        } else {
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_NoIISFound"));
            DisableDeployment(m.ui);
        }
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        m.log.WriteErrorLog("PopulateSitesList", f.number, f.description);
        try {
            m.ui.ListAdd(Id::lstSites, GetLangString("MsgBox_ErrorLoadingSites"));
            m.ui.SetEnabled(Id::lstSites, false);
            m.ui.SetEnabled(Id::cmdDeploy, false);
        } catch (...) {
        }
    }
}

bool CheckRewriteModuleInstalled(Main& m) {
    try {
        if (iis::IsRewriteModuleInstalled(m.machine)) {
            m.ui.SetEnabled(Id::chkHttpRedirect, true);
            m.m_RewriteModuleInstalled = true;
        } else {
            NoRewriteModule(m);
        }
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        m.log.WriteErrorLog("CheckRewriteModuleInstalled", f.number, f.description);
        try {
            NoRewriteModule(m);
        } catch (...) {
        }
    }
    return m.m_RewriteModuleInstalled;
}

void lstSites_Click(Main& m) {
    // Below IIS 8 one certificate serves one address and port: one site at a time.
    if (!m.started || m.m_IsIIS8OrGreater) return;
    try {
        const int count = m.ui.ListCount(Id::lstSites);
        const int clicked = m.ui.ListIndex(Id::lstSites);
        if (count == 0 || clicked < 0) return;
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

}  // namespace quillbay::app
