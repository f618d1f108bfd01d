// schedule: the daily renewal as a task of the system's scheduler, run as SYSTEM: registered
// from a folder that only administrators may change, shown, or removed.
#include "cli/common.h"
#include "renew/schedule.h"
#include "support/errors.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kProc = "quillbay-cli schedule";

// The folder as the task will name it, or why not: a SYSTEM task imports what is in it, so a
// folder others may change would let them choose what the machine trusts and binds.
std::string FolderOrRefuse(Machine& machine, const Options& o) {
    const std::optional<std::string> folder = renew::AbsoluteFolder(o.from);
    if (!folder) throw Refusal{"from-not-absolute", Say("Cli_Schedule_FromNotAbsolute", {o.from}), kErrorInvalidParameter};
    if (!machine.fs.FolderExists(*folder))
        throw Refusal{"from-missing", Say("Cli_Schedule_FromMissing", {*folder}), kErrorPathNotFound};
    const certs::FolderCheck found = renew::CheckTaskFolder(machine.fs, *folder);
    certs::LogFolderCheck(machine.log, kProc, found);
    if (found.problem == certs::FolderProblem::ReparsePoint)
        throw RefusalOf({certs::Level::Error, certs::Check::FolderReparsePoint, {found.path}});
    if (found.problem == certs::FolderProblem::OthersMayWrite) {
        const std::vector<std::string> commands = certs::RestrictCommands(*folder);
        throw Refusal{"folder-writable", Say("Cli_Schedule_FromWritable", {found.path, commands[0], commands[1]}),
                      kErrorAccessDenied};
    }
    return *folder;
}

// The program the task starts as SYSTEM, and the folder it lives in: a copy others could replace
// would run with the machine's rights. --restrict-folder restricts the program folder first.
std::string ProgramOrRefuse(Machine& machine, Console& console, const Options& o) {
    CheckFolderOrRefuse(machine, console, o);
    const std::string program = machine.host.ExePath(), folder = machine.host.AppFolder();
    certs::FolderCheck found = renew::CheckTaskProgram(machine.fs, program);
    if (found.problem == certs::FolderProblem::OthersMayWrite && o.restrictFolder) {
        try {
            certs::RestrictProgramFolder(machine, kProc, folder);
        } catch (const Failure& f) {
            throw Refusal{"folder-restrict-failed", Say("MsgBox_Folder_RestrictFailed", {folder, f.description()}), f.number()};
        }
        console.Err(Line(Say("Cli_Folder_Restricted", {folder})));
        found = renew::CheckTaskProgram(machine.fs, program);
    }
    certs::LogFolderCheck(machine.log, kProc, found);
    for (const certs::Finding& f : certs::FolderFindings(found, folder))
        if (f.level == certs::Level::Error) throw RefusalOf(f);
    return program;
}

// A run of schtasks that failed other than by finding no task: nothing is known to be done.
Refusal ToolRefusal(const renew::TaskRun& run) {
    return {"schedule-failed",
            Say("Cli_Schedule_Failed", {renew::kTaskName, std::to_string(run.tool.exitCode), run.tool.FirstLine()}),
            run.tool.exitCode};
}

// "task": its name and, when it is registered as a renewal, what it runs and when.
json::Value TaskJson(const renew::TaskDefinition* task, const std::string& command) {
    const auto text = [](bool known, const std::string& value) { return known ? json::Value(value) : json::Value(); };
    return json::Value::Object()
        .Set("name", renew::kTaskName)
        .Set("at", text(task, task ? task->at : ""))
        .Set("from", text(task, task ? task->folder : ""))
        .Set("retireOld", task ? json::Value(task->retireOld) : json::Value())
        .Set("command", text(!command.empty(), command));
}

std::string TaskText(const renew::TaskDefinition& task, const std::string& command) {
    return Line(Say("Cli_Schedule_Registered", {renew::kTaskName, task.at})) +
           Line("  " + Say("Cli_Schedule_Folder", {task.folder})) +
           Line("  " + GetLangString(task.retireOld ? "Cli_Schedule_RetireOld" : "Cli_Schedule_KeepOld")) +
           Line("  " + Say("Cli_Schedule_Command", {command})) + Line(GetLangString("Cli_Schedule_SeeIt"));
}

Outcome Register(Machine& machine, Console& console, const Options& o) {
    const std::string folder = FolderOrRefuse(machine, o);
    const renew::TaskDefinition task{ProgramOrRefuse(machine, console, o), folder, o.at, o.retireOld};
    const renew::TaskRun run = renew::RegisterTask(machine, task);
    if (run.status != renew::TaskStatus::Done) throw ToolRefusal(run);
    Outcome out;
    out.json.Set("registered", true).Set("task", TaskJson(&task, renew::TaskCommandLine(task)));
    out.text = TaskText(task, renew::TaskCommandLine(task));
    return out;
}

// Exit code 1 when no task is registered.
Outcome Show(Machine& machine) {
    const renew::TaskQuery query = renew::QueryTask(machine);
    if (query.run.status == renew::TaskStatus::Failed) throw ToolRefusal(query.run);
    Outcome out;
    const bool registered = query.run.status == renew::TaskStatus::Done;
    const renew::TaskDefinition* task = query.task && query.task->definition ? &*query.task->definition : nullptr;
    const std::string command = query.task ? query.task->command : "";
    out.exitCode = registered ? kDone : 1;
    out.json.Set("registered", registered).Set("task", TaskJson(task, command));
    if (!registered) out.text = Line(Say("Cli_Schedule_NotRegistered", {renew::kTaskName, query.run.tool.FirstLine()}));
    else if (task) out.text = TaskText(*task, command);
    else if (query.task) out.text = Line(Say("Cli_Schedule_Foreign", {renew::kTaskName, command}));
    else
        out.text = Line(Say("Cli_Schedule_Unreadable",
                            {renew::kTaskName, std::to_string(query.unreadable.number), query.unreadable.description}));
    return out;
}

// Exit code 1 when there was no task to remove.
Outcome Remove(Machine& machine) {
    const renew::TaskRun run = renew::DeleteTask(machine);
    if (run.status == renew::TaskStatus::Failed) throw ToolRefusal(run);
    const bool removed = run.status == renew::TaskStatus::Done;
    Outcome out;
    out.exitCode = removed ? kDone : 1;
    out.json.Set("registered", false).Set("removed", removed).Set("task", TaskJson(nullptr, ""));
    out.text = Line(removed ? Say("Cli_Schedule_Removed", {renew::kTaskName})
                            : Say("Cli_Schedule_NothingRemoved", {renew::kTaskName, run.tool.FirstLine()}));
    return out;
}

}  // namespace

Outcome RunSchedule(Machine& machine, Console& console, const Options& o) {
    if (o.action == CommandAction::Show) return Show(machine);
    if (o.action == CommandAction::Remove) return Remove(machine);
    return Register(machine, console, o);
}

}  // namespace quillbay::cli
