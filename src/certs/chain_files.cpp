#include "certs/chain_files.h"

#include <cstdio>

#include "support/command_line.h"
#include "support/paths.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::certs {

std::string ChainFolder(Host& host) { return JoinPath(host.AppFolder(), "chain"); }

std::vector<std::string> FindChainFiles(Machine& machine) {
    const std::string folder = ChainFolder(machine.host);
    if (!machine.fs.FolderExists(folder)) machine.fs.CreateFolder(folder);
    return FindChainFiles(machine, folder);
}

std::vector<std::string> FindChainFiles(Machine& machine, const std::string& folder) {
    std::vector<std::string> names;
    for (const FileEntry& f : machine.fs.ListFiles(folder)) {
        const std::string ext = AsciiLower(GetExtensionName(f.path));
        if (ext == "crt" || ext == "cer" || ext == "der") names.push_back(f.name);
    }
    return names;
}

std::string UnusedPath(FileSystem& fs, const std::string& stem, const std::string& tail) {
    std::string path = stem + tail;
    for (int n = 2; fs.FileExists(path); ++n) path = stem + "-" + std::to_string(n) + tail;
    return path;
}

std::string CompactTimestamp(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

namespace {

// Where the copy goes. A file already there is the user's and stays untouched: the copy
// takes a time-stamped name, and a further suffix if even that is taken.
std::string CopyTarget(Machine& machine, const std::string& chainPath, const std::string& source) {
    const std::string plain = chainPath + GetFileName(source);
    if (!machine.fs.FileExists(plain)) return plain;
    return UnusedPath(machine.fs,
                      chainPath + GetBaseName(source) + "_" + CompactTimestamp(machine.clock.Now()),
                      "." + GetExtensionName(source));
}

}  // namespace

ManualImportOutcome ImportChainFiles(Machine& machine, const std::vector<std::string>& files) {
    const std::string chainFolder = ChainFolder(machine.host);
    const std::string chainPath = chainFolder + "\\";
    if (!machine.fs.FolderExists(chainFolder)) machine.fs.CreateFolder(chainFolder);

    ManualImportOutcome outcome;
    const std::string certutil = ProgramToken(SystemProgram(machine.fs, "certutil.exe"));
    // Every file is tried and every failure logged; one that fails does not stop the others.
    for (const std::string& file : files) {
        // One that did not start or was ended is not imported, but still copied.
        const ToolRun run = RunChange(machine.shell, certutil + " -addstore -f \"CA\" " + QuoteArg(file));
        if (run.Succeeded())
            ++outcome.imported;
        else
            machine.log.WriteErrorLog("ImportChainFiles", run.exitCode,
                                      Explained("The chain certificate was not imported: " + file, run));
        try {
            machine.fs.Copy(file, CopyTarget(machine, chainPath, file), false);
            ++outcome.copied;
        } catch (const Failure& f) {
            machine.log.WriteErrorLog("ImportChainFiles", f.number(),
                                      "The file was not copied into the chain folder: " + file + ": " + f.description());
        }
    }
    return outcome;
}

}  // namespace quillbay::certs
