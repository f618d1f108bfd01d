// The console program: its command line, the pre-flight rules, the JSON it writes and the exit
// code of every outcome, on a machine of fakes.
#include <gtest/gtest.h>

#include "certs/inspect.h"
#include "cli/arguments.h"
#include "cli/json.h"
#include "cli/program.h"
#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;
using cli::Command;
using cli::json::Value;

namespace {

constexpr std::int64_t kDay = 86400;

TEST(CliArguments, EveryCommandAndTheBadUsages) {
    const struct {
        std::vector<std::string> args;
        Command command;
        std::vector<std::string> errors;  // keys, in order
    } cases[] = {
        {{"status", "--json"}, Command::Status, {}},
        {{"--lang", "zh-Hant", "check"}, Command::Check, {}},
        {{"check", "--site", "Shop", "--site=Blog"}, Command::Check, {}},
        {{"import", "--pfx", "D:\\certs\\a.pfx", "--password-file=D:\\certs\\p.txt"}, Command::Import, {}},
        {{"deploy", "--all", "--port", " +8443 ", "--redirect", "off", "--wildcard", "yes", "--dry-run"}, Command::Deploy, {}},
        {{"deploy", "--help"}, Command::Help, {}},
        {{}, Command::None, {"Cli_Usage_NoCommand"}},
        {{"--json"}, Command::None, {"Cli_Usage_NoCommand"}},
        {{"deplyo", "--all"}, Command::None, {"Cli_Usage_UnknownCommand"}},
        {{"status", "check"}, Command::Status, {"Cli_Usage_ExtraArgument"}},
        {{"status", "--verbose"}, Command::Status, {"Cli_Usage_UnknownOption"}},
        {{"deploy", "--all", "--port"}, Command::Deploy, {"Cli_Usage_MissingValue"}},
        {{"deploy", "--all", "--port", "65536"}, Command::Deploy, {"Cli_Usage_BadValue"}},
        {{"deploy", "--all", "--redirect", "yes"}, Command::Deploy, {"Cli_Usage_BadValue"}},
        {{"deploy", "--all", "--wildcard=on"}, Command::Deploy, {"Cli_Usage_BadValue"}},
        {{"deploy", "--all", "--dry-run=yes"}, Command::Deploy, {"Cli_Usage_BadValue"}},
        {{"deploy", "--site", ""}, Command::Deploy, {"Cli_Usage_BadValue"}},
        {{"status", "--lang", "fr"}, Command::Status, {"Cli_Usage_BadValue"}},
        {{"deploy"}, Command::Deploy, {"Cli_Usage_NoSites"}},
        {{"deploy", "--all", "--site", "Shop"}, Command::Deploy, {"Cli_Usage_SiteAndAll"}},
        {{"import", "--all"}, Command::Import, {"Cli_Usage_NotForCommand"}},
        {{"check", "--port", "443"}, Command::Check, {"Cli_Usage_NotForCommand"}},
        {{"status", "--dry-run"}, Command::Status, {"Cli_Usage_NotForCommand"}},
    };
    for (const auto& c : cases) {
        const cli::Parsed parsed = cli::ParseArguments(c.args);
        std::vector<std::string> keys;
        for (const cli::UsageError& e : parsed.errors) keys.push_back(e.key);
        EXPECT_EQ(parsed.options.command, c.command) << ::testing::PrintToString(c.args);
        EXPECT_EQ(keys, c.errors) << ::testing::PrintToString(c.args);
    }
    const cli::Options o = cli::ParseArguments(cases[4].args).options;
    EXPECT_EQ(o.port, "8443");
    EXPECT_TRUE(o.all && !o.redirect && o.wildcard && o.dryRun);
    EXPECT_EQ(cli::ParseArguments(cases[2].args).options.sites, (std::vector<std::string>{"Shop", "Blog"}));
    EXPECT_EQ(cli::ParseArguments(cases[1].args).options.language, lang::kTraditionalChinese);
}

TEST(CertificateCoverage, ExactNamesOneLabelWildcardsCaseAndIdn) {
    const struct {
        const char *name, *host;
        bool covers;
    } cases[] = {
        {"www.example.com", "www.example.com", true},   {"WWW.Example.COM", "www.example.com", true},
        {"www.example.com", "example.com", false},      {"www.example.com", "www.example.com.evil", false},
        {"*.example.com", "shop.example.com", true},    {"*.example.com", "SHOP.EXAMPLE.COM", true},
        {"*.example.com", "example.com", false},        {"*.example.com", "a.shop.example.com", false},
        {"*.example.com", ".example.com", false},       {"*example.com", "shopexample.com", false},
        {"xn--czrs0t.example.cn", "商店.example.cn", true}, {"*.example.cn", "商店.example.cn", true},
        {"xn--mnchen-3ya.de", "MÜNCHEN.de", true},      {"xn--bcher-kva.example", "bucher.example", false},
        {"", "", false},
    };
    for (const auto& c : cases) EXPECT_EQ(certs::NameCovers(c.name, c.host), c.covers) << c.name << " / " << c.host;
    EXPECT_EQ(certs::AsciiHostName("a.\xFF.b"), std::nullopt);
    CertificateDetails details;
    details.dnsNames = {"a.example.test", "*.shop.test"};
    EXPECT_TRUE(certs::CertificateCovers(details, "x.shop.test"));
    EXPECT_FALSE(certs::CertificateCovers(details, "b.example.test"));
}

TEST(CertificateValidity, LevelsAndDaysLeft) {
    const std::int64_t now = 1796547907;
    const struct {
        std::int64_t from, to;
        certs::Validity validity;
        std::int64_t days;
    } cases[] = {
        {now - kDay, now + 90 * kDay, certs::Validity::Valid, 90},
        {now - kDay, now + 30 * kDay, certs::Validity::Valid, 30},
        {now - kDay, now + 30 * kDay - 1, certs::Validity::ExpiresSoon, 29},
        {now - kDay, now, certs::Validity::ExpiresSoon, 0},
        {now - 9 * kDay, now - 1, certs::Validity::Expired, -1},
        {now + 1, now + 90 * kDay, certs::Validity::NotYetValid, 90},
    };
    for (const auto& c : cases) {
        CertificateDetails details;
        details.notBefore = c.from;
        details.notAfter = c.to;
        const certs::ValidityFinding f = certs::CheckValidity(details, now);
        EXPECT_EQ(f.validity, c.validity) << c.to - now;
        EXPECT_EQ(f.daysLeft, c.days) << c.to - now;
    }
    EXPECT_EQ(certs::UtcText(now), "2026-12-06T09:05:07Z");
    EXPECT_EQ(certs::UtcText(951782400), "2000-02-29T00:00:00Z");
}

CertificateDetails Named(const std::string& subject, const std::string& issuer) {
    CertificateDetails d;
    d.subject = "CN=" + subject;
    d.issuer = "CN=" + issuer;
    d.subjectName = "der:" + subject;
    d.issuerName = "der:" + issuer;
    return d;
}

TEST(CertificateChain, FollowsIssuerNamesUpToASelfSignedRoot) {
    const CertificateDetails leaf = Named("leaf", "inter"), inter = Named("inter", "root"), root = Named("root", "root");
    const certs::ChainFinding complete = certs::FollowChain(leaf, {root, leaf, inter});
    EXPECT_TRUE(complete.complete);
    EXPECT_EQ(complete.path, (std::vector<std::string>{"CN=inter", "CN=root"}));
    const certs::ChainFinding open = certs::FollowChain(leaf, {inter});
    EXPECT_FALSE(open.complete);
    EXPECT_EQ(open.missingIssuer, "CN=root");
    // Two certificates naming each other as issuer never reach a root, and never loop forever.
    EXPECT_FALSE(certs::FollowChain(Named("a", "b"), {Named("b", "a"), Named("a", "b")}).complete);
}

TEST(CertificateFiles, PemBlocksWhateverTheirLineEndsAndDer) {
    const std::string der = std::string("\x30\x82\x01\x0A", 4) + "body";
    const struct {
        std::string file;
        std::vector<std::string> blobs;
    } cases[] = {
        {"-----BEGIN CERTIFICATE-----\r\nMIIBCmJvZHk=\r\n-----END CERTIFICATE-----\r\n-----BEGIN CERTIFICATE-----\nYQ==\n"
         "-----END CERTIFICATE-----\n",
         {der, "a"}},
        {der, {der}},
    };
    for (const auto& c : cases) EXPECT_EQ(certs::CertificateBlobs(c.file), c.blobs) << c.file;
}

TEST(Json, OneLineOfAsciiWithEverythingElseEscaped) {
    Value doc = Value::Object();
    doc.Set("text", "a\"b\\c\r\n\t\x01 商店 😀 \xFF").Set("n", std::int64_t{-2147024894}).Set("none", Value());
    doc.Set("list", Value::Strings({"x", ""})).Set("yes", true).Set("n", 7);
    EXPECT_EQ(cli::json::Serialize(doc),
              R"({"text":"a\"b\\c\r\n\t\u0001 \u5546\u5e97 \ud83d\ude00 \ufffd","n":7,"none":null,"list":["x",""],"yes":true})");
}

// --- the program on a host of fakes ---------------------------------------------------------

// The console program on a server of fakes.
struct ConsoleHost : FakeServer {
    FakeConsole console;
    int Run(std::vector<std::string> args) {
        console = {};
        return cli::RunConsole(machine, console, args);
    }
};

// A plain status, import and deploy end in 0 on the simulated host (97-console).
TEST(Console, ExitCodeOfEveryOutcomeAndItsJson) {
    const std::int64_t now = 1796547907;
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::function<void(ConsoleHost&)> setUp;
        int exitCode;
        std::string error;  // the refusal's code
    } cases[] = {
        {"not elevated", {"status"}, [](ConsoleHost& h) { h.host.elevated = false; }, 2, "not-elevated"},
        {"bad usage", {"deploy"}, {}, 2, "usage"},
        {"check passes", {"check", "--site", "shop"}, {}, 0, ""},
        {"check warns: 29 days", {"check", "--site", "Shop"},
         [now](ConsoleHost& h) { h.pkcs12.certificates[0].details.notAfter = now + 30 * kDay - 1; }, 1, ""},
        {"check fails: one of two hosts", {"check"},
         [](ConsoleHost& h) { h.pkcs12.certificates[0].details.dnsNames = {"a.example.test"}; }, 2, ""},
        {"check fails: expired", {"check", "--site", "Shop"},
         [now](ConsoleHost& h) { h.pkcs12.certificates[0].details.notAfter = now - 1; }, 2, ""},
        {"check warns: a host name the commands cannot carry", {"check", "--site", "Shop"},
         [](ConsoleHost& h) { h.stage.sites[0].second = "http/*:80:a.example.test,http/*:80:x'y.example.test"; }, 1, ""},
        {"check fails: no chain file", {"check", "--site", "Shop"},
         [](ConsoleHost& h) { h.fs.Delete(h.AppPath("chain\\root.cer")), h.fs.Delete(h.AppPath("chain\\inter.crt")); }, 2, ""},
        {"import with an empty password file", {"import"}, [](ConsoleHost& h) { h.fs.AddFile(h.AppPath("password.txt"), ""); }, 2,
         "password-empty"},
        {"check fails: no password", {"check"}, [](ConsoleHost& h) { h.fs.Delete(h.AppPath("password.txt")); }, 2, ""},
        {"import without password.txt", {"import"}, [](ConsoleHost& h) { h.fs.Delete(h.AppPath("password.txt")); }, 2,
         "password-missing"},
        {"import with a wrong password", {"import"}, [](ConsoleHost& h) { h.pkcs12.password = "other"; }, 2, "pfx-not-opened"},
        {"import without chain files", {"import"}, [](ConsoleHost& h) { h.fs.Delete(h.AppPath("chain\\root.cer")), h.fs.Delete(h.AppPath("chain\\inter.crt")); }, 2,
         "no-chain-files"},
        {"deploy: a site without host names skipped", {"deploy", "--all"}, {}, 0, ""},
        {"deploy: a site that is not there", {"deploy", "--site", "Blog"}, {}, 2, "unknown-site"},
        {"deploy with a wrong password", {"deploy", "--all"}, [](ConsoleHost& h) { h.pkcs12.password = "other"; }, 2,
         "no-thumbprint"},
        {"deploy below IIS 8, two sites", {"deploy", "--all"}, [](ConsoleHost& h) { h.InstallIis(7); }, 2,
         "one-site-below-iis8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConsoleHost h;
        if (c.setUp) c.setUp(h);
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        EXPECT_EQ(h.Run(args), c.exitCode) << h.console.err;
        const std::string& doc = h.console.out;
        EXPECT_EQ(doc.rfind("{\"version\":1,", 0), 0u) << doc;
        const std::string exitCode = ",\"exitCode\":" + std::to_string(c.exitCode) + ",", refusal = exitCode + "\"error\":{\"code\":";
        EXPECT_NE(doc.find(exitCode), std::string::npos) << doc;
        EXPECT_EQ(doc.find(refusal) != std::string::npos, !c.error.empty()) << doc;
        if (!c.error.empty()) {
            EXPECT_NE(doc.find(refusal + "\"" + c.error + "\","), std::string::npos) << doc;
        }
        // Text and JSON agree on the exit code.
        args.pop_back();
        EXPECT_EQ(h.Run(args), c.exitCode);
    }
}

TEST(Console, HelpAndMessagesInTheChosenLanguage) {
    ConsoleHost h;
    EXPECT_EQ(h.Run({"--help"}), 0);
    EXPECT_NE(h.console.out.find("deploy (--site NAME ... | --all)"), std::string::npos);
    EXPECT_EQ(h.Run({"deploy", "--lang", "zh-Hans"}), 2);
    EXPECT_EQ(h.console.err.find(lang::GetLangString("Cli_Usage_NoSites")), 0u);
    EXPECT_EQ(lang::GetCurrentLanguage(), lang::kSimplifiedChinese);
    lang::SetCurrentLanguage(lang::kEnglish);
    // The password never reaches the output or the logs, whatever a run says.
    h.fs.AddFile(h.AppPath("password.txt"), "Zq7#unique\r\n");
    h.pkcs12.password = "Zq7#unique";
    h.answer = [](const std::string&) { return 5; };
    for (std::vector<std::string> args : {std::vector<std::string>{"import"}, {"deploy", "--all", "--dry-run"}, {"check"}}) {
        h.Run(args);
        EXPECT_EQ((h.console.out + h.console.err + h.ErrorLog() + h.InfoLog()).find("Zq7#unique"), std::string::npos);
    }
}

}  // namespace
