// The simulated host: what "sbx seed" sets up for the application to tell the IIS version by (the
// registry value, the IIS manager's version record) and to find the tools by, iisreset, the
// endpoints netsh takes, and how every tool splits its raw command line. The certificate consoles
// are opened end to end (85-view-store).
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"
#include "harness.h"
#include "win32/host_win32.h"

namespace sandbox::test {
namespace {

// InetMgr.exe's product version as the application reads it; "" without the file.
std::wstring InetMgrVersion() {
    return Widen(quillbay::win32::Win32Host().FileProductVersion(Narrow(SystemDirectory() + L"\\inetsrv\\InetMgr.exe")));
}

// What the application makes of these hosts (the registry's version, the tools) is driven end to
// end (65-iis-discovery, 90-import-deploy), each scenario on a fresh seed: what a seed leaves
// behind fails their checks of stores and logs.
TEST(Seed, SetsUpTheIisTheOptionsAskFor) {
    Check({Sbx(L"seed --inetmgr-version x7.5")});
    EXPECT_EQ(InetMgrVersion(), L"x7.5");  // the record's text as given, not its numbers
    Check({Sbx(L"seed --no-inetmgr")});
    EXPECT_EQ(InetMgrVersion(), L"");
    // Site names are unique without regard to case; options that make no host are refused.
    for (const wchar_t* bad : {L"--site A \"http/*:80:\" --site a \"http/*:81:\"", L"--site \"Only a name\"",
                               L"--iis-major 8 --no-iis-registry", L"--frobnicate"})
        Check({Sbx(L"seed " + std::wstring(bad), 2)});
}

// Restarts are counted, stops and starts are not. The application reads only the exit code; the
// log of its runs is read end to end (90-import-deploy).
TEST(Iisreset, CountsRestartsAndRefusesUnknownOptions) {
    Check({
        Sbx(L"seed"),
        Ran(L"iisreset", 0),
        Ran(L"iisreset /stop", 0),
        Ran(L"iisreset /status", 0, L"( W3SVC ) : Stopped\r\n"),
        Ran(L"iisreset /bogus", 1),
        {Via::Sbx, L"restarts", 0, L"1\r\n"},
    });
}

// The application reads only netsh's exit code; the reason of a refusal tells the cases apart.
TEST(Netsh, TakesHostNamesAndAddressesOnlyAndNamesWhatIsMissing) {
    const std::wstring netsh = SystemDirectory() + L"\\netsh.exe http ", leaf = Thumbprint(L"leaf");
    const std::wstring appId = L"{4dc3e181-e14b-4a21-b022-59fc669b0914}", tail = L" certhash=" + leaf + L" appid=" + appId;
    const std::wstring incorrect = L"The parameter is incorrect.", essential = L"One or more essential parameters were not entered.";
    std::vector<Row> rows = {Sbx(L"seed"), Ran(LeafImport(), 0)};
    // Endpoints netsh takes (0) and refuses (1) of those a site's host names and port could make:
    // host names of letters, digits and inner hyphens, ports 1 to 65535.
    const std::pair<const wchar_t*, DWORD> endpoints[] = {
        {L"hostnameport=www.example.com:443", 0}, {L"hostnameport=xn--bcher-kva.example:8443", 0},
        {L"hostnameport=bücher.example:443", 0},  {L"hostnameport=localhost:65535", 0},
        {L"hostnameport=*:443", 1},               {L"\"hostnameport=www example.com:443\"", 1},
        {L"hostnameport=-www.example.com:443", 1}, {L"hostnameport=www..example.com:443", 1},
        {L"hostnameport=www.example.com:0", 1},   {L"hostnameport=www.example.com", 1},
    };
    for (const auto& [endpoint, code] : endpoints) rows.push_back(Ran(netsh + L"add sslcert " + endpoint + tail, code, code ? incorrect : L""));
    Check(rows);
    Check({
        Ran(netsh + L"add sslcert ipport=0.0.0.0: 443" + tail, 1, L"Usage: add sslcert"),
        Ran(netsh + L"add sslcert ipport=0.0.0.0:8443 certhash=XYZ appid=" + appId, 1, incorrect),
        Ran(netsh + L"add sslcert ipport=0.0.0.0:8443" + tail + L" hostname=www.example.com sslFlags='1'", 1, L"Usage: add sslcert"),
        Ran(netsh + L"add sslcert" + tail, 1, essential),
        Ran(netsh + L"add sslcert ipport=0.0.0.0:444 appid=" + appId, 1, essential),
        Ran(netsh + L"add sslcert ipport=0.0.0.0:8443 certstorename=MY" + tail, 0),
        Ran(netsh + L"show sslcert ipport=0.0.0.0:8443", 0, L"Certificate Hash             : " + ToLower(leaf)),
        Ran(netsh + L"delete sslcert hostnameport=www.example.com:443", 0),
        {Via::Sbx, L"sslcerts", 0,
         L"hostnameport\txn--bcher-kva.example:8443\t" + leaf + L"\t" + appId + L"\t\r\n"
         L"hostnameport\tbücher.example:443\t" + leaf + L"\t" + appId + L"\t\r\n"
         L"hostnameport\tlocalhost:65535\t" + leaf + L"\t" + appId + L"\t\r\n"
         L"ipport\t0.0.0.0:8443\t" + leaf + L"\t" + appId + L"\tMY\r\n"},
    });
}

// The tools split their raw command line themselves (to know where each argument stood). The
// lines the application sends are split end to end in the tools' tables; these are the rules' corners.
TEST(Common, SplitsCommandLinesAsThePlatformDoes) {
    for (const std::wstring line : {
             LR"("C:\Program Files\tool.exe" a\\\"b "c\\" d\\e "f""g" """ h""""i)",
             LR"("quoted"glued next)",
             LR"(prog  	  spaced	  "tab	inside"  )",
             LR"(prog a"b c"d e\\"f g"\ h)",
             LR"(prog """""" x)",
         }) {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        std::vector<std::wstring> platform(argv, argv + count), ours;
        LocalFree(argv);
        for (const Argument& argument : SplitCommandLine(line)) ours.push_back(argument.value);
        EXPECT_EQ(ours, platform) << Narrow(line);
    }
}

}  // namespace
}  // namespace sandbox::test
