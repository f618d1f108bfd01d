#include "renew/renew.h"

#include <algorithm>
#include <set>

#include "certs/chain_files.h"
#include "certs/inspect.h"
#include "iis/deploy.h"
#include "support/command_line.h"
#include "support/errors.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::renew {

namespace {

constexpr const char* kProc = "Renew";

const PfxCertificate* FindByThumbprint(const std::vector<PfxCertificate>& store, const std::string& thumbprint) {
    for (const PfxCertificate& c : store)
        if (UpperHex(c.sha1) == thumbprint) return &c;
    return nullptr;
}

// "www.example.com:443" -> "www.example.com"
std::string HostOf(const std::string& endpoint) { return endpoint.substr(0, endpoint.rfind(':')); }

bool InStoreWithKey(Machine& machine, const std::string& thumbprint) {
    try {
        const std::vector<PfxCertificate> store = machine.pkcs12.PersonalCertificates();
        const PfxCertificate* found = FindByThumbprint(store, thumbprint);
        return found && found->hasPrivateKey;
    } catch (const Failure& f) {
        machine.log.WriteErrorLog(kProc, f.number(), f.description());
        return false;
    }
}

std::int32_t RunLogged(Machine& machine, const std::string& line) {
    const ToolRun run = RunChange(machine.shell, line);
    if (run.Succeeded()) machine.log.WriteLog(kProc, line);
    else machine.log.WriteErrorLog(kProc, run.exitCode, Explained(line, run));
    return run.exitCode;
}

// The binding as it will be with the new certificate: the same endpoint and application, the
// store the import put it in (MY, which a binding without a store name means too).
iis::SslCertBinding WithCertificate(const iis::SslCertBinding& binding, const std::string& thumbprint) {
    iis::SslCertBinding next = binding;
    next.thumbprint = thumbprint;
    if (!next.storeName.empty() && next.storeName != "(null)") next.storeName = "MY";
    return next;
}

// Deletes the endpoint's binding and adds the new one; when the add is refused, the previous
// binding goes back. A binding netsh lists with fields no command line carries is left alone.
EndpointRenewal Rebind(Machine& machine, const iis::DeployTools& tools, const Superseded& s, const std::string& thumbprint) {
    EndpointRenewal r{s};
    const std::optional<std::string> add = iis::SslCertAddCommand(tools, WithCertificate(s.binding, thumbprint));
    const std::optional<std::string> back = iis::SslCertAddCommand(tools, s.binding);
    if (!add || !back) {
        machine.log.WriteErrorLog(kProc, kErrorInvalidParameter, "Not rebound, its listing holds what no command line carries: " + s.binding.endpoint);
        return r.result = EndpointResult::Untouched, r.code = kErrorInvalidParameter, r;
    }
    if ((r.code = RunLogged(machine, iis::SslCertDeleteCommand(tools, s.binding))) != 0)
        return r.result = EndpointResult::Untouched, r;
    if ((r.code = RunLogged(machine, *add)) == 0) return r;
    r.result = RunLogged(machine, *back) == 0 ? EndpointResult::AddFailed : EndpointResult::Lost;
    return r;
}

// An endpoint that does not serve the new certificate gets its previous one back.
void VerifyAndPutBack(Machine& machine, const iis::DeployTools& tools, const std::string& thumbprint, RenewOutcome& outcome) {
    std::vector<iis::ProbeTarget> targets;
    std::vector<EndpointRenewal*> probed;
    for (EndpointRenewal& r : outcome.endpoints)
        if (r.result == EndpointResult::Replaced) {
            targets.push_back(TargetOf(r.was.binding, thumbprint));
            probed.push_back(&r);
        }
    outcome.verification = iis::VerifyHosts(machine, targets);
    for (std::size_t i = 0; i < probed.size(); ++i) {
        if (outcome.verification->hosts[i].served == iis::Served::Expected) continue;
        EndpointRenewal& r = *probed[i];
        RunLogged(machine, iis::SslCertDeleteCommand(tools, r.was.binding));
        r.code = RunLogged(machine, *iis::SslCertAddCommand(tools, r.was.binding));
        r.result = r.code == 0 ? EndpointResult::PutBack : EndpointResult::Lost;
    }
}

// Deletes from the Personal store each certificate the run superseded once no endpoint uses it.
void Retire(Machine& machine, RenewOutcome& outcome) {
    std::set<std::string> superseded;
    for (const EndpointRenewal& r : outcome.endpoints)
        if (r.result == EndpointResult::Replaced) superseded.insert(r.was.binding.thumbprint);
    if (superseded.empty()) return;
    std::vector<iis::SslCertBinding> bindings;
    try {
        bindings = iis::ListSslCertBindings(machine);
    } catch (const Failure& f) {  // whether one is still bound is unknown: none is retired
        machine.log.WriteErrorLog(kProc, f.number(), f.description() + "; no certificate retired");
        return;
    }
    const std::string certutil = ProgramToken(SystemProgram(machine.fs, "certutil.exe"));
    for (const std::string& thumbprint : superseded) {
        const bool bound = std::any_of(bindings.begin(), bindings.end(),
                                       [&](const iis::SslCertBinding& b) { return b.thumbprint == thumbprint; });
        if (bound) {
            machine.log.WriteLog(kProc, "Not retired, an endpoint still uses it: " + thumbprint);
            continue;
        }
        outcome.retired.push_back({thumbprint, RunLogged(machine, certutil + " -delstore My " + thumbprint)});
    }
}

}  // namespace

bool Supersedes(const PfxCertificate& fresh, const std::string& currentThumbprint,
                const std::optional<PfxCertificate>& current, const std::string& replace) {
    if (currentThumbprint == UpperHex(fresh.sha1)) return false;
    if (!replace.empty() && currentThumbprint == replace) return true;
    if (!current || current->details.dnsNames.empty()) return false;
    for (const std::string& name : current->details.dnsNames)
        if (!certs::CertificateCovers(fresh.details, name)) return false;
    return fresh.details.notAfter > current->details.notAfter;
}

RenewPlan PlanRenewal(Machine& machine, const RenewFiles& files, const std::string& replace) {
    RenewPlan plan;
    const certs::PfxRead pfx = certs::ReadPfx(machine, files.server);
    for (const certs::Finding& f : certs::CheckServerCertificate(pfx, files.server, certs::ReadChainFiles(machine, files.chainFolder),
                                                                 files.chainFolder, machine.clock.UtcNow(), machine.pkcs12))
        if (f.level == certs::Level::Error) plan.findings.push_back(f);
    const PfxCertificate* server = certs::ServerCertificate(pfx.certificates);
    if (!plan.findings.empty() || !server) return plan.refusal = RenewRefusal::Unfit, plan;
    plan.fresh = *server;
    plan.thumbprint = UpperHex(server->sha1);
    std::vector<iis::SslCertBinding> bindings;
    std::vector<PfxCertificate> store;
    try {
        bindings = iis::ListSslCertBindings(machine);
        store = machine.pkcs12.PersonalCertificates();
    } catch (const Failure& f) {
        machine.log.WriteErrorLog(kProc, f.number(), f.description());
        plan.failure = {f.number(), f.description()};
        return plan.refusal = RenewRefusal::EndpointsUnread, plan;
    }
    for (const iis::SslCertBinding& b : bindings) {
        const PfxCertificate* known = FindByThumbprint(store, b.thumbprint);
        const std::optional<PfxCertificate> current = known ? std::optional<PfxCertificate>(*known) : std::nullopt;
        if (b.thumbprint == plan.thumbprint) ++plan.current;
        if (!Supersedes(*server, b.thumbprint, current, replace)) continue;
        if (b.kind == iis::EndpointKind::HostnamePort && !certs::CertificateCovers(server->details, HostOf(b.endpoint))) {
            plan.names = {b.endpoint, HostOf(b.endpoint)};
            return plan.refusal = RenewRefusal::NotCovered, plan;
        }
        plan.endpoints.push_back({b, current});
    }
    if (plan.endpoints.empty() && plan.current == 0) plan.refusal = RenewRefusal::NothingToReplace;
    return plan;
}

iis::ProbeTarget TargetOf(const iis::SslCertBinding& binding, const std::string& expected) {
    const std::size_t colon = binding.endpoint.rfind(':');
    std::string address = binding.endpoint.substr(0, colon), host;
    const int port = std::atoi(binding.endpoint.c_str() + colon + 1);
    if (binding.kind == iis::EndpointKind::HostnamePort) host = address, address = "127.0.0.1";
    else if (address == "0.0.0.0") address = "127.0.0.1";
    else if (address == "[::]") address = "::1";
    else if (address.size() > 1 && address.front() == '[') address = address.substr(1, address.size() - 2);
    return {"", host, address, port, std::nullopt, expected, binding.endpoint};
}

Verdict RenewOutcome::Judge() const {
    if (notImported) return Verdict::NothingDone;
    const auto replaced = std::count_if(endpoints.begin(), endpoints.end(),
                                        [](const EndpointRenewal& r) { return r.result == EndpointResult::Replaced; });
    const bool retiredAll = std::all_of(retired.begin(), retired.end(), [](const Retirement& r) { return r.code == 0; });
    if (replaced == 0 && !endpoints.empty()) return Verdict::NothingDone;
    return replaced == static_cast<long>(endpoints.size()) && retiredAll ? Verdict::Done : Verdict::PartlyDone;
}

EventRecord OutcomeRecord(const RenewOutcome& outcome) {
    const bool putBack = std::any_of(outcome.endpoints.begin(), outcome.endpoints.end(), [](const EndpointRenewal& r) {
        return r.result == EndpointResult::PutBack || r.result == EndpointResult::AddFailed;
    });
    const Verdict verdict = outcome.Judge();
    return putBack && verdict != Verdict::Done ? EventRecord{EventKind::Warning, kRenewRolledBack}
                                               : OutcomeEvent(Operation::Renew, verdict);
}

RenewOutcome Renew(Machine& machine, const RenewFiles& files, const RenewPlan& plan, const RenewOptions& options,
                   Progress& progress) {
    RenewOutcome outcome;
    outcome.import = certs::ImportCertificateFiles(machine, {files.chainFolder, files.server},
                                                   certs::FindChainFiles(machine, files.chainFolder), progress);
    if (outcome.import.pfx.status != certs::PfxStatus::Imported || !InStoreWithKey(machine, plan.thumbprint)) {
        machine.log.WriteErrorLog(kProc, outcome.import.pfx.code,
                                  "The certificate " + plan.thumbprint + " is not in the Personal store with its key; no binding was changed");
        outcome.notImported = true;
        return outcome;
    }
    const iis::DeployTools tools = iis::FindDeployTools(machine.fs);
    for (const Superseded& s : plan.endpoints) {
        progress.Report({"lblStatus_BindingCert", -1, -1, {{s.binding.endpoint + "..."}}});
        outcome.endpoints.push_back(Rebind(machine, tools, s, plan.thumbprint));
    }
    if (options.verify) VerifyAndPutBack(machine, tools, plan.thumbprint, outcome);
    if (options.retireOld) Retire(machine, outcome);
    return outcome;
}

}  // namespace quillbay::renew
