#include "support/runner.h"

#include "support/paths.h"

namespace quillbay {

std::string RunHiddenAndCapture(Shell& shell, FileSystem& fs, Log& log, const std::string& command) {
    std::string capture;
    try {
        capture = JoinPath(fs.GetSpecialFolder(2), fs.GetTempName());
        const std::string wrapped = "cmd.exe /c " + command + " > \"" + capture + "\"";
        shell.Run(wrapped, 0, true);
        std::string result;
        if (fs.FileExists(capture)) {
            result = fs.ReadAllText(capture);
            fs.Delete(capture);
        }
        return result;
    } catch (const Failure& f) {
        log.WriteErrorLog("RunHiddenAndCapture", f.number(), f.description());
    } catch (const std::exception& e) {
        log.WriteErrorLog("RunHiddenAndCapture", 0, e.what());
    }
    try {
        if (!capture.empty() && fs.FileExists(capture)) fs.Delete(capture);
    } catch (...) {
    }
    return "";
}

}  // namespace quillbay
