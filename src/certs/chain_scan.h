#pragma once
#include "app/main.h"

namespace quillbay::certs {

// The chain folder beside the program, without a trailing backslash.
std::string ChainFolder(app::Main& m);
// Fills lstCertificates with the chain files (crt, cer, der), all selected; reports the
// count on the status line and enables Import when there is something to import.
void ScanChainFolder(app::Main& m);

}  // namespace quillbay::certs
