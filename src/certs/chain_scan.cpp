#include "certs/chain_scan.h"

#include <algorithm>

#include "lang/store.h"
#include "support/paths.h"

namespace quillbay::certs {

using app::Id;
using lang::GetLangString;

std::string ChainFolder(app::Main& m) { return JoinPath(m.host.AppFolder(), "chain"); }

void ScanChainFolder(app::Main& m) {
    const std::string folder = ChainFolder(m);
    if (!m.fs.FolderExists(folder)) m.fs.CreateFolder(folder);

    m.ui.ListClear(Id::lstCertificates);
    int count = 0;
    for (const FileEntry& f : m.fs.ListFiles(folder)) {
        std::string ext = GetExtensionName(f.path);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext != "crt" && ext != "cer" && ext != "der") continue;
        ++count;
        m.ui.ListAdd(Id::lstCertificates, f.name);
        m.ui.ListSetSelected(Id::lstCertificates, m.ui.ListCount(Id::lstCertificates) - 1, true);
    }

    if (count > 0) {
        m.ui.SetText(Id::lblStatus, std::to_string(count) + GetLangString("lblStatus_CertsFound"));
        m.ui.SetEnabled(Id::cmdImport, true);
    } else {
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_NoCerts"));
        m.ui.SetEnabled(Id::cmdImport, false);
    }
}

}  // namespace quillbay::certs
