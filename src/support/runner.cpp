#include "support/runner.h"

#include "support/paths.h"

namespace quillbay {

std::string RunHiddenAndCapture(Shell& shell, FileSystem& fs, Log& log, const std::string& command) {
    std::string capture;
    try {
        capture = JoinPath(fs.GetSpecialFolder(SpecialFolder::Temporary), fs.GetTempName());
        const std::string wrapped = "cmd.exe /c " + command + " > \"" + capture + "\"";
        shell.Run(wrapped, WindowStyle::Hidden, true);
        std::string result;
        if (fs.FileExists(capture)) {
            result = fs.ReadAllText(capture);
            fs.Delete(capture);
        }
        return result;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        log.WriteErrorLog("RunHiddenAndCapture", f.number, f.description);
    }
    try {
        if (!capture.empty() && fs.FileExists(capture)) fs.Delete(capture);
    } catch (...) {
    }
    return "";
}

}  // namespace quillbay
