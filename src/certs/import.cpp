#include "certs/import.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iterator>
#include <optional>
#include <vector>

#include "lang/store.h"
#include "support/command_line.h"
#include "support/password_file.h"
#include "support/paths.h"

namespace quillbay::certs {

using app::Id;
using lang::GetLangString;

namespace {

constexpr const char* kAppTitle = "Quillbay";
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

void ShowStatus(app::Main& m, const std::string& text) {
    m.ui.SetText(Id::lblStatus, text);
    m.ui.DoEvents();
}

std::string RegAddLine(const SettingRow& row) {
    const std::string type = row.type;
    const std::string data = type == "REG_SZ" ? "\"" + std::string(row.data) + "\"" : std::string(row.data);
    return "reg add \"" + std::string(kBaseKey) + row.keySuffix + "\" /v " + row.valueName + " /t " + type +
           " /d " + data + " /f";
}

// Keeps the values the hardening is about to replace, so an administrator can put them back
// with reg import. A failed backup is logged and does not stop the hardening.
void BackupSecurityProviders(app::Main& m) {
    std::string commandLine;
    try {
        const std::string folder = JoinPath(m.host.AppFolder(), "backup");
        if (!m.fs.FolderExists(folder)) m.fs.CreateFolder(folder);
        // reg export /y overwrites; an earlier backup must survive, so the name is made unique.
        const std::string target =
            UnusedPath(m.fs, folder + "\\SecurityProviders-" + CompactTimestamp(m.clock.Now()), ".reg");
        commandLine = "reg export \"" + std::string(kBaseKey) + "\" \"" + target + "\" /y";
        const std::int32_t exitCode = m.shell.Run(commandLine, 0, true);
        if (exitCode != 0)
            m.log.WriteErrorLog("ApplySecurityConfiguration", exitCode,
                                "Backup of the SecurityProviders key failed: " + commandLine);
    } catch (const Failure& f) {
        m.log.WriteErrorLog("ApplySecurityConfiguration", f.number(),
                            "Backup of the SecurityProviders key failed: " + f.description() +
                                (commandLine.empty() ? "" : " (" + commandLine + ")"));
    }
}

enum class PfxOutcome { Imported, Missing, Failed };

struct PfxResult {
    PfxOutcome outcome = PfxOutcome::Missing;
    std::int32_t code = 0;  // exit code or failure number when Failed
};

PfxResult ImportPfx(app::Main& m, const std::string& base) {
    const std::string pfxPath = base + "fullchain.pfx";
    const std::string passwordPath = base + "password.txt";
    if (!m.fs.FileExists(pfxPath) || !m.fs.FileExists(passwordPath)) return {};

    const std::optional<std::string> password = ReadPasswordFile(m.fs, passwordPath);
    if (!password) return {};

    ShowStatus(m, GetLangString("lblStatus_ImportingPFX"));
    // Started directly: no command interpreter sees the password, and quoting keeps every
    // character of it intact.
    const std::string commandLine = "certutil.exe -f -p " + QuoteArg(*password) + " -importpfx " + QuoteArg(pfxPath);
    PfxResult result{PfxOutcome::Failed, 0};
    try {
        result.code = m.shell.Run(commandLine, 0, true);
        if (result.code == 0) return {PfxOutcome::Imported, 0};
    } catch (const Failure& f) {
        result.code = f.number();
    }
    m.log.WriteErrorLog("导入PFX证书失败", result.code, Redact(commandLine, *password));
    return result;
}

void EnableButtonsAtEnd(app::Main& m) {
    m.ui.SetEnabled(Id::cmdImport, true);
    if (m.ui.ListCount(Id::lstSites) > 0 && m.ui.Enabled(Id::lstSites)) m.ui.SetEnabled(Id::cmdDeploy, true);
}

void Import(app::Main& m) {
    const std::string base = WithTrailingBackslash(m.host.AppFolder());
    const int count = m.ui.ListCount(Id::lstCertificates);
    int selected = 0;
    for (int i = 0; i < count; ++i)
        if (m.ui.ListSelected(Id::lstCertificates, i)) ++selected;

    if (selected == 0) {
        m.ui.ShowMessage(GetLangString("MsgBox_Import_SelectCert"), app::kExclamation, kAppTitle);
        return;
    }

    // Each import is waited for so that its exit code decides, and so that the hardening
    // and the IIS restart never race an import still running.
    int imported = 0;
    for (int i = 0; i < count; ++i) {
        if (!m.ui.ListSelected(Id::lstCertificates, i)) continue;
        const std::string path = base + "chain\\" + m.ui.ListItem(Id::lstCertificates, i);
        try {
            if (m.shell.Run("certutil.exe -addstore -f \"CA\" \"" + path + "\"", 0, true) == 0) ++imported;
        } catch (const Failure&) {
            // Not started: counted as not imported, reported with the others below.
        }
        ShowStatus(m, GetLangString("lblStatus_ImportingCertChain") + std::to_string(imported) +
                          GetLangString("lblStatus_ImportingCertChain_Of") + std::to_string(selected));
    }

    const PfxResult pfx = ImportPfx(m, base);

    ShowStatus(m, GetLangString("lblStatus_ApplyingSecurity"));
    const bool securityOk = ApplySecurityConfiguration(m);

    const int chainsFailed = selected - imported;
    if (chainsFailed == 0 && pfx.outcome == PfxOutcome::Imported && securityOk) {
        const std::string restartNote = GetLangString("MsgBox_Import_RestartNote");
        m.ui.ShowMessage(GetLangString("MsgBox_Import_CertImportSuccess") + std::to_string(imported) +
                            GetLangString("MsgBox_Import_CertImportSuccessPFX") + "\r\n" + restartNote,
                        app::kInformation, GetLangString("MsgBox_Import_CompleteTitle"));
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_ImportCompleteDeployReady") + " " + restartNote);
        return;
    }

    const std::string intro = GetLangString("MsgBox_Import_PartialIntro");
    std::string text = intro;
    if (pfx.outcome == PfxOutcome::Missing) text += "\r\n" + GetLangString("MsgBox_Import_PfxMissing");
    if (pfx.outcome == PfxOutcome::Failed)
        text += "\r\n" + GetLangString("MsgBox_Import_PfxFailed") + std::to_string(pfx.code) +
                GetLangString("MsgBox_Import_PfxFailed_CheckPassword");
    if (chainsFailed > 0) text += "\r\n" + std::to_string(chainsFailed) + GetLangString("MsgBox_Import_ChainsFailed");
    const std::string securityFailed = GetLangString("lblStatus_ImportCompleteSecurityFailed");
    if (!securityOk) text += "\r\n" + securityFailed;
    m.ui.ShowMessage(text, app::kExclamation, GetLangString("MsgBox_Import_PartialCompleteTitle"));
    m.ui.SetText(Id::lblStatus, securityOk ? intro : securityFailed);
}

}  // namespace

std::string CompactTimestamp(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

std::string UnusedPath(FileSystem& fs, const std::string& stem, const std::string& tail) {
    std::string path = stem + tail;
    for (int n = 2; fs.FileExists(path); ++n) path = stem + "-" + std::to_string(n) + tail;
    return path;
}

void cmdImport_Click(app::Main& m) {
    try {
        m.ui.SetEnabled(Id::cmdImport, false);
        m.ui.SetEnabled(Id::cmdDeploy, false);
        ShowStatus(m, GetLangString("lblStatus_Importing"));
        Import(m);
    } catch (const std::exception& e) {
        const auto* f = dynamic_cast<const Failure*>(&e);
        const std::int32_t number = f ? f->number() : 0;
        const std::string description = f ? f->description() : std::string(e.what());
        m.log.WriteErrorLog("cmdImport_Click", number, description);
        m.ui.ShowMessage(GetLangString("MsgBox_Import_UnexpectedError") + description, app::kCritical,
                        GetLangString("MsgBox_Import_UnexpectedError_Title"));
    }
    EnableButtonsAtEnd(m);
}

bool ApplySecurityConfiguration(app::Main& m) {
    bool result = true;
    try {
        // The status texts follow the language current at this call.
        std::vector<std::string> statusTexts;
        for (const SettingRow& row : kSettings)
            statusTexts.push_back(row.statusKey ? GetLangString(row.statusKey) : std::string());

        BackupSecurityProviders(m);

        std::string lastStatus;
        for (std::size_t i = 0; i < std::size(kSettings); ++i) {
            if (!statusTexts[i].empty() && statusTexts[i] != lastStatus) {
                ShowStatus(m, statusTexts[i]);
                lastStatus = statusTexts[i];
            }
            if (m.shell.Run(RegAddLine(kSettings[i]), 0, true) != 0) result = false;
        }

        if (m.fs.FileExists(m.fs.GetSpecialFolder(1) + "\\inetsrv\\iisreset.exe")) {
            ShowStatus(m, GetLangString("MsgBox_RefreshingIIS"));
            m.shell.Run("iisreset", 0, true);  // its exit code does not change the result
        }
    } catch (const std::exception&) {
        // A tool that cannot be started ends the hardening; the caller reports the result.
        return false;
    }
    return result;
}

}  // namespace quillbay::certs
