// import: what the window's Import does with every chain file selected, refused before any
// change when the files would not import.
#include "certs/chain_files.h"
#include "certs/import.h"
#include "cli/common.h"
#include "render/tls.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kPfxNames[] = {"imported", "missing", "failed"};

// The chain files to import, or a refusal: none there, or a PFX that would not import.
std::vector<std::string> ChainFilesOrRefuse(Machine& machine, const Options& o, const certs::ImportFiles& files) {
    // What the window lists and selects; its Import stays disabled without a chain file.
    if (o.chainFolder.empty() && !machine.fs.FolderExists(files.chainFolder)) machine.fs.CreateFolder(files.chainFolder);
    const std::vector<std::string> chain = machine.fs.FolderExists(files.chainFolder)
                                               ? certs::FindChainFiles(machine, files.chainFolder)
                                               : std::vector<std::string>();
    if (chain.empty()) throw Refusal{"no-chain-files", Say("Cli_NoChainFiles", {files.chainFolder})};
    const std::vector<certs::Finding> problems = certs::CheckPfx(certs::ReadPfx(machine, files.server), files.server);
    if (!problems.empty()) throw RefusalOf(problems.front());
    return chain;
}

}  // namespace

json::Value SecurityJson(const certs::SecurityOutcome& security, const std::vector<std::string>& reenabled) {
    return json::Value::Object()
        .Set("profile", certs::ProfileName(security.profile))
        .Set("reenabled", json::Value::Strings(reenabled))
        .Set("ok", security.ok)
        .Set("valuesWritten", security.valuesWritten)
        .Set("valuesFailed", security.valuesFailed)
        .Set("backup", security.backupPath)
        .Set("undo", security.undoPath)
        .Set("backupFailed", security.backupFailed)
        .Set("backupCode", security.backupCode)
        .Set("iisRestarted", security.iisRestarted)
        .Set("iisResetCode", security.iisResetCode);
}

const char* ImportProblemName(certs::ImportProblem problem) {
    constexpr const char* kNames[] = {"pfx-missing",       "pfx-failed",      "chains-failed",
                                      "settings-unchanged", "settings-failed", "iis-restart-failed"};
    return kNames[static_cast<int>(problem)];
}

std::string ImportProblemLine(const certs::ImportFailure& f) {
    const std::string code = std::to_string(f.code);
    switch (f.problem) {
        case certs::ImportProblem::PfxMissing: return GetLangString("MsgBox_Import_PfxMissing");
        case certs::ImportProblem::PfxFailed:
            return GetLangString("MsgBox_Import_PfxFailed") + code + GetLangString("MsgBox_Import_PfxFailed_CheckPassword");
        case certs::ImportProblem::ChainsFailed: {
            std::string names;
            for (const std::string& file : f.files) names += (names.empty() ? "" : ", ") + file;
            return Say("Cli_Import_ChainsFailed", {std::to_string(f.count), names});
        }
        case certs::ImportProblem::SettingsUnchanged:
            return GetLangString("MsgBox_Import_SecurityUnchanged") + code + GetLangString("MsgBox_Import_CodeEnd");
        case certs::ImportProblem::SettingsFailed: return Say("Cli_Import_SettingsFailed", {std::to_string(f.count), code});
        case certs::ImportProblem::IisRestartFailed:
            return GetLangString("MsgBox_Import_IisResetFailed") + code + GetLangString("MsgBox_Import_CodeEnd");
    }
    return {};
}

namespace {

json::Value ImportJson(const certs::ImportOutcome& outcome, const certs::ImportJudgement& judgement,
                       const std::vector<std::string>& reenabled) {
    json::Value chains = json::Value::Array(), problems = json::Value::Array();
    for (const certs::ChainImport& c : outcome.chains)
        chains.Add(json::Value::Object().Set("file", c.file).Set("imported", c.Imported()).Set("exitCode", c.exitCode));
    for (const certs::ImportFailure& f : judgement.failures) problems.Add(ImportProblemName(f.problem));
    return json::Value::Object()
        .Set("chain", chains)
        .Set("pfx", json::Value::Object()
                        .Set("status", kPfxNames[static_cast<int>(outcome.pfx.status)])
                        .Set("exitCode", outcome.pfx.code))
        .Set("security", SecurityJson(outcome.security, reenabled))
        .Set("problems", problems)
        .Set("failed", judgement.FailedSteps());
}

}  // namespace

Outcome RunImport(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    const certs::ImportFiles files{ChainFolderOf(machine.host, o), FilesOf(machine.host, o)};
    CheckFolderOrRefuse(machine, console, o);
    const std::vector<std::string> chain = ChainFilesOrRefuse(machine, o, files);

    // Read before the import changes them.
    const std::vector<std::string> reenabled = certs::ReenabledBy(machine, o.tls);
    progress.Report({"lblStatus_Importing"});
    const certs::ImportOutcome outcome = certs::ImportCertificates(machine, files, chain, o.tls, progress);
    const certs::ImportJudgement judgement = certs::JudgeImport(outcome);
    const bool unchanged = o.tls == certs::TlsProfile::Unchanged;
    Outcome out;
    out.exitCode = ExitCodeOf(judgement.verdict);
    out.json = ImportJson(outcome, judgement, reenabled);
    if (judgement.verdict == Verdict::Done)
        out.text += Line(unchanged ? Say("Cli_ImportDoneCertsOnly", {std::to_string(outcome.ChainsImported())})
                                   : Say("Cli_ImportDone", {std::to_string(outcome.ChainsImported()), outcome.security.backupPath}));
    else
        out.text += Line(Say("Cli_ImportPartly", {std::to_string(judgement.FailedSteps())}));
    for (const certs::ImportFailure& f : judgement.failures) out.text += Line("  " + ImportProblemLine(f));
    for (const std::string& line : {render::TlsProfileLine(outcome.security), render::ReenablesLine(reenabled)})
        if (!line.empty()) out.text += Line(line);
    if (!unchanged) out.text += Line(GetLangString("MsgBox_Import_RestartNote"));
    return out;
}

}  // namespace quillbay::cli
