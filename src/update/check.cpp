#include "update/check.h"

#include <algorithm>
#include <cstdint>

#include "support/errors.h"
#include "support/text.h"

#ifndef QUILLBAY_UPDATE_BASE_URL
#error QUILLBAY_UPDATE_BASE_URL is set by the build
#endif

namespace quillbay::update {

namespace {

std::int32_t VersionPart(const std::vector<std::string>& parts, std::size_t i) {
    if (i >= parts.size()) return 0;
    const std::string& p = parts[i];
    std::size_t at = 0;
    bool negative = false;
    if (at < p.size() && (p[at] == '+' || p[at] == '-')) negative = p[at++] == '-';
    if (at == p.size()) return 0;
    std::int64_t value = 0;
    for (; at < p.size(); ++at) {
        if (p[at] < '0' || p[at] > '9') return 0;
        value = value * 10 + (p[at] - '0');
        if (value > INT32_MAX + std::int64_t{1}) return 0;
    }
    if (negative) value = -value;
    return value < INT32_MIN || value > INT32_MAX ? 0 : static_cast<std::int32_t>(value);
}

std::string WithoutTrailingSlashes(std::string url) {
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

}  // namespace

std::string OwnVersionText(Host& host) {
    const std::vector<int> v = host.OwnVersion();
    auto part = [&](std::size_t i) { return i < v.size() ? v[i] : 0; };
    // The record holds major.minor.0.revision; users see major.minor.revision.
    return std::to_string(part(0)) + "." + std::to_string(part(1)) + "." + std::to_string(part(3));
}

int CompareVersions(const std::string& a, const std::string& b) {
    const std::vector<std::string> pa = a.empty() ? std::vector<std::string>{} : Split(a, ".");
    const std::vector<std::string> pb = b.empty() ? std::vector<std::string>{} : Split(b, ".");
    for (std::size_t i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const std::int32_t x = VersionPart(pa, i), y = VersionPart(pb, i);
        if (x != y) return x > y ? 1 : -1;
    }
    return 0;
}

std::string BytesToString(const std::string& bytes, const std::string& charset) {
    if (!EqualsIgnoreCase(charset, "UTF-8")) return {};
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    std::string text;
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        int length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        bool ok = length > 0 && i + length <= bytes.size();
        for (int k = 1; ok && k < length; ++k) ok = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (ok && length >= 3) {
            // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
            const unsigned char second = static_cast<unsigned char>(bytes[i + 1]);
            ok = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second > 0x9F) &&
                 !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second > 0x8F);
        }
        if (ok) {
            text.append(bytes, i, length);
            i += length;
        } else {
            text += kReplacement;
            ++i;
        }
    }
    return text;
}

bool IsTrustedUpdateUrl(const std::string& url) {
    const std::string lower = AsciiLower(url);
    if (lower.rfind("https://", 0) == 0) return lower.size() > 8;
    if (lower.rfind("http://", 0) != 0) return false;
    // The authority ends at the first slash, question mark or number sign; a user part
    // ("http://127.0.0.1@evil/") would put the real host after an '@'.
    const std::string authority = lower.substr(7, lower.find_first_of("/?#", 7) - 7);
    if (authority.find('@') != std::string::npos) return false;
    for (const char* host : {"127.0.0.1", "[::1]", "localhost"}) {
        const std::string h = host;
        if (authority == h || (authority.rfind(h + ":", 0) == 0 && authority.size() > h.size() + 1)) return true;
    }
    return false;
}

std::string UpdateBaseUrl(Shell& shell) {
    const std::string url =
        shell.RegValueExists(kUpdateSourcePolicy) ? WithoutTrailingSlashes(TrimBlanks(shell.RegRead(kUpdateSourcePolicy))) : "";
    if (url.empty()) return WithoutTrailingSlashes(QUILLBAY_UPDATE_BASE_URL);
    if (!IsTrustedUpdateUrl(url))
        throw Failure(kErrorInvalidParameter, std::string("The update server set by policy (") + kUpdateSourcePolicy +
                                                  ") is not an https URL: " + url);
    return url;
}

std::string VersionQueryUrl(const std::string& base, const std::string& current) {
    return base + "/quillbay/version.txt?ver=" + current;
}

std::string PackageUrl(const std::string& base, const std::string& latest) {
    return base + "/quillbay/download/" + latest + ".zip";
}

std::optional<UpdateInfo> ParseVersionAnswer(const std::string& text) {
    if (text.empty()) return std::nullopt;
    auto line = [](const std::string& piece) {
        // A CR LF line end is a line end: its CR would make "1.0.11\r" an unreadable version.
        std::string trimmed = TrimBlanks(piece);
        if (!trimmed.empty() && trimmed.back() == '\r') trimmed = TrimBlanks(trimmed.substr(0, trimmed.size() - 1));
        return trimmed;
    };
    const std::vector<std::string> pieces = Split(text, "\n");
    UpdateInfo info{line(pieces[0]), {}};
    for (std::size_t i = 1; i < pieces.size(); ++i) info.notes += line(pieces[i]) + "\r\n";
    return info;
}

}  // namespace quillbay::update
