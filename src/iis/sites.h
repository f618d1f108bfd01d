#pragma once
// The IIS sites with their host names, and whether URL Rewrite is there.
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::iis {

struct Site {
    std::string name;
    std::vector<std::string> hostNames;
    bool bindingsRead = true;  // false: appcmd refused the query, the host names are unknown
    std::vector<std::string> httpsBindings = {};  // binding information of its https bindings
    std::vector<std::string> httpBindings = {};   // and of its plain http ones
    bool redirectRule = false;  // the HTTP-to-HTTPS rule is configured (known from the configuration file only)
};

enum class SiteListStatus {
    NoIis,     // appcmd.exe is not installed
    NoOutput,  // appcmd answered nothing at all
    Listed,    // the sites appcmd named (possibly none)
};

struct SiteList {
    SiteListStatus status = SiteListStatus::NoIis;
    std::vector<Site> sites;
};

// Asks appcmd for the sites and each site's bindings; reports "MsgBox_LoadingIIS" before it
// starts and again after each site. A failure of the machine throws, and so does a listing
// appcmd refuses (with its exit code); a refused bindings query is logged and marks its site.
SiteList ListSites(Machine& machine, Progress& progress);

// The site as the list shows it: its name, then its host names in parentheses.
std::string SiteListText(const Site& site);

// Whether appcmd lists the URL Rewrite module. A failure is logged and counts as absent.
bool IsRewriteModuleInstalled(Machine& machine);

}  // namespace quillbay::iis
