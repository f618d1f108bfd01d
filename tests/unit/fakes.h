#pragma once
// In-memory stand-ins for the ports and the window, shared by the unit tests.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/main.h"
#include "app/ui.h"
#include "support/machine.h"

namespace quillbay::testing {

// Windows paths compare case-insensitively.
std::string Lower(std::string s);

class FakeFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;  // lower-cased path -> bytes
    std::map<std::string, std::string> names;  // lower-cased path -> path as created
    std::set<std::string> folders;             // lower-cased
    std::set<std::string> readOnlyFolders;     // writes below these fail
    std::string windowsFolder = "C:\\windows";
    std::string systemFolder = "C:\\windows\\system32";
    std::string tempFolder = "C:\\Users\\admin\\Temp Files";
    std::function<void(const std::string&)> onCopy;  // may throw to simulate failure
    // ReadAllText's code page conversion (stored bytes to UTF-8); bytes unchanged when unset.
    std::function<std::string(const std::string&)> decodeAnsi;

    void AddFile(const std::string& path, const std::string& content);
    void AddFolder(const std::string& path);
    std::optional<std::string> Content(const std::string& path) const;

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    std::vector<FileEntry> ListFiles(const std::string& folder) override;
    std::string GetSpecialFolder(SpecialFolder which) override;
    std::string GetTempName() override { return "rad1.tmp"; }
    std::string ReadAllText(const std::string& path) override;
    std::string ReadBytes(const std::string& path) override;
    void AppendText(const std::string& path, const std::string& text) override;
    void WriteText(const std::string& path, const std::string& text) override;
    void WriteBytes(const std::string& path, const std::string& bytes) override;
    void Copy(const std::string& from, const std::string& to, bool overwrite) override;
    void Delete(const std::string& path) override;

private:
    bool Writable(const std::string& path) const;
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
    std::set<std::string> keys;                   // lower-cased keys that exist without values
    // Decides each run: returns the exit code, may throw Failure, may write files.
    std::function<std::int32_t(const std::string&)> onRun;
    // Decides each captured run; without it, onRun's exit code and no output.
    std::function<Captured(const std::string&)> onCapture;

    std::int32_t Run(const std::string& commandLine, WindowStyle style, bool wait) override;
    Captured RunAndCapture(const std::string& commandLine) override;
    std::string RegRead(const std::string& valuePath) override;
    // A key exists when it was added to keys or a value or key lies below it.
    bool RegKeyExists(const std::string& keyPath) override;
    bool RegValueExists(const std::string& valuePath) override;
    std::vector<std::string> Lines() const;
};

class FakeClock : public Clock {
public:
    LocalTime now{2026, 12, 6, 9, 5, 7};
    std::int64_t utcNow = 1796547907;  // 2026-12-06 09:05:07 UTC
    LocalTime Now() override { return now; }
    std::string TimestampText() override { return "2026/12/6 9:05:07"; }
    std::int64_t UtcNow() override { return utcNow; }
};

class FakeHost : public Host {
public:
    std::string appFolder = "C:\\Tools\\Quillbay";
    std::uint16_t uiLanguage = 1033;
    std::map<std::string, std::string> env;
    std::map<std::string, std::string> productVersions;  // lower-cased path -> version
    std::vector<int> ownVersion{1, 0, 0, 10};

    std::string AppFolder() override { return appFolder; }
    std::string ExeBaseName() override { return "Quillbay"; }
    std::uint16_t UserUILanguage() override { return uiLanguage; }
    std::optional<std::string> GetEnv(const std::string& name) override;
    std::string FileProductVersion(const std::string& path) override;
    std::vector<int> OwnVersion() override { return ownVersion; }
    bool ended = false;
    void EndProcess() override { ended = true; }
    bool elevated = true;
    bool IsElevated() override { return elevated; }
};

// Answers each GET through onGet (which may throw Failure); without it, no connection.
class FakeHttp : public HttpClient {
public:
    struct Request {
        std::string url;
        HttpTimeouts timeouts;
    };
    std::vector<Request> requests;
    std::function<HttpResponse(const std::string&)> onGet;
    HttpResponse Get(const std::string& url, const HttpTimeouts& timeouts) override;
};

// One PFX: its data opened with its password lists its certificates; anything else fails
// as the platform does. Without a password set, nothing opens.
class FakePkcs12 : public Pkcs12 {
public:
    std::string data = "PFX";
    std::optional<std::string> password;
    std::vector<PfxCertificate> certificates;

    std::vector<PfxCertificate> Open(const std::string& bytes, const std::string& given) override {
        if (bytes != data) throw Failure(-2146885630, "An error occurred during encode or decode operation.");
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
};

struct FakeControl {
    std::string text;
    bool enabled = true;
    app::CheckState check = app::CheckState::Unchecked;
    bool menuChecked = false;
    std::vector<std::string> items;
    std::vector<bool> selected;
    int caret = -1;
};

struct ShownBox {
    std::string text;
    app::MsgStyle style;
    std::string title;
};

class FakeUi : public app::Ui {
public:
    FakeUi();
    std::map<app::Id, FakeControl> controls;
    std::vector<ShownBox> boxes;
    std::vector<std::string> statusHistory;  // every text written to lblStatus
    std::vector<std::string> fileDialogResults;
    int doEvents = 0;
    bool busy = false;
    bool closed = false;
    std::function<void()> onDoEvents;
    std::vector<app::MsgAnswer> yesNoAnswers;  // given in turn to Yes/No boxes; Yes when none left

    FakeControl& C(app::Id id) { return controls[id]; }
    std::vector<int> SelectedIndices(app::Id list);
    // Simulates a user click on a list item: toggles it, moves the caret.
    void ClickItem(app::Id list, int index);

    void SetText(app::Id id, const std::string& text) override;
    std::string Text(app::Id id) override { return C(id).text; }
    void SetEnabled(app::Id id, bool enabled) override { C(id).enabled = enabled; }
    bool Enabled(app::Id id) override { return C(id).enabled; }
    void ListClear(app::Id list) override;
    void ListAdd(app::Id list, const std::string& item) override;
    int ListCount(app::Id list) override { return static_cast<int>(C(list).items.size()); }
    std::string ListItem(app::Id list, int index) override { return C(list).items.at(static_cast<std::size_t>(index)); }
    bool ListSelected(app::Id list, int index) override { return C(list).selected.at(static_cast<std::size_t>(index)); }
    void ListSetSelected(app::Id list, int index, bool selected) override {
        C(list).selected.at(static_cast<std::size_t>(index)) = selected;
    }
    int ListIndex(app::Id list) override { return C(list).caret; }
    app::CheckState CheckValue(app::Id box) override { return C(box).check; }
    void SetCheckValue(app::Id box, app::CheckState value) override { C(box).check = value; }
    void SetMenuChecked(app::Id item, bool checked) override { C(item).menuChecked = checked; }
    bool MenuChecked(app::Id item) override { return C(item).menuChecked; }
    app::MsgAnswer ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::string OpenFileDialog(const std::string& title, const std::string& filter,
                               const std::string& initialFolder, unsigned flags) override;
    void Show() override {}
    void SetBusyCursor(bool b) override { busy = b; }
    void DoEvents() override;
    void Close() override { closed = true; }
    bool ClosePending() override { return closed; }
};

// A machine of fakes, for the work's tests.
struct FakeMachine {
    FakeMachine() {
        fs.AddFolder(host.appFolder);
        fs.AddFolder(fs.tempFolder);
        fs.AddFolder(fs.systemFolder);
    }
    FakeShell shell;
    FakeFileSystem fs;
    FakeHost host;
    FakeClock clock;
    FakePkcs12 pkcs12;
    FakeHttp http;
    Machine machine{shell, fs, host, clock, pkcs12, http};

    std::string AppPath(const std::string& name) const { return host.appFolder + "\\" + name; }
    std::string ErrorLog() const;
    std::string InfoLog() const;
    // Makes IIS present: appcmd.exe in inetsrv and, when major > 0, its registry version.
    void InstallIis(int major);
};

// The window on top of it, for the handlers' tests.
struct World : FakeMachine {
    FakeUi ui;
    app::Main main{ui, machine};
};

// Records each progress step as its key, with " done/total" for counted steps, then its
// pieces (a key's piece in braces).
class RecordedProgress : public Progress {
public:
    std::vector<std::string> steps;
    void Report(const ProgressStep& step) override;
};

}  // namespace quillbay::testing

namespace quillbay::testing {

// Plays appcmd behind the fake shell: answers the discovery commands, and fails the test on
// any other command line.
struct AppcmdStage {
    FakeMachine& w;
    std::vector<std::pair<std::string, std::string>> sites;  // name, bindings
    Captured module{0, "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n"};
    std::optional<Captured> namesOverride;
    std::vector<std::string> commands;

    explicit AppcmdStage(FakeMachine& machine);
    Captured Answer(const std::string& line);
};

}  // namespace quillbay::testing
