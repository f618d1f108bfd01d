// The update signature check through CNG, with a key pair and a signature openssl made.
#include <gtest/gtest.h>

#include "test_support.h"
#include "update/signature.h"
#include "win32/signature_win32.h"

namespace quillbay::win32::testing {
namespace {

TEST(Win32Signatures, AcceptsOpensslsSignatureAndNothingElse) {
    Win32SignatureVerifier verifier;
    const std::string key = ReadRaw(FixturePath("signing.pub.pem"));
    const std::string data = ReadRaw(FixturePath("signed.bin"));
    const std::string signature = ReadRaw(FixturePath("signed.bin.sig"));
    EXPECT_EQ(update::SignatureProblem(verifier, key, data, signature), std::nullopt);

    std::string changed = data;
    changed[1500] ^= 1;
    std::string otherKey = key;  // the same shape, another point: not on the curve, or not the signer
    otherKey[otherKey.find("-----END") - 10] ^= 2;
    const struct {
        const char* what;
        std::string key, data;
    } refused[] = {{"one bit changed", key, changed}, {"another key", otherKey, data}};
    for (const auto& c : refused)
        EXPECT_EQ(update::SignatureProblem(verifier, c.key, c.data, signature), "the signature does not match the package")
            << c.what;
}

}  // namespace
}  // namespace quillbay::win32::testing
