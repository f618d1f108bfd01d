#pragma once
// The program folder's files are used with administrator rights: a PFX, password or chain file
// someone else placed would be imported and trusted, and a junction would carry the backup and
// the logs elsewhere. Checked before Import, Deploy and the console's import, deploy and check.
#include <string>
#include <vector>

#include "certs/preflight.h"
#include "certs/server_files.h"
#include "support/machine.h"

namespace quillbay::certs {

enum class FolderProblem { None, ReparsePoint, OthersMayWrite };

struct FolderCheck {
    FolderProblem problem = FolderProblem::None;
    std::string path;                   // the first place with the problem
    std::vector<std::string> readable;  // the PFX and the password file, where others may read them
};

// The program folder, chain\ (or the chain folder given), backup\, the PFX and the password
// file, those that exist; a junction anywhere among them comes first.
FolderCheck CheckProgramFolder(FileSystem& fs, const std::string& programFolder, const std::string& chainFolder,
                               const ServerFiles& files);

// The check as the pre-flight's findings: an error for a problem, a warning per readable secret.
std::vector<Finding> FolderFindings(const FolderCheck& check, const std::string& programFolder);

// One log record per readable secret, and one for a problem, under the procedure's name.
void LogFolderCheck(Log& log, const std::string& procedure, const FolderCheck& check);

// Restricts the folder and what is in it to Administrators and SYSTEM; logged either way.
// Throws what the file system throws.
void RestrictProgramFolder(Machine& machine, const std::string& procedure, const std::string& folder);

// The same by hand, as an administrator would type it: the folder's own rights, then the
// reset of everything in it to what it inherits.
std::vector<std::string> RestrictCommands(const std::string& folder);

}  // namespace quillbay::certs
