// appcmd as the application drives it: the list commands through the command interpreter with
// redirected output, the set commands through the shell, with the command lines the application
// builds (tool path unquoted, site names between quotes and never escaped).
#include <gtest/gtest.h>

#include "harness.h"

namespace sandbox::test {
namespace {

const std::wstring kAwkwardName = L"Café [Test] \"Q\"";   // blanks, brackets, non-ASCII, quotes
const std::wstring kAccentedName = L"Café [Test] (1)";

std::wstring Bindings200() {
    std::wstring text = L"http/*:80:";
    for (int i = 0; i < 199; ++i) {
        wchar_t host[48];
        swprintf(host, 48, L",https/*:443:host%03d.example.com", i);
        text += host;
    }
    return text;
}

class Appcmd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Seed(L"--site \"Default Web Site\" \"http/*:80:,https/*:443:www.example.com,net.tcp/808:*\" "
                         L"--site " + Quote(kAccentedName) + L" \"http/*:80:cafe.example\" "
                         L"--site " + Quote(kAwkwardName) + L" \"http/*:80:q.example\" "
                         L"--site Big " + Quote(Bindings200())));
    }
    // The application's lines.
    static std::wstring SiteNames() { return AppcmdPath() + L" list site /text:name"; }
    static std::wstring SiteBindings(const std::wstring& site) {
        return AppcmdPath() + L" list site \"" + site + L"\" /text:bindings";
    }
    static std::wstring RemoveHttps(const std::wstring& site, const std::wstring& host) {
        return AppcmdPath() + L" set site /site.name:\"" + site +
               L"\" /-bindings.[protocol='https',bindingInformation='*:443:" + host + L"']";
    }
    static std::wstring AddHttps(const std::wstring& site, const std::wstring& host, bool sni) {
        return AppcmdPath() + L" set site /site.name:\"" + site +
               L"\" /+bindings.[protocol='https',bindingInformation='*:443:" + host + L"'" +
               (sni ? L",sslFlags='1'" : L"") + L"]";
    }
};

TEST_F(Appcmd, ListsSiteNamesOnePerLine) {
    Captured names = RunHiddenAndCapture(SiteNames());
    EXPECT_EQ(names.exitCode, 0u);
    EXPECT_EQ(names.text, L"Default Web Site\r\n" + kAccentedName + L"\r\n" + kAwkwardName + L"\r\nBig\r\n");
}

TEST_F(Appcmd, ListsTheBindingsOfOneSiteOnOneLine) {
    Captured bindings = RunHiddenAndCapture(SiteBindings(L"Default Web Site"));
    EXPECT_EQ(bindings.exitCode, 0u);
    EXPECT_EQ(bindings.text, L"http/*:80:,https/*:443:www.example.com,net.tcp/808:*\r\n");

    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(kAccentedName)).text, L"http/*:80:cafe.example\r\n");
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(L"Big")).text, Bindings200() + L"\r\n");
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(L"default web site")).exitCode, 0u) << "names ignore case";
}

TEST_F(Appcmd, ListsSitesInTheToolsSummaryForm) {
    std::wstring expected = L"SITE \"Default Web Site\" (id:1,bindings:http/*:80:,https/*:443:www.example.com,net.tcp/808:*,state:Started)\r\n";
    Captured all = RunHiddenAndCapture(AppcmdPath() + L" list site");
    std::vector<std::wstring> lines = Lines(all.text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0] + L"\r\n", expected);
    EXPECT_EQ(lines[1], L"SITE \"" + kAccentedName + L"\" (id:2,bindings:http/*:80:cafe.example,state:Started)");
    EXPECT_EQ(RunHiddenAndCapture(AppcmdPath() + L" list site \"Default Web Site\"").text, expected);
    EXPECT_EQ(RunHiddenAndCapture(AppcmdPath() + L" list site /site.name:\"Default Web Site\"").text, expected);
}

TEST_F(Appcmd, AnUnknownSiteListsNothingAndFails) {
    Captured missing = RunHiddenAndCapture(SiteBindings(L"No Such Site"));
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_EQ(missing.text, L"");
    EXPECT_EQ(RunHiddenAndCapture(AppcmdPath() + L" list site /site.name:\"No Such Site\"").exitCode, 1u);

    // Commands that act on a site name it in an ERROR line on standard output.
    ProcessResult set = RunProcess(RemoveHttps(L"No Such Site", L"a.example"));
    EXPECT_EQ(set.exitCode, 1168u);
    EXPECT_EQ(set.out, "ERROR ( message:Cannot find SITE object with identifier \"No Such Site\". )\r\n");
    EXPECT_EQ(set.err, "");
}

TEST_F(Appcmd, ASiteNameWithQuotesCannotBeAddressedBetweenQuotes) {
    // The platform's argument rules take the embedded quotes as quoting: appcmd is asked for
    // «Café [Test] Q», which does not exist.
    Captured bindings = RunHiddenAndCapture(SiteBindings(kAwkwardName));
    EXPECT_EQ(bindings.exitCode, 1u);
    EXPECT_EQ(bindings.text, L"");
    ProcessResult set = RunProcess(AddHttps(kAwkwardName, L"q.example", true));
    EXPECT_EQ(set.exitCode, 1168u);
    EXPECT_EQ(Ansi(set.out), L"ERROR ( message:Cannot find SITE object with identifier \"Café [Test] Q\". )\r\n");
}

TEST_F(Appcmd, RejectsWhatTheRealToolRejects) {
    ProcessResult verb = RunProcess(AppcmdPath() + L" lsit site");
    EXPECT_EQ(verb.exitCode, 87u);
    EXPECT_EQ(verb.out, "Command 'LSIT' is not supported on object 'SITE'. Run 'appcmd.exe SITE /?'\r\r\nto display supported commands.\r\r\n");

    ProcessResult object = RunProcess(AppcmdPath() + L" list sight");
    EXPECT_EQ(object.exitCode, 87u);
    EXPECT_EQ(object.out, "Object 'SIGHT' is not supported.  Run 'appcmd.exe /?' to display supported objects.\r\r\n");

    ProcessResult attribute = RunProcess(AppcmdPath() + L" list site /colour:blue");
    EXPECT_EQ(attribute.exitCode, 87u);
    EXPECT_EQ(attribute.out, "ERROR ( message:Unknown attribute \"colour\".  Replace with -? for help. )\r\n");

    // An unquoted name with a blank is two identifiers.
    ProcessResult split = RunProcess(AppcmdPath() + L" list site Default Web Site");
    EXPECT_EQ(split.exitCode, 87u);
    EXPECT_EQ(split.out, "Failed to process input: The parameter 'Web' must begin with a / or - (HRESULT=80070057).\r\n");

    ProcessResult nothing = RunProcess(AppcmdPath());
    EXPECT_EQ(nothing.exitCode, 87u);
    EXPECT_NE(nothing.out.find("APPCMD (command) (object-type)"), std::string::npos);
    for (const ProcessResult* r : {&verb, &object, &attribute, &split, &nothing}) EXPECT_EQ(r->err, "");
}

TEST_F(Appcmd, ReportsWhetherTheRewriteModuleIsInstalled) {
    const std::wstring check = L"%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"";
    Captured present = RunHiddenAndCapture(check);
    EXPECT_EQ(present.exitCode, 0u);
    EXPECT_EQ(present.text, L"MODULE \"RewriteModule\" ( native, preCondition: )\r\n");

    ASSERT_TRUE(Seed(L"--no-rewrite"));
    Captured absent = RunHiddenAndCapture(check);
    EXPECT_EQ(absent.exitCode, 1u);
    EXPECT_EQ(absent.text, L"");
    EXPECT_NE(RunHiddenAndCapture(AppcmdPath() + L" list module").text.find(L"MODULE \"StaticFileModule\""),
              std::wstring::npos);
}

TEST_F(Appcmd, AddsAndRemovesHttpsBindingsOfASite) {
    ProcessResult added = RunProcess(AddHttps(kAccentedName, L"cafe.example", true));
    EXPECT_EQ(added.exitCode, 0u);
    EXPECT_EQ(Ansi(added.out), L"SITE object \"" + kAccentedName + L"\" changed\r\n");
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(kAccentedName)).text, L"http/*:80:cafe.example,https/*:443:cafe.example\r\n");
    bool flagged = false;
    for (const auto& record : SbxRecords(L"sites"))
        flagged = flagged || (record.size() == 5 && record[0] == L"binding" && record[3] == L"*:443:cafe.example" &&
                              record[4] == L"1");
    EXPECT_TRUE(flagged) << "sslFlags kept with the binding";

    ProcessResult duplicate = RunProcess(AddHttps(kAccentedName, L"CAFE.example", false));
    EXPECT_EQ(duplicate.exitCode, 183u);
    EXPECT_NE(duplicate.out.find("Cannot add duplicate collection entry of type 'binding'"), std::string::npos);

    EXPECT_EQ(ShellRun(RemoveHttps(kAccentedName, L"cafe.example")), 0u);
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(kAccentedName)).text, L"http/*:80:cafe.example\r\n");
    ProcessResult again = RunProcess(RemoveHttps(kAccentedName, L"cafe.example"));
    EXPECT_EQ(again.exitCode, 1168u);
    EXPECT_EQ(again.out, "ERROR ( message:Cannot find requested collection element. )\r\n");

    // The wildcard binding of a site without host names: empty host between ':' and '\''.
    EXPECT_EQ(ShellRun(AddHttps(L"Default Web Site", L"", false)), 0u);
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(L"Default Web Site")).text,
              L"http/*:80:,https/*:443:www.example.com,net.tcp/808:*,https/*:443:\r\n");
}

TEST_F(Appcmd, KnowsNoServerNameIndicationBeforeIis8) {
    ASSERT_TRUE(Seed(L"--iis-major 7 --site \"Default Web Site\" \"http/*:80:\""));
    ProcessResult sni = RunProcess(AddHttps(L"Default Web Site", L"www.example.com", true));
    EXPECT_EQ(sni.exitCode, 87u);
    EXPECT_EQ(sni.out, "ERROR ( message:Unknown attribute \"sslFlags\".  Replace with -? for help. )\r\n");
    EXPECT_EQ(ShellRun(AddHttps(L"Default Web Site", L"www.example.com", false)), 0u);
}

TEST_F(Appcmd, BuildsAndRemovesTheRedirectRule) {
    const std::wstring config = AppcmdPath() + L" set config \"" + kAccentedName + L"\" -section:system.webServer/rewrite/rules ";
    const std::wstring rule = L"[name='HTTPS Redirect']";
    const std::wstring r0 = config + L"/-\"" + rule + L"\" /commit:apphost";
    const std::wstring r1 = config + L"/+\"[name='HTTPS Redirect',stopProcessing='True']\" /commit:apphost";
    const std::wstring r2 = config + L"\"/" + rule + L".match.url:(.*)\" /commit:apphost";
    const std::wstring r3 = config + L"/+\"" + rule + L".conditions.[input='{HTTPS}',pattern='^OFF$']\" /commit:apphost";
    const std::wstring r4 = config + L"\"/" + rule + L".action.type:Redirect\" \"/" + rule +
                            L".action.url:https://{HTTP_HOST}:8443{REQUEST_URI}\" \"/" + rule +
                            L".action.appendQueryString:False\" /commit:apphost";

    EXPECT_NE(ShellRun(r0), 0u) << "no rule to remove yet";
    const std::wstring* steps[] = {&r1, &r2, &r3, &r4};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(ShellRun(*steps[i]), 0u) << "R" << i + 1;
    auto rules = SbxRecords(L"rules");
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0], (std::vector<std::wstring>{L"rule", kAccentedName, L"HTTPS Redirect", L"true", L"(.*)",
                                                   L"Redirect", L"https://{HTTP_HOST}:8443{REQUEST_URI}", L"false"}));
    EXPECT_EQ(rules[1], (std::vector<std::wstring>{L"condition", kAccentedName, L"HTTPS Redirect", L"{HTTPS}", L"^OFF$"}));
    EXPECT_NE(ShellRun(r1), 0u) << "a second rule of the same name";

    EXPECT_EQ(ShellRun(r0), 0u);
    EXPECT_TRUE(SbxRecords(L"rules").empty());

    ASSERT_TRUE(Seed(L"--no-rewrite --site " + Quote(kAccentedName) + L" \"http/*:80:\""));
    ProcessResult withoutModule = RunProcess(r1);
    EXPECT_NE(withoutModule.exitCode, 0u);
    EXPECT_NE(withoutModule.out.find("Unknown config section"), std::string::npos);
}

TEST_F(Appcmd, AnInjectedFaultMovesEveryAnswerToStandardError) {
    ASSERT_TRUE(Seed(L"--appcmd-fault stderr-only --site Shop \"http/*:80:shop.example\""));
    ProcessResult names = RunProcess(SiteNames());
    EXPECT_EQ(names.exitCode, 0u);
    EXPECT_EQ(names.out, "");
    EXPECT_EQ(names.err, "Shop\r\n");
    ProcessResult missing = RunProcess(SiteBindings(L"No Such Site"));
    EXPECT_EQ(missing.exitCode, 1u) << "exit codes stay as they were";
    EXPECT_EQ(RunHiddenAndCapture(SiteBindings(L"Shop")).text, L"");
    EXPECT_EQ(RunHiddenAndCapture(L"%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"").text, L"");

    // The next seed clears it.
    ASSERT_TRUE(Seed(L"--site Shop \"http/*:80:shop.example\""));
    EXPECT_EQ(RunHiddenAndCapture(SiteNames()).text, L"Shop\r\n");
    EXPECT_FALSE(Seed(L"--appcmd-fault sometimes"));
}

TEST_F(Appcmd, LogsEveryInvocationAsReceived) {
    RunHiddenAndCapture(SiteNames());
    auto log = LogOf(L"appcmd");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0][2], L"0");
    // The command interpreter hands the tool its line with a trailing blank before "> file".
    EXPECT_EQ(log[0][3], SiteNames() + L" ");
}

}  // namespace
}  // namespace sandbox::test
