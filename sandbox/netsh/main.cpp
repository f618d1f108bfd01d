// netsh.exe stand-in for the HTTP.sys certificate bindings: "http add sslcert",
// "http delete sslcert" and "http show sslcert", kept in http.tsv. A binding needs its
// certificate, with its private key, in the named machine store of the sandbox.
//
// The host's IIS version stands for its Windows release: host-name bindings (hostnameport=, the
// SNI bindings of IIS 8) came with Windows Server 2012, so below IIS 8 the tag is unknown to the
// commands, as it is to the netsh of Windows Server 2008 R2.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/cert_model.h"
#include "common/cmdline.h"
#include "common/console.h"
#include "common/iis_model.h"
#include "common/state.h"
#include "common/text.h"

using namespace sandbox;

namespace {

constexpr DWORD kFailed = 1;

struct SslBinding {
    std::wstring kind;      // "ipport" or "hostnameport"
    std::wstring endpoint;  // "0.0.0.0:443" or "www.example.com:443"
    std::wstring certHash;
    std::wstring appId;
    std::wstring storeName;  // empty when the command gave none (HTTP.sys then uses MY)
};

std::vector<SslBinding> Load() {
    std::vector<SslBinding> bindings;
    for (const Record& r : ReadRecords(StatePath(L"http.tsv")))
        if (r.size() >= 6 && r[0] == L"sslcert") bindings.push_back({r[1], r[2], r[3], r[4], r[5]});
    return bindings;
}

void Save(const std::vector<SslBinding>& bindings) {
    std::vector<Record> records;
    for (const SslBinding& b : bindings) records.push_back({L"sslcert", b.kind, b.endpoint, b.certHash, b.appId, b.storeName});
    CreateDirectories(StateDirectory());
    WriteRecords(StatePath(L"http.tsv"), records);
}

// The usage texts of a Windows Server 2012 or later netsh. Those of the older netsh, which knows
// no hostnameport= (and no ccs=), are the same without them; their exact wording is not quoted in
// the material available to us.
std::wstring AddUsage(bool hostNames) {
    return std::wstring(L"\r\nUsage: add sslcert ") +
           (hostNames ? L"hostnameport=<name:port> | ipport=<ipaddr:port> | ccs=<port>" : L"ipport=<ipaddr:port>") +
           L"\r\n"
           L"            [certhash=]<string>\r\n"
           L"            [appid=]<GUID>\r\n"
           L"            [[certstorename=]<string>\r\n"
           L"             verifyclientcertrevocation=enable|disable\r\n"
           L"             usagecheck=enable|disable\r\n"
           L"             clientcertnegotiation=enable|disable]\r\n"
           L"\r\nParameters:\r\n\r\n"
           L"    Tag              Value\r\n"
           L"    ipport         - IP address and port for the binding.\r\n" +
           (hostNames ? L"    hostnameport   - Unicode hostname and port for the binding.\r\n" : L"") +
           L"    certhash       - The SHA hash of the certificate. This hash is 20 bytes long\r\n"
           L"                     and specified as a hex string.\r\n"
           L"    appid          - GUID to identify the owning application.\r\n"
           L"    certstorename  - Store name for the certificate. Defaults to MY.\r\n\r\n";
}

std::wstring DeleteUsage(bool hostNames) {
    return std::wstring(L"\r\nUsage: delete sslcert ") +
           (hostNames ? L"hostnameport=<name:port> | ipport=<ipaddr:port> | ccs=<port>" : L"ipport=<ipaddr:port>") +
           L"\r\n"
           L"\r\nParameters:\r\n\r\n"
           L"    Tag              Value\r\n"
           L"    ipport         - IP address and port for which the SSL certificate binding\r\n"
           L"                     will be deleted.\r\n" +
           (hostNames ? L"    hostnameport   - Unicode hostname and port for which the SSL certificate\r\n"
                        L"                     binding will be deleted.\r\n"
                      : L"") +
           L"\r\n";
}

bool IsPort(std::wstring_view text) {
    if (text.empty() || text.size() > 5) return false;
    unsigned long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + (c - L'0');
    }
    return value >= 1 && value <= 65535;
}

bool IsIpv4(std::wstring_view address) {
    std::vector<std::wstring> parts = Split(address, L'.');
    if (parts.size() != 4) return false;
    for (const std::wstring& part : parts) {
        if (part.empty() || part.size() > 3) return false;
        for (wchar_t c : part)
            if (c < L'0' || c > L'9') return false;
        if (wcstoul(part.c_str(), nullptr, 10) > 255) return false;
    }
    return true;
}

bool IsIpv6(std::wstring_view address) {
    if (address.empty() || address.size() > 45 || address.find(L'%') != std::wstring_view::npos) return false;
    IN6_ADDR parsed{};
    return InetPtonW(AF_INET6, std::wstring(address).c_str(), &parsed) == 1;
}

// An IPv4 address or a bracketed IPv6 address, then a port.
bool IsIpPort(std::wstring_view text) {
    size_t colon = text.rfind(L':');
    if (colon == std::wstring_view::npos || !IsPort(text.substr(colon + 1))) return false;
    std::wstring_view address = text.substr(0, colon);
    if (address.size() > 2 && address.front() == L'[' && address.back() == L']')
        return IsIpv6(address.substr(1, address.size() - 2));
    return IsIpv4(address);
}

// A DNS host name (labels of letters, digits and inner hyphens; Unicode letters count, as the
// tool takes a "Unicode hostname"), then a port. Wildcards, blanks and IP literals are no names.
bool IsHostPort(std::wstring_view text) {
    size_t colon = text.rfind(L':');
    if (colon == std::wstring_view::npos || !IsPort(text.substr(colon + 1))) return false;
    std::wstring_view host = text.substr(0, colon);
    if (host.empty() || host.size() > 253 || IsIpv4(host)) return false;
    for (const std::wstring& label : Split(host, L'.')) {
        if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
        for (wchar_t c : label)
            if (!(iswalnum(c) || c == L'-' || c > 0x7F) || iswspace(c)) return false;
    }
    return true;
}

bool IsHash(std::wstring_view text) {
    if (text.size() != 40) return false;
    for (wchar_t c : text)
        if (!iswxdigit(c)) return false;
    return true;
}

bool IsGuid(std::wstring_view text) {
    static const wchar_t pattern[] = L"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != 38) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == L'X' ? !iswxdigit(text[i]) : text[i] != pattern[i]) return false;
    }
    return true;
}

DWORD Failure(std::wstring_view operation, DWORD error, std::wstring_view message) {
    Out(L"\r\nSSL Certificate " + std::wstring(operation) + L" failed, Error: " + std::to_wstring(error) + L"\r\n" +
        std::wstring(message) + L"\r\n\r\n");
    return kFailed;
}

DWORD ParameterIncorrect() {
    Out(L"The parameter is incorrect.\r\n\r\n");
    return kFailed;
}

// What netsh prints before a command's usage when a required tag is missing: the same three
// lines in every context (microsoft/IIS.WebManager#510 shows them for "http add sslcert").
DWORD EssentialMissing(const std::wstring& usage) {
    Out(std::wstring(L"One or more essential parameters were not entered.\r\n"
                     L"Verify the required parameters, and reenter them.\r\n"
                     L"The syntax supplied for this command is not valid. Check help for the correct syntax.\r\n") +
        usage);
    return kFailed;
}

struct Tags {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    bool Has(std::wstring_view tag) const {
        for (const auto& [k, v] : values)
            if (EqualsNoCase(k, tag)) return true;
        return false;
    }
    std::wstring Get(std::wstring_view tag) const {
        for (const auto& [k, v] : values)
            if (EqualsNoCase(k, tag)) return v;
        return {};
    }
};

// "tag=value" arguments; false when one is not of that form or its tag is not one of allowed.
bool ParseTags(const std::vector<std::wstring>& args, size_t first, const std::vector<std::wstring>& allowed,
               Tags& tags) {
    for (size_t i = first; i < args.size(); ++i) {
        size_t equals = args[i].find(L'=');
        if (equals == std::wstring::npos || equals == 0) return false;
        std::wstring tag = args[i].substr(0, equals);
        bool known = false;
        for (const std::wstring& name : allowed) known = known || EqualsNoCase(tag, name);
        if (!known || tags.Has(tag)) return false;
        tags.values.emplace_back(tag, args[i].substr(equals + 1));
    }
    return true;
}

bool HasEndpoint(const Tags& tags) { return tags.Has(L"ipport") || tags.Has(L"hostnameport"); }

bool Endpoint(const Tags& tags, SslBinding& binding) {
    if (tags.Has(L"ipport") == tags.Has(L"hostnameport")) return false;
    binding.kind = tags.Has(L"ipport") ? L"ipport" : L"hostnameport";
    binding.endpoint = tags.Get(binding.kind);
    return binding.kind == L"ipport" ? IsIpPort(binding.endpoint) : IsHostPort(binding.endpoint);
}

// The endpoint tags this host's netsh knows.
std::vector<std::wstring> EndpointTags(bool hostNames) {
    if (hostNames) return {L"ipport", L"hostnameport"};
    return {L"ipport"};
}

DWORD Add(const std::vector<std::wstring>& args, bool hostNames) {
    Tags tags;
    std::vector<std::wstring> allowed = EndpointTags(hostNames);
    allowed.insert(allowed.end(), {L"certhash", L"appid", L"certstorename", L"verifyclientcertrevocation",
                                   L"verifyrevocationwithcachedclientcertonly", L"usagecheck", L"revocationfreshnesstime",
                                   L"urlretrievaltimeout", L"sslctlidentifier", L"sslctlstorename", L"dsmapperusage",
                                   L"clientcertnegotiation"});
    if (!ParseTags(args, 3, allowed, tags)) {
        Out(AddUsage(hostNames));
        return kFailed;
    }
    if (!HasEndpoint(tags) || !tags.Has(L"certhash") || !tags.Has(L"appid")) return EssentialMissing(AddUsage(hostNames));
    SslBinding binding;
    if (!Endpoint(tags, binding) || !IsHash(tags.Get(L"certhash")) || !IsGuid(tags.Get(L"appid")))
        return ParameterIncorrect();
    binding.certHash = ToUpper(tags.Get(L"certhash"));
    binding.appId = tags.Get(L"appid");
    binding.storeName = tags.Get(L"certstorename");

    StateLock lock;
    std::vector<SslBinding> bindings = Load();
    for (const SslBinding& b : bindings)
        if (b.kind == binding.kind && EqualsNoCase(b.endpoint, binding.endpoint))
            return Failure(L"add", ERROR_ALREADY_EXISTS, L"Cannot create a file when that file already exists.");
    // HTTP.sys takes the certificate's private key from the named machine store.
    const StoredCertificate* cert =
        CertificateStores::Load().Find(binding.storeName.empty() ? L"MY" : binding.storeName, binding.certHash);
    if (!cert || !cert->hasKey)
        return Failure(L"add", ERROR_NO_SUCH_LOGON_SESSION,
                       L"A specified logon session does not exist. It may already have been terminated.");
    bindings.push_back(binding);
    Save(bindings);
    Out(L"\r\nSSL Certificate successfully added\r\n\r\n");
    return 0;
}

DWORD Delete(const std::vector<std::wstring>& args, bool hostNames) {
    Tags tags;
    if (!ParseTags(args, 3, EndpointTags(hostNames), tags)) {
        Out(DeleteUsage(hostNames));
        return kFailed;
    }
    if (!HasEndpoint(tags)) return EssentialMissing(DeleteUsage(hostNames));
    SslBinding wanted;
    if (!Endpoint(tags, wanted)) return ParameterIncorrect();
    StateLock lock;
    std::vector<SslBinding> bindings = Load();
    for (auto it = bindings.begin(); it != bindings.end(); ++it) {
        if (it->kind == wanted.kind && EqualsNoCase(it->endpoint, wanted.endpoint)) {
            bindings.erase(it);
            Save(bindings);
            Out(L"\r\nSSL Certificate successfully deleted\r\n\r\n");
            return 0;
        }
    }
    return Failure(L"deletion", ERROR_FILE_NOT_FOUND, L"The system cannot find the file specified.");
}

// One binding as "show sslcert" lists it. Two layouts, each as a public capture shows it: below
// IIS 10 that of IIS 7 (the IIS support blog post "Disable Client Certificate Revocation (CRL) Check
// on IIS", 2012: thirteen lines, two of them with four blanks before the colon; no capture of
// Windows Server 2012's netsh was found, so IIS 8 and 8.5 show the same), and for IIS 10 that of a
// current Windows Server (a netsh capture in a public Business Central on-premises setup guide: the
// same lines with one blank, then the TLS switches and the HTTP/2 "Extended Properties"; the exact
// list differs between Windows builds). A binding added without certstorename= shows "(null)" as its
// store, as in that capture; the hash is shown in lower case.
std::wstring Shown(const SslBinding& b, bool current) {
    std::wstring text = std::wstring(b.kind == L"ipport" ? L"    IP:port                      : "
                                                         : L"    Hostname:port                : ") +
                        b.endpoint + L"\r\n    Certificate Hash             : " + ToLower(b.certHash) +
                        L"\r\n    Application ID               : " + b.appId +
                        L"\r\n    Certificate Store Name       : " + (b.storeName.empty() ? L"(null)" : b.storeName) + L"\r\n";
    const wchar_t* gap = current ? L" " : L"    ";
    text += std::wstring(L"    Verify Client Certificate Revocation") + gap + L": Enabled\r\n" +
            L"    Verify Revocation Using Cached Client Certificate Only" + gap + L": Disabled\r\n" +
            L"    Usage Check                  : Enabled\r\n"
            L"    Revocation Freshness Time    : 0\r\n"
            L"    URL Retrieval Timeout        : 0\r\n"
            L"    Ctl Identifier               : (null)\r\n"
            L"    Ctl Store Name               : (null)\r\n"
            L"    DS Mapper Usage              : Disabled\r\n"
            L"    Negotiate Client Certificate : Disabled\r\n";
    if (current)
        text += L"    Reject Connections           : Disabled\r\n"
                L"    Disable HTTP2                : Not Set\r\n"
                L"    Disable QUIC                 : Not Set\r\n"
                L"    Disable TLS1.2               : Not Set\r\n"
                L"    Disable TLS1.3               : Not Set\r\n"
                L"    Disable OCSP Stapling        : Not Set\r\n"
                L"    Enable Token Binding         : Not Set\r\n"
                L"    Log Extended Events          : Not Set\r\n"
                L"    Disable Legacy TLS Versions  : Not Set\r\n"
                L"    Enable Session Ticket        : Not Set\r\n"
                L"    Enable Caching Client Hello  : Not Set\r\n"
                L" Extended Properties:\r\n"
                L"    PropertyId                   : 0\r\n"
                L"    Receive Window               : 1048576\r\n"
                L" Extended Properties:\r\n"
                L"    PropertyId                   : 1\r\n"
                L"    Max Settings Per Frame       : 2796202\r\n"
                L"    Max Settings Per Minute      : 4294967295\r\n"
                L" Extended Properties:\r\n"
                L"    PropertyId                   : 2\r\n"
                L" Extended Properties:\r\n"
                L"    PropertyId                   : 3\r\n"
                L" Extended Properties:\r\n"
                L"    PropertyId                   : 4\r\n";
    return text + L"\r\n";
}

DWORD Show(const std::vector<std::wstring>& args, bool hostNames) {
    Tags tags;
    if (!ParseTags(args, 3, EndpointTags(hostNames), tags)) return ParameterIncorrect();
    Out(L"\r\nSSL Certificate bindings:\r\n-------------------------\r\n\r\n");
    for (const SslBinding& b : Load()) {
        if (tags.Has(b.kind) && !EqualsNoCase(tags.Get(b.kind), b.endpoint)) continue;
        if (!tags.values.empty() && !tags.Has(b.kind)) continue;
        Out(Shown(b, IisMajorVersion() >= 10));
    }
    return 0;
}

DWORD Run(const std::vector<std::wstring>& args, const std::wstring& commandText) {
    if (args.size() >= 3 && EqualsNoCase(args[0], L"http") && EqualsNoCase(args[2], L"sslcert")) {
        bool hostNames = IisMajorVersion() >= 8;
        if (EqualsNoCase(args[1], L"add")) return Add(args, hostNames);
        if (EqualsNoCase(args[1], L"delete")) return Delete(args, hostNames);
        if (EqualsNoCase(args[1], L"show")) return Show(args, hostNames);
    }
    Out(L"The following command was not found: " + commandText + L".\r\n");
    return kFailed;
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    std::vector<Argument> split = SplitCommandLine(raw);
    std::vector<std::wstring> args;
    std::wstring commandText;
    for (size_t i = 1; i < split.size(); ++i) {
        args.push_back(split[i].value);
        commandText += (i > 1 ? L" " : L"") + split[i].value;
    }
    DWORD code = Run(args, commandText);
    LogInvocation(L"netsh", raw, code);
    return static_cast<int>(code);
}
