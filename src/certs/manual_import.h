#pragma once
// Chain > Manual Import: chain certificate files picked anywhere go into the intermediate
// store and are copied into the chain folder.
#include <string>
#include <vector>

#include "app/main.h"

namespace quillbay::certs {

// Explorer-style dialog, file must exist, several files may be picked.
inline constexpr unsigned kManualImportDialogFlags = 0x81200;

// The open-file dialog's result text: empty when cancelled or failed; the full path of one
// picked file; or the folder and each name, separated by single NUL characters.
std::string ShowOpenFileDialog(app::Main& m, const std::string& title, const std::string& filter,
                               const std::string& initialFolder, unsigned flags);

// The dialog's filter from description|pattern|... : each "|" becomes a NUL and one more
// NUL ends the list (with the string's own terminator, the double NUL the dialog expects).
std::string DialogFilter(const std::string& filter);
// The dialog's file buffer up to, not including, the first pair of NUL characters.
std::string DialogResultText(const std::string& buffer);
// Full paths of the picked files, in the dialog's order.
std::vector<std::string> PickedFiles(const std::string& dialogResult);

void mnuChainManualImport_Click(app::Main& m);

}  // namespace quillbay::certs
