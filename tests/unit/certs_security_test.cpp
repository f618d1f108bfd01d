#include <gtest/gtest.h>

#include <algorithm>

#include "certs/import.h"
#include "fakes.h"
#include "lang/store.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const std::string kBase = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders";
const std::string kExportLine =
    "reg export \"" + kBase + "\" \"C:\\Tools\\Quillbay\\backup\\SecurityProviders-20261206090507.reg\" /y";

std::string Dword(const std::string& key, const std::string& name, const std::string& data) {
    return "reg add \"" + kBase + key + "\" /v " + name + " /t REG_DWORD /d " + data + " /f";
}

// The 56 expected lines, built group by group (not from the code's table).
std::vector<std::string> ExpectedRegLines() {
    const std::string on = "0xffffffff";
    std::vector<std::string> v;
    v.push_back("reg add \"" + kBase + "\" /v SecurityProviders /t REG_SZ /d \"credssp.dll\" /f");
    v.push_back(Dword("\\SCHANNEL", "EventLogging", "1"));
    const std::pair<const char*, bool> ciphers[] = {
        {"AES 128/128", true},  {"AES 256/256", true}, {"DES 56/56", false},  {"NULL", false},
        {"RC2 128/128", false}, {"RC2 40/128", false}, {"RC2 56/128", false}, {"RC4 128/128", false},
        {"RC4 40/128", false},  {"RC4 56/128", false}, {"RC4 64/128", false}, {"Triple DES 168", true}};
    for (auto [name, enabled] : ciphers)
        v.push_back(Dword("\\SCHANNEL\\Ciphers\\" + std::string(name), "Enabled", enabled ? on : "0"));
    for (const char* hash : {"MD5", "SHA", "SHA256", "SHA384", "SHA512"})
        v.push_back(Dword("\\SCHANNEL\\Hashes\\" + std::string(hash), "Enabled", on));
    const std::string kx = "\\SCHANNEL\\KeyExchangeAlgorithms\\";
    v.push_back(Dword(kx + "Diffie-Hellman", "Enabled", on));
    v.push_back(Dword(kx + "Diffie-Hellman", "ServerMinKeyBitLength", "0x00000800"));
    v.push_back(Dword(kx + "ECDH", "Enabled", on));
    v.push_back(Dword(kx + "PKCS", "Enabled", on));
    const std::pair<const char*, bool> protocols[] = {{"Multi-Protocol Unified Hello", false},
                                                      {"PCT 1.0", false}, {"SSL 2.0", false}, {"SSL 3.0", false},
                                                      {"TLS 1.0", true},  {"TLS 1.1", true},  {"TLS 1.2", true}};
    for (auto [name, enabled] : protocols)
        for (const char* side : {"Client", "Server"}) {
            const std::string key = "\\SCHANNEL\\Protocols\\" + std::string(name) + "\\" + side;
            v.push_back(Dword(key, "Enabled", enabled ? on : "0"));
            v.push_back(Dword(key, "DisabledByDefault", enabled ? "0" : "1"));
        }
    v.push_back(Dword("\\WDigest", "Debuglevel", "0"));
    v.push_back(Dword("\\WDigest", "Negotiate", "0"));
    v.push_back(Dword("\\WDigest", "UTF8HTTP", "1"));
    v.push_back(Dword("\\WDigest", "UTF8SASL", "1"));
    v.push_back("reg add \"" + kBase + "\\WDigest\" /v DigestEncryptionAlgorithms /t REG_SZ /d \"3des,rc4\" /f");
    return v;
}

const std::vector<std::string> kRowStatusKeys = {
    "MsgBox_ApplyingSecurityProtocol", "MsgBox_ConfiguringSCHANNEL",          "MsgBox_ConfiguringCipher",
    "MsgBox_ConfiguringHash",          "MsgBox_ConfiguringKeyExchange", "MsgBox_ConfiguringSecurityProtocols",
    "MsgBox_ConfiguringWDigest"};

class Security : public ::testing::Test {
protected:
    void SetUp() override {
        lang::ResetLanguageState();
        lang::SetCurrentLanguage(lang::kEnglish);
        w.fs.AddFile(w.fs.systemFolder + "\\inetsrv\\iisreset.exe", "MZ");
    }
    void TearDown() override { lang::ResetLanguageState(); }

    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const RunCall& r : w.shell.runs) out.push_back(r.commandLine);
        return out;
    }
    std::vector<std::string> RegAddLines() const {
        std::vector<std::string> out;
        for (const RunCall& r : w.shell.runs)
            if (r.commandLine.rfind("reg add ", 0) == 0) out.push_back(r.commandLine);
        return out;
    }
    std::vector<std::string> RowStatusTexts() const {
        std::vector<std::string> out;
        for (const auto& k : kRowStatusKeys) out.push_back(lang::GetLangString(k));
        return out;
    }

    World w;
};

TEST_F(Security, WritesBackupThen56ValuesByteForByteThenRestartsIis) {
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));

    std::vector<std::string> expected = {kExportLine};
    for (const auto& l : ExpectedRegLines()) expected.push_back(l);
    expected.push_back("iisreset");
    ASSERT_EQ(expected.size(), 58u);
    EXPECT_EQ(Lines(), expected);
    for (const RunCall& r : w.shell.runs) {
        EXPECT_EQ(r.windowStyle, 0) << r.commandLine;
        EXPECT_TRUE(r.wait) << r.commandLine;
    }
    EXPECT_EQ(w.ErrorLog(), "");
}

TEST_F(Security, KeyRowsSpelledOut) {
    certs::ApplySecurityConfiguration(w.main);
    const auto lines = RegAddLines();
    ASSERT_EQ(lines.size(), 56u);
    EXPECT_EQ(lines[0],
              "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\" /v SecurityProviders "
              "/t REG_SZ /d \"credssp.dll\" /f");
    EXPECT_EQ(lines[2],
              "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\Ciphers\\AES "
              "128/128\" /v Enabled /t REG_DWORD /d 0xffffffff /f");
    // 2048 bits: reg.exe would read 00000800 without its prefix as decimal 800.
    EXPECT_EQ(lines[20],
              "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\"
              "KeyExchangeAlgorithms\\Diffie-Hellman\" /v ServerMinKeyBitLength /t REG_DWORD /d 0x00000800 /f");
    EXPECT_EQ(lines[51],
              "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\WDigest\" /v Debuglevel "
              "/t REG_DWORD /d 0 /f");
    EXPECT_EQ(lines[55],
              "reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\WDigest\" /v "
              "DigestEncryptionAlgorithms /t REG_SZ /d \"3des,rc4\" /f");
}

TEST_F(Security, SevenRowStatusTextsThenRefreshEachFollowedByARepaint) {
    std::vector<std::string> shownAtRepaint;
    w.ui.onDoEvents = [&] { shownAtRepaint.push_back(w.ui.Text(app::Id::lblStatus)); };
    std::vector<std::size_t> textsShownAtRow;  // per reg add row: how many texts were shown before it
    w.shell.onRun = [&](const std::string& line) {
        if (line.rfind("reg add ", 0) == 0) textsShownAtRow.push_back(w.ui.statusHistory.size());
        return 0;
    };

    certs::ApplySecurityConfiguration(w.main);

    std::vector<std::string> expected = RowStatusTexts();
    expected.push_back(lang::GetLangString("MsgBox_RefreshingIIS"));
    EXPECT_EQ(w.ui.statusHistory, expected);
    EXPECT_EQ(shownAtRepaint, expected);
    // Each text appears just before its group's first row.
    std::vector<std::size_t> rowsWithNewText;
    for (std::size_t i = 0; i < textsShownAtRow.size(); ++i)
        if (i == 0 ? textsShownAtRow[0] > 0 : textsShownAtRow[i] != textsShownAtRow[i - 1])
            rowsWithNewText.push_back(i + 1);
    EXPECT_EQ(rowsWithNewText, (std::vector<std::size_t>{1, 2, 3, 15, 20, 24, 52}));
}

TEST_F(Security, StatusTextsFollowTheCurrentLanguage) {
    lang::SetCurrentLanguage(lang::kSimplifiedChinese);
    certs::ApplySecurityConfiguration(w.main);
    ASSERT_EQ(w.ui.statusHistory.size(), 8u);
    EXPECT_EQ(w.ui.statusHistory.front(), lang::GetLangString("MsgBox_ApplyingSecurityProtocol"));
    lang::SetCurrentLanguage(lang::kEnglish);
    EXPECT_NE(w.ui.statusHistory.front(), lang::GetLangString("MsgBox_ApplyingSecurityProtocol"));
}

TEST_F(Security, FailingRow10StillWritesTheRestAndRestarts) {
    const std::string row10 = ExpectedRegLines()[9];
    ASSERT_NE(row10.find("RC4 128/128"), std::string::npos);
    w.shell.onRun = [&](const std::string& line) { return line == row10 ? 1 : 0; };

    EXPECT_FALSE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines(), ExpectedRegLines());
    EXPECT_EQ(Lines().back(), "iisreset");
    EXPECT_EQ(w.ui.statusHistory.back(), lang::GetLangString("MsgBox_RefreshingIIS"));
}

TEST_F(Security, WithoutIisresetNoRestartAndNoRefreshText) {
    w.fs.files.clear();
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(Lines().back(), ExpectedRegLines().back());
    EXPECT_EQ(w.ui.statusHistory, RowStatusTexts());

    w.shell.runs.clear();
    w.shell.onRun = [](const std::string& line) { return line.find("UTF8SASL") != std::string::npos ? 5 : 0; };
    EXPECT_FALSE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines().size(), 56u);
}

TEST_F(Security, IisresetIsLookedForInTheSystemFolderAndItsExitCodeIgnored) {
    w.fs.files.clear();
    w.fs.AddFile("C:\\windows\\inetsrv\\iisreset.exe", "MZ");  // not below the system folder
    certs::ApplySecurityConfiguration(w.main);
    EXPECT_NE(Lines().back(), "iisreset");

    w.fs.systemFolder = "D:\\Win\\Sys32";
    w.fs.AddFile("D:\\Win\\Sys32\\inetsrv\\iisreset.exe", "MZ");
    w.shell.runs.clear();
    w.shell.onRun = [](const std::string& line) { return line == "iisreset" ? 1 : 0; };
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(Lines().back(), "iisreset");
}

TEST_F(Security, AToolThatCannotStartEndsAtOnceWithoutRestart) {
    const std::string row5 = ExpectedRegLines()[4];
    w.shell.onRun = [&](const std::string& line) -> std::int32_t {
        if (line == row5) throw Failure(2, "The system cannot find the file specified.");
        return 0;
    };
    EXPECT_FALSE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines().size(), 5u);
    EXPECT_NE(Lines().back(), "iisreset");
}

TEST_F(Security, BackupIsTakenBeforeTheFirstWriteIntoANewFolder) {
    EXPECT_FALSE(w.fs.FolderExists("C:\\Tools\\Quillbay\\backup"));
    std::vector<bool> folderExistedAtRun;
    w.shell.onRun = [&](const std::string&) {
        folderExistedAtRun.push_back(w.fs.FolderExists("C:\\Tools\\Quillbay\\backup"));
        return 0;
    };
    certs::ApplySecurityConfiguration(w.main);
    EXPECT_TRUE(w.fs.FolderExists("C:\\Tools\\Quillbay\\backup"));
    ASSERT_FALSE(folderExistedAtRun.empty());
    EXPECT_TRUE(folderExistedAtRun[0]);
    EXPECT_EQ(Lines().front(), kExportLine);
    EXPECT_EQ(std::count_if(w.shell.runs.begin(), w.shell.runs.end(),
                            [](const RunCall& r) { return r.commandLine.rfind("reg export", 0) == 0; }),
              1);
}

TEST_F(Security, BackupNameUsesTheClockAndNeverReusesAnExistingFile) {
    w.clock.now = {2027, 1, 2, 3, 4, 5};
    w.fs.AddFile("C:\\Tools\\Quillbay\\backup\\SecurityProviders-20270102030405.reg", "old");
    w.fs.AddFile("C:\\Tools\\Quillbay\\backup\\SecurityProviders-20270102030405-2.reg", "older");
    certs::ApplySecurityConfiguration(w.main);
    EXPECT_EQ(Lines().front(), "reg export \"" + kBase +
                                   "\" \"C:\\Tools\\Quillbay\\backup\\SecurityProviders-20270102030405-3.reg\" /y");
}

TEST_F(Security, BackupBesideAProgramInADriveRoot) {
    w.host.appFolder = "E:\\";
    w.fs.AddFolder("E:");
    certs::ApplySecurityConfiguration(w.main);
    EXPECT_EQ(Lines().front(),
              "reg export \"" + kBase + "\" \"E:\\backup\\SecurityProviders-20261206090507.reg\" /y");
}

TEST_F(Security, FailedBackupIsLoggedAndTheHardeningGoesOn) {
    w.shell.onRun = [](const std::string& line) { return line.rfind("reg export", 0) == 0 ? 1 : 0; };
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines(), ExpectedRegLines());
    EXPECT_NE(w.ErrorLog().find("在过程 'ApplySecurityConfiguration' 中发生错误: "), std::string::npos);
    EXPECT_NE(w.ErrorLog().find(kExportLine), std::string::npos);
    EXPECT_NE(w.ErrorLog().find("(代码: 1)"), std::string::npos);
}

TEST_F(Security, BackupThatCannotStartIsLoggedWithItsNumber) {
    w.shell.onRun = [](const std::string& line) -> std::int32_t {
        if (line.rfind("reg export", 0) == 0) throw Failure(-2147024894, "reg not found");
        return 0;
    };
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines().size(), 56u);
    EXPECT_NE(w.ErrorLog().find("'ApplySecurityConfiguration'"), std::string::npos);
    EXPECT_NE(w.ErrorLog().find("reg not found"), std::string::npos);
    EXPECT_NE(w.ErrorLog().find("(代码: -2147024894)"), std::string::npos);
}

TEST_F(Security, BackupFolderThatCannotBeCreatedSkipsTheBackupOnly) {
    w.fs.AddFile("C:\\Tools\\Quillbay\\backup", "a file in the way");
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(Lines().front(), ExpectedRegLines().front());
    EXPECT_EQ(RegAddLines().size(), 56u);
    EXPECT_EQ(w.fs.Content("C:\\Tools\\Quillbay\\backup"), "a file in the way");
    EXPECT_NE(w.ErrorLog().find("'ApplySecurityConfiguration'"), std::string::npos);
}

TEST_F(Security, ReadOnlyProgramFolderLosesBackupAndLogButNotTheSettings) {
    w.fs.readOnlyFolders.insert("C:\\Tools");
    EXPECT_TRUE(certs::ApplySecurityConfiguration(w.main));
    EXPECT_EQ(RegAddLines(), ExpectedRegLines());
    EXPECT_EQ(w.ErrorLog(), "");
}

}  // namespace
