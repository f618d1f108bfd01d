#include "iis/version.h"

#include "support/text.h"

namespace quillbay::iis {

namespace {
constexpr const char* kProc = "IsIIS8OrGreater";
constexpr const char* kRegistryValue = "HKLM\\SOFTWARE\\Microsoft\\InetStp\\MajorVersion";
// Conversion failures carry the numbers of a type mismatch and of an overflow.
constexpr int kTypeMismatch = 13;
constexpr int kOverflow = 6;

bool LooksLikeWholeNumber(const std::string& s) {
    std::string t = TrimBlanks(s);
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.erase(0, 1);
    if (t.empty()) return {};
    for (char c : t)
        if (c < '0' || c > '9') return {};
    return true;
}
}  // namespace

IisVersion DetectIisVersion(Machine& m) {
    const std::string eight = std::to_string(kIIS8);
    try {
        std::optional<int> major;
        try {
            major = ParseInt16(m.shell.RegRead(kRegistryValue));
        } catch (const Failure&) {
            major.reset();
        }
        if (major) {
            m.log.WriteLog(kProc, "IIS MajorVersion found in Registry: " + std::to_string(*major));
            return {major, VersionSource::Registry};
        }

        const std::string folder = m.fs.GetSpecialFolder(SpecialFolder::Windows) + "\\System32\\inetsrv";
        if (!m.fs.FolderExists(folder)) {
            m.log.WriteLog(kProc, "Could not get Shell Namespace for " + folder +
                                      ". Assuming IIS version is less than " + eight + " or path invalid.");
            return {};
        }
        const std::string inetmgr = folder + "\\InetMgr.exe";
        if (!m.fs.FileExists(inetmgr)) {
            m.log.WriteLog(kProc, "InetMgr.exe not found or accessible at " + folder +
                                      ". Assuming IIS version is less than " + eight + ".");
            return {};
        }
        const std::string text = m.host.FileProductVersion(inetmgr);
        m.log.WriteLog(kProc, "InetMgr.exe product version found: " + text);
        if (text.empty()) {
            m.log.WriteLog(kProc, "Could not retrieve product version for InetMgr.exe.");
            return {};
        }
        const auto dot = text.find('.');
        if (dot == std::string::npos) {
            m.log.WriteLog(kProc, "Product version string '" + text +
                                      "' does not contain a dot. Cannot parse major version.");
            return {};
        }
        const std::string head = text.substr(0, dot);
        const std::optional<int> parsed = ParseInt16(head);
        if (!parsed) {
            m.log.WriteErrorLog(kProc, LooksLikeWholeNumber(head) ? kOverflow : kTypeMismatch,
                                "Failed to convert major version from '" + text + "'");
            return {};
        }
        return {parsed, VersionSource::IisManager};
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        m.log.WriteErrorLog(kProc, f.number, f.description);
    }
    return {};
}

}  // namespace quillbay::iis
