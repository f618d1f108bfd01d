#pragma once
// The console program's command line: one command and its options, in any order.
#include <string>
#include <vector>

#include "certs/tls_profiles.h"
#include "lang/store.h"

namespace quillbay::cli {

enum class Command { None, Help, Status, Check, Import, Deploy, Verify, Renew, Schedule, Tls };

enum class CommandAction { Set, Show, Remove, Apply, Undo };

struct Options {
    Command command = Command::None;
    bool json = false;
    lang::LanguageId language = lang::kEnglish;
    std::vector<std::string> sites;  // --site, in the order given
    bool all = false;
    std::string port = "443";  // canonical, as the deployment port is checked
    bool redirect = true;      // the window's box starts ticked
    bool wildcard = false;     // the window's No to the wildcard question
    bool dryRun = false;
    bool verify = true;  // deploy: probe what it changed
    bool restrictFolder = false;  // restrict the program folder when others can change it
    int warnDays = 30;            // status: a bound certificate expiring sooner needs attention
    std::string from;             // renew, schedule: the folder of the new files ("": beside the program)
    std::string replace;          // renew: a thumbprint whose endpoints are replaced whatever they cover
    bool retireOld = false;       // renew, schedule: delete superseded certificates no endpoint uses
    std::string at = "03:00";     // schedule: the daily time, HH:MM
    CommandAction action = CommandAction::Set;
    certs::TlsProfile tls = certs::TlsProfile::Compatible;  // import, check, tls --apply
    std::string undo;                                        // tls --undo: the backup to go back to
    // Empty: beside the program.
    std::string pfx;
    std::string passwordFile;
    std::string chainFolder;
};

// A usage error: the key of its text and the pieces that fill it.
struct UsageError {
    std::string key;
    std::vector<std::string> values;
};

struct Parsed {
    Options options;  // what was understood, the language above all, also with an error
    std::vector<UsageError> errors;
    bool Ok() const { return errors.empty(); }
};

// Arguments after the program name, as UTF-8.
Parsed ParseArguments(const std::vector<std::string>& args);

// The command's name as typed and as JSON gives it ("" for none).
const char* CommandName(Command command);

}  // namespace quillbay::cli
