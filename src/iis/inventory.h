#pragma once
// Which certificate each HTTPS endpoint of HTTP.sys serves, which IIS sites use it, and when it
// expires: one netsh listing, the machine's Personal store read in place, and the sites.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "iis/sites.h"
#include "support/machine.h"

namespace quillbay::iis {

enum class EndpointKind { IpPort, HostnamePort };

struct SslCertBinding {
    EndpointKind kind = EndpointKind::IpPort;
    std::string endpoint;    // "0.0.0.0:443", "[::]:443", "www.example.com:443"
    std::string thumbprint;  // 40 upper-case hexadecimal digits
    std::string appId;
    std::string storeName;   // as listed; "(null)" for a binding made without one
};

// The certificate bindings of "netsh http show sslcert". Read by position, not by label, so
// that the listing of every display language and Windows release reads alike: each record is
// the endpoint, the hash, the application and the store, in that order. Records without a
// hash (central certificate store) are left out.
std::vector<SslCertBinding> ParseSslCertListing(const std::string& output);

struct SiteUse {
    std::string site;
    std::string binding;  // its https binding information, "*:443:www.example.com"
};

struct InventoryEndpoint {
    SslCertBinding binding;
    std::optional<PfxCertificate> certificate;  // none: not in the Personal store
    std::vector<SiteUse> sites;
};

struct Inventory {
    std::vector<InventoryEndpoint> endpoints;
    std::vector<PfxCertificate> unused;  // in the Personal store with their key, served nowhere
};

// The endpoint HTTP.sys serves an https binding ("address:port:host") from: the host name's on
// the port, else the address's, else every address's on the port; none when there is none.
const SslCertBinding* ServingEndpoint(const std::vector<SslCertBinding>& bindings, const std::string& information);

// Joins the listing, the store and the sites.
Inventory JoinInventory(const std::vector<SslCertBinding>& bindings, const std::vector<PfxCertificate>& store,
                        const std::vector<Site>& sites);

// Runs netsh once: a listing netsh refuses throws with its exit code.
std::vector<SslCertBinding> ListSslCertBindings(Machine& machine);

// Lists the bindings and reads the store.
Inventory TakeInventory(Machine& machine, const std::vector<Site>& sites);

// Whether the endpoint needs an administrator within the days: no certificate in the store, or
// one that expires before then.
bool NeedsAttention(const InventoryEndpoint& endpoint, std::int64_t now, int warnDays);

}  // namespace quillbay::iis
