#pragma once
// Where the main window's controls sit and how large they are drawn: a table in twips,
// scaled for the monitor's DPI, with the system's message font at that DPI.
#include <windows.h>

#include "app/ui.h"

namespace quillbay::win32 {

inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kMainWindowExStyle = 0;

// The IDs of the window's controls (not the window itself, not menu items).
bool IsControl(app::Id id);
bool IsList(app::Id id);

// Creates the controls as children of window, in their initial state, not yet placed.
void CreateControls(HWND window, HINSTANCE instance);
// Gives every control its font and its place at the DPI.
void LayOutControls(HWND window, HFONT font, UINT dpi);
// Sizes the window for its client area at the DPI and centres it on its monitor.
void SizeAndCentre(HWND window, UINT dpi);

UINT WindowDpi(HWND window);
// The system's message font at the DPI; the caller deletes it.
HFONT CreateUiFont(UINT dpi);

}  // namespace quillbay::win32
