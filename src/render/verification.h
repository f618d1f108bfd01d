#pragma once
// What verification found, in the user's language: the lines the window's box and the console
// show alike.
#include <string>

#include "iis/verify.h"

namespace quillbay::render {

// The handshake's line, one more for each way the served certificate falls short, and the
// redirect's line when it was checked; each begins with its level and ends in CR LF.
std::string FindingLines(const iis::HostFinding& finding);

// How many hosts were verified and how many hold, or that the sites have none to verify.
std::string VerificationSummary(const iis::Verification& verification);

}  // namespace quillbay::render
