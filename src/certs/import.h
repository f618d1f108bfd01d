#pragma once
// The import: chain certificates into the intermediate store, fullchain.pfx into the
// machine store, then the TLS hardening.
#include <cstdint>
#include <string>
#include <vector>

#include "certs/security.h"
#include "certs/server_files.h"
#include "support/machine.h"

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
    bool Complete() const { return ChainsFailed() == 0 && pfx.status == PfxStatus::Imported && security.ok; }
};

// Where an import takes its files from.
struct ImportFiles {
    std::string chainFolder;  // without a trailing backslash
    ServerFiles server;
};
// The chain folder, fullchain.pfx and password.txt beside the program.
ImportFiles DefaultImportFiles(Host& host);

// Imports the named chain files (each waited for and judged by its exit code), then the
// PFX with the password from its file (never logged), then hardens TLS.
ImportOutcome ImportCertificates(Machine& machine, const ImportFiles& files, const std::vector<std::string>& chainFiles,
                                 Progress& progress);
// The same with the files beside the program.
ImportOutcome ImportCertificates(Machine& machine, const std::vector<std::string>& chainFiles, Progress& progress);

}  // namespace quillbay::certs
