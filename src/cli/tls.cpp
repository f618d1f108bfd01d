// tls: the audit of the machine's TLS settings against the profiles (--show, changes nothing),
// a profile set without an import (--apply), and the way back from a backup pair (--undo).
#include "certs/tls_backup.h"
#include "certs/tls_profiles.h"
#include "cli/common.h"
#include "render/tls.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

json::Value Optional(const std::optional<std::string>& text) { return text ? json::Value(*text) : json::Value(); }

std::string Shown(const std::optional<std::string>& text, const char* absent) {
    return text ? *text : GetLangString(absent);
}

Outcome ShowTls(Machine& machine) {
    const certs::TlsAudit audit = certs::AuditTls(machine);
    Outcome out;
    json::Value values = json::Value::Array();
    for (const certs::TlsAuditRow& r : audit.rows) {
        values.Add(json::Value::Object()
                       .Set("key", r.value.key)
                       .Set("name", r.value.name)
                       .Set("type", r.value.type)
                       .Set("current", Optional(r.current))
                       .Set("compatible", Optional(r.compatible))
                       .Set("modern", Optional(r.modern)));
        out.text += Line(Say("Cli_Tls_Value", {r.value.key, r.value.name, Shown(r.current, "Cli_Tls_NotSet"),
                                               Shown(r.compatible, "Cli_Tls_LeftAlone"), Shown(r.modern, "Cli_Tls_LeftAlone")}));
    }
    const std::optional<certs::TlsProfile> matches = audit.Matches();
    out.json.Set("osBuild", audit.osBuild).Set("values", values);
    out.json.Set("differ", json::Value::Object().Set("compatible", audit.compatibleDiffers).Set("modern", audit.modernDiffers));
    out.json.Set("matches", matches ? json::Value(certs::ProfileName(*matches)) : json::Value());
    out.text += Line(Say("Cli_Tls_Summary", {std::to_string(audit.compatibleDiffers), std::to_string(audit.modernDiffers),
                                             std::to_string(audit.osBuild)}));
    if (matches) out.text += Line(Say("Cli_Tls_Matches", {GetLangString(certs::ProfileKey(*matches))}));
    out.exitCode = matches ? kDone : kPartlyDone;
    return out;
}

Outcome ApplyTls(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    CheckFolderOrRefuse(machine, console, o);
    const std::vector<std::string> reenabled = certs::ReenabledBy(machine, o.tls);
    const certs::SecurityOutcome s = certs::ApplySecurityConfiguration(machine, progress, o.tls);
    const std::vector<certs::ImportFailure> failures = certs::JudgeSecurity(s);
    Outcome out;
    out.exitCode = failures.empty() ? kDone : s.valuesWritten == 0 ? kNothingDone : kPartlyDone;
    const std::string profile = GetLangString(certs::ProfileKey(o.tls));
    out.text += Line(failures.empty() ? Say("Cli_Tls_Applied", {profile, std::to_string(s.valuesWritten)})
                                      : Say("Cli_Tls_ApplyPartly", {profile}));
    json::Value problems = json::Value::Array();
    for (const certs::ImportFailure& f : failures) {
        out.text += Line("  " + ImportProblemLine(f));
        problems.Add(ImportProblemName(f.problem));
    }
    for (const std::string& line : {render::TlsProfileLine(s), render::ReenablesLine(reenabled)})
        if (!line.empty()) out.text += Line(line);
    if (s.valuesWritten > 0) out.text += Line(GetLangString("MsgBox_Import_RestartNote"));
    out.json.Set("security", SecurityJson(s, reenabled)).Set("problems", problems);
    return out;
}

Outcome UndoTls(Machine& machine, Console& console, const Options& o) {
    CheckFolderOrRefuse(machine, console, o);
    const certs::TlsUndo undo = certs::UndoTlsChange(machine, o.undo);
    if (undo.result == certs::TlsUndoResult::NotABackup)
        throw Refusal{"not-a-backup", Say("Cli_Tls_NotABackup", {undo.backupPath, undo.undoPath})};
    Outcome out;
    json::Value mismatches = json::Value::Array();
    for (const certs::TlsMismatch& m : undo.mismatches) {
        mismatches.Add(json::Value::Object()
                           .Set("key", m.key)
                           .Set("name", m.name)
                           .Set("expected", Optional(m.expected))
                           .Set("actual", Optional(m.actual)));
        out.text += Line(Say("Cli_Tls_UndoDiffers", {m.key, m.name, Shown(m.actual, "Cli_Tls_NotSet"),
                                                     Shown(m.expected, "Cli_Tls_NotSet")}));
    }
    switch (undo.result) {
        case certs::TlsUndoResult::ImportFailed:
            out.text += Line(Say("Cli_Tls_UndoImportFailed", {std::to_string(undo.code), std::to_string(undo.imported)}));
            out.exitCode = undo.imported == 0 ? kNothingDone : kPartlyDone;
            break;
        case certs::TlsUndoResult::Differs: out.exitCode = kPartlyDone; break;
        default:
            out.text += Line(Say("Cli_Tls_Undone", {std::to_string(undo.checked), undo.backupPath}));
            out.exitCode = kDone;
    }
    if (undo.imported > 0) out.text += Line(GetLangString("Tls_UndoRestart"));
    out.json.Set("backup", undo.backupPath)
        .Set("undo", undo.undoPath)
        .Set("imported", undo.imported)
        .Set("checked", undo.checked)
        .Set("mismatches", mismatches);
    return out;
}

}  // namespace

Outcome RunTls(Machine& machine, Console& console, const Options& o) {
    if (o.action == CommandAction::Apply) return ApplyTls(machine, console, o);
    if (o.action == CommandAction::Undo) return UndoTls(machine, console, o);
    return ShowTls(machine);
}

}  // namespace quillbay::cli
