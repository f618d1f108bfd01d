// The work on certificates: chain files, the import, the TLS hardening, manual import, the
// store view and the thumbprint deployment binds by. Asserts on what the work returns and on
// the command lines it runs.
#include <gtest/gtest.h>

#include "certs/chain_files.h"
#include "certs/import.h"
#include "certs/pfx_encryption.h"
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

struct Bed : FakeMachine {
    Bed() { fs.AddFile(fs.systemFolder + "\\inetsrv\\iisreset.exe", "MZ"); }
    SecurityOutcome Harden() { return certs::ApplySecurityConfiguration(machine, progress, certs::TlsProfile::Compatible); }
    NoProgress progress;
};

// Everything an import needs: a PFX and a password no interpreter may see.
struct ImportBed : Bed {
    ImportBed() {
        fs.AddFile(AppPath("fullchain.pfx"), "PFX");
        fs.AddFile(AppPath("password.txt"), "P@ss \"w0rd\" %x%\r\n");
    }
    certs::ImportOutcome Import(const std::vector<std::string>& chains = {"a.crt", "b.cer"}) {
        return certs::ImportCertificates(machine, chains, certs::TlsProfile::Compatible, progress);
    }
};

class Certs : public ::testing::Test, public Bed {};
class Import : public ::testing::Test, public ImportBed {};

TEST_F(Certs, HardeningFailures) {
    const std::string row10 = kSys + "reg.exe add \"" + kBase + "\\SCHANNEL\\Ciphers\\RC4 128/128\" /v Enabled /t REG_DWORD /d 0 /f";
    const struct {
        const char* what;
        std::function<void(Bed&)> arrange;
        bool ok;
        int written;
        bool restarted;
        std::string record = {};  // a piece of log-error.txt
    } cases[] = {
        {"row 10 fails: the rest is still written and IIS restarted", [&](Bed& t) { t.Fail(row10, 1); }, false, 55, true,
         "A TLS value was not written: " + row10 + " (代码: 1)"},
        {"a failed restart is no success", [](Bed& t) { t.Fail("iisreset", 5); }, false, 56, true,
         "IIS could not be restarted: iisreset ended with an error (" + kSys + "inetsrv\\iisreset.exe) (代码: 5)"},
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
        // Named after the earlier backups, which reg export /y would overwrite.
        {"a failed export: nothing is written",
         [](Bed& t) {
             t.fs.AddFile(kBackup + ".reg", "earlier");
             t.fs.AddFile(kBackup + "-2.reg", "earlier");
             t.Fail("reg.exe export", 1);
         },
         false, 0, false,
         "'ApplySecurityConfiguration' 中发生错误: Backup of the SecurityProviders key failed, TLS settings left unchanged: "
         "reg export ended with an error (" + ExportLine(kBackup + "-3.reg") + ") (代码: 1)"},
    };
    for (const auto& c : cases) {
        Bed t;
        c.arrange(t);
        const SecurityOutcome outcome = t.Harden();
        EXPECT_EQ(outcome.ok, c.ok) << c.what;
        EXPECT_EQ(outcome.valuesWritten, c.written) << c.what;
        EXPECT_EQ(outcome.iisRestarted, c.restarted) << c.what;
        EXPECT_EQ(outcome.backupPath.empty(), c.written == 0) << c.what;
        EXPECT_THAT(t.ErrorLog(), HasSubstr(c.record)) << c.what;
    }
}

// The values as reg.exe stored them, the backup and what the import reports are checked by the
// end-to-end import; the verdicts against the console's (outcome_test). Here, the order (the
// chains, the PFX, the backup, the values, the restart) and how each runs.
TEST_F(Import, ChainsThenPfxThenHardeningEachHiddenAndWaitedFor) {
    ImportBed::Import();
    const std::vector<std::string> lines = Changes();
    ASSERT_EQ(lines.size(), 3u + 1 + 56 + 1);
    EXPECT_EQ(lines[1], AddStore(AppPath("chain\\b.cer")));
    // The password reaches certutil unchanged, with no interpreter in between.
    EXPECT_EQ(lines[2], kSys + "certutil.exe -f -p \"P@ss \\\"w0rd\\\" %x%\" -importpfx \"C:\\Tools\\Quillbay\\fullchain.pfx\" NoRoot");
    EXPECT_EQ(lines[3], ExportLine(kBackup + ".reg"));
    EXPECT_EQ(lines.back(), kSys + "inetsrv\\iisreset.exe");
    for (const RunCall& r : shell.runs) EXPECT_TRUE(r.style == WindowStyle::Hidden && r.wait) << r.commandLine;
    EXPECT_EQ(ErrorLog(), "");
}

// Without the PFX, the password file or a line in it, certutil never sees the PFX and the import
// is not done.
TEST(ImportPfx, MissingWithoutTheFilesOrAPasswordLine) {
    const std::function<void(ImportBed&)> arrangements[] = {
        [](ImportBed& t) { t.fs.Delete(t.AppPath("fullchain.pfx")); },
        [](ImportBed& t) { t.fs.Delete(t.AppPath("password.txt")); },
        [](ImportBed& t) { t.fs.AddFile(t.AppPath("password.txt"), ""); },
    };
    for (const auto& arrange : arrangements) {
        ImportBed t;
        arrange(t);
        const certs::ImportOutcome outcome = t.Import();
        EXPECT_EQ(outcome.pfx.status, certs::PfxStatus::Missing);
        EXPECT_EQ(certs::JudgeImport(outcome).verdict, Verdict::PartlyDone);
        EXPECT_EQ(t.Count("-importpfx"), 0u);
    }
}

// The PFX's encryption from the file: OpenSSL's legacy 3DES, OpenSSL 3's default AES; a file
// that is not a PFX, or is cut short, tells nothing.
TEST(PfxEncryption, ReadFromTheFileItself) {
    const std::string aes = Fixture("nonascii.pfx");
    ASSERT_GT(aes.size(), 1000u);
    EXPECT_EQ(certs::ReadPfxEncryption(Fixture("leaf.pfx")), certs::PfxEncryption::Legacy);
    EXPECT_EQ(certs::ReadPfxEncryption(aes), certs::PfxEncryption::Aes);
    EXPECT_EQ(certs::ReadPfxEncryption(aes.substr(0, aes.size() / 2)), certs::PfxEncryption::Unknown);
    EXPECT_EQ(certs::ReadPfxEncryption("PFX"), certs::PfxEncryption::Unknown);
    EXPECT_EQ(certs::ReadPfxEncryption(std::string(40, '\x30')), certs::PfxEncryption::Unknown);
}

TEST_F(Certs, ChainFilesAreCertificatesDirectlyInTheFolderInAnyLetterCase) {
    EXPECT_TRUE(certs::FindChainFiles(machine).empty());  // the folder made when missing
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
    // What the tool said of its failure goes into the record: the line naming it, not the first.
    shell.toolOutput = [](const std::string&) { return "CA\r\n\r\nCertUtil: -addstore command FAILED: 0x80092009\r\nCertUtil: Cannot find object\r\n"; };
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

    EXPECT_THAT(ErrorLog(), HasSubstr("imported: D:\\one\\inter.crt; the tool said: CertUtil: -addstore command FAILED: 0x80092009 (代码: 1)"));
    EXPECT_THAT(ErrorLog(), HasSubstr("'ImportChainFiles' 中发生错误: The chain certificate was not imported: D:\\noext: not found (代码: 2)"));

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
    EXPECT_THAT(ErrorLog(), HasSubstr("The file was not copied into the chain folder: D:\\b.crt: Permission denied (代码: 70)"));
}

TEST_F(Certs, StoreViewOpensTheConsoleFileThatIsThereWithTheSystemsConsoleHost) {
    const std::string mmc = kSys + "mmc.exe ";
    fs.AddFile(kSys + "certlm.msc", "<MMC_ConsoleFile/>");
    fs.AddFile(kSys + "certmgr.msc", "<MMC_ConsoleFile/>");
    EXPECT_EQ(certs::OpenSystemStore(machine, progress), certs::StoreConsole::LocalMachine);
    EXPECT_EQ(Changes(), std::vector<std::string>{mmc + "\"" + kSys + "certlm.msc\""});
    EXPECT_EQ(shell.runs.at(0).style, WindowStyle::Normal);
    EXPECT_FALSE(shell.runs.at(0).wait);
    // The user's console when the machine's is not there, and the failure of both, are driven end to
    // end (85-view-store).
}

// The thumbprint: which certificate of the PFX, its text form, and the record each failure leaves.
const std::string kPassword = " P@ss w0rd ";
// Bytes below 16, above 9 and at both ends of the range.
const std::string kServer = "\x0a\xff\x00\x10\x9f\xa0\x01\xee\x5c\x7d\x3e\xab\xeb\xfd\x87\x7d\x9c\x11\xf0\x0f"s;
const std::string kServerHex = "0AFF00109FA001EE5C7D3EABEBFD877D9C11F00F";
const PfxCertificate server{true, kServer}, other{true, std::string(20, '\x2b')}, inter{false, std::string(20, '\x01')},
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
        {"the first with a key", "PFX", {inter, server, other}, kPassword, kServerHex, ""},
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
