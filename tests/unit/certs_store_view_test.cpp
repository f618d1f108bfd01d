#include <gtest/gtest.h>

#include "certs/store_view.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using lang::GetLangString;

namespace {

const std::string kSep = "----------------------------------------\r\n";
const std::string kFallbackRecord =
    "[2026/12/6 9:05:07] 在过程 'mnuChainViewSystemStore_Click' 中发生错误: "
    "certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。 (代码: 2)\r\n";

class StoreView : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::SetCurrentLanguage(lang::kEnglish);
    }
    void TearDown() override { lang::ResetLanguageState(); }

    void Unstartable(std::initializer_list<const char*> names) {
        std::vector<std::string> list(names.begin(), names.end());
        w.shell.onRun = [list](const std::string& line) -> std::int32_t {
            for (const auto& n : list)
                if (line == n) throw Failure(line == "certlm.msc" ? 2 : 1155, "No application is associated.");
            return 0;
        };
    }

    World w;
};

TEST_F(StoreView, LocalComputerManagerStarts) {
    certs::mnuChainViewSystemStore_Click(w.main);
    ASSERT_EQ(w.shell.runs.size(), 1u);
    EXPECT_EQ(w.shell.runs[0].commandLine, "certlm.msc");
    EXPECT_EQ(w.shell.runs[0].windowStyle, 1);
    EXPECT_FALSE(w.shell.runs[0].wait);
    EXPECT_EQ(w.ui.statusHistory, (std::vector<std::string>{GetLangString("MsgBox_ViewSystemStore_Trying"),
                                                            GetLangString("lblStatus_Ready")}));
    EXPECT_EQ(w.ui.doEvents, 1);
    EXPECT_EQ(w.ErrorLog(), "");
    EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(StoreView, FallsBackToTheGeneralManager) {
    Unstartable({"certlm.msc"});
    certs::mnuChainViewSystemStore_Click(w.main);
    ASSERT_EQ(w.shell.runs.size(), 2u);
    EXPECT_EQ(w.shell.runs[1].commandLine, "certmgr.msc");
    EXPECT_EQ(w.shell.runs[1].windowStyle, 1);
    EXPECT_FALSE(w.shell.runs[1].wait);
    EXPECT_EQ(w.ErrorLog(), kFallbackRecord + kSep);
    EXPECT_EQ(w.ui.statusHistory,
              (std::vector<std::string>{GetLangString("MsgBox_ViewSystemStore_Trying"),
                                        GetLangString("MsgBox_ViewSystemStore_Fallback"),
                                        GetLangString("lblStatus_Ready")}));
    EXPECT_EQ(w.ui.doEvents, 2);
    EXPECT_TRUE(w.ui.boxes.empty());
}

TEST_F(StoreView, NeitherStarts) {
    Unstartable({"certlm.msc", "certmgr.msc"});
    certs::mnuChainViewSystemStore_Click(w.main);
    EXPECT_EQ(w.ErrorLog(), kFallbackRecord + kSep +
                                "[2026/12/6 9:05:07] 在过程 'mnuChainViewSystemStore_Click' 中发生错误: "
                                "Unable to open Certificate Manager: No application is associated. (代码: 1155)\r\n" +
                                kSep);
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].style, 16);
    EXPECT_EQ(w.ui.boxes[0].title, "Certificate Manager Error");
    EXPECT_EQ(w.ui.boxes[0].text, GetLangString("MsgBox_ViewSystemStore_Failed") + "\r\n" +
                                      GetLangString("MsgBox_ViewSystemStore_AdminNeeded"));
    EXPECT_EQ(w.ui.statusHistory.back(), GetLangString("lblStatus_Ready"));
}

}  // namespace
