#include "renew/schedule.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "support/command_line.h"
#include "support/errors.h"
#include "support/paths.h"
#include "support/text.h"

namespace quillbay::renew {

namespace {

constexpr const char* kProc = "ScheduleRenewal";

// Text for an element's content: the five markup characters and the three blanks that an XML
// reader would otherwise change.
std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Element(int depth, const char* name, std::string_view value) {
    return std::string(static_cast<std::size_t>(depth) * 2, ' ') + "<" + name + ">" + Escaped(value) + "</" + name + ">\r\n";
}

std::string StartBoundary(const LocalTime& today, const std::string& at) {
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.year % 10000, today.month % 100, today.day % 100);
    return std::string(date) + "T" + at + ":00";
}

// What the scheduler does besides starting the action: never two runs at once, never held back
// by batteries or idleness, a run that hangs ended after two hours, a missed one made up.
std::string SettingsXml() {
    std::string xml = "  <Settings>\r\n";
    const std::pair<const char*, const char*> settings[] = {
        {"MultipleInstancesPolicy", "IgnoreNew"}, {"DisallowStartIfOnBatteries", "false"},
        {"StopIfGoingOnBatteries", "false"},      {"AllowHardTerminate", "true"},
        {"StartWhenAvailable", "true"},           {"RunOnlyIfNetworkAvailable", "false"},
        {"AllowStartOnDemand", "true"},           {"Enabled", "true"},
        {"Hidden", "false"},                      {"RunOnlyIfIdle", "false"},
        {"WakeToRun", "false"},                   {"ExecutionTimeLimit", "PT2H"},
        {"Priority", "7"},
    };
    for (const auto& [name, value] : settings) xml += Element(2, name, value);
    return xml + "  </Settings>\r\n";
}

bool IsDriveRoot(std::string_view path) {
    const char d = path.size() >= 3 ? path[0] : '\0';
    return ((d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z')) && path[1] == ':' && path[2] == '\\';
}

}  // namespace

std::string TaskArguments(const TaskDefinition& task) {
    return "renew --from " + QuoteArg(task.folder) + (task.retireOld ? " --retire-old" : "");
}

std::string TaskCommandLine(const TaskDefinition& task) { return ProgramToken(task.program) + " " + TaskArguments(task); }

std::string TaskXml(const TaskDefinition& task, const LocalTime& today) {
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           "  <RegistrationInfo>\r\n" +
           Element(2, "Author", "Quillbay") +
           Element(2, "Description", "Renews the server certificate from the files in " + task.folder + " (quillbay-cli renew).") +
           Element(2, "URI", kTaskName) +
           "  </RegistrationInfo>\r\n"
           "  <Triggers>\r\n"
           "    <CalendarTrigger>\r\n" +
           Element(3, "StartBoundary", StartBoundary(today, task.at)) + Element(3, "Enabled", "true") +
           "      <ScheduleByDay>\r\n" + Element(4, "DaysInterval", "1") +
           "      </ScheduleByDay>\r\n"
           "    </CalendarTrigger>\r\n"
           "  </Triggers>\r\n"
           "  <Principals>\r\n"
           "    <Principal id=\"Author\">\r\n" +
           Element(3, "UserId", "S-1-5-18") + Element(3, "RunLevel", "HighestAvailable") +
           "    </Principal>\r\n"
           "  </Principals>\r\n" +
           SettingsXml() +
           "  <Actions Context=\"Author\">\r\n"
           "    <Exec>\r\n" +
           Element(3, "Command", task.program) + Element(3, "Arguments", TaskArguments(task)) +
           "    </Exec>\r\n"
           "  </Actions>\r\n"
           "</Task>\r\n";
}

std::optional<std::string> AbsoluteFolder(std::string_view given) {
    std::string path(given);
    for (char& c : path) c = c == '/' ? '\\' : c;
    for (const unsigned char c : path)
        if (c < 0x20 || std::string_view("<>\"|?*").find(static_cast<char>(c)) != std::string_view::npos) return std::nullopt;
    std::string root;
    std::size_t rest = 0;
    if (IsDriveRoot(path)) {
        root = path.substr(0, 3);
        rest = 3;
    } else if (path.rfind("\\\\", 0) == 0) {
        // \\server\share: both named, the root that ".." cannot leave.
        const std::vector<std::string> parts = Split(std::string_view(path).substr(2), "\\");
        if (parts.size() < 2 || parts[0].empty() || parts[1].empty() || parts[0] == "." || parts[0] == "..") return std::nullopt;
        root = "\\\\" + parts[0] + "\\" + parts[1];
        rest = root.size();
    } else {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const std::string& name : Split(std::string_view(path).substr(rest), "\\")) {
        if (name.empty() || name == ".") continue;
        if (name.find(':') != std::string::npos) return std::nullopt;
        if (name != "..") names.push_back(name);
        else if (names.empty()) return std::nullopt;
        else names.pop_back();
    }
    for (const std::string& name : names) root = JoinPath(root, name);
    return root;
}

RegisteredTask ReadTaskXml(XmlReader& reader, const std::string& text) {
    // The text came through the code page of the tool's output, not as the UTF-16 it declares;
    // given back in UTF-16, the declaration holds again.
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    const XmlElement root = reader.Parse(Utf16LeWithBom(start == std::string::npos ? "" : text.substr(start)));
    const XmlElement* task = root.name == "Tasks" ? root.Child("Task") : root.name == "Task" ? &root : nullptr;
    const XmlElement* exec = task ? task->Find("Actions/Exec") : nullptr;
    RegisteredTask found;
    if (!exec) return found;
    const XmlElement* command = exec->Child("Command");
    const XmlElement* arguments = exec->Child("Arguments");
    TaskDefinition definition{command ? command->text : "", "", "", false};
    const std::string line = arguments ? arguments->text : "";
    if (!definition.program.empty()) found.command = ProgramToken(definition.program) + (line.empty() ? "" : " " + line);

    const std::vector<std::string> words = SplitArguments(line);
    bool renewal = !words.empty() && words[0] == "renew";
    for (std::size_t i = 1; renewal && i < words.size(); ++i) {
        if (words[i] == "--from" && i + 1 < words.size()) definition.folder = words[++i];
        else if (words[i] == "--retire-old") definition.retireOld = true;
        else renewal = false;
    }
    const XmlElement* boundary = task->Find("Triggers/CalendarTrigger/StartBoundary");
    const std::string when = boundary ? boundary->text : "";
    if (when.size() >= 16 && when[10] == 'T' && when[13] == ':') definition.at = when.substr(11, 5);
    if (renewal && !definition.program.empty() && !definition.folder.empty() && !definition.at.empty())
        found.definition = std::move(definition);
    return found;
}

certs::FolderCheck CheckTaskFolder(FileSystem& fs, const std::string& folder) {
    return certs::CheckProgramFolder(fs, folder, JoinPath(folder, "chain"),
                                     {JoinPath(folder, "fullchain.pfx"), JoinPath(folder, "password.txt")});
}

certs::FolderCheck CheckTaskProgram(FileSystem& fs, const std::string& program) {
    const PathAccess access = fs.Access(program);
    if (access.reparsePoint) return {certs::FolderProblem::ReparsePoint, program, {}};
    if (access.othersMayWrite) return {certs::FolderProblem::OthersMayWrite, program, {}};
    return {};
}

std::string TaskFilePath(Host& host) { return JoinPath(host.AppFolder(), "quillbay-renew-task.xml"); }

std::string CreateTaskCommand(FileSystem& fs, const std::string& xmlPath) {
    return ProgramToken(SystemProgram(fs, "schtasks.exe")) + " /Create /TN " + QuoteArg(kTaskName) + " /XML " + QuoteArg(xmlPath) +
           " /F";
}

std::string QueryTaskCommand(FileSystem& fs) {
    return ProgramToken(SystemProgram(fs, "schtasks.exe")) + " /Query /TN " + QuoteArg(kTaskName) + " /XML ONE";
}

std::string DeleteTaskCommand(FileSystem& fs) {
    return ProgramToken(SystemProgram(fs, "schtasks.exe")) + " /Delete /TN " + QuoteArg(kTaskName) + " /F";
}

namespace {

// Runs one schtasks line and judges it; every failure is logged with the tool's first line.
TaskRun RunSchtasks(Machine& machine, const std::string& line, bool absentIsFailure) {
    TaskRun run;
    run.tool = RunHiddenAndCapture(machine.shell, machine.log, line);
    run.status = run.tool.Succeeded()                                            ? TaskStatus::Done
                 : run.tool.started && run.tool.exitCode == 1 && !absentIsFailure ? TaskStatus::Absent
                                                                                 : TaskStatus::Failed;
    if (run.status == TaskStatus::Failed && run.tool.started)
        machine.log.WriteErrorLog(kProc, run.tool.exitCode, "schtasks failed: " + run.tool.FirstLine() + " (" + line + ")");
    return run;
}

}  // namespace

TaskRun RegisterTask(Machine& machine, const TaskDefinition& task) {
    const std::string path = TaskFilePath(machine.host);
    // A file left by a run that ended before it could delete it: the folder is the administrators'.
    if (machine.fs.FileExists(path)) machine.fs.Delete(path);
    machine.fs.WriteNewBytes(path, Utf16LeWithBom(TaskXml(task, machine.clock.Now())));
    const TaskRun run = RunSchtasks(machine, CreateTaskCommand(machine.fs, path), true);
    try {
        machine.fs.Delete(path);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog(kProc, f.number(), "The task's definition could not be deleted: " + path + ": " + f.description());
    }
    if (run.status == TaskStatus::Done)
        machine.log.WriteLog(kProc, std::string("Registered ") + kTaskName + ", daily at " + task.at + " as SYSTEM: " +
                                        TaskCommandLine(task));
    return run;
}

TaskQuery QueryTask(Machine& machine) {
    TaskQuery query;
    query.run = RunSchtasks(machine, QueryTaskCommand(machine.fs), false);
    if (query.run.status != TaskStatus::Done) return query;
    try {
        query.task = ReadTaskXml(machine.xml, query.run.tool.output);
    } catch (const Failure& f) {
        query.unreadable = {f.number(), f.description()};
        machine.log.WriteErrorLog(kProc, f.number(), std::string("The definition of ") + kTaskName + " could not be read: " +
                                                         f.description());
    }
    return query;
}

TaskRun DeleteTask(Machine& machine) {
    const TaskRun run = RunSchtasks(machine, DeleteTaskCommand(machine.fs), false);
    if (run.status == TaskStatus::Done) machine.log.WriteLog(kProc, std::string("Deleted ") + kTaskName);
    return run;
}

}  // namespace quillbay::renew
