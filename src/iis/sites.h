#pragma once
#include "app/main.h"

namespace quillbay::iis {

// Fills lstSites with each site and its host names and switches the deployment controls
// for IIS present, absent, or without sites.
void PopulateSitesList(app::Main& m);
// Asks IIS for the URL Rewrite module; without it the redirect check box is disabled.
bool CheckRewriteModuleInstalled(app::Main& m);

}  // namespace quillbay::iis
