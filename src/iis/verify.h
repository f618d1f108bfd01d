#pragma once
// What a client gets from the hosts a deployment bound: a TLS handshake with each host name as
// SNI, and with the redirect on a plain HTTP request with its Host header. The findings are
// data; the window and the console render them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "certs/server_files.h"
#include "iis/deploy.h"
#include "iis/sites.h"
#include "support/machine.h"

namespace quillbay::iis {

struct ProbeTarget {
    std::string site;
    std::string host;     // sent as SNI; "" for a binding without a host name
    std::string address;  // where to connect: 127.0.0.1 for a binding on every address
    int port = 443;
    std::optional<int> httpPort;  // the site's plain HTTP port for the host, to check the redirect on
    std::string expected = {};    // the thumbprint (hexadecimal) it should serve
    std::string binding = {};     // the https binding it comes from, "*:443:host"
};

enum class Served { Expected, Another, NothingListens, HandshakeFailed };
enum class RedirectSeen { NotChecked, Redirects, Missing, WrongTarget, NothingListens };

struct HostFinding {
    ProbeTarget target;
    Served served = Served::HandshakeFailed;
    std::int32_t error = 0;  // the handshake's code, or the chain check's
    std::string message;
    std::optional<PfxCertificate> certificate;  // the first one the server sent
    bool chainTrusted = false;  // reaches a root the machine trusts
    bool nameCovered = false;
    std::int64_t daysLeft = 0;
    RedirectSeen redirect = RedirectSeen::NotChecked;
    int httpStatus = 0;
    std::string location;
    // Serves the expected certificate, trusted, for its name, not expired, and redirects when asked.
    bool Holds() const;
};

struct Verification {
    std::vector<HostFinding> hosts;
    bool AllHold() const;
    // No host to probe, or not one handshake completed.
    bool NothingProbed() const;
};

inline constexpr int kProbeTimeoutMilliseconds = 4000;

// The hosts of the sites' HTTPS bindings on the port (every port when 0), with the plain HTTP
// port of each host when the redirect is to be checked.
std::vector<ProbeTarget> ProbeTargets(const std::vector<Site>& sites, int port, bool checkRedirect);

// One handshake judged against the thumbprint the target expects.
HostFinding JudgeHandshake(const ProbeTarget& target, const TlsHandshake& handshake, Pkcs12& decoder, std::int64_t now);
// The redirect: a 301 or 308 whose Location begins with "https://" and the host.
void JudgeRedirect(HostFinding& finding, const PlainHttpAnswer& answer);

// Probes each target; each finding is also logged.
Verification VerifyHosts(Machine& machine, const std::vector<ProbeTarget>& targets);

// What the deployment changed, its sites read afresh: the hosts of their bindings on the
// deployment's port, each expected to serve the deployed certificate.
std::vector<ProbeTarget> DeployedTargets(Machine& machine, Progress& progress, const DeployRequest& request,
                                         const DeployOutcome& outcome);

// The hosts of every HTTPS binding of the sites, the redirect checked where a site has the rule;
// each expected to serve the server certificate of the PFX, or without a readable PFX the
// certificate HTTP.sys has bound for its endpoint.
std::vector<ProbeTarget> SiteTargets(Machine& machine, const certs::ServerFiles& files, const std::vector<Site>& sites);

}  // namespace quillbay::iis
