// The thumbprint deployment binds by: which certificate of the PFX, its text form, and the
// record each failure leaves.
#include <gtest/gtest.h>

#include "certs/thumbprint.h"
#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;
using namespace std::string_literals;

namespace {

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
