// The TLS profiles' values and the audit of what the registry holds against them.
#include <gtest/gtest.h>

#include "certs/import.h"
#include "certs/tls_profiles.h"
#include "support/text.h"
#include "cli/program.h"
#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;
using certs::TlsProfile;

namespace {

std::string Row(const certs::TlsValue& v) {
    const std::string key = v.key.substr(v.key.rfind("\\SCHANNEL") == std::string::npos ? 0 : v.key.rfind("\\SCHANNEL") + 9);
    return key + "|" + v.name + "|" + v.type + "|" + v.data;
}

TEST(TlsProfiles, ModernTurnsTheOldOffAndTls13OnOnlyWhereTheSystemHasIt) {
    const auto below = certs::ProfileValues(TlsProfile::Modern, certs::kFirstBuildWithTls13 - 1);
    const auto from = certs::ProfileValues(TlsProfile::Modern, certs::kFirstBuildWithTls13);
    ASSERT_EQ(below.size(), 36u);
    ASSERT_EQ(from.size(), 40u);
    std::vector<std::string> rows;
    for (const certs::TlsValue& v : from) rows.push_back(Row(v));
    for (const char* expected : {"\\Protocols\\SSL 2.0\\Client|Enabled|REG_DWORD|0", "\\Protocols\\TLS 1.0\\Server|DisabledByDefault|REG_DWORD|1",
                                 "\\Protocols\\TLS 1.1\\Client|Enabled|REG_DWORD|0", "\\Protocols\\TLS 1.2\\Server|Enabled|REG_DWORD|1",
                                 "\\Protocols\\TLS 1.3\\Client|DisabledByDefault|REG_DWORD|0", "\\Ciphers\\Triple DES 168|Enabled|REG_DWORD|0",
                                 "\\Ciphers\\AES 256/256|Enabled|REG_DWORD|0xffffffff", "\\Hashes\\MD5|Enabled|REG_DWORD|0",
                                 "\\KeyExchangeAlgorithms\\Diffie-Hellman|ClientMinKeyBitLength|REG_DWORD|0x00000800"})
        EXPECT_NE(std::find(rows.begin(), rows.end(), expected), rows.end()) << expected;
    for (const certs::TlsValue& v : below) EXPECT_EQ(v.key.find("TLS 1.3"), std::string::npos);
    // The suite order is policy: AEAD with forward secrecy only, TLS 1.3's first where it exists.
    EXPECT_EQ(from.back().key, certs::kCipherSuitePolicyKey);
    EXPECT_EQ(from.back().data.rfind("TLS_AES_256_GCM_SHA384,TLS_AES_128_GCM_SHA256,TLS_ECDHE_", 0), 0u);
    EXPECT_EQ(below.back().data.rfind("TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,", 0), 0u);
    for (const char* weak : {"CBC", "_SHA,", "RC4", "3DES", "NULL"}) EXPECT_EQ(from.back().data.find(weak), std::string::npos);
    EXPECT_TRUE(certs::ProfileValues(TlsProfile::Unchanged, 99999).empty());
}

TEST(TlsProfiles, TheAuditComparesWhatTheRegistryReadsBack) {
    EXPECT_EQ(certs::AsRegistryReads({"k", "n", "REG_DWORD", "0xffffffff"}), "-1");
    EXPECT_EQ(certs::AsRegistryReads({"k", "n", "REG_DWORD", "0x00000800"}), "2048");
    EXPECT_EQ(certs::AsRegistryReads({"k", "n", "REG_SZ", "3des,rc4"}), "3des,rc4");

    FakeMachine w;
    const auto set = [&w](TlsProfile profile, int build) {
        for (const certs::TlsValue& v : certs::ProfileValues(profile, build))
            w.shell.registry[Lower(v.key + "\\" + v.name)] = certs::AsRegistryReads(v);
    };
    w.shell.registry[Lower("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber")] = "17763";
    certs::TlsAudit audit = certs::AuditTls(w.machine);
    EXPECT_EQ(audit.osBuild, 17763);

    set(TlsProfile::Compatible, 17763);
    audit = certs::AuditTls(w.machine);
    EXPECT_EQ(audit.Matches(), TlsProfile::Compatible);
    // TLS 1.0 and 1.1 (8 values), TLS 1.2's Enabled as 0xffffffff, not 1 (2), Triple DES, MD5,
    // the client's DH minimum and the suite order.
    EXPECT_EQ(audit.modernDiffers, 14);
    set(TlsProfile::Modern, 17763);
    audit = certs::AuditTls(w.machine);
    EXPECT_EQ(audit.Matches(), TlsProfile::Modern);
    EXPECT_EQ(audit.rows.size(), 56u + 2u);  // Modern adds the client's DH minimum and the suite order
}

// tls --show: the audit as the console prints it, its exit code telling whether a profile matches.
TEST(TlsProfiles, TheConsoleShowsTheAuditAndChangesNothing) {
    FakeMachine w;
    const auto run = [&w](std::vector<std::string> args) {
        FakeConsole console;
        const int code = cli::RunConsole(w.machine, console, args);
        lang::ResetLanguageState();
        return std::make_pair(code, console.out + console.err);
    };
    auto [code, text] = run({"tls", "--show"});
    EXPECT_EQ(code, 1);
    EXPECT_THAT(text, HasSubstr("HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\Hashes\\MD5\\Enabled = "
                                "(not set) (Compatible: -1; Modern: 0)\r\n"));
    EXPECT_THAT(text, HasSubstr("00010002\\Functions = (not set) (Compatible: left alone; Modern: TLS_ECDHE_ECDSA_"));
    EXPECT_THAT(text, HasSubstr("56 value(s) differ from the Compatible profile, 36 from the Modern profile (system build 0)."));
    for (const certs::TlsValue& v : certs::ProfileValues(TlsProfile::Modern, 0))
        w.shell.registry[Lower(v.key + "\\" + v.name)] = certs::AsRegistryReads(v);
    std::tie(code, text) = run({"tls", "--show", "--json"});
    EXPECT_EQ(code, 0);
    EXPECT_THAT(text, HasSubstr("\"differ\":{\"compatible\":34,\"modern\":0},\"matches\":\"modern\""));
    EXPECT_TRUE(w.shell.runs.empty());
}

const std::string kPolicy = certs::kCipherSuitePolicyKey;
const std::string kBackup = "C:\\Tools\\Quillbay\\backup\\SecurityProviders-20261206090507";

// Modern writes outside the exported key: the undo file gives that value back, or deletes the
// keys the profile made. Unchanged runs nothing.
TEST(TlsProfiles, ModernKeepsWhatTheExportLacksInTheUndoFile) {
    const struct {
        const char* what;
        std::map<std::string, std::string> registry;
        std::string undo;  // a piece of the undo file
    } cases[] = {
        {"a suite order set before", {{kPolicy + "\\Functions", "OLD_SUITE,\"Q\\"}},
         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Cryptography\\Configuration\\SSL\\00010002]\r\n"
         "\"Functions\"=\"OLD_SUITE,\\\"Q\\\\\"\r\n"},
        {"part of the policy's path there before", {{"HKLM\\SOFTWARE\\Policies\\Microsoft\\Cryptography\\Configuration\\x", "1"}},
         "\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Cryptography\\Configuration\\SSL]\r\n"},
        // Never the policies of anything else, even where the profile made their keys.
        {"no policies at all", {}, "\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Cryptography]\r\n"},
    };
    for (const auto& c : cases) {
        FakeMachine w;
        for (const auto& [path, data] : c.registry) w.shell.registry[Lower(path)] = data;
        w.shell.registry[Lower("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber")] = "20348";
        NoProgress progress;
        const certs::SecurityOutcome s = certs::ApplySecurityConfiguration(w.machine, progress, TlsProfile::Modern);
        EXPECT_TRUE(s.ok && s.valuesWritten == 40 && s.valuesExpected == 40) << c.what;
        EXPECT_EQ(s.undoPath, kBackup + "-undo.reg");
        EXPECT_THAT(w.fs.Content(s.undoPath).value_or(""), HasSubstr(c.undo)) << c.what;
        EXPECT_THAT(w.Changes().back(), HasSubstr("reg.exe add \"" + kPolicy + "\" /v Functions /t REG_SZ /d \"TLS_AES_256_GCM_SHA384,"));
    }
    FakeMachine w;
    NoProgress progress;
    const certs::SecurityOutcome s = certs::ApplySecurityConfiguration(w.machine, progress, TlsProfile::Unchanged);
    EXPECT_TRUE(s.ok && s.backupPath.empty());
    EXPECT_TRUE(w.shell.runs.empty() && certs::JudgeSecurity(s).empty());
}

TEST(TlsProfiles, CompatibleSaysWhichProtocolsItSwitchesBackOn) {
    const std::string server = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\Protocols\\";
    const struct {
        int build;
        std::map<std::string, std::string> registry;
        std::vector<std::string> reenabled;
    } cases[] = {
        {26100, {{"TLS 1.0\\Server\\Enabled", "-1"}, {"TLS 1.0\\Server\\DisabledByDefault", "0"}}, {"TLS 1.1"}},
        {17763, {{"TLS 1.1\\Server\\Enabled", "0"}}, {"TLS 1.1"}},
        {17763, {{"TLS 1.0\\Server\\DisabledByDefault", "1"}}, {"TLS 1.0"}},
    };
    for (const auto& c : cases) {
        FakeMachine w;
        for (const auto& [path, data] : c.registry) w.shell.registry[Lower(server + path)] = data;
        EXPECT_EQ(certs::CompatibleReenables(w.machine, c.build), c.reenabled) << c.build;
    }
}

// tls --undo: the export (UTF-16, as reg export writes it) and its undo file imported in that
// order, every value a profile touches compared with what the pair says; a pair that would
// change anything else is refused before reg.exe runs.
TEST(TlsProfiles, UndoImportsThePairAndChecksTheValuesBack) {
    const std::string base = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders";
    const std::string exported = Utf16LeWithBom("Windows Registry Editor Version 5.00\r\n\r\n[" + base +
                                                "]\r\n\"SecurityProviders\"=\"credssp.dll\"\r\n\r\n[" + base +
                                                "\\SCHANNEL\\Protocols\\TLS 1.2\\Server]\r\n\"Enabled\"=dword:00000000\r\n"
                                                "\"Other\"=hex:01,02,\\\r\n  03\r\n");
    const std::string undo = "Windows Registry Editor Version 5.00\r\n\r\n[-" + base + "\\SCHANNEL\\Protocols\\TLS 1.0]\r\n\r\n[" +
                             base + "\\SCHANNEL\\Hashes\\MD5]\r\n\"Enabled\"=-\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\"
                             "Microsoft\\Cryptography\\Configuration\\SSL\\00010002]\r\n\"Functions\"=\"A,B\"\r\n";
    const auto run = [&](const std::function<void(FakeMachine&)>& arrange, std::vector<std::string> args = {}) {
        FakeMachine w;
        w.fs.AddFile(kBackup + ".reg", exported);
        w.fs.AddFile(kBackup + "-undo.reg", undo);
        w.shell.registry[Lower(certs::kSecurityProvidersKey + std::string("\\SecurityProviders"))] = "credssp.dll";
        w.shell.registry[Lower(certs::kSecurityProvidersKey + std::string("\\SCHANNEL\\Protocols\\TLS 1.2\\Server\\Enabled"))] = "0";
        w.shell.registry[Lower(kPolicy + "\\Functions")] = "A,B";
        arrange(w);
        FakeConsole console;
        const int code = cli::RunConsole(w.machine, console, args.empty() ? std::vector<std::string>{"tls", "--undo", kBackup + ".reg"} : args);
        lang::ResetLanguageState();
        return std::make_tuple(code, console.out + console.err, w.Changes());
    };
    auto [code, text, runs] = run([](FakeMachine&) {}, {"tls", "--undo", kBackup + "-undo.reg"});
    EXPECT_EQ(code, 0);
    // SecurityProviders, TLS 1.2's Enabled, TLS 1.0's four, MD5 and the suite order.
    EXPECT_THAT(text, HasSubstr("The TLS settings are back as they were before the change: 8 value(s) checked against " + kBackup + ".reg."));
    EXPECT_THAT(text, HasSubstr("an IIS restart (iisreset) is not enough"));
    EXPECT_EQ(runs, (std::vector<std::string>{"C:\\windows\\system32\\reg.exe import \"" + kBackup + ".reg\"",
                                              "C:\\windows\\system32\\reg.exe import \"" + kBackup + "-undo.reg\""}));

    std::tie(code, text, runs) = run([](FakeMachine& w) {
        w.shell.registry[Lower(certs::kSecurityProvidersKey + std::string("\\SCHANNEL\\Hashes\\MD5\\Enabled"))] = "-1";
    });
    EXPECT_EQ(code, 1);
    EXPECT_THAT(text, HasSubstr("\\SCHANNEL\\Hashes\\MD5\\Enabled reads -1, not (not set) as before the change."));

    std::tie(code, text, runs) = run([](FakeMachine& w) { w.Fail("-undo.reg", 1); });
    EXPECT_EQ(code, 1);
    EXPECT_THAT(text, HasSubstr("reg import failed (exit code 1) after 1 of the 2 files"));

    for (const std::string& foreign : {std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"),
                                       std::string("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Microsoft\\Cryptography\\Configuration\\SSL\\00010003]\r\n"),
                                       std::string("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies]\r\n")}) {
        std::tie(code, text, runs) = run([&](FakeMachine& w) { w.fs.AddFile(kBackup + "-undo.reg", undo + foreign); });
        EXPECT_EQ(code, 2);
        EXPECT_THAT(text, HasSubstr("is not a backup of the TLS settings"));
        EXPECT_TRUE(runs.empty());
    }
}

}  // namespace
