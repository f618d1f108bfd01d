#pragma once
// Reads the console program's JSON documents back, so that tests check their shape and values
// rather than their text. Enough JSON for what the writer makes; anything else fails the test.
#include <string>

#include "cli/json.h"

namespace quillbay::testing {

// The document, or a Null value with ok false when the text is not one JSON value.
cli::json::Value ParseJson(const std::string& text, bool& ok);

}  // namespace quillbay::testing
