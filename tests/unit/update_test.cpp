#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "update/check.h"
#include "update/package.h"
#include "update/restart.h"
#include "update/signature.h"

namespace quillbay::testing {
namespace {

using app::Id;
using app::MsgAnswer;
using app::MsgStyle;

TEST(UpdateVersions, CompareNumericallyPartByPart) {
    struct Case {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"1.0", "1.0.0", 0},       {"1.0.10", "1.0.9", 1},   {"1.0.2", "1.0.10", -1}, {"1.0.11", "1.0.10", 1},
        {"1.a.5", "1.0.5", 0},     {"", "0.0", 0},           {"", "1", -1},           {"2", "1.99.99", 1},
        {"1.99999999999", "1.0", 0}, {"1.2147483647", "1.2147483646", 1}, {"1.-1", "1.0", -1}, {"1..1", "1.0.1", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(update::CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(update::CompareVersions(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(UpdateVersions, AnswerSplitsIntoVersionAndNotes) {
    struct Case {
        std::string body, latest, notes;
    } cases[] = {
        {"1.0.11", "1.0.11", ""},
        {"1.0.11\n", "1.0.11", "\r\n"},
        {"  1.0.11  \n  first note \n\nthird\tnote\t", "1.0.11", "first note\r\n\r\nthird\tnote\t\r\n"},
        {"\t1.0.11\n", "\t1.0.11", "\r\n"},
    };
    for (const Case& c : cases) {
        const auto info = update::ParseVersionAnswer(c.body);
        ASSERT_TRUE(info) << c.body;
        EXPECT_EQ(info->latest, c.latest) << c.body;
        EXPECT_EQ(info->notes, c.notes) << c.body;
    }
    EXPECT_FALSE(update::ParseVersionAnswer(""));

    EXPECT_EQ(update::BytesToString("\xEF\xBB\xBF" "1.0.11\n修复", "UTF-8"), "1.0.11\n修复");
    EXPECT_EQ(update::BytesToString("a\xFF" "b\xC0\xAF" "c\xED\xA0\x80", "utf-8"),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Zip files built here so that each field can be broken on purpose.
struct ZipBuilder {
    std::vector<std::pair<std::string, std::string>> entries{{"Quillbay.exe", "MZ program"}, {"chain/", ""}};
    bool zip64 = false;
    std::string comment;

    static void Put(std::string& out, std::uint64_t value, int width) {
        for (int i = 0; i < width; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
    }
    std::string Build() const {
        std::string out, directory;
        for (const auto& [name, data] : entries) {
            const std::size_t local = out.size();
            Put(out, 0x04034b50, 4), Put(out, 20, 2), Put(out, 0, 2), Put(out, 0, 2), Put(out, 0, 4), Put(out, 0, 4);
            Put(out, data.size(), 4), Put(out, data.size(), 4), Put(out, name.size(), 2), Put(out, 0, 2);
            out += name + data;
            Put(directory, 0x02014b50, 4), Put(directory, 20, 2), Put(directory, 20, 2), Put(directory, 0, 2);
            Put(directory, 0, 2), Put(directory, 0, 4), Put(directory, 0, 4), Put(directory, data.size(), 4);
            Put(directory, data.size(), 4), Put(directory, name.size(), 2), Put(directory, zip64 ? 12 : 0, 2);
            Put(directory, 0, 2), Put(directory, 0, 2), Put(directory, 0, 2), Put(directory, 0, 4);
            Put(directory, zip64 ? 0xFFFFFFFF : local, 4);
            directory += name;
            if (zip64) Put(directory, 1, 2), Put(directory, 8, 2), Put(directory, local, 8);
        }
        const std::size_t start = out.size();
        out += directory;
        if (zip64) {
            const std::size_t record = out.size();
            Put(out, 0x06064b50, 4), Put(out, 44, 8), Put(out, 45, 2), Put(out, 45, 2), Put(out, 0, 4), Put(out, 0, 4);
            Put(out, entries.size(), 8), Put(out, entries.size(), 8), Put(out, directory.size(), 8), Put(out, start, 8);
            Put(out, 0x07064b50, 4), Put(out, 0, 4), Put(out, record, 8), Put(out, 1, 4);
        }
        Put(out, 0x06054b50, 4), Put(out, 0, 2), Put(out, 0, 2);
        Put(out, zip64 ? 0xFFFF : entries.size(), 2), Put(out, zip64 ? 0xFFFF : entries.size(), 2);
        Put(out, zip64 ? 0xFFFFFFFF : directory.size(), 4), Put(out, zip64 ? 0xFFFFFFFF : start, 4);
        Put(out, comment.size(), 2);
        return out + comment;
    }
};

TEST(UpdatePackage, OnlyASoundZipPasses) {
    const std::string good = ZipBuilder{}.Build();
    const std::size_t directory = good.find("PK\x01\x02");
    auto patched = [](std::string bytes, std::size_t at, const std::string& with) { return bytes.replace(at, with.size(), with); };
    const auto built = [](const std::function<void(ZipBuilder&)>& change) {
        ZipBuilder zip;
        change(zip);
        return zip.Build();
    };
    auto named = [&](const std::string& name) { return built([&](ZipBuilder& z) { z.entries = {{name, "x"}}; }); };
    std::string localOnly = named("ab/x.dll");
    localOnly.replace(localOnly.find("ab/x.dll"), 3, "../");
    struct Case {
        const char* what;
        std::string bytes;
        bool sound;
    } cases[] = {
        {"two entries", good, true},
        {"zip64 records", built([](ZipBuilder& z) { z.zip64 = true; }), true},
        {"a comment holding the record's signature", built([](ZipBuilder& z) { z.comment = "release PK\x05\x06 notes"; }), true},
        {"empty", "", false},
        {"an error page", "<html><body>502 Bad Gateway</body></html>", false},
        {"cut short", good.substr(0, good.size() - 5), false},
        {"cut in the data", good.substr(0, 40) + good.substr(directory), false},
        {"no entry", built([](ZipBuilder& z) { z.entries.clear(); }), false},
        {"garbage after the record", good + "xx", false},
        {"central header broken", patched(good, directory, "PK\x01\x03"), false},
        {"local header moved", patched(good, directory + 42, std::string("\x05\0\0\0", 4)), false},
        {"encrypted", patched(good, directory + 8, std::string("\x01\0", 2)), false},
        {"compression method 14", patched(good, directory + 10, std::string("\x0e\0", 2)), false},
        {"entry count disagrees", patched(good, good.size() - 12, std::string("\x03\0", 2)), false},
        {"another disk", patched(good, good.size() - 18, std::string("\x01\0", 2)), false},
        {"dots inside names", named("docs/a..b/..txt"), true},
        {"climbs out", named("../../Windows/System32/x.dll"), false},
        {"climbs out with backslashes", named("chain\\..\\..\\x.dll"), false},
        {"the last segment climbs", named("chain/.."), false},
        {"a drive", named("C:\\x.dll"), false},
        {"absolute", named("/x.dll"), false},
        {"absolute with a backslash", named("\\x.dll"), false},
        {"climbs out in the local header only", localOnly, false},
    };
    for (const Case& c : cases) EXPECT_EQ(!update::ZipProblem(c.bytes), c.sound) << c.what;
}

TEST(UpdateSource, OnlyHttpsOrThisMachinesLoopback) {
    for (const char* url : {"https://updates.example", "HTTPS://u.example:8443/x", "http://127.0.0.1:8080/staging",
                            "http://localhost", "http://[::1]:81"})
        EXPECT_TRUE(update::IsTrustedUpdateUrl(url)) << url;
    for (const char* url : {"http://updates.example", "http://127.0.0.1.evil.example/", "http://localhost.evil.example",
                            "http://127.0.0.1@evil.example/", "http://localhost:", "ftp://127.0.0.1/", "https://",
                            "file://C:/x", ""})
        EXPECT_FALSE(update::IsTrustedUpdateUrl(url)) << url;
}

constexpr const char* kVersionUrl = "https://updates.quillbay.com/quillbay/version.txt?ver=1.0.10";

// The window over a fake server answering the version query and the package download.
struct UpdateWorld : World {
    UpdateWorld() {
        fs.AddFile(fs.systemFolder + "\\wscript.exe", "MZ");
        lang::InitLanguageFromSystem(1033);
        main.started = true;
        signatures.point = *update::P256PointFromPem(update::TrustedUpdateKey());
    }
    void Serve(const std::string& version, const std::string& body) {
        http.answers[kVersionUrl] = {200, body};
        ServePackage(version, ZipBuilder{}.Build());
    }
    // The package and, unless told otherwise, its signature.
    void ServePackage(const std::string& version, const std::string& bytes, std::optional<HttpResponse> signature = {}) {
        const std::string url = "https://updates.quillbay.com/quillbay/download/" + version + ".zip";
        http.answers[url] = {200, bytes};
        http.answers[url + ".sig"] = signature ? *signature : HttpResponse{200, signatures.Sign(bytes)};
    }
    // Where the package goes: a fresh folder below the temporary folder.
    std::string Staged(const std::string& name) const { return fs.tempFolder + "\\quillbay-update-rad1\\" + name; }
};

TEST(UpdateCheck, AnswersOfTheServerAndTheirBoxes) {
    const struct {
        const char* what;
        std::function<void(UpdateWorld&)> arrange;
        std::string box;
        MsgStyle style;
        bool logged = false;
        std::size_t requests = 1;
    } cases[] = {
        {"same version", [](UpdateWorld& w) { w.Serve("", "1.0.10\nnotes"); }, "You are currently using the latest version.",
         MsgStyle::Information},
        {"not found", [](UpdateWorld& w) { w.http.answers[kVersionUrl] = {404, "gone"}; },
         "Failed to check for updates, cannot connect to update server. Status code: 404", MsgStyle::Critical},
        {"no server", [](UpdateWorld&) {},
         "An error occurred while checking for updates: A connection with the server could not be established",
         MsgStyle::Critical, true},
        {"empty answer", [](UpdateWorld& w) { w.Serve("", ""); },
         "An error occurred while checking for updates: The update server's answer is empty.", MsgStyle::Critical, true},
        {"newer, declined", [](UpdateWorld& w) {
             w.Serve("1.0.11", "1.0.11\r\nFaster deployment\r\n");
             w.ui.yesNoAnswer = MsgAnswer::No;
         },
         "New version found: 1.0.11 (Current version: 1.0.10)\r\n\r\nUpdate Content:\r\nFaster deployment\r\n\r\n\r\n"
         "Download and update now?", MsgStyle::YesNoInformation},
        {"staging server from the machine's policy", [](UpdateWorld& w) {
             w.shell.registry[Lower(update::kUpdateSourcePolicy)] = " http://127.0.0.1:8080/staging// ";
             w.http.answers["http://127.0.0.1:8080/staging/quillbay/version.txt?ver=1.0.10"] = {200, "1.0.10"};
         },
         "You are currently using the latest version.", MsgStyle::Information},
        {"a policy naming a plain http server",
         [](UpdateWorld& w) { w.shell.registry[Lower(update::kUpdateSourcePolicy)] = "http://updates.example"; },
         "An error occurred while checking for updates: The update server set by policy "
         "(HKLM\\SOFTWARE\\Policies\\Quillbay\\UpdateBaseUrl) is not an https URL: http://updates.example",
         MsgStyle::Critical, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateWorld w;
        c.arrange(w);
        app::OnCommand(w.main, Id::mnuHelpCheckUpdate);
        ASSERT_EQ(w.http.requests.size(), c.requests);
        for (const HttpTimeouts& t : w.http.requests) EXPECT_TRUE(t.receive == 5000 && t.resolve == 3000);
        EXPECT_EQ(w.ui.OnlyBox().text, c.box);
        EXPECT_EQ(w.ui.OnlyBox().style, c.style);
        EXPECT_EQ(w.ui.Text(Id::lblStatus), "Ready, please select chain(s) to import...");
        EXPECT_EQ(w.ErrorLog().find("mnuHelpCheckUpdate_Click") != std::string::npos, c.logged);
        EXPECT_FALSE(w.host.ended);
    }
}

// After Yes the package and its signature are downloaded (without a time-out), checked, written
// into a folder of their own, and the script started without waiting for it while the program
// ends; a failure keeps the program running. The requests, the files written and the launch
// line are checked end to end (98-update).
TEST(UpdateCheck, YesHandsASignedPackageToTheScriptOrKeepsTheProgramRunning) {
    const std::string refused = "The downloaded update package is damaged or is not a Quillbay package. Nothing was changed.";
    const std::string zip = ZipBuilder{}.Build();
    const std::string url = "https://updates.quillbay.com/quillbay/download/1.0.11.zip";
    const struct {
        const char* what;
        std::function<void(UpdateWorld&)> arrange;
        bool staged;            // update.zip was written
        std::string box, logged;  // no box: the program ends
    } cases[] = {
        {"a signed package", [](UpdateWorld&) {}, true, "", ""},
        {"not found", [&](UpdateWorld& w) { w.http.answers[url] = {404, "<html>"}; }, false, "Download failed! Status code: 404", ""},
        {"empty body", [&](UpdateWorld& w) { w.http.answers[url] = {200, ""}; }, false, "Download failed! Status code: 200", ""},
        {"a cut-off zip", [&](UpdateWorld& w) { w.ServePackage("1.0.11", zip.substr(0, 60)); }, false, refused,
         "The update package was refused: not a usable zip"},
        {"no signature", [&](UpdateWorld& w) { w.ServePackage("1.0.11", zip, HttpResponse{404, "gone"}); }, false, refused,
         "The update package was refused: no signature (status code 404): " + url},
        {"an empty signature file", [&](UpdateWorld& w) { w.ServePackage("1.0.11", zip, HttpResponse{200, ""}); }, false, refused,
         "The update package was refused: no signature"},
        {"a signature of other data",
         [&](UpdateWorld& w) { w.ServePackage("1.0.11", zip, HttpResponse{200, w.signatures.Sign("x")}); }, false, refused,
         "the signature does not match the package"},
        {"a signature file that is no signature", [&](UpdateWorld& w) { w.ServePackage("1.0.11", zip, HttpResponse{200, "sig"}); },
         false, refused, "the signature file is not an ECDSA signature"},
        {"a folder of the same name made first", [&](UpdateWorld& w) { w.fs.AddFolder(w.Staged("")); }, false,
         "An error occurred while checking for updates: Cannot create a file when that file already exists.",
         "mnuHelpCheckUpdate_Click"},
        {"the script host cannot start",
         [](UpdateWorld& w) {
             w.shell.onRun = [](const std::string&) -> std::int32_t { throw Failure(2, "The system cannot find the file specified."); };
         },
         true, "无法启动更新程序。请手动重启。", "VBA error: The system cannot find the file specified."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UpdateWorld w;
        w.Serve("1.0.11", "1.0.11");
        c.arrange(w);
        app::OnCommand(w.main, Id::mnuHelpCheckUpdate);
        ASSERT_GE(w.http.requests.size(), 2u);
        EXPECT_EQ(w.http.requests[1].receive, 0);
        EXPECT_EQ(w.fs.Content(w.Staged("update.zip")).has_value(), c.staged);
        EXPECT_EQ(w.host.ended, c.box.empty());
        ASSERT_EQ(w.ui.boxes.size(), c.box.empty() ? 1u : 2u);  // the prompt, and the failure's
        if (c.box.empty()) {
            // Package and script in a folder of their own that only administrators can write.
            EXPECT_EQ(w.fs.adminOnlyFolders, std::set<std::string>{Lower(w.Staged("").substr(0, w.Staged("").size() - 1))});
            ASSERT_EQ(w.shell.runs.size(), 1u);
            EXPECT_TRUE(w.shell.runs[0].style == WindowStyle::Normal && !w.shell.runs[0].wait);
        } else {
            EXPECT_EQ(w.ui.boxes[1].text, c.box);
            EXPECT_EQ(w.ui.boxes[1].style, MsgStyle::Critical);
            EXPECT_EQ(w.ui.Text(Id::lblStatus), "Ready, please select chain(s) to import...");
        }
        if (c.logged.empty()) EXPECT_EQ(w.ErrorLog(), "");
        else EXPECT_THAT(w.ErrorLog(), HasSubstr(c.logged));
    }
}

TEST(UpdateCheck, RelaunchLineQuotesEveryArgument) {
    EXPECT_EQ(update::UpdateLaunchLine("C:\\Windows\\System32\\wscript.exe", "a b.vbs", "u.zip", "D:\\", "D:\\Quillbay"),
              "C:\\Windows\\System32\\wscript.exe \"a b.vbs\" \"u.zip\" \"D:\\\" \"D:\\Quillbay\"");
}

}  // namespace
}  // namespace quillbay::testing
