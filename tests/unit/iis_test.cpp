// The work on IIS: version, host names and the rewrite module.
#include <gtest/gtest.h>

#include "certs/inspect.h"
#include "fakes.h"
#include "iis/bindings.h"
#include "iis/configuration.h"
#include "iis/inventory.h"
#include "iis/sites.h"
#include "iis/version.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const char* kMajor = "hklm\\software\\microsoft\\inetstp\\majorversion";
const std::string kInetMgr = "C:\\windows\\System32\\inetsrv\\InetMgr.exe";

TEST(IisVersion, RegistryFirstThenTheManagersVersionFailuresLogged) {
    using S = iis::VersionSource;
    const struct {
        std::optional<std::string> registry;
        std::optional<std::string> product;  // nullopt: no InetMgr.exe
        std::optional<int> major;
        iis::VersionSource source;
        std::string errorPart;  // in log-error.txt ("" for none)
    } cases[] = {
        // A registry version and InetMgr 10 are read from the simulated host end to end (65-iis-discovery).
        {"70000", "10.0.17763.1", 10, S::IisManager, ""},
        {{}, "7.5.7600.16385", 7, S::IisManager, ""},
        {{}, " 8 .0", 8, S::IisManager, ""},
        {{}, "10", {}, S::Unknown, ""},
        {{}, "X.1", {}, S::Unknown, "major version from 'X.1' (代码: 13)"},
        {{}, "99999.1", {}, S::Unknown, "from '99999.1' (代码: 6)"},
        {{}, {}, {}, S::Unknown, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.registry.value_or("-") + " / " + c.product.value_or("-"));
        FakeMachine w;
        if (c.registry) w.shell.registry[kMajor] = *c.registry;
        w.fs.AddFolder("C:\\windows\\System32\\inetsrv");
        if (c.product) {
            w.fs.AddFile(kInetMgr, "MZ");
            w.host.productVersions[Lower(kInetMgr)] = *c.product;
        }
        const iis::IisVersion v = iis::DetectIisVersion(w.machine);
        EXPECT_EQ(v.major, c.major);
        EXPECT_EQ(v.source, c.source);
        EXPECT_EQ(iis::IsIIS8OrGreater(v), c.major && *c.major >= 8);
        if (c.errorPart.empty()) EXPECT_EQ(w.ErrorLog(), "");
        else EXPECT_THAT(w.ErrorLog(), HasSubstr(c.errorPart));
    }
}

TEST(IisVersion, APlatformFailureIsLoggedAndGivesUnknown) {
    struct BrokenHost : FakeHost {
        std::string FileProductVersion(const std::string&) override { throw Failure(-2147467259, "Unspecified"); }
    } host;
    FakeMachine w;
    Machine broken{w.shell, w.fs, host, w.clock, w.pkcs12, w.http, w.signatures, w.xml, w.probe, w.events};
    w.fs.AddFile(kInetMgr, "MZ");
    EXPECT_EQ(iis::DetectIisVersion(broken).source, iis::VersionSource::Unknown);
    EXPECT_THAT(w.ErrorLog(), HasSubstr("'IsIIS8OrGreater' 中发生错误: Unspecified (代码: -2147467259)"));
}

TEST(IisBindings, HostNamesFromBindings) {
    using V = std::vector<std::string>;
    const std::pair<const char*, V> cases[] = {
        {"", {}},
        {"http/*:80:,https/*:443:", {}},
        {"http/*:80:*", {}},
        // Two fields (no port) and an IPv6 address with more fields carry no host.
        {"net.pipe/*,http/[::1]:80:v6.example.com,http/*:80:a.example.com", {"a.example.com"}},
        // Duplicates differ in case: first spelling, first position.
        {"http/*:80:WWW.Example.com,http/*:80:b.example.com,https/*:443:www.example.com", {"WWW.Example.com", "b.example.com"}},
        // A trailing line break is removed, and the name then recognised as a duplicate.
        {"http/*:80:a.com,https/*:443:a.com\r\n", {"a.com"}},
        {"http/*:80:\r\n", {}},
        {" http/*:80: x.com\t ,http/*:81:y.com \r\n", {"x.com", "y.com"}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(iis::CollectSiteHostNames(text), expected) << text;
}

// What appcmd refuses is never read as a module; a refused listing or bindings query is shown by
// the site list's and the deployment's tests.
TEST(IisRewriteModule, OnlyASucceedingQueryNamingItCounts) {
    FakeMachine w;
    AppcmdStage stage(w);
    const struct { Captured answer; bool installed; } modules[] = {
        {{0, "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n"}, true},
        {{0, "MODULE \"UriCacheModule\" ( type:, preCondition: )\r\nMODULE \"RewriteModule\" ( type: )\r\n"}, true},
        {{1168, "ERROR ( message:Cannot find MODULE object with identifier \"RewriteModule\". )\r\n"}, false},
        {{1, "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n"}, false},
        {{0, "Something about RewriteModule\r\n"}, false},
        {{0, ""}, false},
    };
    FakeMachine bare;  // no appcmd.exe: nothing is asked
    EXPECT_FALSE(iis::IsRewriteModuleInstalled(bare.machine));
    EXPECT_TRUE(bare.shell.runs.empty());
    for (const auto& c : modules) {
        stage.module = c.answer;
        EXPECT_EQ(iis::IsRewriteModuleInstalled(w.machine), c.installed) << c.answer.output;
    }
}

// Read from IIS's configuration file, the list is what appcmd's answers made of it, with no tool
// run; names and host names come back exact.
TEST(IisConfiguration, TheSameSitesAsAppcmdWithoutAToolRun) {
    std::string many;
    for (int i = 0; i < 200; ++i) many += (i ? ",https/*:443:h" : "https/*:443:h") + std::to_string(i) + ".example.com";
    const std::vector<std::vector<std::pair<std::string, std::string>>> hosts = {
        {{"Default Web Site", "http/*:80:"}, {"Shop", "http/*:80:a.example.com,https/*:443:A.example.com,net.pipe/*"}},
        {{"Tom & Jerry's \"<shop>\"", "http/10.0.0.5:80:x.example.com"}, {"中文站点", "http/*:80:例子.测试"}, {"Empty", ""}},
        {{"Many", many}},
        {},
    };
    for (const auto& sites : hosts) {
        FakeMachine w;
        AppcmdStage stage(w);
        stage.sites = sites;
        NoProgress progress;
        const iis::SiteList fromAppcmd = iis::ListSites(w.machine, progress);
        stage.Configure();
        w.shell.runs.clear();
        const iis::SiteList fromFile = iis::ListSites(w.machine, progress);
        EXPECT_TRUE(w.shell.runs.empty());
        EXPECT_EQ(fromFile.status, fromAppcmd.status);
        ASSERT_EQ(fromFile.sites.size(), sites.size());
        for (std::size_t i = 0; i < sites.size(); ++i) {
            EXPECT_EQ(fromFile.sites[i].name, sites[i].first);
            EXPECT_EQ(iis::SiteListText(fromFile.sites[i]), iis::SiteListText(fromAppcmd.sites[i]));
            EXPECT_EQ(fromFile.sites[i].httpsBindings, fromAppcmd.sites[i].httpsBindings);
        }
    }
}

TEST(IisConfiguration, ReadAsTheConfigurationSystemMergesIt) {
    const auto site = [](const std::string& attributes, const std::string& bindings) {
        return "<site " + attributes + "><application path=\"/\" /><bindings>" + bindings + "</bindings></site>";
    };
    const struct {
        const char* what;
        std::string sitesXml, modulesXml;
        std::string bindings;  // of the site, as appcmd prints them
        bool rewrite;
    } cases[] = {
        {"character references and a stopped site",
         site("name=\"&#x4E2D;&#25991; &amp;\" id=\"7\" serverAutoStart=\"false\"",
              "<binding protocol=\"https\" bindingInformation=\"*:443:&#x61;.example.com\" sslFlags=\"1\" />"),
         "<add name=\"RewriteModule\" />", "https/*:443:a.example.com", true},
        {"a cleared collection",
         site("name=\"中文 &amp;\"", "<binding protocol=\"http\" bindingInformation=\"*:80:old\" /><clear />"
                                    "<binding protocol=\"http\" bindingInformation=\"*:80:new\" />"),
         "<add name=\"RewriteModule\" /><remove name=\"rewritemodule\" />", "http/*:80:new", false},
        {"no bindings element", "<site name=\"中文 &amp;\" id=\"2\" /><siteDefaults />",
         "<clear /><add name=\"RewriteModule\" image=\"x\" />", "", true},
    };
    for (const auto& c : cases) {
        FakeMachine w;
        const iis::IisConfiguration read =
            iis::ParseIisConfiguration(w.xml.Parse(AppcmdStage::ConfigDocument(c.sitesXml, c.modulesXml)));
        ASSERT_EQ(read.sites.size(), 1u) << c.what;
        EXPECT_EQ(read.sites[0].name, "中文 &") << c.what;
        EXPECT_EQ(iis::BindingsText(read.sites[0]), c.bindings) << c.what;
        EXPECT_EQ(read.rewriteInstalled, c.rewrite) << c.what;
        EXPECT_FALSE(read.sites[0].redirectRule);
    }
    // The rule is the site's when its location holds it, whatever the path's letter case.
    const std::string rules = "<system.webServer><rewrite><rules><rule name=\"HTTPS Redirect\" /></rules></rewrite></system.webServer>";
    FakeMachine w;
    const std::string document = AppcmdStage::ConfigDocument("<site name=\"Shop\" /><site name=\"Blog\" />", "");
    const iis::IisConfiguration read = iis::ParseIisConfiguration(w.xml.Parse(
        document.substr(0, document.size() - 16) + "<location path=\"shop\">" + rules + "</location></configuration>"));
    EXPECT_TRUE(read.sites[0].redirectRule && !read.sites[1].redirectRule);
}

// A shared configuration is read where redirection.config points; a file that cannot be read or
// parsed is logged and appcmd answers instead.
TEST(IisConfiguration, SharedOrUnreadableFallsBackToAppcmd) {
    const std::string shared = "<configuration><configurationRedirection enabled=\"true\" path=\"\\\\files\\iis\" /></configuration>";
    const std::string local = AppcmdStage::ConfigDocument("<site name=\"Local\" />", "");
    const std::string remote = AppcmdStage::ConfigDocument("<site name=\"Remote\" />", "");
    const struct {
        const char* what;
        std::optional<std::string> local, redirection, remote;
        std::string listed;
        const char* logged;
    } cases[] = {
        {"shared", local, shared, remote, "Remote", ""},
        {"redirection off", local, "<configuration><configurationRedirection enabled=\"false\" path=\"x\" /></configuration>",
         remote, "Local", ""},
        {"share unreachable", local, shared, {}, "FromAppcmd", "could not be read from \\\\files\\iis\\applicationHost.config"},
        {"no file", {}, {}, {}, "FromAppcmd", "could not be read from C:\\"},
        {"broken document", "<configuration><system.applicationHost>", {}, {}, "FromAppcmd", "not well-formed (line 1"},
        {"another document", "<html />", {}, {}, "FromAppcmd", "is not an IIS configuration"},
        {"a document type", "<!DOCTYPE configuration [<!ENTITY x \"y\">]>" + local, {}, {}, "FromAppcmd", "not well-formed"},
    };
    for (const auto& c : cases) {
        FakeMachine w;
        AppcmdStage stage(w);
        stage.sites = {{"FromAppcmd", "http/*:80:"}};
        const std::string folder = w.fs.systemFolder + "\\inetsrv\\config\\";
        if (c.local) w.fs.AddFile(folder + "applicationHost.config", *c.local);
        if (c.redirection) w.fs.AddFile(folder + "redirection.config", *c.redirection);
        if (c.remote) w.fs.AddFile("\\\\files\\iis\\applicationHost.config", *c.remote);
        NoProgress progress;
        const iis::SiteList list = iis::ListSites(w.machine, progress);
        ASSERT_EQ(list.sites.size(), 1u) << c.what;
        EXPECT_EQ(list.sites[0].name, c.listed) << c.what;
        EXPECT_EQ(w.shell.runs.empty(), c.listed != "FromAppcmd") << c.what;
        if (*c.logged) EXPECT_THAT(w.ErrorLog(), AllOf(HasSubstr(c.logged), HasSubstr("appcmd is asked instead"))) << c.what;
        else EXPECT_EQ(w.ErrorLog(), "") << c.what;
    }
}

// netsh's listing read by position: the layouts of IIS 7 and of current Windows, a listing in
// another display language, IPv6, and a central-certificate-store record without a hash.
TEST(IisInventory, NetshListingsOfEveryLayoutAndLanguage) {
    const std::string hash = "6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c6c";
    const std::string listing =
        "\r\nSSL Certificate bindings:\r\n-------------------------\r\n\r\n"
        "    Hostname:port                : www.example.com:443\r\n    Certificate Hash             : " + hash +
        "\r\n    Application ID               : {4dc3e181-e14b-4a21-b022-59fc669b0914}\r\n"
        "    Certificate Store Name       : My\r\n    Verify Client Certificate Revocation : Enabled\r\n"
        "    Disable TLS1.3               : Not Set\r\n Extended Properties:\r\n    PropertyId                   : 0\r\n"
        "    Receive Window               : 1048576\r\n\r\n"
        "    IP:端口                      : 0.0.0.0:8443\r\n    证书哈希                     : " + hash +
        "\r\n    应用程序 ID                  : {00000000-0000-0000-0000-000000000000}\r\n"
        "    证书存储名称                 : (null)\r\n    验证客户端证书吊销    : Enabled\r\n\r\n"
        "    IP:port                      : [::]:443\r\n    Certificate Hash             : " + hash.substr(0, 38) + "AB\r\n"
        "    Application ID               : {1}\r\n    Certificate Store Name       : MY\r\n\r\n"
        "    Central Certificate Store    : 443\r\n    Certificate Hash             : \r\n"
        "    Application ID               : {2}\r\n    Certificate Store Name       : (null)\r\n\r\n";
    const std::vector<iis::SslCertBinding> read = iis::ParseSslCertListing(listing);
    ASSERT_EQ(read.size(), 3u);
    const std::string upper = "6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C6C";
    EXPECT_TRUE(read[0].kind == iis::EndpointKind::HostnamePort && read[0].endpoint == "www.example.com:443" &&
                read[0].thumbprint == upper && read[0].storeName == "My");
    EXPECT_TRUE(read[1].kind == iis::EndpointKind::IpPort && read[1].endpoint == "0.0.0.0:8443" &&
                read[1].appId == "{00000000-0000-0000-0000-000000000000}" && read[1].storeName == "(null)");
    EXPECT_TRUE(read[2].kind == iis::EndpointKind::IpPort && read[2].endpoint == "[::]:443" &&
                read[2].thumbprint == upper.substr(0, 38) + "AB");
}

// Each site binding joins the endpoint HTTP.sys serves it from; the store says what that is.
TEST(IisInventory, EndpointsJoinTheirSitesAndTheStore) {
    const std::int64_t now = 1796547907, day = 86400;
    const auto binding = [](iis::EndpointKind kind, const char* endpoint, char thumb) {
        return iis::SslCertBinding{kind, endpoint, std::string(40, thumb), "{app}", "MY"};
    };
    using K = iis::EndpointKind;
    const std::vector<iis::SslCertBinding> bindings = {
        binding(K::HostnamePort, "shop.example.com:443", 'A'), binding(K::IpPort, "0.0.0.0:443", 'B'),
        binding(K::IpPort, "10.0.0.5:443", 'C'), binding(K::IpPort, "0.0.0.0:9443", 'D')};
    const auto stored = [&](char thumb, bool key, std::int64_t days) {
        return PfxCertificate{key, std::string(20, static_cast<char>(thumb == 'A' ? 0xAA : thumb == 'B' ? 0xBB : 0xEE)),
                              {"CN=" + std::string(1, thumb), "", "", "", {}, now - day, now + days}};
    };
    // A's hash is 0xAA...: "AAAA..."; B and an unused E with keys; C and D are not in the store.
    const std::vector<PfxCertificate> store = {stored('A', true, 31 * day), stored('B', true, 10 * day),
                                               stored('E', true, 90 * day), stored('F', false, 90 * day)};
    const std::vector<iis::Site> sites = {
        {"Shop", {}, true, {"*:443:shop.example.com", "*:443:SHOP.example.com"}},
        {"Blog", {}, true, {"*:443:blog.example.com", "10.0.0.5:443:", "10.0.0.6:443:"}},
        {"Old", {}, true, {"*:8443:"}},
    };
    const iis::Inventory inventory = iis::JoinInventory(bindings, store, sites);
    std::vector<std::string> joined;
    for (const iis::InventoryEndpoint& e : inventory.endpoints) {
        std::string line = e.binding.endpoint + (e.certificate ? " " + e.certificate->details.subject : " missing") + ":";
        for (const iis::SiteUse& use : e.sites) line += " " + use.site + "@" + use.binding;
        joined.push_back(line);
    }
    EXPECT_EQ(joined, (std::vector<std::string>{
                          "shop.example.com:443 CN=A: Shop@*:443:shop.example.com Shop@*:443:SHOP.example.com",
                          "0.0.0.0:443 CN=B: Blog@*:443:blog.example.com Blog@10.0.0.6:443:",
                          "10.0.0.5:443 missing: Blog@10.0.0.5:443:",
                          "0.0.0.0:9443 missing:",
                      }));
    ASSERT_EQ(inventory.unused.size(), 1u);  // F has no key
    EXPECT_EQ(inventory.unused[0].details.subject, "CN=E");
    // Attention: missing from the store, or expiring within the days given.
    std::vector<bool> attention;
    for (const iis::InventoryEndpoint& e : inventory.endpoints) attention.push_back(iis::NeedsAttention(e, now, 30));
    EXPECT_EQ(attention, (std::vector<bool>{false, true, true, true}));
    EXPECT_FALSE(iis::NeedsAttention(inventory.endpoints[1], now, 10));
}

}  // namespace
