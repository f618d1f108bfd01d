// The work on certificates: chain files, the import, the TLS hardening, manual import, the
// store view and the thumbprint deployment binds by. Asserts on what the work returns and on
// the command lines it runs.
#include <gtest/gtest.h>

#include "certs/chain_files.h"
#include "certs/import.h"
#include "certs/store_view.h"
#include "certs/thumbprint.h"
#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;

namespace {

const std::string kBase = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders";
const std::string kBackup = "C:\\Tools\\Quillbay\\backup\\SecurityProviders-20261206090507";

const std::string kSys = "C:\\windows\\system32\\";

std::string ExportLine(const std::string& target) {
    return kSys + "reg.exe export \"" + kBase + "\" \"" + target + "\" /y";
}

std::string AddStore(const std::string& path) { return kSys + "certutil.exe -addstore -f \"CA\" \"" + path + "\""; }

using certs::SecurityOutcome;

// A machine with IIS's restart tool, recording the work's progress.
struct Bed : FakeMachine {
    Bed() {
        fs.AddFile(fs.systemFolder + "\\inetsrv\\iisreset.exe", "MZ");
        shell.keys.insert(Lower(kBase));
    }
    SecurityOutcome Harden() { return certs::ApplySecurityConfiguration(machine, progress); }
    RecordedProgress progress;
};

// Everything an import needs: a PFX and a password no interpreter may see.
struct ImportBed : Bed {
    ImportBed() {
        fs.AddFile(AppPath("fullchain.pfx"), "PFX");
        fs.AddFile(AppPath("password.txt"), "P@ss \"w0rd\" %x%\r\n");
    }
    certs::ImportOutcome Import(const std::vector<std::string>& chains = {"a.crt", "b.cer"}) {
        return certs::ImportCertificates(machine, chains, progress);
    }
};

class Certs : public ::testing::Test, public Bed {};
class Import : public ::testing::Test, public ImportBed {};

// The values as reg.exe stored them are checked in the registry by the end-to-end import; here,
// the order, the backup first and the restart last, and the outcome.
TEST_F(Certs, HardeningBacksUpWritesThe56ValuesHiddenAndWaitedThenRestartsIis) {
    const SecurityOutcome outcome = Harden();
    const std::vector<std::string> lines = shell.Lines();
    ASSERT_EQ(lines.size(), 58u);
    EXPECT_EQ(lines.front(), ExportLine(kBackup + ".reg"));
    EXPECT_EQ(lines.back(), kSys + "inetsrv\\iisreset.exe");
    for (const RunCall& r : shell.runs) EXPECT_TRUE(r.style == WindowStyle::Hidden && r.wait) << r.commandLine;
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.valuesWritten, 56);
    EXPECT_EQ(outcome.backupPath, kBackup + ".reg");
    EXPECT_TRUE(outcome.iisRestarted);
    EXPECT_EQ(progress.steps,
              (std::vector<std::string>{"MsgBox_ApplyingSecurityProtocol", "MsgBox_ConfiguringSCHANNEL",
                                        "MsgBox_ConfiguringCipher", "MsgBox_ConfiguringHash",
                                        "MsgBox_ConfiguringKeyExchange", "MsgBox_ConfiguringSecurityProtocols",
                                        "MsgBox_ConfiguringWDigest", "MsgBox_RefreshingIIS"}));
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(Certs, HardeningFailures) {
    struct Case {
        const char* what;
        std::function<void(Bed&)> arrange;
        bool ok;
        int written;
        bool restarted;
    };
    const std::string row10 = kSys + "reg.exe add \"" + kBase + "\\SCHANNEL\\Ciphers\\RC4 128/128\" /v Enabled /t REG_DWORD /d 0 /f";
    const Case cases[] = {
        {"row 10 fails: the rest is still written and IIS restarted",
         [&](Bed& t) { t.shell.onRun = [&](const std::string& l) { return l == row10 ? 1 : 0; }; }, false, 55, true},
        {"a failed restart is no success",
         [](Bed& t) { t.shell.onRun = [](const std::string& l) { return l.find("iisreset") != std::string::npos ? 5 : 0; }; },
         false, 56, true},
        {"without iisreset.exe no restart",
         [](Bed& t) { t.fs.Delete(t.fs.systemFolder + "\\inetsrv\\iisreset.exe"); }, true, 56, false},
        {"a tool that cannot start ends it at once",
         [](Bed& t) {
             t.shell.onRun = [n = 0](const std::string& l) mutable -> std::int32_t {
                 if (l.find("reg.exe add") != std::string::npos && ++n == 3) throw Failure(2, "not found");
                 return 0;
             };
         },
         false, 2, false},
        {"without a backup nothing is written",
         [](Bed& t) { t.fs.readOnlyFolders.insert(t.host.appFolder); }, false, 0, false},
    };
    for (const Case& c : cases) {
        Bed t;
        c.arrange(t);
        const SecurityOutcome outcome = t.Harden();
        EXPECT_EQ(outcome.ok, c.ok) << c.what;
        EXPECT_EQ(outcome.valuesWritten, c.written) << c.what;
        EXPECT_EQ(outcome.iisRestarted, c.restarted) << c.what;
        // Every value that was not written is a record with its exit code.
        if (c.written == 55) {
            EXPECT_NE(t.ErrorLog().find("A TLS value was not written: " + row10 + " (代码: 1)"), std::string::npos);
        }
        if (outcome.IisResetFailed()) {
            EXPECT_EQ(outcome.iisResetCode, 5);
            EXPECT_NE(t.ErrorLog().find("IIS could not be restarted: iisreset ended with an error (" + kSys +
                                        "inetsrv\\iisreset.exe) (代码: 5)"),
                      std::string::npos);
        }
    }
}

TEST_F(Certs, WithoutItsBackupNoValueIsWrittenAndAnEarlierBackupSurvives) {
    fs.AddFile(kBackup + ".reg", "earlier");
    fs.AddFile(kBackup + "-2.reg", "earlier");
    shell.onRun = [](const std::string& l) { return l.find("reg.exe export") != std::string::npos ? 1 : 0; };
    const SecurityOutcome outcome = Harden();
    EXPECT_EQ(shell.Lines(), std::vector<std::string>{ExportLine(kBackup + "-3.reg")});
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.backupFailed);
    EXPECT_EQ(outcome.backupCode, 1);
    EXPECT_EQ(outcome.valuesWritten, 0);
    EXPECT_EQ(outcome.backupPath, "");
    EXPECT_NE(ErrorLog().find("'ApplySecurityConfiguration' 中发生错误: Backup of the SecurityProviders key failed, TLS "
                              "settings left unchanged: reg export ended with an error (" +
                              ExportLine(kBackup + "-3.reg") + ") (代码: 1)"),
              std::string::npos);
}

TEST_F(Import, ChainsThenPfxThenHardeningAllJudgedByExitCode) {
    const certs::ImportOutcome outcome = ImportBed::Import();
    const std::vector<std::string> lines = shell.Lines();
    ASSERT_EQ(lines.size(), 3u + 1 + 56 + 1);
    EXPECT_EQ(lines[1], AddStore(AppPath("chain\\b.cer")));
    // The password reaches certutil unchanged, with no interpreter in between.
    EXPECT_EQ(lines[2], kSys + "certutil.exe -f -p \"P@ss \\\"w0rd\\\" %x%\" -importpfx \"C:\\Tools\\Quillbay\\fullchain.pfx\" NoRoot");
    EXPECT_EQ(lines[3].rfind(kSys + "reg.exe export", 0), 0u);
    for (const RunCall& r : shell.runs) EXPECT_TRUE(r.style == WindowStyle::Hidden && r.wait) << r.commandLine;
    EXPECT_EQ(certs::JudgeImport(outcome).verdict, Verdict::Done);
    EXPECT_EQ(outcome.ChainsImported(), 2);
    EXPECT_EQ(std::vector<std::string>(progress.steps.begin(), progress.steps.begin() + 4),
              (std::vector<std::string>{"lblStatus_ImportingCertChain 1/2", "lblStatus_ImportingCertChain 2/2",
                                        "lblStatus_ImportingPFX", "lblStatus_ApplyingSecurity"}));
}

TEST_F(Import, PartialOutcomes) {
    struct Case {
        const char* what;
        std::function<void(ImportBed&)> arrange;
        int chainsFailed;
        certs::PfxStatus pfx;
        std::int32_t code;
    };
    const Case cases[] = {
        {"a chain fails, another cannot start",
         [](ImportBed& t) {
             t.shell.onRun = [](const std::string& l) -> std::int32_t {
                 if (l.find("a.crt") != std::string::npos) return -2146885628;
                 if (l.find("b.cer") != std::string::npos) throw Failure(2, "not found");
                 return 0;
             };
         },
         2, certs::PfxStatus::Imported, 0},
        {"no password file", [](ImportBed& t) { t.fs.Delete(t.AppPath("password.txt")); }, 0,
         certs::PfxStatus::Missing, 0},
        {"no PFX", [](ImportBed& t) { t.fs.Delete(t.AppPath("fullchain.pfx")); }, 0,
         certs::PfxStatus::Missing, 0},
        {"a password file without a line", [](ImportBed& t) { t.fs.AddFile(t.AppPath("password.txt"), ""); }, 0,
         certs::PfxStatus::Missing, 0},
        {"certutil cannot start for the PFX",
         [](ImportBed& t) {
             t.shell.onRun = [](const std::string& l) -> std::int32_t {
                 if (l.find("-importpfx") != std::string::npos) throw Failure(2, "not found");
                 return 0;
             };
         },
         0, certs::PfxStatus::Failed, 2},
    };
    for (const Case& c : cases) {
        ImportBed t;
        c.arrange(t);
        const certs::ImportOutcome outcome = t.Import();
        EXPECT_EQ(certs::JudgeImport(outcome).verdict, Verdict::PartlyDone) << c.what;
        EXPECT_EQ(outcome.ChainsFailed(), c.chainsFailed) << c.what;
        if (c.chainsFailed > 0) {
            EXPECT_NE(t.ErrorLog().find("'ImportCertificates' 中发生错误: The chain certificate was not imported: a.crt "
                                        "(代码: -2146885628)"),
                      std::string::npos);
        }
        EXPECT_EQ(outcome.pfx.status, c.pfx) << c.what;
        EXPECT_EQ(outcome.pfx.code, c.code) << c.what;
        EXPECT_TRUE(outcome.security.ok) << c.what;  // the hardening runs whatever happened before
        // The password never reaches a log.
        EXPECT_EQ(t.ErrorLog().find("w0rd"), std::string::npos) << c.what;
        if (c.pfx == certs::PfxStatus::Failed) {
            EXPECT_NE(t.ErrorLog().find("导入PFX证书失败' 中发生错误: " + kSys + "certutil.exe -f -p \"********\" -importpfx"),
                      std::string::npos)
                << c.what;
        }
    }
}

TEST_F(Certs, ChainFilesAreCertificatesDirectlyInTheFolderInAnyLetterCase) {
    EXPECT_TRUE(certs::FindChainFiles(machine).empty());
    EXPECT_TRUE(fs.FolderExists(AppPath("chain")));  // made when missing
    for (const char* name : {"a.CRT", "b.cer", "c.Der", "d.pem", "e.crt.txt", "f", "sub\\g.crt"})
        fs.AddFile(AppPath("chain\\") + name, "x");
    EXPECT_EQ(certs::FindChainFiles(machine), (std::vector<std::string>{"a.CRT", "b.cer", "c.Der"}));
}

TEST_F(Certs, ManualImportCountsAndNeverOverwritesTheUsersFiles) {
    const std::string chain = AppPath("chain\\");
    fs.AddFile(chain + "inter.crt", "OLD");
    fs.AddFile(chain + "inter_20261206090507.crt", "OLDER");
    fs.AddFile(chain + "noext", "OLD");
    for (const char* f : {"D:\\one\\inter.crt", "D:\\two\\inter.crt", "D:\\noext", "D:\\x.der"}) fs.AddFile(f, f);
    shell.onRun = [](const std::string& l) -> std::int32_t {
        if (l.find("one\\inter") != std::string::npos) return 1;
        if (l.find("noext") != std::string::npos) throw Failure(2, "not found");
        return 0;
    };
    const certs::ManualImportOutcome outcome =
        certs::ImportChainFiles(machine, {"D:\\one\\inter.crt", "D:\\two\\inter.crt", "D:\\noext", "D:\\x.der"});
    EXPECT_EQ(outcome.imported, 2);
    EXPECT_EQ(outcome.copied, 4);
    EXPECT_EQ(shell.runs.at(1).commandLine, AddStore("D:\\two\\inter.crt"));
    EXPECT_EQ(fs.Content(chain + "inter.crt"), "OLD");
    EXPECT_EQ(fs.Content(chain + "inter_20261206090507.crt"), "OLDER");
    EXPECT_EQ(fs.Content(chain + "inter_20261206090507-2.crt"), "D:\\one\\inter.crt");
    EXPECT_EQ(fs.Content(chain + "inter_20261206090507-3.crt"), "D:\\two\\inter.crt");
    EXPECT_EQ(fs.Content(chain + "noext_20261206090507."), "D:\\noext");
    EXPECT_EQ(fs.Content(chain + "x.der"), "D:\\x.der");

    EXPECT_NE(ErrorLog().find("'ImportChainFiles' 中发生错误: The chain certificate was not imported: D:\\noext (代码: 2)"),
              std::string::npos);

    // A copy that fails is logged, and the files after it are still handled.
    fs.onCopy = [](const std::string& to) {
        if (to.find("b.crt") != std::string::npos) throw Failure(70, "Permission denied");
    };
    shell.onRun = nullptr;
    for (const char* f : {"D:\\a.crt", "D:\\b.crt", "D:\\c.crt"}) fs.AddFile(f, f);
    const certs::ManualImportOutcome second = certs::ImportChainFiles(machine, {"D:\\a.crt", "D:\\b.crt", "D:\\c.crt"});
    EXPECT_EQ(second.imported, 3);
    EXPECT_EQ(second.copied, 2);
    EXPECT_TRUE(fs.FileExists(chain + "c.crt"));
    EXPECT_NE(ErrorLog().find("The file was not copied into the chain folder: D:\\b.crt: Permission denied (代码: 70)"),
              std::string::npos);
}

TEST_F(Certs, StoreViewOpensTheConsoleFileThatIsThereWithTheSystemsConsoleHost) {
    const std::string mmc = kSys + "mmc.exe ";
    fs.AddFile(kSys + "certlm.msc", "<MMC_ConsoleFile/>");
    fs.AddFile(kSys + "certmgr.msc", "<MMC_ConsoleFile/>");
    EXPECT_EQ(certs::OpenSystemStore(machine, progress), certs::StoreConsole::LocalMachine);
    EXPECT_EQ(shell.Lines(), std::vector<std::string>{mmc + "\"" + kSys + "certlm.msc\""});
    EXPECT_EQ(shell.runs.at(0).style, WindowStyle::Normal);
    EXPECT_FALSE(shell.runs.at(0).wait);

    // An older server has no machine console: the user's console is opened instead.
    shell.runs.clear();
    fs.Delete(kSys + "certlm.msc");
    EXPECT_EQ(certs::OpenSystemStore(machine, progress), certs::StoreConsole::CurrentUser);
    EXPECT_EQ(shell.Lines(), std::vector<std::string>{mmc + "\"" + kSys + "certmgr.msc\""});
    EXPECT_NE(ErrorLog().find("'mnuChainViewSystemStore_Click' 中发生错误: certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。 "
                              "(代码: -2147024894)"),
              std::string::npos);

    fs.AddFile(kSys + "certlm.msc", "<MMC_ConsoleFile/>");
    shell.onRun = [](const std::string&) -> std::int32_t { throw Failure(2, "none"); };
    EXPECT_THROW(certs::OpenSystemStore(machine, progress), Failure);
}

// The thumbprint: which certificate of the PFX, its text form, and the record each failure leaves.
const std::string kPassword = " P@ss w0rd ";
// Bytes below 16, above 9 and at both ends of the range.
const std::string kServer = "\x0a\xff\x00\x10\x9f\xa0\x01\xee\x5c\x7d\x3e\xab\xeb\xfd\x87\x7d\x9c\x11\xf0\x0f"s;
const std::string kServerHex = "0AFF00109FA001EE5C7D3EABEBFD877D9C11F00F";
const std::string kOther(20, '\x2b');
const PfxCertificate server{true, kServer}, other{true, kOther}, inter{false, std::string(20, '\x01')},
    root{false, std::string(20, '\xfe')};

TEST(Thumbprint, FirstCertificateWithAKeyAsUpperCaseHexOrOneRecordPerFailure) {
    const struct {
        const char* what;
        std::optional<std::string> file;  // none: no file there
        std::vector<PfxCertificate> certificates;
        std::string given;  // the PFX opens with kPassword
        std::string thumbprint;
        std::string record;  // "" for none
    } cases[] = {
        {"two with keys: the first", "PFX", {inter, other, server}, kPassword, "2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B2B", ""},
        {"two with keys, the other way", "PFX", {server, other}, kPassword, kServerHex, ""},
        {"no key", "PFX", {inter, root}, kPassword, "", ""},
        {"password trimmed", "PFX", {server}, "P@ss w0rd", "",
         "The specified network password is not correct. (代码: -2147024810)"},
        {"empty", "", {server}, kPassword, "", "The PFX file is empty: C:\\Tools\\Quillbay\\fullchain.pfx (代码: 38)"},
        {"missing", std::nullopt, {server}, kPassword, "",
         "The PFX file is not there: C:\\Tools\\Quillbay\\fullchain.pfx (代码: 2)"},
    };
    for (const auto& c : cases) {
        FakeMachine m;
        if (c.file) m.fs.AddFile(m.AppPath("fullchain.pfx"), *c.file);
        m.pkcs12.password = kPassword;
        m.pkcs12.certificates = c.certificates;
        EXPECT_EQ(certs::GetPfxThumbprint_API(m.machine, m.AppPath("fullchain.pfx"), c.given), c.thumbprint) << c.what;
        const std::string log = m.ErrorLog();
        if (c.record.empty())
            EXPECT_EQ(log, "") << c.what;
        else
            EXPECT_EQ(log, "[" + m.clock.TimestampText() + "] 在过程 'GetPfxThumbprint_API' 中发生错误: " + c.record +
                               "\r\n" + Log::kSeparator + "\r\n")
                << c.what;
        EXPECT_EQ((log + m.InfoLog()).find("w0rd"), std::string::npos) << c.what;
    }
}


}  // namespace
