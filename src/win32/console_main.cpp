// The console program: the same adapters as the window's program, no window, no box, no
// dialog; the exit code and the two output streams say everything.
#include <windows.h>

#include "win32/clock_win32.h"
#include "win32/console_win32.h"
#include "win32/file_system_win32.h"
#include "win32/host_win32.h"
#include "win32/http_win32.h"
#include "win32/pkcs12_win32.h"
#include "win32/shell_win32.h"
#include "win32/signature_win32.h"
#include "win32/event_log_win32.h"
#include "win32/tls_probe_win32.h"
#include "win32/system_library.h"
#include "win32/xml_win32.h"

#include "cli/program.h"

int wmain(int argc, wchar_t** argv) {
    using namespace quillbay;
    // Run unattended: a failure must never wait for someone to close a system error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // As for the window: DLLs from the system folder only, and nothing found in the current folder.
    win32::RestrictDllSearch();
    wchar_t systemFolder[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryW(systemFolder, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH) SetCurrentDirectoryW(systemFolder);

    win32::Win32Console console;
    try {
        win32::Win32Shell shell;
        win32::Win32FileSystem fs;
        win32::Win32Host host;
        win32::Win32Clock clock;
        win32::Win32Pkcs12 pkcs12;
        win32::Win32HttpClient http;
        win32::Win32SignatureVerifier signatures;
        win32::Win32XmlReader xml;
        win32::Win32TlsProbe probe;
        win32::Win32EventLog events;
        Machine machine(shell, fs, host, clock, pkcs12, http, signatures, xml, probe, events);
        return cli::RunConsole(machine, console, win32::Utf8Arguments(argc, argv));
    } catch (const std::exception& e) {
        console.Err(std::string(e.what()) + "\r\n");
        return 2;
    }
}
