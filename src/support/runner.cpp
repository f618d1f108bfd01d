#include "support/runner.h"

#include "support/paths.h"
#include "support/text.h"

namespace quillbay {

std::string SystemProgram(FileSystem& fs, const std::string& relative) {
    return JoinPath(fs.GetSpecialFolder(SpecialFolder::System), relative);
}

std::string ProgramToken(const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

std::string ToolRun::FirstLine() const {
    for (const std::string& line : Split(output, "\n")) {
        std::string trimmed = line;
        while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == ' ')) trimmed.pop_back();
        if (!TrimBlanks(trimmed).empty()) return TrimBlanks(trimmed);
    }
    return "";
}

ToolRun RunHiddenAndCapture(Shell& shell, Log& log, const std::string& commandLine) {
    ToolRun run;
    try {
        const Captured captured = shell.RunAndCapture(commandLine);
        run.started = true;
        run.exitCode = captured.exitCode;
        run.output = captured.output;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        run.exitCode = f.number;
        log.WriteErrorLog("RunHiddenAndCapture", f.number, f.description + " (" + commandLine + ")");
    }
    return run;
}

}  // namespace quillbay
