#pragma once
// A downloaded package on its way to the self-update script, which unpacks it over the
// program's folder and starts the program elevated: it must be a sound zip signed with the
// program's update key, and it is written where only administrators can change it before the
// script reads it.
#include <optional>
#include <string>

#include "support/machine.h"

namespace quillbay::update {

// Why the package may not be installed (not a sound zip, no or a wrong signature), or nothing.
std::optional<std::string> PackageProblem(SignatureVerifier& verifier, const std::string& package,
                                          const std::string& signature);

// Writes the package as update.zip into a fresh folder with a random name below the temporary
// folder, made for Administrators and SYSTEM only, and checks the copy there again. The
// package's path, or why the copy may not be used. A failure to write throws.
struct StagedPackage {
    std::string path;
    std::optional<std::string> problem;
};
StagedPackage StagePackage(Machine& machine, const std::string& package, const std::string& signature);

}  // namespace quillbay::update
