#include "app/port_input.h"

namespace quillbay::app {

std::optional<std::string> ParsePort(const std::string& answer) {
    std::size_t b = 0, e = answer.size();
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (b < e && blank(answer[b])) ++b;
    while (e > b && blank(answer[e - 1])) --e;
    if (b < e && answer[b] == '+') ++b;
    if (b == e) return std::nullopt;
    long value = 0;
    for (std::size_t i = b; i < e; ++i) {
        const char c = answer[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 65535) return std::nullopt;
    }
    if (value < 1) return std::nullopt;
    return std::to_string(value);
}

}  // namespace quillbay::app
