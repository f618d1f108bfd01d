#pragma once
// Building command lines for programs started directly (no command interpreter between).
#include <string>
#include <string_view>
#include <vector>

namespace quillbay {

// The argument in double quotes, escaped so that CommandLineToArgvW and the C runtime's
// argument parser give it back unchanged: a quote becomes \", backslashes directly before
// a quote or before the closing quote are doubled, all other characters stay as they are.
// Without an interpreter, %, &, |, ^ and blanks need nothing more.
std::string QuoteArg(const std::string& arg);

// The arguments of a command line that follow its program, split as the C runtime and
// CommandLineToArgvW split them: the inverse of QuoteArg.
std::vector<std::string> SplitArguments(std::string_view line);

// What a log shows in place of a secret argument.
inline constexpr const char* kRedactedText = "********";

// The command line with every occurrence of QuoteArg(secret) replaced by QuoteArg of the
// redaction mark, so that a line put into a log never carries the secret.
std::string Redact(const std::string& commandLine, const std::string& secret);

// Whether a host name can go into the binding commands as it is: a name holding quotes,
// brackets, separators, blanks or control characters would break them and is never put in.
bool IsDeployableHostName(const std::string& host);

}  // namespace quillbay
