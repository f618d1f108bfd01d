// What programs that read the platform instead of asking the tools find: IIS's configuration
// files, read with the platform's XML reader, and the platform's certificate stores.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <tuple>

#include "common/apphost.h"
#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"
#include "harness.h"
#include "support/failure.h"
#include "win32/text_win32.h"
#include "win32/xml_win32.h"

namespace sandbox::test {
namespace {

using Lines = std::vector<std::wstring>;

// The elements of a tree that carry data, a line each with their attributes, in document order.
void Walk(const quillbay::XmlElement& element, Lines& lines) {
    std::string line = element.name;
    for (const auto& [key, value] : element.attributes) line += " " + key + "=" + value;
    std::wstring wide = quillbay::win32::Utf8ToWide(line);
    for (wchar_t& c : wide) c = c >= 0xE000 && c < 0xE020 ? c - 0xE000 : c;
    if (std::string(" site binding location rule match action configurationRedirection ").find(" " + element.name + " ") !=
            std::string::npos || line.starts_with("add input="))
        lines.push_back(wide);
    for (const quillbay::XmlElement& child : element.children) Walk(child, lines);
}

// A configuration file as the product's reader gives it back; first "not IIS's form" unless it
// starts as IIS's files do and has CR LF line ends and four blanks a level, "unreadable" where
// the reader fails; "missing" without it.
Lines Outline(const std::wstring& path) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(path, bytes, nullptr)) return {L"missing"};
    std::string text(bytes.begin(), bytes.end());
    bool iisForm = text.starts_with("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<configuration>\r\n");
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', lf + 1)) {
        size_t indent = std::min(text.find_first_not_of(' ', lf + 1), text.size()) - lf - 1;
        iisForm = iisForm && text[lf - 1] == '\r' && indent % 4 == 0;
    }
    Lines lines(iisForm ? 0 : 1, L"not IIS's form");
    // Wine's reader normalises a reference to a tab, CR or LF in an attribute as if the character
    // stood there itself (Windows' keeps it): such references pass as private-use characters.
    for (std::string ref : {"&#x9;", "&#xA;", "&#xD;"})
        for (size_t at = text.find(ref); at != std::string::npos; at = text.find(ref, at)) text.insert(at + 3, "E00");
    try {
        Walk(quillbay::win32::Win32XmlReader().Parse(text), lines);
    } catch (const quillbay::Failure&) {
        lines.push_back(L"unreadable");
    }
    return lines;
}

// After seeds and appcmd's changes: names with a quote, an ampersand, angle brackets, a tab and
// Chinese characters, a stopped site without bindings, a rule; shared, then no IIS at all.
TEST(Config, FilesHoldWhatSeedAndAppcmdLeft) {
    const std::wstring odd = L"Odd \"Q\" & <A>", tab = L"Tab\there", cn = L"中文站点", appcmd = AppcmdPath() + L" ";
    const std::wstring local = LocalConfigDirectory() + L"\\applicationHost.config", shared = L"C:\\Shared IIS";
    const std::wstring http = L"binding protocol=http bindingInformation=*:8", rule = L" /[name='R'].";
    const Lines missing = {L"missing"};
    const std::pair<std::vector<Row>, std::vector<std::pair<std::wstring, Lines>>> cases[] = {
        {{Sbx(L"seed --site " + QuoteArgument(odd) + L" http/*:80:odd --site " + QuoteArgument(tab) + L" \"\" --site " + cn +
              L" http/*:80:"),
          Ran(appcmd + L"stop site " + QuoteArgument(tab), 0),
          Ran(appcmd + L"set site " + cn + L" /+bindings.[protocol='https',bindingInformation='*:443:cn',sslFlags='1']", 0),
          Ran(appcmd + L"set config " + QuoteArgument(odd) + L" -section:system.webServer/rewrite/rules " +
                  L"/+[name='R',stopProcessing='True']" + rule + L"match.url:(.*) /+[name='R'].conditions.[input='{HTTPS}'," +
                  L"pattern='^OFF$']" + rule + L"action.type:Redirect" + rule + L"action.url:https://{HTTP_HOST}/{R:1}" + rule +
                  L"action.appendQueryString:False /commit:apphost", 0)},
         {{local,
           {L"site name=" + odd + L" id=1", http + L"0:odd", L"site name=" + tab + L" id=2 serverAutoStart=false",
            L"site name=" + cn + L" id=3", http + L"0:", L"binding protocol=https bindingInformation=*:443:cn sslFlags=1",
            L"location path=" + odd + L" overrideMode=Allow", L"rule name=R stopProcessing=true", L"match url=(.*)",
            L"add input={HTTPS} pattern=^OFF$", L"action type=Redirect url=https://{HTTP_HOST}/{R:1} appendQueryString=false"}},
          {RedirectionConfigPath(), missing}}},
        // Every save goes where redirection.config says, and nothing stays behind locally.
        {{Sbx(L"seed --shared-config \"" + shared + L"\""), Ran(appcmd + L"add site /name:B /bindings:http/*:81:", 0)},
         {{RedirectionConfigPath(), {L"configurationRedirection enabled=true path=" + shared}},
          {shared + L"\\applicationHost.config", {L"site name=Default Web Site id=1", http + L"0:", L"site name=B id=2", http + L"1:"}},
          {local, missing}}},
        {{Sbx(L"seed --no-iis")}, {{local, missing}, {RedirectionConfigPath(), missing}}},
    };
    for (const auto& [rows, files] : cases) {
        Check(rows);
        for (const auto& [path, outline] : files) EXPECT_EQ(Outline(path), outline) << Narrow(path);
    }
}

// The test certificates in a platform store by name, "+key" where the key is named and can be
// acquired; *count: all its certificates.
std::wstring Fixtures(DWORD location, const wchar_t* name, size_t* count = nullptr) {
    std::wstring found;
    size_t all = 0;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG, name);
    for (PCCERT_CONTEXT c = nullptr; store && (c = CertEnumCertificatesInStore(store, c)); ++all) {
        wchar_t subject[256];
        DWORD infoSize = 0, keySpec = 0;
        HCRYPTPROV_OR_NCRYPT_KEY_HANDLE key = 0;
        BOOL release = FALSE;
        CertGetNameStringW(c, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, subject, 256);
        if (!wcsstr(subject, L"Quillbay Test") && !wcsstr(subject, L"example.com")) continue;
        bool keyed = CertGetCertificateContextProperty(c, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &infoSize) &&
                     CryptAcquireCertificatePrivateKey(c, CRYPT_ACQUIRE_SILENT_FLAG, nullptr, &key, &keySpec, &release);
        if (release) CryptReleaseContext(key, 0);
        found += (found.empty() ? L"" : L", ") + std::wstring(subject) + (keyed ? L"+key" : L"");
    }
    if (store) CertCloseStore(store, 0);
    if (count) *count = all;
    return found;
}

// certutil's imports reach the platform's stores of that name and owner until the next seed, which
// leaves the prefix's own roots.
TEST(Stores, ImportsReachThePlatformsStoresUntilTheNextSeed) {
    const DWORD machine = CERT_SYSTEM_STORE_LOCAL_MACHINE, user = CERT_SYSTEM_STORE_CURRENT_USER;
    const std::tuple<DWORD, const wchar_t*, std::wstring> stores[] = {
        {machine, L"MY", L"www.example.com+key"}, {machine, L"CA", L"Quillbay Test Intermediate"}, {machine, L"Root", L""},
        {user, L"Root", L"Quillbay Test Root"}};
    size_t roots = 0, rootsAfter = 0;  // the prefix's own
    Check({Sbx(L"seed")});
    Fixtures(machine, L"Root", &roots);
    Check({Ran(LeafImport(), 0), Ran(L"certutil.exe -user -addstore Root \"" + Fixture(L"root.crt") + L"\"", 0)});
    for (const auto& [location, name, imported] : stores) EXPECT_EQ(Fixtures(location, name), imported) << Narrow(name);
    Check({Sbx(L"seed")});
    for (const auto& [location, name, imported] : stores) EXPECT_EQ(Fixtures(location, name), L"") << Narrow(name);
    Fixtures(machine, L"Root", &rootsAfter);
    EXPECT_TRUE(roots > 0 && rootsAfter == roots) << roots << " " << rootsAfter;
}

}  // namespace
}  // namespace sandbox::test
