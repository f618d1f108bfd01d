#include <gtest/gtest.h>

#include <algorithm>

#include "certs/chain_scan.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;
using lang::GetLangString;

namespace {

const std::string kChain = "C:\\Tools\\Quillbay\\chain";

class Scan : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::SetCurrentLanguage(lang::kEnglish);
    }
    void TearDown() override { lang::ResetLanguageState(); }

    std::vector<std::string> Items() { return w.ui.C(Id::lstCertificates).items; }

    World w;
};

TEST_F(Scan, MissingFolderIsCreatedAndNothingIsFound) {
    w.ui.ListAdd(Id::lstCertificates, "stale.crt");
    w.ui.SetEnabled(Id::cmdImport, true);
    certs::ScanChainFolder(w.main);
    EXPECT_TRUE(w.fs.FolderExists(kChain));
    EXPECT_TRUE(Items().empty());
    EXPECT_EQ(w.ui.Text(Id::lblStatus), "No certificates found in 'chain/' directory, please import manually.");
    EXPECT_FALSE(w.ui.Enabled(Id::cmdImport));
}

TEST_F(Scan, ExtensionsInAnyCaseAreListedAndSelectedOthersNot) {
    for (const char* n : {"ROOT.CRT", "inter.Cer", "x.der", "notes.txt", "chain.pem", "noext", "a.crt.bak"})
        w.fs.AddFile(kChain + "\\" + n, "x");
    w.ui.SetEnabled(Id::cmdImport, false);
    certs::ScanChainFolder(w.main);

    auto items = Items();
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::string>{"ROOT.CRT", "inter.Cer", "x.der"}));
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstCertificates), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(w.ui.Text(Id::lblStatus), "3 certificates found, all selected by default.");
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
}

TEST_F(Scan, SubfoldersAndTheirFilesAreNotListed) {
    w.fs.AddFolder(kChain + "\\sub.crt");
    w.fs.AddFile(kChain + "\\deeper\\inner.crt", "x");
    w.fs.AddFile(kChain + "\\top.cer", "x");
    certs::ScanChainFolder(w.main);
    EXPECT_EQ(Items(), std::vector<std::string>{"top.cer"});
}

TEST_F(Scan, ARescanSelectsEverythingAgainAndDropsOldItems) {
    w.fs.AddFile(kChain + "\\a.crt", "x");
    w.fs.AddFile(kChain + "\\b.crt", "x");
    certs::ScanChainFolder(w.main);
    w.ui.ClickItem(Id::lstCertificates, 0);
    ASSERT_EQ(w.ui.SelectedIndices(Id::lstCertificates), std::vector<int>{1});
    w.fs.Delete(kChain + "\\b.crt");
    certs::ScanChainFolder(w.main);
    EXPECT_EQ(Items(), std::vector<std::string>{"a.crt"});
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstCertificates), std::vector<int>{0});
}

TEST_F(Scan, AFileWhereTheFolderShouldBeFailsToTheCaller) {
    w.fs.AddFile(kChain, "not a folder");
    EXPECT_THROW(certs::ScanChainFolder(w.main), Failure);
    EXPECT_EQ(w.fs.Content(kChain), "not a folder");
}

}  // namespace
