// Renewal: which endpoints a new certificate takes over, and a whole renewal through the console
// against a fake HTTP.sys that keeps what netsh adds and deletes.
#include <gtest/gtest.h>

#include <regex>

#include "app/handlers.h"
#include "cli/program.h"
#include "fakes.h"
#include "renew/renew.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

TEST(Renew, WhatTheNewCertificateSupersedes) {
    const std::int64_t now = 1'800'000'000;
    const PfxCertificate fresh = FakeCertificate("new", "inter", true, {"a.example.test", "*.shop.test"}, now, now + 90 * kDay);
    const auto old = [&](std::vector<std::string> names, std::int64_t days) {
        return std::optional<PfxCertificate>(FakeCertificate("old", "inter", true, std::move(names), now - kDay, now + days * kDay));
    };
    const std::string oldPrint = UpperHex(std::string(20, 'o')), newPrint = UpperHex(fresh.sha1);
    const struct {
        const char* what;
        std::string thumbprint;
        std::optional<PfxCertificate> current;
        std::string replace;
        bool supersedes;
    } cases[] = {
        {"every name covered, a later expiry", oldPrint, old({"A.example.test", "www.shop.test"}, 10), "", true},
        {"its wildcard name covered by the same wildcard", oldPrint, old({"*.shop.test"}, 10), "", true},
        {"a name it does not cover", oldPrint, old({"a.example.test", "b.example.test"}, 10), "", false},
        {"a wildcard its single names do not cover", oldPrint, old({"*.example.test"}, 10), "", false},
        {"the old one lasts longer", oldPrint, old({"a.example.test"}, 120), "", false},
        {"no DNS names: nothing to compare", oldPrint, old({}, 10), "", false},
        {"not in the store: its names unknown", oldPrint, std::nullopt, "", false},
        {"not in the store, but named to be replaced", oldPrint, std::nullopt, oldPrint, true},
        {"named to be replaced whatever it covers", oldPrint, old({"b.example.test"}, 200), oldPrint, true},
        {"itself", newPrint, old({"a.example.test"}, 10), newPrint, false},
    };
    for (const auto& c : cases) EXPECT_EQ(renew::Supersedes(fresh, c.thumbprint, c.current, c.replace), c.supersedes) << c.what;
}

// HTTP.sys as netsh meets it: adds an endpoint only when it has none, deletes only what is there,
// refuses a certificate listed in `refused`, lists what it holds.
struct FakeHttpSys {
    std::vector<std::array<std::string, 4>> bindings;  // endpoint (with its kind), hash, app id, store
    std::vector<std::string> refused;
    std::int32_t Run(const std::string& line) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex(" http delete sslcert (\\S+)$"))) {
            const auto it = Find(m[1]);
            return it == bindings.end() ? 2 : (bindings.erase(it), 0);
        }
        if (!std::regex_search(line, m, std::regex(" http add sslcert (\\S+) certhash=(\\S+) appid=(\\S+)(?: certstorename=(\\S+))?$")))
            return 0;
        if (Find(m[1]) != bindings.end()) return 1;
        if (std::find(refused.begin(), refused.end(), m[2]) != refused.end()) return 1;
        bindings.push_back({m[1], m[2], m[3], m[4]});
        return 0;
    }
    std::string Listing() const {
        std::string out = "\r\nSSL Certificate bindings:\r\n-------------------------\r\n\r\n";
        for (const auto& b : bindings)
            out += std::string(b[0].rfind("hostnameport=", 0) == 0 ? "    Hostname:port : " : "    IP:port : ") +
                   b[0].substr(b[0].find('=') + 1) + "\r\n    Certificate Hash : " + b[1] + "\r\n    Application ID : " + b[2] +
                   "\r\n    Certificate Store Name : " + (b[3].empty() ? "(null)" : b[3]) + "\r\n\r\n";
        return out;
    }
    std::vector<std::array<std::string, 4>>::iterator Find(const std::string& endpoint) {
        return std::find_if(bindings.begin(), bindings.end(), [&](const auto& b) { return b[0] == endpoint; });
    }
    std::vector<std::string> Held() const {
        std::vector<std::string> held;
        for (const auto& b : bindings) held.push_back(b[0] + " " + b[1].substr(0, 4) + " " + b[3]);
        return held;
    }
};

// A server bound to the old certificate on two host names and 0.0.0.0:443, its new one (the
// PFX's, covering both names, 90 days) imported beside it.
struct RenewalServer : FakeServer {
    FakeHttpSys httpSys;
    PfxCertificate old = FakeCertificate("old", "inter", true, {"a.example.test", "b.example.test"}, 0, 0);
    std::string oldPrint = UpperHex(old.sha1), newPrint = UpperHex(pkcs12.certificates[0].sha1);
    FakeConsole console;

    RenewalServer() {
        old.details.notAfter = clock.utcNow + 10 * kDay;
        pkcs12.personal = {old, pkcs12.certificates[0]};
        pkcs12.files = {{"der:leaf", {pkcs12.certificates[0]}}, {"der:old", {old}}};
        const std::string app = "{4dc3e181-e14b-4a21-b022-59fc669b0914}";
        httpSys.bindings = {{"hostnameport=a.example.test:443", oldPrint, app, "MY"},
                            {"hostnameport=b.example.test:443", oldPrint, app, "MY"},
                            {"ipport=0.0.0.0:443", oldPrint, app, ""}};
        shell.onRun = [this](const std::string& line) { return httpSys.Run(line); };
        shell.onCapture = [this](const std::string& line) {
            return line.find(" http show sslcert") != std::string::npos ? Captured{0, httpSys.Listing()} : stage.Answer(line);
        };
        for (const char* sni : {"a.example.test", "b.example.test", ""}) Serve(sni, "der:leaf");
    }
    void Serve(const std::string& sni, const char* der) {
        probe.handshakes["127.0.0.1:443|" + sni] = {HandshakeResult::Completed, 0, "", {der, "der:inter"}, 0};
    }
    int Renew(std::vector<std::string> more = {}) {
        more.insert(more.begin(), "renew");
        console = {};
        const int code = cli::RunConsole(machine, console, more);
        lang::ResetLanguageState();
        return code;
    }
};

TEST(Renew, EveryEndpointOfTheOldCertificateTakesTheNewOneOnceAndWhatDoesNotServeItGoesBack) {
    RenewalServer s;
    s.Serve("b.example.test", "der:old");  // another server in front still answers with the old one
    EXPECT_EQ(s.Renew({"--retire-old"}), 1) << s.console.out;
    EXPECT_EQ(s.httpSys.Held(), (std::vector<std::string>{"hostnameport=a.example.test:443 6C6C MY",
                                                          "ipport=0.0.0.0:443 6C6C ", "hostnameport=b.example.test:443 6F6F MY"}));
    EXPECT_THAT(s.console.out, HasSubstr("b.example.test:443: did not serve the new certificate, so " + s.oldPrint +
                                         " is bound there again."));
    EXPECT_THAT(s.console.out, HasSubstr("Renewal finished: 2 endpoint(s) replaced, 1 not."));
    EXPECT_EQ(s.Count(" -delstore "), 0u);  // still bound to b: never retired
    EXPECT_EQ(s.Count("certutil.exe -f -p"), 1u);
    EXPECT_EQ(s.Count(" reg.exe") + s.Count("iisreset") + s.Count("appcmd"), 0u);  // TLS, IIS and sites untouched
    EXPECT_THAT(s.events.records.back(), HasSubstr("3003 W "));  // put back: what monitoring must see

    s.Serve("b.example.test", "der:leaf");
    EXPECT_EQ(s.Renew({"--retire-old", "--json"}), 0) << s.console.out;
    EXPECT_THAT(s.console.out, HasSubstr("\"endpoints\":[{\"endpoint\":\"b.example.test:443\",\"kind\":\"hostnameport\",\"from\":\"" +
                                         s.oldPrint + "\",\"to\":\"" + s.newPrint + "\",\"result\":\"replaced\""));
    EXPECT_EQ(s.Count("certutil.exe -delstore My " + s.oldPrint), 1u);
    EXPECT_THAT(s.events.records.back(), HasSubstr("3000 I "));

    const std::size_t runs = s.shell.runs.size();
    s.events.broken = true;  // a full event log stops nothing
    EXPECT_EQ(s.Renew(), 0);  // a scheduled run the day after: nothing to do, nothing run
    EXPECT_THAT(s.ErrorLog(), HasSubstr("Event 3000 not written: The event log file is full."));
    EXPECT_THAT(s.console.out, HasSubstr("is already bound on 3 endpoint(s)"));
    for (std::size_t i = runs; i < s.shell.runs.size(); ++i) EXPECT_TRUE(s.shell.runs[i].captured) << s.shell.runs[i].commandLine;
}

TEST(Renew, NothingChangesWhenItCannotReplaceOrARefusedAddLeavesThePreviousBinding) {
    const struct {
        const char* what;
        std::function<void(RenewalServer&)> arrange;
        std::vector<std::string> args;
        int code;
        const char* says;
        std::size_t adds;
    } cases[] = {
        {"the new one lacks a name the old one has",
         [](RenewalServer& s) { s.pkcs12.certificates[0].details.dnsNames = {"a.example.test"}; }, {"--json"}, 2,
         "\"error\":{\"code\":\"nothing-to-replace\"", 0},
        {"--replace for an endpoint whose name it does not cover",
         [](RenewalServer& s) { s.pkcs12.certificates[0].details.dnsNames = {"a.example.test"}; }, {"--replace", ""}, 2,
         "would be replaced, but the new certificate does not cover b.example.test", 0},
        {"an expired certificate", [](RenewalServer& s) { s.pkcs12.certificates[0].details.notAfter = s.clock.utcNow - kDay; }, {}, 2,
         "Expired on ", 0},
        {"a dry run", [](RenewalServer&) {}, {"--dry-run"}, 0, "a.example.test:443: ", 0},
        {"netsh refuses the new certificate: the old binding goes back",
         [](RenewalServer& s) { s.httpSys.refused = {s.newPrint}; }, {"--no-verify"}, 2, "so " , 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RenewalServer s;
        c.arrange(s);
        std::vector<std::string> args = c.args;
        for (std::string& a : args) a = a.empty() ? s.oldPrint : a;
        const std::vector<std::string> before = s.httpSys.Held();
        EXPECT_EQ(s.Renew(args), c.code) << s.console.out << s.console.err;
        EXPECT_THAT(s.console.out + s.console.err, HasSubstr(c.says));
        EXPECT_EQ(s.Count(" add sslcert "), c.adds);
        EXPECT_THAT(s.httpSys.Held(), ::testing::UnorderedElementsAreArray(before));
    }
}

// The window asks first, listing each endpoint's change; No changes nothing, Yes replaces and sums up.
TEST(RenewWindow, AsksWithTheEndpointsThenReplacesAndSaysWhatBecameOfThem) {
    Windowed<RenewalServer> w;
    ASSERT_TRUE(app::Form_Load(w.main));
    w.ui.boxes.clear();
    w.ui.yesNoAnswer = app::MsgAnswer::No;
    app::OnCommand(w.main, app::Id::mnuToolsRenew);
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].style, app::MsgStyle::YesNoExclamation);
    EXPECT_THAT(w.ui.boxes[0].text, HasSubstr("(" + w.newPrint + "):\r\n\r\na.example.test:443: " + w.oldPrint + " -> " +
                                              w.newPrint + "\r\nb.example.test:443: "));
    EXPECT_TRUE(w.Changes().empty());

    w.ui.yesNoAnswer = app::MsgAnswer::Yes;
    app::OnCommand(w.main, app::Id::mnuToolsRenew);
    EXPECT_EQ(w.ui.boxes.back().style, app::MsgStyle::Information);
    EXPECT_THAT(w.ui.boxes.back().text, HasSubstr("0.0.0.0:443: now serves " + w.newPrint + "."));
    EXPECT_EQ(w.ui.Text(app::Id::lblStatus), "Renewal finished: 3 endpoint(s) replaced, 0 not.");
    EXPECT_TRUE(w.ui.Enabled(app::Id::cmdImport) && w.ui.Enabled(app::Id::cmdDeploy));

    app::OnCommand(w.main, app::Id::mnuToolsRenew);
    EXPECT_EQ(w.ui.boxes.back().style, app::MsgStyle::Information);
    EXPECT_THAT(w.ui.boxes.back().text, HasSubstr("is already bound on 3 endpoint(s)"));
}

}  // namespace
