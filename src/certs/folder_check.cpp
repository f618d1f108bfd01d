#include "certs/folder_check.h"

#include "support/errors.h"
#include "support/paths.h"

namespace quillbay::certs {

FolderCheck CheckProgramFolder(FileSystem& fs, const std::string& programFolder, const std::string& chainFolder,
                               const ServerFiles& files) {
    struct Place {
        std::string path;
        bool folder, secret;
    };
    const Place places[] = {{programFolder, true, false},           {chainFolder, true, false},
                            {JoinPath(programFolder, "backup"), true, false}, {files.pfx, false, true},
                            {files.password, false, true}};
    FolderCheck check;
    std::vector<std::string> writable;
    for (const Place& place : places) {
        if (!(place.folder ? fs.FolderExists(place.path) : fs.FileExists(place.path))) continue;
        const PathAccess access = fs.Access(place.path);
        if (access.reparsePoint) return {FolderProblem::ReparsePoint, place.path, {}};
        if (access.othersMayWrite) writable.push_back(place.path);
        else if (access.othersMayRead && place.secret) check.readable.push_back(place.path);
    }
    if (!writable.empty()) check = {FolderProblem::OthersMayWrite, writable.front(), check.readable};
    return check;
}

std::vector<Finding> FolderFindings(const FolderCheck& check, const std::string& programFolder) {
    std::vector<Finding> findings;
    if (check.problem == FolderProblem::ReparsePoint)
        findings.push_back({Level::Error, Check::FolderReparsePoint, {check.path}});
    if (check.problem == FolderProblem::OthersMayWrite) {
        std::vector<std::string> details{check.path};
        for (std::string& command : RestrictCommands(programFolder)) details.push_back(std::move(command));
        findings.push_back({Level::Error, Check::FolderWritable, details});
    }
    for (const std::string& path : check.readable) findings.push_back({Level::Warning, Check::SecretReadable, {path}});
    return findings;
}

void LogFolderCheck(Log& log, const std::string& procedure, const FolderCheck& check) {
    for (const std::string& path : check.readable)
        log.WriteErrorLog(procedure, kErrorAccessDenied, "Users other than administrators can read " + path);
    if (check.problem == FolderProblem::ReparsePoint)
        log.WriteErrorLog(procedure, kErrorAccessDenied, "Refused: " + check.path + " is a junction or link to another place");
    else if (check.problem == FolderProblem::OthersMayWrite)
        log.WriteErrorLog(procedure, kErrorAccessDenied, "Users other than administrators can change " + check.path);
}

void RestrictProgramFolder(Machine& machine, const std::string& procedure, const std::string& folder) {
    try {
        machine.fs.RestrictToAdministrators(folder);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog(procedure, f.number(), "The folder could not be restricted to administrators: " +
                                                             folder + ": " + f.description());
        throw;
    }
    machine.log.WriteLog(procedure, folder + " restricted to Administrators and SYSTEM");
}

std::vector<std::string> RestrictCommands(const std::string& folder) {
    return {"icacls \"" + folder + "\" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F",
            "icacls \"" + JoinPath(folder, "*") + "\" /reset /T /C"};
}

}  // namespace quillbay::certs
