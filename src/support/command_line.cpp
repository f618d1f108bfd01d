#include "support/command_line.h"

namespace quillbay {

std::string QuoteArg(const std::string& arg) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            // 2n+1 backslashes before a quote give n backslashes and a literal quote.
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // Trailing backslashes sit before the closing quote: doubled, they stay literal.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string Redact(const std::string& commandLine, const std::string& secret) {
    const std::string quoted = QuoteArg(secret);
    const std::string mask = QuoteArg(kRedactedText);
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = commandLine.find(quoted, from)) != std::string::npos;
         from = at + quoted.size()) {
        out.append(commandLine, from, at - from);
        out += mask;
    }
    out.append(commandLine, from, std::string::npos);
    return out;
}

bool IsDeployableHostName(const std::string& host) {
    if (host.empty()) return false;
    for (unsigned char c : host)
        if (c < 0x20 || c == 0x7F || c == ' ' || c == '\'' || c == '"' || c == '[' || c == ']' || c == ',' ||
            c == ':' || c == '/' || c == '\\')
            return false;
    return true;
}

}  // namespace quillbay
