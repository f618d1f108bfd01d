#pragma once
// Which IIS is installed, and how that was found out.
#include <optional>

#include "support/machine.h"

namespace quillbay::iis {

inline constexpr int kIIS8 = 8;

enum class VersionSource {
    Registry,    // MajorVersion below HKLM\SOFTWARE\Microsoft\InetStp
    IisManager,  // the product version of inetsrv\InetMgr.exe
    Unknown,
};

struct IisVersion {
    std::optional<int> major;
    VersionSource source = VersionSource::Unknown;
};

// The registry first, then the IIS manager's version record. Each finding is logged; a
// failure is logged and gives an unknown version.
IisVersion DetectIisVersion(Machine& machine);

// Unknown counts as older: without a known version no host name is bound with SNI.
inline bool IsIIS8OrGreater(const IisVersion& v) { return v.major && *v.major >= kIIS8; }

}  // namespace quillbay::iis
