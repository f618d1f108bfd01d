#include <gtest/gtest.h>

#include "app/handlers.h"
#include "app/port_input.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override { lang::ResetLanguageState(); }
    void TearDown() override { lang::ResetLanguageState(); }
    World w;
};

// --- start-up -----------------------------------------------------------------------------

TEST_F(AppTest, StartUpInEachUserLanguage) {
    struct Case {
        std::uint16_t langId;
        const char* button;
        const char* heading;
        Id checked;
    };
    for (const Case& c : {Case{1033, "1. Import Chain and PFX", "IIS Site List (Multi-select enabled):", Id::mnuLanguageEnglish},
                          Case{2052, "1. 导入证书链和PFX", "IIS 站点列表 (可多选):", Id::mnuLanguageSimplifiedChinese},
                          Case{1028, "1. 匯入憑證鏈和PFX", "IIS 站點列表 (可多選):", Id::mnuLanguageTraditionalChinese},
                          Case{3076, "1. Import Chain and PFX", "IIS Site List (Multi-select enabled):", Id::mnuLanguageEnglish}}) {
        lang::ResetLanguageState();
        World world;
        world.host.uiLanguage = c.langId;
        world.shell.registry["hklm\\software\\microsoft\\inetstp\\majorversion"] = "10";
        world.fs.AddFile(world.fs.systemFolder + "\\inetsrv\\appcmd.exe", "MZ");
        ASSERT_TRUE(app::Form_Load(world.main));
        EXPECT_TRUE(world.main.m_IsIIS8OrGreater);
        EXPECT_EQ(world.ui.Text(Id::Main), "Quillbay");
        EXPECT_EQ(world.ui.Text(Id::cmdImport), c.button) << c.langId;
        EXPECT_EQ(world.ui.Text(Id::lblSiteList), c.heading) << c.langId;
        for (Id item : {Id::mnuLanguageEnglish, Id::mnuLanguageSimplifiedChinese, Id::mnuLanguageTraditionalChinese})
            EXPECT_EQ(world.ui.MenuChecked(item), item == c.checked) << c.langId;
        EXPECT_FALSE(world.ui.closed);
    }
}

TEST_F(AppTest, StartUpRunsItsStepsInOrderAndEndsOnTheFillRoutinesStatus) {
    // No IIS at all: the chain scan's text and the Ready text are overwritten by the site list's.
    w.fs.AddFile(w.AppPath("chain\\a.crt"), "x");
    ASSERT_TRUE(app::Form_Load(w.main));
    EXPECT_FALSE(w.main.m_IsIIS8OrGreater);
    EXPECT_EQ(w.ui.statusHistory,
              (std::vector<std::string>{"Ready, please select chain(s) to import...",
                                        "1 certificates found, all selected by default.",
                                        "IIS not detected, PFX deployment disabled."}));
    EXPECT_EQ(w.ui.Text(Id::lblSiteList), "IIS Site List (IIS Not Installed)");
    EXPECT_EQ(w.ui.C(Id::lstCertificates).items, std::vector<std::string>{"a.crt"});
    EXPECT_FALSE(w.ui.Enabled(Id::mnuToolsSetPort));
    // The module check still runs (through cmd.exe) and finds nothing.
    ASSERT_EQ(w.shell.runs.size(), 1u);
    EXPECT_NE(w.shell.runs[0].commandLine.find("list module \"RewriteModule\""), std::string::npos);
    EXPECT_FALSE(w.ui.Enabled(Id::chkHttpRedirect));
}

TEST_F(AppTest, StartUpFailureIsLoggedShownAndClosesTheWindow) {
    // A file where the chain folder should be: the folder cannot be created.
    w.fs.AddFile(w.AppPath("chain"), "not a folder");
    EXPECT_FALSE(app::Form_Load(w.main));
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].text, "An error occurred during form initialization: File already exists");
    EXPECT_EQ(w.ui.boxes[0].style, 16);
    EXPECT_EQ(w.ui.boxes[0].title, "Initialization Error");
    EXPECT_TRUE(w.ui.closed);
    EXPECT_NE(w.ErrorLog().find("在过程 'Form_Load' 中发生错误: File already exists (代码: 58)"), std::string::npos);
    // The site list was never reached.
    EXPECT_TRUE(w.ui.C(Id::lstSites).items.empty());
}

TEST_F(AppTest, StartUpFailureInChineseUsesChineseTexts) {
    w.host.uiLanguage = 2052;
    w.fs.AddFile(w.AppPath("chain"), "x");
    EXPECT_FALSE(app::Form_Load(w.main));
    EXPECT_EQ(w.ui.boxes.at(0).title, "初始化错误");
    EXPECT_EQ(w.ui.boxes.at(0).text.rfind("窗体加载过程中发生错误: ", 0), 0u);
}

// --- languages ------------------------------------------------------------------------------

TEST_F(AppTest, ApplyLanguageHeadingFollowsTheIISVersion) {
    lang::InitLanguageFromSystem(1033);
    w.main.m_IsIIS8OrGreater = false;
    app::ApplyLanguage(w.main);
    EXPECT_EQ(w.ui.Text(Id::lblSiteList), "IIS Site List (Only one):");
    w.main.m_IsIIS8OrGreater = true;
    app::ApplyLanguage(w.main);
    EXPECT_EQ(w.ui.Text(Id::lblSiteList), "IIS Site List (Multi-select enabled):");
}

TEST_F(AppTest, ApplyLanguageCaptionsEverythingAndTouchesNothingElse) {
    lang::InitLanguageFromSystem(1033);
    w.ui.ListAdd(Id::lstSites, "No IIS found in the system.");
    w.ui.SetEnabled(Id::cmdDeploy, false);
    w.ui.SetCheckValue(Id::chkHttpRedirect, 0);
    w.ui.SetText(Id::TxtHttpsPort, "8443");
    w.ui.SetText(Id::chkHttpRedirect, "Disable due to URLRewrite is not installed");
    w.ui.SetText(Id::lblStatus, "Import done");
    app::SetLanguage(w.main, lang::kTraditionalChinese);

    const std::map<Id, std::string> expected = {
        {Id::Main, "Quillbay"},
        {Id::cmdDeploy, "2. 部署PFX到選定站點"},
        {Id::chkHttpRedirect, "部署時強制HTTP跳轉到HTTPS"},
        {Id::lblHttpsPort, "HTTPS埠號:"},
        {Id::lblStatus, "已就緒，請選擇要匯入的憑證..."},
        {Id::lblCertList, "可匯入憑證鏈 (位於 'chain/' 文件夾):"},
        {Id::mnuFile, "檔案(&F)"},
        {Id::mnuFileExit, "離開(&X)"},
        {Id::mnuChain, "憑證鏈(&C)"},
        {Id::mnuChainManualImport, "手動匯入...(&M)"},
        {Id::mnuChainViewSystemStore, "查看系統庫(&V)"},
        {Id::mnuTools, "部署(&D)"},
        {Id::mnuToolsSetPort, "設定部署埠號(&P)..."},
        {Id::mnuHelp, "說明(&H)"},
        {Id::mnuHelpAbout, "關於(&A)..."},
        {Id::mnuHelpCheckUpdate, "檢查更新(&U)"},
        {Id::mnuLanguage, "語言(&L)"},
        {Id::mnuLanguageEnglish, "&English"},
        {Id::mnuLanguageSimplifiedChinese, "简体中文"},
        {Id::mnuLanguageTraditionalChinese, "繁體中文"},
    };
    for (const auto& [id, text] : expected) EXPECT_EQ(w.ui.Text(id), text) << static_cast<int>(id);
    EXPECT_TRUE(w.ui.MenuChecked(Id::mnuLanguageTraditionalChinese));
    EXPECT_FALSE(w.ui.MenuChecked(Id::mnuLanguageEnglish));
    // Lists, enabled states, the check and the port stay as they were.
    EXPECT_EQ(w.ui.C(Id::lstSites).items, std::vector<std::string>{"No IIS found in the system."});
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_EQ(w.ui.CheckValue(Id::chkHttpRedirect), 0);
    EXPECT_EQ(w.ui.Text(Id::TxtHttpsPort), "8443");
}

TEST_F(AppTest, LanguageMenuCommandsSwitchAndReapply) {
    lang::InitLanguageFromSystem(1033);
    app::OnCommand(w.main, Id::mnuLanguageSimplifiedChinese);
    EXPECT_EQ(lang::GetCurrentLanguage(), lang::kSimplifiedChinese);
    EXPECT_EQ(w.ui.Text(Id::cmdImport), "1. 导入证书链和PFX");
    w.ui.SetText(Id::lblStatus, "something");
    app::OnCommand(w.main, Id::mnuLanguageSimplifiedChinese);  // the current one again
    EXPECT_EQ(w.ui.Text(Id::lblStatus), "已就绪，请选择要导入的证书...");
    EXPECT_TRUE(w.ui.MenuChecked(Id::mnuLanguageSimplifiedChinese));
    app::OnCommand(w.main, Id::mnuLanguageEnglish);
    EXPECT_EQ(w.ui.Text(Id::cmdImport), "1. Import Chain and PFX");
    EXPECT_TRUE(w.ui.MenuChecked(Id::mnuLanguageEnglish));
    EXPECT_FALSE(w.ui.MenuChecked(Id::mnuLanguageSimplifiedChinese));
}

// --- site list clicks -----------------------------------------------------------------------

class SiteClicks : public AppTest {
protected:
    void Fill(int n) {
        for (int i = 0; i < n; ++i) w.ui.ListAdd(Id::lstSites, "site" + std::to_string(i));
    }
    void Click(int i) {
        w.ui.ClickItem(Id::lstSites, i);
        app::lstSites_Click(w.main);
    }
};

TEST_F(SiteClicks, BelowIIS8OnlyOneStaysSelected) {
    Fill(3);
    w.ui.ListSetSelected(Id::lstSites, 0, true);
    Click(1);
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), std::vector<int>{1});
    Click(2);
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), std::vector<int>{2});
    Click(2);  // deselects the only one
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), std::vector<int>{});
}

TEST_F(SiteClicks, IIS8SelectsFreely) {
    w.main.m_IsIIS8OrGreater = true;
    Fill(3);
    Click(0);
    Click(1);
    Click(2);
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), (std::vector<int>{0, 1, 2}));
}

TEST_F(SiteClicks, EmptyListOrNoCaretDoNothing) {
    app::lstSites_Click(w.main);  // empty
    Fill(2);
    w.ui.ListSetSelected(Id::lstSites, 0, true);
    w.ui.ListSetSelected(Id::lstSites, 1, true);
    app::lstSites_Click(w.main);  // caret -1
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstSites), (std::vector<int>{0, 1}));
}

TEST_F(SiteClicks, FailuresAreIgnored) {
    class FailingUi : public FakeUi {
    public:
        void ListSetSelected(Id list, int index, bool s) override {
            if (index == 0) throw Failure(5, "x");
            FakeUi::ListSetSelected(list, index, s);
        }
    } ui;
    app::Main m{app::Ports{ui, w.shell, w.fs, w.host, w.clock, w.pkcs12}};
    for (int i = 0; i < 3; ++i) ui.ListAdd(Id::lstSites, "s");
    ui.C(Id::lstSites).selected = {true, false, true};
    ui.ClickItem(Id::lstSites, 1);
    EXPECT_NO_THROW(app::lstSites_Click(m));
    EXPECT_EQ(ui.SelectedIndices(Id::lstSites), (std::vector<int>{0, 1}));  // index 2 still cleared
}

// --- small commands ---------------------------------------------------------------------------

TEST_F(AppTest, AboutShowsVersionFromTheVersionRecord) {
    lang::InitLanguageFromSystem(1033);
    app::OnCommand(w.main, Id::mnuHelpAbout);
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].text,
              "Quillbay\r\n\r\nVersion: 1.0.10\r\nA tool to simplify SSL certificate configuration and deployment on IIS servers.");
    EXPECT_EQ(w.ui.boxes[0].style, 64);
    EXPECT_EQ(w.ui.boxes[0].title, "About This Tool");

    lang::SetCurrentLanguage(lang::kSimplifiedChinese);
    w.host.ownVersion = {2, 3, 0, 45};
    app::mnuHelpAbout_Click(w.main);
    EXPECT_EQ(w.ui.boxes[1].text, "Quillbay\r\n\r\n版本: 2.3.45\r\n一个简化IIS服务器上SSL证书配置部署的工具。");
    EXPECT_EQ(w.ui.boxes[1].title, "关于本工具");
}

TEST_F(AppTest, ExitClosesTheWindow) {
    app::OnCommand(w.main, Id::mnuFileExit);
    EXPECT_TRUE(w.ui.closed);
    EXPECT_TRUE(w.ui.boxes.empty());
}

TEST(ParsePort, AcceptsWholeNumbersInRangeInCanonicalForm) {
    using app::ParsePort;
    EXPECT_EQ(ParsePort("443"), "443");
    EXPECT_EQ(ParsePort(" 443 "), "443");
    EXPECT_EQ(ParsePort("\t8443"), "8443");
    EXPECT_EQ(ParsePort("+1"), "1");
    EXPECT_EQ(ParsePort("65535"), "65535");
    EXPECT_EQ(ParsePort("00443"), "443");
    for (const char* bad : {"0", "65536", "-1", "1.5", "0.5", "abc", "4 43", "++1", "+", " ", "1e3", "0x1BB",
                            "99999999999999999999", "443x", "１２３"})
        EXPECT_EQ(ParsePort(bad), std::nullopt) << bad;
}

TEST_F(AppTest, SetPortValidInvalidAndCancel) {
    lang::InitLanguageFromSystem(1033);
    w.ui.inputAnswers = {std::string(" 8443 ")};
    app::OnCommand(w.main, Id::mnuToolsSetPort);
    EXPECT_EQ(w.ui.inputPrompts.at(0), "Enter new HTTPS deployment port (1-65535):|Set Port|443");
    EXPECT_EQ(w.ui.Text(Id::TxtHttpsPort), "8443");
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].text, "Deployment port updated to: 8443");
    EXPECT_EQ(w.ui.boxes[0].style, 64);
    EXPECT_EQ(w.ui.boxes[0].title, "Setting Success");

    w.ui.inputAnswers = {std::string("1.5")};
    app::mnuToolsSetPort_Click(w.main);
    EXPECT_EQ(w.ui.inputPrompts.at(1), "Enter new HTTPS deployment port (1-65535):|Set Port|8443");
    EXPECT_EQ(w.ui.Text(Id::TxtHttpsPort), "8443");
    EXPECT_EQ(w.ui.boxes[1].text, "Invalid port number! Please enter a number between 1 and 65535.");
    EXPECT_EQ(w.ui.boxes[1].style, 16);
    EXPECT_EQ(w.ui.boxes[1].title, "Input Error");

    // Cancel and an emptied field change nothing and show nothing.
    w.ui.inputAnswers = {std::nullopt, std::string("")};
    app::mnuToolsSetPort_Click(w.main);
    app::mnuToolsSetPort_Click(w.main);
    EXPECT_EQ(w.ui.boxes.size(), 2u);
    EXPECT_EQ(w.ui.Text(Id::TxtHttpsPort), "8443");
}

TEST_F(AppTest, UnexpectedFailureOfACommandIsReportedNotCrashing) {
    lang::InitLanguageFromSystem(1033);
    class FailingUi : public FakeUi {
    public:
        std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
            throw Failure(1400, "Invalid window handle.");
        }
    } ui;
    app::Main m{app::Ports{ui, w.shell, w.fs, w.host, w.clock, w.pkcs12}};
    EXPECT_NO_THROW(app::OnCommand(m, Id::mnuToolsSetPort));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style, 16);
    EXPECT_NE(w.ErrorLog().find("Invalid window handle. (代码: 1400)"), std::string::npos);
}

}  // namespace
