#pragma once
// The site's HTTP-to-HTTPS redirect rule, written into the IIS configuration with appcmd.
#include <string>

#include "support/machine.h"

namespace quillbay::iis {

inline constexpr const char* kRedirectRuleName = "HTTPS Redirect";

// The command lines that remove (0), create (1), and set the match (2), the condition (3)
// and the action (4) of the rule; the action's URL keeps the port unless it is "443".
std::string RedirectCommand(const std::string& appcmd, const std::string& siteName, int which,
                            const std::string& port);

// appcmd's answers when what a removal names is not there: ERROR_NOT_FOUND (also as the
// whole HRESULT 0x80070490) for the rule, ERROR_OBJECT_NOT_FOUND for the site.
bool NothingToRemove(std::int32_t exitCode);

// add: removes any earlier rule of that name, then builds it; false when a step failed (logged
// under "ConfigureHttpToHttpsRedirect" with its exit code and command line; later steps are
// not run). remove: true when the rule is gone or was never there, else false (logged).
bool ConfigureHttpToHttpsRedirect(Machine& machine, const std::string& appcmd, const std::string& siteName,
                                  const std::string& port, bool add);

}  // namespace quillbay::iis
