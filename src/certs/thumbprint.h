#pragma once
#include <string>

#include "support/machine.h"

namespace quillbay::certs {
std::string GetPfxThumbprint_API(Machine& machine, const std::string& pfxPath, const std::string& password);
}
