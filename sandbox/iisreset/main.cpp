// iisreset.exe stand-in: restarts (or stops, starts) the simulated internet services and
// counts every restart in services.tsv, with a time-stamped line in iisreset.log. "sbx seed
// --iisreset-fault CODE" makes every stop, start and restart fail with CODE until the next seed.
#include <windows.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/console.h"
#include "common/errors.h"
#include "common/state.h"
#include "common/text.h"

using namespace sandbox;

namespace {

const wchar_t kUsage[] =
    L"\r\n"
    L"Usage:\r\n"
    L"iisreset [computername]\r\n"
    L"\r\n"
    L"    /RESTART            Stop and then restart all Internet services.\r\n"
    L"    /START              Start all Internet services.\r\n"
    L"    /STOP               Stop all Internet services.\r\n"
    L"    /STATUS             Display status of all Internet services.\r\n"
    L"    /NOFORCE            Do not forcefully terminate Internet services if\r\n"
    L"                        attempting to stop them gracefully fails.\r\n"
    L"    /TIMEOUT:val        Specify the timeout value ( in seconds ) to wait for\r\n"
    L"                        a successful stop of Internet services.\r\n";

struct Services {
    long restarts = 0;
    std::wstring state = L"Running";
};

Services Load() {
    Services services;
    for (const Record& record : ReadRecords(StatePath(L"services.tsv"))) {
        if (record.size() >= 2 && record[0] == L"restarts") services.restarts = wcstol(record[1].c_str(), nullptr, 10);
        if (record.size() >= 2 && record[0] == L"w3svc") services.state = record[1];
    }
    return services;
}

void Save(const Services& services, std::wstring_view action) {
    CreateDirectories(StateDirectory());
    WriteRecords(StatePath(L"services.tsv"), {{L"restarts", std::to_wstring(services.restarts)}, {L"w3svc", services.state}});
    AppendRecord(StatePath(L"iisreset.log"), {Timestamp(), std::wstring(action)});
}

// The real tool's failure: the attempt line, then the reason with its code in decimal and hex,
// e.g. "Restart attempt failed." / "The system cannot find the file specified. (2147942402,
// 80070002)" (as reported in microsoft/IIS.ServiceMonitor#88). Its exit code is the code.
DWORD Fail(const wchar_t* attempt, const wchar_t* failed, unsigned long code) {
    wchar_t numbers[40];
    swprintf(numbers, 40, L" (%lu, %lx)", code, code);
    Out(std::wstring(L"\r\n") + attempt + L"\r\n" + failed + L"\r\n" +
        HResultMessage(static_cast<long>(code)) + numbers + L"\r\n");
    return code;
}

DWORD Run(const std::vector<std::wstring>& args) {
    enum class Action { Restart, Start, Stop, Status } action = Action::Restart;
    for (const std::wstring& arg : args) {
        if (EqualsNoCase(arg, L"/restart")) action = Action::Restart;
        else if (EqualsNoCase(arg, L"/start")) action = Action::Start;
        else if (EqualsNoCase(arg, L"/stop")) action = Action::Stop;
        else if (EqualsNoCase(arg, L"/status")) action = Action::Status;
        else if (EqualsNoCase(arg, L"/noforce") || StartsWithNoCase(arg, L"/timeout:")) continue;
        else {
            Out(kUsage);
            return 1;
        }
    }
    StateLock lock;
    Services services = Load();
    unsigned long fault = 0;
    std::optional<std::wstring> injected = FaultValue(L"iisreset", L"exit");
    if (action != Action::Status && injected && ParseExitCode(*injected, fault)) {
        if (action == Action::Stop) return Fail(L"Attempting stop...", L"Stop attempt failed.", fault);
        if (action == Action::Start) return Fail(L"Attempting start...", L"Start attempt failed.", fault);
        return Fail(L"Attempting stop...", L"Restart attempt failed.", fault);
    }
    switch (action) {
        case Action::Status:
            Out(L"Status for Windows Process Activation Service ( WAS ) : " + services.state +
                L"\r\nStatus for World Wide Web Publishing Service ( W3SVC ) : " + services.state + L"\r\n");
            return 0;
        case Action::Stop:
            Out(L"\r\nAttempting stop...\r\nInternet services successfully stopped\r\n");
            services.state = L"Stopped";
            Save(services, L"stop");
            return 0;
        case Action::Start:
            Out(L"\r\nAttempting start...\r\nInternet services successfully started\r\n");
            services.state = L"Running";
            Save(services, L"start");
            return 0;
        case Action::Restart:
            Out(L"\r\nAttempting stop...\r\nInternet services successfully stopped\r\n"
                L"Attempting start...\r\nInternet services successfully restarted\r\n\r\n");
            services.state = L"Running";
            ++services.restarts;
            Save(services, L"restart");
            return 0;
    }
    return 0;
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    std::vector<std::wstring> args = ArgumentValues(raw);
    DWORD code = Run(args);
    LogInvocation(L"iisreset", raw, code);
    return static_cast<int>(code);
}
