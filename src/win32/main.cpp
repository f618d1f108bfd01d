// The program: one window whose load event starts everything; the process ends when the
// window is gone.
#include <windows.h>
#include <objbase.h>

#include "win32/clock_win32.h"
#include "win32/file_system_win32.h"
#include "win32/host_win32.h"
#include "win32/http_win32.h"
#include "win32/pkcs12_win32.h"
#include "win32/shell_win32.h"
#include "win32/text_win32.h"
#include "win32/signature_win32.h"
#include "win32/event_log_win32.h"
#include "win32/tls_probe_win32.h"
#include "win32/system_library.h"
#include "win32/xml_win32.h"
#include "win32/window.h"

#include "app/handlers.h"
#include "app/main.h"
#include "support/failure.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    using namespace quillbay;
    // DLLs that system code loads by name later on come from the system folder too, never
    // from beside the program or the current folder.
    win32::RestrictDllSearch();
    // Whatever the current folder was (the program's folder, a download folder), nothing is
    // ever found there.
    wchar_t systemFolder[MAX_PATH + 1];
    const UINT length = GetSystemDirectoryW(systemFolder, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH) SetCurrentDirectoryW(systemFolder);
    // The file dialog and the shell functions expect a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 0;
    try {
        win32::MainWindow window(instance);
        // While a tool runs, the window repaints and answers.
        win32::Win32Shell shell([&window] { window.DoEvents(); });
        win32::Win32FileSystem fs;
        win32::Win32Host host;
        win32::Win32Clock clock;
        win32::Win32Pkcs12 pkcs12;
        // A request waits the same way; closing the window abandons it.
        win32::Win32HttpClient http([&window] {
            window.DoEvents();
            return !window.ClosePending();
        });
        win32::Win32SignatureVerifier signatures;
        win32::Win32XmlReader xml;
        win32::Win32TlsProbe probe([&window] {
            window.DoEvents();
            return !window.ClosePending();
        });
        win32::Win32EventLog events;
        Machine machine(shell, fs, host, clock, pkcs12, http, signatures, xml, probe, events);
        app::Main main(window, machine);
        window.Attach(main);
        window.Create(showCommand);
        window.Load();
        exitCode = window.RunMessageLoop();
    } catch (const Failure& failure) {
        // Only the window's own creation can end up here.
        MessageBoxW(nullptr, win32::Utf8ToWide(failure.description()).c_str(), L"Quillbay",
                    MB_ICONERROR | MB_TASKMODAL);
        exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
