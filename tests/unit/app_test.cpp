// The window's handlers: what they show for the work's results, and the window's rules.
#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;
using app::Id;
using app::MsgStyle;
using lang::GetLangString;

namespace {

class App : public ::testing::Test {
protected:
    // Start-up done in English: commands are taken from here on.
    void SetUp() override {
        lang::InitLanguageFromSystem(1033);
        w.main.started = true;
    }
    World w;
};

TEST_F(App, SiteListRendersEachOutcome) {
    AppcmdStage stage(w);
    // Nothing at all from appcmd: the list stays empty and the controls as they were.
    stage.namesOverride = Captured{0, ""};
    w.ui.ListAdd(Id::lstSites, "old");
    w.ui.SetEnabled(Id::cmdDeploy, false);
    app::PopulateSitesList(w.main);
    EXPECT_TRUE(w.ui.C(Id::lstSites).items.empty());
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_TRUE(w.ui.Enabled(Id::lstSites));

    // Blank lines only: no site, deployment off.
    stage.namesOverride = Captured{0, "\r\n \r\n"};
    app::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{GetLangString("MsgBox_NoIISFound")});
    EXPECT_FALSE(w.ui.Enabled(Id::mnuToolsSetPort));

    // Sites listed with their host names, the first selected, deployment on.
    stage.namesOverride.reset();
    stage.sites = {{"A", "http/*:80:a.com"}, {"B", "http/*:80:"}};
    app::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items, (std::vector<std::string>{"A (a.com)", "B"}));
    EXPECT_EQ(w.ui.C(Id::lstSites).selected, (std::vector<bool>{true, false}));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy) && w.ui.Enabled(Id::lstSites));

    // Then appcmd refuses the listing: its error text is no site; the failure is logged and shown.
    stage.namesOverride = Captured{5, "ERROR ( message:Access is denied. )\r\n"};
    app::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{GetLangString("MsgBox_ErrorLoadingSites")});
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_THAT(w.ErrorLog(), HasSubstr("The sites could not be listed: ERROR ( message:Access is denied. ) (代码: 5)"));
}

// The server's two chain files listed and selected at start-up. What each outcome shows is
// checked against the console's (outcome_test).
class ImportClick : public ::testing::Test {
protected:
    void SetUp() override { w.Start(); }
    ServerWindow w;
};

TEST_F(ImportClick, SuccessPaintsEveryStepAndEnablesDeploy) {
    w.ui.onDoEvents = [&] { EXPECT_FALSE(w.ui.Enabled(Id::cmdImport)); };
    app::OnCommand(w.main, Id::cmdImport);  // the box and the final status are checked end to end
    EXPECT_EQ(w.ui.OnlyBox().style, MsgStyle::Information);
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
    // Every status step was painted: all but the final one.
    EXPECT_EQ(w.ui.doEvents, static_cast<int>(w.ui.statusHistory.size()) - 1);
}

// The TLS submenu: one profile checked, kept for the user, named by Import's box; Unchanged runs
// neither reg.exe nor iisreset; Compatible says when it switches old protocols back on.
TEST_F(ImportClick, TheChosenTlsProfileIsKeptAndNamed) {
    const auto checked = [&] {
        return std::vector<bool>{w.ui.MenuChecked(Id::mnuChainTlsCompatible), w.ui.MenuChecked(Id::mnuChainTlsModern),
                                 w.ui.MenuChecked(Id::mnuChainTlsUnchanged)};
    };
    EXPECT_EQ(checked(), (std::vector<bool>{true, false, false}));
    app::OnCommand(w.main, Id::mnuChainTlsUnchanged);
    EXPECT_EQ(checked(), (std::vector<bool>{false, false, true}));
    w.host.settings["TlsProfile"] = "modern";  // as a later run finds what an earlier one kept
    app::LoadTlsProfile(w.main);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false}));
    app::OnCommand(w.main, Id::mnuChainTlsUnchanged);
    EXPECT_EQ(w.host.settings["TlsProfile"], "unchanged");

    app::OnCommand(w.main, Id::cmdImport);
    EXPECT_EQ(w.ui.OnlyBox().text, "Certificate import successful! Imported 2 certificate chains and 1 PFX certificate.\r\n"
                                   "You can now select sites from the right list for deployment.\r\n"
                                   "TLS settings: left unchanged (no registry value written, IIS not restarted).");
    EXPECT_EQ(w.Count("reg.exe") + w.Count("iisreset"), 0u);

    w.ui.boxes.clear();
    w.shell.registry[Lower("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber")] = "26100";
    app::OnCommand(w.main, Id::mnuChainTlsCompatible);
    app::OnCommand(w.main, Id::cmdImport);
    EXPECT_THAT(w.ui.OnlyBox().text, EndsWith("\r\nTLS settings: the Compatible profile. Backup: C:\\Tools\\Quillbay\\backup\\"
                                              "SecurityProviders-20261206090507.reg and C:\\Tools\\Quillbay\\backup\\"
                                              "SecurityProviders-20261206090507-undo.reg.\r\nThe Compatible profile switches "
                                              "TLS 1.0 and TLS 1.1 back on, which this system has off; the Modern profile keeps them off."));
    EXPECT_THAT(w.ui.Text(Id::lblStatus), EndsWith(" TLS: Compatible."));
}

// A PFX this release cannot read is named as such, before certutil could blame the password.
TEST_F(ImportClick, AnAesPfxOnAnOlderServerIsRefusedBeforeAnythingIsImported) {
    w.fs.AddFile(w.AppPath("fullchain.pfx"), Fixture("nonascii.pfx"));
    w.shell.registry[Lower("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber")] = "9600";
    app::OnCommand(w.main, Id::cmdImport);
    EXPECT_EQ(w.ui.OnlyBox().style, MsgStyle::Critical);
    EXPECT_THAT(w.ui.OnlyBox().text, HasSubstr("this system is build 9600, where certutil would report a wrong password"));
    EXPECT_THAT(w.ui.OnlyBox().text, EndsWith("\r\n\r\nNothing was imported."));
    EXPECT_TRUE(w.Changes().empty());
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
}

TEST_F(ImportClick, NothingSelectedOrUnexpectedFailureAndTheButtonsComeBack) {
    for (int i = 0; i < 2; ++i) w.ui.ListSetSelected(Id::lstCertificates, i, false);
    w.ui.SetEnabled(Id::lstSites, false);  // no usable sites: Deploy stays off
    app::cmdImport_Click(w.main);
    EXPECT_EQ(w.ui.OnlyBox().text, GetLangString("MsgBox_Import_SelectCert"));
    EXPECT_TRUE(w.shell.runs.empty());
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));

    struct FailingUi : FakeUi {
        bool ListSelected(Id, int) override { throw Failure(5, "Invalid procedure call"); }
    } ui;
    app::Main m{ui, w.machine};
    ui.ListAdd(Id::lstCertificates, "a.crt");
    app::cmdImport_Click(m);
    EXPECT_EQ(ui.OnlyBox().text, "An unexpected error occurred during import: Invalid procedure call");
    EXPECT_THAT(w.ErrorLog(), HasSubstr("'cmdImport_Click' 中发生错误: Invalid procedure call (代码: 5)"));
    EXPECT_TRUE(ui.Enabled(Id::cmdImport));
}

TEST_F(App, ManualImportCountsWhatWorkedAndReportsAFolderItCannotMake) {
    app::mnuChainManualImport_Click(w.main);  // cancelled: nothing happens
    EXPECT_TRUE(w.ui.boxes.empty());
    w.fs.AddFile("D:\\z.crt", "Z");
    w.fs.onCopy = [](const std::string&) { throw Failure(70, "Permission denied"); };
    w.ui.fileDialogResult = "D:\\z.crt";
    app::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.ui.OnlyBox().text, "Manual import operation completed.\r\n\r\nSuccessfully imported 1 certificates to system "
                                   "intermediate certificate store.\r\nSuccessfully copied 0 files to 'chain/' directory.");

    FakeMachine blocked;  // a file where the chain folder should be
    blocked.fs.AddFile(blocked.AppPath("chain"), "x");
    FakeUi ui;
    app::Main m{ui, blocked.machine};
    ui.fileDialogResult = "D:\\z.crt";
    app::mnuChainManualImport_Click(m);
    EXPECT_EQ(ui.OnlyBox().text, "An error occurred during manual import: Cannot create a file when that file already exists.");
}

TEST_F(App, PickedFilesFromTheDialogsResult) {
    using V = std::vector<std::string>;
    // One file and several from a folder are picked in the real dialog (70-manual-import).
    EXPECT_EQ(app::PickedFiles("D:\\\0a.crt"s), V{"D:\\a.crt"});  // a drive root keeps one backslash
}

}  // namespace
