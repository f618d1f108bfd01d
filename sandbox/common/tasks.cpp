#include "common/tasks.h"

#include <algorithm>

#include <objbase.h>
#include <shlwapi.h>
#include <xmllite.h>

#include "common/cmdline.h"
#include "common/state.h"
#include "common/text.h"

namespace sandbox {

namespace {

const wchar_t kTaskNamespace[] = L"http://schemas.microsoft.com/windows/2004/02/mit/task";

std::wstring TasksDirectory() { return StatePath(L"tasks"); }

// The parts of a task's path; empty for a name no task can have.
std::vector<std::wstring> NameParts(std::wstring_view name) {
    if (!name.empty() && name.front() == L'\\') name.remove_prefix(1);
    std::vector<std::wstring> parts = Split(name, L'\\');
    for (const std::wstring& part : parts) {
        bool bad = part.empty() || part == L"." || part == L"..";
        for (wchar_t c : part) bad = bad || c < 0x20 || std::wstring_view(L"<>:\"/|?*").find(c) != std::wstring_view::npos;
        if (bad) return {};
    }
    return parts;
}

void CollectNames(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& names) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) CollectNames(folder + L"\\" + name, prefix + name + L"\\", names);
        else names.push_back(prefix + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

template <class T>
struct Released {
    T* p = nullptr;
    ~Released() {
        if (p) p->Release();
    }
};

std::wstring Value(IXmlReader* reader, bool name) {
    const WCHAR* text = nullptr;
    UINT length = 0;
    if (FAILED(name ? reader->GetLocalName(&text, &length) : reader->GetValue(&text, &length))) return {};
    return std::wstring(text, length);
}

XmlNode ReadElement(IXmlReader* reader) {
    XmlNode node;
    node.name = Value(reader, true);
    reader->GetLineNumber(&node.line);
    reader->GetLinePosition(&node.column);
    for (HRESULT hr = reader->MoveToFirstAttribute(); hr == S_OK; hr = reader->MoveToNextAttribute()) {
        const WCHAR* qualified = nullptr;
        UINT length = 0;
        reader->GetQualifiedName(&qualified, &length);
        node.attributes.emplace_back(std::wstring(qualified, length), Value(reader, false));
    }
    reader->MoveToElement();
    return node;
}

// Walks the document into nodes; false where the reader stops.
HRESULT ReadNodes(IXmlReader* reader, XmlNode& root) {
    std::vector<XmlNode*> open;
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    while ((hr = reader->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            const bool empty = reader->IsEmptyElement();
            XmlNode node = ReadElement(reader);
            XmlNode* placed = &root;
            if (open.empty()) root = std::move(node);
            else placed = &open.back()->children.emplace_back(std::move(node));
            if (!empty) open.push_back(placed);
        } else if (type == XmlNodeType_EndElement && !open.empty()) {
            open.pop_back();
        } else if ((type == XmlNodeType_Text || type == XmlNodeType_CDATA || type == XmlNodeType_Whitespace) && !open.empty()) {
            open.back()->text += Value(reader, false);
        }
    }
    return hr == S_FALSE ? S_OK : hr;
}

bool IsDigits(std::wstring_view text, size_t from, size_t count) {
    if (text.size() < from + count) return false;
    for (size_t i = from; i < from + count; ++i)
        if (text[i] < L'0' || text[i] > L'9') return false;
    return true;
}

// YYYY-MM-DDTHH:MM:SS, perhaps with fractions or a zone after it.
bool IsDateTime(std::wstring_view t) {
    return IsDigits(t, 0, 4) && t.size() >= 19 && t[4] == L'-' && IsDigits(t, 5, 2) && t[7] == L'-' && IsDigits(t, 8, 2) &&
           t[10] == L'T' && IsDigits(t, 11, 2) && t[13] == L':' && IsDigits(t, 14, 2) && t[16] == L':' && IsDigits(t, 17, 2);
}


std::wstring Where(const XmlNode& node) {
    return L"(" + std::to_wstring(node.line) + L"," + std::to_wstring(node.column) + L"):" + node.name + L":";
}

// The values the scheduler would refuse among those it is given: the first one, or null.
const XmlNode* BadValue(const XmlNode& task) {
    const std::pair<const wchar_t*, std::vector<std::wstring>> choices[] = {
        {L"Principals/Principal/LogonType", {L"S4U", L"Password", L"InteractiveToken", L"InteractiveTokenOrPassword"}},
        {L"Principals/Principal/RunLevel", {L"LeastPrivilege", L"HighestAvailable"}},
        {L"Settings/MultipleInstancesPolicy", {L"Parallel", L"Queue", L"IgnoreNew", L"StopExisting"}},
    };
    for (const auto& [path, allowed] : choices)
        if (const XmlNode* n = task.Find(path); n && std::find(allowed.begin(), allowed.end(), n->text) == allowed.end()) return n;
    if (const XmlNode* settings = task.Child(L"Settings"))
        for (const XmlNode& n : settings->children)
            if (!n.children.size() && n.name != L"MultipleInstancesPolicy" && n.name != L"ExecutionTimeLimit" &&
                n.name != L"Priority" && n.name != L"DeleteExpiredTaskAfter" && n.text != L"true" && n.text != L"false")
                return &n;
    if (const XmlNode* limit = task.Find(L"Settings/ExecutionTimeLimit"); limit && (limit->text.empty() || limit->text[0] != L'P'))
        return limit;
    if (const XmlNode* triggers = task.Child(L"Triggers"))
        for (const XmlNode& trigger : triggers->children) {
            const XmlNode* start = trigger.Child(L"StartBoundary");
            if (start && !IsDateTime(start->text)) return start;
            const XmlNode* days = trigger.Find(L"ScheduleByDay/DaysInterval");
            const bool dayCount = days && !days->text.empty() && days->text.size() <= 3 && IsDigits(days->text, 0, days->text.size());
            if (days && (!dayCount || std::stoi(days->text) < 1 || std::stoi(days->text) > 365)) return days;
        }
    return nullptr;
}

// A required element that is missing: the node that lacks it, and its name.
std::optional<std::pair<const XmlNode*, std::wstring>> Missing(const XmlNode& task) {
    const XmlNode* actions = task.Child(L"Actions");
    if (!actions) return std::make_pair(&task, std::wstring(L"Actions"));
    if (actions->children.empty()) return std::make_pair(actions, std::wstring(L"Exec"));
    if (const XmlNode* exec = actions->Child(L"Exec"); exec && (!exec->Child(L"Command") || Trim(exec->Child(L"Command")->text).empty()))
        return std::make_pair(exec, std::wstring(L"Command"));
    if (const XmlNode* triggers = task.Child(L"Triggers"))
        for (const XmlNode& trigger : triggers->children) {
            if (trigger.name != L"CalendarTrigger") continue;
            if (!trigger.Child(L"StartBoundary")) return std::make_pair(&trigger, std::wstring(L"StartBoundary"));
            bool schedule = false;
            for (const wchar_t* kind : {L"ScheduleByDay", L"ScheduleByWeek", L"ScheduleByMonth", L"ScheduleByMonthDayOfWeek"})
                schedule = schedule || trigger.Child(kind);
            if (!schedule) return std::make_pair(&trigger, std::wstring(L"ScheduleByDay"));
        }
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> TaskFile(std::wstring_view name) {
    std::vector<std::wstring> parts = NameParts(name);
    if (parts.empty()) return std::nullopt;
    std::wstring path = TasksDirectory();
    for (const std::wstring& part : parts) path += L"\\" + part;
    return path;
}

std::vector<std::wstring> TaskNames() {
    std::vector<std::wstring> names;
    CollectNames(TasksDirectory(), L"\\", names);
    return names;
}

const XmlNode* XmlNode::Child(std::wstring_view child) const {
    for (const XmlNode& node : children)
        if (node.name == child) return &node;
    return nullptr;
}

const XmlNode* XmlNode::Find(std::wstring_view path) const {
    const XmlNode* at = this;
    for (const std::wstring& part : Split(path, L'/'))
        if (at) at = at->Child(part);
    return at;
}

std::optional<std::wstring> XmlNode::Attribute(std::wstring_view attribute) const {
    for (const auto& [name, value] : attributes)
        if (name == attribute) return value;
    return std::nullopt;
}

XmlDocument ParseXml(const std::vector<unsigned char>& bytes) {
    using Create = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    static const auto create = reinterpret_cast<Create>(reinterpret_cast<void (*)()>(
        GetProcAddress(LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32), "CreateXmlReader")));
    XmlDocument document;
    Released<IXmlReader> reader;
    Released<IStream> stream{SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size()))};
    document.error = create && stream.p ? create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr) : E_FAIL;
    if (SUCCEEDED(document.error)) document.error = reader.p->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (SUCCEEDED(document.error)) document.error = reader.p->SetInput(stream.p);
    if (SUCCEEDED(document.error)) document.error = ReadNodes(reader.p, document.root);
    if (reader.p) {
        reader.p->GetLineNumber(&document.line);
        reader.p->GetLinePosition(&document.column);
    }
    document.ok = SUCCEEDED(document.error) && !document.root.name.empty();
    return document;
}

bool DeclaresUtf16WithoutMark(const std::vector<unsigned char>& bytes) {
    const bool marked = bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
    const std::string head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(bytes.size(), 100)));
    const size_t end = head.find("?>");
    return !marked && head.rfind("<?xml", 0) == 0 && end != std::string::npos &&
           ToUpper(Widen(head.substr(0, end))).find(L"UTF-16") != std::wstring::npos;
}

TaskXmlVerdict CheckTaskXml(const XmlDocument& document) {
    if (!document.ok)
        return {L"The task XML is malformed.",
                L"(" + std::to_wstring(document.line) + L"," + std::to_wstring(document.column) + L")::ERROR: incorrect document syntax"};
    const XmlNode& task = document.root;
    if (task.name != L"Task" || task.Attribute(L"xmlns") != std::wstring(kTaskNamespace))
        return {L"The task XML contains an unexpected node.", Where(task)};
    if (const auto missing = Missing(task))
        return {L"The task XML is missing a required element or attribute.", Where(*missing->first) + missing->second};
    if (const XmlNode* bad = BadValue(task))
        return {L"The task XML contains a value which is incorrectly formatted or out of range.", Where(*bad)};
    return {};
}

std::wstring TaskXmlText(const std::vector<unsigned char>& bytes) {
    std::wstring text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8);
    } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += static_cast<wchar_t>(bytes[i] << 8 | bytes[i + 1]);
    } else {
        const size_t skip = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
        text = Widen(std::string_view(reinterpret_cast<const char*>(bytes.data()) + skip, bytes.size() - skip));
    }
    if (text.rfind(L"<?xml", 0) == 0 && text.find(L"?>") != std::wstring::npos) text.erase(0, text.find(L"?>") + 2);
    return text.substr(std::min(text.size(), text.find_first_not_of(L" \t\r\n")));
}

std::wstring TaskAction::CommandLine() const { return QuoteArgument(command) + (arguments.empty() ? L"" : L" " + arguments); }

std::optional<TaskAction> ReadAction(const XmlDocument& document) {
    const XmlNode* exec = document.ok ? document.root.Find(L"Actions/Exec") : nullptr;
    const XmlNode* command = exec ? exec->Child(L"Command") : nullptr;
    if (!command) return std::nullopt;
    const XmlNode* arguments = exec->Child(L"Arguments");
    return TaskAction{Trim(command->text), arguments ? arguments->text : L""};
}

std::optional<DWORD> RunAction(const TaskAction& task, DWORD* error) {
    const auto expand = [](const std::wstring& text) {
        std::wstring out(ExpandEnvironmentStringsW(text.c_str(), nullptr, 0), L'\0');
        out.resize(ExpandEnvironmentStringsW(text.c_str(), out.data(), static_cast<DWORD>(out.size())));
        if (!out.empty()) out.pop_back();  // the terminating NUL it counted
        return out;
    };
    const TaskAction expanded{expand(task.command), expand(task.arguments)};
    std::wstring line = expanded.CommandLine();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(expanded.command.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &process);
    const DWORD startError = started ? 0 : GetLastError();
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        if (error) *error = startError;
        return std::nullopt;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

}  // namespace sandbox
