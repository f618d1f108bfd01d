// What a non-administrator could have placed is not trusted: the program folder before its files
// are used with administrator rights (a junction refuses, rights that let others change it stop
// Import and Deploy until it is restricted, secrets others can read are a warning), and a root
// that only the PFX vouches for.
#include <gtest/gtest.h>

#include "cli/program.h"
#include "fakes.h"

namespace quillbay::testing {
namespace {

using app::Id;
using app::MsgAnswer;
using app::MsgStyle;

TEST(ProgramFolder, TheWindowAsksOnceAndRestrictsOnlyOnYes) {
    for (const Id button : {Id::cmdImport, Id::cmdDeploy})
        for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
            const bool yes = answer == MsgAnswer::Yes;
            SCOPED_TRACE(std::string(button == Id::cmdImport ? "Import" : "Deploy") + (yes ? ", Yes" : ", No"));
            ServerWindow t;
            t.fs.access[Lower(t.host.appFolder)] = kOpenToUsers;
            t.Start();
            t.ui.yesNoAnswer = answer;
            app::OnCommand(t.main, button);
            ASSERT_FALSE(t.ui.boxes.empty());
            EXPECT_EQ(t.ui.boxes[0].text,
                      "Users other than administrators can change files in the folder 'C:\\Tools\\Quillbay'. A "
                      "certificate, password or chain file placed there would be imported with administrator "
                      "rights.\r\n\r\nRestrict the folder to administrators now? (No: nothing is done.)");
            EXPECT_EQ(t.ui.boxes[0].style, MsgStyle::YesNoExclamation);
            EXPECT_EQ(t.fs.adminOnlyFolders.count(Lower(t.host.appFolder)), yes ? 1u : 0u);
            EXPECT_EQ(t.Changes().empty(), !yes);
            EXPECT_EQ(t.ui.boxes.size() == 1, !yes);  // Yes goes on to the command's own boxes
            EXPECT_THAT(t.ErrorLog(), HasSubstr("Users other than administrators can change C:\\Tools\\Quillbay"));
            EXPECT_THAT(t.InfoLog(), HasSubstr(yes ? "C:\\Tools\\Quillbay restricted to Administrators and SYSTEM"
                                                   : "Stopped: the administrator left C:\\Tools\\Quillbay as it is"));
            EXPECT_TRUE(t.ui.Enabled(Id::cmdImport));
        }
}

TEST(ProgramFolder, AJunctionIsRefusedAndReadableSecretsAreOnlyLogged) {
    ServerWindow link;
    link.fs.access[Lower(link.AppPath("chain"))] = kLink;
    link.Start();
    app::OnCommand(link.main, Id::cmdImport);
    EXPECT_EQ(link.ui.OnlyBox().text, "'C:\\Tools\\Quillbay\\chain' is a junction or link to another place. Quillbay "
                                      "does not use it: put the files into an ordinary folder and try again. Nothing "
                                      "was changed.");
    EXPECT_EQ(link.ui.boxes[0].style, MsgStyle::Critical);
    EXPECT_TRUE(link.Changes().empty());

    ServerWindow readable;
    readable.fs.access[Lower(readable.AppPath("password.txt"))] = {false, false, true};
    readable.Start();
    app::OnCommand(readable.main, Id::cmdImport);
    EXPECT_EQ(readable.ui.OnlyBox().style, MsgStyle::Information);  // the import's own box
    EXPECT_THAT(readable.ErrorLog(), HasSubstr("Users other than administrators can read C:\\Tools\\Quillbay\\password.txt"));
    // The backup goes where only administrators can write.
    EXPECT_EQ(readable.fs.adminOnlyFolders, std::set<std::string>{Lower(readable.AppPath("backup"))});
}

struct ConsoleRun {
    int code;
    std::string out, err;
    bool changed, restricted;
};
ConsoleRun RunCli(const std::vector<std::string>& args, const std::function<void(FakeServer&)>& arrange) {
    FakeServer s;
    arrange(s);
    FakeConsole console;
    const int code = cli::RunConsole(s.machine, console, args);
    lang::ResetLanguageState();
    return {code, console.out, console.err, !s.Changes().empty(), s.fs.adminOnlyFolders.count(Lower(s.host.appFolder)) > 0};
}

TEST(Trust, TheConsoleStopsUnlessToldToRestrictAndWarnsOfAnUntrustedRoot) {
    const auto open = [](FakeServer& s) { s.fs.access[Lower(s.host.appFolder)] = kOpenToUsers; };
    const std::string icacls =
        "icacls \"C:\\Tools\\Quillbay\" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F, then: "
        "icacls \"C:\\Tools\\Quillbay\\*\" /reset /T /C";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::function<void(FakeServer&)> arrange;
        int code;
        bool changed, restricted;
        std::string said;
    } cases[] = {
        {"import refused", {"import", "--json"}, open, 2, false, false, "\"code\":\"folder-writable\""},
        {"deploy refused", {"deploy", "--all", "--json"}, open, 2, false, false, icacls},
        {"a dry run restricts nothing", {"deploy", "--all", "--dry-run", "--restrict-folder"}, open, 2, false, false,
         "Users other than administrators can change 'C:\\Tools\\Quillbay'"},
        {"import restricted first", {"import", "--restrict-folder"}, open, 0, true, true,
         "Restricted 'C:\\Tools\\Quillbay' to administrators."},
        {"a PFX elsewhere that others can change",
         {"import", "--restrict-folder", "--pfx", "D:\\certs\\site.pfx"},
         [](FakeServer& s) {
             s.fs.AddFile("D:\\certs\\site.pfx", "PFX");
             s.fs.access[Lower("D:\\certs\\site.pfx")] = kOpenToUsers;
         },
         2, false, false, "can change 'D:\\certs\\site.pfx'"},
        {"a junction", {"import", "--restrict-folder"}, [](FakeServer& s) { s.fs.access[Lower(s.AppPath("backup"))] = kLink; },
         2, false, false, "'C:\\Tools\\Quillbay\\backup' is a junction"},
        {"check names the folder and the commands", {"check"}, open, 2, false, false, icacls},
        {"check warns of a readable PFX", {"check", "--json"},
         [](FakeServer& s) { s.fs.access[Lower(s.AppPath("fullchain.pfx"))] = {false, false, true}; }, 1, false, false,
         "\"code\":\"secret-readable\""},
        {"check warns of a root the machine does not trust", {"check", "--json"},
         [](FakeServer& s) { s.pkcs12.trustedRoots.clear(); }, 1, false, false, "\"code\":\"root-untrusted\""},
    };
    for (const auto& c : cases) {
        const ConsoleRun r = RunCli(c.args, [&](FakeServer& s) {
            s.fs.AddFolder(s.AppPath("backup"));
            c.arrange(s);
        });
        EXPECT_EQ(r.code, c.code) << c.what << r.err;
        EXPECT_EQ(r.changed, c.changed) << c.what;
        EXPECT_EQ(r.restricted, c.restricted) << c.what;
        EXPECT_THAT(r.out + r.err, HasSubstr(c.said)) << c.what;
    }
}

}  // namespace
}  // namespace quillbay::testing
