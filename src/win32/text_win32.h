#pragma once
// Text at the Win32 boundary: UTF-8 inside the program, UTF-16 for the W functions, the
// system ANSI code page for 8-bit text files. Also turns Win32 error codes into Failures.
#include <windows.h>

#include <string>
#include <string_view>

#include "support/failure.h"

namespace quillbay::win32 {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// Bytes in the system ANSI code page (CP_ACP) to UTF-8.
std::string AnsiToUtf8(std::string_view ansi);
// UTF-8 to the system ANSI code page. Characters the code page cannot hold become the
// code page's default character ('?'), never a look-alike ("best fit") character.
std::string Utf8ToAnsi(std::string_view utf8);

// The system's message for a Win32 error or HRESULT, without the trailing line break.
std::string ErrorText(DWORD code);

// A Failure carrying the code and its system message.
Failure MakeFailure(DWORD code);
// Throws MakeFailure(GetLastError()).
[[noreturn]] void ThrowLastError();

}  // namespace quillbay::win32
