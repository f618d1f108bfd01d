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

std::vector<std::string> SplitArguments(std::string_view line) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false, quoted = false;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            std::size_t backslashes = 0;
            for (; i < line.size() && line[i] == '\\'; ++i) ++backslashes;
            // Before a quote, each pair is one backslash and an odd one makes the quote literal.
            const bool beforeQuote = i < line.size() && line[i] == '"';
            current.append(beforeQuote ? backslashes / 2 : backslashes, '\\');
            if (beforeQuote && backslashes % 2 == 1) {
                current += '"';
                ++i;
            }
        } else if (c == '"') {
            // Inside quotes, a doubled quote is one literal quote.
            const bool doubled = quoted && i + 1 < line.size() && line[i + 1] == '"';
            if (doubled) current += '"';
            else quoted = !quoted;
            i += doubled ? 2 : 1;
        } else {
            current += c;
            ++i;
        }
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
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
