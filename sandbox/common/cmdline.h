// The platform's rules for splitting a raw command line into arguments (those of
// CommandLineToArgvW), keeping where each argument stood in the raw text so that a tool can
// log its command line with one argument masked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sandbox {

struct Argument {
    std::wstring value;
    size_t begin = 0;  // raw text [begin, end) that produced the value
    size_t end = 0;
};

// The first element is the program name, which follows the platform's special rule (it ends at
// the next blank, or at the closing quote when it starts with one, without backslash escapes).
std::vector<Argument> SplitCommandLine(std::wstring_view line);

// The argument values after the program name.
std::vector<std::wstring> ArgumentValues(std::wstring_view line);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

}  // namespace sandbox
