#include "update/stage.h"

#include "support/errors.h"
#include "support/paths.h"
#include "update/package.h"
#include "update/signature.h"

namespace quillbay::update {

namespace {

// Names are guessable, so a name someone made first is passed over, never used.
constexpr int kFolderAttempts = 16;

std::string MakePrivateFolder(FileSystem& fs) {
    const std::string temp = fs.GetSpecialFolder(SpecialFolder::Temporary);
    for (int attempt = 1;; ++attempt) {
        const std::string folder = JoinPath(temp, "quillbay-update-" + GetBaseName(fs.GetTempName()));
        try {
            fs.CreateAdminOnlyFolder(folder);
            return folder;
        } catch (const Failure& f) {
            if (attempt == kFolderAttempts || (f.number() != kErrorAlreadyExists && f.number() != kErrorFileExists)) throw;
        }
    }
}

}  // namespace

std::optional<std::string> PackageProblem(SignatureVerifier& verifier, const std::string& package,
                                          const std::string& signature) {
    if (const std::optional<std::string> problem = ZipProblem(package)) return "not a usable zip (" + *problem + ")";
    if (signature.empty()) return "no signature";
    return SignatureProblem(verifier, TrustedUpdateKey(), package, signature);
}

StagedPackage StagePackage(Machine& machine, const std::string& package, const std::string& signature) {
    StagedPackage staged{JoinPath(MakePrivateFolder(machine.fs), "update.zip"), std::nullopt};
    machine.fs.WriteNewBytes(staged.path, package);
    // What the script will read is the file, not the bytes in memory.
    staged.problem = PackageProblem(machine.signatures, machine.fs.ReadBytes(staged.path), signature);
    return staged;
}

}  // namespace quillbay::update
