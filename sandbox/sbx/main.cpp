// sbx.exe: sets up and inspects the simulated host. It lives in C:\QuillbaySandbox with the
// stand-in tools in its bin folder, from where "seed" places them as the chosen host would have
// them.
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/apphost.h"
#include "common/cert_model.h"
#include "common/cmdline.h"
#include "common/console.h"
#include "common/errors.h"
#include "common/iis_model.h"
#include "common/state.h"
#include "common/system_stores.h"
#include "common/tasks.h"
#include "common/text.h"
#include "sbx/version_resource.h"

using namespace sandbox;

namespace {

const wchar_t kUsage[] =
    L"Usage: sbx <command> [options]\r\n"
    L"\r\n"
    L"  seed [options]        Reset the whole sandbox state and set up a host:\r\n"
    L"      --no-iis                   no IIS: no appcmd.exe, iisreset.exe, InetMgr.exe, and no\r\n"
    L"                                 InetStp registry key unless --iis-major is given\r\n"
    L"      --iis-major N              HKLM\\SOFTWARE\\Microsoft\\InetStp MajorVersion (default 10)\r\n"
    L"      --no-iis-registry          no InetStp registry key\r\n"
    L"      --inetmgr-version TEXT     product version of inetsrv\\InetMgr.exe (default after the\r\n"
    L"                                 major version, e.g. 10.0.17763.1)\r\n"
    L"      --no-inetmgr               no InetMgr.exe\r\n"
    L"      --rewrite | --no-rewrite   URL Rewrite module installed (default) or not\r\n"
    L"      --site NAME BINDINGS       a site and its bindings, e.g. \"http/*:80:,https/*:443:a.example\"\r\n"
    L"                                 (repeatable; without any, one \"Default Web Site\" on http/*:80:)\r\n"
    L"      --sites-file PATH          sites from a UTF-8 file, one \"NAME<TAB>BINDINGS\" a line\r\n"
    L"      --no-sites                 no sites at all\r\n"
    L"      --shared-config FOLDER     shared configuration: redirection.config sends IIS to FOLDER\r\n"
    L"                                 (a Windows path), where applicationHost.config is then kept\r\n"
    L"      --appcmd-fault stderr-only appcmd.exe answers on standard error only (until the next seed)\r\n"
    L"      --iisreset-fault CODE      iisreset.exe fails every stop, start and restart with CODE, e.g.\r\n"
    L"                                 0x80070005, changing nothing (until the next seed)\r\n"
    L"      --no-certlm                no certlm.msc in system32 (certmgr.msc only, as an older server)\r\n"
    L"      --no-consoles              neither certlm.msc nor certmgr.msc\r\n"
    L"  stores                Certificates: store, thumbprint, key (yes/no), subject\r\n"
    L"  sites                 Sites and bindings, as records of iis.tsv\r\n"
    L"  rules                 URL Rewrite rules, as records of iis.tsv\r\n"
    L"  sslcerts              HTTP.sys certificate bindings: kind, endpoint, hash, appid, store\r\n"
    L"  restarts              Number of IIS restarts (iisreset)\r\n"
    L"  log                   Tool invocations: time, tool, exit code, command line\r\n"
    L"  planted               Runs of planted.exe copies: time, own path, command line\r\n"
    L"  tasks                 Scheduled tasks (schtasks): name, command, arguments\r\n"
    L"  run-task NAME         Runs the task as the scheduler would: starts its program by its full\r\n"
    L"                        path with its arguments, waits, logs and prints the exit code\r\n"
    L"  state                 All state files\r\n"
    L"  install               Register the stand-ins in this prefix and seed a default host\r\n"
    L"                        when there is no state yet (install.sh runs this)\r\n"
    L"\r\n"
    L"State: %ProgramData%\\QuillbaySandbox. Output: one record a line, fields separated by tabs\r\n"
    L"(a tab or line break inside a field shows as a blank), UTF-8 when redirected.\r\n";

constexpr int kUsageError = 2;

std::wstring KitDirectory() { return ModuleDirectory() + L"\\bin"; }

bool DeleteTree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool Place(const std::wstring& kitName, const std::wstring& target) {
    std::wstring source = KitDirectory() + L"\\" + kitName;
    if (CopyFileW(source.c_str(), target.c_str(), FALSE)) return true;
    Err(L"sbx: cannot copy " + source + L" to " + target + L" (error " + std::to_wstring(GetLastError()) + L")\r\n");
    return false;
}

void Remove(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

struct SeedOptions {
    bool iis = true;
    std::optional<DWORD> major;
    bool registry = true;
    std::optional<std::wstring> inetmgrVersion;
    bool inetmgr = true;
    bool rewrite = true;
    bool noSites = false;
    std::optional<std::wstring> sharedConfig;
    std::vector<std::pair<std::wstring, std::wstring>> sites;
    std::vector<std::wstring> appcmdFaults;
    std::optional<std::wstring> iisresetFault;
    bool certlm = true;
    bool certmgr = true;
};

const wchar_t* const kAppcmdFaults[] = {L"stderr-only"};

std::wstring DefaultInetMgrVersion(DWORD major) {
    switch (major) {
        case 10: return L"10.0.17763.1";
        case 8: return L"8.0.9200.16384";
        case 7: return L"7.5.7600.16385";
        case 6: return L"6.0.6000.16386";
        default: return std::to_wstring(major) + L".0.0.0";
    }
}

bool ReadSitesFile(const std::wstring& path, std::vector<std::pair<std::wstring, std::wstring>>& sites) {
    std::vector<unsigned char> bytes;
    DWORD error = 0;
    if (!ReadFileBytes(path, bytes, &error)) {
        Err(L"sbx: cannot read " + path + L" (error " + std::to_wstring(error) + L")\r\n");
        return false;
    }
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    for (std::wstring line : Split(Widen(text), L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty() || line[0] == L'#') continue;
        size_t tab = line.find(L'\t');
        sites.emplace_back(line.substr(0, tab), tab == std::wstring::npos ? L"" : line.substr(tab + 1));
    }
    return true;
}

// The options that take no value and set one switch.
struct SwitchOption {
    const wchar_t* name;
    bool SeedOptions::*member;
    bool value;
};
const SwitchOption kSwitches[] = {
    {L"--no-iis", &SeedOptions::iis, false},          {L"--no-inetmgr", &SeedOptions::inetmgr, false},
    {L"--rewrite", &SeedOptions::rewrite, true},      {L"--no-rewrite", &SeedOptions::rewrite, false},
    {L"--no-sites", &SeedOptions::noSites, true},     {L"--no-certlm", &SeedOptions::certlm, false},
};

bool Consistent(SeedOptions& options, bool registrySet) {
    if (!options.iis && !registrySet) options.registry = false;
    if (options.major && !options.registry) {
        Err(L"sbx: --iis-major and --no-iis-registry exclude each other\r\n");
        return false;
    }
    if (options.sharedConfig && !options.iis) {
        Err(L"sbx: --shared-config and --no-iis exclude each other\r\n");
        return false;
    }
    return true;
}

bool ParseSeed(const std::vector<std::wstring>& args, SeedOptions& options) {
    bool registrySet = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        auto value = [&](std::wstring& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::wstring v;
        const SwitchOption* flag = nullptr;
        for (const SwitchOption& option : kSwitches) flag = a == option.name ? &option : flag;
        if (flag) {
            options.*flag->member = flag->value;
        } else if (a == L"--iis-major") {
            if (!value(v) || v.empty() || v.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
            options.major = static_cast<DWORD>(wcstoul(v.c_str(), nullptr, 10));
            registrySet = true;
        } else if (a == L"--no-iis-registry") {
            options.registry = false;
            registrySet = true;
        } else if (a == L"--inetmgr-version") {
            if (!value(v)) return false;
            options.inetmgrVersion = v;
        } else if (a == L"--site") {
            if (i + 2 >= args.size()) return false;
            options.sites.emplace_back(args[i + 1], args[i + 2]);
            i += 2;
        } else if (a == L"--sites-file") {
            if (!value(v) || !ReadSitesFile(v, options.sites)) return false;
        } else if (a == L"--shared-config") {
            if (!value(v) || v.empty()) return false;
            options.sharedConfig = v;
        } else if (a == L"--appcmd-fault") {
            const auto known = [&v] {
                return std::find(std::begin(kAppcmdFaults), std::end(kAppcmdFaults), v) != std::end(kAppcmdFaults);
            };
            if (!value(v) || !known()) {
                Err(L"sbx: --appcmd-fault takes one of: stderr-only\r\n");
                return false;
            }
            options.appcmdFaults.push_back(v);
        } else if (a == L"--iisreset-fault") {
            unsigned long code = 0;
            if (!value(v) || !ParseExitCode(v, code)) {
                Err(L"sbx: --iisreset-fault takes a non-zero exit code, e.g. 0x80070005 or 1\r\n");
                return false;
            }
            options.iisresetFault = v;
        } else if (a == L"--no-consoles") {
            options.certlm = options.certmgr = false;
        } else {
            Err(L"sbx: unknown seed option " + a + L"\r\n");
            return false;
        }
    }
    return Consistent(options, registrySet);
}

bool WriteRegistry(const SeedOptions& options, DWORD major) {
    const wchar_t key[] = L"SOFTWARE\\Microsoft\\InetStp";
    if (!options.registry) {
        LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
    }
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS)
        return false;
    DWORD minor = 0;
    std::wstring versionString = L"Version " + std::to_wstring(major) + L".0";
    std::wstring installPath = InetsrvDirectory();
    bool ok = RegSetValueExW(handle, L"MajorVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&major), sizeof major) ==
                  ERROR_SUCCESS &&
              RegSetValueExW(handle, L"MinorVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minor), sizeof minor) ==
                  ERROR_SUCCESS &&
              RegSetValueExW(handle, L"VersionString", 0, REG_SZ, reinterpret_cast<const BYTE*>(versionString.c_str()),
                             static_cast<DWORD>((versionString.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS &&
              RegSetValueExW(handle, L"InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(installPath.c_str()),
                             static_cast<DWORD>((installPath.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

const wchar_t* const kStandardModules[] = {
    L"HttpLoggingModule",   L"UriCacheModule",         L"FileCacheModule",         L"TokenCacheModule",
    L"HttpCacheModule",     L"StaticCompressionModule", L"DefaultDocumentModule",   L"DirectoryListingModule",
    L"ProtocolSupportModule", L"StaticFileModule",      L"AnonymousAuthenticationModule", L"RequestFilteringModule",
    L"CustomErrorModule"};

// Stand-ins for the certificate consoles: the sandbox's mmc.exe only checks that a console file
// exists and is one.
std::wstring ConsoleFile(const wchar_t* name) {
    return L"<?xml version=\"1.0\"?>\r\n<MMC_ConsoleFile ConsoleVersion=\"3.0\" ProgramMode=\"UserSDI\">\r\n"
           L"  <!-- Placeholder of the Quillbay sandbox host: " + std::wstring(name) + L" -->\r\n</MMC_ConsoleFile>\r\n";
}

bool PlaceConsoles(const SeedOptions& options) {
    bool ok = true;
    for (auto [name, wanted] : {std::pair{L"certlm.msc", options.certlm}, std::pair{L"certmgr.msc", options.certmgr}}) {
        std::wstring path = SystemDirectory() + L"\\" + name;
        if (!wanted) {
            Remove(path);
            continue;
        }
        std::string bytes = Narrow(ConsoleFile(name));
        if (!WriteFileBytes(path, bytes.data(), bytes.size())) {
            Err(L"sbx: cannot write " + path + L"\r\n");
            ok = false;
        }
    }
    return ok;
}

// IIS's configuration files before the first save: redirection.config for a shared configuration,
// and no applicationHost.config left behind where a reader that ignores the redirection (or
// expects no IIS) would find one.
bool PrepareConfigFiles(const SeedOptions& options) {
    std::wstring local = LocalConfigDirectory();
    Remove(local + L"\\applicationHost.config");
    Remove(RedirectionConfigPath());
    if (!options.iis) RemoveDirectoryW(local.c_str());  // only when nothing else lives there
    if (!options.sharedConfig) return true;
    if (CreateDirectories(*options.sharedConfig) && WriteRedirectionConfig(*options.sharedConfig)) return true;
    Err(L"sbx: cannot share the configuration in " + *options.sharedConfig + L"\r\n");
    return false;
}

// The sites and modules the options ask for; false for a bad or repeated site.
bool SeededConfig(const SeedOptions& options, IisConfig& config) {
    if (!options.iis) return true;
    std::vector<std::pair<std::wstring, std::wstring>> sites = options.sites;
    if (sites.empty() && !options.noSites) sites.emplace_back(L"Default Web Site", L"http/*:80:");
    for (const auto& [name, bindings] : sites) {
        Site site;
        site.id = config.NextSiteId();
        site.name = name;
        if (name.empty() || config.FindSite(name) || !ParseBindingsText(bindings, site.bindings)) {
            Err(L"sbx: bad or repeated site \"" + name + L"\" / \"" + bindings + L"\"\r\n");
            return false;
        }
        config.sites.push_back(std::move(site));
    }
    for (const wchar_t* name : kStandardModules) config.modules.push_back({name, L"", L""});
    if (options.rewrite) config.modules.push_back({L"RewriteModule", L"", L""});
    return true;
}

// IIS's programs come and go with it: appcmd, iisreset and the manager with its version record.
bool PlaceIisPrograms(const SeedOptions& options, DWORD major) {
    bool ok = true;
    std::wstring inetsrv = InetsrvDirectory();
    std::wstring inetmgr = inetsrv + L"\\InetMgr.exe";
    if (!options.iis) {
        for (const wchar_t* name : {L"appcmd.exe", L"iisreset.exe", L"InetMgr.exe"}) Remove(inetsrv + L"\\" + name);
        Remove(SystemDirectory() + L"\\iisreset.exe");
        RemoveDirectoryW(inetsrv.c_str());  // only when nothing else lives there
        return ok;
    }
    CreateDirectories(inetsrv);
    ok = Place(L"appcmd.exe", inetsrv + L"\\appcmd.exe") && ok;
    ok = Place(L"iisreset.exe", inetsrv + L"\\iisreset.exe") && ok;
    ok = Place(L"iisreset.exe", SystemDirectory() + L"\\iisreset.exe") && ok;
    if (!options.inetmgr) {
        Remove(inetmgr);
        return ok;
    }
    std::wstring version = options.inetmgrVersion.value_or(DefaultInetMgrVersion(major));
    unsigned long error = 0;
    if (Place(L"inetmgr_stub.exe", inetmgr) && StampVersion(inetmgr, version, &error)) return ok;
    Err(L"sbx: cannot write the version record of " + inetmgr + L" (error " + std::to_wstring(error) + L")\r\n");
    return false;
}

std::wstring SeedSummary(const SeedOptions& options, const IisConfig& config, DWORD major) {
    std::wstring summary = L"Sandbox host seeded: ";
    summary += options.registry ? L"InetStp MajorVersion " + std::to_wstring(major) : std::wstring(L"no InetStp key");
    if (!options.iis) return summary + L", IIS not installed.\r\n";
    summary += options.inetmgr ? L", InetMgr.exe " + options.inetmgrVersion.value_or(DefaultInetMgrVersion(major))
                               : std::wstring(L", no InetMgr.exe");
    summary += L", " + std::to_wstring(config.sites.size()) + L" site(s), URL Rewrite " +
               (options.rewrite ? L"installed" : L"not installed");
    if (options.sharedConfig) summary += L", configuration shared in " + *options.sharedConfig;
    for (const std::wstring& fault : options.appcmdFaults) summary += L", appcmd fault " + fault;
    if (options.iisresetFault) summary += L", iisreset fails with " + *options.iisresetFault;
    return summary + L".\r\n";
}

int Seed(const std::vector<std::wstring>& args) {
    SeedOptions options;
    if (!ParseSeed(args, options)) {
        Err(L"Run \"sbx help\" for the options.\r\n");
        return kUsageError;
    }
    DWORD major = options.major.value_or(10);
    IisConfig config;
    if (!SeededConfig(options, config)) return kUsageError;

    StateLock lock;
    bool ok = true;
    std::wstring state = StateDirectory();
    RemoveMirroredCertificates();
    if (DirectoryExists(state) && !DeleteTree(state)) {
        Err(L"sbx: cannot clear " + state + L"\r\n");
        return 1;
    }
    CreateDirectories(state);
    ok = PrepareConfigFiles(options) && ok;
    ok = (options.iis ? config.Save() : config.SaveRecords()) && ok;
    ok = WriteRecords(StatePath(L"services.tsv"), {{L"restarts", L"0"}, {L"w3svc", options.iis ? L"Running" : L"Absent"}}) && ok;
    ok = WriteRecords(StatePath(L"certs.tsv"), {}) && ok;
    ok = WriteRecords(StatePath(L"http.tsv"), {}) && ok;
    std::vector<Record> faults;
    for (const std::wstring& fault : options.appcmdFaults) faults.push_back({L"appcmd", fault});
    if (options.iisresetFault) faults.push_back({L"iisreset", L"exit", *options.iisresetFault});
    if (!faults.empty()) ok = WriteRecords(StatePath(L"faults.tsv"), faults) && ok;
    ok = PlaceConsoles(options) && ok;

    if (!WriteRegistry(options, major)) {
        Err(L"sbx: cannot write HKLM\\SOFTWARE\\Microsoft\\InetStp\r\n");
        ok = false;
    }
    ok = PlaceIisPrograms(options, major) && ok;
    if (!ok) return 1;
    Out(SeedSummary(options, config, major));
    return 0;
}

int Install() {
    HKEY overrides = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &overrides, nullptr) != ERROR_SUCCESS) {
        Err(L"sbx: cannot open HKCU\\Software\\Wine\\DllOverrides\r\n");
        return 1;
    }
    // Wine has built-in certutil, netsh and schtasks that would otherwise win over the files in system32.
    const wchar_t native[] = L"native";
    bool ok = true;
    // Wine (8.0) has no mmc of its own; the override keeps the sandbox's should a later one bring it.
    for (const wchar_t* tool :
         {L"certutil.exe", L"netsh.exe", L"iisreset.exe", L"appcmd.exe", L"mmc.exe", L"schtasks.exe", L"wscript.exe"})
        ok = RegSetValueExW(overrides, tool, 0, REG_SZ, reinterpret_cast<const BYTE*>(native), sizeof native) ==
                 ERROR_SUCCESS &&
             ok;
    RegCloseKey(overrides);
    ok = Place(L"certutil.exe", SystemDirectory() + L"\\certutil.exe") && ok;
    ok = Place(L"netsh.exe", SystemDirectory() + L"\\netsh.exe") && ok;
    ok = Place(L"mmc.exe", SystemDirectory() + L"\\mmc.exe") && ok;
    ok = Place(L"wscript.exe", SystemDirectory() + L"\\wscript.exe") && ok;
    ok = Place(L"schtasks.exe", SystemDirectory() + L"\\schtasks.exe") && ok;
    if (!ok) return 1;
    if (!FileExists(StatePath(L"iis.tsv"))) return Seed({});
    // A host seeded by an older sbx gets the configuration file its state implies.
    if (!FileExists(InetsrvDirectory() + L"\\appcmd.exe")) return 0;
    StateLock lock;
    return WriteApplicationHostConfig(IisConfig::Load()) ? 0 : 1;
}

// Fields as they are, separated by tabs; a tab or line break inside a field becomes a blank so
// that every record stays one line.
void Print(const Record& record) {
    std::wstring line;
    for (size_t i = 0; i < record.size(); ++i) {
        if (i) line += L'\t';
        for (wchar_t c : record[i]) line += (c == L'\t' || c == L'\r' || c == L'\n') ? L' ' : c;
    }
    Out(line + L"\r\n");
}

int Stores() {
    for (const StoredCertificate& c : CertificateStores::Load().certificates)
        Print({c.store, c.thumbprint, c.hasKey ? L"yes" : L"no", c.subject});
    return 0;
}

int Records(const wchar_t* file, std::initializer_list<const wchar_t*> kinds) {
    for (const Record& record : ReadRecords(StatePath(file))) {
        bool wanted = kinds.size() == 0;
        for (const wchar_t* kind : kinds) wanted = wanted || record[0] == kind;
        if (wanted) Print(record);
    }
    return 0;
}

int SslCerts() {
    for (Record record : ReadRecords(StatePath(L"http.tsv"))) {
        if (record.empty() || record[0] != L"sslcert") continue;
        record.erase(record.begin());
        Print(record);
    }
    return 0;
}

// The action of each registered task, as the scheduler would start it.
int Tasks() {
    for (const std::wstring& name : TaskNames()) {
        std::vector<unsigned char> bytes;
        ReadFileBytes(*TaskFile(name), bytes, nullptr);
        const std::optional<TaskAction> action = ReadAction(ParseXml(bytes));
        Print({name, action ? action->command : L"", action ? action->arguments : L""});
    }
    return 0;
}

// What the scheduler does when the task's time comes: exit code 1 when there is no such task or
// its program does not start.
int RunTask(const std::wstring& name) {
    const std::optional<std::wstring> file = TaskFile(name);
    std::vector<unsigned char> bytes;
    if (!file || !FileExists(*file) || !ReadFileBytes(*file, bytes, nullptr)) {
        Err(L"sbx: no task " + name + L"\r\n");
        return 1;
    }
    const std::optional<TaskAction> action = ReadAction(ParseXml(bytes));
    if (!action) {
        Err(L"sbx: the task " + name + L" starts no program\r\n");
        return 1;
    }
    DWORD error = 0;
    const std::optional<DWORD> code = RunAction(*action, &error);
    LogInvocation(L"task", action->CommandLine(), code.value_or(error));
    if (!code) {
        Err(L"sbx: " + action->CommandLine() + L" could not be started (error " + std::to_wstring(error) + L")\r\n");
        return 1;
    }
    Out(std::to_wstring(static_cast<long>(*code)) + L"\r\n");
    return 0;
}

int Restarts() {
    std::wstring count = L"0";
    for (const Record& record : ReadRecords(StatePath(L"services.tsv")))
        if (record.size() >= 2 && record[0] == L"restarts") count = record[1];
    Out(count + L"\r\n");
    return 0;
}

int State() {
    for (const wchar_t* file :
         {L"iis.tsv", L"certs.tsv", L"mirrored.tsv", L"http.tsv", L"services.tsv", L"iisreset.log", L"invocations.log",
          L"faults.tsv", L"planted.log"}) {
        Out(L"== " + std::wstring(file) + L"\r\n");
        Records(file, {});
    }
    Out(L"== tasks\r\n");
    Tasks();
    Out(L"== registry HKLM\\SOFTWARE\\Microsoft\\InetStp\r\n");
    DWORD major = 0;
    DWORD size = sizeof major;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\InetStp", L"MajorVersion", RRF_RT_REG_DWORD, nullptr,
                     &major, &size) == ERROR_SUCCESS)
        Print({L"MajorVersion", std::to_wstring(major)});
    Out(L"== files\r\n");
    std::wstring inetsrv = InetsrvDirectory();
    std::wstring system = SystemDirectory();
    for (const std::wstring& path : {inetsrv + L"\\appcmd.exe", inetsrv + L"\\iisreset.exe", inetsrv + L"\\InetMgr.exe",
                                     system + L"\\iisreset.exe", system + L"\\mmc.exe", system + L"\\wscript.exe",
                                     system + L"\\schtasks.exe", system + L"\\certlm.msc",
                                     system + L"\\certmgr.msc", RedirectionConfigPath(), ApplicationHostConfigPath()})
        Print({path, FileExists(path) ? L"present" : L"absent"});
    return 0;
}

}  // namespace

int wmain() {
    UseUtf8WhenRedirected();
    std::vector<Argument> split = SplitCommandLine(GetCommandLineW());
    std::vector<std::wstring> args;
    for (size_t i = 2; i < split.size(); ++i) args.push_back(split[i].value);
    std::wstring command = split.size() > 1 ? split[1].value : L"help";
    if (command == L"seed") return Seed(args);
    if (command == L"run-task" && args.size() == 1) return RunTask(args[0]);
    if (!args.empty()) {
        Err(kUsage);
        return kUsageError;
    }
    if (command == L"install") return Install();
    if (command == L"stores") return Stores();
    if (command == L"sites") return Records(L"iis.tsv", {L"site", L"binding"});
    if (command == L"rules") return Records(L"iis.tsv", {L"rule", L"condition"});
    if (command == L"sslcerts") return SslCerts();
    if (command == L"restarts") return Restarts();
    if (command == L"log") return Records(L"invocations.log", {});
    if (command == L"planted") return Records(L"planted.log", {});
    if (command == L"tasks") return Tasks();
    if (command == L"state") return State();
    if (command == L"help" || command == L"--help" || command == L"/?") {
        Out(kUsage);
        return 0;
    }
    Err(kUsage);
    return kUsageError;
}
