#pragma once
// In-memory stand-ins for the ports and the window, shared by the unit tests.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/main.h"
#include "app/ui.h"
#include "cli/console.h"
#include "lang/store.h"
#include "support/command_line.h"
#include "support/errors.h"
#include "support/machine.h"
#include "support/paths.h"
#include "support/text.h"
#include "xml_reader.h"

namespace quillbay::testing {

using ::testing::HasSubstr;
using ::testing::EndsWith;

// An openssl-made file of tests/fixtures, as bytes.
inline std::string Fixture(const std::string& name) {
    std::ifstream file(QB_FIXTURES + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

constexpr std::int64_t kDay = 86400;
constexpr PathAccess kOpenToUsers{false, true, true};  // a folder made under C:\ inherits this
constexpr PathAccess kLink{true, false, false};

// Windows paths compare case-insensitively.
inline std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}
inline std::string ParentOf(const std::string& path) {
    const auto pos = path.find_last_of('\\');
    return pos == std::string::npos ? "" : path.substr(0, pos);
}

// Fails as the Win32 adapter does: GetLastError's codes with the system's texts.
class FakeFileSystem : public FileSystem {
public:
    static constexpr const char* kFileNotFound = "The system cannot find the file specified.";
    static constexpr const char* kPathNotFound = "The system cannot find the path specified.";

    std::map<std::string, std::pair<std::string, std::string>> files;  // lower-cased path -> path as created, bytes
    std::set<std::string> folders;                                     // lower-cased
    std::set<std::string> readOnlyFolders;                             // writes below these fail
    std::set<std::string> adminOnlyFolders;                            // lower-cased, made or restricted so
    std::map<std::string, PathAccess> access;                          // lower-cased; absent: only admins
    std::string windowsFolder = "C:\\windows", systemFolder = "C:\\windows\\system32";
    std::string tempFolder = "C:\\Users\\admin\\Temp Files";
    std::function<void(const std::string&)> onCopy;  // may throw to simulate failure
    // ReadAllText's code page conversion (stored bytes to UTF-8); bytes unchanged when unset.
    std::function<std::string(const std::string&)> decodeAnsi;

    void AddFile(const std::string& path, const std::string& content) {
        files[Lower(path)] = {path, content};
        AddFolder(ParentOf(path));
    }
    void AddFolder(const std::string& path) {
        for (std::string p = path; !p.empty(); p = ParentOf(p)) folders.insert(Lower(p));
    }
    std::optional<std::string> Content(const std::string& path) const {
        const auto it = files.find(Lower(path));
        return it == files.end() ? std::nullopt : std::optional<std::string>(it->second.second);
    }

    bool FileExists(const std::string& path) override { return files.count(Lower(path)) > 0; }
    bool FolderExists(const std::string& path) override { return folders.count(Lower(path)) > 0; }
    void CreateFolder(const std::string& path) override {
        if (FolderExists(path) || FileExists(path)) throw Failure(kErrorAlreadyExists, "Cannot create a file when that file already exists.");
        if (!FolderExists(ParentOf(path))) throw Failure(kErrorPathNotFound, kPathNotFound);
        if (!Writable(path)) throw Failure(kErrorAccessDenied, "Access is denied.");
        folders.insert(Lower(path));
    }
    void CreateAdminOnlyFolder(const std::string& path) override {
        CreateFolder(path);
        adminOnlyFolders.insert(Lower(path));
    }
    std::vector<FileEntry> ListFiles(const std::string& folder) override {
        if (!FolderExists(folder)) throw Failure(kErrorPathNotFound, kPathNotFound);
        std::vector<FileEntry> out;
        const std::string prefix = Lower(folder) + "\\";
        for (const auto& [lower, file] : files)
            if (lower.rfind(prefix, 0) == 0 && lower.find('\\', prefix.size()) == std::string::npos)
                out.push_back({file.first, GetFileName(file.first)});
        return out;
    }
    std::string GetSpecialFolder(SpecialFolder which) override {
        if (which == SpecialFolder::Windows) return windowsFolder;
        if (which == SpecialFolder::System) return systemFolder;
        if (which == SpecialFolder::Temporary) return tempFolder;
        throw Failure(kErrorInvalidParameter, "The parameter is incorrect.");
    }
    std::string GetTempName() override { return "rad1.tmp"; }
    std::string ReadAllText(const std::string& path) override { return decodeAnsi ? decodeAnsi(ReadBytes(path)) : ReadBytes(path); }
    std::string ReadBytes(const std::string& path) override {
        if (auto content = Content(path)) return *content;
        throw Failure(kErrorFileNotFound, kFileNotFound);
    }
    void AppendText(const std::string& path, const std::string& text) override { WriteText(path, Content(path).value_or("") + text); }
    void WriteText(const std::string& path, const std::string& text) override {
        if (!FolderExists(ParentOf(path))) throw Failure(kErrorPathNotFound, kPathNotFound);
        if (!Writable(path)) throw Failure(kErrorAccessDenied, "Access is denied.");
        AddFile(path, text);
    }
    void WriteBytes(const std::string& path, const std::string& bytes) override { WriteText(path, bytes); }
    void WriteNewBytes(const std::string& path, const std::string& bytes) override {
        if (FileExists(path) || FolderExists(path)) throw Failure(kErrorFileExists, "The file exists.");
        WriteText(path, bytes);
    }
    void Copy(const std::string& from, const std::string& to, bool overwrite) override {
        if (onCopy) onCopy(to);
        const std::string bytes = ReadBytes(from);
        if (!overwrite && FileExists(to)) throw Failure(kErrorFileExists, "The file exists.");
        WriteText(to, bytes);
    }
    void Delete(const std::string& path) override {
        if (!files.erase(Lower(path))) throw Failure(kErrorFileNotFound, kFileNotFound);
    }
    PathAccess Access(const std::string& path) override {
        if (!FileExists(path) && !FolderExists(path)) throw Failure(kErrorFileNotFound, kFileNotFound);
        const auto it = access.find(Lower(path));
        return it == access.end() ? PathAccess{} : it->second;
    }
    // Drops what others had on the folder and everything below it.
    void RestrictToAdministrators(const std::string& folder) override {
        if (!FolderExists(folder)) throw Failure(kErrorPathNotFound, kPathNotFound);
        for (auto it = access.begin(); it != access.end();)
            it = it->first == Lower(folder) || it->first.rfind(Lower(folder) + "\\", 0) == 0 ? access.erase(it) : std::next(it);
        adminOnlyFolders.insert(Lower(folder));
    }

private:
    bool Writable(const std::string& path) const {
        for (const auto& ro : readOnlyFolders)
            if (Lower(path).rfind(Lower(ro) + "\\", 0) == 0) return false;
        return true;
    }
};

struct RunCall {
    std::string commandLine;
    WindowStyle style;
    bool wait;
    bool captured = false;
};

class FakeShell : public Shell {
public:
    std::vector<RunCall> runs;
    std::map<std::string, std::string> registry;  // lower-cased value path -> data
    // Decides each run: returns the exit code, may throw Failure, may write files.
    std::function<std::int32_t(const std::string&)> onRun;
    // Decides each captured run; without it, onRun's exit code and no output.
    std::function<Captured(const std::string&)> onCapture;

    std::int32_t Run(const std::string& line, WindowStyle style, bool wait) override {
        runs.push_back({line, style, wait});
        return onRun ? onRun(line) : 0;
    }
    Captured RunAndCapture(const std::string& line) override {
        runs.push_back({line, WindowStyle::Hidden, true, true});
        return onCapture ? onCapture(line) : Captured{onRun ? onRun(line) : 0, ""};
    }
    // A change: onRun decides the exit code (or throws), toolOutput what the tool wrote.
    std::function<std::string(const std::string&)> toolOutput;
    Captured RunTool(const std::string& line) override {
        runs.push_back({line, WindowStyle::Hidden, true});
        const std::int32_t code = onRun ? onRun(line) : 0;
        return {code, toolOutput ? toolOutput(line) : ""};
    }
    std::string RegRead(const std::string& valuePath) override {
        const auto it = registry.find(Lower(valuePath));
        if (it == registry.end()) throw Failure(-2147024894, "Unable to open registry key \"" + valuePath + "\".");
        return it->second;
    }
    bool RegKeyExists(const std::string& keyPath) override {
        for (const auto& [path, data] : registry)
            if (path.rfind(Lower(keyPath) + "\\", 0) == 0) return true;
        return false;
    }
    bool RegValueExists(const std::string& valuePath) override { return registry.count(Lower(valuePath)) > 0; }
};

class FakeClock : public Clock {
public:
    std::int64_t utcNow = 1796547907;  // 2026-12-06 09:05:07 UTC
    LocalTime Now() override { return {2026, 12, 6, 9, 5, 7}; }
    std::string TimestampText() override { return "2026/12/6 9:05:07"; }
    std::int64_t UtcNow() override { return utcNow; }
};

class FakeHost : public Host {
public:
    std::string appFolder = "C:\\Tools\\Quillbay";
    std::map<std::string, std::string> productVersions;  // lower-cased path -> version
    bool ended = false, elevated = true;

    std::string AppFolder() override { return appFolder; }
    std::string ExePath() override { return JoinPath(appFolder, "Quillbay.exe"); }
    std::uint16_t UserUILanguage() override { return 1033; }
    std::string FileProductVersion(const std::string& path) override {
        const auto it = productVersions.find(Lower(path));
        return it == productVersions.end() ? std::string() : it->second;
    }
    std::vector<int> OwnVersion() override { return {1, 0, 0, 10}; }
    void EndProcess() override { ended = true; }
    bool IsElevated() override { return elevated; }
    std::map<std::string, std::string> settings;
    std::optional<std::string> UserSetting(const std::string& name) override {
        const auto it = settings.find(name);
        return it == settings.end() ? std::nullopt : std::optional<std::string>(it->second);
    }
    void SetUserSetting(const std::string& name, const std::string& value) override { settings[name] = value; }
};

// Answers each GET from answers by its URL; any other URL gets no connection.
class FakeHttp : public HttpClient {
public:
    std::map<std::string, HttpResponse> answers;
    std::vector<HttpTimeouts> requests;
    HttpResponse Get(const std::string& url, const HttpTimeouts& timeouts) override {
        requests.push_back(timeouts);
        const auto it = answers.find(url);
        if (it == answers.end()) throw Failure(12029, "A connection with the server could not be established");
        return it->second;
    }
};

// One PFX: opened with its password it lists its certificates; another password fails as the
// platform does. Without a password set, nothing opens.
class FakePkcs12 : public Pkcs12 {
public:
    std::optional<std::string> password;
    std::vector<PfxCertificate> certificates;

    std::vector<PfxCertificate> Open(const std::string&, const std::string& given) override {
        if (given != password) throw Failure(-2147024810, "The specified network password is not correct.");
        return certificates;
    }
    // Certificate files by their DER bytes.
    std::map<std::string, std::vector<PfxCertificate>> files;
    std::vector<PfxCertificate> DecodeCertificates(const std::string& der) override {
        const auto it = files.find(der);
        if (it == files.end()) throw Failure(-2146885623, "Cannot find the requested object.");
        return it->second;
    }
    std::set<std::string> trustedRoots;  // encoded subject names
    bool InTrustedRoots(const std::string& subjectName) override { return trustedRoots.count(subjectName) > 0; }
    std::vector<PfxCertificate> personal;  // the machine's Personal store
    bool personalUnreadable = false;
    std::vector<PfxCertificate> PersonalCertificates() override {
        if (personalUnreadable) throw Failure(kErrorAccessDenied, "Access is denied.");
        return personal;
    }
};

struct FakeControl {
    std::string text;
    bool enabled = true;
    app::CheckState check = app::CheckState::Unchecked;
    bool menuChecked = false;
    std::vector<std::string> items;
    std::vector<bool> selected;
};

struct ShownBox {
    std::string text;
    app::MsgStyle style;
    std::string title;
};

class FakeUi : public app::Ui {
public:
    FakeUi() {
        // The window as created: the redirect box checked, the default port.
        C(app::Id::chkHttpRedirect).check = app::CheckState::Checked;
        C(app::Id::TxtHttpsPort).text = "443";
    }
    std::map<app::Id, FakeControl> controls;
    std::vector<ShownBox> boxes;
    std::vector<std::string> statusHistory;  // every text written to lblStatus
    std::string fileDialogResult;  // "" cancels
    int doEvents = 0;
    bool closed = false;
    std::function<void()> onDoEvents;
    app::MsgAnswer yesNoAnswer = app::MsgAnswer::Yes;  // given to every Yes/No box

    FakeControl& C(app::Id id) { return controls[id]; }
    const ShownBox& OnlyBox() {
        EXPECT_EQ(boxes.size(), 1u);
        return boxes.at(0);
    }

    void SetText(app::Id id, const std::string& text) override {
        C(id).text = text;
        if (id == app::Id::lblStatus) statusHistory.push_back(text);
    }
    std::string Text(app::Id id) override { return C(id).text; }
    void SetEnabled(app::Id id, bool enabled) override { C(id).enabled = enabled; }
    bool Enabled(app::Id id) override { return C(id).enabled; }
    void ListClear(app::Id list) override {
        C(list).items.clear();
        C(list).selected.clear();
    }
    void ListAdd(app::Id list, const std::string& item) override {
        C(list).items.push_back(item);
        C(list).selected.push_back(false);
    }
    int ListCount(app::Id list) override { return static_cast<int>(C(list).items.size()); }
    std::string ListItem(app::Id list, int index) override { return C(list).items.at(static_cast<std::size_t>(index)); }
    bool ListSelected(app::Id list, int index) override { return C(list).selected.at(static_cast<std::size_t>(index)); }
    void ListSetSelected(app::Id list, int index, bool selected) override {
        C(list).selected.at(static_cast<std::size_t>(index)) = selected;
    }
    int ListIndex(app::Id) override { return -1; }  // no click: the click rule is driven end to end
    app::CheckState CheckValue(app::Id box) override { return C(box).check; }
    void SetCheckValue(app::Id box, app::CheckState value) override { C(box).check = value; }
    void SetMenuChecked(app::Id item, bool checked) override { C(item).menuChecked = checked; }
    bool MenuChecked(app::Id item) override { return C(item).menuChecked; }
    app::MsgAnswer ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) override {
        boxes.push_back({text, style, title});
        const bool yesNo = style == app::MsgStyle::YesNoExclamation || style == app::MsgStyle::YesNoInformation;
        return yesNo ? yesNoAnswer : app::MsgAnswer::Ok;
    }
    std::optional<std::string> InputBox(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;  // cancelled
    }
    std::string OpenFileDialog(const std::string&, const std::string&, const std::string&, unsigned) override {
        return fileDialogResult;
    }
    void Show() override {}
    void SetBusyCursor(bool) override {}
    void DoEvents() override {
        ++doEvents;
        if (onDoEvents) onDoEvents();
    }
    void Close() override { closed = true; }
    bool ClosePending() override { return closed; }
};

// Knows the signatures made with Sign: good for exactly the data signed, with the key given.
class FakeSignatures : public SignatureVerifier {
public:
    std::string point;                           // the only key that signed anything
    std::map<std::string, std::string> signatures;  // data -> raw signature (r, s)
    bool VerifyP256(const std::string& key, const std::string& data, const std::string& signature) override {
        const auto it = signatures.find(data);
        return key == point && it != signatures.end() && it->second == signature;
    }
    // A DER signature of the data, as a signing tool writes it.
    std::string Sign(const std::string& data) {
        std::string r(32, '\x7f'), s(32, '\x01');
        for (std::size_t i = 0; i < data.size(); ++i) s[i % 32] = static_cast<char>(s[i % 32] * 31 + data[i]);
        s[0] = static_cast<char>(s[0] & 0x7f);
        signatures[data] = r + s;
        return std::string("\x30\x44\x02\x20", 4) + r + std::string("\x02\x20", 2) + s;
    }
};

// Servers as a TLS client and a plain HTTP client meet them, by "address:port" and name.
class FakeProbe : public TlsProbe {
public:
    std::map<std::string, TlsHandshake> handshakes;  // "address:port|server name"
    std::map<std::string, PlainHttpAnswer> answers;  // "address:port|host|path"
    TlsHandshake Handshake(const std::string& address, int port, const std::string& name, int) override {
        const std::string key = address + ":" + std::to_string(port) + "|" + name;
        const auto it = handshakes.find(key);
        return it != handshakes.end() ? it->second : TlsHandshake{HandshakeResult::NoListener, 10061, "refused", {}, 0};
    }
    PlainHttpAnswer PlainGet(const std::string& address, int port, const std::string& host, const std::string& path,
                             int) override {
        const auto it = answers.find(address + ":" + std::to_string(port) + "|" + host + "|" + path);
        return it != answers.end() ? it->second : PlainHttpAnswer{false, 10061, 0, ""};
    }
};

// The Application log: every record kept, as "ID kind text" lines ("I", "W", "E").
class FakeEventLog : public EventLog {
public:
    std::vector<std::string> records;
    bool broken = false;
    void Report(EventKind kind, int id, const std::string& text) override {
        if (broken) throw Failure(1502, "The event log file is full.");
        records.push_back(std::to_string(id) + " " + "IWE"[static_cast<int>(kind)] + " " + text);
    }
};

// A machine of fakes, for the work's tests.
struct FakeMachine {
    FakeMachine() {
        for (const std::string& folder : {host.appFolder, fs.tempFolder, fs.systemFolder}) fs.AddFolder(folder);
    }
    FakeShell shell;
    FakeFileSystem fs;
    FakeHost host;
    FakeClock clock;
    FakePkcs12 pkcs12;
    FakeHttp http;
    FakeSignatures signatures;
    TestXmlReader xml;
    FakeProbe probe;
    FakeEventLog events;
    Machine machine{shell, fs, host, clock, pkcs12, http, signatures, xml, probe, events};

    std::string AppPath(const std::string& name) const { return host.appFolder + "\\" + name; }
    std::string ErrorLog() const { return fs.Content(AppPath("log-error.txt")).value_or(""); }
    std::string InfoLog() const { return fs.Content(AppPath("log.txt")).value_or(""); }
    // The commands that change the machine, in order (queries left out).
    std::vector<std::string> Changes() const {
        std::vector<std::string> lines;
        for (const RunCall& r : shell.runs)
            if (!r.captured) lines.push_back(r.commandLine);
        return lines;
    }
    std::size_t Count(const std::string& piece) const {
        std::size_t n = 0;
        for (const std::string& line : Changes()) n += line.find(piece) != std::string::npos;
        return n;
    }
    // Every command line holding the piece ends with the code; the others succeed.
    void Fail(std::string piece, std::int32_t code) {
        shell.onRun = [piece, code](const std::string& line) { return line.find(piece) != std::string::npos ? code : 0; };
    }
    // Every command line holding the piece runs until its time-out and is ended, as the shell reports it.
    void Hang(std::string piece) {
        shell.onRun = [piece](const std::string& line) -> std::int32_t {
            if (line.find(piece) == std::string::npos) return 0;
            throw Failure(kErrorTimeout, "The program did not finish within 60 seconds and was ended: " + line.substr(0, line.find(' ')));
        };
    }
    void SetIisVersion(int major) { shell.registry["hklm\\software\\microsoft\\inetstp\\majorversion"] = std::to_string(major); }
};

// A window on top of a machine, for the handlers' tests. The language it loads goes with it.
template <class Base>
struct Windowed : Base {
    ~Windowed() { lang::ResetLanguageState(); }
    FakeUi ui;
    app::Main main{ui, this->machine};
};
using World = Windowed<FakeMachine>;

// Progress nobody watches: the window's and the console's own are tested through them.
struct NoProgress : Progress {
    void Report(const ProgressStep&) override {}
};

// Plays appcmd behind the fake shell: answers the discovery commands, and fails the test on
// any other command line.
struct AppcmdStage {
    FakeMachine& w;
    std::vector<std::pair<std::string, std::string>> sites;  // name, bindings
    Captured module{0, "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n"};
    std::optional<Captured> namesOverride;
    Captured sslcerts{0, "\r\nSSL Certificate bindings:\r\n-------------------------\r\n\r\n"};  // netsh's listing

    explicit AppcmdStage(FakeMachine& machine) : w(machine) {
        w.fs.AddFile(w.fs.systemFolder + "\\inetsrv\\appcmd.exe", "MZ");
        w.shell.onCapture = [this](const std::string& line) { return Answer(line); };
    }
    Captured Answer(const std::string& line) {
        const std::string appcmd = w.fs.systemFolder + "\\inetsrv\\appcmd.exe";
        if (line == appcmd + " list site /text:name") {
            if (namesOverride) return *namesOverride;
            std::string out;
            for (auto& [name, b] : sites) out += name + "\r\n";
            return {0, out};
        }
        if (line == appcmd + " list module \"RewriteModule\"") return module;
        if (line == w.fs.systemFolder + "\\netsh.exe http show sslcert") return sslcerts;
        for (auto& [name, b] : sites)
            if (line == appcmd + " list site " + QuoteArg(name) + " /text:bindings") return {0, b + "\r\n"};
        ADD_FAILURE() << "unexpected command: " << line;
        return {1168, "ERROR ( message:Cannot find SITE object. )\r\n"};
    }
    static std::string Escaped(const std::string& text) {
        std::string out;
        for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '"' ? "&quot;" : std::string(1, c);
        return out;
    }
    // Writes the sites and the module into IIS's configuration file, from where they are then read.
    void Configure() {
        std::string sitesXml;
        for (auto& [name, bindings] : sites) {
            sitesXml += "<site name=\"" + Escaped(name) + "\" id=\"1\"><bindings>";
            for (const std::string& b : Split(bindings, ","))
                if (!b.empty())
                    sitesXml += "<binding protocol=\"" + Escaped(b.substr(0, b.find('/'))) + "\" bindingInformation=\"" +
                            Escaped(b.substr(b.find('/') + 1)) + "\" />";
            sitesXml += "</bindings></site>";
        }
        const bool rewrite = module.output.find("RewriteModule") != std::string::npos;
        w.fs.AddFile(ConfigPath(), ConfigDocument(sitesXml, rewrite ? "<add name=\"RewriteModule\" image=\"rewrite.dll\" />" : ""));
    }
    std::string ConfigPath() const { return w.fs.systemFolder + "\\inetsrv\\config\\applicationHost.config"; }
    static std::string ConfigDocument(const std::string& sitesXml, const std::string& modulesXml) {
        return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<configuration><system.applicationHost><sites>" +
               sitesXml + "<siteDefaults /></sites></system.applicationHost><system.webServer><globalModules>" +
               modulesXml +
               "</globalModules></system.webServer></configuration>";
    }
};

// A certificate whose names are plain: "CN=" and the name, its issuer likewise.
inline PfxCertificate FakeCertificate(const std::string& name, const std::string& issuer, bool key,
                                      std::vector<std::string> dnsNames, std::int64_t from, std::int64_t to) {
    PfxCertificate c{key, std::string(20, name[0]), {}};
    c.details = {"CN=" + name, "CN=" + issuer, "der:" + name, "der:" + issuer, std::move(dnsNames), from, to};
    return c;
}

// A server as the handlers and the commands meet it: IIS 10 with URL Rewrite and its restart
// tool; Shop (two host names) and "Intranet (old)" (none); inter.crt and root.cer in the chain
// folder; a PFX whose server certificate opens with the password file's first line, covers both
// of Shop's names and is valid 90 more days.
struct FakeServer : FakeMachine {
    AppcmdStage stage{*this};

    FakeServer() {
        SetIisVersion(10);
        stage.sites = {{"Shop", "http/*:80:a.example.test,http/*:80:b.example.test"}, {"Intranet (old)", "http/*:80:"}};
        fs.AddFile(fs.systemFolder + "\\inetsrv\\iisreset.exe", "MZ");
        fs.AddFile(AppPath("fullchain.pfx"), "PFX");
        fs.AddFile(AppPath("password.txt"), "secret\r\n");
        pkcs12.password = "secret";
        const std::int64_t now = clock.utcNow;
        const PfxCertificate inter = FakeCertificate("inter", "root", false, {}, now - kDay, now + 900 * kDay);
        pkcs12.certificates = {FakeCertificate("leaf", "inter", true, {"a.example.test", "B.example.test"}, now - kDay,
                                               now + 90 * kDay),
                               inter};
        pkcs12.personal = {pkcs12.certificates[0]};  // imported before: its key there too
        fs.AddFile(AppPath("chain\\inter.crt"), "der:inter");
        fs.AddFile(AppPath("chain\\root.cer"), "der:root");
        pkcs12.trustedRoots = {"der:root"};
        pkcs12.files = {{"der:inter", {inter}}, {"der:root", {FakeCertificate("root", "root", false, {}, now - kDay, now + 900 * kDay)}}};
    }
};

struct FakeConsole : cli::Console {
    std::string out, err;
    void Out(std::string_view text) override { out += text; }
    void Err(std::string_view text) override { err += text; }
};

// The window on that server, started (in the machine's language) with every site selected.
struct ServerWindow : Windowed<FakeServer> {
    void Start() {
        EXPECT_TRUE(app::Form_Load(main));
        for (int i = 0; i < ui.ListCount(app::Id::lstSites); ++i) ui.ListSetSelected(app::Id::lstSites, i, true);
        // What start-up showed and ran is not the test's.
        ui.boxes.clear();
        ui.statusHistory.clear();
        ui.doEvents = 0;
        shell.runs.clear();
    }
};

}  // namespace quillbay::testing
