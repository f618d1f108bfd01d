// appcmd as the application drives it: lists through the command interpreter with redirected
// output, changes through the shell, with the command lines the application builds (tool path
// unquoted, site names between quotes and never escaped).
#include <gtest/gtest.h>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"
#include "harness.h"

namespace sandbox::test {
namespace {

const std::wstring kCafe = L"Café [Test] (1)";
const std::wstring kQuoted = L"Café [Test] \"Q\"";  // its quotes end the quoting early
const std::wstring kDefault = L"http/*:80:,https/*:443:www.example.com,net.tcp/808:*";

std::wstring Bindings200() {
    std::wstring text = L"http/*:80:";
    for (int i = 100; i < 299; ++i) text += L",https/*:443:host" + std::to_wstring(i) + L".example.com";
    return text;
}

std::wstring Appcmd(const std::wstring& arguments) { return AppcmdPath() + L" " + arguments; }
std::wstring Bindings(const std::wstring& site) { return Appcmd(L"list site \"" + site + L"\" /text:bindings"); }
// op is "+" (add) or "-" (remove).
std::wstring Https(const wchar_t* op, const std::wstring& site, const std::wstring& host, const wchar_t* more = L"") {
    return Appcmd(L"set site /site.name:\"" + site + L"\" /" + op +
                  L"bindings.[protocol='https',bindingInformation='*:443:" + host + L"'" + more + L"]");
}
std::wstring AddSni(const std::wstring& site, const std::wstring& host) { return Https(L"+", site, host, L",sslFlags='1'"); }
std::wstring Summary(const std::wstring& site, int id, const std::wstring& bindings) {
    return L"SITE \"" + site + L"\" (id:" + std::to_wstring(id) + L",bindings:" + bindings + L",state:Started)\r\n";
}
const std::wstring kNames = Appcmd(L"list site /text:name");
const std::wstring kRewriteCheck = L"%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"";
const Row kSeed = {Via::Sbx, L"seed --site \"Default Web Site\" \"" + kDefault + L"\" --site " + QuoteArgument(kCafe) +
                                 L" \"http/*:80:cafe.example\" --site " + QuoteArgument(kQuoted) +
                                 L" \"http/*:80:q.example\" --site Big " + QuoteArgument(Bindings200()),
                   0, L"", Match::Any};

TEST(Appcmd, AnswersAndRefusesAsTheRealTool) {
    const std::wstring first = Summary(L"Default Web Site", 1, kDefault);
    const std::vector<Row> rows = {
        kSeed,
        {Via::Capture, kNames, 0, L"Default Web Site\r\n" + kCafe + L"\r\n" + kQuoted + L"\r\nBig\r\n"},
        {Via::Capture, Bindings(L"Default Web Site"), 0, kDefault + L"\r\n"},
        {Via::Capture, Bindings(L"default web site"), 0, kDefault + L"\r\n"},
        {Via::Capture, Bindings(kCafe), 0, L"http/*:80:cafe.example\r\n"},
        {Via::Capture, Bindings(L"Big"), 0, Bindings200() + L"\r\n"},
        {Via::Capture, Appcmd(L"list site"), 0, first + Summary(kCafe, 2, L"http/*:80:cafe.example") +
                                                    Summary(kQuoted, 3, L"http/*:80:q.example") + Summary(L"Big", 4, Bindings200())},
        {Via::Capture, Appcmd(L"list site \"Default Web Site\""), 0, first},
        {Via::Capture, Appcmd(L"list site /site.name:\"Default Web Site\""), 0, first},
        {Via::Capture, Bindings(L"No Such Site"), 1, L""},
        {Via::Capture, Bindings(kQuoted), 1, L""},
        {Via::Process, AddSni(kQuoted, L"q.example"), 1168, L"ERROR ( message:Cannot find SITE object with identifier \"Café [Test] Q\". )\r\n"},
        {Via::Process, Https(L"-", L"No Such Site", L"a"), 1168, L"ERROR ( message:Cannot find SITE object with identifier \"No Such Site\". )\r\n"},
        {Via::Process, Appcmd(L"lsit site"), 87,
         L"Command 'LSIT' is not supported on object 'SITE'. Run 'appcmd.exe SITE /?'\r\r\nto display supported commands.\r\r\n"},
        {Via::Process, Appcmd(L"list sight"), 87, L"Object 'SIGHT' is not supported.  Run 'appcmd.exe /?' to display supported objects.\r\r\n"},
        {Via::Process, Appcmd(L"list site /colour:blue"), 87, L"ERROR ( message:Unknown attribute \"colour\".  Replace with -? for help. )\r\n"},
        {Via::Process, Appcmd(L"list site Default Web Site"), 87,
         L"Failed to process input: The parameter 'Web' must begin with a / or - (HRESULT=80070057).\r\n"},
        {Via::Process, AppcmdPath(), 87, L"APPCMD (command) (object-type)", Match::Has},
        {Via::Capture, kRewriteCheck, 0, L"MODULE \"RewriteModule\" ( native, preCondition: )\r\n"},
        // An unknown identifier: nothing on either stream, exit 1.
        {Via::Process, Appcmd(L"list module \"NoSuchModule\""), 1, L""},
        {Via::Stderr, Appcmd(L"list site \"No Such Site\" /text:bindings"), 1, L""},
    };
    Check(rows);
    // One record per invocation, the line as received: the interpreter leaves a blank before "> file".
    auto log = LogOf(L"appcmd");
    ASSERT_EQ(log.size(), rows.size() - 1);
    EXPECT_EQ(log[0][2], L"0");
    EXPECT_EQ(log[0][3], kNames + L" ");
}

TEST(Appcmd, AddsAndRemovesHttpsBindings) {
    Check({
        kSeed,
        {Via::Process, AddSni(kCafe, L"cafe.example"), 0, L"SITE object \"" + kCafe + L"\" changed\r\n"},
        {Via::Capture, Bindings(kCafe), 0, L"http/*:80:cafe.example,https/*:443:cafe.example\r\n"},
        {Via::Sbx, L"sites", 0, L"binding\t2\thttps\t*:443:cafe.example\t1\r\n", Match::Has},
        {Via::Process, Https(L"+", kCafe, L"CAFE.example"), 183, L"Cannot add duplicate collection entry of type 'binding'", Match::Has},
        {Via::Shell, Https(L"-", kCafe, L"cafe.example"), 0},
        {Via::Capture, Bindings(kCafe), 0, L"http/*:80:cafe.example\r\n"},
        {Via::Process, Https(L"-", kCafe, L"cafe.example"), 1168, L"ERROR ( message:Cannot find requested collection element. )\r\n"},
        // The wildcard binding of a site without host names: nothing between ':' and '\''.
        {Via::Shell, Https(L"+", L"Default Web Site", L""), 0},
        {Via::Capture, Bindings(L"Default Web Site"), 0, kDefault + L",https/*:443:\r\n"},
        // Before IIS 8 bindings know no sslFlags.
        {Via::Sbx, L"seed --iis-major 7 --site \"Default Web Site\" \"http/*:80:\"", 0, L"", Match::Any},
        {Via::Process, AddSni(L"Default Web Site", L"a"), 87, L"ERROR ( message:Unknown attribute \"sslFlags\".  Replace with -? for help. )\r\n"},
        {Via::Shell, Https(L"+", L"Default Web Site", L"a"), 0},
    });
}

TEST(Appcmd, BuildsAndRemovesTheRedirectRule) {
    const std::wstring set = Appcmd(L"set config \"" + kCafe + L"\" -section:system.webServer/rewrite/rules ");
    const std::wstring rule = L"\"/[name='HTTPS Redirect']";
    const std::wstring add = set + L"/+\"[name='HTTPS Redirect',stopProcessing='True']\" /commit:apphost";
    const std::wstring remove = set + L"/-\"[name='HTTPS Redirect']\" /commit:apphost";
    const std::wstring rules = L"rule\t" + kCafe + L"\tHTTPS Redirect\ttrue\t(.*)\tRedirect\thttps://{HTTP_HOST}:8443{REQUEST_URI}\tfalse\r\n"
                               L"condition\t" + kCafe + L"\tHTTPS Redirect\t{HTTPS}\t^OFF$\r\n";
    Check({
        kSeed,
        {Via::Shell, remove, kFails},
        {Via::Shell, add, 0},
        {Via::Shell, set + rule + L".match.url:(.*)\" /commit:apphost", 0},
        {Via::Shell, set + L"/+\"[name='HTTPS Redirect'].conditions.[input='{HTTPS}',pattern='^OFF$']\" /commit:apphost", 0},
        {Via::Shell, set + rule + L".action.type:Redirect\" " + rule + L".action.url:https://{HTTP_HOST}:8443{REQUEST_URI}\" " + rule +
                         L".action.appendQueryString:False\" /commit:apphost", 0},
        {Via::Sbx, L"rules", 0, rules},
        {Via::Shell, add, kFails},
        {Via::Shell, remove, 0},
        {Via::Sbx, L"rules", 0, L""},
        // Without the URL Rewrite module there is no such section, and no module to find.
        {Via::Sbx, L"seed --no-rewrite --site " + QuoteArgument(kCafe) + L" \"http/*:80:\"", 0, L"", Match::Any},
        {Via::Process, add, 13,
         L"ERROR ( message:Unknown config section \"system.webServer/rewrite/rules\".  Replace with ? for help. )\r\n"},
        {Via::Capture, kRewriteCheck, 1, L""},
        {Via::Capture, Appcmd(L"list module"), 0, L"MODULE \"StaticFileModule\"", Match::Has},
    });
}

TEST(Appcmd, AnInjectedFaultMovesEveryAnswerToStandardError) {
    Check({
        {Via::Sbx, L"seed --appcmd-fault stderr-only --site Shop \"http/*:80:shop.example\"", 0, L"", Match::Any},
        {Via::Stderr, kNames, 0, L"Shop\r\n"},
        {Via::Stderr, Bindings(L"No Such Site"), 1, L""},
        {Via::Capture, Bindings(L"Shop"), 0, L""},
        {Via::Capture, kRewriteCheck, 0, L""},
        {Via::Sbx, L"seed --site Shop \"http/*:80:shop.example\"", 0, L"", Match::Any},
        {Via::Capture, kNames, 0, L"Shop\r\n"},
        {Via::Sbx, L"seed --appcmd-fault sometimes", 2, L"", Match::Any},
    });
}

// Names that the platform's argument rules or the command interpreter treat specially, each
// quoted the way a correct caller quotes one argument. The suite runs under a Chinese locale
// (tests/CMakeLists.txt), so that the listing's Chinese letters survive the ANSI code page.
TEST(SiteNames, AwkwardNamesAreListedAndFoundAsOneArgument) {
    ASSERT_EQ(GetACP(), 936u) << "this suite runs with LC_ALL=zh_CN.UTF-8";
    const std::vector<std::wstring> names = {
        L"Say \"Hi\"",  L"100% %PATH%", L"Tom & Jerry",  L"Caret^Site",    L"O'Brien's",
        L"(Parens)",     L"[Brackets]",  L"Trailing\\", L"Two\\\\\"Q\\", L"中文站点",
        L"混合 \"引号\" & (符号) [测试] ^%\\"};
    std::string file;
    std::wstring listing;
    std::vector<Row> rows;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::wstring bindings = L"http/*:80:s" + std::to_wstring(i) + L".example";
        file += Narrow(names[i] + L"\t" + bindings + L"\r\n");
        listing += names[i] + L"\r\n";
        rows.push_back({Via::Process, Appcmd(L"list site " + QuoteArgument(names[i]) + L" /text:bindings"), 0, bindings + L"\r\n"});
    }
    const std::wstring sites = TempPath(L"awkward sites.tsv");
    ASSERT_TRUE(WriteFileBytes(sites, file.data(), file.size()));
    Check({{Via::Sbx, L"seed --sites-file " + QuoteArgument(sites), 0, L"", Match::Any},
           {Via::Process, kNames, 0, listing}});
    Check(rows);
    // Near misses find nothing: the name arrives exactly, backslashes and quotes included.
    Check({{Via::Process, Appcmd(L"list site " + QuoteArgument(L"Trailing") + L" /text:bindings"), 1, L""},
           {Via::Process, Appcmd(L"list site " + QuoteArgument(L"Say Hi") + L" /text:bindings"), 1, L""},
           {Via::Process, Appcmd(L"list site " + QuoteArgument(L"Two\\\"Q\\") + L" /text:bindings"), 1, L""}});
}

}  // namespace
}  // namespace sandbox::test
