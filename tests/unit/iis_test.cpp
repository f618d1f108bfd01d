// The work on IIS: version, host names and the rewrite module.
#include <gtest/gtest.h>

#include "fakes.h"
#include "iis/bindings.h"
#include "iis/sites.h"
#include "iis/version.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const char* kMajor = "hklm\\software\\microsoft\\inetstp\\majorversion";
const std::string kInetMgr = "C:\\windows\\System32\\inetsrv\\InetMgr.exe";

TEST(IisVersion, RegistryFirstThenTheManagersVersionFailuresLogged) {
    struct Case {
        std::optional<std::string> registry;
        std::optional<std::string> product;  // nullopt: no InetMgr.exe
        std::optional<int> major;
        iis::VersionSource source;
        std::string errorPart;  // in log-error.txt ("" for none)
    };
    using S = iis::VersionSource;
    const Case cases[] = {
        // A registry version and InetMgr 10 are read from the simulated host end to end (65-iis-discovery).
        {"70000", "10.0.17763.1", 10, S::IisManager, ""},
        {{}, "7.5.7600.16385", 7, S::IisManager, ""},
        {{}, " 8 .0", 8, S::IisManager, ""},
        {{}, "10", {}, S::Unknown, ""},
        {{}, "X.1", {}, S::Unknown, "major version from 'X.1' (代码: 13)"},
        {{}, "99999.1", {}, S::Unknown, "from '99999.1' (代码: 6)"},
        {{}, {}, {}, S::Unknown, ""},
    };
    for (const Case& c : cases) {
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

    // The Windows folder comes from the system: an environment that names another is ignored.
    FakeMachine planted;
    planted.host.env["windir"] = "D:\\planted";
    planted.fs.AddFile("D:\\planted\\System32\\inetsrv\\InetMgr.exe", "MZ");
    planted.host.productVersions[Lower("D:\\planted\\System32\\inetsrv\\InetMgr.exe")] = "10.0";
    EXPECT_FALSE(iis::DetectIisVersion(planted.machine).major);
}

TEST(IisVersion, APlatformFailureIsLoggedAndGivesUnknown) {
    struct BrokenHost : FakeHost {
        std::string FileProductVersion(const std::string&) override { throw Failure(-2147467259, "Unspecified"); }
    } host;
    FakeMachine w;
    Machine broken{w.shell, w.fs, host, w.clock, w.pkcs12, w.http, w.signatures};
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

}  // namespace
