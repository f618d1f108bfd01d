#pragma once
// Where the IIS command-line tool lives and the lines the discovery gives it.
#include <string>

#include "support/ports.h"

namespace quillbay::iis {

// System folder + "\inetsrv\appcmd.exe"; put into command lines unquoted.
std::string AppcmdPath(FileSystem& fs);
std::string ListSiteNamesCommand(const std::string& appcmd);
std::string ListSiteBindingsCommand(const std::string& appcmd, const std::string& siteName);
// The module check names the tool through %windir% for cmd.exe to expand.
inline constexpr const char* kRewriteModuleCommand =
    "%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"";

}  // namespace quillbay::iis
