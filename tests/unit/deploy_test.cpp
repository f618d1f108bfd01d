// Deployment: the command lines on both sides of IIS 8, the redirect rule, the run over the
// sites, and what the Deploy button shows for it.
#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "iis/deploy.h"
#include "iis/redirect.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::CheckState;
using app::Id;
using app::MsgAnswer;
using app::MsgStyle;
using lang::GetLangString;

namespace {

const std::string kSys = "C:\\windows\\system32\\";
const std::string kNetsh = kSys + "netsh.exe";
const std::string kAppcmd = kSys + "inetsrv\\appcmd.exe";
const std::string kThumb = "0A1B2C3D4E5F60718293A4B5C6D7E8F901234567";
const iis::DeployTools kTools{kNetsh, kAppcmd};

TEST(DeployCommands, EachSideOfIis8NamedAndWildcard) {
    const std::string app = " appid={4dc3e181-e14b-4a21-b022-59fc669b0914}";
    const struct {
        bool sni;
        const char *host, *port;
        std::string del, add, unbind, bind;
    } cases[] = {
        {true, "a.example.com", "443", kNetsh + " http delete sslcert hostnameport=a.example.com:443",
         kNetsh + " http add sslcert hostnameport=a.example.com:443 certhash=" + kThumb + app + " certstorename=MY",
         kAppcmd + " set site /site.name:\"Default Web Site\" /-bindings.[protocol='https',bindingInformation='*:443:a.example.com']",
         kAppcmd + " set site /site.name:\"Default Web Site\" /+bindings.[protocol='https',bindingInformation='*:443:a.example.com',sslFlags='1']"},
        {true, "", "8443", kNetsh + " http delete sslcert ipport=0.0.0.0:8443",
         kNetsh + " http add sslcert ipport=0.0.0.0:8443 certhash=" + kThumb + app,
         kAppcmd + " set site /site.name:\"Default Web Site\" /-bindings.[protocol='https',bindingInformation='*:8443:']",
         kAppcmd + " set site /site.name:\"Default Web Site\" /+bindings.[protocol='https',bindingInformation='*:8443:']"},
        // Below IIS 8 HTTP.sys holds one certificate per address and port, and no SNI flag.
        {false, "a.example.com", "8443", kNetsh + " http delete sslcert ipport=0.0.0.0:8443",
         kNetsh + " http add sslcert ipport=0.0.0.0:8443 certhash=" + kThumb + app,
         kAppcmd + " set site /site.name:\"Default Web Site\" /-bindings.[protocol='https',bindingInformation='*:8443:a.example.com']",
         kAppcmd + " set site /site.name:\"Default Web Site\" /+bindings.[protocol='https',bindingInformation='*:8443:a.example.com']"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(iis::DeleteSslCertCommand(kTools, c.host, c.port, c.sni), c.del);
        EXPECT_EQ(iis::AddSslCertCommand(kTools, c.host, c.port, c.sni, kThumb), c.add);
        EXPECT_EQ(iis::RemoveSiteBindingCommand(kTools, "Default Web Site", c.host, c.port), c.unbind);
        EXPECT_EQ(iis::AddSiteBindingCommand(kTools, "Default Web Site", c.host, c.port, c.sni), c.bind);
    }
    // A quote in a site name stays inside its one argument.
    EXPECT_EQ(iis::AddSiteBindingCommand(kTools, "Say \"Hi\"", "", "443", true),
              kAppcmd + " set site /site.name:\"Say \\\"Hi\\\"\" /+bindings.[protocol='https',bindingInformation='*:443:']");
    for (const char* bad : {"a'b", "a]b", "a b", "a:b", "a,b", "a/b", "a\\b", "a\"b", "a[b", "a\tb", ""})
        EXPECT_FALSE(IsDeployableHostName(bad)) << bad;
    for (const char* good : {"a.example.com", "xn--fsq.example", "商店.example.cn", "*.example.com"})
        EXPECT_TRUE(IsDeployableHostName(good)) << good;
}

// Set Port and the console's --port are driven end to end; what they accept is decided here.
TEST(ParsePort, WholeNumbersInRangeInCanonicalForm) {
    for (auto [in, out] : {std::pair{"443", "443"}, {" 443 ", "443"}, {"\t8443", "8443"}, {"+1", "1"},
                           {"65535", "65535"}, {"00443", "443"}})
        EXPECT_EQ(iis::ParsePort(in), out) << in;
    for (const char* bad : {"0", "65536", "-1", "1.5", "abc", "4 43", "++1", "+", " ", "0x1BB", "99999999999999999999",
                            "１２３"})
        EXPECT_EQ(iis::ParsePort(bad), std::nullopt) << bad;
}

TEST(Redirect, RuleCommandsAndTheirFailures) {
    const std::string head = kAppcmd + " set config \"Shop\" -section:system.webServer/rewrite/rules ";
    const std::string r0 = head + "/-\"[name='HTTPS Redirect']\" /commit:apphost";
    const std::string r4 = head + "\"/[name='HTTPS Redirect'].action.type:Redirect\" "
                                  "\"/[name='HTTPS Redirect'].action.url:https://{HTTP_HOST}:8443{REQUEST_URI}\" "
                                  "\"/[name='HTTPS Redirect'].action.appendQueryString:False\" /commit:apphost";
    const std::vector<std::string> all = {
        r0, head + "/+\"[name='HTTPS Redirect',stopProcessing='True']\" /commit:apphost",
        head + "\"/[name='HTTPS Redirect'].match.url:(.*)\" /commit:apphost",
        head + "/+\"[name='HTTPS Redirect'].conditions.[input='{HTTPS}',pattern='^OFF$']\" /commit:apphost", r4};
    FakeMachine w;
    EXPECT_TRUE(iis::ConfigureHttpToHttpsRedirect(w.machine, kAppcmd, "Shop", "8443", true));
    EXPECT_EQ(w.Changes(), all);
    // 443 is the default port: the URL carries none; " 443" is not 443.
    EXPECT_THAT(iis::RedirectCommand(kAppcmd, "Shop", 4, "443"), HasSubstr("https://{HTTP_HOST}{REQUEST_URI}"));
    EXPECT_THAT(iis::RedirectCommand(kAppcmd, "Shop", 4, " 443"), HasSubstr("https://{HTTP_HOST}: 443{REQUEST_URI}"));

    FakeMachine failing;  // the match fails: nothing after it runs, one record with appcmd's own words
    failing.Fail(".match.url", 13);
    failing.shell.toolOutput = [](const std::string&) {
        return "ERROR ( message:Unknown config section \"system.webServer/rewrite/rules\".  Replace with ? for help. )\r\n";
    };
    EXPECT_FALSE(iis::ConfigureHttpToHttpsRedirect(failing.machine, kAppcmd, "Shop", "8443", true));
    EXPECT_EQ(failing.shell.runs.size(), 3u);
    EXPECT_THAT(failing.ErrorLog(), HasSubstr("'ConfigureHttpToHttpsRedirect' 中发生错误: Failed to set match URL for site "
                                              "'Shop' : " + all[2] + "; the tool said: ERROR ( message:Unknown config section "
                                              "\"system.webServer/rewrite/rules\".  Replace with ? for help. ) (代码: 13)"));

    // Removing: gone or never there is done; any other answer is a failure, logged.
    for (const std::int32_t code : {0, 1168, -2147023728, 4312, 5, 13}) {
        SCOPED_TRACE(code);
        FakeMachine removing;
        removing.shell.onRun = [code](const std::string&) { return code; };
        const bool done = code == 0 || code == 1168 || code == -2147023728 || code == 4312;
        EXPECT_EQ(iis::ConfigureHttpToHttpsRedirect(removing.machine, kAppcmd, "Shop", "443", false), done);
        EXPECT_EQ(removing.shell.runs.size(), 1u);
        EXPECT_EQ(removing.ErrorLog().find("Failed to remove redirect rule for site 'Shop' : " + r0) != std::string::npos, !done);
    }
}

// The window answers while tools run: a handler that changes the machine must not start then.
TEST(DeployClick, NoOtherMachineChangingHandlerStartsWhileItRuns) {
    ServerWindow t;
    t.Start();
    t.fs.AddFile("D:\\z.crt", "Z");
    t.ui.fileDialogResult = "D:\\z.crt";
    std::size_t runsBefore = 0, runsAfter = 0, boxesBefore = 0, boxesAfter = 0;
    t.shell.onRun = [&](const std::string& line) -> std::int32_t {
        if (line.find(" http add sslcert ") != std::string::npos && runsBefore == 0) {
            runsBefore = t.shell.runs.size(), boxesBefore = t.ui.boxes.size();
            for (const Id id : {Id::mnuChainManualImport, Id::cmdImport, Id::cmdDeploy, Id::mnuHelpCheckUpdate})
                app::OnCommand(t.main, id);
            runsAfter = t.shell.runs.size(), boxesAfter = t.ui.boxes.size();
        }
        return 0;
    };
    app::OnCommand(t.main, Id::cmdDeploy);
    EXPECT_NE(runsBefore, 0u);
    EXPECT_EQ(runsAfter, runsBefore);
    EXPECT_EQ(boxesAfter, boxesBefore);
    EXPECT_FALSE(t.fs.FileExists(t.AppPath("chain\\z.crt")));  // no manual import
    EXPECT_TRUE(t.http.requests.empty());
    EXPECT_EQ(t.Count("certutil"), 0u);
}

// What only the window decides: the answers it gives, the rule its box asks for, and the buttons.
// What every failure shows, and its verdict, is checked against the console (outcome_test).
TEST(DeployClick, AnswersTheRedirectBoxAndTheButtons) {
    const struct {
        const char* what;
        std::function<void(ServerWindow&)> arrange;
        size_t netshAdds, ruleBuilds, ruleRemovals;
        const char* refusal = nullptr;  // its box's key
        bool buttonsTouched = true;     // refusals before the thumbprint leave them as they were
        MsgStyle summary = MsgStyle::Information;
    } cases[] = {
        {"No to the wildcard: nothing for that site, and it is not counted as failed",
         [](ServerWindow& t) { t.ui.yesNoAnswer = MsgAnswer::No; }, 2, 1, 0},
        {"redirect off: the rule is removed everywhere",
         [](ServerWindow& t) { t.ui.SetCheckValue(Id::chkHttpRedirect, CheckState::Unchecked); }, 3, 0, 2},
        {"no URL Rewrite: removed whatever the box says, and appcmd knowing no rule section is no failure",
         [](ServerWindow& t) { t.main.m_RewriteModuleInstalled = false, t.Fail("/-\"[name=", 13); }, 3, 0, 2},
        {"redirect off and its removal refused: a warning, partly done",
         [](ServerWindow& t) { t.ui.SetCheckValue(Id::chkHttpRedirect, CheckState::Unchecked), t.Fail("/-\"[name=", 5); }, 3,
         0, 2, nullptr, true, MsgStyle::Exclamation},
        {"nothing selected", [](ServerWindow& t) { t.ui.C(Id::lstSites).selected.assign(2, false); }, 0, 0, 0,
         "MsgBox_Deploy_SelectSite", false},
        {"a port left unusable", [](ServerWindow& t) { t.ui.SetText(Id::TxtHttpsPort, "443'] /x"); }, 0, 0, 0,
         "MsgBox_SetPort_InvalidPort", false},
        {"wrong password", [](ServerWindow& t) { t.pkcs12.password = "other"; }, 0, 0, 0, "MsgBox_Deploy_GetThumbprintFailed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ServerWindow t;
        t.Start();
        t.ui.SetEnabled(Id::cmdImport, false);  // shows whether the run touched the buttons
        c.arrange(t);
        app::OnCommand(t.main, Id::cmdDeploy);
        EXPECT_EQ(t.Count(" http add sslcert "), c.netshAdds);
        EXPECT_EQ(t.Count("stopProcessing='True'"), c.ruleBuilds);
        EXPECT_EQ(t.Count("/-\"[name='HTTPS Redirect']\"") - c.ruleBuilds, c.ruleRemovals);
        if (c.refusal) {
            EXPECT_EQ(t.ui.OnlyBox().text, GetLangString(c.refusal));
            EXPECT_TRUE(t.Changes().empty());
        } else {
            EXPECT_EQ(t.ui.boxes.back().style, c.summary);
            const bool warned = std::any_of(t.ui.boxes.begin(), t.ui.boxes.end(), [](const auto& b) {
                return b.text.find("Failed to disable HTTP redirect for site 'Shop'") != std::string::npos;
            });
            EXPECT_EQ(warned, c.summary != MsgStyle::Information);
        }
        EXPECT_EQ(t.ui.Enabled(Id::cmdImport) && t.ui.Enabled(Id::cmdDeploy), c.buttonsTouched);
    }
}

TEST(DeployClick, ACloseDuringTheRunEndsItAfterTheCurrentSite) {
    ServerWindow t;
    t.stage.sites = {{"A", "http/*:80:a.example.com"}, {"B", "http/*:80:b.example.com"}};
    t.Start();
    t.shell.onRun = [&t](const std::string& l) {
        if (l.find("add sslcert") != std::string::npos) t.ui.Close();
        return 0;
    };
    app::OnCommand(t.main, Id::cmdDeploy);
    EXPECT_EQ(t.Count("/site.name:\"A\""), 2u);  // A finished: unbind and bind
    EXPECT_EQ(t.Count("set config \"A\""), 5u);
    EXPECT_EQ(t.Count("\"B\""), 0u);
    EXPECT_TRUE(t.ui.boxes.empty());  // no summary for a run that was stopped
}

}  // namespace
