#include "render/renewal.h"

#include "lang/store.h"

namespace quillbay::render {

namespace {

using lang::FormatLangString;

std::string Line(const std::string& text) { return text + "\r\n"; }

constexpr const char* kResultKeys[] = {"Renew_Replaced", "Renew_PutBack", "Renew_AddFailed", "Renew_Lost", "Renew_Untouched"};

}  // namespace

std::string PlanLines(const renew::RenewPlan& plan) {
    std::string text;
    for (const renew::Superseded& s : plan.endpoints)
        text += Line(FormatLangString("Renew_Planned", {s.binding.endpoint, s.binding.thumbprint, plan.thumbprint}));
    return text;
}

std::string RenewalLines(const renew::RenewPlan& plan, const renew::RenewOutcome& outcome) {
    if (outcome.notImported) return Line(FormatLangString("Renew_NotImported", {std::to_string(outcome.import.pfx.code)}));
    std::string text;
    for (const renew::EndpointRenewal& r : outcome.endpoints) {
        const std::string& old = r.was.binding.thumbprint;
        text += Line(FormatLangString(kResultKeys[static_cast<int>(r.result)],
                                      {r.was.binding.endpoint, r.result == renew::EndpointResult::Replaced ? plan.thumbprint : old,
                                       std::to_string(r.code)}));
    }
    for (const renew::Retirement& r : outcome.retired)
        text += Line(r.code == 0 ? FormatLangString("Renew_Retired", {r.thumbprint})
                                 : FormatLangString("Renew_RetireFailed", {r.thumbprint, std::to_string(r.code)}));
    return text + Line(RenewalSummary(outcome));
}

std::string RenewalSummary(const renew::RenewOutcome& outcome) {
    int replaced = 0;
    for (const renew::EndpointRenewal& r : outcome.endpoints) replaced += r.result == renew::EndpointResult::Replaced ? 1 : 0;
    const int total = static_cast<int>(outcome.endpoints.size());
    return FormatLangString("Renew_Summary", {std::to_string(replaced), std::to_string(total - replaced)});
}

std::string RefusalText(const renew::RenewPlan& plan) {
    switch (plan.refusal) {
        case renew::RenewRefusal::NotCovered: return FormatLangString("Renew_NotCovered", plan.names);
        case renew::RenewRefusal::NothingToReplace: return FormatLangString("Renew_NothingToReplace", {plan.thumbprint});
        case renew::RenewRefusal::EndpointsUnread:
            return FormatLangString("Cli_Status_EndpointsUnlisted", {plan.failure.description});
        default: return "";
    }
}

}  // namespace quillbay::render
