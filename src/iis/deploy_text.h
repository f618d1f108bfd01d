#pragma once
// The warnings a deployment gives for a failed entry or redirect rule, in the current
// language: the window shows them in boxes, the console program on standard error.
#include <string>

#include "iis/deploy.h"

namespace quillbay::iis {

std::string EntryFailureText(const std::string& site, const EntryResult& entry);
std::string RedirectFailureText(const std::string& site, bool adding);

}  // namespace quillbay::iis
