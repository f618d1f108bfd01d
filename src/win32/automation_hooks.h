#pragma once
// The window's side of the automation messages described in automation.h.
#include <windows.h>

#include <optional>

namespace quillbay::win32 {

// The named shared memory that carries menu captions to the automation, open only to the
// user the process runs as. Null when it cannot be made so, or when an object of that name
// exists already (made by someone else, with their rights).
HANDLE CreateMenuTextMapping(unsigned long processId);

class AutomationHooks {
public:
    AutomationHooks();  // registers the messages
    ~AutomationHooks();
    AutomationHooks(const AutomationHooks&) = delete;
    AutomationHooks& operator=(const AutomationHooks&) = delete;

    // The answer when message is an automation message, else nothing. working: the load
    // event has not finished or a handler is running.
    std::optional<LRESULT> Answer(HWND window, UINT message, WPARAM wParam, bool working);

private:
    LRESULT MenuStateAnswer(HWND window, WPARAM id) const;
    LRESULT MenuTextAnswer(HWND window, WPARAM id);

    UINT menuStateMessage_;
    UINT menuTextMessage_;
    UINT pingMessage_;
    UINT busyMessage_;
    WPARAM lastPing_ = 0;
    HANDLE menuTextMapping_ = nullptr;  // kept for the window's lifetime
};

}  // namespace quillbay::win32
