#include "certs/store_view.h"

namespace quillbay::certs {

StoreConsole OpenSystemStore(Machine& machine, Progress& progress) {
    progress.Report({"MsgBox_ViewSystemStore_Trying"});
    try {
        machine.shell.Run("certlm.msc", WindowStyle::Normal, false);
        return StoreConsole::LocalMachine;
    } catch (const Failure& first) {
        machine.log.WriteErrorLog("mnuChainViewSystemStore_Click", first.number(),
                                  "certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。");
    }
    progress.Report({"MsgBox_ViewSystemStore_Fallback"});
    machine.shell.Run("certmgr.msc", WindowStyle::Normal, false);
    return StoreConsole::CurrentUser;
}

}  // namespace quillbay::certs
