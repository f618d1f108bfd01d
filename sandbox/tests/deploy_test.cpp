// A deployment's command lines, byte for byte as the application will send them (the program by
// its full path under the system folder, started as a plain process without a command
// interpreter), per site and host name: the HTTP.sys binding (netsh), the site's https binding
// (appcmd set site) and the HTTP-to-HTTPS redirect rule (appcmd set config). Every row checks the
// exit code and the whole answer; every deployment is followed by the state the host keeps.
#include <gtest/gtest.h>

#include "common/state.h"
#include "common/text.h"
#include "harness.h"

namespace sandbox::test {
namespace {

const std::wstring kAppId = L"{4dc3e181-e14b-4a21-b022-59fc669b0914}";
const std::wstring kDefault = L"Default Web Site";
const std::wstring kShop = L"Shop Site";
const std::wstring kHost = L"www.example.com";  // the leaf certificate's name

struct Target {
    DWORD iis;          // the seeded IIS major version
    std::wstring site;  // holds blanks
    std::wstring host;  // empty: the wildcard binding
    std::wstring port;
};

std::wstring Describe(const Target& t) {
    return L"IIS " + std::to_wstring(t.iis) + L" \"" + t.site + L"\" " + (t.host.empty() ? L"*" : t.host) + L":" + t.port;
}

// IIS 8 and later bind a named host by its name (SNI); the wildcard and every host below IIS 8 share
// the address binding.
bool Sni(const Target& t) { return t.iis >= 8 && !t.host.empty(); }
std::wstring Netsh() { return SystemDirectory() + L"\\netsh.exe"; }
std::wstring Appcmd() { return SystemDirectory() + L"\\inetsrv\\appcmd.exe"; }
std::wstring Endpoint(const Target& t) {
    return Sni(t) ? L"hostnameport=" + t.host + L":" + t.port : L"ipport=0.0.0.0:" + t.port;
}
std::wstring Information(const Target& t) { return L"*:" + t.port + L":" + t.host; }

// Lines 1 to 4 of the deployment.
std::wstring DeleteSslCert(const Target& t) { return Netsh() + L" http delete sslcert " + Endpoint(t); }
std::wstring AddSslCert(const Target& t, const std::wstring& hash) {
    return Netsh() + L" http add sslcert " + Endpoint(t) + L" certhash=" + hash + L" appid=" + kAppId +
           (Sni(t) ? L" certstorename=MY" : L"");
}
std::wstring RemoveBinding(const Target& t) {
    return Appcmd() + L" set site /site.name:\"" + t.site + L"\" /-bindings.[protocol='https',bindingInformation='" +
           Information(t) + L"']";
}
std::wstring AddBinding(const Target& t) {
    return Appcmd() + L" set site /site.name:\"" + t.site + L"\" /+bindings.[protocol='https',bindingInformation='" +
           Information(t) + L"'" + (Sni(t) ? L",sslFlags='1'" : L"") + L"]";
}

// Line 5: "...appcmd.exe set config "SITE" followed by a tail that begins with the quote closing the
// site's name, copied from the deployment's description.
const std::wstring kR0 = L"\" -section:system.webServer/rewrite/rules /-\"[name='HTTPS Redirect']\" /commit:apphost";
const std::wstring kR1 =
    L"\" -section:system.webServer/rewrite/rules /+\"[name='HTTPS Redirect',stopProcessing='True']\" /commit:apphost";
const std::wstring kR2 = L"\" -section:system.webServer/rewrite/rules \"/[name='HTTPS Redirect'].match.url:(.*)\" /commit:apphost";
const std::wstring kR3 =
    L"\" -section:system.webServer/rewrite/rules /+\"[name='HTTPS Redirect'].conditions.[input='{HTTPS}',pattern='^OFF$']\" "
    L"/commit:apphost";
std::wstring PortPiece(const std::wstring& port) { return port == L"443" ? L"" : L":" + port; }
std::wstring R4(const std::wstring& port) {
    return L"\" -section:system.webServer/rewrite/rules \"/[name='HTTPS Redirect'].action.type:Redirect\" "
           L"\"/[name='HTTPS Redirect'].action.url:https://{HTTP_HOST}" +
           PortPiece(port) +
           L"{REQUEST_URI}\" \"/[name='HTTPS Redirect'].action.appendQueryString:False\" /commit:apphost";
}
std::wstring Rule(const std::wstring& site, const std::wstring& tail) { return Appcmd() + L" set config \"" + site + tail; }
std::vector<std::wstring> RuleLines(const Target& t) {
    return {Rule(t.site, kR0), Rule(t.site, kR1), Rule(t.site, kR2), Rule(t.site, kR3), Rule(t.site, R4(t.port))};
}

// The answers.
const std::wstring kAdded = L"\r\nSSL Certificate successfully added\r\n\r\n";
const std::wstring kDeleted = L"\r\nSSL Certificate successfully deleted\r\n\r\n";
const std::wstring kNoSslBinding = L"\r\nSSL Certificate deletion failed, Error: 2\r\nThe system cannot find the file specified.\r\n\r\n";
const std::wstring kNoKey = L"\r\nSSL Certificate add failed, Error: 1312\r\n"
                            L"A specified logon session does not exist. It may already have been terminated.\r\n\r\n";
const std::wstring kSslBindingExists =
    L"\r\nSSL Certificate add failed, Error: 183\r\nCannot create a file when that file already exists.\r\n\r\n";
const std::wstring kNoElement = L"ERROR ( message:Cannot find requested collection element. )\r\n";
const std::wstring kUnknownSection =
    L"ERROR ( message:Unknown config section \"system.webServer/rewrite/rules\".  Replace with ? for help. )\r\n";
constexpr DWORD kNotFound = 1168, kExists = 183, kBadSection = 13, kBadPath = 2;
std::wstring Changed(const std::wstring& site) { return L"SITE object \"" + site + L"\" changed\r\n"; }
std::wstring Applied(const std::wstring& site) {
    return L"Applied configuration changes to section \"system.webServer/rewrite/rules\" for \"MACHINE/WEBROOT/APPHOST/" + site +
           L"\" at configuration commit path \"MACHINE/WEBROOT/APPHOST\"\r\n";
}

// One deployment for one target: on a host without the target's bindings (first) or without its
// site's rule (firstRule) the removals find nothing; over an earlier deployment they remove what it
// left.
std::vector<Row> Deployment(const Target& t, const std::wstring& hash, bool first, bool firstRule) {
    std::vector<std::wstring> rules = RuleLines(t);
    return {
        first ? Row{Via::Process, DeleteSslCert(t), 1, kNoSslBinding} : Row{Via::Process, DeleteSslCert(t), 0, kDeleted},
        {Via::Process, AddSslCert(t, hash), 0, kAdded},
        first ? Row{Via::Process, RemoveBinding(t), kNotFound, kNoElement} : Row{Via::Process, RemoveBinding(t), 0, Changed(t.site)},
        {Via::Process, AddBinding(t), 0, Changed(t.site)},
        firstRule ? Row{Via::Process, rules[0], kNotFound, kNoElement} : Row{Via::Process, rules[0], 0, Applied(t.site)},
        {Via::Process, rules[1], 0, Applied(t.site)},
        {Via::Process, rules[2], 0, Applied(t.site)},
        {Via::Process, rules[3], 0, Applied(t.site)},
        {Via::Process, rules[4], 0, Applied(t.site)},
    };
}
std::vector<Row> Deployment(const Target& t, const std::wstring& hash, bool first) { return Deployment(t, hash, first, first); }

// What the host keeps after a deployment of the target, as sbx prints it.
std::wstring SslCertRecord(const Target& t, const std::wstring& hash) {
    return (Sni(t) ? L"hostnameport\t" + t.host + L":" + t.port : L"ipport\t0.0.0.0:" + t.port) + L"\t" + hash + L"\t" + kAppId +
           L"\t" + (Sni(t) ? L"MY" : L"") + L"\r\n";
}
std::wstring HttpsRecord(unsigned siteId, const Target& t) {
    return L"binding\t" + std::to_wstring(siteId) + L"\thttps\t" + Information(t) + L"\t" + (Sni(t) ? L"1" : L"0") + L"\r\n";
}
std::wstring RuleRecords(const Target& t) {
    return L"rule\t" + t.site + L"\tHTTPS Redirect\ttrue\t(.*)\tRedirect\thttps://{HTTP_HOST}" + PortPiece(t.port) +
           L"{REQUEST_URI}\tfalse\r\ncondition\t" + t.site + L"\tHTTPS Redirect\t{HTTPS}\t^OFF$\r\n";
}
const std::wstring kSites = L"--site \"Default Web Site\" \"http/*:80:,http/*:80:www.example.com\" --site \"Shop Site\" "
                            L"\"http/*:8080:shop.example.com\"";
const std::wstring kDefaultSite = L"site\t1\tDefault Web Site\tStarted\r\nbinding\t1\thttp\t*:80:\t0\r\nbinding\t1\thttp\t*:80:www.example.com\t0\r\n";
const std::wstring kShopSite = L"site\t2\tShop Site\tStarted\r\nbinding\t2\thttp\t*:8080:shop.example.com\t0\r\n";

Row Seed(DWORD iis, const std::wstring& more = L"") {
    return {Via::Sbx, L"seed --iis-major " + std::to_wstring(iis) + L" " + kSites + more, 0, L"", Match::Any};
}
// The PFX import the application runs first: the leaf with its key into the machine's My store.
Row Import() { return {Via::Process, PfxImport(Password(L"leaf"), L"leaf"), 0, L"", Match::Any}; }

TEST(Deploy, BindsAndRedirectsEachHostAndReplacesItsOwnBindingsTheSecondTime) {
    const std::wstring leaf = Thumbprint(L"leaf");
    const Target targets[] = {
        {10, kDefault, kHost, L"443"}, {10, kDefault, kHost, L"8443"}, {10, kDefault, L"", L"443"}, {10, kDefault, L"", L"8443"},
        {7, kDefault, kHost, L"443"},  {7, kDefault, kHost, L"8443"},  {7, kDefault, L"", L"443"},  {7, kDefault, L"", L"8443"},
    };
    for (const Target& t : targets) {
        SCOPED_TRACE(Narrow(Describe(t)));
        const std::vector<Row> state = {
            {Via::Sbx, L"sslcerts", 0, SslCertRecord(t, leaf)},
            {Via::Sbx, L"sites", 0, kDefaultSite + HttpsRecord(1, t) + kShopSite},
            {Via::Sbx, L"rules", 0, RuleRecords(t)},
        };
        Check({Seed(t.iis), Import()});
        Check(Deployment(t, leaf, true));
        Check(state);
        Check(Deployment(t, leaf, false));  // replaced, not duplicated
        Check(state);
        // Each line reached its tool exactly as sent, with the exit code it answered.
        std::vector<std::wstring> expected, logged;
        for (bool first : {true, false})
            for (const Row& row : Deployment(t, leaf, first)) expected.push_back(row.line + L"\t" + std::to_wstring(row.code));
        for (const auto& record : SbxRecords(L"log"))
            if (record.size() >= 4 && (record[1] == L"netsh" || record[1] == L"appcmd")) logged.push_back(record[3] + L"\t" + record[2]);
        EXPECT_EQ(logged, expected);
    }
    // The state dump holds it all.
    Check({
        {Via::Sbx, L"state", 0, L"rule\t" + kDefault + L"\tHTTPS Redirect\ttrue\t(.*)\tRedirect\thttps://{HTTP_HOST}:8443{REQUEST_URI}\tfalse\r\n",
         Match::Has},
        {Via::Sbx, L"state", 0, L"sslcert\tipport\t0.0.0.0:8443\t" + leaf, Match::Has},
        {Via::Sbx, L"state", 0, L"binding\t1\thttps\t*:8443:\t0\r\n", Match::Has},
    });
}

TEST(Deploy, BeforeTheCertificateIsInTheMachinesMyStoreNetshRefusesTheBinding) {
    const std::wstring leaf = Thumbprint(L"leaf");
    for (const Target& t : {Target{10, kDefault, kHost, L"443"}, Target{7, kDefault, L"", L"8443"}}) {
        SCOPED_TRACE(Narrow(Describe(t)));
        Check({
            Seed(t.iis),
            {Via::Process, DeleteSslCert(t), 1, kNoSslBinding},
            {Via::Process, AddSslCert(t, leaf), 1, kNoKey},
            // In My without its key, in the CA store, in the user's My: still no binding.
            {Via::Process, L"certutil.exe -addstore -f \"My\" \"" + Fixture(L"leaf.crt") + L"\"", 0, L"", Match::Any},
            {Via::Process, L"certutil.exe -addstore -f \"CA\" \"" + Fixture(L"leaf.crt") + L"\"", 0, L"", Match::Any},
            {Via::Process, L"certutil.exe -f -user -p \"" + Password(L"leaf") + L"\" -importpfx \"" + Fixture(L"leaf.pfx") + L"\"", 0,
             L"", Match::Any},
            {Via::Stores, L"", 0, L"CA/leaf My/leaf User\\CA/inter User\\My/leaf+key"},
            {Via::Process, AddSslCert(t, leaf), 1, kNoKey},
            {Via::Process, AddSslCert(t, Thumbprint(L"inter")), 1, kNoKey},
            {Via::Sbx, L"sslcerts", 0, L""},
            Import(),
            {Via::Process, AddSslCert(t, leaf), 0, kAdded},
            {Via::Sbx, L"sslcerts", 0, SslCertRecord(t, leaf)},
        });
    }
}

TEST(Deploy, WithoutUrlRewriteEveryRuleLineFailsAndTheBindingsStillWork) {
    const std::wstring leaf = Thumbprint(L"leaf");
    for (const Target& t : {Target{10, kDefault, kHost, L"8443"}, Target{7, kDefault, kHost, L"443"}}) {
        SCOPED_TRACE(Narrow(Describe(t)));
        std::vector<Row> rows = {Seed(t.iis, L" --no-rewrite"), Import()};
        std::vector<Row> deployment = Deployment(t, leaf, true);
        for (size_t i = 0; i < deployment.size(); ++i) {
            if (i >= 4) deployment[i].code = kBadSection, deployment[i].out = kUnknownSection;
            rows.push_back(deployment[i]);
        }
        rows.insert(rows.end(), {
                                    {Via::Sbx, L"sslcerts", 0, SslCertRecord(t, leaf)},
                                    {Via::Sbx, L"sites", 0, kDefaultSite + HttpsRecord(1, t) + kShopSite},
                                    {Via::Sbx, L"rules", 0, L""},
                                    {Via::Process, Appcmd() + L" list module \"RewriteModule\"", 1, L""},
                                });
        Check(rows);
    }
}

TEST(Deploy, RefusesWhatTheRealToolsRefuse) {
    const std::wstring leaf = Thumbprint(L"leaf");
    const Target sni{10, kDefault, kHost, L"443"}, old{7, kDefault, kHost, L"443"};
    const std::wstring unknownSite = L"No Such Site";
    const std::vector<std::wstring> rules = RuleLines(sni);
    Check({Seed(10), Import()});
    Check(Deployment(sni, leaf, true));
    Check({
        // The same binding, site binding or rule added again.
        {Via::Process, AddSslCert(sni, leaf), 1, kSslBindingExists},
        {Via::Process, AddBinding({10, kDefault, L"WWW.Example.com", L"443"}), kExists, L"Cannot add duplicate", Match::Has},
        {Via::Process, AddBinding(sni), kExists,
         L"ERROR ( message:New binding object missing required attributes. Cannot add duplicate collection entry of type "
         L"'binding' with combined key attributes 'protocol, bindingInformation' respectively set to 'https, *:443:www.example.com'"
         L"\r\n\r\n. )\r\n"},
        {Via::Process, rules[1], kExists,
         L"ERROR ( message:New rule object missing required attributes. Cannot add duplicate collection entry of type 'rule' "
         L"with unique key attribute 'name' set to 'HTTPS Redirect'\r\n\r\n. )\r\n"},
        // Removed twice: nothing left the second time.
        {Via::Process, DeleteSslCert(sni), 0, kDeleted},
        {Via::Process, DeleteSslCert(sni), 1, kNoSslBinding},
        {Via::Process, RemoveBinding(sni), 0, Changed(kDefault)},
        {Via::Process, RemoveBinding(sni), kNotFound, kNoElement},
        {Via::Process, rules[0], 0, Applied(kDefault)},
        {Via::Process, rules[0], kNotFound, kNoElement},
        // A match, condition or action of a rule that is not there.
        {Via::Process, rules[2], kNotFound, kNoElement},
        {Via::Process, rules[3], kNotFound, kNoElement},
        {Via::Process, rules[4], kNotFound, kNoElement},
        // A site that does not exist.
        {Via::Process, AddBinding({10, unknownSite, kHost, L"443"}), kNotFound,
         L"ERROR ( message:Cannot find SITE object with identifier \"No Such Site\". )\r\n"},
        {Via::Process, Rule(unknownSite, kR1), kBadPath,
         L"ERROR ( message:Configuration error\r\r\nFilename: \r\r\nLine Number: 0\r\r\nDescription: Unrecognized configuration "
         L"path 'MACHINE/WEBROOT/APPHOST/No Such Site'\r\r\n. )\r\n"},
        {Via::Sbx, L"sslcerts", 0, L""},
        {Via::Sbx, L"sites", 0, kDefaultSite + kShopSite},
        {Via::Sbx, L"rules", 0, L""},
    });
    // Below IIS 8 (Windows Server 2008 R2) bindings have no sslFlags and netsh knows no host names:
    // the lines of an IIS 8 deployment are refused.
    Check({
        Seed(7),
        Import(),
        {Via::Process, AddBinding(sni), 87, L"ERROR ( message:Unknown attribute \"sslFlags\".  Replace with -? for help. )\r\n"},
        {Via::Process, AddSslCert(sni, leaf), 1, L"\r\nUsage: add sslcert ipport=<ipaddr:port>\r\n", Match::Has},
        {Via::Process, DeleteSslCert(sni), 1, L"\r\nUsage: delete sslcert ipport=<ipaddr:port>\r\n", Match::Has},
        {Via::Process, AddSslCert(old, leaf), 0, kAdded},
        {Via::Process, AddBinding(old), 0, Changed(kDefault)},
        {Via::Sbx, L"sslcerts", 0, SslCertRecord(old, leaf)},
        {Via::Sbx, L"sites", 0, kDefaultSite + HttpsRecord(1, old) + kShopSite},
    });
}

}  // namespace
}  // namespace sandbox::test
