// schtasks.exe stand-in: registers a task from its XML definition (/Create /TN name /XML file
// [/F]), prints it (/Query /TN name /XML [ONE]), deletes it (/Delete /TN name /F) and runs it
// (/Run /TN name), keeping each task in the state folder (common/tasks.h). Other syntax is refused
// as the real tool refuses it; forms the real tool takes but the sandbox does not simulate (other
// verbs, remote computers, the /SC form of /Create, a listing of every task) say so and exit 1.
#include <windows.h>

#include <string>
#include <vector>

#include "common/cmdline.h"
#include "common/console.h"
#include "common/state.h"
#include "common/tasks.h"
#include "common/text.h"

using namespace sandbox;

namespace {

constexpr DWORD kFailed = 1;

enum class Kind { Switch, Value, OptionalValue };
struct OptionSpec {
    const wchar_t* name;
    Kind kind;
};
struct VerbSpec {
    const wchar_t* name;
    std::vector<OptionSpec> options;  // as the real tool's usage lists them
    std::vector<std::wstring> simulated;
};

const VerbSpec kVerbs[] = {
    {L"/Create",
     {{L"/S", Kind::Value},     {L"/U", Kind::Value},      {L"/P", Kind::OptionalValue}, {L"/RU", Kind::Value},
      {L"/RP", Kind::OptionalValue}, {L"/SC", Kind::Value}, {L"/MO", Kind::Value},     {L"/D", Kind::Value},
      {L"/M", Kind::Value},     {L"/I", Kind::Value},      {L"/TN", Kind::Value},       {L"/TR", Kind::Value},
      {L"/ST", Kind::Value},    {L"/RI", Kind::Value},     {L"/ET", Kind::Value},       {L"/DU", Kind::Value},
      {L"/K", Kind::Switch},    {L"/SD", Kind::Value},     {L"/ED", Kind::Value},       {L"/IT", Kind::Switch},
      {L"/NP", Kind::Switch},   {L"/Z", Kind::Switch},     {L"/XML", Kind::Value},      {L"/V1", Kind::Switch},
      {L"/F", Kind::Switch},    {L"/HRESULT", Kind::Switch}, {L"/RL", Kind::Value},     {L"/DELAY", Kind::Value}},
     {L"/TN", L"/XML", L"/F"}},
    {L"/Query",
     {{L"/S", Kind::Value}, {L"/U", Kind::Value}, {L"/P", Kind::OptionalValue}, {L"/FO", Kind::Value},
      {L"/XML", Kind::OptionalValue}, {L"/NH", Kind::Switch}, {L"/V", Kind::Switch}, {L"/TN", Kind::Value},
      {L"/HRESULT", Kind::Switch}},
     {L"/TN", L"/XML"}},
    {L"/Delete",
     {{L"/S", Kind::Value}, {L"/U", Kind::Value}, {L"/P", Kind::OptionalValue}, {L"/TN", Kind::Value}, {L"/F", Kind::Switch},
      {L"/HRESULT", Kind::Switch}},
     {L"/TN", L"/F"}},
    {L"/Run",
     {{L"/S", Kind::Value}, {L"/U", Kind::Value}, {L"/P", Kind::OptionalValue}, {L"/I", Kind::Switch}, {L"/TN", Kind::Value},
      {L"/HRESULT", Kind::Switch}},
     {L"/TN"}},
};
const wchar_t* const kOtherVerbs[] = {L"/Change", L"/End", L"/ShowSid"};

// The options given, by their canonical names, with their values ("" for a switch).
struct Given {
    const VerbSpec* verb = nullptr;
    std::vector<std::pair<std::wstring, std::wstring>> options;
    const std::wstring* Find(std::wstring_view name) const {
        for (const auto& [option, value] : options)
            if (option == name) return &value;
        return nullptr;
    }
};

std::wstring AsOption(const std::wstring& arg) { return !arg.empty() && arg[0] == L'-' ? L"/" + arg.substr(1) : arg; }

DWORD Refuse(const std::wstring& message, const wchar_t* verb) {
    Err(L"ERROR: " + message + L"\r\nType \"SCHTASKS " + (verb ? ToUpper(verb) + L" " : L"") + L"/?\" for usage.\r\n");
    return kFailed;
}

DWORD NotSimulated(const std::wstring& what) {
    Err(L"schtasks (sandbox): " + what + L" is not simulated; the sandbox takes /Create /TN name /XML file [/F], "
        L"/Query /TN name /XML [ONE], /Delete /TN name /F and /Run /TN name.\r\n");
    return kFailed;
}

DWORD Fail(const std::wstring& message) {
    Err(L"ERROR: " + message + L"\r\n");
    return kFailed;
}

const OptionSpec* FindOption(const VerbSpec& verb, const std::wstring& arg) {
    for (const OptionSpec& option : verb.options)
        if (EqualsNoCase(option.name, AsOption(arg))) return &option;
    return nullptr;
}

// The options after the verb, or the refusal the real tool prints; usage on /?.
std::optional<DWORD> ParseOptions(const std::vector<std::wstring>& args, Given& given) {
    const VerbSpec& verb = *given.verb;
    for (size_t i = 1; i < args.size(); ++i) {
        if (AsOption(args[i]) == L"/?") {
            std::wstring usage = std::wstring(L"\r\nSCHTASKS ") + verb.name;
            for (const OptionSpec& o : verb.options)
                usage += std::wstring(L" [") + o.name + (o.kind == Kind::Value ? L" value]" : o.kind == Kind::OptionalValue ? L" [value]]" : L"]");
            Out(usage + L"\r\n");
            return 0;
        }
        const OptionSpec* option = FindOption(verb, args[i]);
        if (!option) return Refuse(L"Invalid argument/option - '" + args[i] + L"'.", verb.name);
        if (given.Find(option->name))
            return Refuse(L"Invalid syntax. Option '" + args[i] + L"' not allowed more than '1' time(s).", verb.name);
        const bool next = i + 1 < args.size() && !FindOption(verb, args[i + 1]) && AsOption(args[i + 1]) != L"/?";
        std::wstring value;
        if (option->kind == Kind::Value && !next) return Refuse(L"Invalid syntax. Value expected for '" + args[i] + L"'.", verb.name);
        if (option->kind != Kind::Switch && next) value = args[++i];
        given.options.emplace_back(option->name, value);
    }
    return std::nullopt;
}

std::optional<std::vector<unsigned char>> ReadTask(const std::wstring& file) {
    std::vector<unsigned char> bytes;
    if (!FileExists(file) || !ReadFileBytes(file, bytes, nullptr)) return std::nullopt;
    return bytes;
}

DWORD Create(const std::wstring& name, const std::wstring& xmlFile, bool force) {
    const std::optional<std::wstring> file = TaskFile(name);
    if (!file) return Fail(L"The filename, directory name, or volume label syntax is incorrect.");
    std::vector<unsigned char> bytes;
    DWORD error = ERROR_FILE_NOT_FOUND;
    if (!ReadFileBytes(xmlFile, bytes, &error))
        return Fail(error == ERROR_ACCESS_DENIED ? L"Access is denied." : L"The system cannot find the file specified.");
    if (DeclaresUtf16WithoutMark(bytes)) return Fail(L"The task XML is malformed.\r\n(1,1)::ERROR: the document's encoding is not the one it declares");
    const TaskXmlVerdict verdict = CheckTaskXml(ParseXml(bytes));
    if (!verdict.error.empty()) return Fail(verdict.error + L"\r\n" + verdict.where);
    StateLock lock;
    if (FileExists(*file) && !force) return NotSimulated(L"Replacing a task without /F (the real tool asks)");
    const size_t slash = file->find_last_of(L'\\');
    if (!CreateDirectories(file->substr(0, slash)) ||
        !ReplaceFileBytes(*file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        return Fail(L"Access is denied.");
    Out(L"SUCCESS: The scheduled task \"" + name + L"\" has successfully been created.\r\n");
    return 0;
}

DWORD Query(const std::wstring& name, const std::wstring* xmlType) {
    if (!xmlType) return NotSimulated(L"/Query without /XML");
    if (!xmlType->empty() && !EqualsNoCase(*xmlType, L"ONE")) return Refuse(L"Invalid argument/option - '" + *xmlType + L"'.", L"/Query");
    const std::optional<std::wstring> file = TaskFile(name);
    const std::optional<std::vector<unsigned char>> bytes = file ? ReadTask(*file) : std::nullopt;
    if (!bytes) return Fail(L"The system cannot find the file specified.");
    const std::wstring declaration = L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
    std::wstring task = TaskXmlText(*bytes);
    task = task.substr(0, task.find_last_not_of(L" \t\r\n") + 1) + L"\r\n";
    Out(xmlType->empty() ? declaration + task : declaration + L"<Tasks>\r\n<!-- " + name + L" -->\r\n" + task + L"</Tasks>\r\n");
    return 0;
}

DWORD Delete(const std::wstring& name) {
    const std::optional<std::wstring> file = TaskFile(name);
    StateLock lock;
    if (!file || !FileExists(*file)) return Fail(L"The system cannot find the file specified.");
    if (!DeleteFileW(file->c_str())) return Fail(L"Access is denied.");
    Out(L"SUCCESS: The scheduled task \"" + name + L"\" was successfully deleted.\r\n");
    return 0;
}

// The real tool asks the scheduler to start the task and returns; the sandbox waits for it, so
// that its exit code is in the log when /Run returns.
DWORD Run(const std::wstring& name) {
    const std::optional<std::wstring> file = TaskFile(name);
    const std::optional<std::vector<unsigned char>> bytes = file ? ReadTask(*file) : std::nullopt;
    if (!bytes) return Fail(L"The system cannot find the file specified.");
    const std::optional<TaskAction> action = ReadAction(ParseXml(*bytes));
    if (!action) return NotSimulated(L"A task without a program to start");
    Out(L"SUCCESS: Attempted to run the scheduled task \"" + name + L"\".\r\n");
    DWORD error = 0;
    const std::optional<DWORD> code = RunAction(*action, &error);
    LogInvocation(L"task", action->CommandLine(), code.value_or(error));
    return 0;
}

DWORD Dispatch(const Given& given) {
    for (const auto& [option, value] : given.options) {
        bool simulated = false;
        for (const std::wstring& name : given.verb->simulated) simulated = simulated || option == name;
        if (!simulated) return NotSimulated(std::wstring(given.verb->name) + L" with " + option);
    }
    const std::wstring* name = given.Find(L"/TN");
    const std::wstring verb = given.verb->name;
    if (!name && verb != L"/Query") return Refuse(L"Invalid syntax. Mandatory option '/TN' is missing.", given.verb->name);
    if (verb == L"/Create") {
        const std::wstring* xml = given.Find(L"/XML");
        return xml ? Create(*name, *xml, given.Find(L"/F")) : NotSimulated(L"/Create without /XML");
    }
    if (verb == L"/Query") return name ? Query(*name, given.Find(L"/XML")) : NotSimulated(L"/Query of every task");
    if (verb == L"/Delete") return given.Find(L"/F") ? Delete(*name) : NotSimulated(L"/Delete without /F (the real tool asks)");
    return Run(*name);
}

DWORD Main(const std::vector<std::wstring>& args) {
    if (args.empty()) return NotSimulated(L"A listing of every task");
    if (AsOption(args[0]) == L"/?") {
        Out(L"\r\nSCHTASKS /parameter [arguments]\r\n\r\nParameter List:\r\n    /Create, /Delete, /Query, /Change, /Run, /End, /ShowSid, /?\r\n");
        return 0;
    }
    Given given;
    for (const VerbSpec& verb : kVerbs)
        if (EqualsNoCase(verb.name, AsOption(args[0]))) given.verb = &verb;
    for (const wchar_t* other : kOtherVerbs)
        if (EqualsNoCase(other, AsOption(args[0]))) return NotSimulated(other);
    if (!given.verb) return Refuse(L"Invalid argument/option - '" + args[0] + L"'.", nullptr);
    if (const std::optional<DWORD> done = ParseOptions(args, given)) return *done;
    return Dispatch(given);
}

}  // namespace

int wmain() {
    const std::wstring raw = GetCommandLineW();
    const DWORD code = Main(ArgumentValues(raw));
    LogInvocation(L"schtasks", raw, code);
    return static_cast<int>(code);
}
