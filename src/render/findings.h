#pragma once
// A finding of the pre-flight in words: its stable code (for JSON) and its text in the current
// language, for the console's lines and the window's boxes alike.
#include <string>

#include "certs/preflight.h"

namespace quillbay::render {

const char* FindingCode(certs::Check check);
std::string FindingText(const certs::Finding& finding);

}  // namespace quillbay::render
