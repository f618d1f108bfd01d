#pragma once
// The console program's commands over the same work as the window, one file each (status.cpp,
// check.cpp, import.cpp, deploy.cpp, verify.cpp, schedule.cpp). Each returns its exit code with
// its result twice: as members of the JSON document and as text for a person.
#include <string>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/json.h"
#include <optional>

#include "support/events.h"
#include "support/machine.h"
#include "support/verdict.h"

namespace quillbay::cli {

enum ExitCode : int {
    kDone = 0,         // everything done; check: no warning
    kPartlyDone = 1,   // something failed (counted); check: warnings only
    kNothingDone = 2,  // refused or nothing succeeded; check: errors
};
// The exit code that tells the work's verdict: the same judgement the window shows as its box.
ExitCode ExitCodeOf(Verdict verdict);

struct Outcome {
    int exitCode = kDone;
    json::Value json = json::Value::Object();  // the command's members of the document
    std::string text;                          // lines ending in CR LF
    std::optional<EventRecord> event = {};     // for the event log, when not the exit code's
};

// Ends a command before it changes anything: exit code 2 with a reason.
struct Refusal {
    std::string code;         // stable, for JSON readers: "pfx-missing"
    std::string message;      // in the current language
    std::int32_t number = 0;  // the failure's number behind it, for the log
};

Outcome RunStatus(Machine& machine, Console& console, const Options& options);
Outcome RunCheck(Machine& machine, Console& console, const Options& options);
Outcome RunImport(Machine& machine, Console& console, const Options& options);
Outcome RunDeploy(Machine& machine, Console& console, const Options& options);
Outcome RunVerify(Machine& machine, Console& console, const Options& options);
Outcome RunRenew(Machine& machine, Console& console, const Options& options);
// tls --show: every value the TLS profiles touch as the registry holds it; 0 when it matches one.
// tls --apply PROFILE: the profile set after a backup; tls --undo BACKUP: the pair imported back.
Outcome RunTls(Machine& machine, Console& console, const Options& options);
// The daily renewal's task: registered (--from), shown (--show: 1 when there is none) or
// removed (--remove: 1 when there was none).
Outcome RunSchedule(Machine& machine, Console& console, const Options& options);

}  // namespace quillbay::cli
