// A deployment's command lines, made by the application's own functions (their text is pinned by
// its unit tests): the HTTP.sys binding (netsh), the site's https binding (appcmd set site) and
// the redirect rule (appcmd set config), and what the tools refuse of them. The application judges
// them by their exit codes alone; whole deployments are checked end to end (90-import-deploy).
#include <gtest/gtest.h>

#include "common/state.h"
#include "common/text.h"
#include "harness.h"
#include "iis/deploy.h"
#include "iis/inventory.h"
#include "iis/redirect.h"
#include "win32/shell_win32.h"

namespace sandbox::test {
namespace {

const std::wstring kDefault = L"Default Web Site";
const std::wstring kHost = L"www.example.com";  // the leaf certificate's name

struct Target {
    DWORD iis;          // the seeded IIS major version
    std::wstring site;  // holds blanks
    std::wstring host;  // empty: the wildcard binding
    std::wstring port;
};
bool Sni(const Target& t) { return t.iis >= 8 && !t.host.empty(); }  // a named host from IIS 8 on

namespace iis = quillbay::iis;
iis::DeployTools Tools() { return {Narrow(SystemDirectory() + L"\\netsh.exe"), Narrow(AppcmdPath())}; }
std::wstring DeleteSslCert(const Target& t) {
    return Widen(iis::DeleteSslCertCommand(Tools(), Narrow(t.host), Narrow(t.port), t.iis >= 8));
}
std::wstring AddSslCert(const Target& t, const std::wstring& hash) {
    return Widen(iis::AddSslCertCommand(Tools(), Narrow(t.host), Narrow(t.port), t.iis >= 8, Narrow(hash)));
}
std::wstring RemoveBinding(const Target& t) {
    return Widen(iis::RemoveSiteBindingCommand(Tools(), Narrow(t.site), Narrow(t.host), Narrow(t.port)));
}
std::wstring AddBinding(const Target& t) {
    return Widen(iis::AddSiteBindingCommand(Tools(), Narrow(t.site), Narrow(t.host), Narrow(t.port), t.iis >= 8));
}
std::wstring Rule(const Target& t, int which) {  // 0 remove, 1 create, 2 match, 3 condition, 4 action
    return Widen(iis::RedirectCommand(Tools().appcmd, Narrow(t.site), which, Narrow(t.port)));
}

constexpr DWORD kNotFound = 1168, kExists = 183;

// What the host keeps after a deployment of the target, as sbx prints it.
std::wstring SslCertRecord(const Target& t, const std::wstring& hash) {
    return (Sni(t) ? L"hostnameport\t" + t.host + L":" + t.port : L"ipport\t0.0.0.0:" + t.port) + L"\t" + hash +
           L"\t{4dc3e181-e14b-4a21-b022-59fc669b0914}\t" + (Sni(t) ? L"MY" : L"") + L"\r\n";
}
const std::wstring kDefaultSite = L"site\t1\tDefault Web Site\tStarted\r\nbinding\t1\thttp\t*:80:\t0\r\nbinding\t1\thttp\t*:80:www.example.com\t0\r\n";
const std::wstring kShopSite = L"site\t2\tShop Site\tStarted\r\nbinding\t2\thttp\t*:8080:shop.example.com\t0\r\n";
Row Seed(DWORD iis, const std::wstring& more = L"") {
    return Sbx(L"seed --iis-major " + std::to_wstring(iis) + L" --site \"Default Web Site\" \"http/*:80:,http/*:80:www.example.com\" "
               L"--site \"Shop Site\" \"http/*:8080:shop.example.com\"" + more);
}

// netsh binds only a certificate in the machine's My store with its key (below IIS 8, by address,
// as 90-import-deploy shows); without URL Rewrite every rule line fails.
TEST(Deploy, NetshWantsTheCertificateInTheMachinesMyStoreAndRulesWantUrlRewrite) {
    const std::wstring leaf = Thumbprint(L"leaf"), noKey = L"Error: 1312";
    const Target t{10, kDefault, kHost, L"443"};
    std::vector<Row> rows = {
        Seed(t.iis, L" --no-rewrite"),
        // In My without its key, in the CA store, in the user's My: no binding.
        Ran(L"certutil.exe -addstore -f \"My\" \"" + Fixture(L"leaf.crt") + L"\"", 0),
        Ran(L"certutil.exe -addstore -f \"CA\" \"" + Fixture(L"leaf.crt") + L"\"", 0),
        Ran(L"certutil.exe -f -user -p \"" + Password(L"leaf") + L"\" -importpfx \"" + Fixture(L"leaf.pfx") + L"\"", 0),
        {Via::Stores, L"", 0, L"CA/leaf My/leaf User\\CA/inter User\\My/leaf+key"},
        Ran(AddSslCert(t, leaf), 1, noKey),
        Ran(AddSslCert(t, Thumbprint(L"inter")), 1, noKey),
        {Via::Sbx, L"sslcerts", 0, L""},
    };
    for (int which = 0; which < 5; ++which)
        rows.push_back(Ran(Rule(t, which), 13, L"Unknown config section \"system.webServer/rewrite/rules\""));
    rows.push_back({Via::Sbx, L"rules", 0, L""});
    Check(rows);
}

TEST(Deploy, RefusesWhatTheRealToolsRefuse) {
    const std::wstring leaf = Thumbprint(L"leaf");
    const Target sni{10, kDefault, kHost, L"443"}, unknown{10, L"No Such Site", kHost, L"443"};
    const std::wstring duplicate = L"Cannot add duplicate collection entry of type ";
    Check({
        // The seed, the certificate's import and one deployment: the removals find nothing.
        Seed(10), Ran(LeafImport(), 0), Ran(DeleteSslCert(sni), 1), Ran(AddSslCert(sni, leaf), 0),
        Ran(RemoveBinding(sni), kNotFound), Ran(AddBinding(sni), 0), Ran(Rule(sni, 0), kNotFound),
        Ran(Rule(sni, 1), 0), Ran(Rule(sni, 2), 0), Ran(Rule(sni, 3), 0), Ran(Rule(sni, 4), 0),
        // The same binding, site binding (in any letter case) or rule added again.
        Ran(AddSslCert(sni, leaf), 1, L"Error: 183"),
        Ran(AddBinding({10, kDefault, L"WWW.Example.com", L"443"}), kExists, duplicate + L"'binding'"),
        Ran(AddBinding(sni), kExists, duplicate + L"'binding'"),
        Ran(Rule(sni, 1), kExists, duplicate + L"'rule'"),
        // Removed: nothing is left (the state below).
        Ran(DeleteSslCert(sni), 0),
        Ran(RemoveBinding(sni), 0),
        Ran(Rule(sni, 0), 0),
        // The action of a rule that is not there (a match or condition is looked for alike).
        Ran(Rule(sni, 4), kNotFound),
        Ran(AddBinding(unknown), kNotFound, L"Cannot find SITE object with identifier \"No Such Site\""),
        Ran(Rule(unknown, 1), 2, L"Unrecognized configuration path 'MACHINE/WEBROOT/APPHOST/No Such Site'"),
        {Via::Sbx, L"sslcerts", 0, L""},
        {Via::Sbx, L"sites", 0, kDefaultSite + kShopSite},
        {Via::Sbx, L"rules", 0, L""},
    });
    // Below IIS 8 (Windows Server 2008 R2) bindings have no sslFlags and netsh knows no host names:
    // the lines of an IIS 8 deployment are refused.
    Check({
        Seed(7),
        Ran(LeafImport(), 0),
        Ran(AddBinding(sni), 87, L"Unknown attribute \"sslFlags\""),
        Ran(AddSslCert(sni, leaf), 1, L"\r\nUsage: add sslcert ipport=<ipaddr:port>\r\n"),
        Ran(DeleteSslCert(sni), 1, L"\r\nUsage: delete sslcert ipport=<ipaddr:port>\r\n"),
    });
}

// What a deployment puts back when the new certificate is refused after the old binding was
// deleted: the line made from netsh's own listing gives HTTP.sys the binding byte for byte as it
// was, by host name with its store and by address without one.
TEST(Deploy, ABindingRefusedItsNewCertificateIsPutBackAsNetshListedIt) {
    const std::wstring leaf = Thumbprint(L"leaf"), inter = Thumbprint(L"inter");
    const Target sni{10, kDefault, kHost, L"443"}, address{10, kDefault, L"", L"8443"};
    const std::wstring before = SslCertRecord(sni, leaf) + SslCertRecord(address, leaf);
    Check({Seed(10), Ran(LeafImport(), 0), Ran(AddSslCert(sni, leaf), 0), Ran(AddSslCert(address, leaf), 0),
           {Via::Sbx, L"sslcerts", 0, before}});
    quillbay::win32::Win32Shell shell;
    const quillbay::Captured listing = shell.RunAndCapture(Narrow(SystemDirectory()) + "\\netsh.exe http show sslcert");
    const std::vector<iis::SslCertBinding> listed = iis::ParseSslCertListing(listing.output);
    ASSERT_EQ(listed.size(), 2u);
    const Target* targets[] = {&sni, &address};
    for (std::size_t i = 0; i < 2; ++i)
        Check({Ran(DeleteSslCert(*targets[i]), 0), Ran(AddSslCert(*targets[i], inter), 1, L"Error: 1312"),
               Ran(Widen(iis::SslCertAddCommand(Tools(), listed[i]).value()), 0)});
    Check({{Via::Sbx, L"sslcerts", 0, before}});
}

}  // namespace
}  // namespace sandbox::test
