#pragma once
// The modal input box: a prompt, a one-line field pre-filled with a default text, OK and
// Cancel. Built from an in-memory dialog template, so it needs no resource.
#include <windows.h>

#include <optional>
#include <string>

namespace quillbay::win32 {

// Fixed IDs so that automation can fill the field and press OK.
inline constexpr int kInputBoxEditId = 3001;
inline constexpr int kInputBoxPromptId = 3002;

// Returns the text in the field when OK is pressed; nothing on Cancel or the close box.
std::optional<std::wstring> ShowInputBox(HWND owner, const std::wstring& prompt, const std::wstring& title,
                                         const std::wstring& defaultText);

}  // namespace quillbay::win32
