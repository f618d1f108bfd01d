#include "iis/deploy.h"

#include "iis/bindings.h"
#include "iis/redirect.h"
#include "support/command_line.h"
#include "support/errors.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

namespace {

constexpr const char* kProc = "cmdDeploy_Click";

std::string Endpoint(const std::string& host, const std::string& port, bool sni) {
    return sni && !host.empty() ? "hostnameport=" + host + ":" + port : "ipport=0.0.0.0:" + port;
}

std::string SiteArgument(const std::string& site) { return "/site.name:" + QuoteArg(site); }

std::string BindingSpec(const std::string& host, const std::string& port) {
    return "[protocol='https',bindingInformation='*:" + port + ":" + host + "'";
}

std::vector<StatusPiece> SiteEntryPieces(const std::string& site, const std::string& entry) {
    if (entry == "*") return {{site + "' (域名: "}, {"lblStatus_DomainWildcard", true}, {")..."}};
    return {{site + "' (域名: " + entry + ")..."}};
}

// Whether the listing's fields can go into a command line as they are: each a single token
// of the characters such a field is made of.
bool Carriable(const SslCertBinding& b) {
    auto only = [](const std::string& text, const char* allowed) {
        return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
    };
    constexpr const char* kHex = "0123456789ABCDEFabcdef";
    return only(b.thumbprint, kHex) && only(b.appId, "{}-0123456789ABCDEFabcdef") &&
           only(b.endpoint, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-:[]*_") &&
           (b.storeName.empty() || b.storeName == "(null)" ||
            only(b.storeName, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"));
}

// The binding HTTP.sys held before the run for the endpoint an entry deletes.
const SslCertBinding* Previous(const DeployRequest& request, const std::string& host) {
    const std::string endpoint = Endpoint(host, request.port, request.sni);
    const std::string wanted = endpoint.substr(endpoint.find('=') + 1);
    const EndpointKind kind = endpoint.rfind("hostnameport=", 0) == 0 ? EndpointKind::HostnamePort : EndpointKind::IpPort;
    for (const SslCertBinding& b : request.current)
        if (b.kind == kind && EqualsIgnoreCase(b.endpoint, wanted)) return &b;
    return nullptr;
}

// After a failed add: the endpoint gets back the certificate it had, rather than none at all.
void PutBack(Machine& machine, const DeployTools& tools, const SslCertBinding& before, EntryResult& result) {
    const std::optional<std::string> add = SslCertAddCommand(tools, before);
    const std::string line = add.value_or("(a listed binding that no command line carries) " + before.endpoint);
    const ToolRun run = add ? RunChange(machine.shell, line) : ToolRun{true, kErrorInvalidParameter, "", ""};
    result.previous = run.Succeeded() ? PreviousBinding::Restored : PreviousBinding::Lost;
    result.previousThumbprint = before.thumbprint;
    if (run.Succeeded())
        machine.log.WriteLog(kProc, "The previous binding was put back: " + line);
    else
        machine.log.WriteErrorLog(kProc, run.exitCode,
                                  Explained("The previous binding could not be put back; the endpoint has no certificate: " + line, run));
}

// Commands 1 to 4 for one entry; only the additions are judged. A tool ended at its time-out
// fails its step like a refusal, so that the endpoint is put back and the other hosts go on.
EntryResult BindEntry(Machine& machine, const DeployTools& tools, const DeployRequest& request,
                      const std::string& site, const std::string& entry, Progress& progress) {
    EntryResult result;
    result.entry = entry;
    const std::string host = entry == "*" ? "" : entry;
    if (!host.empty() && !IsDeployableHostName(host)) {
        result.status = EntryStatus::BadHostName;
        machine.log.WriteErrorLog(kProc, 0, "Host name not deployed for site " + site + " (Domain: " + entry +
                                                "): it holds a character the binding commands cannot carry");
        return result;
    }
    progress.Report({"lblStatus_RemovingOldBinding", -1, -1, SiteEntryPieces(site, entry)});
    RunChange(machine.shell, DeleteSslCertCommand(tools, host, request.port, request.sni));

    progress.Report({"lblStatus_BindingCert", -1, -1, SiteEntryPieces(site, entry)});
    const std::string add = AddSslCertCommand(tools, host, request.port, request.sni, request.thumbprint);
    const ToolRun added = RunChange(machine.shell, add);
    result.code = added.exitCode;
    if (!added.Succeeded()) {
        result.status = EntryStatus::NetshFailed;
        machine.log.WriteErrorLog(kProc, result.code,
                                  Explained("netsh add failed for site " + site + " (Domain: " + entry + ", Command: " + add + ")", added));
        if (const SslCertBinding* before = Previous(request, host)) PutBack(machine, tools, *before, result);
        return result;
    }
    RunChange(machine.shell, RemoveSiteBindingCommand(tools, site, host, request.port));
    const std::string bind = AddSiteBindingCommand(tools, site, host, request.port, request.sni);
    const ToolRun bound = RunChange(machine.shell, bind);
    result.code = bound.exitCode;
    if (!bound.Succeeded()) {
        result.status = EntryStatus::AppcmdFailed;
        machine.log.WriteErrorLog(kProc, result.code,
                                  Explained("appcmd failed for site " + site + " (Domain: " + entry + ", Command: " + bind + ")", bound));
    }
    return result;
}

}  // namespace

DeployTools FindDeployTools(FileSystem& fs) {
    return {SystemProgram(fs, "netsh.exe"), SystemProgram(fs, "inetsrv\\appcmd.exe")};
}

std::string DeleteSslCertCommand(const DeployTools& tools, const std::string& host, const std::string& port, bool sni) {
    return ProgramToken(tools.netsh) + " http delete sslcert " + Endpoint(host, port, sni);
}

std::string AddSslCertCommand(const DeployTools& tools, const std::string& host, const std::string& port, bool sni,
                              const std::string& thumbprint) {
    std::string line = ProgramToken(tools.netsh) + " http add sslcert " + Endpoint(host, port, sni) +
                       " certhash=" + thumbprint + " appid=" + kIisAppId;
    // A binding by host name names the store: HTTP.sys has no default for it.
    if (sni && !host.empty()) line += " certstorename=MY";
    return line;
}

std::optional<std::string> SslCertAddCommand(const DeployTools& tools, const SslCertBinding& b) {
    if (!Carriable(b)) return std::nullopt;
    std::string line = ProgramToken(tools.netsh) + " http add sslcert " +
                       (b.kind == EndpointKind::HostnamePort ? "hostnameport=" : "ipport=") + b.endpoint +
                       " certhash=" + b.thumbprint + " appid=" + b.appId;
    if (!b.storeName.empty() && b.storeName != "(null)") line += " certstorename=" + b.storeName;
    return line;
}

std::string SslCertDeleteCommand(const DeployTools& tools, const SslCertBinding& b) {
    return ProgramToken(tools.netsh) + " http delete sslcert " +
           (b.kind == EndpointKind::HostnamePort ? "hostnameport=" : "ipport=") + b.endpoint;
}

std::string RemoveSiteBindingCommand(const DeployTools& tools, const std::string& site, const std::string& host,
                                     const std::string& port) {
    return ProgramToken(tools.appcmd) + " set site " + SiteArgument(site) + " /-bindings." + BindingSpec(host, port) + "]";
}

std::string AddSiteBindingCommand(const DeployTools& tools, const std::string& site, const std::string& host,
                                  const std::string& port, bool sni) {
    return ProgramToken(tools.appcmd) + " set site " + SiteArgument(site) + " /+bindings." + BindingSpec(host, port) +
           (sni && !host.empty() ? ",sslFlags='1'" : "") + "]";
}

std::optional<std::string> ParsePort(const std::string& text) {
    std::size_t b = 0, e = text.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b < e && text[b] == '+') ++b;
    if (b == e) return std::nullopt;
    long value = 0;
    for (std::size_t i = b; i < e; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 65535) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return std::to_string(value);
}

DeployRequest MakeDeployRequest(std::vector<std::string> sites, std::string port, std::string thumbprint,
                                bool iis8OrGreater, bool redirectWanted, bool rewriteInstalled) {
    return {std::move(sites), std::move(port), std::move(thumbprint), iis8OrGreater, redirectWanted && rewriteInstalled,
            rewriteInstalled};
}

DeployJudgement JudgeDeployment(const DeployOutcome& outcome) {
    DeployJudgement j;
    j.selected = outcome.Selected();
    for (const SiteResult& site : outcome.sites) {
        j.succeeded += site.success ? 1 : 0;
        j.skipped += site.skipped ? 1 : 0;
        j.redirectsFailed += site.redirectOk ? 0 : 1;
    }
    j.failed = j.selected - j.succeeded - j.skipped;
    j.verdict = j.succeeded == 0                             ? Verdict::NothingDone
                : j.failed > 0 || j.redirectsFailed > 0 ? Verdict::PartlyDone
                                                            : Verdict::Done;
    return j;
}

DeployOutcome DeploySites(Machine& machine, const DeployRequest& request, Progress& progress, DeployEvents& events) {
    const DeployTools tools = FindDeployTools(machine.fs);
    DeployOutcome outcome;
    for (const std::string& site : request.sites) {
        SiteResult result;
        result.name = site;
        std::vector<std::string> entries;
        std::optional<EntryStatus> notRead;
        try {
            entries = SiteHostNames(machine, tools.appcmd, site);
        } catch (const Failure& f) {
            // Unknown host names are no reason for a wildcard binding: the site is not touched.
            machine.log.WriteErrorLog(kProc, f.number(), f.description());
            notRead = f.number() == kErrorNotFound ? EntryStatus::SiteGone : EntryStatus::BindingsUnread;
        }
        if (notRead) {
            EntryResult unread;
            unread.entry = "*";
            unread.status = *notRead;
            result.entries.push_back(unread);
            events.EntryFailed(site, result.entries.back());
            outcome.sites.push_back(std::move(result));
            if (events.StopRequested()) return outcome.stopped = true, outcome;
            continue;
        }
        if (entries.empty()) {
            if (!events.ConfirmWildcard(site)) {
                result.skipped = true;
                outcome.sites.push_back(std::move(result));
                if (events.StopRequested()) return outcome.stopped = true, outcome;
                continue;
            }
            entries.push_back("*");
        }
        result.success = true;
        for (const std::string& entry : entries) {
            EntryResult r = BindEntry(machine, tools, request, site, entry, progress);
            if (r.status != EntryStatus::Bound) {
                result.success = false;
                events.EntryFailed(site, r);
            }
            result.entries.push_back(std::move(r));
        }
        progress.Report({request.redirect ? "lblStatus_ConfiguringHttpRedirect" : "lblStatus_RemovingHttpRedirect", -1,
                         -1, {{site + "'..."}}});
        result.redirectOk = ConfigureHttpToHttpsRedirect(machine, tools.appcmd, site, request.port, request.redirect) ||
                            !request.rewriteInstalled;
        if (!result.redirectOk) {
            machine.log.WriteErrorLog(kProc, 0,
                                      request.redirect ? "无法为站点 '" + site + "' 启用HTTP重定向。"
                                                       : "无法为站点 '" + site + "' 禁用HTTP重定向。");
            events.RedirectFailed(site, request.redirect);
        }
        outcome.sites.push_back(std::move(result));
        if (events.StopRequested()) return outcome.stopped = true, outcome;
    }
    return outcome;
}

}  // namespace quillbay::iis
