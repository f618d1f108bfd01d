#include "certs/store_view.h"

#include "support/command_line.h"
#include "support/errors.h"
#include "support/runner.h"

namespace quillbay::certs {

namespace {

// The console file is opened by the system's console host, both named by full path; the
// file is looked for first, since the host starts even for a file that is not there.
void OpenConsole(Machine& machine, const std::string& consoleFile) {
    const std::string path = SystemProgram(machine.fs, consoleFile);
    if (!machine.fs.FileExists(path)) throw Failure(kHresultFileNotFound, "The console file is not there: " + path);
    machine.shell.Run(ProgramToken(SystemProgram(machine.fs, "mmc.exe")) + " " + QuoteArg(path), WindowStyle::Normal,
                      false);
}

}  // namespace

StoreConsole OpenSystemStore(Machine& machine, Progress& progress) {
    progress.Report({"MsgBox_ViewSystemStore_Trying"});
    try {
        OpenConsole(machine, "certlm.msc");
        return StoreConsole::LocalMachine;
    } catch (const Failure& first) {
        machine.log.WriteErrorLog("mnuChainViewSystemStore_Click", first.number(),
                                  "certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。");
    }
    progress.Report({"MsgBox_ViewSystemStore_Fallback"});
    OpenConsole(machine, "certmgr.msc");
    return StoreConsole::CurrentUser;
}

}  // namespace quillbay::certs
