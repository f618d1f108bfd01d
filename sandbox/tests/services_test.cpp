// iisreset, started by its bare name as the application does, and the HTTP.sys certificate
// bindings of netsh with the application's deployment lines.
#include <gtest/gtest.h>

#include "harness.h"

namespace sandbox::test {
namespace {

const wchar_t kAppId[] = L"{4dc3e181-e14b-4a21-b022-59fc669b0914}";

TEST(Iisreset, CountsEveryRestart) {
    ASSERT_TRUE(Seed());
    EXPECT_EQ(Sbx(L"restarts"), L"0\r\n");
    EXPECT_EQ(ShellRun(L"iisreset"), 0u);
    ProcessResult second = RunProcess(L"iisreset");
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_EQ(second.out,
              "\r\nAttempting stop...\r\nInternet services successfully stopped\r\n"
              "Attempting start...\r\nInternet services successfully restarted\r\n\r\n");
    EXPECT_EQ(Sbx(L"restarts"), L"2\r\n");

    // Stopping and starting are not restarts.
    EXPECT_EQ(RunProcess(L"iisreset /stop").exitCode, 0u);
    EXPECT_EQ(RunProcess(L"iisreset /status").out,
              "Status for Windows Process Activation Service ( WAS ) : Stopped\r\n"
              "Status for World Wide Web Publishing Service ( W3SVC ) : Stopped\r\n");
    EXPECT_EQ(RunProcess(L"iisreset /start").exitCode, 0u);
    EXPECT_EQ(Sbx(L"restarts"), L"2\r\n");
    EXPECT_EQ(LogOf(L"iisreset").size(), 5u);
    EXPECT_EQ(RunProcess(L"iisreset /bogus").exitCode, 1u);
}

TEST(Iisreset, IsWhereTheApplicationLooksForIt) {
    ASSERT_TRUE(Seed());
    EXPECT_NE(GetFileAttributesW((SystemDir() + L"\\inetsrv\\iisreset.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(Seed(L"--no-iis"));
    EXPECT_EQ(ShellRun(L"iisreset"), static_cast<DWORD>(-1)) << "no IIS, nothing to start";
}

class Netsh : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Seed()); }
    static std::wstring Netsh_() { return SystemDir() + L"\\netsh.exe"; }
    static std::wstring Delete(const std::wstring& port) {
        return Netsh_() + L" http delete sslcert ipport=0.0.0.0:" + port;
    }
    static std::wstring Add(const std::wstring& port, const std::wstring& hash) {
        return Netsh_() + L" http add sslcert ipport=0.0.0.0:" + port + L" certhash=" + hash + L" appid=" + kAppId;
    }
    static void ImportLeaf() {
        ASSERT_EQ(ShellLaunch(L"cmd.exe", L"/c certutil.exe -f -p \"" + Password(L"leaf") + L"\" -importpfx \"" +
                                             Fixture(L"leaf.pfx") + L"\""),
                  0u);
    }
};

TEST_F(Netsh, BindsOnlyACertificateWhoseKeyIsInMy) {
    ProcessResult noKey = RunProcess(Add(L"443", Thumbprint(L"leaf")));
    EXPECT_EQ(noKey.exitCode, 1u);
    EXPECT_EQ(noKey.out,
              "\r\nSSL Certificate add failed, Error: 1312\r\n"
              "A specified logon session does not exist. It may already have been terminated.\r\n\r\n");
    ImportLeaf();
    ProcessResult added = RunProcess(Add(L"443", Thumbprint(L"leaf")));
    EXPECT_EQ(added.exitCode, 0u);
    EXPECT_EQ(added.out, "\r\nSSL Certificate successfully added\r\n\r\n");
    auto bindings = SbxRecords(L"sslcerts");
    ASSERT_EQ(bindings.size(), 1u);
    EXPECT_EQ(bindings[0], (std::vector<std::wstring>{L"ipport", L"0.0.0.0:443", Thumbprint(L"leaf"), kAppId, L"MY"}));
    EXPECT_NE(RunProcess(Add(L"443", Thumbprint(L"inter"))).exitCode, 0u) << "the chain's certificates have no key";
}

TEST_F(Netsh, ReplacesABindingOnlyAfterDeletingIt) {
    ImportLeaf();
    EXPECT_NE(ShellRun(Delete(L"443")), 0u) << "nothing to delete yet";
    EXPECT_EQ(ShellRun(Add(L"443", Thumbprint(L"leaf"))), 0u);
    ProcessResult duplicate = RunProcess(Add(L"443", Thumbprint(L"leaf")));
    EXPECT_EQ(duplicate.exitCode, 1u);
    EXPECT_NE(duplicate.out.find("Error: 183"), std::string::npos);
    EXPECT_EQ(ShellRun(Delete(L"443")), 0u);
    EXPECT_EQ(ShellRun(Add(L"443", Thumbprint(L"leaf"))), 0u);
    ProcessResult missing = RunProcess(Delete(L"8443"));
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_EQ(missing.out, "\r\nSSL Certificate deletion failed, Error: 2\r\nThe system cannot find the file specified.\r\n\r\n");
}

TEST_F(Netsh, RejectsWhatIsNotAnEndpointOrParameter) {
    ImportLeaf();
    for (const wchar_t* port : {L"", L"44a3", L"70000", L" 443"}) {
        ProcessResult bad = RunProcess(Add(port, Thumbprint(L"leaf")));
        EXPECT_EQ(bad.exitCode, 1u) << port;
    }
    EXPECT_EQ(RunProcess(Add(L"443", L"XYZ")).out, "The parameter is incorrect.\r\n\r\n");
    // "hostname=" and "sslFlags=" are not parameters of "http add sslcert" (a named host is bound
    // with hostnameport=host:port).
    ProcessResult named = RunProcess(Add(L"443", Thumbprint(L"leaf")) + L" hostname=www.example.com sslFlags='1'");
    EXPECT_EQ(named.exitCode, 1u);
    EXPECT_NE(named.out.find("Usage: add sslcert"), std::string::npos);
    EXPECT_EQ(RunProcess(Netsh_() + L" http add sslcert hostnameport=www.example.com:443 certhash=" + Thumbprint(L"leaf") +
                         L" appid=" + kAppId)
                  .exitCode,
              0u);
    EXPECT_TRUE(SbxRecords(L"sslcerts").size() == 1u);
}

}  // namespace
}  // namespace sandbox::test
