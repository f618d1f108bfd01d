#pragma once
// A renewal's plan and outcome in the user's language, as the window's boxes and the console
// show them alike.
#include <string>

#include "renew/renew.h"

namespace quillbay::render {

// One line an endpoint: where, from which certificate to which.
std::string PlanLines(const renew::RenewPlan& plan);
// What became of each endpoint, the retirements, and the count; each line ends in CR LF.
std::string RenewalLines(const renew::RenewPlan& plan, const renew::RenewOutcome& outcome);
// How many endpoints took the new certificate and how many did not.
std::string RenewalSummary(const renew::RenewOutcome& outcome);
// Why a plan was refused.
std::string RefusalText(const renew::RenewPlan& plan);

}  // namespace quillbay::render
