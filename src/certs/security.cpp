#include "certs/security.h"

#include <iterator>
#include <vector>

#include "certs/chain_files.h"
#include "support/paths.h"
#include "support/runner.h"

namespace quillbay::certs {

namespace {

constexpr const char* kBaseKey = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders";

struct SettingRow {
    const char* keySuffix;
    const char* valueName;
    const char* type;
    const char* data;
    const char* statusKey;  // shown when the row is reached; nullptr for none
};

// Written in this order on every machine. Row 21 carries the 0x prefix: without it reg.exe
// reads the digits as decimal and the minimum becomes 800 bits instead of 2048.
constexpr SettingRow kSettings[] = {
    {"", "SecurityProviders", "REG_SZ", "credssp.dll", "MsgBox_ApplyingSecurityProtocol"},
    {"\\SCHANNEL", "EventLogging", "REG_DWORD", "1", "MsgBox_ConfiguringSCHANNEL"},
    {"\\SCHANNEL\\Ciphers\\AES 128/128", "Enabled", "REG_DWORD", "0xffffffff", "MsgBox_ConfiguringCipher"},
    {"\\SCHANNEL\\Ciphers\\AES 256/256", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Ciphers\\DES 56/56", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\NULL", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC2 128/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC2 40/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC2 56/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC4 128/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC4 40/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC4 56/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\RC4 64/128", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Ciphers\\Triple DES 168", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Hashes\\MD5", "Enabled", "REG_DWORD", "0xffffffff", "MsgBox_ConfiguringHash"},
    {"\\SCHANNEL\\Hashes\\SHA", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Hashes\\SHA256", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Hashes\\SHA384", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Hashes\\SHA512", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman", "Enabled", "REG_DWORD", "0xffffffff",
     "MsgBox_ConfiguringKeyExchange"},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman", "ServerMinKeyBitLength", "REG_DWORD", "0x00000800",
     nullptr},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\ECDH", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\PKCS", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Client", "Enabled", "REG_DWORD", "0",
     "MsgBox_ConfiguringSecurityProtocols"},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Client", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Server", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Server", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Client", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Client", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Server", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Server", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Client", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Client", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Server", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Server", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Client", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Client", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Server", "Enabled", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Server", "DisabledByDefault", "REG_DWORD", "1", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Client", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Client", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Server", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Server", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Client", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Client", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Server", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Server", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Client", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Client", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Server", "Enabled", "REG_DWORD", "0xffffffff", nullptr},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Server", "DisabledByDefault", "REG_DWORD", "0", nullptr},
    {"\\WDigest", "Debuglevel", "REG_DWORD", "0", "MsgBox_ConfiguringWDigest"},
    {"\\WDigest", "Negotiate", "REG_DWORD", "0", nullptr},
    {"\\WDigest", "UTF8HTTP", "REG_DWORD", "1", nullptr},
    {"\\WDigest", "UTF8SASL", "REG_DWORD", "1", nullptr},
    {"\\WDigest", "DigestEncryptionAlgorithms", "REG_SZ", "3des,rc4", nullptr},
};
static_assert(std::size(kSettings) == kSecurityValueCount);

std::string RegProgram(Machine& machine) { return ProgramToken(SystemProgram(machine.fs, "reg.exe")); }

std::string KeyPath(const SettingRow& row) { return std::string(kBaseKey) + row.keySuffix; }

std::string RegAddLine(const std::string& reg, const SettingRow& row) {
    const std::string type = row.type;
    const std::string data = type == "REG_SZ" ? "\"" + std::string(row.data) + "\"" : std::string(row.data);
    return reg + " add \"" + KeyPath(row) + "\" /v " + row.valueName + " /t " + type + " /d " + data + " /f";
}

std::string LongRoot(const std::string& key) { return "HKEY_LOCAL_MACHINE" + key.substr(4); }

std::string ParentKey(const std::string& key) { return key.substr(0, key.rfind('\\')); }

// An export merges when imported: it cannot remove what the hardening adds. The undo file
// deletes each key that was not there (its topmost missing ancestor) and each missing value
// of a key that was.
std::string UndoText(Machine& machine) {
    std::vector<std::string> deletedKeys;
    std::vector<std::pair<std::string, std::string>> deletedValues;  // key, value name
    auto contains = [](const std::vector<std::string>& keys, const std::string& key) {
        for (const std::string& k : keys)
            if (k == key) return true;
        return false;
    };
    for (const SettingRow& row : kSettings) {
        const std::string key = KeyPath(row);
        // The base key was just exported, so it is there; it is never deleted.
        if (key == kBaseKey || machine.shell.RegKeyExists(key)) {
            if (!machine.shell.RegValueExists(key + "\\" + row.valueName)) deletedValues.emplace_back(key, row.valueName);
            continue;
        }
        std::string top = key;
        while (ParentKey(top) != kBaseKey && !machine.shell.RegKeyExists(ParentKey(top))) top = ParentKey(top);
        if (!contains(deletedKeys, top)) deletedKeys.push_back(top);
    }
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& key : deletedKeys) text += "\r\n[-" + LongRoot(key) + "]\r\n";
    std::string currentKey;
    for (const auto& [key, name] : deletedValues) {
        if (key != currentKey) text += "\r\n[" + LongRoot(key) + "]\r\n";
        currentKey = key;
        text += "\"" + name + "\"=-\r\n";
    }
    return text;
}

// Keeps what the hardening is about to change so that an administrator can put it back:
// the export restores the old values, the undo file removes what was added. Throws when
// either cannot be made; the failure is logged.
void BackupSecurityProviders(Machine& machine, SecurityOutcome& outcome) {
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
        const std::int32_t exitCode = machine.shell.Run(commandLine, WindowStyle::Hidden, true);
        if (exitCode != 0) throw Failure(exitCode, "reg export ended with an error");
        const std::string undo = target.substr(0, target.size() - 4) + "-undo.reg";
        machine.fs.WriteNewBytes(undo, UndoText(machine));
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
        outcome.iisResetCode = machine.shell.Run(commandLine, WindowStyle::Hidden, true);
        reason = "iisreset ended with an error";
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

std::vector<TlsValue> CompatibleValues() {
    std::vector<TlsValue> values;
    for (const SettingRow& row : kSettings) values.push_back({KeyPath(row), row.valueName, row.type, row.data});
    return values;
}

SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress) {
    SecurityOutcome outcome;
    try {
        BackupSecurityProviders(machine, outcome);
        const std::string reg = RegProgram(machine);
        for (const SettingRow& row : kSettings) {
            if (row.statusKey) progress.Report({row.statusKey});
            const std::string line = RegAddLine(reg, row);
            const std::int32_t exitCode = machine.shell.Run(line, WindowStyle::Hidden, true);
            if (exitCode == 0) {
                ++outcome.valuesWritten;
            } else {
                if (outcome.valuesFailed++ == 0) outcome.valueFailureCode = exitCode;
                machine.log.WriteErrorLog("ApplySecurityConfiguration", exitCode, "A TLS value was not written: " + line);
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
