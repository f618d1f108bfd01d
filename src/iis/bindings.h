#pragma once
// A site's bindings, read through appcmd, turned into its host names.
#include <string>
#include <vector>

#include "app/main.h"

namespace quillbay::iis {

// The site's bindings text with outer blanks removed ("" when nothing was captured).
std::string GetSiteBindings(app::Main& m, const std::string& appcmd, const std::string& siteName);
// "(a, b)" for the site list, or "" when the site has no host names.
std::string GetSiteDomains(app::Main& m, const std::string& appcmd, const std::string& siteName);
// Case-insensitive membership (ASCII), the one comparison both parses use.
bool CollectionContains(const std::vector<std::string>& items, const std::string& value);
// Distinct host names in order of first appearance, first spelling kept.
std::vector<std::string> CollectSiteHostNames(const std::string& bindingsText);
// The display text of a host-name list.
std::string FormatDomains(const std::vector<std::string>& hosts);

}  // namespace quillbay::iis
