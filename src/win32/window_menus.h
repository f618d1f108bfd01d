#pragma once
// The main window's menu bar, and its items as the behaviour names them: a command item
// by its command ID, a menu-bar entry (Id::mnuFile..mnuHelp) by its position on the bar, the TLS submenu
// (Id::mnuChainTls) by its position in the Certificate Chain menu.
#include <windows.h>

#include <optional>
#include <string>

#include "app/ui.h"

namespace quillbay::win32 {

// The menu bar with its design captions; the language's captions replace them at load.
HMENU BuildMenuBar();

// True for the IDs of clickable menu commands (File>Exit .. Help>Check for Updates).
bool IsMenuCommand(int id);

// A menu item of the window's menu bar: the menu that holds it, the position or command,
// and MF_BYPOSITION or MF_BYCOMMAND.
struct MenuItem {
    HMENU menu;
    UINT item;
    UINT by;
};
std::optional<MenuItem> FindMenuItem(HWND window, app::Id id);

std::wstring MenuCaption(const MenuItem& item);
// Changes only the string: the check mark and the grayed state stay.
void SetMenuCaption(const MenuItem& item, const std::wstring& caption);
// GetMenuState's flags, or (UINT)-1 when the item is gone.
UINT MenuState(const MenuItem& item);

}  // namespace quillbay::win32
