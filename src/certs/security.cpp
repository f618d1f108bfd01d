#include "certs/security.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "certs/chain_files.h"
#include "support/paths.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::certs {

namespace {

const char* const kBaseKey = kSecurityProvidersKey;

std::string RegProgram(Machine& machine) { return ProgramToken(SystemProgram(machine.fs, "reg.exe")); }

std::string RegAddLine(const std::string& reg, const TlsValue& v) {
    const std::string data = v.type == "REG_SZ" ? "\"" + v.data + "\"" : v.data;
    return reg + " add \"" + v.key + "\" /v " + v.name + " /t " + v.type + " /d " + data + " /f";
}

// The status shown while a group of values is written: the group is the key below SCHANNEL.
const char* GroupStatus(const std::string& key) {
    static constexpr struct {
        const char* below;  // after SecurityProviders
        const char* status;
    } kGroups[] = {{"\\SCHANNEL\\Ciphers", "MsgBox_ConfiguringCipher"},
                   {"\\SCHANNEL\\Hashes", "MsgBox_ConfiguringHash"},
                   {"\\SCHANNEL\\KeyExchangeAlgorithms", "MsgBox_ConfiguringKeyExchange"},
                   {"\\SCHANNEL\\Protocols", "MsgBox_ConfiguringSecurityProtocols"},
                   {"\\SCHANNEL", "MsgBox_ConfiguringSCHANNEL"},
                   {"\\WDigest", "MsgBox_ConfiguringWDigest"}};
    if (key.rfind(kBaseKey, 0) != 0) return "MsgBox_ConfiguringCipher";  // the suite order's policy
    const std::string below = key.substr(std::string(kBaseKey).size());
    for (const auto& group : kGroups)
        if (below.rfind(group.below, 0) == 0) return group.status;
    return "MsgBox_ApplyingSecurityProtocol";
}

std::string LongRoot(const std::string& key) { return "HKEY_LOCAL_MACHINE" + key.substr(4); }

std::string ParentKey(const std::string& key) { return key.substr(0, key.rfind('\\')); }

// Data as a .reg file writes it after the name's "=".
std::string RegFileData(const std::string& type, const std::string& data) {
    if (type == "REG_DWORD") {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08lx", std::strtoul(data.c_str(), nullptr, 0) & 0xffffffffUL);
        return std::string("dword:") + hex;
    }
    std::string quoted = "\"";
    for (char c : data) quoted += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

// An export merges when imported: it cannot remove what the profile adds, and it holds only the
// SecurityProviders key.
std::string UndoText(Machine& machine, const std::vector<TlsValue>& values) {
    std::vector<std::string> deletedKeys;
    std::vector<std::pair<std::string, std::string>> entries;  // key, "name"=data or "name"=-
    auto contains = [](const std::vector<std::string>& keys, const std::string& key) {
        for (const std::string& k : keys)
            if (k == key) return true;
        return false;
    };
    for (const TlsValue& v : values) {
        const bool exported = v.key.rfind(kBaseKey, 0) == 0;
        // The base key was just exported, so it is there; it is never deleted.
        if (v.key == kBaseKey || machine.shell.RegKeyExists(v.key)) {
            const std::string path = v.key + "\\" + v.name;
            if (!machine.shell.RegValueExists(path))
                entries.emplace_back(v.key, "\"" + v.name + "\"=-");
            else if (!exported)
                entries.emplace_back(v.key, "\"" + v.name + "\"=" + RegFileData(v.type, machine.shell.RegRead(path)));
            continue;
        }
        // Up to the exported key, or up to the policy's own root: never a key above them.
        const std::string root = exported ? kBaseKey : kCipherSuitePolicyRoot;
        auto stop = [&](const std::string& parent) {
            const bool within = EqualsIgnoreCase(parent, root) || EqualsIgnoreCase(parent.substr(0, root.size() + 1), root + "\\");
            return !within || machine.shell.RegKeyExists(parent);
        };
        std::string top = v.key;
        while (!stop(ParentKey(top))) top = ParentKey(top);
        if (!contains(deletedKeys, top)) deletedKeys.push_back(top);
    }
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& key : deletedKeys) text += "\r\n[-" + LongRoot(key) + "]\r\n";
    std::string currentKey;
    for (const auto& [key, entry] : entries) {
        if (key != currentKey) text += "\r\n[" + LongRoot(key) + "]\r\n";
        currentKey = key;
        text += entry + "\r\n";
    }
    return text;
}

namespace {

// Keeps what the hardening is about to change so that an administrator can put it back:
// the export restores the old values, the undo file removes what was added. Throws when
// either cannot be made; the failure is logged.
void BackupSecurityProviders(Machine& machine, const std::vector<TlsValue>& values, SecurityOutcome& outcome) {
    std::string commandLine;
    try {
        // Only administrators may put anything where the elevated export writes.
        const std::string folder = JoinPath(machine.host.AppFolder(), "backup");
        if (!machine.fs.FolderExists(folder)) machine.fs.CreateAdminOnlyFolder(folder);
        // reg export /y overwrites; an earlier backup must survive, so the name is made unique
        // and claimed (never reused) before reg.exe writes it.
        const std::string target = UnusedPath(
            machine.fs, folder + "\\SecurityProviders-" + CompactTimestamp(machine.clock.Now()), ".reg");
        machine.fs.WriteNewBytes(target, "");
        commandLine = RegProgram(machine) + " export \"" + std::string(kBaseKey) + "\" \"" + target + "\" /y";
        const Captured run = machine.shell.RunTool(commandLine);
        if (run.exitCode != 0) throw Failure(run.exitCode, WithToolWords("reg export ended with an error", run.output));
        const std::string undo = target.substr(0, target.size() - 4) + "-undo.reg";
        machine.fs.WriteNewBytes(undo, UndoText(machine, values));
        outcome.backupPath = target;
        outcome.undoPath = undo;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        outcome.backupFailed = true;
        outcome.backupCode = f.number;
        machine.log.WriteErrorLog("ApplySecurityConfiguration", f.number,
                                  "Backup of the SecurityProviders key failed, TLS settings left unchanged: " +
                                      f.description + (commandLine.empty() ? "" : " (" + commandLine + ")"));
        throw;
    }
}

void RestartIis(Machine& machine, Progress& progress, SecurityOutcome& outcome) {
    const std::string iisreset = SystemProgram(machine.fs, "inetsrv\\iisreset.exe");
    // The file looked for is the file started.
    if (!machine.fs.FileExists(iisreset)) return;
    progress.Report({"MsgBox_RefreshingIIS"});
    outcome.iisRestarted = true;
    const std::string commandLine = ProgramToken(iisreset);
    std::string reason;
    try {
        const Captured run = machine.shell.RunTool(commandLine);
        outcome.iisResetCode = run.exitCode;
        reason = WithToolWords("iisreset ended with an error", run.output);
    } catch (const Failure& f) {
        outcome.iisResetCode = f.number();
        reason = f.description();
    }
    // A failed restart can leave the web service stopped: never reported as success.
    if (outcome.iisResetCode != 0)
        machine.log.WriteErrorLog("ApplySecurityConfiguration", outcome.iisResetCode,
                                  "IIS could not be restarted: " + reason + " (" + commandLine + ")");
}

}  // namespace

SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress, TlsProfile profile) {
    SecurityOutcome outcome;
    outcome.profile = profile;
    if (profile == TlsProfile::Unchanged) {
        outcome.ok = true;
        return outcome;
    }
    const std::vector<TlsValue> values = ProfileValues(profile, OsBuild(machine));
    outcome.valuesExpected = static_cast<int>(values.size());
    try {
        BackupSecurityProviders(machine, values, outcome);
        const std::string reg = RegProgram(machine);
        const char* shown = nullptr;
        for (const TlsValue& v : values) {
            const char* status = GroupStatus(v.key);
            if (status != shown) progress.Report({shown = status});
            const std::string line = RegAddLine(reg, v);
            const Captured run = machine.shell.RunTool(line);
            if (run.exitCode == 0) {
                ++outcome.valuesWritten;
            } else {
                if (outcome.valuesFailed++ == 0) outcome.valueFailureCode = run.exitCode;
                machine.log.WriteErrorLog("ApplySecurityConfiguration", run.exitCode,
                                          WithToolWords("A TLS value was not written: " + line, run.output));
            }
        }
    } catch (...) {
        // The backup failed (logged there), or reg.exe could not be started; the caller
        // reports the result.
        if (!outcome.backupFailed) {
            const FailureInfo f = CurrentFailure();
            if (outcome.valuesFailed == 0) outcome.valueFailureCode = f.number;
            machine.log.WriteErrorLog("ApplySecurityConfiguration", f.number, f.description);
        }
        outcome.ok = false;
        return outcome;
    }
    RestartIis(machine, progress, outcome);
    outcome.ok = outcome.valuesFailed == 0 && !outcome.IisResetFailed();
    return outcome;
}

}  // namespace quillbay::certs
