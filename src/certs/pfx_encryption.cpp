#include "certs/pfx_encryption.h"

#include <cstdint>
#include <string_view>

#include "certs/tls_profiles.h"

namespace quillbay::certs {

namespace {

// DER encodings of the object identifiers that name the schemes, without tag and length.
constexpr std::string_view kPbes2 = "\x2a\x86\x48\x86\xf7\x0d\x01\x05\x0d";       // 1.2.840.113549.1.5.13
constexpr std::string_view kPkcs12Pbe = "\x2a\x86\x48\x86\xf7\x0d\x01\x0c\x01";  // 1.2.840.113549.1.12.1.*
constexpr std::string_view kAes = "\x60\x86\x48\x01\x65\x03\x04\x01";            // 2.16.840.1.101.3.4.1.*

struct Found {
    bool pbes2Aes = false, legacy = false;
};

// Walks the DER in bytes: the object identifiers anywhere in it, into octet strings that hold
// DER themselves (a PFX nests its safe contents so). depth bounds a hostile nesting.
bool Walk(std::string_view der, int depth, Found& found) {
    if (depth > 32) return false;
    while (!der.empty()) {
        if (der.size() < 2) return false;
        const auto tag = static_cast<unsigned char>(der[0]);
        std::size_t length = static_cast<unsigned char>(der[1]), header = 2;
        if (length & 0x80) {
            const std::size_t octets = length & 0x7f;
            if (octets == 0 || octets > 4 || der.size() < 2 + octets) return false;
            length = 0;
            for (std::size_t i = 0; i < octets; ++i) length = length << 8 | static_cast<unsigned char>(der[2 + i]);
            header += octets;
        }
        if (der.size() - header < length) return false;
        const std::string_view value = der.substr(header, length);
        if (tag == 0x06) {
            found.legacy = found.legacy || (value.size() == kPkcs12Pbe.size() + 1 && value.substr(0, kPkcs12Pbe.size()) == kPkcs12Pbe);
            found.pbes2Aes = found.pbes2Aes || (value.size() == kAes.size() + 1 && value.substr(0, kAes.size()) == kAes);
        } else if (tag & 0x20) {
            if (!Walk(value, depth + 1, found)) return false;
        } else if (tag == 0x04) {
            Found inner;  // an octet string that is not DER is data, not structure
            if (Walk(value, depth + 1, inner)) {
                found.legacy = found.legacy || inner.legacy;
                found.pbes2Aes = found.pbes2Aes || inner.pbes2Aes;
            }
        }
        der.remove_prefix(header + length);
    }
    return true;
}

bool HasPbes2(std::string_view der) { return der.find(kPbes2) != std::string_view::npos; }

}  // namespace

PfxEncryption ReadPfxEncryption(const std::string& bytes) {
    Found found;
    if (!Walk(bytes, 0, found)) return PfxEncryption::Unknown;
    // AES only under PBES2: a cipher named elsewhere (a key's own algorithm) is not the PFX's.
    if (found.pbes2Aes && HasPbes2(bytes)) return PfxEncryption::Aes;
    return found.legacy ? PfxEncryption::Legacy : PfxEncryption::Unknown;
}

std::optional<int> AesPfxTooNew(Machine& machine, const ServerFiles& files) {
    std::string bytes;
    try {
        bytes = machine.fs.ReadBytes(files.pfx);
    } catch (const Failure&) {
        return std::nullopt;  // what cannot be read is reported where it is opened
    }
    if (ReadPfxEncryption(bytes) != PfxEncryption::Aes) return std::nullopt;
    const int build = OsBuild(machine);
    if (build <= 0 || build >= kFirstBuildReadingAesPfx) return std::nullopt;
    return build;
}

}  // namespace quillbay::certs
