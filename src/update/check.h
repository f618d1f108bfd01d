#pragma once
// Asking the update server for the newest version, and fetching its package.
#include <optional>
#include <string>

#include "support/machine.h"

namespace quillbay::update {

// The program's own version as users see it: major.minor.revision, "1.0.10".
std::string OwnVersionText(Host& host);

// 1 when a is newer than b, -1 when older, 0 when equal. The numbers between the dots are
// compared as signed 32-bit numbers; a missing, empty, non-numeric or out-of-range one counts
// as 0 ("1.0" equals "1.0.0", "1.0.10" is newer than "1.0.9").
int CompareVersions(const std::string& a, const std::string& b);

// The bytes decoded in the named character set (only "UTF-8" is known: a byte-order mark is
// dropped, a malformed sequence becomes U+FFFD). Empty for an unknown character set.
std::string BytesToString(const std::string& bytes, const std::string& charset);

// Where an administrator may move the update server (REG_SZ). Only the machine's policy: a
// user's environment, which unelevated programs can write, must not choose what runs elevated.
inline constexpr const char* kUpdateSourcePolicy = "HKLM\\SOFTWARE\\Policies\\Quillbay\\UpdateBaseUrl";

// Whether the URL may serve updates: https, or http to this machine's loopback address.
bool IsTrustedUpdateUrl(const std::string& url);

// The server's base URL without a trailing slash: the policy value when set, else the one the
// program was built with. A policy value that is not a trusted URL throws Failure.
std::string UpdateBaseUrl(Shell& shell);
std::string VersionQueryUrl(const std::string& base, const std::string& current);
std::string PackageUrl(const std::string& base, const std::string& latest);

// The version query's answer: the first line is the latest version, every further line one
// line of release notes, each line without the blanks around it and without the carriage
// return of a CR LF line end. Notes are joined with CR LF after each line.
struct UpdateInfo {
    std::string latest;
    std::string notes;
};
// Nothing when the answer holds no line at all (an empty body).
std::optional<UpdateInfo> ParseVersionAnswer(const std::string& text);

// Time-outs of the version query: a server that does not answer ends the check in seconds.
inline constexpr HttpTimeouts kVersionQueryTimeouts{3000, 5000, 5000, 5000};

}  // namespace quillbay::update
