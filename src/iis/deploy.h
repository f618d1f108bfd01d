#pragma once
// Binding the server certificate to sites: HTTP.sys through netsh, the site's HTTPS binding
// through appcmd, then the redirect rule. The caller answers the questions a run raises.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "iis/inventory.h"
#include "support/machine.h"
#include "support/progress.h"
#include "support/verdict.h"

namespace quillbay::iis {

inline constexpr const char* kIisAppId = "{4dc3e181-e14b-4a21-b022-59fc669b0914}";

struct DeployTools {
    std::string netsh;   // full paths below the system folder
    std::string appcmd;
};
DeployTools FindDeployTools(FileSystem& fs);

// host "" is the wildcard entry. sni: IIS 8 or later, where a named host gets its own
// HTTP.sys binding (hostnameport=) and an SNI site binding; otherwise HTTP.sys holds one
// certificate per address and port.
std::string DeleteSslCertCommand(const DeployTools& tools, const std::string& host, const std::string& port, bool sni);
std::string AddSslCertCommand(const DeployTools& tools, const std::string& host, const std::string& port, bool sni,
                              const std::string& thumbprint);
// The add that gives HTTP.sys exactly this binding: its endpoint, certificate, application and
// store (none when it had none). None when a field, as netsh listed it, is not one token a
// command line can carry as it is.
std::optional<std::string> SslCertAddCommand(const DeployTools& tools, const SslCertBinding& binding);
// The delete of the binding's endpoint.
std::string SslCertDeleteCommand(const DeployTools& tools, const SslCertBinding& binding);
std::string RemoveSiteBindingCommand(const DeployTools& tools, const std::string& site, const std::string& host,
                                     const std::string& port);
std::string AddSiteBindingCommand(const DeployTools& tools, const std::string& site, const std::string& host,
                                  const std::string& port, bool sni);

// SiteGone: the site is no longer in IIS (deleted since it was listed).
enum class EntryStatus { Bound, NetshFailed, AppcmdFailed, BadHostName, BindingsUnread, SiteGone };

// When the new certificate could not be bound (NetshFailed), what became of the binding the
// endpoint had before: none was there, it is bound again, or putting it back failed too.
enum class PreviousBinding { None, Restored, Lost };

struct EntryResult {
    std::string entry;  // the host name, "*" for the wildcard entry
    EntryStatus status = EntryStatus::Bound;
    std::int32_t code = 0;
    PreviousBinding previous = PreviousBinding::None;
    std::string previousThumbprint = {};
    bool Wildcard() const { return entry == "*"; }
};

struct SiteResult {
    std::string name;
    bool skipped = false;  // no host names and the wildcard binding declined
    bool success = false;
    std::vector<EntryResult> entries;
    bool redirectOk = true;
};

struct DeployRequest {
    std::vector<std::string> sites;  // names, in order
    std::string port;
    std::string thumbprint;
    bool sni = false;
    bool redirect = false;  // add the rule (else remove it)
    // Without URL Rewrite appcmd knows no rule section: there is no rule, so the removal's
    // answer says nothing.
    bool rewriteInstalled = true;
    // HTTP.sys's bindings before the run: one whose replacement fails is put back as it was.
    std::vector<SslCertBinding> current = {};
};

// A deployment port as typed: a whole number 1..65535 with optional blanks around it and an
// optional leading "+". Gives the canonical text ("443"), or nothing.
std::optional<std::string> ParsePort(const std::string& text);

// What a deployment needs besides the sites: the redirect rule is added only where URL
// Rewrite can carry it (else removed), and host names get SNI bindings from IIS 8 on.
DeployRequest MakeDeployRequest(std::vector<std::string> sites, std::string port, std::string thumbprint,
                                bool iis8OrGreater, bool redirectWanted, bool rewriteInstalled);

struct DeployOutcome {
    std::vector<SiteResult> sites;
    bool stopped = false;  // ended after a site because the caller asked to stop
    int Selected() const { return static_cast<int>(sites.size()); }
};

// Done when every chosen site was deployed with its redirect rule; nothing done when no site
// was (all failed or skipped); partly done otherwise. A site counts as deployed when every
// binding was made, also when its redirect rule failed (that makes the run partly done).
struct DeployJudgement {
    Verdict verdict = Verdict::Done;
    int selected = 0, succeeded = 0, skipped = 0, failed = 0, redirectsFailed = 0;
};
DeployJudgement JudgeDeployment(const DeployOutcome& outcome);

// What a run asks of its caller, and what it tells it as it goes.
class DeployEvents {
public:
    virtual ~DeployEvents() = default;
    // A site without host names: true binds the wildcard entry, false skips the site.
    virtual bool ConfirmWildcard(const std::string& site) = 0;
    virtual void EntryFailed(const std::string& site, const EntryResult& entry) = 0;
    virtual void RedirectFailed(const std::string& site, bool adding) = 0;
    // Asked after each site: true ends the run there.
    virtual bool StopRequested() = 0;
};

// Every site in turn: its host names (read afresh), commands 1 to 4 per entry, then the
// redirect rule. A failed entry does not stop the others; each failure is logged under
// "cmdDeploy_Click". A tool that cannot be started throws.
DeployOutcome DeploySites(Machine& machine, const DeployRequest& request, Progress& progress, DeployEvents& events);

}  // namespace quillbay::iis
