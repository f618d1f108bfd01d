#pragma once
// Standard output and standard error of the console program.
#include <windows.h>

#include <string>
#include <vector>

#include "cli/console.h"

namespace quillbay::win32 {

// A console gets UTF-16 through WriteConsoleW, so every language shows whatever the console's
// code page; a pipe or a file gets the UTF-8 bytes. Failures to write are ignored: there is
// nowhere left to report them.
class Win32Console final : public cli::Console {
public:
    Win32Console();
    void Out(std::string_view text) override { Write(out_, text); }
    void Err(std::string_view text) override { Write(err_, text); }

private:
    static void Write(HANDLE handle, std::string_view text);
    HANDLE out_;
    HANDLE err_;
};

// The process's arguments after the program name, as UTF-8.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);

}  // namespace quillbay::win32
