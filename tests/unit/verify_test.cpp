// What a client gets, judged: each handshake and redirect against what was deployed.
#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "iis/verify.h"
#include "support/errors.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

TEST(Verify, EachHandshakeAndRedirectJudged) {
    using S = iis::Served;
    using R = iis::RedirectSeen;
    const auto completed = [](const char* der, std::int32_t chainError = 0) {
        return TlsHandshake{HandshakeResult::Completed, 0, "", {der, "der:inter"}, chainError};
    };
    const auto moved = [](int status, const char* location) { return PlainHttpAnswer{true, 0, status, location}; };
    const struct {
        const char* what;
        TlsHandshake handshake;
        std::optional<PlainHttpAnswer> http;  // none: the redirect is not checked
        S served;
        R redirect;
        bool holds;
    } cases[] = {
        {"the deployed certificate, redirected", completed("der:leaf"), moved(301, "https://Shop.example.test/"), S::Expected,
         R::Redirects, true},
        {"redirected to the host's port", completed("der:leaf"), moved(308, "https://shop.example.test:8443/a"), S::Expected,
         R::Redirects, true},
        {"another certificate wins", completed("der:old"), {}, S::Another, R::NotChecked, false},
        {"a chain that reaches no trusted root", completed("der:leaf", -2146762486), {}, S::Expected, R::NotChecked, false},
        {"expired", completed("der:expired", kCertExpired), {}, S::Expected, R::NotChecked, false},
        {"a name it does not cover", completed("der:other-name", kCertNameMismatch), {}, S::Expected, R::NotChecked, false},
        {"nothing listens", {HandshakeResult::NoListener, 10061, "refused", {}, 0}, {}, S::NothingListens, R::NotChecked, false},
        {"the handshake fails", {HandshakeResult::Failed, -2146893048, "The token supplied is invalid", {}, 0}, {},
         S::HandshakeFailed, R::NotChecked, false},
        {"no redirect", completed("der:leaf"), moved(200, ""), S::Expected, R::Missing, false},
        {"a redirect elsewhere", completed("der:leaf"), moved(301, "https://shop.example.test.evil.test/"), S::Expected,
         R::WrongTarget, false},
        {"no plain HTTP listener", completed("der:leaf"), PlainHttpAnswer{false, 10061, 0, ""}, S::Expected,
         R::NothingListens, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeMachine w;
        const std::int64_t now = w.clock.utcNow;
        PfxCertificate leaf = FakeCertificate("leaf", "inter", false, {"shop.example.test"}, now - kDay, now + 60 * kDay);
        PfxCertificate expired = leaf, otherName = leaf, old = FakeCertificate("old", "inter", false, {"shop.example.test"}, 0, now + kDay);
        expired.details.notAfter = now - kDay;
        otherName.details.dnsNames = {"www.example.test"};
        w.pkcs12.files = {{"der:leaf", {leaf}}, {"der:expired", {expired}}, {"der:other-name", {otherName}}, {"der:old", {old}}};
        const iis::ProbeTarget target{"Shop", "shop.example.test", "127.0.0.1", 443, c.http ? std::optional<int>(80) : std::nullopt,
                                      UpperHex(leaf.sha1)};
        w.probe.handshakes["127.0.0.1:443|shop.example.test"] = c.handshake;
        if (c.http) w.probe.answers["127.0.0.1:80|shop.example.test|/"] = *c.http;
        const iis::Verification v = iis::VerifyHosts(w.machine, {target});
        ASSERT_EQ(v.hosts.size(), 1u);
        EXPECT_EQ(v.hosts[0].served, c.served);
        EXPECT_EQ(v.hosts[0].redirect, c.redirect);
        EXPECT_EQ(v.hosts[0].Holds(), c.holds);
        EXPECT_EQ(v.AllHold(), c.holds);
        EXPECT_EQ(v.NothingProbed(), c.served == S::NothingListens || c.served == S::HandshakeFailed);
        // What holds goes to log.txt, what does not to log-error.txt with its code.
        EXPECT_THAT(c.holds ? w.InfoLog() : w.ErrorLog(), HasSubstr("Verify shop.example.test at 127.0.0.1:443 (site Shop)"));
    }
}

// A host of every HTTPS binding on the port, the redirect checked on the plain HTTP port that
// serves its name (its own binding, else the one for every name).
TEST(Verify, TargetsFromTheSitesBindings) {
    const std::vector<iis::Site> sites = {
        {"Shop", {}, true, {"*:443:a.example.test", "*:443:b.example.test", "*:8443:a.example.test"},
         {"*:80:", "*:8080:b.example.test"}},
        {"Intranet", {}, true, {"[::1]:443:", "10.0.0.5:443:c.example.test"}, {}},
    };
    std::vector<std::string> seen;
    for (const iis::ProbeTarget& t : iis::ProbeTargets(sites, 443, true))
        seen.push_back(t.site + " " + t.host + " " + t.address + ":" + std::to_string(t.port) + " " +
                       (t.httpPort ? std::to_string(*t.httpPort) : "-"));
    EXPECT_EQ(seen, (std::vector<std::string>{"Shop a.example.test 127.0.0.1:443 80", "Shop b.example.test 127.0.0.1:443 8080",
                                              "Intranet  ::1:443 -", "Intranet c.example.test 10.0.0.5:443 -"}));
    EXPECT_EQ(iis::ProbeTargets(sites, 0, false).size(), 5u);
}

// The window: after a deployment the status line tells whether what it changed is served; the menu
// item shows every selected site's findings in one box, those that fall short first.
TEST(VerifyWindow, FindingsOnTheStatusLineAfterADeploymentAndInTheMenusBox) {
    using app::Id;
    ServerWindow t;
    t.stage.sites = {{"Shop", "http/*:80:a.example.test,https/*:443:a.example.test,https/*:443:b.example.test"},
                     {"Intranet (old)", "http/*:80:"}};
    t.stage.Configure();
    t.Start();
    t.pkcs12.files["der:leaf"] = {t.pkcs12.certificates[0]};
    const TlsHandshake leaf{HandshakeResult::Completed, 0, "", {"der:leaf", "der:inter"}, 0};
    t.probe.handshakes["127.0.0.1:443|a.example.test"] = leaf;
    t.probe.answers["127.0.0.1:80|a.example.test|/"] = {true, 0, 301, "https://a.example.test/"};
    app::OnCommand(t.main, Id::cmdDeploy);
    EXPECT_EQ(t.ui.boxes.back().title, lang::GetLangString("MsgBox_Deploy_Complete_Title"));
    EXPECT_EQ(t.ui.Text(Id::lblStatus), lang::FormatLangString("lblStatus_VerifyFailed", {"1", "2"}));
    EXPECT_THAT(t.ErrorLog(), HasSubstr("b.example.test at 127.0.0.1:443 (site Shop)"));

    t.ui.boxes.clear();
    app::OnCommand(t.main, Id::mnuToolsVerify);
    EXPECT_EQ(t.ui.OnlyBox().style, app::MsgStyle::Exclamation);
    EXPECT_EQ(t.ui.OnlyBox().title, lang::GetLangString("MsgBox_Verify_Title"));
    const std::string& text = t.ui.OnlyBox().text;
    EXPECT_EQ(text.find("[ERROR] b.example.test at 127.0.0.1:443 (site 'Shop'): nothing listens there"), 0u) << text;
    EXPECT_THAT(text, HasSubstr("\r\n[OK] a.example.test at 127.0.0.1:443 (site 'Shop'): serves CN=leaf"));
    EXPECT_THAT(text, HasSubstr("\r\n\r\nVerified 2 host(s): 1 as expected, 1 not."));

    t.probe.handshakes["127.0.0.1:443|b.example.test"] = leaf;
    t.ui.boxes.clear();
    app::OnCommand(t.main, Id::mnuToolsVerify);
    EXPECT_EQ(t.ui.OnlyBox().style, app::MsgStyle::Information);
    EXPECT_EQ(t.ui.Text(Id::lblStatus), lang::FormatLangString("lblStatus_VerifyPassed", {"2"}));

    t.ui.boxes.clear();
    t.ui.ListSetSelected(Id::lstSites, 0, false);
    app::OnCommand(t.main, Id::mnuToolsVerify);
    EXPECT_EQ(t.ui.OnlyBox().text, lang::GetLangString("Verify_NoHost"));
    t.ui.boxes.clear();
    t.ui.ListSetSelected(Id::lstSites, 1, false);
    app::OnCommand(t.main, Id::mnuToolsVerify);
    EXPECT_EQ(t.ui.OnlyBox().text, lang::GetLangString("MsgBox_Deploy_SelectSite"));
}

}  // namespace
