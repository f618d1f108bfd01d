#pragma once
// The window's events, wired by the Win32 window (src/win32) and by the tests. Each area of
// the window has a file of its own: startup.cpp, certificates.cpp, chain_menu.cpp,
// sites.cpp, commands.cpp, deploy.cpp, verify.cpp, renew.cpp, update.cpp.
#include <optional>
#include <string>
#include <vector>

#include "app/main.h"
#include "iis/deploy.h"
#include "lang/store.h"

namespace quillbay::app {

// Start-up: the IIS version, the language and the captions, then the window is shown and
// the lists are filled. Returns false when it failed: the failure was logged, shown, and
// the window asked to close.
bool Form_Load(Main& m);
void RefreshAllLists(Main& m);
void ApplyLanguage(Main& m);
void SetLanguage(Main& m, lang::LanguageId id);

// The certificate list and the Import button.
void ScanChainFolder(Main& m);
void cmdImport_Click(Main& m);
// Binds the certificate of fullchain.pfx to every selected site.
void cmdDeploy_Click(Main& m);
// The names of the sites selected in the list, in its order.
std::vector<std::string> SelectedSiteNames(Main& m);
// Deployment > Verify Deployment: probes the selected sites' HTTPS bindings; the findings in a box.
void mnuToolsVerify_Click(Main& m);
// Deployment > Replace Certificate Everywhere: the files beside the program take the place of the
// certificates they supersede on every endpoint, after a question that lists them.
void mnuToolsRenew_Click(Main& m);
// After a deployment's summary: probes what it changed; the status line says whether all holds.
void VerifyDeployment(Main& m, const iis::DeployRequest& request, const iis::DeployOutcome& outcome);

// The Certificate Chain menu.
void mnuChainManualImport_Click(Main& m);
void mnuChainViewSystemStore_Click(Main& m);
// The TLS profile for Import: the user's kept choice at start-up; a choice made is kept.
void LoadTlsProfile(Main& m);
void SetTlsProfile(Main& m, certs::TlsProfile profile);
// Explorer-style dialog, file must exist, several files may be picked.
inline constexpr unsigned kManualImportDialogFlags = 0x81200;
// Full paths of the files picked in the open-file dialog, in the dialog's order, from its
// result text (one full path, or the folder and the names separated by NUL characters).
std::vector<std::string> PickedFiles(const std::string& dialogResult);

// The site list and the redirect check box.
void PopulateSitesList(Main& m);
bool CheckRewriteModuleInstalled(Main& m);
// Runs after the list has toggled the clicked item's selection.
void lstSites_Click(Main& m);

// Buttons and menu commands, by control or menu ID; ignored until start-up has finished.
void OnCommand(Main& m, Id id);
void mnuFileExit_Click(Main& m);
void mnuHelpAbout_Click(Main& m);
// Help > Check for Updates.
void mnuHelpCheckUpdate_Click(Main& m);
// Downloads the package, checks it, and hands over to the self-update script. True when the
// program has been ended for the update.
bool DownloadAndUpdate(Main& m, const std::string& packageUrl);
void mnuToolsSetPort_Click(Main& m);
// Program version as shown and compared: "1.0.10".
std::string VersionText(Main& m);

}  // namespace quillbay::app
