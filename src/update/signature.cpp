#include "update/signature.h"

#include <cstdint>

#include "support/text.h"

namespace quillbay::update {

namespace {

// One DER element at `at`: its tag and where its contents are. Short and long lengths of up
// to four bytes; the element must fit before `end`.
struct Element {
    unsigned char tag = 0;
    std::size_t contents = 0, length = 0;
    std::size_t End() const { return contents + length; }
};
std::optional<Element> ReadElement(const std::string& der, std::size_t at, std::size_t end) {
    if (at + 2 > end) return std::nullopt;
    Element e;
    e.tag = static_cast<unsigned char>(der[at]);
    std::size_t length = static_cast<unsigned char>(der[at + 1]);
    std::size_t next = at + 2;
    if (length & 0x80) {
        const std::size_t bytes = length & 0x7F;
        if (bytes == 0 || bytes > 4 || next + bytes > end) return std::nullopt;
        length = 0;
        for (std::size_t i = 0; i < bytes; ++i) length = length << 8 | static_cast<unsigned char>(der[next + i]);
        next += bytes;
    }
    if (length > end - next) return std::nullopt;
    e.contents = next;
    e.length = length;
    return e;
}

// id-ecPublicKey (1.2.840.10045.2.1) and prime256v1 (1.2.840.10045.3.1.7), DER-encoded.
const std::string kEcPublicKey("\x06\x07\x2a\x86\x48\xce\x3d\x02\x01", 9);
const std::string kPrime256v1("\x06\x08\x2a\x86\x48\xce\x3d\x03\x01\x07", 10);

}  // namespace

std::optional<std::string> P256PointFromPem(const std::string& pem) {
    static const std::string kBegin = "-----BEGIN PUBLIC KEY-----", kEnd = "-----END PUBLIC KEY-----";
    const std::size_t begin = pem.find(kBegin), end = pem.find(kEnd);
    if (begin == std::string::npos || end == std::string::npos || end < begin) return std::nullopt;
    const std::optional<std::string> der = Base64Decode(pem.substr(begin + kBegin.size(), end - begin - kBegin.size()));
    if (!der) return std::nullopt;
    // SEQUENCE { SEQUENCE { OID ecPublicKey, OID prime256v1 }, BIT STRING { 0 unused bits, point } }
    const auto info = ReadElement(*der, 0, der->size());
    if (!info || info->tag != 0x30 || info->End() != der->size()) return std::nullopt;
    const auto algorithm = ReadElement(*der, info->contents, info->End());
    if (!algorithm || algorithm->tag != 0x30 ||
        der->substr(algorithm->contents, algorithm->length) != kEcPublicKey + kPrime256v1)
        return std::nullopt;
    const auto bits = ReadElement(*der, algorithm->End(), info->End());
    if (!bits || bits->tag != 0x03 || bits->End() != info->End() || bits->length != 66 || (*der)[bits->contents] != 0 ||
        (*der)[bits->contents + 1] != 0x04)
        return std::nullopt;
    return der->substr(bits->contents + 1, 65);
}

std::optional<std::string> RawP256Signature(const std::string& der) {
    const auto sequence = ReadElement(der, 0, der.size());
    if (!sequence || sequence->tag != 0x30 || sequence->End() != der.size()) return std::nullopt;
    std::string raw;
    std::size_t at = sequence->contents;
    for (int i = 0; i < 2; ++i) {
        const auto number = ReadElement(der, at, sequence->End());
        if (!number || number->tag != 0x02 || number->length == 0) return std::nullopt;
        std::string value = der.substr(number->contents, number->length);
        if (static_cast<unsigned char>(value[0]) & 0x80) return std::nullopt;  // negative
        while (value.size() > 1 && value[0] == '\0') value.erase(0, 1);
        if (value.size() > 32) return std::nullopt;
        raw += std::string(32 - value.size(), '\0') + value;
        at = number->End();
    }
    if (at != sequence->End()) return std::nullopt;
    return raw;
}

std::optional<std::string> SignatureProblem(SignatureVerifier& verifier, const std::string& keyPem,
                                            const std::string& package, const std::string& signature) {
    const std::optional<std::string> point = P256PointFromPem(keyPem);
    if (!point) return "the program's update key is not a P-256 public key";
    const std::optional<std::string> raw = RawP256Signature(signature);
    if (!raw) return "the signature file is not an ECDSA signature";
    if (!verifier.VerifyP256(*point, package, *raw)) return "the signature does not match the package";
    return std::nullopt;
}

}  // namespace quillbay::update
