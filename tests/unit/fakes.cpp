#include "fakes.h"

#include <algorithm>

#include "support/paths.h"

namespace quillbay::testing {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

namespace {
std::string ParentOf(const std::string& path) {
    const auto pos = path.find_last_of('\\');
    return pos == std::string::npos ? "" : path.substr(0, pos);
}
}  // namespace

void FakeFileSystem::AddFile(const std::string& path, const std::string& content) {
    files[Lower(path)] = content;
    names[Lower(path)] = path;
    for (std::string p = ParentOf(path); !p.empty(); p = ParentOf(p)) folders.insert(Lower(p));
}

void FakeFileSystem::AddFolder(const std::string& path) {
    for (std::string p = path; !p.empty(); p = ParentOf(p)) folders.insert(Lower(p));
}

std::optional<std::string> FakeFileSystem::Content(const std::string& path) const {
    const auto it = files.find(Lower(path));
    return it == files.end() ? std::nullopt : std::optional<std::string>(it->second);
}

bool FakeFileSystem::Writable(const std::string& path) const {
    std::string lower = Lower(path);
    for (const auto& ro : readOnlyFolders)
        if (lower.rfind(Lower(ro) + "\\", 0) == 0) return false;
    return true;
}

bool FakeFileSystem::FileExists(const std::string& path) { return files.count(Lower(path)) > 0; }
bool FakeFileSystem::FolderExists(const std::string& path) { return folders.count(Lower(path)) > 0; }

void FakeFileSystem::CreateFolder(const std::string& path) {
    if (folders.count(Lower(path)) || files.count(Lower(path)))
        throw Failure(58, "File already exists");
    if (!folders.count(Lower(ParentOf(path)))) throw Failure(76, "Path not found");
    if (!Writable(path)) throw Failure(70, "Permission denied");
    folders.insert(Lower(path));
}

std::vector<FileEntry> FakeFileSystem::ListFiles(const std::string& folder) {
    if (!FolderExists(folder)) throw Failure(76, "Path not found");
    std::vector<FileEntry> out;
    std::string prefix = Lower(folder) + "\\";
    for (const auto& [lower, content] : files) {
        if (lower.rfind(prefix, 0) != 0) continue;
        if (lower.find('\\', prefix.size()) != std::string::npos) continue;
        const std::string& path = names[lower];
        out.push_back({path, GetFileName(path)});
    }
    return out;
}

std::string FakeFileSystem::GetSpecialFolder(SpecialFolder which) {
    if (which == SpecialFolder::Windows) return windowsFolder;
    if (which == SpecialFolder::System) return systemFolder;
    if (which == SpecialFolder::Temporary) return tempFolder;
    throw Failure(5, "Invalid procedure call or argument");
}

std::string FakeFileSystem::ReadAllText(const std::string& path) {
    const std::string bytes = ReadBytes(path);
    return decodeAnsi ? decodeAnsi(bytes) : bytes;
}

std::string FakeFileSystem::ReadBytes(const std::string& path) {
    auto c = Content(path);
    if (!c) throw Failure(53, "File not found: " + path);
    return *c;
}

void FakeFileSystem::AppendText(const std::string& path, const std::string& text) {
    if (!FolderExists(ParentOf(path)) || !Writable(path)) throw Failure(70, "Permission denied");
    auto c = Content(path);
    AddFile(path, (c ? *c : std::string()) + text);
}

void FakeFileSystem::WriteText(const std::string& path, const std::string& text) {
    if (!FolderExists(ParentOf(path)) || !Writable(path)) throw Failure(70, "Permission denied");
    AddFile(path, text);
}

void FakeFileSystem::WriteBytes(const std::string& path, const std::string& bytes) { WriteText(path, bytes); }

void FakeFileSystem::Copy(const std::string& from, const std::string& to, bool overwrite) {
    if (onCopy) onCopy(to);
    auto c = Content(from);
    if (!c) throw Failure(53, "File not found: " + from);
    if (!overwrite && FileExists(to)) throw Failure(58, "File already exists");
    if (!FolderExists(ParentOf(to)) || !Writable(to)) throw Failure(70, "Permission denied");
    AddFile(to, *c);
}

void FakeFileSystem::Delete(const std::string& path) {
    if (!FileExists(path)) throw Failure(53, "File not found: " + path);
    files.erase(Lower(path));
    names.erase(Lower(path));
}

std::int32_t FakeShell::Run(const std::string& commandLine, WindowStyle style, bool wait) {
    runs.push_back({commandLine, style, wait});
    return onRun ? onRun(commandLine) : 0;
}

Captured FakeShell::RunAndCapture(const std::string& commandLine) {
    runs.push_back({commandLine, WindowStyle::Hidden, true, true});
    if (onCapture) return onCapture(commandLine);
    return {onRun ? onRun(commandLine) : 0, ""};
}

bool FakeShell::RegKeyExists(const std::string& keyPath) {
    const std::string key = Lower(keyPath);
    if (keys.count(key)) return true;
    for (const std::string& k : keys)
        if (k.rfind(key + "\\", 0) == 0) return true;
    for (const auto& [path, data] : registry)
        if (path.rfind(key + "\\", 0) == 0) return true;
    return false;
}

bool FakeShell::RegValueExists(const std::string& valuePath) { return registry.count(Lower(valuePath)) > 0; }

std::vector<std::string> FakeShell::Lines() const {
    std::vector<std::string> lines;
    for (const RunCall& r : runs) lines.push_back(r.commandLine);
    return lines;
}

std::string FakeShell::RegRead(const std::string& valuePath) {
    const auto it = registry.find(Lower(valuePath));
    if (it == registry.end()) throw Failure(-2147024894, "Unable to open registry key \"" + valuePath + "\".");
    return it->second;
}

std::optional<std::string> FakeHost::GetEnv(const std::string& name) {
    for (const auto& [k, v] : env)
        if (Lower(k) == Lower(name)) return v;
    return std::nullopt;
}

std::string FakeHost::FileProductVersion(const std::string& path) {
    const auto it = productVersions.find(Lower(path));
    return it == productVersions.end() ? std::string() : it->second;
}

FakeUi::FakeUi() {
    // The window as created: the redirect box checked, the default port.
    controls[app::Id::chkHttpRedirect].check = app::CheckState::Checked;
    controls[app::Id::TxtHttpsPort].text = "443";
}

std::vector<int> FakeUi::SelectedIndices(app::Id list) {
    std::vector<int> out;
    auto& c = C(list);
    for (std::size_t i = 0; i < c.selected.size(); ++i)
        if (c.selected[i]) out.push_back(static_cast<int>(i));
    return out;
}

void FakeUi::ClickItem(app::Id list, int index) {
    auto& c = C(list);
    c.selected.at(static_cast<std::size_t>(index)) = !c.selected.at(static_cast<std::size_t>(index));
    c.caret = index;
}

void FakeUi::SetText(app::Id id, const std::string& text) {
    C(id).text = text;
    if (id == app::Id::lblStatus) statusHistory.push_back(text);
}
void FakeUi::ListClear(app::Id list) {
    auto& c = C(list);
    c.items.clear();
    c.selected.clear();
    c.caret = -1;
}
void FakeUi::ListAdd(app::Id list, const std::string& item) {
    auto& c = C(list);
    c.items.push_back(item);
    c.selected.push_back(false);
}

app::MsgAnswer FakeUi::ShowMessage(const std::string& text, app::MsgStyle style, const std::string& title) {
    boxes.push_back({text, style, title});
    if (style != app::MsgStyle::YesNoExclamation && style != app::MsgStyle::YesNoInformation) return app::MsgAnswer::Ok;
    if (yesNoAnswers.empty()) return app::MsgAnswer::Yes;
    const app::MsgAnswer answer = yesNoAnswers.front();
    yesNoAnswers.erase(yesNoAnswers.begin());
    return answer;
}

std::optional<std::string> FakeUi::InputBox(const std::string&, const std::string&, const std::string&) {
    return std::nullopt;  // cancelled
}

std::string FakeUi::OpenFileDialog(const std::string&, const std::string&, const std::string&, unsigned) {
    if (fileDialogResults.empty()) return "";  // cancelled
    const std::string result = fileDialogResults.front();
    fileDialogResults.erase(fileDialogResults.begin());
    return result;
}

void FakeUi::DoEvents() {
    ++doEvents;
    if (onDoEvents) onDoEvents();
}

std::string FakeMachine::ErrorLog() const { return fs.Content(host.appFolder + "\\log-error.txt").value_or(""); }
std::string FakeMachine::InfoLog() const { return fs.Content(host.appFolder + "\\log.txt").value_or(""); }

void FakeMachine::InstallIis(int major) {
    fs.AddFile(fs.systemFolder + "\\inetsrv\\appcmd.exe", "MZ");
    if (major > 0) shell.registry["hklm\\software\\microsoft\\inetstp\\majorversion"] = std::to_string(major);
}

void RecordedProgress::Report(const ProgressStep& step) {
    std::string s(step.statusKey);
    if (step.done >= 0) s += " " + std::to_string(step.done) + "/" + std::to_string(step.total);
    for (const StatusPiece& piece : step.pieces) s += piece.isKey ? "{" + piece.text + "}" : piece.text;
    steps.push_back(s);
}

}  // namespace quillbay::testing

#include <gtest/gtest.h>

#include "support/command_line.h"

namespace quillbay::testing {

AppcmdStage::AppcmdStage(FakeMachine& machine) : w(machine) {
    w.fs.AddFile(w.fs.systemFolder + "\\inetsrv\\appcmd.exe", "MZ");
    w.shell.onCapture = [this](const std::string& line) { return Answer(line); };
}

Captured AppcmdStage::Answer(const std::string& line) {
    commands.push_back(line);
    const std::string appcmd = w.fs.systemFolder + "\\inetsrv\\appcmd.exe";
    if (line == appcmd + " list site /text:name") {
        if (namesOverride) return *namesOverride;
        std::string out;
        for (auto& [name, b] : sites) out += name + "\r\n";
        return {0, out};
    }
    if (line == appcmd + " list module \"RewriteModule\"") return module;
    for (auto& [name, b] : sites)
        if (line == appcmd + " list site " + QuoteArg(name) + " /text:bindings") return {0, b + "\r\n"};
    ADD_FAILURE() << "unexpected command: " << line;
    return {1168, "ERROR ( message:Cannot find SITE object. )\r\n"};
}

HttpResponse FakeHttp::Get(const std::string& url, const HttpTimeouts& timeouts) {
    requests.push_back({url, timeouts});
    if (!onGet) throw Failure(12029, "A connection with the server could not be established");
    return onGet(url);
}

}  // namespace quillbay::testing
