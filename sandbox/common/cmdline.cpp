#include "common/cmdline.h"

namespace sandbox {

namespace {
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
}  // namespace

std::vector<Argument> SplitCommandLine(std::wstring_view s) {
    std::vector<Argument> args;
    size_t i = 0;
    const size_t n = s.size();

    Argument program;
    if (i < n && s[i] == L'"') {
        ++i;
        size_t close = s.find(L'"', i);
        size_t stop = close == std::wstring_view::npos ? n : close;
        program.value.assign(s.substr(i, stop - i));
        i = close == std::wstring_view::npos ? n : close + 1;
    } else {
        while (i < n && !IsBlank(s[i])) program.value += s[i++];
    }
    program.end = i;
    args.push_back(std::move(program));

    while (i < n && IsBlank(s[i])) ++i;
    if (i >= n) return args;

    // Backslashes are literal unless they precede a quote; quotes toggle quoting, and a quote
    // that follows a closing quote is a literal quote (the older rule this function keeps).
    Argument current;
    current.begin = i;
    size_t backslashes = 0;
    int quotes = 0;
    while (i < n) {
        wchar_t c = s[i];
        if (IsBlank(c) && quotes == 0) {
            current.end = i;
            args.push_back(std::move(current));
            current = Argument{};
            backslashes = 0;
            while (i < n && IsBlank(s[i])) ++i;
            if (i >= n) return args;
            current.begin = i;
        } else if (c == L'\\') {
            current.value += c;
            ++backslashes;
            ++i;
        } else if (c == L'"') {
            if (backslashes % 2 == 0) {
                current.value.resize(current.value.size() - backslashes / 2);
                ++quotes;
            } else {
                current.value.resize(current.value.size() - backslashes / 2 - 1);
                current.value += L'"';
            }
            ++i;
            backslashes = 0;
            while (i < n && s[i] == L'"') {
                if (++quotes == 3) {
                    current.value += L'"';
                    quotes = 0;
                }
                ++i;
            }
            if (quotes == 2) quotes = 0;
        } else {
            current.value += c;
            backslashes = 0;
            ++i;
        }
    }
    current.end = n;
    args.push_back(std::move(current));
    return args;
}

std::wstring QuoteArgument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) return std::wstring(argument);
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
        } else {
            if (c == L'"') quoted.append(backslashes + 1, L'\\');
            backslashes = 0;
        }
        quoted += c;
    }
    quoted.append(backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

std::vector<std::wstring> ArgumentValues(std::wstring_view line) {
    std::vector<Argument> split = SplitCommandLine(line);
    std::vector<std::wstring> values;
    for (size_t i = 1; i < split.size(); ++i) values.push_back(split[i].value);
    return values;
}

}  // namespace sandbox
