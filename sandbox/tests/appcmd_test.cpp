// appcmd as the application starts it (tool path unquoted, each site name one quoted argument):
// its listings of awkward names and of the rewrite module are read end to end (65-iis-discovery);
// here, letter case, quoting, the XML listing and its refusals of lines the application could get
// wrong. Its changes are in deploy_test.cpp.
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

std::wstring Appcmd(const std::wstring& arguments) { return AppcmdPath() + L" " + arguments; }
std::wstring Bindings(const std::wstring& site) { return Appcmd(L"list site \"" + site + L"\" /text:bindings"); }

TEST(Appcmd, AnswersAndRefusesAsTheRealTool) {
    Check({
        Sbx(L"seed --site \"Default Web Site\" \"" + kDefault + L"\" --site " + QuoteArgument(kCafe) +
            L" \"http/*:80:cafe.example\" --site " + QuoteArgument(kQuoted) + L" \"http/*:80:q.example\""),
        {Via::Process, Bindings(L"default web site"), 0, kDefault + L"\r\n"},
        {Via::Process, Appcmd(L"list site /xml"), 0,
         L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<appcmd>\r\n"
         L"    <SITE SITE.NAME=\"Default Web Site\" SITE.ID=\"1\" bindings=\"" + kDefault + L"\" state=\"Started\" />\r\n"
         L"    <SITE SITE.NAME=\"" + kCafe + L"\" SITE.ID=\"2\" bindings=\"http/*:80:cafe.example\" state=\"Started\" />\r\n"
         L"    <SITE SITE.NAME=\"Café [Test] &quot;Q&quot;\" SITE.ID=\"3\" bindings=\"http/*:80:q.example\" state=\"Started\" />\r\n"
         L"</appcmd>\r\n"},
        {Via::Process, Bindings(kQuoted), 1, L""},  // no such site, and nothing on either stream
        {Via::Process, Appcmd(L"set site /site.name:\"" + kQuoted + L"\" /+bindings.[protocol='https',bindingInformation='*:443:']"),
         1168, L"ERROR ( message:Cannot find SITE object with identifier \"Café [Test] Q\". )\r\n"},
        Ran(Appcmd(L"lsit site"), 87, L"Command 'LSIT' is not supported on object 'SITE'."),
        {Via::Process, Appcmd(L"list site /colour:blue"), 87, L"ERROR ( message:Unknown attribute \"colour\".  Replace with -? for help. )\r\n"},
        {Via::Process, Appcmd(L"list site Default Web Site"), 87,
         L"Failed to process input: The parameter 'Web' must begin with a / or - (HRESULT=80070057).\r\n"},
    });
}

}  // namespace
}  // namespace sandbox::test
