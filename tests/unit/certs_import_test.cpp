#include <gtest/gtest.h>

#include <algorithm>

#include "certs/import.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;
using app::Id;
using lang::GetLangString;

namespace {

const std::string kPfx = "C:\\Tools\\Quillbay\\fullchain.pfx";
const std::string kPassword = "C:\\Tools\\Quillbay\\password.txt";

std::string ChainLine(const std::string& path) { return "certutil.exe -addstore -f \"CA\" \"" + path + "\""; }

class Import : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::SetCurrentLanguage(lang::kEnglish);
        w.fs.AddFile(w.fs.systemFolder + "\\inetsrv\\iisreset.exe", "MZ");
        for (const char* name : {"a.crt", "b.cer", "c.der"}) {
            w.ui.ListAdd(Id::lstCertificates, name);
            w.ui.ListSetSelected(Id::lstCertificates, w.ui.ListCount(Id::lstCertificates) - 1, true);
        }
        w.ui.ListAdd(Id::lstSites, "Default Web Site (example.com)");
        w.fs.AddFile(kPfx, "PFXDATA");
        w.fs.AddFile(kPassword, "hunter2\r\n");
    }
    void TearDown() override { lang::ResetLanguageState(); }

    std::vector<std::string> Lines(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const RunCall& r : w.shell.runs)
            if (r.commandLine.rfind(prefix, 0) == 0) out.push_back(r.commandLine);
        return out;
    }
    std::vector<std::string> PfxArgs() const {
        const auto lines = Lines("certutil.exe -f -p ");
        return lines.size() == 1 ? ParseCommandLine(lines[0]) : std::vector<std::string>{};
    }
    void FailLinesContaining(const std::string& piece, std::int32_t code) {
        w.shell.onRun = [piece, code](const std::string& line) {
            return line.find(piece) != std::string::npos ? code : 0;
        };
    }
    const ShownBox& OnlyBox() const {
        EXPECT_EQ(w.ui.boxes.size(), 1u);
        return w.ui.boxes.at(0);
    }

    World w;
};

std::vector<std::string> SecurityStatusTexts() {
    std::vector<std::string> out;
    for (const char* k : {"MsgBox_ApplyingSecurityProtocol", "MsgBox_ConfiguringSCHANNEL", "MsgBox_ConfiguringCipher",
                          "MsgBox_ConfiguringHash", "MsgBox_ConfiguringKeyExchange",
                          "MsgBox_ConfiguringSecurityProtocols", "MsgBox_ConfiguringWDigest", "MsgBox_RefreshingIIS"})
        out.push_back(GetLangString(k));
    return out;
}

TEST_F(Import, EverythingSucceeds) {
    certs::cmdImport_Click(w.main);

    EXPECT_EQ(Lines("certutil.exe"),
              (std::vector<std::string>{ChainLine("C:\\Tools\\Quillbay\\chain\\a.crt"),
                                        ChainLine("C:\\Tools\\Quillbay\\chain\\b.cer"),
                                        ChainLine("C:\\Tools\\Quillbay\\chain\\c.der"),
                                        "certutil.exe -f -p \"hunter2\" -importpfx \"" + kPfx + "\""}));
    EXPECT_EQ(Lines("reg add ").size(), 56u);

    const ShownBox& box = OnlyBox();
    EXPECT_EQ(box.style, 64);
    EXPECT_EQ(box.title, "Import Complete");
    EXPECT_EQ(box.text,
              "Certificate import and security configuration successful! Imported 3 certificate chains and 1 PFX "
              "certificate.\r\nYou can now select sites from the right list for deployment.\r\n"
              "SCHANNEL changes take full effect after the server restarts.");

    std::vector<std::string> expected = {GetLangString("lblStatus_Importing"), "Imported 1 of 3", "Imported 2 of 3",
                                         "Imported 3 of 3", GetLangString("lblStatus_ImportingPFX"),
                                         GetLangString("lblStatus_ApplyingSecurity")};
    for (const auto& t : SecurityStatusTexts()) expected.push_back(t);
    expected.push_back(
        "Import completed. You can now select sites for deployment. SCHANNEL changes take full effect after the "
        "server restarts.");
    EXPECT_EQ(w.ui.statusHistory, expected);

    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
    EXPECT_EQ(w.ErrorLog(), "");
}

TEST_F(Import, EveryProgressTextIsRepainted) {
    std::vector<std::string> shownAtRepaint;
    w.ui.onDoEvents = [&] { shownAtRepaint.push_back(w.ui.Text(Id::lblStatus)); };
    certs::cmdImport_Click(w.main);
    // All but the final outcome text, which the message box follows.
    std::vector<std::string> expected(w.ui.statusHistory.begin(), w.ui.statusHistory.end() - 1);
    EXPECT_EQ(shownAtRepaint, expected);
}

TEST_F(Import, ImportsAreWaitedHiddenAndFinishBeforeTheHardening) {
    std::vector<bool> buttonsDisabled;
    w.shell.onRun = [&](const std::string&) {
        buttonsDisabled.push_back(!w.ui.Enabled(Id::cmdImport) && !w.ui.Enabled(Id::cmdDeploy));
        return 0;
    };
    certs::cmdImport_Click(w.main);

    ASSERT_GE(w.shell.runs.size(), 5u);
    for (const RunCall& r : w.shell.runs) {
        EXPECT_EQ(r.windowStyle, 0) << r.commandLine;
        EXPECT_TRUE(r.wait) << r.commandLine;
    }
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(w.shell.runs[i].commandLine.rfind("certutil.exe", 0), 0u);
    EXPECT_EQ(w.shell.runs[4].commandLine.rfind("reg export", 0), 0u);
    EXPECT_EQ(w.shell.runs.back().commandLine, "iisreset");
    EXPECT_TRUE(std::all_of(buttonsDisabled.begin(), buttonsDisabled.end(), [](bool b) { return b; }));
}

TEST_F(Import, OnlySelectedChainsAreImportedAndCounted) {
    w.ui.ListSetSelected(Id::lstCertificates, 1, false);
    certs::cmdImport_Click(w.main);
    EXPECT_EQ(Lines("certutil.exe -addstore"),
              (std::vector<std::string>{ChainLine("C:\\Tools\\Quillbay\\chain\\a.crt"),
                                        ChainLine("C:\\Tools\\Quillbay\\chain\\c.der")}));
    EXPECT_EQ(w.ui.statusHistory[1], "Imported 1 of 2");
    EXPECT_EQ(w.ui.statusHistory[2], "Imported 2 of 2");
    EXPECT_NE(OnlyBox().text.find("Imported 2 certificate chains"), std::string::npos);
}

TEST_F(Import, ChainPathBesideAProgramInADriveRoot) {
    w.host.appFolder = "E:\\";
    w.fs.files.clear();
    w.ui.ListSetSelected(Id::lstCertificates, 1, false);
    w.ui.ListSetSelected(Id::lstCertificates, 2, false);
    certs::cmdImport_Click(w.main);
    EXPECT_EQ(Lines("certutil.exe"), std::vector<std::string>{ChainLine("E:\\chain\\a.crt")});
}

TEST_F(Import, FailingChainImportsAreCountedAndReported) {
    FailLinesContaining("b.cer", -2147024894);
    certs::cmdImport_Click(w.main);

    EXPECT_EQ(w.ui.statusHistory[1], "Imported 1 of 3");
    EXPECT_EQ(w.ui.statusHistory[2], "Imported 1 of 3");
    EXPECT_EQ(w.ui.statusHistory[3], "Imported 2 of 3");
    const ShownBox& box = OnlyBox();
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.title, "Import Partially Complete");
    EXPECT_EQ(box.text,
              "The import finished, but not everything succeeded:\r\n"
              "1 of the selected chain certificates could not be imported.");
    EXPECT_EQ(w.ui.statusHistory.back(), "The import finished, but not everything succeeded:");
    EXPECT_EQ(Lines("reg add ").size(), 56u);  // the hardening still runs
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
}

TEST_F(Import, ChainImportThatCannotStartCountsAsFailed) {
    w.shell.onRun = [](const std::string& line) -> std::int32_t {
        if (line.find("-addstore") != std::string::npos) throw Failure(2, "The system cannot find the file specified.");
        return 0;
    };
    certs::cmdImport_Click(w.main);
    EXPECT_EQ(w.ui.statusHistory[3], "Imported 0 of 3");
    EXPECT_EQ(OnlyBox().text, "The import finished, but not everything succeeded:\r\n"
                              "3 of the selected chain certificates could not be imported.");
    EXPECT_EQ(Lines("certutil.exe -f -p ").size(), 1u);
}

TEST_F(Import, NothingSelected) {
    for (int i = 0; i < 3; ++i) w.ui.ListSetSelected(Id::lstCertificates, i, false);
    certs::cmdImport_Click(w.main);

    const ShownBox& box = OnlyBox();
    EXPECT_EQ(box.text, "Please select at least one certificate chain to import.");
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.title, "Quillbay");
    EXPECT_TRUE(w.shell.runs.empty());
    EXPECT_EQ(w.ui.statusHistory, std::vector<std::string>{GetLangString("lblStatus_Importing")});
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
}

TEST_F(Import, DeployStaysDisabledWithoutUsableSites) {
    w.ui.ListClear(Id::lstSites);
    certs::cmdImport_Click(w.main);
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_FALSE(w.ui.Enabled(Id::cmdDeploy));

    World w2;
    w2.ui.ListAdd(Id::lstSites, "Site");
    w2.ui.SetEnabled(Id::lstSites, false);
    certs::cmdImport_Click(w2.main);  // nothing selected: the same rule on that path
    EXPECT_TRUE(w2.ui.Enabled(Id::cmdImport));
    EXPECT_FALSE(w2.ui.Enabled(Id::cmdDeploy));
}

TEST_F(Import, MissingPasswordOrPfxSkipsThePfxAndSaysSo) {
    for (const std::string& missing : {kPassword, kPfx}) {
        SCOPED_TRACE(missing);
        World v;
        v.fs.AddFile(kPfx, "PFXDATA");
        v.fs.AddFile(kPassword, "hunter2\r\n");
        v.fs.files.erase(Lower(missing));
        v.ui.ListAdd(Id::lstCertificates, "a.crt");
        v.ui.ListSetSelected(Id::lstCertificates, 0, true);
        certs::cmdImport_Click(v.main);

        for (const RunCall& r : v.shell.runs) EXPECT_EQ(r.commandLine.find("-importpfx"), std::string::npos);
        EXPECT_EQ(std::count(v.ui.statusHistory.begin(), v.ui.statusHistory.end(),
                             GetLangString("lblStatus_ImportingPFX")),
                  0);
        ASSERT_EQ(v.ui.boxes.size(), 1u);
        EXPECT_EQ(v.ui.boxes[0].style, 48);
        EXPECT_EQ(v.ui.boxes[0].text,
                  "The import finished, but not everything succeeded:\r\n"
                  "The PFX was not imported because fullchain.pfx or password.txt is missing.");
        EXPECT_EQ(v.ErrorLog(), "");
    }
}

TEST_F(Import, EmptyPasswordFileCountsAsMissing) {
    w.fs.AddFile(kPassword, "");
    certs::cmdImport_Click(w.main);
    EXPECT_TRUE(Lines("certutil.exe -f -p ").empty());
    EXPECT_EQ(OnlyBox().text, "The import finished, but not everything succeeded:\r\n"
                              "The PFX was not imported because fullchain.pfx or password.txt is missing.");
}

TEST_F(Import, PasswordsReachCertutilUnchanged) {
    const std::vector<std::string> passwords = {
        "",          "with blank ", " lead", "q\"uote", "\"", "back\\slash", "trailing\\", "slash\\\"quote",
        "\\\\\"",    "100%",        "%PATH%", "a&b",    "a|b", "a^b",      "a b  c",     "x\" & calc & \"",
        "tab\there", "汉字"};
    for (const std::string& password : passwords) {
        SCOPED_TRACE(password);
        w.shell.runs.clear();
        w.ui.boxes.clear();
        w.fs.AddFile(kPassword, password + "\r\nsecond line");
        certs::cmdImport_Click(w.main);
        EXPECT_EQ(PfxArgs(), (std::vector<std::string>{"certutil.exe", "-f", "-p", password, "-importpfx", kPfx}));
        EXPECT_EQ(w.ui.boxes.at(0).style, 64);
    }
}

TEST_F(Import, PasswordFileWithUtf8MarkGivesThePasswordWithoutIt) {
    w.fs.AddFile(kPassword, "\xEF\xBB\xBFp\xC3\xA4ss\r\n");
    certs::cmdImport_Click(w.main);
    EXPECT_EQ(PfxArgs().at(3), "p\xC3\xA4ss");
}

TEST_F(Import, FailedPfxImportIsReportedAndLoggedWithoutThePassword) {
    const std::string password = "S3cr\"t %x% & \\";
    w.fs.AddFile(kPassword, password + "\r\n");
    FailLinesContaining("-importpfx", -2147024810);
    certs::cmdImport_Click(w.main);

    const ShownBox& box = OnlyBox();
    EXPECT_EQ(box.style, 48);
    EXPECT_EQ(box.text, "The import finished, but not everything succeeded:\r\n"
                        "certutil could not import fullchain.pfx (exit code -2147024810): check the password in "
                        "password.txt.");
    const std::string log = w.ErrorLog();
    EXPECT_NE(log.find("] 在过程 '导入PFX证书失败' 中发生错误: certutil.exe -f -p \"********\" -importpfx \"" + kPfx +
                       "\" (代码: -2147024810)\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("S3cr"), std::string::npos);
    EXPECT_EQ(log.find(password), std::string::npos);
}

TEST_F(Import, PfxImportThatCannotStartIsReportedAndLoggedRedacted) {
    w.shell.onRun = [](const std::string& line) -> std::int32_t {
        if (line.find("-importpfx") != std::string::npos) throw Failure(740, "The requested operation requires elevation.");
        return 0;
    };
    certs::cmdImport_Click(w.main);
    EXPECT_NE(OnlyBox().text.find("(exit code 740)"), std::string::npos);
    EXPECT_NE(w.ErrorLog().find("'导入PFX证书失败' 中发生错误: certutil.exe -f -p \"********\" -importpfx"),
              std::string::npos);
    EXPECT_NE(w.ErrorLog().find("(代码: 740)"), std::string::npos);
    EXPECT_EQ(w.ErrorLog().find("hunter2"), std::string::npos);
    EXPECT_EQ(Lines("reg add ").size(), 56u);
}

TEST_F(Import, SecurityFailureIsReportedOnTheStatusLine) {
    FailLinesContaining("RC4 128/128", 1);
    certs::cmdImport_Click(w.main);
    const std::string failed = "Certificates imported, but some security settings could not be applied.";
    EXPECT_EQ(OnlyBox().text, "The import finished, but not everything succeeded:\r\n" + failed);
    EXPECT_EQ(OnlyBox().title, "Import Partially Complete");
    EXPECT_EQ(w.ui.statusHistory.back(), failed);
}

TEST_F(Import, EveryProblemIsListed) {
    w.shell.onRun = [](const std::string& line) -> std::int32_t {
        if (line.find("a.crt") != std::string::npos || line.find("c.der") != std::string::npos) return 1;
        if (line.find("-importpfx") != std::string::npos) return -2147024810;
        if (line.find("WDigest") != std::string::npos) return 1;
        return 0;
    };
    certs::cmdImport_Click(w.main);
    EXPECT_EQ(OnlyBox().text,
              "The import finished, but not everything succeeded:\r\n"
              "certutil could not import fullchain.pfx (exit code -2147024810): check the password in "
              "password.txt.\r\n"
              "2 of the selected chain certificates could not be imported.\r\n"
              "Certificates imported, but some security settings could not be applied.");
    EXPECT_EQ(w.ui.statusHistory.back(), "Certificates imported, but some security settings could not be applied.");
}

TEST_F(Import, UnexpectedFailureIsLoggedShownAndTheButtonsComeBack) {
    w.fs.onRead = [](const std::string& path) {
        if (Lower(path) == Lower(kPassword)) throw Failure(70, "Permission denied");
    };
    certs::cmdImport_Click(w.main);

    const ShownBox& box = OnlyBox();
    EXPECT_EQ(box.style, 16);
    EXPECT_EQ(box.title, "Import Error");
    EXPECT_EQ(box.text, "An unexpected error occurred during import: Permission denied");
    EXPECT_NE(w.ErrorLog().find("] 在过程 'cmdImport_Click' 中发生错误: Permission denied (代码: 70)\r\n"),
              std::string::npos);
    EXPECT_TRUE(Lines("reg ").empty());
    EXPECT_TRUE(w.ui.Enabled(Id::cmdImport));
    EXPECT_TRUE(w.ui.Enabled(Id::cmdDeploy));
}

}  // namespace
