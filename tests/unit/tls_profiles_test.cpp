// The TLS profiles' values and the audit of what the registry holds against them.
#include <gtest/gtest.h>

#include "certs/tls_profiles.h"
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
    EXPECT_EQ(certs::ProfileValues(TlsProfile::Compatible, 0).size(), 56u);
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
    EXPECT_EQ(audit.compatibleDiffers, 56);
    EXPECT_EQ(audit.modernDiffers, 36);
    EXPECT_FALSE(audit.Matches());

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
    EXPECT_EQ(run({"tls"}).first, 2);
    EXPECT_TRUE(w.shell.runs.empty());
}

}  // namespace
