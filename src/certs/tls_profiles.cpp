#include "certs/tls_profiles.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace quillbay::certs {

namespace {

std::string Schannel() { return std::string(kSecurityProvidersKey) + "\\SCHANNEL"; }

struct CompatibleRow {
    const char* keySuffix;  // below SecurityProviders
    const char* name;
    const char* type;
    const char* data;
};
// Row 21 carries the 0x prefix: without it reg.exe reads the digits as decimal and the minimum
// becomes 800 bits instead of 2048.
constexpr CompatibleRow kCompatible[] = {
    {"", "SecurityProviders", "REG_SZ", "credssp.dll"},
    {"\\SCHANNEL", "EventLogging", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Ciphers\\AES 128/128", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Ciphers\\AES 256/256", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Ciphers\\DES 56/56", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\NULL", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC2 128/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC2 40/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC2 56/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC4 128/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC4 40/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC4 56/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\RC4 64/128", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Ciphers\\Triple DES 168", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Hashes\\MD5", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Hashes\\SHA", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Hashes\\SHA256", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Hashes\\SHA384", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Hashes\\SHA512", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman", "ServerMinKeyBitLength", "REG_DWORD", "0x00000800"},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\ECDH", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\KeyExchangeAlgorithms\\PKCS", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Client", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Client", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Server", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\Multi-Protocol Unified Hello\\Server", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Client", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Client", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Server", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\PCT 1.0\\Server", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Client", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Client", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Server", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\SSL 2.0\\Server", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Client", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Client", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Server", "Enabled", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\SSL 3.0\\Server", "DisabledByDefault", "REG_DWORD", "1"},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Client", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Client", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Server", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.0\\Server", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Client", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Client", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Server", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.1\\Server", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Client", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Client", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Server", "Enabled", "REG_DWORD", "0xffffffff"},
    {"\\SCHANNEL\\Protocols\\TLS 1.2\\Server", "DisabledByDefault", "REG_DWORD", "0"},
    {"\\WDigest", "Debuglevel", "REG_DWORD", "0"},
    {"\\WDigest", "Negotiate", "REG_DWORD", "0"},
    {"\\WDigest", "UTF8HTTP", "REG_DWORD", "1"},
    {"\\WDigest", "UTF8SASL", "REG_DWORD", "1"},
    {"\\WDigest", "DigestEncryptionAlgorithms", "REG_SZ", "3des,rc4"},
};
static_assert(std::size(kCompatible) == kCompatibleValueCount);

TlsValue Dword(const std::string& suffix, const char* name, const char* data) {
    return {Schannel() + suffix, name, "REG_DWORD", data};
}

// A protocol for client and server: on (Enabled 1, DisabledByDefault 0) or off (0, 1).
void Protocol(std::vector<TlsValue>& values, const std::string& protocol, bool on) {
    for (const char* side : {"Client", "Server"}) {
        values.push_back(Dword("\\Protocols\\" + protocol + "\\" + side, "Enabled", on ? "1" : "0"));
        values.push_back(Dword("\\Protocols\\" + protocol + "\\" + side, "DisabledByDefault", on ? "0" : "1"));
    }
}

// Forward secrecy and authenticated encryption only, strongest first; TLS 1.3's where it exists.
std::string CipherSuiteOrder(bool tls13) {
    std::string order = tls13 ? "TLS_AES_256_GCM_SHA384,TLS_AES_128_GCM_SHA256," : "";
    return order +
           "TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384,TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256,"
           "TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384,TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256,"
           "TLS_DHE_RSA_WITH_AES_256_GCM_SHA384,TLS_DHE_RSA_WITH_AES_128_GCM_SHA256";
}

std::vector<TlsValue> ModernValues(int osBuild) {
    std::vector<TlsValue> values;
    for (const char* old : {"SSL 2.0", "SSL 3.0", "TLS 1.0", "TLS 1.1"}) Protocol(values, old, false);
    Protocol(values, "TLS 1.2", true);
    const bool tls13 = osBuild >= kFirstBuildWithTls13;
    if (tls13) Protocol(values, "TLS 1.3", true);
    for (const char* weak : {"Triple DES 168", "RC4 128/128", "RC4 64/128", "RC4 56/128", "RC4 40/128", "DES 56/56", "NULL",
                             "RC2 128/128", "RC2 56/128", "RC2 40/128"})
        values.push_back(Dword(std::string("\\Ciphers\\") + weak, "Enabled", "0"));
    for (const char* strong : {"AES 128/128", "AES 256/256"})
        values.push_back(Dword(std::string("\\Ciphers\\") + strong, "Enabled", "0xffffffff"));
    values.push_back(Dword("\\Hashes\\MD5", "Enabled", "0"));
    values.push_back(Dword("\\KeyExchangeAlgorithms\\Diffie-Hellman", "ServerMinKeyBitLength", "0x00000800"));
    values.push_back(Dword("\\KeyExchangeAlgorithms\\Diffie-Hellman", "ClientMinKeyBitLength", "0x00000800"));
    values.push_back({kCipherSuitePolicyKey, "Functions", "REG_SZ", CipherSuiteOrder(tls13)});
    return values;
}

bool SameValue(const TlsValue& a, const TlsValue& b) { return a.key == b.key && a.name == b.name; }

constexpr const char* kProfileNames[] = {"compatible", "modern", "unchanged"};
constexpr const char* kProfileKeys[] = {"TlsProfile_Compatible", "TlsProfile_Modern", "TlsProfile_Unchanged"};

}  // namespace

std::vector<TlsValue> CompatibleValues() {
    std::vector<TlsValue> values;
    for (const CompatibleRow& row : kCompatible)
        values.push_back({std::string(kSecurityProvidersKey) + row.keySuffix, row.name, row.type, row.data});
    return values;
}

const char* ProfileName(TlsProfile profile) { return kProfileNames[static_cast<int>(profile)]; }
const char* ProfileKey(TlsProfile profile) { return kProfileKeys[static_cast<int>(profile)]; }

std::optional<TlsProfile> ProfileNamed(const std::string& name) {
    for (TlsProfile p : {TlsProfile::Compatible, TlsProfile::Modern, TlsProfile::Unchanged})
        if (name == ProfileName(p)) return p;
    return std::nullopt;
}

std::vector<std::string> CompatibleReenables(Machine& machine, int osBuild) {
    std::vector<std::string> protocols;
    for (const char* protocol : {"TLS 1.0", "TLS 1.1"}) {
        const std::string server = Schannel() + "\\Protocols\\" + protocol + "\\Server\\";
        std::optional<std::string> enabled, byDefault;
        try {
            enabled = machine.shell.RegRead(server + "Enabled");
        } catch (const Failure&) {  // not set: the release decides
        }
        try {
            byDefault = machine.shell.RegRead(server + "DisabledByDefault");
        } catch (const Failure&) {
        }
        const bool off = enabled ? *enabled == "0" || byDefault == "1" : byDefault == "1" || osBuild >= kFirstBuildWithoutTls10;
        if (off) protocols.push_back(protocol);
    }
    return protocols;
}

std::vector<std::string> ReenabledBy(Machine& machine, TlsProfile profile) {
    return profile == TlsProfile::Compatible ? CompatibleReenables(machine, OsBuild(machine)) : std::vector<std::string>();
}

std::vector<TlsValue> ProfileValues(TlsProfile profile, int osBuild) {
    switch (profile) {
        case TlsProfile::Compatible: return CompatibleValues();
        case TlsProfile::Modern: return ModernValues(osBuild);
        case TlsProfile::Unchanged: break;
    }
    return {};
}

int OsBuild(Machine& machine) {
    try {
        return std::atoi(machine.shell.RegRead("HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\CurrentBuildNumber").c_str());
    } catch (const Failure&) {
        return 0;
    }
}

std::string AsRegistryReads(const TlsValue& value) {
    if (value.type != "REG_DWORD") return value.data;
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(std::strtoul(value.data.c_str(), nullptr, 0))));
}

std::optional<TlsProfile> TlsAudit::Matches() const {
    if (compatibleDiffers == 0) return TlsProfile::Compatible;
    if (modernDiffers == 0) return TlsProfile::Modern;
    return std::nullopt;
}

TlsAudit AuditTls(Machine& machine) {
    TlsAudit audit;
    audit.osBuild = OsBuild(machine);
    auto row = [&](const TlsValue& v) -> TlsAuditRow& {
        for (TlsAuditRow& r : audit.rows)
            if (SameValue(r.value, v)) return r;
        audit.rows.push_back({v, std::nullopt, std::nullopt, std::nullopt});
        try {
            audit.rows.back().current = machine.shell.RegRead(v.key + "\\" + v.name);
        } catch (const Failure&) {  // not set
        }
        return audit.rows.back();
    };
    for (const TlsValue& v : ProfileValues(TlsProfile::Compatible, audit.osBuild)) {
        TlsAuditRow& r = row(v);
        r.compatible = AsRegistryReads(v);
        audit.compatibleDiffers += r.current == r.compatible ? 0 : 1;
    }
    for (const TlsValue& v : ProfileValues(TlsProfile::Modern, audit.osBuild)) {
        TlsAuditRow& r = row(v);
        r.modern = AsRegistryReads(v);
        audit.modernDiffers += r.current == r.modern ? 0 : 1;
    }
    return audit;
}

}  // namespace quillbay::certs
