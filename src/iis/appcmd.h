#pragma once
// Where the IIS command-line tool lives and the lines the discovery gives it.
#include <string>

#include "support/ports.h"

namespace quillbay::iis {

// System folder + "\inetsrv\appcmd.exe".
std::string AppcmdPath(FileSystem& fs);
std::string ListSiteNamesCommand(const std::string& appcmd);
// The name travels as one argument by the platform's quoting rules, whatever it holds.
std::string ListSiteBindingsCommand(const std::string& appcmd, const std::string& siteName);
std::string RewriteModuleCommand(const std::string& appcmd);

}  // namespace quillbay::iis
