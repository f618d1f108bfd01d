#include "iis/inventory.h"

#include <cctype>

#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

namespace {

constexpr std::int64_t kDay = 86400;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsHex(const std::string& text) {
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return !text.empty();
}

// An endpoint whose host part is an IPv4 or bracketed IPv6 address is an ipport binding.
EndpointKind KindOf(const std::string& endpoint) {
    const std::string host = endpoint.substr(0, endpoint.rfind(':'));
    if (!host.empty() && host.front() == '[') return EndpointKind::IpPort;
    for (char c : host)
        if (!(c == '.' || (c >= '0' && c <= '9'))) return EndpointKind::HostnamePort;
    return EndpointKind::IpPort;
}

void Finish(std::vector<std::string>& values, std::vector<SslCertBinding>& bindings) {
    if (values.size() >= 2 && IsHex(values[1]) && values[1].size() == 40) {
        SslCertBinding b{KindOf(values[0]), values[0], Upper(values[1]), values.size() > 2 ? values[2] : "",
                         values.size() > 3 ? values[3] : ""};
        bindings.push_back(std::move(b));
    }
    values.clear();
}

const SslCertBinding* FindEndpoint(const std::vector<SslCertBinding>& bindings, EndpointKind kind,
                                   const std::string& endpoint) {
    for (const SslCertBinding& b : bindings)
        if (b.kind == kind && EqualsIgnoreCase(b.endpoint, endpoint)) return &b;
    return nullptr;
}

}  // namespace

std::vector<SslCertBinding> ParseSslCertListing(const std::string& output) {
    std::vector<SslCertBinding> bindings;
    std::vector<std::string> values;  // of the record being read
    for (std::string line : Split(output, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = TrimBlanks(line);
        const std::size_t colon = line.find(" : ");
        if (line.empty()) Finish(values, bindings);
        // Continuation blocks ("Extended Properties:") carry no " : " on their title line.
        if (colon != std::string::npos) values.push_back(TrimBlanks(line.substr(colon + 3)));
    }
    Finish(values, bindings);
    return bindings;
}

const SslCertBinding* ServingEndpoint(const std::vector<SslCertBinding>& bindings, const std::string& information) {
    const std::vector<std::string> fields = Split(information, ":");
    if (fields.size() < 3) return nullptr;
    const std::string& host = fields.back();
    const std::string& port = fields[fields.size() - 2];
    std::string address = information.substr(0, information.size() - host.size() - port.size() - 2);
    if (!host.empty())
        if (const SslCertBinding* b = FindEndpoint(bindings, EndpointKind::HostnamePort, host + ":" + port)) return b;
    if (address != "*" && !address.empty())
        if (const SslCertBinding* b = FindEndpoint(bindings, EndpointKind::IpPort, address + ":" + port)) return b;
    return FindEndpoint(bindings, EndpointKind::IpPort, "0.0.0.0:" + port);
}

Inventory JoinInventory(const std::vector<SslCertBinding>& bindings, const std::vector<PfxCertificate>& store,
                        const std::vector<Site>& sites) {
    Inventory inventory;
    for (const SslCertBinding& binding : bindings) {
        InventoryEndpoint endpoint{binding, std::nullopt, {}};
        for (const PfxCertificate& c : store)
            if (UpperHex(c.sha1) == binding.thumbprint) endpoint.certificate = c;
        for (const Site& site : sites)
            for (const std::string& information : site.httpsBindings)
                if (ServingEndpoint(bindings, information) == &binding) endpoint.sites.push_back({site.name, information});
        inventory.endpoints.push_back(std::move(endpoint));
    }
    for (const PfxCertificate& c : store) {
        bool used = false;
        for (const SslCertBinding& binding : bindings) used = used || UpperHex(c.sha1) == binding.thumbprint;
        if (c.hasPrivateKey && !used) inventory.unused.push_back(c);
    }
    return inventory;
}

std::vector<SslCertBinding> ListSslCertBindings(Machine& machine) {
    const ToolRun run = RunHiddenAndCapture(machine.shell, machine.log,
                                            ProgramToken(SystemProgram(machine.fs, "netsh.exe")) + " http show sslcert");
    if (!run.Succeeded())
        throw Failure(run.exitCode, "The certificate bindings of HTTP.sys could not be listed: " + run.FirstLine());
    return ParseSslCertListing(run.output);
}

Inventory TakeInventory(Machine& machine, const std::vector<Site>& sites) {
    return JoinInventory(ListSslCertBindings(machine), machine.pkcs12.PersonalCertificates(), sites);
}

bool NeedsAttention(const InventoryEndpoint& endpoint, std::int64_t now, int warnDays) {
    return !endpoint.certificate || endpoint.certificate->details.notAfter < now + warnDays * kDay;
}

}  // namespace quillbay::iis
