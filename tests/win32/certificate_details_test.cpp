// What the pre-flight check reads of certificates through crypt32, against the openssl-made
// fixtures: a PFX, and chain files in PEM, DER, bare Base64 and PKCS #7.
#include <gtest/gtest.h>

#include <map>

#include "certs/inspect.h"
#include "test_support.h"
#include "win32/clock_win32.h"
#include "win32/pkcs12_win32.h"

namespace quillbay::win32::testing {
namespace {

constexpr std::int64_t kValidity = 9000LL * 86400;  // make-fixtures.sh: -days 9000

// Each certificate of a fixture file by its name (FixtureName).
std::map<std::string, PfxCertificate> ByName(const std::vector<PfxCertificate>& certificates) {
    std::map<std::string, PfxCertificate> found;
    for (const PfxCertificate& c : certificates) found[FixtureName(certs::HexThumbprint(c.sha1))] = c;
    return found;
}

std::vector<PfxCertificate> DecodeFile(Win32Pkcs12& pkcs12, const std::string& fixture) {
    std::vector<PfxCertificate> all;
    for (const std::string& der : certs::CertificateBlobs(ReadRaw(FixturePath(fixture))))
        for (PfxCertificate& c : pkcs12.DecodeCertificates(der)) all.push_back(std::move(c));
    return all;
}

TEST(Win32CertificateDetails, ChainFilesInEveryEncodingAndThePfx) {
    Win32Pkcs12 pkcs12;
    const struct {
        const char* file;
        std::vector<std::string> names;
    } cases[] = {
        {"inter.crt", {"inter"}}, {"inter.der", {"inter"}}, {"inter.b64", {"inter"}},
        {"chain.p7b", {"inter", "root"}}, {"leaf.crt", {"leaf"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& [name, certificate] : ByName(DecodeFile(pkcs12, c.file))) {
            names.push_back(name);
            EXPECT_FALSE(certificate.hasPrivateKey);
            EXPECT_EQ(certificate.details.notAfter - certificate.details.notBefore, kValidity) << c.file;
        }
        EXPECT_EQ(names, c.names) << c.file;
    }
    for (const char* bad : {"garbage.crt", "empty.crt"})
        EXPECT_NE(FailureNumber([&] { DecodeFile(pkcs12, bad); }), 0) << bad;

    // The server certificate's names, as the console program prints them; its key, host names,
    // validity and chain are shown end to end (97-console).
    const CertificateDetails leaf = ByName(pkcs12.Open(ReadRaw(FixturePath("leaf.pfx")), "Secret#1")).at("leaf").details;
    EXPECT_EQ(leaf.subject, "CN=www.example.com");
    EXPECT_EQ(leaf.issuer, "O=Quillbay Test, CN=Quillbay Test Intermediate");
    EXPECT_EQ(UnixSeconds(FILETIME{0xD53E8000, 0x019DB1DE}), 0);  // 1970-01-01 00:00 UTC
}

}  // namespace
}  // namespace quillbay::win32::testing
