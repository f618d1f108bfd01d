#pragma once
// A site's bindings, read through appcmd, turned into its host names.
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::iis {

// The site's bindings as appcmd lists them ("http/*:80:a,https/*:443:a"), read from IIS's
// configuration, or from appcmd when that cannot be read; a site that is not there, or a refused
// query, throws.
// The same from appcmd alone.
std::string AppcmdBindingsText(Machine& machine, const std::string& appcmd, const std::string& siteName);
std::string SiteBindingsText(Machine& machine, const std::string& appcmd, const std::string& siteName);
// The site's distinct host names, in the order of its bindings ("" when none could be read).
std::vector<std::string> SiteHostNames(Machine& machine, const std::string& appcmd, const std::string& siteName);
// The binding information ("*:443:host") of each binding of the protocol, in order.
std::vector<std::string> CollectBindings(const std::string& bindingsText, const std::string& protocol);
// Case-insensitive membership (ASCII), the one comparison every host-name parse uses.
bool CollectionContains(const std::vector<std::string>& items, const std::string& value);
// Distinct host names in order of first appearance, first spelling kept.
std::vector<std::string> CollectSiteHostNames(const std::string& bindingsText);
// The display text of a host-name list: "(a, b)", or "" for none.
std::string FormatDomains(const std::vector<std::string>& hosts);

}  // namespace quillbay::iis
