#pragma once
// The window's events, wired by the Win32 window (src/win32) and by the tests.
#include "app/main.h"
#include "lang/store.h"

namespace quillbay::app {

// Start-up. Returns false when it failed: the failure was logged, shown, and the window
// asked to close.
bool Form_Load(Main& m);
void RefreshAllLists(Main& m);
void ApplyLanguage(Main& m);
void SetLanguage(Main& m, lang::LanguageId id);

// Runs after the list has toggled the clicked item's selection.
void lstSites_Click(Main& m);
// Buttons and menu commands, by control or menu ID.
void OnCommand(Main& m, Id id);

// The small commands.
void mnuFileExit_Click(Main& m);
void mnuHelpAbout_Click(Main& m);
void mnuToolsSetPort_Click(Main& m);

// Program version as shown and compared: "1.0.10".
std::string VersionText(Main& m);

}  // namespace quillbay::app
