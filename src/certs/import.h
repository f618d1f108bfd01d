#pragma once
// The import: chain certificates into the intermediate store, fullchain.pfx into the
// machine store, then the TLS settings of the chosen profile.
#include <cstdint>
#include <string>
#include <vector>

#include "certs/security.h"
#include "certs/server_files.h"
#include "support/machine.h"
#include "support/verdict.h"

namespace quillbay::certs {

struct ChainImport {
    std::string file;        // name in the chain folder
    bool started = false;    // certutil could be started
    std::int32_t exitCode = 0;
    bool Imported() const { return started && exitCode == 0; }
};

enum class PfxStatus {
    Imported,
    Missing,  // no fullchain.pfx, no password.txt, or a password file without a line
    Failed,
};

struct PfxImport {
    PfxStatus status = PfxStatus::Missing;
    std::int32_t code = 0;  // certutil's exit code, or the failure number when it did not start
};

struct ImportOutcome {
    std::vector<ChainImport> chains;
    PfxImport pfx;
    SecurityOutcome security;

    int ChainsImported() const;
    int ChainsFailed() const { return static_cast<int>(chains.size()) - ChainsImported(); }
};

// What went wrong in an import, step by step, in the order it is reported.
enum class ImportProblem {
    PfxMissing,        // no fullchain.pfx, no password.txt, or no password in it: not imported
    PfxFailed,         // code: certutil's exit code, or the failure's number when it did not start
    ChainsFailed,      // count and files: the chain certificates not imported
    SettingsUnchanged, // code: the backup could not be made, so no TLS value was written
    SettingsFailed,    // count: TLS values not written; code: the first failure's
    IisRestartFailed,  // code: iisreset's exit code, or the failure's number
};
struct ImportFailure {
    ImportProblem problem;
    std::int32_t code = 0;
    int count = 0;
    std::vector<std::string> files = {};
};
struct ImportJudgement {
    Verdict verdict = Verdict::Done;
    std::vector<ImportFailure> failures;
    // Steps that failed, each chain file counted on its own.
    int FailedSteps() const;
    bool Has(ImportProblem problem) const;
};
// The TLS step's failures alone: the backup, the values, the restart.
std::vector<ImportFailure> JudgeSecurity(const SecurityOutcome& security);
// Done when every step succeeded; nothing done when no chain, no PFX and no TLS value was
// brought in; partly done otherwise.
ImportJudgement JudgeImport(const ImportOutcome& outcome);

// Where an import takes its files from.
struct ImportFiles {
    std::string chainFolder;  // without a trailing backslash
    ServerFiles server;
};
// The chain folder, fullchain.pfx and password.txt beside the program.
ImportFiles DefaultImportFiles(Host& host);

// Imports the named chain files (each waited for and judged by its exit code), then the
// PFX with the password from its file (never logged), then sets TLS to the profile.
ImportOutcome ImportCertificates(Machine& machine, const ImportFiles& files, const std::vector<std::string>& chainFiles,
                                 TlsProfile profile, Progress& progress);
// The same with the files beside the program.
ImportOutcome ImportCertificates(Machine& machine, const std::vector<std::string>& chainFiles, TlsProfile profile,
                                 Progress& progress);
// The chain files and the PFX alone: no TLS value is written and IIS is not restarted (a
// renewal, or the Unchanged profile; HTTP.sys takes a binding change at once).
ImportOutcome ImportCertificateFiles(Machine& machine, const ImportFiles& files, const std::vector<std::string>& chainFiles,
                                     Progress& progress);

}  // namespace quillbay::certs
