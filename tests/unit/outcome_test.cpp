// The window and the console program judge nothing themselves: the same outcome, brought about
// on two identical servers, ends in the same verdict (the window's box kind, the console's exit
// code), names the same failed steps and runs the same command lines.
#include <gtest/gtest.h>

#include <regex>

#include "cli/program.h"
#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;
using app::MsgStyle;

namespace {

struct Rendered {
    int code = -1;  // the console's exit code; for the window, that of its last box's kind
    std::string text;
    std::vector<std::string> changes;
    std::string errorLog = {};
    std::vector<std::string> events = {};  // "ID kind" of each record the Application log got
};

std::vector<std::string> EventsOf(const FakeEventLog& log) {
    std::vector<std::string> ids;
    for (const std::string& record : log.records) ids.push_back(record.substr(0, 6));
    return ids;
}

// The window: start-up (every chain selected, as the list starts), every site selected, the
// wildcard question answered Yes.
Rendered InWindow(const std::function<void(FakeServer&)>& arrange, Id button) {
    ServerWindow s;
    arrange(s);
    s.Start();
    app::OnCommand(s.main, button);
    const std::map<MsgStyle, int> codes{{MsgStyle::Information, 0}, {MsgStyle::Exclamation, 1}, {MsgStyle::Critical, 2}};
    Rendered r{s.ui.boxes.empty() ? -1 : codes.at(s.ui.boxes.back().style), "", s.Changes(), s.ErrorLog(), EventsOf(s.events)};
    for (const ShownBox& box : s.ui.boxes) r.text += box.text + "\n";
    return r;
}

Rendered InConsole(const std::function<void(FakeServer&)>& arrange, const std::vector<std::string>& args) {
    FakeServer s;
    arrange(s);
    FakeConsole console;
    const int code = cli::RunConsole(s.machine, console, args);
    lang::ResetLanguageState();
    return {code, console.err + console.out, s.Changes(), s.ErrorLog(), EventsOf(s.events)};
}

struct Row {
    const char* what;
    std::function<void(FakeServer&)> arrange;
    int exitCode;
    std::vector<std::string> named;  // what both must say, in English
    std::vector<std::string> unnamed = {};
    std::string notRun = {};  // a piece of a command line neither may run
    std::string logged = {};  // a piece of log-error.txt both must write
};

void ExpectAgreement(const Row& row, const Rendered& window, const Rendered& console) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(console.code, row.exitCode) << console.text;
    EXPECT_EQ(window.code, row.exitCode) << window.text;
    for (const std::string& piece : row.named) {
        EXPECT_THAT(window.text, HasSubstr(piece));
        EXPECT_THAT(console.text, HasSubstr(piece));
    }
    for (const std::string& piece : row.unnamed) {
        EXPECT_THAT(window.text, ::testing::Not(HasSubstr(piece)));
        EXPECT_THAT(console.text, ::testing::Not(HasSubstr(piece)));
    }
    EXPECT_EQ(console.changes, window.changes);
    // One record each in the Application log, under the same ID: the operation's plus the exit
    // code. A refusal the window shows before any work (no site chosen) is the user's to fix.
    ASSERT_EQ(console.events.size(), 1u);
    EXPECT_EQ(console.events[0].substr(3, 1), std::to_string(row.exitCode));
    EXPECT_EQ(console.events[0].substr(5), std::string(1, "IWE"[row.exitCode]));
    if (!window.events.empty()) { EXPECT_EQ(window.events, console.events); }
    for (const std::string& line : window.changes)
        EXPECT_TRUE(row.notRun.empty() || line.find(row.notRun) == std::string::npos) << line;
    EXPECT_THAT(window.errorLog, HasSubstr(row.logged));  // "" for any
    EXPECT_THAT(console.errorLog, HasSubstr(row.logged));
    // The password never reaches a box, the console or a log.
    EXPECT_THAT(window.text + window.errorLog + console.text + console.errorLog, ::testing::Not(HasSubstr("secret")));
}

std::function<void(FakeServer&)> Answer(std::string piece, std::int32_t code) {
    return [piece, code](FakeServer& s) { s.Fail(piece, code); };
}

const char* const kChainsFailed = "of the selected chain certificates could not be imported";
const char* const kSettingsFailed = "ome security settings could not be applied";
const char* const kBackupFailed = "The TLS settings were left unchanged: their registry backup could not be saved (code 1).";
const char* const kRestartFailed = "IIS could not be restarted; check that its services are running (iisreset exit code ";

TEST(BothRenderers, JudgeEveryImportOutcomeAlike) {
    const Row rows[] = {
        {"everything imported", [](FakeServer&) {}, 0, {}, {kChainsFailed, kSettingsFailed, kRestartFailed}},
        {"certutil refuses a chain", Answer("inter.crt", -2146885628), 1, {"1 " + std::string(kChainsFailed)}, {}, {},
         "'ImportCertificates' 中发生错误: The chain certificate was not imported: inter.crt (代码: -2146885628)"},
        {"certutil refuses the PFX", Answer("-importpfx", 5), 1,
         {"certutil could not import fullchain.pfx (exit code 5)"}, {kChainsFailed}},
        {"the backup cannot be made: no TLS value written", Answer(" export ", 1), 1, {kBackupFailed}, {kSettingsFailed}},
        {"reg.exe refuses a value", Answer("/v UTF8SASL", 1), 1, {kSettingsFailed}, {kRestartFailed}},
        {"iisreset fails", Answer("iisreset", -2147023838), 1, {std::string(kRestartFailed) + "-2147023838)."}},
        {"every certutil fails: the TLS values alone are something", Answer("certutil", 1), 1,
         {"2 " + std::string(kChainsFailed), "certutil could not import fullchain.pfx (exit code 1)"}},
        {"nothing imported: every certutil and the backup fail",
         [](FakeServer& s) {
             s.shell.onRun = [](const std::string& line) {
                 return line.find("certutil") != std::string::npos || line.find(" export ") != std::string::npos ? 1 : 0;
             };
         },
         2, {"2 " + std::string(kChainsFailed), "certutil could not import fullchain.pfx (exit code 1)", kBackupFailed}},
    };
    for (const Row& row : rows)
        ExpectAgreement(row, InWindow(row.arrange, Id::cmdImport), InConsole(row.arrange, {"import"}));
}

// A certificate a host was bound to before the run, as netsh lists it.
const std::string kOld(40, 'A');
const std::string kOldBinding = "    Hostname:port : a.example.test:443\r\n    Certificate Hash : " + kOld +
                                "\r\n    Application ID : {4dc3e181-e14b-4a21-b022-59fc669b0914}\r\n    Certificate Store Name : MY\r\n\r\n";

TEST(BothRenderers, JudgeEveryDeploymentOutcomeAndRefusalAlike) {
    const Row rows[] = {
        {"every site deployed", [](FakeServer&) {}, 0, {}, {"Failed"}},
        {"netsh refuses one host: the other goes on", Answer("add sslcert hostnameport=a.", 1312), 1,
         {"SSL binding for site 'Shop'", "a.example.test"}, {}, "/+bindings.[protocol='https',bindingInformation='*:443:a."},
        {"appcmd refuses one binding", Answer("b.example.test',sslFlags", 183), 1,
         {"IIS HTTPS binding for site 'Shop'", "b.example.test"}},
        {"every binding refused", Answer(" add sslcert ", 1), 2, {"'Shop'", "'Intranet (old)'"}},
        {"a redirect rule refused: the site counts, the run is partly done", Answer("stopProcessing='True'", 13), 1,
         {"Failed to enable HTTP redirect for site 'Shop'"}},
        {"a host name the commands cannot carry",
         [](FakeServer& s) { s.stage.sites[0].second = "http/*:80:a'b.example.test,http/*:80:b.example.test"; }, 1,
         {"a'b.example.test", "holds a character the binding commands cannot carry"}, {"SSL binding"}},
        {"bindings that cannot be read",
         [](FakeServer& s) {
             s.shell.onCapture = [&s](const std::string& l) {
                 return l.find("\"Intranet (old)\" /text") != std::string::npos ? Captured{1, ""} : s.stage.Answer(l);
             };
         },
         1, {"bindings of site 'Intranet (old)'"}},
        {"a site deleted after it was listed: read afresh, it fails and nothing is bound for it",
         [](FakeServer& s) {
             s.stage.Configure();
             s.shell.onRun = [&s](const std::string& line) {
                 if (line.find("hostnameport=a.example.test") != std::string::npos) s.stage.sites.resize(1), s.stage.Configure();
                 return 0;
             };
         },
         1, {"'Intranet (old)' is no longer in IIS"}, {}, "0.0.0.0:443",
         "The site \"Intranet (old)\" is not in IIS's configuration"},
        {"the certificate not in the Personal store: nothing deleted, nothing bound",
         [](FakeServer& s) { s.pkcs12.personal[0].hasPrivateKey = false; }, 2,
         {"is not in the machine's Personal store with its private key, so no binding was changed"}, {}, " sslcert ",
         "is not in the machine's Personal store with its private key; nothing was changed"},
        {"the Personal store cannot be read: nothing deleted", [](FakeServer& s) { s.pkcs12.personalUnreadable = true; }, 2,
         {"The machine's Personal store could not be read (code 5), so no binding was changed."}, {"HTTP.sys"}, " sslcert ",
         "The Personal store could not be read: Access is denied.; nothing was changed"},
        {"HTTP.sys's bindings cannot be listed: nothing deleted", [](FakeServer& s) { s.stage.sslcerts = {1, "Error: 5\r\n"}; },
         2, {"could not be listed (code 1), so no binding was changed"}, {}, " sslcert "},
        {"netsh refuses the new certificate for a host: the one it had is bound again",
         [](FakeServer& s) { s.stage.sslcerts.output += kOldBinding, s.Fail("a.example.test:443 certhash=6C6C", 1312); }, 1,
         {"SSL binding for site 'Shop'", "The certificate it had before (" + kOld + ") is bound to it again."}},
        {"and when it cannot be bound again either, that is said",
         [](FakeServer& s) { s.stage.sslcerts.output += kOldBinding, s.Fail("add sslcert hostnameport=a.", 1312); }, 1,
         {"The certificate it had before (" + kOld + ") could not be bound again: it has no certificate now."}, {}, {},
         "the endpoint has no certificate: C:\\windows\\system32\\netsh.exe http add sslcert hostnameport=a.example.test:443 "
         "certhash=" + kOld + " appid={4dc3e181-e14b-4a21-b022-59fc669b0914} certstorename=MY"},
        {"a listed binding whose fields a command line cannot carry as they are is not put back",
         [](FakeServer& s) {
             s.stage.sslcerts.output += std::regex_replace(kOldBinding, std::regex("Store Name : MY"), "Store Name : MY /x");
             s.Fail("a.example.test:443 certhash=6C6C", 1312);
         },
         1, {"could not be bound again"}, {}, "certhash=" + kOld},
        {"netsh ended at its time-out: the certificate it had is bound again, the other hosts go on",
         [](FakeServer& s) { s.stage.sslcerts.output += kOldBinding, s.Hang("a.example.test:443 certhash=6C6C"); }, 1,
         {"SSL binding for site 'Shop'", "is bound to it again"}, {}, {},
         "certstorename=MY): The program did not finish within 60 seconds and was ended"},
        {"appcmd ended at its time-out for one binding", [](FakeServer& s) { s.Hang("b.example.test',sslFlags"); }, 1,
         {"IIS HTTPS binding for site 'Shop'", "b.example.test"}, {}, {}, "The program did not finish within 60 seconds"},
        {"no PFX", [](FakeServer& s) { s.fs.Delete(s.AppPath("fullchain.pfx")); }, 2, {"fullchain.pfx"}},
        {"no password file", [](FakeServer& s) { s.fs.Delete(s.AppPath("password.txt")); }, 2, {"password.txt"}},
        {"a password file without a line", [](FakeServer& s) { s.fs.AddFile(s.AppPath("password.txt"), ""); }, 2,
         {"The password file holds no password"}, {}, {}, "'cmdDeploy_Click' 中发生错误: The password file holds no password"},
        {"a wrong password", [](FakeServer& s) { s.pkcs12.password = "other"; }, 2, {"Failed to get the certificate thumbprint"}},
    };
    for (const Row& row : rows)
        ExpectAgreement(row, InWindow(row.arrange, Id::cmdDeploy), InConsole(row.arrange, {"deploy", "--all", "--wildcard", "yes"}));
}

}  // namespace
