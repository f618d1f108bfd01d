#include "iis/appcmd.h"

namespace quillbay::iis {

std::string AppcmdPath(FileSystem& fs) { return fs.GetSpecialFolder(SpecialFolder::System) + "\\inetsrv\\appcmd.exe"; }

std::string ListSiteNamesCommand(const std::string& appcmd) { return appcmd + " list site /text:name"; }

std::string ListSiteBindingsCommand(const std::string& appcmd, const std::string& siteName) {
    return appcmd + " list site \"" + siteName + "\" /text:bindings";
}

}  // namespace quillbay::iis
