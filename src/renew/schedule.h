#pragma once
// The daily renewal as a task of the system's scheduler: its definition, the XML the scheduler
// registers it from, what a query of the registered task says, and the three runs of the
// system's schtasks.exe that register, query and delete it.
#include <optional>
#include <string>
#include <string_view>

#include "certs/folder_check.h"
#include "support/machine.h"
#include "support/runner.h"

namespace quillbay::renew {

inline constexpr const char* kTaskName = "\\Quillbay\\Renew";

struct TaskDefinition {
    std::string program;       // full path of the console program the task starts
    std::string folder;        // the folder renew takes the new files from, absolute
    std::string at = "03:00";  // daily, local time, HH:MM
    bool retireOld = false;
};

// renew --from "FOLDER" [--retire-old]
std::string TaskArguments(const TaskDefinition& task);
// The program and its arguments as one command line.
std::string TaskCommandLine(const TaskDefinition& task);
// The definition as the scheduler's XML (schema 1.2), UTF-8 text that declares UTF-16: SYSTEM
// with its highest privileges and no interactive token, daily at the time from today on, ended
// when it runs too long, made up after a start-up that missed it.
std::string TaskXml(const TaskDefinition& task, const LocalTime& today);

// The path as an absolute folder ("D:\Certificates", "\\server\share\x"): slashes as
// backslashes, "." and ".." resolved, no trailing backslash but a drive root's. None for a
// relative path, one that climbs above its root, or one with characters no path holds.
std::optional<std::string> AbsoluteFolder(std::string_view path);

// What the scheduler holds under the task's name.
struct RegisteredTask {
    std::string command;                       // the action's program and arguments, "" when it has none
    std::optional<TaskDefinition> definition;  // when the action is a renewal as TaskXml writes it
};
// Reads a definition as a query prints it: the task alone or inside <Tasks>. A document the
// reader refuses throws its Failure.
RegisteredTask ReadTaskXml(XmlReader& reader, const std::string& text);

// The folder a SYSTEM task takes its files from, checked as the program folder is: a junction,
// or rights that let others change it, chain\, backup\, fullchain.pfx or password.txt.
certs::FolderCheck CheckTaskFolder(FileSystem& fs, const std::string& folder);
// The program a SYSTEM task starts: a junction or link, or rights that let others replace it.
certs::FolderCheck CheckTaskProgram(FileSystem& fs, const std::string& program);

// How a run of schtasks went: Done (exit code 0), Absent (1: among its errors, no such task),
// Failed (not started, or any other code).
enum class TaskStatus { Done, Absent, Failed };
struct TaskRun {
    TaskStatus status = TaskStatus::Failed;
    ToolRun tool;
};
struct TaskQuery {
    TaskRun run;
    std::optional<RegisteredTask> task;  // Done, and its definition readable
    FailureInfo unreadable;              // Done, but the reader refused the definition
};

// Where the definition is written for schtasks to read: the program folder, which only
// administrators may change (a file in the temporary folder could be swapped before it is read).
std::string TaskFilePath(Host& host);
std::string CreateTaskCommand(FileSystem& fs, const std::string& xmlPath);
std::string QueryTaskCommand(FileSystem& fs);
std::string DeleteTaskCommand(FileSystem& fs);

// Registers the task (in place of one of that name) from its XML file, deleted afterwards; its
// exit code decides (any code but 0 is a failure). Failures of the file are thrown.
TaskRun RegisterTask(Machine& machine, const TaskDefinition& task);
TaskQuery QueryTask(Machine& machine);
TaskRun DeleteTask(Machine& machine);

}  // namespace quillbay::renew
