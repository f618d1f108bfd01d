#include "update/restart.h"

#include "support/failure.h"
#include "support/paths.h"
#include "support/runner.h"

namespace quillbay::update {

std::string SelfUpdateScript() {
    static constexpr const char* kLines[] = {
        "On Error Resume Next",
        "Dim objShell, zipFile, destFolder, item",
        "Dim zipFilePath, destPath, exeToRunPath, fso",
        "'WScript.Echo \"Update script started. Waiting for main application to close...\"",
        "zipFilePath = WScript.Arguments(0)",
        "destPath = WScript.Arguments(1)",
        "exeToRunPath = WScript.Arguments(2)",
        "WScript.Sleep 3000",
        "'WScript.Echo \"Extracting files from: \" & zipFilePath",
        "Set objShell = CreateObject(\"Shell.Application\")",
        "Set zipFile = objShell.Namespace(zipFilePath)",
        "Set destFolder = objShell.Namespace(destPath)",
        "If IsObject(zipFile) And IsObject(destFolder) Then",
        "    For Each item In zipFile.Items",
        "        destFolder.CopyHere item, 20",
        "    Next",
        "End If",
        "'WScript.Echo \"Update complete. Relaunching application...\"",
        "objShell.ShellExecute exeToRunPath, , , \"runas\", 1",
        "WScript.Sleep 1000",
        "WScript.Echo \"Upgrade successfully...\"",
        "Set fso = CreateObject(\"Scripting.FileSystemObject\")",
        "If fso.FileExists(zipFilePath) Then fso.DeleteFile zipFilePath",
        "If fso.FileExists(WScript.ScriptFullName) Then fso.DeleteFile WScript.ScriptFullName",
    };
    std::string text;
    for (const char* line : kLines) text += std::string(line) + "\r\n";
    return text;
}

// By its full name: without ".exe" the shell would start a Quillbay.com or .pif planted beside it.
std::string ProgramToRelaunch(Host& host) { return host.ExePath(); }

std::string UpdateLaunchLine(const std::string& scriptHost, const std::string& script, const std::string& package,
                             const std::string& programFolder, const std::string& program) {
    auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    return ProgramToken(scriptHost) + " " + quoted(script) + " " + quoted(package) + " " + quoted(programFolder) +
           " " + quoted(program);
}

bool InitiateUpdateAndRestart(Machine& machine, const std::string& zipFilePath) {
    try {
        const std::string program = ProgramToRelaunch(machine.host);
        // Beside the package, in the folder only administrators can write.
        const std::string script = JoinPath(zipFilePath.substr(0, zipFilePath.find_last_of('\\')), "self_update.vbs");
        machine.fs.WriteNewBytes(script, SelfUpdateScript());
        const std::string line = UpdateLaunchLine(SystemProgram(machine.fs, "wscript.exe"), script, zipFilePath,
                                                  machine.host.AppFolder(), program);
        machine.shell.Run(line, WindowStyle::Normal, false);
        return true;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("InitiateUpdateAndRestart", f.number, "VBA error: " + f.description);
        return false;
    }
}

}  // namespace quillbay::update
