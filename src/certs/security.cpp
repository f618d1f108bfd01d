#include "certs/security.h"

#include <iterator>
#include <vector>

#include "certs/chain_files.h"
#include "support/paths.h"

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
static_assert(std::size(kSettings) == 56);

std::string RegAddLine(const SettingRow& row) {
    const std::string type = row.type;
    const std::string data = type == "REG_SZ" ? "\"" + std::string(row.data) + "\"" : std::string(row.data);
    return "reg add \"" + std::string(kBaseKey) + row.keySuffix + "\" /v " + row.valueName + " /t " + type +
           " /d " + data + " /f";
}

// Keeps the values the hardening is about to replace, so an administrator can put them back
// with reg import. A failed backup is logged and does not stop the hardening.
std::string BackupSecurityProviders(Machine& machine) {
    std::string commandLine;
    try {
        const std::string folder = JoinPath(machine.host.AppFolder(), "backup");
        if (!machine.fs.FolderExists(folder)) machine.fs.CreateFolder(folder);
        // reg export /y overwrites; an earlier backup must survive, so the name is made unique.
        const std::string target = UnusedPath(
            machine.fs, folder + "\\SecurityProviders-" + CompactTimestamp(machine.clock.Now()), ".reg");
        commandLine = "reg export \"" + std::string(kBaseKey) + "\" \"" + target + "\" /y";
        const std::int32_t exitCode = machine.shell.Run(commandLine, WindowStyle::Hidden, true);
        if (exitCode == 0) return target;
        machine.log.WriteErrorLog("ApplySecurityConfiguration", exitCode,
                                  "Backup of the SecurityProviders key failed: " + commandLine);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog("ApplySecurityConfiguration", f.number(),
                                  "Backup of the SecurityProviders key failed: " + f.description() +
                                      (commandLine.empty() ? "" : " (" + commandLine + ")"));
    }
    return "";
}

}  // namespace

SecurityOutcome ApplySecurityConfiguration(Machine& machine, Progress& progress) {
    SecurityOutcome outcome;
    try {
        outcome.backupPath = BackupSecurityProviders(machine);
        for (const SettingRow& row : kSettings) {
            if (row.statusKey) progress.Report({row.statusKey});
            const std::string line = RegAddLine(row);
            const std::int32_t exitCode = machine.shell.Run(line, WindowStyle::Hidden, true);
            if (exitCode == 0) {
                ++outcome.valuesWritten;
            } else {
                ++outcome.valuesFailed;
                machine.log.WriteErrorLog("ApplySecurityConfiguration", exitCode, "A TLS value was not written: " + line);
            }
        }
        if (machine.fs.FileExists(machine.fs.GetSpecialFolder(SpecialFolder::System) + "\\inetsrv\\iisreset.exe")) {
            progress.Report({"MsgBox_RefreshingIIS"});
            machine.shell.Run("iisreset", WindowStyle::Hidden, true);  // its exit code does not change the result
            outcome.iisRestarted = true;
        }
    } catch (const std::exception&) {
        // A tool that cannot be started ends the hardening; the caller reports the result.
        outcome.ok = false;
        return outcome;
    }
    outcome.ok = outcome.valuesFailed == 0;
    return outcome;
}

}  // namespace quillbay::certs
