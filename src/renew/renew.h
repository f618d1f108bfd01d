#pragma once
// Renewal: a new server certificate takes the place of the ones it supersedes on every HTTPS
// endpoint of HTTP.sys, without touching the TLS settings, IIS's site bindings or its rules,
// and without restarting IIS. What does not then serve it is put back; superseded certificates
// no endpoint uses any more may be retired from the store.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "certs/import.h"
#include "certs/preflight.h"
#include "iis/inventory.h"
#include "iis/verify.h"
#include "support/events.h"
#include "support/machine.h"
#include "support/progress.h"
#include "support/verdict.h"

namespace quillbay::renew {

// Whether the fresh certificate supersedes the one an endpoint serves: never itself; the
// thumbprint given to be replaced whatever it covers; otherwise a certificate known to the store
// with DNS names, every one of them covered by the fresh one, that expires before it.
bool Supersedes(const PfxCertificate& fresh, const std::string& currentThumbprint,
                const std::optional<PfxCertificate>& current, const std::string& replace);

enum class RenewRefusal {
    None,
    Unfit,             // the pre-flight found errors (findings)
    EndpointsUnread,   // HTTP.sys's bindings or the store could not be read (failure)
    NotCovered,        // an endpoint given with --replace is for a name the certificate does not cover (names)
    NothingToReplace,  // no endpoint serves a certificate it supersedes
};

// An endpoint as it is before the renewal, and the certificate it serves (none: not in the store).
struct Superseded {
    iis::SslCertBinding binding;
    std::optional<PfxCertificate> current;
};

struct RenewPlan {
    RenewRefusal refusal = RenewRefusal::None;
    std::vector<certs::Finding> findings;  // Unfit: the errors
    FailureInfo failure;                   // EndpointsUnread
    std::vector<std::string> names;        // NotCovered: the endpoint, its host
    std::optional<PfxCertificate> fresh;   // the PFX's server certificate, once it opened
    std::string thumbprint;                // its thumbprint, upper-case hexadecimal
    std::vector<Superseded> endpoints;     // to take over, in HTTP.sys's order
    int current = 0;                       // endpoints that already serve it
    // Nothing to do: it is bound already and supersedes nothing more (a scheduled run's usual answer).
    bool AlreadyCurrent() const { return refusal == RenewRefusal::None && endpoints.empty(); }
};

struct RenewFiles {
    certs::ServerFiles server;
    std::string chainFolder;
};

// Reads the files and what HTTP.sys and the store hold; changes nothing.
RenewPlan PlanRenewal(Machine& machine, const RenewFiles& files, const std::string& replace);

enum class EndpointResult {
    Replaced,   // serves the new certificate (verified unless verification was off)
    PutBack,    // did not serve it, and was bound to the previous one again
    AddFailed,  // netsh refused the new certificate; the previous one is bound again
    Lost,       // putting the previous one back failed too: no certificate
    Untouched,  // its binding could not be deleted, or not carried on a command line: as it was
};

struct EndpointRenewal {
    Superseded was;
    EndpointResult result = EndpointResult::Replaced;
    std::int32_t code = 0;  // netsh's exit code when it failed
};

struct RenewOptions {
    bool verify = true;
    bool retireOld = false;
};

struct Retirement {
    std::string thumbprint;
    std::int32_t code = 0;  // certutil's exit code; 0 when it was deleted
};

struct RenewOutcome {
    certs::ImportOutcome import;
    bool notImported = false;  // the PFX did not reach the store with its key: nothing rebound
    std::vector<EndpointRenewal> endpoints;
    std::optional<iis::Verification> verification;
    std::vector<Retirement> retired;
    // Done when every endpoint took the new certificate (and every retirement worked); nothing
    // done when none did; partly done otherwise.
    Verdict Judge() const;
};

// The outcome's record for the event log: the verdict's, or "rolled back" when an endpoint did
// not take the new certificate and was put back.
EventRecord OutcomeRecord(const RenewOutcome& outcome);

// Imports the chain files and the PFX, rebinds the plan's endpoints, verifies them, puts back
// what does not hold, and retires what nothing uses any more. Every step is logged.
RenewOutcome Renew(Machine& machine, const RenewFiles& files, const RenewPlan& plan, const RenewOptions& options,
                   Progress& progress);

// The probe target of an endpoint: its host name as SNI, or none on its address.
iis::ProbeTarget TargetOf(const iis::SslCertBinding& binding, const std::string& expected);

}  // namespace quillbay::renew
