#include "iis/verify.h"

#include "certs/inspect.h"
#include "iis/inventory.h"
#include "support/errors.h"
#include "support/text.h"

namespace quillbay::iis {

namespace {

struct BindingFields {
    std::string address, host;
    int port = 0;
};

// "address:port:host", the address possibly an IPv6 literal in brackets.
std::optional<BindingFields> FieldsOf(const std::string& information) {
    const std::size_t last = information.rfind(':');
    if (last == std::string::npos || last == 0) return std::nullopt;
    const std::size_t middle = information.rfind(':', last - 1);
    if (middle == std::string::npos) return std::nullopt;
    BindingFields fields{information.substr(0, middle), information.substr(last + 1), 0};
    for (char c : information.substr(middle + 1, last - middle - 1)) {
        if (c < '0' || c > '9' || fields.port > 65535) return std::nullopt;
        fields.port = fields.port * 10 + (c - '0');
    }
    if (fields.address.size() > 1 && fields.address.front() == '[') fields.address = fields.address.substr(1, fields.address.size() - 2);
    if (fields.address.empty() || fields.address == "*") fields.address = "127.0.0.1";
    return fields;
}

// The plain HTTP port a request for the host reaches: its own binding, else one for every name.
std::optional<int> HttpPortOf(const Site& site, const std::string& host) {
    std::optional<int> any;
    for (const std::string& information : site.httpBindings)
        if (const std::optional<BindingFields> fields = FieldsOf(information)) {
            if (!fields->host.empty() && EqualsIgnoreCase(fields->host, host)) return fields->port;
            if (fields->host.empty() && !any) any = fields->port;
        }
    return any;
}

const char* ServedText(Served served) {
    switch (served) {
        case Served::Expected: return "serves the deployed certificate";
        case Served::Another: return "serves another certificate";
        case Served::NothingListens: return "nothing listens";
        case Served::HandshakeFailed: break;
    }
    return "the handshake failed";
}

std::string LogText(const HostFinding& f) {
    const ProbeTarget& t = f.target;
    std::string text = "Verify " + (t.host.empty() ? std::string("(no host name)") : t.host) + " at " + t.address + ":" +
                       std::to_string(t.port) + " (site " + t.site + "): " + ServedText(f.served);
    if (f.certificate)
        text += " " + UpperHex(f.certificate->sha1) + " " + f.certificate->details.subject + ", " +
                std::to_string(f.daysLeft) + " days left" + (f.chainTrusted ? "" : ", chain not trusted") +
                (f.nameCovered ? "" : ", name not covered");
    if (!f.message.empty()) text += ": " + f.message;
    if (f.redirect != RedirectSeen::NotChecked)
        text += "; http " + std::to_string(f.httpStatus) + (f.location.empty() ? "" : " to " + f.location);
    return text;
}

}  // namespace

bool HostFinding::Holds() const {
    return served == Served::Expected && chainTrusted && nameCovered && daysLeft >= 0 &&
           (redirect == RedirectSeen::NotChecked || redirect == RedirectSeen::Redirects);
}

bool Verification::AllHold() const {
    for (const HostFinding& host : hosts)
        if (!host.Holds()) return false;
    return !hosts.empty();
}

bool Verification::NothingProbed() const {
    for (const HostFinding& host : hosts)
        if (host.served == Served::Expected || host.served == Served::Another) return false;
    return true;
}

std::vector<ProbeTarget> ProbeTargets(const std::vector<Site>& sites, int port, bool checkRedirect) {
    std::vector<ProbeTarget> targets;
    for (const Site& site : sites)
        for (const std::string& information : site.httpsBindings) {
            const std::optional<BindingFields> fields = FieldsOf(information);
            if (!fields || (port && fields->port != port)) continue;
            ProbeTarget target{site.name, fields->host, fields->address, fields->port, std::nullopt, "", information};
            if (checkRedirect && !fields->host.empty()) target.httpPort = HttpPortOf(site, fields->host);
            targets.push_back(std::move(target));
        }
    return targets;
}

HostFinding JudgeHandshake(const ProbeTarget& target, const TlsHandshake& handshake, Pkcs12& decoder, std::int64_t now) {
    HostFinding f;
    f.target = target;
    f.error = handshake.error;
    f.message = handshake.message;
    if (handshake.result == HandshakeResult::NoListener) f.served = Served::NothingListens;
    if (handshake.result != HandshakeResult::Completed || handshake.chain.empty()) return f;
    try {
        const std::vector<PfxCertificate> decoded = decoder.DecodeCertificates(handshake.chain.front());
        if (!decoded.empty()) f.certificate = decoded.front();
    } catch (const Failure& failure) {
        f.error = failure.number();
        f.message = failure.description();
    }
    if (!f.certificate) return f;
    f.served = EqualsIgnoreCase(UpperHex(f.certificate->sha1), target.expected) ? Served::Expected : Served::Another;
    // The platform's check covers trust, name and time together; the last two are judged apart.
    f.chainTrusted = handshake.chainError == 0 || handshake.chainError == kCertExpired ||
                     handshake.chainError == kCertNameMismatch;
    if (!f.chainTrusted) f.error = handshake.chainError;
    f.nameCovered = target.host.empty() || certs::CertificateCovers(f.certificate->details, target.host);
    f.daysLeft = certs::CheckValidity(f.certificate->details, now).daysLeft;
    return f;
}

void JudgeRedirect(HostFinding& f, const PlainHttpAnswer& answer) {
    if (!answer.answered) {
        f.redirect = RedirectSeen::NothingListens;
        return;
    }
    f.httpStatus = answer.status;
    f.location = answer.location;
    const bool moved = answer.status == 301 || answer.status == 308;
    const std::string wanted = "https://" + AsciiLower(f.target.host);
    const std::string location = AsciiLower(answer.location);
    const bool toHost = location.rfind(wanted, 0) == 0 &&
                        (location.size() == wanted.size() || location[wanted.size()] == '/' || location[wanted.size()] == ':');
    f.redirect = !moved ? RedirectSeen::Missing : toHost ? RedirectSeen::Redirects : RedirectSeen::WrongTarget;
}

Verification VerifyHosts(Machine& machine, const std::vector<ProbeTarget>& targets) {
    Verification verification;
    for (const ProbeTarget& target : targets) {
        const TlsHandshake handshake =
            machine.probe.Handshake(target.address, target.port, target.host, kProbeTimeoutMilliseconds);
        HostFinding f = JudgeHandshake(target, handshake, machine.pkcs12, machine.clock.UtcNow());
        if (target.httpPort)
            JudgeRedirect(f, machine.probe.PlainGet(target.address, *target.httpPort, target.host, "/",
                                                    kProbeTimeoutMilliseconds));
        if (f.Holds()) machine.log.WriteLog("VerifyDeployment", LogText(f));
        else machine.log.WriteErrorLog("VerifyDeployment", f.error, LogText(f));
        verification.hosts.push_back(std::move(f));
    }
    return verification;
}

std::vector<ProbeTarget> DeployedTargets(Machine& machine, Progress& progress, const DeployRequest& request,
                                         const DeployOutcome& outcome) {
    SiteList list;
    try {
        list = ListSites(machine, progress);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog("VerifyDeployment", f.number(), f.description());
    }
    std::vector<Site> deployed;
    for (const Site& site : list.sites)
        for (const SiteResult& result : outcome.sites)
            if (result.name == site.name && !result.skipped) deployed.push_back(site);
    const std::optional<std::string> port = ParsePort(request.port);
    if (!port) return {};
    std::vector<ProbeTarget> targets = ProbeTargets(deployed, std::stoi(*port), request.redirect);
    for (ProbeTarget& t : targets) t.expected = request.thumbprint;
    return targets;
}

std::vector<ProbeTarget> SiteTargets(Machine& machine, const certs::ServerFiles& files, const std::vector<Site>& sites) {
    std::vector<ProbeTarget> targets;
    for (const Site& site : sites)
        for (ProbeTarget& t : ProbeTargets({site}, 0, site.redirectRule)) targets.push_back(std::move(t));
    const certs::PfxRead pfx = certs::ReadPfx(machine, files);
    if (const PfxCertificate* server = certs::ServerCertificate(pfx.certificates)) {
        for (ProbeTarget& t : targets) t.expected = UpperHex(server->sha1);
        return targets;
    }
    const Inventory inventory = TakeInventory(machine, sites);
    for (ProbeTarget& t : targets)
        for (const InventoryEndpoint& e : inventory.endpoints)
            for (const SiteUse& use : e.sites)
                if (use.site == t.site && use.binding == t.binding) t.expected = e.binding.thumbprint;
    return targets;
}

}  // namespace quillbay::iis
