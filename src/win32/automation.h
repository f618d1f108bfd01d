#pragma once
// How UI automation reads the main window's menus from another process. Controls are
// found by their fixed IDs and read with ordinary window messages, but menus cannot be
// read across processes on every platform (Wine refuses GetMenuItemInfo there), so the
// window answers two registered messages of its own:
//
//   kMenuStateMessage, wParam = menu ID (command ID, or 2101..2106 for the menu-bar
//   entries): returns -1 for an unknown ID, else bit 0 = enabled, bit 1 = checked.
//
//   kMenuTextMessage, wParam = menu ID: copies the caption as NUL-terminated UTF-16 into
//   the named shared memory MenuTextMappingName(process ID of the window) and returns
//   its length in characters, or -1 for an unknown ID. The window keeps the mapping open
//   for its lifetime; the caller opens it by name after the message returns. Only the
//   user the window runs as may open it: the program runs elevated.
//
// And, so that a caller can tell when the window has done what it was asked:
//
//   kPingMessage, posted with wParam = a token: the window notes the token when the message
//   comes out of its queue, so after every message posted before it.
//
//   kBusyMessage, wParam = the same token: bit 0 set while the load event has not finished
//   or a handler is running (a handler's message boxes and repaint passes still answer),
//   bit 1 set while the token has not arrived. 0 means idle with the queue worked through.
#include <string>

namespace quillbay::win32 {

inline constexpr const wchar_t* kMainWindowClass = L"QuillbayMain";
inline constexpr const wchar_t* kMenuStateMessage = L"QuillbayMenuState";
inline constexpr const wchar_t* kMenuTextMessage = L"QuillbayMenuText";
inline constexpr const wchar_t* kPingMessage = L"QuillbayPing";
inline constexpr const wchar_t* kBusyMessage = L"QuillbayBusy";
inline constexpr unsigned kMenuTextMappingChars = 4096;

inline std::wstring MenuTextMappingName(unsigned long processId) {
    return L"Local\\QuillbayMenuText." + std::to_wstring(processId);
}

}  // namespace quillbay::win32
