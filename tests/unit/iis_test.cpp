#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "iis/appcmd.h"
#include "iis/bindings.h"
#include "iis/sites.h"
#include "iis/version.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;

namespace {

// Plays appcmd behind the fake shell: answers the discovery commands through the capture file.
struct AppcmdStage {
    World& w;
    std::vector<std::pair<std::string, std::string>> sites;  // name, bindings
    std::string moduleOutput = "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n";
    std::optional<std::string> namesOverride;
    std::vector<std::string> commands;

    explicit AppcmdStage(World& world) : w(world) {
        w.fs.AddFile(w.fs.systemFolder + "\\inetsrv\\appcmd.exe", "MZ");
        w.shell.onRun = [this](const std::string& line) { return Answer(line); };
    }

    std::int32_t Answer(const std::string& line) {
        const std::string prefix = "cmd.exe /c ";
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        const auto redirect = line.rfind(" > \"");
        const std::string command = line.substr(prefix.size(), redirect - prefix.size());
        const std::string capture = line.substr(redirect + 4, line.size() - redirect - 5);
        commands.push_back(command);
        const std::string appcmd = w.fs.systemFolder + "\\inetsrv\\appcmd.exe";
        std::string out;
        if (command == appcmd + " list site /text:name") {
            if (namesOverride) {
                out = *namesOverride;
            } else {
                for (auto& [name, b] : sites) out += name + "\r\n";
            }
        } else if (command == "%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"") {
            out = moduleOutput;
        } else {
            bool found = false;
            for (auto& [name, b] : sites)
                if (command == appcmd + " list site \"" + name + "\" /text:bindings") {
                    out = b + "\r\n";
                    found = true;
                }
            if (!found) ADD_FAILURE() << "unexpected command: " << command;
        }
        w.fs.AddFile(capture, out);
        return 0;
    }
};

class IisTest : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::InitLanguageFromSystem(1033);
    }
    void TearDown() override { lang::ResetLanguageState(); }
    World w;
};

// --- version ---------------------------------------------------------------------------

const char* kMajor = "hklm\\software\\microsoft\\inetstp\\majorversion";

TEST_F(IisTest, RegistryDecidesAndLogsOneRecord) {
    for (auto [value, expected] : std::vector<std::pair<std::string, bool>>{{"10", true}, {"8", true}, {"7", false}}) {
        World world;
        world.shell.registry[kMajor] = value;
        EXPECT_EQ(iis::IsIIS8OrGreater(world.main), expected) << value;
        EXPECT_EQ(world.InfoLog(), "[2026/12/6 9:05:07] 在过程 'IsIIS8OrGreater' 记录: IIS MajorVersion found in Registry: " +
                                       value + "\r\n----------------------------------------\r\n");
    }
}

TEST_F(IisTest, RegistryValueOutOfRangeFallsBackToInetMgr) {
    w.shell.registry[kMajor] = "70000";
    w.fs.AddFile("C:\\windows\\System32\\inetsrv\\InetMgr.exe", "MZ");
    w.host.productVersions["c:\\windows\\system32\\inetsrv\\inetmgr.exe"] = "10.0.17763.1";
    EXPECT_TRUE(iis::IsIIS8OrGreater(w.main));
    EXPECT_NE(w.InfoLog().find("InetMgr.exe product version found: 10.0.17763.1"), std::string::npos);
    EXPECT_EQ(w.InfoLog().find("found in Registry"), std::string::npos);
}

TEST_F(IisTest, FallbackFolderAndFileMissing) {
    w.host.env["windir"] = "C:\\nowhere";
    EXPECT_FALSE(iis::IsIIS8OrGreater(w.main));
    EXPECT_NE(w.InfoLog().find("记录: Could not get Shell Namespace for C:\\nowhere\\System32\\inetsrv. Assuming IIS "
                               "version is less than 8 or path invalid.\r\n"),
              std::string::npos);

    World other;
    other.fs.AddFolder("C:\\windows\\System32\\inetsrv");
    EXPECT_FALSE(iis::IsIIS8OrGreater(other.main));
    EXPECT_NE(other.InfoLog().find("记录: InetMgr.exe not found or accessible at C:\\windows\\System32\\inetsrv. "
                                   "Assuming IIS version is less than 8.\r\n"),
              std::string::npos);
}

TEST_F(IisTest, UnsetWindirGivesTheBareSuffix) {
    w.host.env.clear();
    EXPECT_FALSE(iis::IsIIS8OrGreater(w.main));
    EXPECT_NE(w.InfoLog().find("Could not get Shell Namespace for \\System32\\inetsrv."), std::string::npos);
}

struct VersionCase {
    std::string text;
    bool expected;
    std::string infoTail;   // expected last info message
    std::string errorPart;  // expected in the error log ("" for none)
};

TEST_F(IisTest, ProductVersionTexts) {
    const std::vector<VersionCase> cases = {
        {"10.0.17763.1", true, "InetMgr.exe product version found: 10.0.17763.1", ""},
        {"7.5.7600.16385", false, "InetMgr.exe product version found: 7.5.7600.16385", ""},
        {" 8 .0", true, "InetMgr.exe product version found:  8 .0", ""},
        {"", false, "Could not retrieve product version for InetMgr.exe.", ""},
        {"10", false, "Product version string '10' does not contain a dot. Cannot parse major version.", ""},
        {"X.1", false, "InetMgr.exe product version found: X.1", "Failed to convert major version from 'X.1' (代码: 13)"},
        {"99999.1", false, "InetMgr.exe product version found: 99999.1",
         "Failed to convert major version from '99999.1' (代码: 6)"},
    };
    for (const auto& c : cases) {
        World world;
        world.fs.AddFile("C:\\windows\\System32\\inetsrv\\InetMgr.exe", "MZ");
        world.host.productVersions["c:\\windows\\system32\\inetsrv\\inetmgr.exe"] = c.text;
        EXPECT_EQ(iis::IsIIS8OrGreater(world.main), c.expected) << c.text;
        const std::string info = world.InfoLog();
        EXPECT_NE(info.find("记录: " + c.infoTail + "\r\n----"), std::string::npos) << c.text << "\n" << info;
        if (c.errorPart.empty()) {
            EXPECT_EQ(world.ErrorLog(), "") << c.text;
        } else {
            EXPECT_NE(world.ErrorLog().find("'IsIIS8OrGreater' 中发生错误: " + c.errorPart), std::string::npos)
                << world.ErrorLog();
        }
    }
    // An empty version is first logged as found, then as not retrievable.
    World world;
    world.fs.AddFile("C:\\windows\\System32\\inetsrv\\InetMgr.exe", "MZ");
    iis::IsIIS8OrGreater(world.main);
    EXPECT_NE(world.InfoLog().find("记录: InetMgr.exe product version found: \r\n"), std::string::npos);
}

TEST_F(IisTest, PlatformFailureIsLoggedAndGivesFalse) {
    class Broken : public FakeHost {
    public:
        std::string FileProductVersion(const std::string&) override { throw Failure(-2147467259, "Unspecified error"); }
    };
    Broken host;
    app::Main m{app::Ports{w.ui, w.shell, w.fs, host, w.clock, w.pkcs12}};
    w.fs.AddFolder(host.appFolder);
    w.fs.AddFile("C:\\windows\\System32\\inetsrv\\InetMgr.exe", "MZ");
    EXPECT_FALSE(iis::IsIIS8OrGreater(m));
    EXPECT_NE(w.ErrorLog().find("'IsIIS8OrGreater' 中发生错误: Unspecified error (代码: -2147467259)"), std::string::npos);
}

// --- bindings --------------------------------------------------------------------------

TEST_F(IisTest, HostNamesFromBindings) {
    using V = std::vector<std::string>;
    EXPECT_EQ(iis::CollectSiteHostNames(""), V{});
    EXPECT_EQ(iis::CollectSiteHostNames("http/*:80:,https/*:443:"), V{});
    EXPECT_EQ(iis::CollectSiteHostNames("http/*:80:*"), V{});
    // Two fields (no port) and an IPv6 address with more fields carry no host.
    EXPECT_EQ(iis::CollectSiteHostNames("net.pipe/*,http/[::1]:80:v6.example.com,http/*:80:a.example.com"),
              V{"a.example.com"});
    // Duplicates differ in case: first spelling, first position.
    EXPECT_EQ(iis::CollectSiteHostNames("http/*:80:WWW.Example.com,http/*:80:b.example.com,https/*:443:www.example.com"),
              (V{"WWW.Example.com", "b.example.com"}));
    // A trailing line break is removed and the name then recognised as a duplicate.
    EXPECT_EQ(iis::CollectSiteHostNames("http/*:80:a.com,https/*:443:a.com\r\n"), V{"a.com"});
    // A host field of only CR LF is skipped; blanks and tabs inside are cleaned.
    EXPECT_EQ(iis::CollectSiteHostNames("http/*:80:\r\n"), V{});
    EXPECT_EQ(iis::CollectSiteHostNames(" http/*:80: x.com\t ,http/*:81:y.com \r\n"), (V{"x.com", "y.com"}));
}

TEST_F(IisTest, CollectionContainsIgnoresCase) {
    EXPECT_FALSE(iis::CollectionContains({}, "a"));
    EXPECT_TRUE(iis::CollectionContains({"x", "WWW.A.COM"}, "www.a.com"));
    EXPECT_FALSE(iis::CollectionContains({"www.a.com"}, "www.a.co"));
}

TEST_F(IisTest, SiteDomainsDisplayTextAndCommandLine) {
    AppcmdStage stage(w);
    stage.sites = {{"Default Web Site", "http/*:80:Shop.example.com,https/*:443:shop.EXAMPLE.com,http/*:80:api.example.com"},
                   {"Bare", "http/*:80:"}};
    const std::string appcmd = iis::AppcmdPath(w.fs);
    EXPECT_EQ(iis::GetSiteDomains(w.main, appcmd, "Default Web Site"), "(Shop.example.com, api.example.com)");
    EXPECT_EQ(stage.commands.back(), "C:\\windows\\system32\\inetsrv\\appcmd.exe list site \"Default Web Site\" /text:bindings");
    EXPECT_EQ(iis::GetSiteDomains(w.main, appcmd, "Bare"), "");
    EXPECT_EQ(iis::GetSiteBindings(w.main, appcmd, "Bare"), "http/*:80:\r\n");
}

// --- site list and module --------------------------------------------------------------

TEST_F(IisTest, NoAppcmdMeansNoIIS) {
    w.shell.onRun = [&](const std::string&) { return 1; };
    iis::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lblSiteList).text, "IIS Site List (IIS Not Installed)");
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{"No IIS found in the system."});
    for (Id id : {Id::lstSites, Id::cmdDeploy, Id::mnuToolsSetPort, Id::TxtHttpsPort, Id::chkHttpRedirect, Id::lblHttpsPort})
        EXPECT_FALSE(w.ui.Enabled(id)) << static_cast<int>(id);
    EXPECT_EQ(w.ui.Text(Id::lblStatus), "IIS not detected, PFX deployment disabled.");
    EXPECT_TRUE(w.shell.runs.empty());
}

TEST_F(IisTest, SitesListedWithHostNamesFirstSelected) {
    AppcmdStage stage(w);
    stage.sites = {{"Default Web Site", "http/*:80:,https/*:443:"},
                   {"Shop", "http/*:80:shop.example.com,https/*:443:SHOP.example.com,http/*:80:www.shop.example.com"},
                   {"Legacy", "net.tcp/808:*,http/[fe80::1]:80:x.example.com,http/*:8080:legacy.example.com"}};
    w.ui.SetEnabled(Id::cmdDeploy, false);
    iis::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items,
              (std::vector<std::string>{"Default Web Site", "Shop (shop.example.com, www.shop.example.com)",
                                        "Legacy (legacy.example.com)"}));
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), std::vector<int>{0});
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_EQ(w.ui.statusHistory, (std::vector<std::string>{"Loading IIS site list...",
                                                            "IIS sites loaded. Please import first, then select sites for deployment."}));
    EXPECT_GE(w.ui.doEvents, 1);
}

TEST_F(IisTest, EmptyAnswerLeavesEverythingAsItWas) {
    for (std::string answer : {"", "   "}) {
        World world;
        AppcmdStage stage(world);
        stage.namesOverride = answer;
        world.ui.SetEnabled(Id::cmdDeploy, false);
        iis::PopulateSitesList(world.main);
        EXPECT_TRUE(world.ui.C(Id::lstSites).items.empty());
        EXPECT_FALSE(world.ui.Enabled(Id::cmdDeploy));
        EXPECT_TRUE(world.ui.Enabled(Id::lstSites));
        EXPECT_EQ(world.ui.Text(Id::lblStatus), "Loading IIS site list...");
    }
}

TEST_F(IisTest, BlankLinesOnlyGiveTheNoIISLine) {
    AppcmdStage stage(w);
    stage.namesOverride = "\r\n  \r\n\r\n";
    iis::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{"No IIS found in the system."});
    EXPECT_FALSE(w.ui.Enabled(Id::lstSites));
    EXPECT_FALSE(w.ui.Enabled(Id::mnuToolsSetPort));
    EXPECT_EQ(w.ui.Text(Id::lblStatus), "Loading IIS site list...");
}

TEST_F(IisTest, ListingFailureAddsTheErrorLine) {
    AppcmdStage stage(w);
    stage.sites = {{"A", "http/*:80:a.com"}, {"B", "http/*:80:"}};
    class FailingUi : public FakeUi {
    public:
        int adds = 0;
        void ListAdd(Id list, const std::string& item) override {
            if (list == Id::lstSites && ++adds == 2) throw Failure(7, "Out of memory");
            FakeUi::ListAdd(list, item);
        }
    } ui;
    app::Main m{app::Ports{ui, w.shell, w.fs, w.host, w.clock, w.pkcs12}};
    iis::PopulateSitesList(m);
    EXPECT_EQ(ui.C(Id::lstSites).items, (std::vector<std::string>{"A (a.com)", "Error loading sites."}));
    EXPECT_FALSE(ui.Enabled(Id::lstSites));
    EXPECT_FALSE(ui.Enabled(Id::cmdDeploy));
    EXPECT_NE(w.ErrorLog().find("'PopulateSitesList' 中发生错误: Out of memory (代码: 7)"), std::string::npos);
}

TEST_F(IisTest, RewriteModulePresentAbsentLowerCase) {
    AppcmdStage stage(w);
    w.ui.SetEnabled(Id::chkHttpRedirect, false);
    EXPECT_TRUE(iis::CheckRewriteModuleInstalled(w.main));
    EXPECT_TRUE(w.ui.Enabled(Id::chkHttpRedirect));
    EXPECT_TRUE(w.main.m_RewriteModuleInstalled);

    stage.moduleOutput = "module \"rewritemodule\"\r\n";
    EXPECT_TRUE(iis::CheckRewriteModuleInstalled(w.main));

    stage.moduleOutput = "";
    w.ui.SetText(Id::chkHttpRedirect, "HTTP to HTTPS Redirection");
    EXPECT_FALSE(iis::CheckRewriteModuleInstalled(w.main));
    EXPECT_FALSE(w.main.m_RewriteModuleInstalled);
    EXPECT_FALSE(w.ui.Enabled(Id::chkHttpRedirect));
    EXPECT_EQ(w.ui.CheckValue(Id::chkHttpRedirect), 0);
    EXPECT_EQ(w.ui.Text(Id::chkHttpRedirect), "Disable due to URLRewrite is not installed");
}

TEST_F(IisTest, ModuleCheckFailureMeansAbsent) {
    class FailingUi : public FakeUi {
    public:
        void SetEnabled(Id id, bool e) override {
            if (id == Id::chkHttpRedirect && e) throw Failure(91, "Object variable not set");
            FakeUi::SetEnabled(id, e);
        }
    } ui;
    AppcmdStage stage(w);
    app::Main m{app::Ports{ui, w.shell, w.fs, w.host, w.clock, w.pkcs12}};
    m.m_RewriteModuleInstalled = true;
    EXPECT_FALSE(iis::CheckRewriteModuleInstalled(m));
    EXPECT_EQ(ui.CheckValue(Id::chkHttpRedirect), 0);
    EXPECT_NE(w.ErrorLog().find("'CheckRewriteModuleInstalled' 中发生错误: Object variable not set (代码: 91)"),
              std::string::npos);
}

TEST_F(IisTest, OddSiteNamesGoIntoTheLineUnchanged) {
    AppcmdStage stage(w);
    stage.sites = {{"Café [Test] (1)", "http/*:80:cafe.example.com"}, {"Two  Blanks", "http/*:80:"}};
    iis::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items,
              (std::vector<std::string>{"Café [Test] (1) (cafe.example.com)", "Two  Blanks"}));
}

TEST_F(IisTest, TwoHundredBindingsParsedOnce) {
    std::string bindings;
    std::vector<std::string> expected;
    for (int i = 0; i < 200; ++i) {
        if (i) bindings += ",";
        bindings += "http/*:80:h" + std::to_string(i) + ".example.com";
        expected.push_back("h" + std::to_string(i) + ".example.com");
    }
    EXPECT_EQ(iis::CollectSiteHostNames(bindings), expected);
}

}  // namespace
