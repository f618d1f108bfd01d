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

TEST(CliArguments, EveryCommandAndTheBadUsages) {
    using cli::CommandAction;
    const struct {
        std::vector<std::string> args;
        Command command;
        std::vector<std::string> errors;  // keys, in order
        CommandAction action = CommandAction::Set;
    } cases[] = {
        {{"status", "--json"}, Command::Status, {}},
        {{"--lang", "zh-Hant", "check"}, Command::Check, {}},
        {{"check", "--site", "Shop", "--site=Blog"}, Command::Check, {}},
        {{"import", "--pfx", "D:\\certs\\a.pfx", "--password-file=D:\\certs\\p.txt"}, Command::Import, {}},
        {{"deploy", "--all", "--port", " +8443 ", "--redirect", "off", "--wildcard", "yes", "--dry-run"}, Command::Deploy, {}},
        {{"deploy", "--help"}, Command::Help, {}},
        {{"schedule", "--from", "D:\\x"}, Command::Schedule, {}},
        {{"schedule", "--from=D:\\x", "--at", "04:30", "--retire-old", "--restrict-folder", "--json"}, Command::Schedule, {}},
        {{"--show", "schedule", "--lang", "zh-Hans"}, Command::Schedule, {}, CommandAction::Show},
        {{"schedule", "--remove", "--json"}, Command::Schedule, {}, CommandAction::Remove},
        {{}, Command::None, {"Cli_Usage_NoCommand"}},
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
        {{"deploy", "--all", "--warn-days", "3"}, Command::Deploy, {"Cli_Usage_NotForCommand"}},
        {{"status", "--warn-days", "-3"}, Command::Status, {"Cli_Usage_BadValue"}},
        {{"schedule"}, Command::Schedule, {"Cli_Usage_ScheduleNeedsFrom"}},
        {{"schedule", "--at", "04:00"}, Command::Schedule, {"Cli_Usage_ScheduleNeedsFrom"}},
        {{"schedule", "--from", ""}, Command::Schedule, {"Cli_Usage_BadValue"}},
        {{"schedule", "--from", "D:\\x", "--at", "24:00"}, Command::Schedule, {"Cli_Usage_BadValue"}},
        {{"schedule", "--from", "D:\\x", "--at", "4:30"}, Command::Schedule, {"Cli_Usage_BadValue"}},
        {{"schedule", "--show", "--remove"}, Command::Schedule, {"Cli_Usage_ScheduleShowAndRemove"}, CommandAction::Remove},
        {{"schedule", "--show", "--from", "D:\\x"}, Command::Schedule, {"Cli_Usage_CommandActionOption"}, CommandAction::Show},
        {{"schedule", "--remove", "--at", "04:00", "--retire-old"}, Command::Schedule,
         {"Cli_Usage_CommandActionOption", "Cli_Usage_CommandActionOption"}, CommandAction::Remove},
        {{"schedule", "--remove", "--restrict-folder"}, Command::Schedule, {"Cli_Usage_CommandActionOption"},
         CommandAction::Remove},
        {{"schedule", "--from", "D:\\x", "--pfx", "D:\\x\\a.pfx"}, Command::Schedule, {"Cli_Usage_NotForCommand"}},
        {{"schedule", "--from", "D:\\x", "--all"}, Command::Schedule, {"Cli_Usage_NotForCommand"}},
        {{"deploy", "--all", "--at", "04:00"}, Command::Deploy, {"Cli_Usage_NotForCommand"}},
        {{"import", "--tls", "modern"}, Command::Import, {}},
        {{"tls", "--apply", "compatible"}, Command::Tls, {}, CommandAction::Apply},
        {{"tls", "--undo", "D:\\b.reg", "--restrict-folder"}, Command::Tls, {}, CommandAction::Undo},
        {{"tls", "--apply", "unchanged"}, Command::Tls, {"Cli_Usage_BadValue"}, CommandAction::Apply},
        {{"tls", "--show", "--undo", "D:\\b.reg"}, Command::Tls, {"Cli_Usage_TlsAction"}, CommandAction::Undo},
        {{"tls"}, Command::Tls, {"Cli_Usage_TlsAction"}},
        {{"deploy", "--all", "--tls", "modern"}, Command::Deploy, {"Cli_Usage_NotForCommand"}},
    };
    for (const auto& c : cases) {
        const cli::Parsed parsed = cli::ParseArguments(c.args);
        std::vector<std::string> keys;
        for (const cli::UsageError& e : parsed.errors) keys.push_back(e.key);
        EXPECT_EQ(parsed.options.command, c.command) << ::testing::PrintToString(c.args);
        EXPECT_EQ(keys, c.errors) << ::testing::PrintToString(c.args);
        EXPECT_EQ(parsed.options.action, c.action) << ::testing::PrintToString(c.args);
    }
    const cli::Options o = cli::ParseArguments(cases[4].args).options;
    EXPECT_EQ(o.port, "8443");
    EXPECT_TRUE(o.all && !o.redirect && o.wildcard && o.dryRun);
    EXPECT_EQ(cli::ParseArguments(cases[2].args).options.sites, (std::vector<std::string>{"Shop", "Blog"}));
    EXPECT_EQ(cli::ParseArguments(cases[1].args).options.language, lang::kTraditionalChinese);
    const cli::Options s = cli::ParseArguments(cases[7].args).options;
    EXPECT_TRUE(s.from == "D:\\x" && s.at == "04:30" && s.retireOld && s.restrictFolder);
    EXPECT_EQ(cli::ParseArguments(cases[6].args).options.at, "03:00");
    EXPECT_EQ(cli::ParseArguments({"import", "--tls", "modern"}).options.tls, certs::TlsProfile::Modern);
    EXPECT_EQ(cli::ParseArguments({"check", "--tls", "unchanged"}).options.tls, certs::TlsProfile::Unchanged);
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
        const certs::ValidityFinding f = certs::CheckValidity(FakeCertificate("a", "b", true, {}, c.from, c.to).details, now);
        EXPECT_EQ(f.validity, c.validity) << c.to - now;
        EXPECT_EQ(f.daysLeft, c.days) << c.to - now;
    }
    EXPECT_EQ(certs::UtcText(now), "2026-12-06T09:05:07Z");
    EXPECT_EQ(certs::UtcText(951782400), "2000-02-29T00:00:00Z");
}

TEST(CertificateChain, FollowsIssuerNamesUpToASelfSignedRoot) {
    auto Named = [](const char* subject, const char* issuer) { return FakeCertificate(subject, issuer, false, {}, 0, 0).details; };
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
    EXPECT_EQ(certs::CertificateBlobs("-----BEGIN CERTIFICATE-----\r\nMIIBCmJvZHk=\r\n-----END CERTIFICATE-----\r\n"
                                      "-----BEGIN CERTIFICATE-----\nYQ==\n-----END CERTIFICATE-----\n"),
              (std::vector<std::string>{der, "a"}));
    EXPECT_EQ(certs::CertificateBlobs(der), std::vector<std::string>{der});
}

TEST(Json, OneLineOfAsciiWithEverythingElseEscaped) {
    Value doc = Value::Object();
    doc.Set("text", "a\"b\\c\r\n\t\x01 商店 😀 \xFF").Set("n", std::int64_t{-2147024894}).Set("none", Value());
    doc.Set("list", Value::Strings({"x", ""})).Set("yes", true).Set("n", 7);
    EXPECT_EQ(cli::json::Serialize(doc),
              R"({"text":"a\"b\\c\r\n\t\u0001 \u5546\u5e97 \ud83d\ude00 \ufffd","n":7,"none":null,"list":["x",""],"yes":true})");
}

// The console program on a server of fakes. A plain status, import and deploy end in 0 on the
// simulated host (97-console).
TEST(Console, ExitCodeOfEveryOutcomeAndItsJson) {
    const std::int64_t now = 1796547907;
    // The leaf bound on 0.0.0.0:443, in the Personal store with the days left given.
    const auto bound = [](int days) {
        return [days](FakeServer& h) {
            h.pkcs12.personal = {h.pkcs12.certificates[0]};
            h.pkcs12.personal[0].details.notAfter = now + days * kDay;
            h.stage.sslcerts.output += "    IP:port : 0.0.0.0:443\r\n    Certificate Hash : " + UpperHex(h.pkcs12.certificates[0].sha1) +
                                       "\r\n    Application ID : {a}\r\n    Certificate Store Name : MY\r\n\r\n";
        };
    };
    // Shop's first host name bound for https, and what a handshake with it gets.
    const auto served = [](const char* der) {
        return [der](FakeServer& h) {
            h.stage.sites[0].second += ",https/*:443:a.example.test";
            h.pkcs12.files["der:leaf"] = {h.pkcs12.certificates[0]};
            h.probe.handshakes["127.0.0.1:443|a.example.test"] = {HandshakeResult::Completed, 0, "", {der}, 0};
        };
    };
    // A PFX as OpenSSL 3 writes it (AES), on a system of the build given.
    const auto aesOn = [](const char* build) {
        return [build](FakeServer& h) {
            h.fs.AddFile(h.AppPath("fullchain.pfx"), Fixture("nonascii.pfx"));
            h.shell.registry[Lower("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber")] = build;
        };
    };
    const auto noChain = [](FakeServer& h) { h.fs.Delete(h.AppPath("chain\\root.cer")), h.fs.Delete(h.AppPath("chain\\inter.crt")); };
    const auto noPassword = [](FakeServer& h) { h.fs.Delete(h.AppPath("password.txt")); };
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::function<void(FakeServer&)> setUp;
        int exitCode;
        std::string error;  // the refusal's code
    } cases[] = {
        {"status: nothing bound", {"status"}, {}, 0, ""},
        {"status: a bound certificate expires within 30 days", {"status"}, bound(29), 1, ""},
        {"status: not within the days given", {"status", "--warn-days", "20"}, bound(29), 0, ""},
        {"status: a bound certificate missing from the store", {"status"},
         [&](FakeServer& h) { bound(90)(h), h.pkcs12.personal.clear(); }, 1, ""},
        {"status: netsh refuses its listing", {"status"}, [](FakeServer& h) { h.stage.sslcerts = {1, "error"}; }, 2, ""},
        {"verify: no HTTPS binding", {"verify"}, {}, 2, ""},
        {"verify: the PFX's certificate served", {"verify", "--site", "Shop"}, served("der:leaf"), 0, ""},
        {"verify: another certificate served", {"verify", "--site", "Shop"}, served("der:inter"), 1, ""},
        {"not elevated", {"status"}, [](FakeServer& h) { h.host.elevated = false; }, 2, "not-elevated"},
        {"bad usage", {"deploy"}, {}, 2, "usage"},
        {"check passes", {"check", "--site", "shop"}, {}, 0, ""},
        {"check warns: 29 days", {"check", "--site", "Shop"},
         [](FakeServer& h) { h.pkcs12.certificates[0].details.notAfter = now + 30 * kDay - 1; }, 1, ""},
        {"check fails: one of two hosts", {"check"},
         [](FakeServer& h) { h.pkcs12.certificates[0].details.dnsNames = {"a.example.test"}; }, 2, ""},
        {"check fails: expired", {"check", "--site", "Shop"},
         [](FakeServer& h) { h.pkcs12.certificates[0].details.notAfter = now - 1; }, 2, ""},
        {"check warns: a host name the commands cannot carry", {"check", "--site", "Shop"},
         [](FakeServer& h) { h.stage.sites[0].second = "http/*:80:a.example.test,http/*:80:x'y.example.test"; }, 1, ""},
        {"check fails: no chain file", {"check", "--site", "Shop"}, noChain, 2, ""},
        {"import with an empty password file", {"import"}, [](FakeServer& h) { h.fs.AddFile(h.AppPath("password.txt"), ""); }, 2,
         "password-empty"},
        {"check fails: no password", {"check"}, noPassword, 2, ""},
        {"import without password.txt", {"import"}, noPassword, 2, "password-missing"},
        {"import with a wrong password", {"import"}, [](FakeServer& h) { h.pkcs12.password = "other"; }, 2, "pfx-not-opened"},
        {"import without chain files", {"import"}, noChain, 2, "no-chain-files"},
        {"import of an AES PFX on Windows Server 2016", {"import"}, aesOn("14393"), 2, "pfx-aes-unsupported"},
        {"check fails: an AES PFX on Windows Server 2016", {"check", "--site", "Shop"}, aesOn("14393"), 2, ""},
        {"check passes: an AES PFX on Windows Server 2019", {"check", "--site", "Shop"}, aesOn("17763"), 0, ""},
        {"check warns: Compatible switches TLS 1.0 and 1.1 back on", {"check", "--site", "Shop"}, aesOn("26100"), 1, ""},
        {"check with the Modern profile", {"check", "--site", "Shop", "--tls", "modern"}, aesOn("26100"), 0, ""},
        {"deploy: a site without host names skipped", {"deploy", "--all"}, {}, 0, ""},
        {"deploy: a site that is not there", {"deploy", "--site", "Blog"}, {}, 2, "unknown-site"},
        {"deploy without password.txt", {"deploy", "--all"}, noPassword, 2, "password-missing"},
        {"deploy with a wrong password", {"deploy", "--all"}, [](FakeServer& h) { h.pkcs12.password = "other"; }, 2,
         "no-thumbprint"},
        {"deploy below IIS 8, two sites", {"deploy", "--all"}, [](FakeServer& h) { h.SetIisVersion(7); }, 2,
         "one-site-below-iis8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer h;
        if (c.setUp) c.setUp(h);
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        FakeConsole json, text;
        EXPECT_EQ(cli::RunConsole(h.machine, json, args), c.exitCode) << json.err;
        EXPECT_EQ(json.out.rfind("{\"version\":1,", 0), 0u) << json.out;
        const std::string exitCode = ",\"exitCode\":" + std::to_string(c.exitCode) + ",", refusal = exitCode + "\"error\":{\"code\":";
        EXPECT_THAT(json.out, HasSubstr(exitCode));
        if (c.error.empty()) EXPECT_THAT(json.out, ::testing::Not(HasSubstr(refusal)));
        else EXPECT_THAT(json.out, HasSubstr(refusal + "\"" + c.error + "\","));
        if (!c.error.empty() && c.error != "usage") {  // a refusal is logged with its code, a mistyped line is not
            EXPECT_THAT(h.ErrorLog(), HasSubstr("'quillbay-cli " + c.args[0] + "' 中发生错误: " + c.error + ": "));
        }
        EXPECT_EQ(cli::RunConsole(h.machine, text, c.args), c.exitCode);  // text and JSON agree
    }
}

}  // namespace
