// Console output of the stand-in tools. A console gets UTF-16 through WriteConsoleW; a file or
// pipe gets the bytes of the system ANSI code page, which is what readers of captured tool
// output (cmd.exe redirection read back as ANSI text) expect.
#pragma once

#include <string_view>

namespace sandbox {

enum class Stream { Out, Err };

void Write(Stream stream, std::wstring_view text);
inline void Out(std::wstring_view text) { Write(Stream::Out, text); }
inline void Err(std::wstring_view text) { Write(Stream::Err, text); }

// UTF-8 instead of ANSI for redirected output (sbx, whose output is read by scripts).
void UseUtf8WhenRedirected();

}  // namespace sandbox
