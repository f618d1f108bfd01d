#include "iis/appcmd.h"

#include "support/command_line.h"
#include "support/runner.h"

namespace quillbay::iis {

std::string AppcmdPath(FileSystem& fs) { return SystemProgram(fs, "inetsrv\\appcmd.exe"); }

std::string ListSiteNamesCommand(const std::string& appcmd) { return ProgramToken(appcmd) + " list site /text:name"; }

std::string ListSiteBindingsCommand(const std::string& appcmd, const std::string& siteName) {
    return ProgramToken(appcmd) + " list site " + QuoteArg(siteName) + " /text:bindings";
}

std::string RewriteModuleCommand(const std::string& appcmd) {
    return ProgramToken(appcmd) + " list module \"RewriteModule\"";
}

}  // namespace quillbay::iis
