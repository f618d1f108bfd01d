// Writes the version record (VS_VERSIONINFO) of an executable, as the IIS manager of a host of a
// given version carries it: the product and file version texts and the numeric fixed part.
#pragma once

#include <string>

namespace sandbox {

// versionText is stored as given ("10.0.17763.1", or anything else for odd hosts); its numeric
// parts also fill the fixed record, a part that is not a number counting as 0.
bool StampVersion(const std::wstring& executable, const std::wstring& versionText, unsigned long* error);

}  // namespace sandbox
