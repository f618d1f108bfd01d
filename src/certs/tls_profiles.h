#pragma once
// The TLS settings as profiles: Compatible (the hardening's 56 values), Modern (TLS 1.2 and 1.3
// only, AEAD suites with forward secrecy), or Unchanged; and an audit of what the registry holds
// against each.
#include <optional>
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::certs {

enum class TlsProfile { Compatible, Modern, Unchanged };

// The key every SCHANNEL and WDigest value lives under; the backup exports it whole.
inline constexpr const char* kSecurityProvidersKey = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\SecurityProviders";
// The first Windows build whose TLS stack has TLS 1.3 (Windows Server 2022); below it TLS 1.3
// is left alone.
inline constexpr int kFirstBuildWithTls13 = 20348;
// The first build that ships TLS 1.0 and 1.1 switched off (Windows Server 2025).
inline constexpr int kFirstBuildWithoutTls10 = 26100;
// Where the cipher suite order is read as policy, and its value.
inline constexpr const char* kCipherSuitePolicyKey =
    "HKLM\\SOFTWARE\\Policies\\Microsoft\\Cryptography\\Configuration\\SSL\\00010002";
// The shallowest key above it that a TLS change may create, and so its undo delete: never the
// policies of anything else.
inline constexpr const char* kCipherSuitePolicyRoot = "HKLM\\SOFTWARE\\Policies\\Microsoft\\Cryptography";

// A value of the TLS settings: its key (the whole path, "HKLM\..."), name, type and data as
// reg.exe takes them ("0xffffffff", "3des,rc4").
struct TlsValue {
    std::string key;
    std::string name;
    std::string type;
    std::string data;
};

// The 56 values of the Compatible profile, in the order they are written.
inline constexpr int kCompatibleValueCount = 56;
std::vector<TlsValue> CompatibleValues();

// The values the profile writes, in order; none for Unchanged.
std::vector<TlsValue> ProfileValues(TlsProfile profile, int osBuild);

// The running system's build number (CurrentBuildNumber); 0 when it cannot be read.
int OsBuild(Machine& machine);

// The protocols the Compatible profile would switch on although this system has them off, by its
// registry or, where the registry says nothing, by the release's default: "TLS 1.0", "TLS 1.1".
std::vector<std::string> CompatibleReenables(Machine& machine, int osBuild);
// The same for the profile an import is about to set, on this system; none unless Compatible.
std::vector<std::string> ReenabledBy(Machine& machine, TlsProfile profile);

struct TlsAuditRow {
    TlsValue value;                      // key, name and type; data as Compatible has it, else Modern
    std::optional<std::string> current;  // as the registry holds it; none when not set
    std::optional<std::string> compatible, modern;  // what each profile writes; none: it leaves it alone
};
struct TlsAudit {
    int osBuild = 0;
    std::vector<TlsAuditRow> rows;  // every value either profile touches, Compatible's first
    int compatibleDiffers = 0;      // values of the profile the registry does not hold so
    int modernDiffers = 0;
    // The profile the registry matches exactly, if any.
    std::optional<TlsProfile> Matches() const;
};
TlsAudit AuditTls(Machine& machine);

// A value's data as the registry reads it back: text as it is, a number in decimal (signed, as
// a 32-bit value reads), so that "0xffffffff" and "-1" compare equal.
std::string AsRegistryReads(const TlsValue& value);

// The profile's name on the command line ("compatible", "modern", "unchanged") and back.
const char* ProfileName(TlsProfile profile);
std::optional<TlsProfile> ProfileNamed(const std::string& name);
// The key of the profile's name in the user's language.
const char* ProfileKey(TlsProfile profile);

}  // namespace quillbay::certs
