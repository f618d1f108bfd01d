#include "certs/store_view.h"

#include "lang/store.h"

namespace quillbay::certs {

using app::Id;
using lang::GetLangString;

namespace {

constexpr const char* kProcedure = "mnuChainViewSystemStore_Click";

void ShowStatus(app::Main& m, const std::string& text) {
    m.ui.SetText(Id::lblStatus, text);
    m.ui.DoEvents();
}

void CannotOpen(app::Main& m, const Failure& f) {
    m.log.WriteErrorLog(kProcedure, f.number(), GetLangString("MsgBox_ViewSystemStore_CantOpen") + f.description());
    m.ui.ShowMessage(GetLangString("MsgBox_ViewSystemStore_Failed") + "\r\n" +
                        GetLangString("MsgBox_ViewSystemStore_AdminNeeded"),
                    app::kCritical, GetLangString("MsgBox_ViewSystemStore_Failed_Title"));
}

}  // namespace

void mnuChainViewSystemStore_Click(app::Main& m) {
    try {
        ShowStatus(m, GetLangString("MsgBox_ViewSystemStore_Trying"));
        try {
            m.shell.Run("certlm.msc", 1, false);
        } catch (const Failure& first) {
            m.log.WriteErrorLog(kProcedure, first.number(), "certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。");
            ShowStatus(m, GetLangString("MsgBox_ViewSystemStore_Fallback"));
            m.shell.Run("certmgr.msc", 1, false);
        }
    } catch (const Failure& f) {
        CannotOpen(m, f);
    }
    m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
}

}  // namespace quillbay::certs
