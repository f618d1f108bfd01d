// The window's handlers: what they show for the work's results, and the window's rules.
#include <gtest/gtest.h>

#include "app/handlers.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;
using app::CheckState;
using app::Id;
using app::MsgStyle;
using lang::GetLangString;

namespace {

class App : public ::testing::Test {
protected:
    void SetUp() override { lang::ResetLanguageState(); }
    void TearDown() override { lang::ResetLanguageState(); }
    // Start-up done in English: commands are taken from here on.
    void Started() {
        lang::InitLanguageFromSystem(1033);
        w.main.started = true;
    }
    World w;
};

// --- the site list --------------------------------------------------------------------------

TEST_F(App, SiteClickRule) {
    Started();
    struct Case {
        bool iis8;
        bool started;
        std::vector<bool> before;
        int clicked;  // -1: no caret
        std::vector<int> after;
    };
    const Case cases[] = {
        // Clicks below and from IIS 8 on are driven through the real list (60-site-list).
        {false, true, {true, true, false}, -1, {0, 1}},  // no caret: nothing changes
        {false, false, {true, false, false}, 1, {0, 1}}, // during start-up the rule waits
    };
    for (const Case& c : cases) {
        World world;
        world.main.started = c.started;
        world.main.m_IsIIS8OrGreater = c.iis8;
        for (std::size_t i = 0; i < c.before.size(); ++i) world.ui.ListAdd(Id::lstSites, "s");
        world.ui.C(Id::lstSites).selected = c.before;
        if (c.clicked >= 0) world.ui.ClickItem(Id::lstSites, c.clicked);
        app::lstSites_Click(world.main);
        EXPECT_EQ(world.ui.SelectedIndices(Id::lstSites), c.after) << c.clicked;
    }
}

TEST_F(App, SiteListRendersEachOutcome) {
    Started();
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

    // appcmd refused the listing: its error text is no site; the failure is logged and shown.
    stage.namesOverride = Captured{5, "ERROR ( message:Access is denied. )\r\n"};
    app::PopulateSitesList(w.main);
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{GetLangString("MsgBox_ErrorLoadingSites")});
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_NE(w.ErrorLog().find("The sites could not be listed: ERROR ( message:Access is denied. ) (代码: 5)"),
              std::string::npos);
}

TEST_F(App, SiteListAndRewriteFailuresAreLoggedAndShownInTheWindow) {
    lang::InitLanguageFromSystem(1033);
    struct FailingUi : FakeUi {
        int adds = 0;
        void ListAdd(Id list, const std::string& item) override {
            if (list == Id::lstSites && ++adds == 2) throw Failure(7, "Out of memory");
            FakeUi::ListAdd(list, item);
        }
        void SetEnabled(Id id, bool e) override {
            if (id == Id::chkHttpRedirect && e) throw Failure(91, "Object variable not set");
            FakeUi::SetEnabled(id, e);
        }
    } ui;
    app::Main m{ui, w.machine};
    AppcmdStage stage(w);
    stage.sites = {{"A", "http/*:80:a.com"}, {"B", "http/*:80:"}};
    app::PopulateSitesList(m);
    EXPECT_EQ(ui.C(Id::lstSites).items, (std::vector<std::string>{"A (a.com)", GetLangString("MsgBox_ErrorLoadingSites")}));
    EXPECT_FALSE(ui.Enabled(Id::lstSites));
    EXPECT_FALSE(ui.Enabled(Id::cmdDeploy));
    EXPECT_NE(w.ErrorLog().find("'PopulateSitesList' 中发生错误: Out of memory (代码: 7)"), std::string::npos);

    m.m_RewriteModuleInstalled = true;
    EXPECT_FALSE(app::CheckRewriteModuleInstalled(m));
    EXPECT_EQ(ui.CheckValue(Id::chkHttpRedirect), CheckState::Unchecked);
    EXPECT_NE(w.ErrorLog().find("'CheckRewriteModuleInstalled' 中发生错误: Object variable not set (代码: 91)"),
              std::string::npos);
}

// --- import -----------------------------------------------------------------------------------

// The server's two chain files listed and selected at start-up.
class ImportClick : public ::testing::Test {
protected:
    void SetUp() override { w.Start(); }
    void TearDown() override { lang::ResetLanguageState(); }
    ServerWindow w;
};

TEST_F(ImportClick, SuccessPaintsEveryStepAndEnablesDeploy) {
    w.ui.onDoEvents = [&] { EXPECT_FALSE(w.ui.Enabled(Id::cmdImport)); };
    app::OnCommand(w.main, Id::cmdImport);  // the box and the final status are checked end to end
    EXPECT_EQ(w.ui.OnlyBox().style, MsgStyle::Information);
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
    // Every status step was painted, the counted chain steps included.
    const std::vector<std::string>& h = w.ui.statusHistory;
    EXPECT_EQ(std::vector<std::string>(h.begin(), h.begin() + 3),
              (std::vector<std::string>{"Importing certificates, please wait...", "Imported 1 of 2", "Imported 2 of 2"}));
    EXPECT_EQ(w.ui.doEvents, static_cast<int>(h.size()) - 1);  // all but the final status
}

// The box of each outcome is checked against the console's (outcome_test); the status line
// is the window's own: it names the gravest kind of problem.
TEST_F(ImportClick, TheStatusLineNamesTheGravestProblem) {
    const struct {
        const char* what;
        std::function<void(ServerWindow&)> arrange;
        std::string status;
    } cases[] = {
        {"no password file", [](ServerWindow& t) { t.fs.Delete(t.AppPath("password.txt")); },
         "Import incomplete: not every certificate was imported. Check the files and import again."},
        {"the backup failed", [](ServerWindow& t) { t.Fail(" export ", 1); },
         "Certificates imported, but some security settings could not be applied."},
        {"iisreset failed after everything else worked", [](ServerWindow& t) { t.Fail("iisreset.exe", 3); },
         "IIS could not be restarted; check that its services are running (iisreset exit code 3)."},
        {"a chain and the restart failed",
         [](ServerWindow& t) {
             t.shell.onRun = [](const std::string& l) {
                 return l.find("inter.crt") != std::string::npos ? 1 : l.find("iisreset") != std::string::npos ? 3 : 0;
             };
         },
         "Import incomplete: not every certificate was imported. Check the files and import again."},
    };
    for (const auto& c : cases) {
        ServerWindow t;
        t.Start();
        c.arrange(t);
        app::cmdImport_Click(t.main);
        EXPECT_EQ(t.ui.Text(Id::lblStatus), c.status) << c.what;
    }
}

TEST_F(ImportClick, NothingSelectedOrUnexpectedFailureAndTheButtonsComeBack) {
    for (int i = 0; i < 2; ++i) w.ui.ListSetSelected(Id::lstCertificates, i, false);
    w.ui.SetEnabled(Id::lstSites, false);  // no usable sites: Deploy stays off
    app::cmdImport_Click(w.main);
    EXPECT_EQ(w.ui.OnlyBox().text, GetLangString("MsgBox_Import_SelectCert"));
    EXPECT_EQ(w.ui.OnlyBox().title, "Quillbay");
    EXPECT_TRUE(w.shell.runs.empty());
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));

    struct FailingUi : FakeUi {
        bool ListSelected(Id, int) override { throw Failure(5, "Invalid procedure call"); }
    } ui;
    app::Main m{ui, w.machine};
    ui.ListAdd(Id::lstCertificates, "a.crt");
    app::cmdImport_Click(m);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "An unexpected error occurred during import: Invalid procedure call");
    EXPECT_EQ(ui.boxes[0].title, GetLangString("MsgBox_Import_UnexpectedError_Title"));
    EXPECT_NE(w.ErrorLog().find("'cmdImport_Click' 中发生错误: Invalid procedure call (代码: 5)"), std::string::npos);
    EXPECT_TRUE(ui.Enabled(Id::cmdImport));
}

// --- the chain menu -------------------------------------------------------------------------

TEST_F(App, ManualImportCountsWhatWorkedAndReportsAFolderItCannotMake) {
    Started();
    app::mnuChainManualImport_Click(w.main);  // cancelled: nothing happens
    EXPECT_TRUE(w.ui.boxes.empty());
    w.fs.AddFile("D:\\z.crt", "Z");
    w.fs.onCopy = [](const std::string&) { throw Failure(70, "Permission denied"); };
    w.ui.fileDialogResults = {"D:\\z.crt"};
    app::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.ui.OnlyBox().text, "Manual import operation completed.\r\n\r\nSuccessfully imported 1 certificates to system "
                                   "intermediate certificate store.\r\nSuccessfully copied 0 files to 'chain/' directory.");

    FakeMachine blocked;  // a file where the chain folder should be
    blocked.fs.AddFile(blocked.AppPath("chain"), "x");
    blocked.fs.AddFile("D:\\z.crt", "Z");
    FakeUi ui;
    app::Main m{ui, blocked.machine};
    ui.fileDialogResults = {"D:\\z.crt"};
    app::mnuChainManualImport_Click(m);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "An error occurred during manual import: Cannot create a file when that file already exists.");
    EXPECT_EQ(ui.boxes[0].style, MsgStyle::Critical);
    EXPECT_NE(blocked.ErrorLog().find("'mnuChainManualImport_Click' 中发生错误: Cannot create a file when that file already exists. (代码: 183)"),
              std::string::npos);
    EXPECT_FALSE(ui.busy);
}

TEST_F(App, PickedFilesFromTheDialogsResult) {
    using V = std::vector<std::string>;
    // One file and several from a folder are picked in the real dialog (70-manual-import).
    EXPECT_EQ(app::PickedFiles(""), V{});
    EXPECT_EQ(app::PickedFiles("D:\\\0a.crt"s), V{"D:\\a.crt"});  // a drive root keeps one backslash
}

// --- small commands ---------------------------------------------------------------------------

TEST_F(App, AFailureNoHandlerCaughtIsLoggedAndShown) {
    Started();
    struct FailingUi : FakeUi {
        std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
            throw Failure(1400, "Invalid window handle.");
        }
    } ui;
    app::Main m{ui, w.machine};
    m.started = true;
    EXPECT_NO_THROW(app::OnCommand(m, Id::mnuToolsSetPort));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Invalid window handle.");
    EXPECT_EQ(ui.boxes[0].style, MsgStyle::Critical);
    EXPECT_NE(w.ErrorLog().find("'OnCommand' 中发生错误: Invalid window handle. (代码: 1400)"), std::string::npos);
}

}  // namespace
