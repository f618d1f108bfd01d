#include "certs/manual_import.h"

#include <cstdint>
#include <exception>

#include "app/handlers.h"
#include "certs/chain_scan.h"
#include "certs/import.h"
#include "lang/store.h"
#include "support/paths.h"

namespace quillbay::certs {

using app::Id;
using lang::GetLangString;

std::string ShowOpenFileDialog(app::Main& m, const std::string& title, const std::string& filter,
                               const std::string& initialFolder, unsigned flags) {
    return m.ui.OpenFileDialog(title, filter, initialFolder, flags);
}

std::string DialogFilter(const std::string& filter) {
    std::string out = filter;
    for (char& c : out)
        if (c == '|') c = '\0';
    out += '\0';
    return out;
}

std::string DialogResultText(const std::string& buffer) {
    const auto end = buffer.find(std::string(2, '\0'));
    return end == std::string::npos ? buffer : buffer.substr(0, end);
}

std::vector<std::string> PickedFiles(const std::string& dialogResult) {
    if (dialogResult.empty()) return {};
    if (dialogResult.find('\0') == std::string::npos) return {dialogResult};

    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const auto at = dialogResult.find('\0', from);
        pieces.push_back(dialogResult.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) break;
        from = at + 1;
    }
    // A drive root ("D:\") already ends in its backslash.
    const std::string folder = WithTrailingBackslash(pieces.front());
    std::vector<std::string> files;
    for (std::size_t i = 1; i < pieces.size(); ++i)
        if (!pieces[i].empty()) files.push_back(folder + pieces[i]);
    return files;
}

namespace {

// Where the copy goes. A file already there is the user's and stays untouched: the copy
// takes a time-stamped name, and a further suffix if even that is taken.
std::string CopyTarget(app::Main& m, const std::string& chainPath, const std::string& source) {
    const std::string plain = chainPath + GetFileName(source);
    if (!m.fs.FileExists(plain)) return plain;
    return UnusedPath(m.fs, chainPath + GetBaseName(source) + "_" + CompactTimestamp(m.clock.Now()),
                      "." + GetExtensionName(source));
}

}  // namespace

void mnuChainManualImport_Click(app::Main& m) {
    try {
        const std::string appFolder = m.host.AppFolder();
        const std::vector<std::string> files = PickedFiles(
            ShowOpenFileDialog(m, GetLangString("MsgBox_ManualImport_SelectFile"),
                               GetLangString("MsgBox_ManualImport_FileFilter"), appFolder, kManualImportDialogFlags));
        if (files.empty()) return;

        const std::string chainFolder = ChainFolder(m);
        const std::string chainPath = chainFolder + "\\";
        if (!m.fs.FolderExists(chainFolder)) m.fs.CreateFolder(chainFolder);

        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Importing"));
        m.ui.SetBusyCursor(true);
        m.ui.DoEvents();

        int imported = 0;
        int copied = 0;
        for (const std::string& file : files) {
            try {
                if (m.shell.Run("certutil.exe -addstore -f \"CA\" \"" + file + "\"", 0, true) == 0) ++imported;
            } catch (const Failure&) {
                // Not started: not imported, but still copied.
            }
            m.fs.Copy(file, CopyTarget(m, chainPath, file), false);
            ++copied;
        }

        m.ui.SetBusyCursor(false);
        ScanChainFolder(m);
        m.ui.SetText(Id::lblStatus, GetLangString("lblStatus_Ready"));
        m.ui.ShowMessage(GetLangString("MsgBox_ManualImport_Complete") + std::to_string(imported) +
                            GetLangString("MsgBox_ManualImport_Complete_Certs") + std::to_string(copied) +
                            GetLangString("MsgBox_ManualImport_Complete_Files"),
                        app::kInformation, GetLangString("MsgBox_ManualImport_CompleteTitle"));
        app::RefreshAllLists(m);
    } catch (const std::exception& e) {
        const auto* f = dynamic_cast<const Failure*>(&e);
        const std::string description = f ? f->description() : std::string(e.what());
        m.ui.SetBusyCursor(false);
        m.log.WriteErrorLog("mnuChainManualImport_Click", f ? f->number() : 0, description);
        m.ui.ShowMessage(GetLangString("MsgBox_ManualImport_Error") + description, app::kCritical,
                        GetLangString("MsgBox_ManualImport_Error_Title"));
    }
}

}  // namespace quillbay::certs
