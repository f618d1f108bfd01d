#pragma once
// The console program's commands over the same work as the window. Each returns its exit
// code with its result twice: as members of the JSON document and as text for a person.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/json.h"
#include "support/machine.h"

namespace quillbay::cli {

enum ExitCode : int {
    kDone = 0,         // everything done; check: no warning
    kPartlyDone = 1,   // something failed (counted); check: warnings only
    kNothingDone = 2,  // refused or nothing succeeded; check: errors
};

struct Outcome {
    int exitCode = kDone;
    json::Value json = json::Value::Object();  // the command's members of the document
    std::string text;                          // lines ending in CR LF
};

// Ends a command before it changes anything: exit code 2 with a reason.
struct Refusal {
    std::string code;     // stable, for JSON readers: "no-pfx"
    std::string message;  // in the current language
    std::int32_t number = 0;  // the failure's number behind it, for the log
};

// The text of a language key with "{1}", "{2}", ... replaced by the values.
std::string Say(std::string_view key, const std::vector<std::string>& values = {});

Outcome RunStatus(Machine& machine, Console& console, const Options& options);
Outcome RunCheck(Machine& machine, Console& console, const Options& options);
Outcome RunImport(Machine& machine, Console& console, const Options& options);
Outcome RunDeploy(Machine& machine, Console& console, const Options& options);

}  // namespace quillbay::cli
