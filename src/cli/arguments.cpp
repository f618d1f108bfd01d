#include "cli/arguments.h"

#include <optional>

#include "iis/deploy.h"

namespace quillbay::cli {

namespace {

struct CommandEntry {
    const char* name;
    Command command;
};
constexpr CommandEntry kCommands[] = {{"status", Command::Status}, {"check", Command::Check},
                                      {"import", Command::Import}, {"deploy", Command::Deploy},
                                      {"verify", Command::Verify}, {"renew", Command::Renew},
                                      {"schedule", Command::Schedule}, {"tls", Command::Tls},
                                      {"help", Command::Help}};

// Which commands an option belongs to; the files and the output options suit them all.
constexpr unsigned Bit(Command c) { return 1u << static_cast<unsigned>(c); }
constexpr unsigned kAny = ~0u;
constexpr unsigned kSites = Bit(Command::Check) | Bit(Command::Verify) | Bit(Command::Deploy);
constexpr unsigned kDeploy = Bit(Command::Deploy);
constexpr unsigned kChanges = Bit(Command::Import) | Bit(Command::Deploy) | Bit(Command::Renew) | Bit(Command::Schedule);
constexpr unsigned kRenew = Bit(Command::Renew);
constexpr unsigned kSchedule = Bit(Command::Schedule);

struct OptionEntry {
    const char* name;
    bool takesValue;
    unsigned commands;
};
constexpr OptionEntry kOptions[] = {
    {"--json", false, kAny},        {"--lang", true, kAny},         {"--pfx", true, kAny},
    {"--password-file", true, kAny}, {"--chain-folder", true, kAny}, {"--help", false, kAny},
    {"--site", true, kSites},       {"--all", false, kSites},       {"--port", true, kDeploy},
    {"--redirect", true, kDeploy},  {"--wildcard", true, kDeploy},  {"--dry-run", false, kDeploy | kRenew},
    {"--restrict-folder", false, kChanges | Bit(Command::Tls)}, {"--warn-days", true, Bit(Command::Status)},
    {"--no-verify", false, kDeploy | kRenew}, {"--from", true, kRenew | kSchedule}, {"--replace", true, kRenew},
    {"--retire-old", false, kRenew | kSchedule}, {"--at", true, kSchedule}, {"--show", false, kSchedule | Bit(Command::Tls)},
    {"--remove", false, kSchedule}, {"--tls", true, Bit(Command::Import) | Bit(Command::Check)},
    {"--apply", true, Bit(Command::Tls)}, {"--undo", true, Bit(Command::Tls)},
};

const OptionEntry* FindOption(const std::string& name) {
    for (const OptionEntry& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

std::optional<bool> Switch(const std::string& value, const char* yes, const char* no) {
    if (value == yes) return true;
    if (value == no) return false;
    return std::nullopt;
}

}  // namespace

const char* CommandName(Command command) {
    for (const CommandEntry& entry : kCommands)
        if (entry.command == command) return entry.name;
    return "";
}

namespace {

using ErrorSink = std::vector<UsageError>;

void Error(ErrorSink& errors, std::string key, std::vector<std::string> values = {}) {
    errors.push_back({std::move(key), std::move(values)});
}

// A word that is not an option: the command, once.
void TakeCommand(Options& o, const std::string& word, ErrorSink& errors) {
    Command found = Command::None;
    for (const CommandEntry& entry : kCommands)
        if (word == entry.name) found = entry.command;
    if (found == Command::None)
        Error(errors, "Cli_Usage_UnknownCommand", {word});
    else if (o.command != Command::None && o.command != Command::Help)
        Error(errors, "Cli_Usage_ExtraArgument", {word});
    else if (o.command == Command::None)
        o.command = found;
}

// --tls PROFILE or --apply PROFILE.
void TakeProfile(Options& o, const std::string& name, const std::string& value, ErrorSink& errors) {
    const std::optional<certs::TlsProfile> profile = certs::ProfileNamed(value);
    // Applying Unchanged would change nothing: a mistake, not a request.
    if (profile && !(name == "--apply" && *profile == certs::TlsProfile::Unchanged)) o.tls = *profile;
    else Error(errors, "Cli_Usage_BadValue", {name, value});
    if (name == "--apply") o.action = CommandAction::Apply;
}

// An option with its value (empty for a switch) into the options.
void TakeOption(Options& o, const std::string& name, const std::string& value, ErrorSink& errors) {
    if (name == "--json") o.json = true;
    else if (name == "--help") o.command = Command::Help;
    else if (name == "--all") o.all = true;
    else if (name == "--dry-run") o.dryRun = true;
    else if (name == "--no-verify") o.verify = false;
    else if (name == "--restrict-folder") o.restrictFolder = true;
    else if (name == "--site") o.sites.push_back(value);
    else if (name == "--pfx") o.pfx = value;
    else if (name == "--password-file") o.passwordFile = value;
    else if (name == "--chain-folder") o.chainFolder = value;
    else if (name == "--from") o.from = value;
    else if (name == "--retire-old") o.retireOld = true;
    else if (name == "--show") o.action = CommandAction::Show;
    else if (name == "--remove") o.action = CommandAction::Remove;
    else if (name == "--undo") o.action = CommandAction::Undo, o.undo = value;
    else if (name == "--tls" || name == "--apply") TakeProfile(o, name, value, errors);
    else if (name == "--replace") {
        const bool hex = value.size() == 40 && value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        if (hex) {
            o.replace = value;
            for (char& c : o.replace) c = c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        else Error(errors, "Cli_Usage_BadValue", {name, value});
    } else if (name == "--at") {
        const bool clock = value.size() == 5 && value[2] == ':' && value.find_first_not_of("0123456789:") == std::string::npos &&
                           value.find(':', 3) == std::string::npos && std::stoi(value.substr(0, 2)) < 24 &&
                           std::stoi(value.substr(3)) < 60;
        if (clock) o.at = value;
        else Error(errors, "Cli_Usage_BadValue", {name, value});
    }
    else if (name == "--lang") {
        if (value == "en") o.language = lang::kEnglish;
        else if (value == "zh-Hans") o.language = lang::kSimplifiedChinese;
        else if (value == "zh-Hant") o.language = lang::kTraditionalChinese;
        else Error(errors, "Cli_Usage_BadValue", {name, value});
    } else if (name == "--warn-days") {
        const bool whole = !value.empty() && value.size() <= 4 && value.find_first_not_of("0123456789") == std::string::npos;
        if (whole) o.warnDays = std::stoi(value);
        else Error(errors, "Cli_Usage_BadValue", {name, value});
    } else if (name == "--port") {
        const std::optional<std::string> port = iis::ParsePort(value);
        if (port) o.port = *port;
        else Error(errors, "Cli_Usage_BadValue", {name, value});
    } else {
        const bool redirect = name == "--redirect";
        const std::optional<bool> on = redirect ? Switch(value, "on", "off") : Switch(value, "yes", "no");
        if (!on) Error(errors, "Cli_Usage_BadValue", {name, value});
        else (redirect ? o.redirect : o.wildcard) = *on;
    }
    // A path or a site name that is empty names nothing.
    if (value.empty() && (name == "--site" || name == "--pfx" || name == "--password-file" || name == "--chain-folder" ||
                          name == "--from" || name == "--undo"))
        Error(errors, "Cli_Usage_BadValue", {name, value});
}

// schedule registers the task from a folder, or shows or removes it: one of the three. The task
// carries no other file than the folder's, so the file options would change nothing it does.
void CheckSchedule(Parsed& parsed, const std::vector<const OptionEntry*>& given) {
    const Options& o = parsed.options;
    std::string action;  // --show or --remove, as given
    bool from = false;
    for (const OptionEntry* entry : given) {
        const std::string name = entry->name;
        from = from || name == "--from";
        if (name == "--pfx" || name == "--password-file" || name == "--chain-folder")
            Error(parsed.errors, "Cli_Usage_NotForCommand", {name, CommandName(o.command)});
        if (name != "--show" && name != "--remove") continue;
        if (!action.empty() && action != name) Error(parsed.errors, "Cli_Usage_ScheduleShowAndRemove");
        action = name;
    }
    if (action.empty()) {
        if (!from) Error(parsed.errors, "Cli_Usage_ScheduleNeedsFrom");
        return;
    }
    for (const OptionEntry* entry : given) {
        const std::string name = entry->name;
        if (name == "--from" || name == "--at" || name == "--retire-old" || name == "--restrict-folder")
            Error(parsed.errors, "Cli_Usage_CommandActionOption", {name, action});
    }
}

// What the command as a whole allows: options that belong to it, and the sites a deployment needs.
void CheckCombination(Parsed& parsed, const std::vector<const OptionEntry*>& given) {
    Options& o = parsed.options;
    if (o.command == Command::None) {
        if (parsed.Ok()) Error(parsed.errors, "Cli_Usage_NoCommand");
        return;
    }
    for (const OptionEntry* entry : given)
        if (!(entry->commands & Bit(o.command))) Error(parsed.errors, "Cli_Usage_NotForCommand", {entry->name, CommandName(o.command)});
    if (o.all && !o.sites.empty()) Error(parsed.errors, "Cli_Usage_SiteAndAll");
    if (o.command == Command::Deploy && !o.all && o.sites.empty()) Error(parsed.errors, "Cli_Usage_NoSites");
    if (o.command == Command::Schedule) CheckSchedule(parsed, given);
    if (o.command == Command::Tls) {
        int actions = 0;
        for (const OptionEntry* entry : given)
            actions += std::string(entry->name) == "--show" || std::string(entry->name) == "--apply" ||
                       std::string(entry->name) == "--undo";
        if (actions != 1) Error(parsed.errors, "Cli_Usage_TlsAction");
    }
}

}  // namespace

Parsed ParseArguments(const std::vector<std::string>& args) {
    Parsed parsed;
    std::vector<const OptionEntry*> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h" || arg == "/?") arg = "--help";
        if (arg.rfind("--", 0) != 0) {
            TakeCommand(parsed.options, arg, parsed.errors);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const bool inlineValue = equals != std::string::npos;
        const std::string name = inlineValue ? arg.substr(0, equals) : arg;
        std::string value = inlineValue ? arg.substr(equals + 1) : std::string();
        const OptionEntry* entry = FindOption(name);
        if (!entry) {
            Error(parsed.errors, "Cli_Usage_UnknownOption", {name});
        } else if (entry->takesValue && !inlineValue && i + 1 >= args.size()) {
            Error(parsed.errors, "Cli_Usage_MissingValue", {name});
        } else if (!entry->takesValue && inlineValue) {
            Error(parsed.errors, "Cli_Usage_BadValue", {name, value});
        } else {
            if (entry->takesValue && !inlineValue) value = args[++i];
            given.push_back(entry);
            TakeOption(parsed.options, name, value, parsed.errors);
        }
    }
    if (parsed.options.command != Command::Help) CheckCombination(parsed, given);
    return parsed;
}

}  // namespace quillbay::cli
