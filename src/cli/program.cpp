#include "cli/program.h"

#include "cli/arguments.h"
#include "cli/common.h"
#include "lang/store.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

json::Value Document(Command command, int exitCode) {
    return json::Value::Object().Set("version", kJsonVersion).Set("command", CommandName(command)).Set("exitCode", exitCode);
}

// Imports, deployments and renewals go to the Application event log whatever their outcome; an
// inventory only when it needs attention. Dry runs change nothing and write nothing.
void WriteOutcomeEvent(Machine& machine, const Options& o, int exitCode, const std::string& text,
                       std::optional<EventRecord> event = std::nullopt) {
    const Verdict verdict = exitCode == kDone ? Verdict::Done : exitCode == kPartlyDone ? Verdict::PartlyDone : Verdict::NothingDone;
    if (o.dryRun) return;
    if (o.command == Command::Status && exitCode != kDone)
        event = EventRecord{exitCode == kPartlyDone ? EventKind::Warning : EventKind::Error, 4000 + exitCode};
    else if (o.command == Command::Import) event = event.value_or(OutcomeEvent(Operation::Import, verdict));
    else if (o.command == Command::Deploy) event = event.value_or(OutcomeEvent(Operation::Deploy, verdict));
    else if (o.command == Command::Renew) event = event.value_or(OutcomeEvent(Operation::Renew, verdict));
    // Event Viewer holds up to 31,839 characters a string.
    if (event) WriteEvent(machine, *event, text.substr(0, 30000));
}

int Refuse(Machine& m, Console& console, const Options& o, const Refusal& refusal) {
    m.log.WriteErrorLog(std::string("quillbay-cli ") + CommandName(o.command), refusal.number, refusal.code + ": " + refusal.message);
    console.Err(refusal.message + "\r\n");
    if (o.command != Command::Status) WriteOutcomeEvent(m, o, kNothingDone, refusal.message);
    if (o.json) {
        json::Value doc = Document(o.command, kNothingDone);
        doc.Set("error", json::Value::Object().Set("code", refusal.code).Set("message", refusal.message));
        console.Out(json::Serialize(doc) + "\r\n");
    }
    return kNothingDone;
}

}  // namespace

int RunConsole(Machine& machine, Console& console, const std::vector<std::string>& args) {
    const Parsed parsed = ParseArguments(args);
    const Options& o = parsed.options;
    lang::SetCurrentLanguage(o.language);
    if (!parsed.Ok()) {
        std::string text;
        for (const UsageError& e : parsed.errors) text += Say(e.key, e.values) + "\r\n";
        console.Err(text + GetLangString("Cli_Usage_SeeHelp") + "\r\n");
        if (o.json) {
            json::Value doc = Document(o.command, kNothingDone);
            doc.Set("error", json::Value::Object().Set("code", "usage").Set("message", Say(parsed.errors.front().key,
                                                                                              parsed.errors.front().values)));
            console.Out(json::Serialize(doc) + "\r\n");
        }
        return kNothingDone;
    }
    if (o.command == Command::Help) {
        console.Out(GetLangString("Cli_Help") + "\r\n");
        return kDone;
    }
    try {
        if (!machine.host.IsElevated()) throw Refusal{"not-elevated", GetLangString("Cli_NotElevated")};
        Outcome outcome;
        switch (o.command) {
            case Command::Status: outcome = RunStatus(machine, console, o); break;
            case Command::Check: outcome = RunCheck(machine, console, o); break;
            case Command::Import: outcome = RunImport(machine, console, o); break;
            case Command::Verify: outcome = RunVerify(machine, console, o); break;
            case Command::Renew: outcome = RunRenew(machine, console, o); break;
            case Command::Tls: outcome = RunTls(machine, console, o); break;
            case Command::Schedule: outcome = RunSchedule(machine, console, o); break;
            default: outcome = RunDeploy(machine, console, o); break;
        }
        WriteOutcomeEvent(machine, o, outcome.exitCode, outcome.text, outcome.event);
        if (o.json) {
            json::Value doc = Document(o.command, outcome.exitCode);
            for (auto& member : outcome.json.members) doc.Set(member.first, std::move(member.second));
            console.Out(json::Serialize(doc) + "\r\n");
        } else {
            console.Out(outcome.text);
        }
        return outcome.exitCode;
    } catch (const Refusal& refusal) {
        return Refuse(machine, console, o, refusal);
    } catch (...) {
        // A failure of the machine that no step expected: logged, and reported as nothing done
        // (the log says how far the work went).
        const FailureInfo f = CurrentFailure();
        return Refuse(machine, console, o,
                      {"unexpected", Say("Cli_Unexpected", {std::to_string(f.number), f.description}), f.number});
    }
}

}  // namespace quillbay::cli
