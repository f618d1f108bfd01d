// The simulated Task Scheduler: each registered task is the definition it was registered from,
// byte for byte, in tasks\ below the state folder (a file per task, a folder per task folder:
// "\Quillbay\Renew" is tasks\Quillbay\Renew); its action is started as the scheduler starts it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sandbox {

// The file of a task name ("\Quillbay\Renew" or "Quillbay\Renew"); none for a name no task can
// have (an empty part, "." or "..", a character no file name holds).
std::optional<std::wstring> TaskFile(std::wstring_view name);
// Every registered task as "\folder\name", in the order of a walk of tasks\.
std::vector<std::wstring> TaskNames();

// A definition as the platform's XML reader (XmlLite) reads it.
struct XmlNode {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<XmlNode> children;
    std::wstring text;
    UINT line = 0, column = 0;
    const XmlNode* Child(std::wstring_view child) const;
    const XmlNode* Find(std::wstring_view path) const;  // "Actions/Exec/Command"
    std::optional<std::wstring> Attribute(std::wstring_view attribute) const;
};
struct XmlDocument {
    bool ok = false;
    HRESULT error = S_OK;
    UINT line = 0, column = 0;  // where the reader stopped
    XmlNode root;
};
// The bytes in the encoding their byte-order mark or declaration gives; no document types.
XmlDocument ParseXml(const std::vector<unsigned char>& bytes);

// What the scheduler refuses in a definition, as schtasks reports it: the error's text and
// where ("(line,column):Element:"); an empty text for a definition it takes.
struct TaskXmlVerdict {
    std::wstring error;
    std::wstring where;
};
TaskXmlVerdict CheckTaskXml(const XmlDocument& document);
// A definition whose declaration says UTF-16 but whose bytes carry no UTF-16 mark: 8-bit text
// that the scheduler reads as UTF-16 and finds malformed (the platform's reader under Wine would
// read it as the bytes are).
bool DeclaresUtf16WithoutMark(const std::vector<unsigned char>& bytes);

// The definition as text (UTF-16 or UTF-8 by its mark) without its XML declaration.
std::wstring TaskXmlText(const std::vector<unsigned char>& bytes);

struct TaskAction {
    std::wstring command, arguments;
    std::wstring CommandLine() const;  // the command quoted, a blank, the arguments
};
std::optional<TaskAction> ReadAction(const XmlDocument& document);
// Starts the action as the scheduler does (its command as the program, environment variables
// expanded, no console, nothing to read or write) and waits for it: its exit code, or none with
// the start's error in *error.
std::optional<DWORD> RunAction(const TaskAction& action, DWORD* error);

}  // namespace sandbox
