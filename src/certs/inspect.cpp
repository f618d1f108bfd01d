#include "certs/inspect.h"

#include <cstdio>

#include "support/text.h"

namespace quillbay::certs {

namespace {

// RFC 3492's Punycode of one label's code points.
std::string Punycode(const std::vector<char32_t>& input) {
    constexpr std::uint32_t kBase = 36, kTmin = 1, kTmax = 26, kSkew = 38, kDamp = 700;
    auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); };
    auto adapt = [&](std::uint32_t delta, std::uint32_t points, bool first) {
        delta = first ? delta / kDamp : delta / 2;
        delta += delta / points;
        std::uint32_t k = 0;
        for (; delta > ((kBase - kTmin) * kTmax) / 2; k += kBase) delta /= kBase - kTmin;
        return k + (kBase - kTmin + 1) * delta / (delta + kSkew);
    };
    std::string out;
    for (char32_t c : input)
        if (c < 0x80) out += static_cast<char>(c);
    const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
    if (basic > 0) out += '-';
    std::uint32_t n = 0x80, delta = 0, bias = 72, handled = basic;
    while (handled < input.size()) {
        std::uint32_t next = 0x10FFFF + 1;
        for (char32_t c : input)
            if (c >= n && c < next) next = c;
        delta += (next - n) * (handled + 1);
        n = next;
        for (char32_t c : input) {
            if (c < n) ++delta;
            if (c != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = k <= bias ? kTmin : k >= bias + kTmax ? kTmax : k - bias;
                if (q < t) break;
                out += digit(t + (q - t) % (kBase - t));
                q = (q - t) / (kBase - t);
            }
            out += digit(q);
            bias = adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return out;
}

std::optional<std::vector<char32_t>> DecodeUtf8(const std::string& text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) return std::nullopt;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        points.push_back(c);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return points;
}


}  // namespace

std::optional<std::string> AsciiHostName(const std::string& host) {
    std::string out;
    for (const std::string& label : Split(host, ".")) {
        const std::optional<std::vector<char32_t>> points = DecodeUtf8(label);
        if (!points) return std::nullopt;
        bool ascii = true;
        std::vector<char32_t> lowered;
        for (char32_t c : *points) {
            // Upper-case letters of ASCII and Latin-1 (not the multiplication sign).
            if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 'a' - 'A';
            if (c >= 0x80) ascii = false;
            lowered.push_back(c);
        }
        std::string piece;
        if (ascii)
            for (char32_t c : lowered) piece += static_cast<char>(c);
        else
            piece = "xn--" + Punycode(lowered);
        out += piece + ".";
    }
    out.pop_back();
    return out;
}

bool NameCovers(const std::string& certificateName, const std::string& host) {
    const std::optional<std::string> name = AsciiHostName(certificateName);
    const std::optional<std::string> target = AsciiHostName(host);
    if (!name || !target || name->empty() || target->empty()) return false;
    if (*name == *target) return true;
    // A wildcard stands for one whole label, the leftmost, and for nothing else.
    if (name->size() < 3 || name->compare(0, 2, "*.") != 0) return false;
    const std::size_t dot = target->find('.');
    return dot != std::string::npos && dot > 0 && target->substr(dot + 1) == name->substr(2);
}

bool CertificateCovers(const CertificateDetails& certificate, const std::string& host) {
    for (const std::string& name : certificate.dnsNames)
        if (NameCovers(name, host)) return true;
    return false;
}

ValidityFinding CheckValidity(const CertificateDetails& certificate, std::int64_t now) {
    constexpr std::int64_t kDay = 86400;
    const std::int64_t left = certificate.notAfter - now;
    ValidityFinding finding;
    finding.daysLeft = left >= 0 ? left / kDay : -((-left + kDay - 1) / kDay);
    if (now < certificate.notBefore)
        finding.validity = Validity::NotYetValid;
    else if (now > certificate.notAfter)
        finding.validity = Validity::Expired;
    else if (finding.daysLeft < kExpiryWarningDays)
        finding.validity = Validity::ExpiresSoon;
    return finding;
}

ChainFinding FollowChain(const CertificateDetails& certificate, const std::vector<CertificateDetails>& pool) {
    ChainFinding finding;
    const CertificateDetails* current = &certificate;
    // Each step climbs to a new subject; a loop of cross-signed names ends at the pool's size.
    for (std::size_t step = 0; step <= pool.size(); ++step) {
        if (current->issuerName == current->subjectName) {
            finding.complete = true;
            finding.rootName = current->subjectName;
            return finding;
        }
        const CertificateDetails* issuer = nullptr;
        for (const CertificateDetails& candidate : pool)
            if (candidate.subjectName == current->issuerName) {
                issuer = &candidate;
                break;
            }
        if (!issuer) break;
        finding.path.push_back(issuer->subject);
        current = issuer;
    }
    finding.missingIssuer = current->issuer;
    return finding;
}

std::vector<std::string> CertificateBlobs(const std::string& fileBytes) {
    std::vector<std::string> blobs;
    static constexpr std::string_view kBegin = "-----BEGIN ", kEnd = "-----END ";
    for (std::size_t at = fileBytes.find(kBegin); at != std::string::npos; at = fileBytes.find(kBegin, at)) {
        const std::size_t body = fileBytes.find('\n', at);
        const std::size_t end = body == std::string::npos ? body : fileBytes.find(kEnd, body);
        if (end == std::string::npos) break;
        if (const auto der = Base64Decode(fileBytes.substr(body + 1, end - body - 1))) blobs.push_back(*der);
        at = end + kEnd.size();
    }
    if (!blobs.empty()) return blobs;
    const auto bare = TrimBlanks(fileBytes).empty() ? std::nullopt : Base64Decode(fileBytes);
    blobs.push_back(bare && !bare->empty() ? *bare : fileBytes);
    return blobs;
}

const PfxCertificate* ServerCertificate(const std::vector<PfxCertificate>& certificates) {
    for (const PfxCertificate& certificate : certificates)
        if (certificate.hasPrivateKey) return &certificate;
    return nullptr;
}

std::string UtcText(std::int64_t seconds) {
    // Days to a civil date (the proleptic Gregorian calendar), after H. Hinnant's algorithm.
    std::int64_t days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    const std::int64_t rest = seconds - days * 86400;
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
    return text;
}

}  // namespace quillbay::certs
