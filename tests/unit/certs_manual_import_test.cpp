#include <gtest/gtest.h>

#include <algorithm>

#include "certs/manual_import.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;
using lang::GetLangString;

namespace {

using namespace std::string_literals;

const std::string kChain = "C:\\Tools\\Quillbay\\chain\\";

std::string AddStore(const std::string& path) { return "certutil.exe -addstore -f \"CA\" \"" + path + "\""; }

std::string Summary(int imported, int copied) {
    return "Manual import operation completed.\r\n\r\nSuccessfully imported " + std::to_string(imported) +
           " certificates to system intermediate certificate store.\r\nSuccessfully copied " +
           std::to_string(copied) + " files to 'chain/' directory.";
}

class ManualImport : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::SetCurrentLanguage(lang::kEnglish);
        w.fs.AddFolder(kChain.substr(0, kChain.size() - 1));
    }
    void TearDown() override { lang::ResetLanguageState(); }

    void Pick(const std::string& dialogResult) { w.ui.fileDialogResults.push_back(dialogResult); }
    std::vector<std::string> CertutilLines() const {
        std::vector<std::string> out;
        for (const RunCall& r : w.shell.runs)
            if (r.commandLine.rfind("certutil.exe", 0) == 0) out.push_back(r.commandLine);
        return out;
    }
    bool StatusSawInOrder(const std::vector<std::string>& texts) const {
        auto it = w.ui.statusHistory.begin();
        for (const auto& t : texts) {
            it = std::find(it, w.ui.statusHistory.end(), t);
            if (it == w.ui.statusHistory.end()) return false;
            ++it;
        }
        return true;
    }

    World w;
};

TEST_F(ManualImport, AsksWithTitleFilterProgramFolderAndMultiSelectFlags) {
    certs::mnuChainManualImport_Click(w.main);
    ASSERT_EQ(w.ui.fileDialogCalls.size(), 1u);
    EXPECT_EQ(w.ui.fileDialogCalls[0],
              "Please select certificate files to import|"
              "Certificate Files(*.der;*.cer;*.crt)|*.der;*.cer;*.crt|All Files(*.*)|*.*|"
              "C:\\Tools\\Quillbay|" + std::to_string(0x81200));
}

TEST_F(ManualImport, CancelChangesNothing) {
    w.fs.folders.erase(Lower(kChain.substr(0, kChain.size() - 1)));
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_TRUE(w.shell.runs.empty());
    EXPECT_TRUE(w.ui.statusHistory.empty());
    EXPECT_TRUE(w.ui.boxes.empty());
    EXPECT_EQ(w.ErrorLog(), "");
    EXPECT_FALSE(w.fs.FolderExists(kChain.substr(0, kChain.size() - 1)));
    EXPECT_EQ(w.ui.doEvents, 0);
}

TEST_F(ManualImport, OneFile) {
    w.fs.AddFile("D:\\certs\\inter.crt", "INTER");
    Pick("D:\\certs\\inter.crt");
    std::vector<bool> busyDuringRun;
    w.shell.onRun = [&](const std::string&) {
        busyDuringRun.push_back(w.ui.busy);
        return 0;
    };
    certs::mnuChainManualImport_Click(w.main);

    EXPECT_EQ(CertutilLines(), std::vector<std::string>{AddStore("D:\\certs\\inter.crt")});
    ASSERT_FALSE(w.shell.runs.empty());
    EXPECT_EQ(w.shell.runs[0].windowStyle, 0);
    EXPECT_TRUE(w.shell.runs[0].wait);
    ASSERT_FALSE(busyDuringRun.empty());
    EXPECT_TRUE(busyDuringRun[0]);
    EXPECT_FALSE(w.ui.busy);
    EXPECT_EQ(w.fs.Content(kChain + "inter.crt"), "INTER");

    ASSERT_FALSE(w.ui.boxes.empty());
    EXPECT_EQ(w.ui.boxes[0].text, Summary(1, 1));
    EXPECT_EQ(w.ui.boxes[0].style, 64);
    EXPECT_EQ(w.ui.boxes[0].title, "Manual Import Complete");
    EXPECT_TRUE(StatusSawInOrder({GetLangString("lblStatus_Importing"), GetLangString("lblStatus_Ready")}));
    // The rescan lists the new file, selected.
    EXPECT_EQ(w.ui.C(Id::lstCertificates).items, std::vector<std::string>{"inter.crt"});
    EXPECT_EQ(w.ui.SelectedIndices(Id::lstCertificates), std::vector<int>{0});
}

TEST_F(ManualImport, SeveralFilesInTheDialogsOrder) {
    w.fs.AddFile("D:\\certs\\b.cer", "B");
    w.fs.AddFile("D:\\certs\\a.crt", "A");
    Pick("D:\\certs\0b.cer\0a.crt"s);
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(CertutilLines(),
              (std::vector<std::string>{AddStore("D:\\certs\\b.cer"), AddStore("D:\\certs\\a.crt")}));
    EXPECT_EQ(w.fs.Content(kChain + "b.cer"), "B");
    EXPECT_EQ(w.fs.Content(kChain + "a.crt"), "A");
    EXPECT_EQ(w.ui.boxes.at(0).text, Summary(2, 2));
}

TEST_F(ManualImport, DriveRootGetsNoSecondBackslash) {
    w.fs.AddFile("D:\\x.crt", "X");
    w.fs.AddFile("D:\\y.der", "Y");
    Pick("D:\\\0x.crt\0y.der"s);
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(CertutilLines(), (std::vector<std::string>{AddStore("D:\\x.crt"), AddStore("D:\\y.der")}));
    EXPECT_EQ(w.ui.boxes.at(0).text, Summary(2, 2));
}

TEST_F(ManualImport, CollisionGetsATimeStampedNameAndTheOldFileStays) {
    w.fs.AddFile(kChain + "inter.crt", "OLD");
    w.fs.AddFile("D:\\new\\inter.crt", "NEW");
    Pick("D:\\new\\inter.crt");
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.fs.Content(kChain + "inter.crt"), "OLD");
    EXPECT_EQ(w.fs.Content(kChain + "inter_20261206090507.crt"), "NEW");
}

TEST_F(ManualImport, CollisionWithoutExtensionEndsInADot) {
    w.fs.AddFile(kChain + "inter", "OLD");
    w.fs.AddFile("D:\\new\\inter", "NEW");
    Pick("D:\\new\\inter");
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.fs.Content(kChain + "inter"), "OLD");
    EXPECT_EQ(w.fs.Content(kChain + "inter_20261206090507."), "NEW");
}

TEST_F(ManualImport, EvenATakenTimeStampedNameIsNeverOverwritten) {
    w.fs.AddFile(kChain + "inter.crt", "OLD");
    w.fs.AddFile(kChain + "inter_20261206090507.crt", "OLDER");
    // Two pickings of the same name in one second, from different folders.
    w.fs.AddFile("D:\\one\\inter.crt", "ONE");
    Pick("D:\\one\\inter.crt");
    certs::mnuChainManualImport_Click(w.main);
    w.fs.AddFile("D:\\two\\inter.crt", "TWO");
    Pick("D:\\two\\inter.crt");
    certs::mnuChainManualImport_Click(w.main);

    EXPECT_EQ(w.fs.Content(kChain + "inter.crt"), "OLD");
    EXPECT_EQ(w.fs.Content(kChain + "inter_20261206090507.crt"), "OLDER");
    EXPECT_EQ(w.fs.Content(kChain + "inter_20261206090507-2.crt"), "ONE");
    EXPECT_EQ(w.fs.Content(kChain + "inter_20261206090507-3.crt"), "TWO");
}

TEST_F(ManualImport, MissingChainFolderIsCreatedFirst) {
    w.fs.folders.erase(Lower(kChain.substr(0, kChain.size() - 1)));
    w.fs.AddFile("D:\\a.crt", "A");
    Pick("D:\\a.crt");
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.fs.Content(kChain + "a.crt"), "A");
    EXPECT_EQ(w.ui.boxes.at(0).text, Summary(1, 1));
}

TEST_F(ManualImport, FailedOrUnstartableImportsAreNotCountedButCopied) {
    for (const char* n : {"a", "b", "c"}) w.fs.AddFile("D:\\c\\" + std::string(n) + ".crt", n);
    Pick("D:\\c\0a.crt\0b.crt\0c.crt"s);
    w.shell.onRun = [](const std::string& line) -> std::int32_t {
        if (line.find("a.crt") != std::string::npos) return -2147024893;
        if (line.find("b.crt") != std::string::npos) throw Failure(2, "not found");
        return 0;
    };
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_EQ(w.ui.boxes.at(0).text, Summary(1, 3));
    for (const char* n : {"a", "b", "c"}) EXPECT_TRUE(w.fs.FileExists(kChain + n + ".crt")) << n;
}

TEST_F(ManualImport, FailureOnTheSecondOfThreeStopsThere) {
    for (const char* n : {"a", "b", "c"}) w.fs.AddFile("D:\\c\\" + std::string(n) + ".crt", n);
    Pick("D:\\c\0a.crt\0b.crt\0c.crt"s);
    w.fs.onCopy = [](const std::string& to) {
        if (to.find("b.crt") != std::string::npos) throw Failure(70, "Permission denied");
    };
    w.ui.ListAdd(Id::lstCertificates, "earlier.crt");
    certs::mnuChainManualImport_Click(w.main);

    EXPECT_EQ(CertutilLines(), (std::vector<std::string>{AddStore("D:\\c\\a.crt"), AddStore("D:\\c\\b.crt")}));
    EXPECT_TRUE(w.fs.FileExists(kChain + "a.crt"));
    EXPECT_FALSE(w.fs.FileExists(kChain + "c.crt"));
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].style, 16);
    EXPECT_EQ(w.ui.boxes[0].title, "Manual Import Error");
    EXPECT_EQ(w.ui.boxes[0].text, "An error occurred during manual import: Permission denied");
    EXPECT_NE(w.ErrorLog().find("] 在过程 'mnuChainManualImport_Click' 中发生错误: Permission denied (代码: 70)\r\n"),
              std::string::npos);
    EXPECT_FALSE(w.ui.busy);
    EXPECT_EQ(w.ui.statusHistory.back(), GetLangString("lblStatus_Importing"));
    EXPECT_EQ(w.ui.C(Id::lstCertificates).items, std::vector<std::string>{"earlier.crt"});  // not rescanned
}

TEST_F(ManualImport, ChainFolderThatCannotBeCreatedIsReported) {
    w.fs.folders.erase(Lower(kChain.substr(0, kChain.size() - 1)));
    w.fs.AddFile("C:\\Tools\\Quillbay\\chain", "a file in the way");
    w.fs.AddFile("D:\\a.crt", "A");
    Pick("D:\\a.crt");
    certs::mnuChainManualImport_Click(w.main);
    EXPECT_TRUE(w.shell.runs.empty());
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_EQ(w.ui.boxes[0].style, 16);
    EXPECT_EQ(w.fs.Content("C:\\Tools\\Quillbay\\chain"), "a file in the way");
}

TEST(DialogText, PickedFilesFromTheResultText) {
    using certs::PickedFiles;
    EXPECT_TRUE(PickedFiles("").empty());
    EXPECT_EQ(PickedFiles("C:\\a b\\x.crt"), std::vector<std::string>{"C:\\a b\\x.crt"});
    EXPECT_EQ(PickedFiles("C:\\d\0x.crt\0y.cer"s), (std::vector<std::string>{"C:\\d\\x.crt", "C:\\d\\y.cer"}));
    EXPECT_EQ(PickedFiles("D:\\\0x.crt"s), std::vector<std::string>{"D:\\x.crt"});
    EXPECT_EQ(PickedFiles("\\\\srv\\share\0x.crt\0\0"s), std::vector<std::string>{"\\\\srv\\share\\x.crt"});
    EXPECT_TRUE(PickedFiles("C:\\d\0"s).empty());
}

TEST(DialogText, FilterAndBuffer) {
    EXPECT_EQ(certs::DialogFilter("Certs|*.crt;*.cer|All|*.*"), "Certs\0*.crt;*.cer\0All\0*.*\0"s);
    EXPECT_EQ(certs::DialogResultText("C:\\d\0a.crt\0b.crt\0\0\0\0"s), "C:\\d\0a.crt\0b.crt"s);
    EXPECT_EQ(certs::DialogResultText("C:\\one.crt\0\0\0"s), "C:\\one.crt");
    EXPECT_EQ(certs::DialogResultText(std::string(8, '\0')), "");
}

}  // namespace
