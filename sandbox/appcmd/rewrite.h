// CONFIG commands on the section system.webServer/rewrite/rules of a site: adding and removing
// rules, setting their match, conditions and action, and listing them.
#pragma once

#include <windows.h>

#include <string>

#include "appcmd/syntax.h"
#include "common/iis_model.h"

namespace sandbox::appcmd {

struct RewriteOutcome {
    std::wstring message;  // standard output, success or ERROR line
    DWORD code = 0;
};

RewriteOutcome ApplyRewriteChanges(IisConfig& config, const Command& command);
RewriteOutcome ListRewriteRules(const IisConfig& config, const Command& command);

}  // namespace sandbox::appcmd
