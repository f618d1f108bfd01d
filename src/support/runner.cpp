#include "support/runner.h"

#include <vector>

#include "support/paths.h"
#include "support/text.h"

namespace quillbay {

std::string SystemProgram(FileSystem& fs, const std::string& relative) {
    return JoinPath(fs.GetSpecialFolder(SpecialFolder::System), relative);
}

std::string ProgramToken(const std::string& path) {
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

namespace {

std::vector<std::string> NonBlankLines(const std::string& output) {
    std::vector<std::string> lines;
    for (const std::string& line : Split(output, "\n")) {
        std::string trimmed = line;
        while (!trimmed.empty() && (trimmed.back() == '\r' || trimmed.back() == ' ')) trimmed.pop_back();
        if (!TrimBlanks(trimmed).empty()) lines.push_back(TrimBlanks(trimmed));
    }
    return lines;
}

}  // namespace

std::string ToolRun::FirstLine() const {
    const std::vector<std::string> lines = NonBlankLines(output);
    return lines.empty() ? std::string() : lines.front();
}

int ToolTimeoutSeconds(const std::string& commandLine) {
    static constexpr struct {
        const char* file;
        int seconds;
    } kTools[] = {{"\\certutil.exe", kCertutilTimeoutSeconds}, {"\\iisreset.exe", kIisresetTimeoutSeconds},
                  {"\\appcmd.exe", kAppcmdTimeoutSeconds},     {"\\netsh.exe", kNetshTimeoutSeconds},
                  {"\\reg.exe", kRegTimeoutSeconds},           {"\\schtasks.exe", kSchtasksTimeoutSeconds}};
    // The program is the first token, quoted when it holds a blank.
    const bool quoted = !commandLine.empty() && commandLine[0] == '"';
    const std::size_t end = quoted ? commandLine.find('"', 1) : commandLine.find(' ');
    const std::string program = commandLine.substr(quoted ? 1 : 0, end == std::string::npos ? std::string::npos : end - (quoted ? 1 : 0));
    for (const auto& tool : kTools) {
        const std::string file = tool.file;
        if (program.size() >= file.size() && EqualsIgnoreCase(program.substr(program.size() - file.size()), file))
            return tool.seconds;
    }
    return 0;
}

std::string ToolWords(const std::string& output) {
    const std::vector<std::string> lines = NonBlankLines(output);
    for (const std::string& line : lines)
        if (ContainsIgnoreCase(line, "error") || ContainsIgnoreCase(line, "failed")) return line;
    return lines.empty() ? std::string() : lines.front();
}

std::string WithToolWords(const std::string& record, const std::string& output) {
    const std::string words = ToolWords(output);
    return words.empty() ? record : record + "; the tool said: " + words;
}

ToolRun RunChange(Shell& shell, const std::string& commandLine) {
    ToolRun run;
    try {
        const Captured captured = shell.RunTool(commandLine);
        run = {true, captured.exitCode, captured.output, ""};
    } catch (const Failure& f) {
        run = {false, f.number(), "", f.description()};
    }
    return run;
}

std::string Explained(const std::string& record, const ToolRun& run) {
    return run.started ? WithToolWords(record, run.output) : record + ": " + run.failure;
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
