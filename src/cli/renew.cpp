// renew: the new certificate from a folder takes the place of those it supersedes on every
// HTTPS endpoint; what does not then serve it is put back; --retire-old deletes what nothing
// uses any more. A scheduled run with the same files finds it current and does nothing.
#include "cli/common.h"
#include "render/renewal.h"
#include "renew/renew.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kResultNames[] = {"replaced", "put-back", "add-failed", "lost", "untouched"};

Refusal RefusalOf(const renew::RenewPlan& plan) {
    switch (plan.refusal) {
        case renew::RenewRefusal::Unfit: return cli::RefusalOf(plan.findings.front());
        case renew::RenewRefusal::EndpointsUnread:
            return {"endpoints-unlisted", render::RefusalText(plan), plan.failure.number};
        case renew::RenewRefusal::NotCovered: return {"not-covered", render::RefusalText(plan)};
        default: return {"nothing-to-replace", render::RefusalText(plan)};
    }
}

json::Value EndpointJson(const renew::Superseded& s, const std::string& to, const char* result, std::int32_t code) {
    return json::Value::Object()
        .Set("endpoint", s.binding.endpoint)
        .Set("kind", s.binding.kind == iis::EndpointKind::HostnamePort ? "hostnameport" : "ipport")
        .Set("from", s.binding.thumbprint)
        .Set("to", to)
        .Set("result", result)
        .Set("exitCode", code);
}

}  // namespace

Outcome RunRenew(Machine& machine, Console& console, const Options& o) {
    ConsoleProgress progress(console);
    CheckFolderOrRefuse(machine, console, o);
    const renew::RenewFiles files{FilesOf(machine.host, o), ChainFolderOf(machine.host, o)};
    const renew::RenewPlan plan = renew::PlanRenewal(machine, files, o.replace);
    if (plan.refusal != renew::RenewRefusal::None) throw RefusalOf(plan);

    Outcome out;
    out.json.Set("thumbprint", plan.thumbprint).Set("dryRun", o.dryRun).Set("alreadyCurrent", plan.AlreadyCurrent());
    json::Value endpoints = json::Value::Array();
    if (plan.AlreadyCurrent()) {
        out.text += Line(Say("Renew_AlreadyCurrent", {plan.thumbprint, std::to_string(plan.current)}));
        out.json.Set("endpoints", endpoints);
        return out;
    }
    if (o.dryRun) {
        for (const renew::Superseded& s : plan.endpoints) endpoints.Add(EndpointJson(s, plan.thumbprint, "planned", 0));
        out.text += Line(GetLangString("Renew_DryRun")) + render::PlanLines(plan);
        out.json.Set("endpoints", endpoints);
        return out;
    }
    out.text += render::PlanLines(plan);
    const renew::RenewOutcome outcome = renew::Renew(machine, files, plan, {o.verify, o.retireOld}, progress);
    for (const renew::EndpointRenewal& r : outcome.endpoints)
        endpoints.Add(EndpointJson(r.was, plan.thumbprint, kResultNames[static_cast<int>(r.result)], r.code));
    json::Value retired = json::Value::Array();
    for (const renew::Retirement& r : outcome.retired)
        retired.Add(json::Value::Object().Set("thumbprint", r.thumbprint).Set("exitCode", r.code));
    out.json.Set("endpoints", endpoints).Set("retired", retired).Set("notImported", outcome.notImported);
    if (outcome.verification) {
        Outcome verified;
        RenderVerification(*outcome.verification, verified);
        out.text += verified.text;
        out.json.Set("verification", verified.json);
    }
    out.text += render::RenewalLines(plan, outcome);
    out.exitCode = ExitCodeOf(outcome.Judge());
    out.event = renew::OutcomeRecord(outcome);
    return out;
}

}  // namespace quillbay::cli
