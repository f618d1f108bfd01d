#include "win32/automation_hooks.h"

#include <algorithm>
#include <string>

#include "win32/automation.h"
#include "win32/owner_only_security.h"
#include "win32/window_menus.h"

namespace quillbay::win32 {

HANDLE CreateMenuTextMapping(unsigned long processId) {
    try {
        OwnerOnlySecurity security;
        SetLastError(ERROR_SUCCESS);
        HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.attributes(), PAGE_READWRITE, 0,
                                            kMenuTextMappingChars * sizeof(wchar_t),
                                            MenuTextMappingName(processId).c_str());
        if (mapping && GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(mapping);
            return nullptr;
        }
        return mapping;
    } catch (...) {
        return nullptr;
    }
}

AutomationHooks::AutomationHooks()
    : menuStateMessage_(RegisterWindowMessageW(kMenuStateMessage)),
      menuTextMessage_(RegisterWindowMessageW(kMenuTextMessage)),
      pingMessage_(RegisterWindowMessageW(kPingMessage)),
      busyMessage_(RegisterWindowMessageW(kBusyMessage)) {}

AutomationHooks::~AutomationHooks() {
    if (menuTextMapping_) CloseHandle(menuTextMapping_);
}

std::optional<LRESULT> AutomationHooks::Answer(HWND window, UINT message, WPARAM wParam, bool working) {
    // A registration that failed gave 0, which is no message.
    if (message == 0) return std::nullopt;
    if (message == menuStateMessage_) return MenuStateAnswer(window, wParam);
    if (message == menuTextMessage_) return MenuTextAnswer(window, wParam);
    if (message == pingMessage_) {
        lastPing_ = wParam;
        return 0;
    }
    if (message == busyMessage_) return (working ? 1 : 0) | (lastPing_ != wParam ? 2 : 0);
    return std::nullopt;
}

LRESULT AutomationHooks::MenuStateAnswer(HWND window, WPARAM id) const {
    const auto item = FindMenuItem(window, static_cast<app::Id>(id));
    if (!item) return -1;
    const UINT state = MenuState(*item);
    if (state == static_cast<UINT>(-1)) return -1;
    return ((state & (MF_GRAYED | MF_DISABLED)) ? 0 : 1) | ((state & MF_CHECKED) ? 2 : 0);
}

LRESULT AutomationHooks::MenuTextAnswer(HWND window, WPARAM id) {
    const auto item = FindMenuItem(window, static_cast<app::Id>(id));
    if (!item) return -1;
    if (!menuTextMapping_) menuTextMapping_ = CreateMenuTextMapping(GetCurrentProcessId());
    if (!menuTextMapping_) return -1;
    const std::wstring caption = MenuCaption(*item);
    auto* view = static_cast<wchar_t*>(MapViewOfFile(menuTextMapping_, FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return -1;
    const std::size_t length = std::min<std::size_t>(caption.size(), kMenuTextMappingChars - 1);
    caption.copy(view, length);
    view[length] = L'\0';
    UnmapViewOfFile(view);
    return static_cast<LRESULT>(length);
}

}  // namespace quillbay::win32
