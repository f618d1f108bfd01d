#include "certs/import.h"

#include <optional>

#include "certs/chain_files.h"
#include "support/command_line.h"
#include "support/password_file.h"
#include "support/paths.h"
#include "support/runner.h"

namespace quillbay::certs {

namespace {

PfxImport ImportPfx(Machine& machine, const ServerFiles& files, Progress& progress) {
    const std::string& pfxPath = files.pfx;
    const std::string& passwordPath = files.password;
    if (!machine.fs.FileExists(pfxPath) || !machine.fs.FileExists(passwordPath)) return {};

    const std::optional<std::string> password = ReadPasswordFile(machine.fs, passwordPath);
    if (!password) return {};

    progress.Report({"lblStatus_ImportingPFX"});
    // Started directly: no command interpreter sees the password, and quoting keeps every
    // character of it intact.
    const std::string commandLine = ProgramToken(SystemProgram(machine.fs, "certutil.exe")) + " -f -p " +
                                    QuoteArg(*password) + " -importpfx " + QuoteArg(pfxPath) + " NoRoot";
    const ToolRun run = RunChange(machine.shell, commandLine);
    if (run.Succeeded()) return {PfxStatus::Imported, 0};
    // Neither the command line nor what certutil said may carry the password into the log.
    machine.log.WriteErrorLog("导入PFX证书失败", run.exitCode, Redact(Explained(commandLine, run), *password));
    return {PfxStatus::Failed, run.exitCode};
}

}  // namespace

int ImportOutcome::ChainsImported() const {
    int n = 0;
    for (const ChainImport& c : chains)
        if (c.Imported()) ++n;
    return n;
}

int ImportJudgement::FailedSteps() const {
    int n = 0;
    for (const ImportFailure& f : failures) n += f.problem == ImportProblem::ChainsFailed ? f.count : 1;
    return n;
}

bool ImportJudgement::Has(ImportProblem problem) const {
    for (const ImportFailure& f : failures)
        if (f.problem == problem) return true;
    return false;
}

std::vector<ImportFailure> JudgeSecurity(const SecurityOutcome& security) {
    std::vector<ImportFailure> failures;
    if (security.backupFailed)
        failures.push_back({ImportProblem::SettingsUnchanged, security.backupCode});
    else if (security.valuesWritten < security.valuesExpected)
        failures.push_back(
            {ImportProblem::SettingsFailed, security.valueFailureCode, security.valuesExpected - security.valuesWritten});
    if (security.IisResetFailed()) failures.push_back({ImportProblem::IisRestartFailed, security.iisResetCode});
    return failures;
}

ImportJudgement JudgeImport(const ImportOutcome& outcome) {
    ImportJudgement judgement;
    std::vector<ImportFailure>& failures = judgement.failures;
    if (outcome.pfx.status == PfxStatus::Missing) failures.push_back({ImportProblem::PfxMissing});
    if (outcome.pfx.status == PfxStatus::Failed) failures.push_back({ImportProblem::PfxFailed, outcome.pfx.code});
    if (outcome.ChainsFailed() > 0) {
        ImportFailure chains{ImportProblem::ChainsFailed, 0, outcome.ChainsFailed()};
        for (const ChainImport& c : outcome.chains)
            if (!c.Imported()) chains.files.push_back(c.file);
        failures.push_back(chains);
    }
    const SecurityOutcome& security = outcome.security;
    for (ImportFailure& f : JudgeSecurity(security)) failures.push_back(std::move(f));

    const bool nothing = outcome.ChainsImported() == 0 && outcome.pfx.status != PfxStatus::Imported &&
                         security.valuesWritten == 0;
    judgement.verdict = failures.empty() ? Verdict::Done : nothing ? Verdict::NothingDone : Verdict::PartlyDone;
    return judgement;
}

ImportFiles DefaultImportFiles(Host& host) { return {ChainFolder(host), DefaultServerFiles(host)}; }

ImportOutcome ImportCertificates(Machine& machine, const std::vector<std::string>& chainFiles, TlsProfile profile,
                                 Progress& progress) {
    return ImportCertificates(machine, DefaultImportFiles(machine.host), chainFiles, profile, progress);
}

ImportOutcome ImportCertificates(Machine& machine, const ImportFiles& files, const std::vector<std::string>& chainFiles,
                                 TlsProfile profile, Progress& progress) {
    ImportOutcome outcome = ImportCertificateFiles(machine, files, chainFiles, progress);
    if (profile != TlsProfile::Unchanged) progress.Report({"lblStatus_ApplyingSecurity"});
    outcome.security = ApplySecurityConfiguration(machine, progress, profile);
    return outcome;
}

ImportOutcome ImportCertificateFiles(Machine& machine, const ImportFiles& files, const std::vector<std::string>& chainFiles,
                                     Progress& progress) {
    ImportOutcome outcome;
    // Each import is waited for so that its exit code decides, and so that the hardening
    // and the IIS restart never race an import still running.
    const int total = static_cast<int>(chainFiles.size());
    const std::string certutil = ProgramToken(SystemProgram(machine.fs, "certutil.exe"));
    int imported = 0;
    for (const std::string& file : chainFiles) {
        // One that did not start, or was ended at its time-out, is reported with the others that failed.
        const ToolRun run = RunChange(machine.shell, certutil + " -addstore -f \"CA\" " + QuoteArg(JoinPath(files.chainFolder, file)));
        const ChainImport chain{file, run.started, run.exitCode};
        if (chain.Imported())
            ++imported;
        else
            machine.log.WriteErrorLog("ImportCertificates", chain.exitCode,
                                      Explained("The chain certificate was not imported: " + file, run));
        outcome.chains.push_back(chain);
        progress.Report({"lblStatus_ImportingCertChain", imported, total});
    }

    outcome.pfx = ImportPfx(machine, files.server, progress);
    return outcome;
}

}  // namespace quillbay::certs
