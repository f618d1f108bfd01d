#pragma once
// In-memory stand-ins for the ports, shared by the unit tests.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/main.h"
#include "app/ui.h"
#include "support/ports.h"

namespace quillbay::testing {

// Windows paths compare case-insensitively.
std::string Lower(std::string s);

class FakeFileSystem : public FileSystem {
public:
    std::map<std::string, std::string> files;  // lower-cased path -> bytes
    std::map<std::string, std::string> names;  // lower-cased path -> path as created
    std::set<std::string> folders;             // lower-cased
    std::set<std::string> readOnlyFolders;     // writes below these fail
    std::string systemFolder = "C:\\windows\\system32";
    std::string tempFolder = "C:\\Users\\admin\\Temp Files";
    int tempCounter = 0;
    std::vector<std::string> deleted;
    std::function<void(const std::string&)> onCopy;  // may throw to simulate failure
    std::function<void(const std::string&)> onRead;  // ReadAllText/ReadBytes; may throw
    // ReadAllText's code page conversion (stored bytes to UTF-8); bytes unchanged when unset.
    std::function<std::string(const std::string&)> decodeAnsi;

    void AddFile(const std::string& path, const std::string& content);
    void AddFolder(const std::string& path);
    std::optional<std::string> Content(const std::string& path) const;

    bool FileExists(const std::string& path) override;
    bool FolderExists(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    std::vector<FileEntry> ListFiles(const std::string& folder) override;
    std::string GetSpecialFolder(int which) override;
    std::string GetTempName() override;
    std::string ReadAllText(const std::string& path) override;
    std::string ReadBytes(const std::string& path) override;
    void AppendText(const std::string& path, const std::string& text) override;
    void WriteText(const std::string& path, const std::string& text) override;
    void Copy(const std::string& from, const std::string& to, bool overwrite) override;
    void Delete(const std::string& path) override;

private:
    bool Writable(const std::string& path) const;
};

struct RunCall {
    std::string commandLine;
    int windowStyle;
    bool wait;
};

class FakeShell : public Shell {
public:
    std::vector<RunCall> runs;
    std::map<std::string, std::string> registry;  // lower-cased value path -> data
    // Decides each run: returns the exit code, may throw Failure, may write files.
    std::function<std::int32_t(const std::string&)> onRun;

    std::int32_t Run(const std::string& commandLine, int windowStyle, bool wait) override;
    std::string RegRead(const std::string& valuePath) override;
};

class FakeClock : public Clock {
public:
    LocalTime now{2026, 12, 6, 9, 5, 7};
    std::string text = "2026/12/6 9:05:07";
    LocalTime Now() override { return now; }
    std::string TimestampText() override { return text; }
};

class FakeHost : public Host {
public:
    std::string appFolder = "C:\\Tools\\Quillbay";
    std::string exeBaseName = "Quillbay";
    std::uint16_t uiLanguage = 1033;
    std::map<std::string, std::string> env{{"windir", "C:\\windows"}};
    std::map<std::string, std::string> productVersions;  // lower-cased path -> version
    std::vector<int> ownVersion{1, 0, 0, 10};

    std::string AppFolder() override { return appFolder; }
    std::string ExeBaseName() override { return exeBaseName; }
    std::uint16_t UserUILanguage() override { return uiLanguage; }
    std::optional<std::string> GetEnv(const std::string& name) override;
    std::string FileProductVersion(const std::string& path) override;
    std::vector<int> OwnVersion() override { return ownVersion; }
};

class FakePkcs12 : public Pkcs12 {
public:
    std::function<std::vector<PfxCertificate>(const std::string&, const std::string&)> onOpen;
    std::vector<PfxCertificate> Open(const std::string& bytes, const std::string& password) override;
};

struct FakeControl {
    std::string text;
    bool enabled = true;
    int check = 0;
    bool menuChecked = false;
    std::vector<std::string> items;
    std::vector<bool> selected;
    int caret = -1;
};

struct ShownBox {
    std::string text;
    int style;
    std::string title;
};

class FakeUi : public app::Ui {
public:
    FakeUi();
    std::map<app::Id, FakeControl> controls;
    std::vector<ShownBox> boxes;
    std::vector<int> boxAnswers;  // answers given in order; default kOk / kYes
    std::vector<std::string> statusHistory;  // every text written to lblStatus
    std::vector<std::optional<std::string>> inputAnswers;
    std::vector<std::string> inputPrompts;
    std::vector<std::string> fileDialogResults;
    std::vector<std::string> fileDialogCalls;  // title|filter|folder|flags
    int doEvents = 0;
    bool busy = false;
    bool closed = false;
    std::function<void()> onDoEvents;

    FakeControl& C(app::Id id) { return controls[id]; }
    std::vector<int> SelectedIndices(app::Id list);
    // Simulates a user click on a list item: toggles it, moves the caret.
    void ClickItem(app::Id list, int index);

    void SetText(app::Id id, const std::string& text) override;
    std::string Text(app::Id id) override;
    void SetEnabled(app::Id id, bool enabled) override;
    bool Enabled(app::Id id) override;
    void ListClear(app::Id list) override;
    void ListAdd(app::Id list, const std::string& item) override;
    int ListCount(app::Id list) override;
    std::string ListItem(app::Id list, int index) override;
    bool ListSelected(app::Id list, int index) override;
    void ListSetSelected(app::Id list, int index, bool selected) override;
    int ListIndex(app::Id list) override;
    int CheckValue(app::Id box) override;
    void SetCheckValue(app::Id box, int value) override;
    void SetMenuChecked(app::Id item, bool checked) override;
    bool MenuChecked(app::Id item) override;
    int ShowMessage(const std::string& text, int style, const std::string& title) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    std::string OpenFileDialog(const std::string& title, const std::string& filter,
                               const std::string& initialFolder, unsigned flags) override;
    void SetBusyCursor(bool b) override { busy = b; }
    void DoEvents() override;
    void Close() override { closed = true; }
};

// A command line split into arguments the way CommandLineToArgvW and the C runtime do it.
std::vector<std::string> ParseCommandLine(const std::string& commandLine);

// Everything a handler needs, wired together.
struct World {
    World() {
        fs.AddFolder(host.appFolder);
        fs.AddFolder(fs.tempFolder);
        fs.AddFolder(fs.systemFolder);
    }
    FakeUi ui;
    FakeShell shell;
    FakeFileSystem fs;
    FakeHost host;
    FakeClock clock;
    FakePkcs12 pkcs12;
    app::Main main{app::Ports{ui, shell, fs, host, clock, pkcs12}};

    std::string AppPath(const std::string& name) const { return host.appFolder + "\\" + name; }
    std::string ErrorLog() const;
    std::string InfoLog() const;
};

}  // namespace quillbay::testing
