#pragma once
#include <optional>
#include <string>

namespace quillbay::app {

// A deployment port typed by the user: a whole number 1..65535 with optional blanks
// around it and an optional leading "+". Gives the canonical text ("443"), or nothing.
std::optional<std::string> ParsePort(const std::string& answer);

}  // namespace quillbay::app
