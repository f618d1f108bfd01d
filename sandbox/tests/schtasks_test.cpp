// The daily renewal's schtasks lines and definition, made by the application's own functions:
// registered, started as the scheduler starts it, deleted; and what the tool refuses of its syntax
// and of a definition. The console program's whole round, the task read back and replaced
// included, is end to end (96-schedule).
#include <gtest/gtest.h>

#include "common/state.h"
#include "common/text.h"
#include "harness.h"
#include "renew/schedule.h"
#include "support/text.h"
#include "win32/file_system_win32.h"

namespace sandbox::test {
namespace {

namespace renew = quillbay::renew;

const std::wstring kPlanted = L"C:\\QuillbaySandbox\\bin\\planted.exe";  // logs how it was started
const renew::TaskDefinition kTask{Narrow(kPlanted), "C:\\Renew Files\\R&D 'x'", "04:30", true};

// A definition file in the prefix's temporary folder: the application's bytes, or these.
std::wstring DefinitionFile(const std::string& bytes, const std::wstring& name = L"task.xml") {
    const std::wstring path = TempPath(name);
    WriteFileBytes(path, bytes.data(), bytes.size());
    return path;
}
std::string Definition(const renew::TaskDefinition& task) { return quillbay::Utf16LeWithBom(renew::TaskXml(task, {2026, 12, 6})); }

quillbay::win32::Win32FileSystem g_fs;
std::wstring Create(const std::wstring& file) { return Widen(renew::CreateTaskCommand(g_fs, Narrow(file))); }
std::wstring Query() { return Widen(renew::QueryTaskCommand(g_fs)); }
std::wstring Delete() { return Widen(renew::DeleteTaskCommand(g_fs)); }
std::wstring Schtasks(const std::wstring& arguments) { return SystemDirectory() + L"\\schtasks.exe " + arguments; }

const std::wstring kNotFound = L"ERROR: The system cannot find the file specified.\r\n";

TEST(Schtasks, KeepsTheTaskAsRegisteredAndStartsItsProgramByItsPath) {
    const std::wstring file = DefinitionFile(Definition(kTask));
    const std::wstring stored = L"\\Quillbay\\Renew\t" + kPlanted + L"\trenew --from \"C:\\Renew Files\\R&D 'x'\" --retire-old\r\n";
    Check({
        Sbx(L"seed"),
        {Via::Process, Create(file), 0, L"SUCCESS: The scheduled task \"\\Quillbay\\Renew\" has successfully been created.\r\n"},
        {Via::Sbx, L"tasks", 0, stored},
        {Via::Sbx, L"run-task \\Quillbay\\Renew", 0, L"0\r\n"},
        {Via::Process, Schtasks(L"/Run /TN \\Quillbay\\Renew"), 0,
         L"SUCCESS: Attempted to run the scheduled task \"\\Quillbay\\Renew\".\r\n"},
    });
    // Both runs started the program by its full path with the task's arguments.
    std::vector<std::vector<std::wstring>> runs = LogOf(L"task");
    ASSERT_EQ(runs.size(), 2u);
    for (const auto& run : runs) EXPECT_EQ(run[3], kPlanted + L" renew --from \"C:\\Renew Files\\R&D 'x'\" --retire-old");

    Check({
        {Via::Process, Delete(), 0, L"SUCCESS: The scheduled task \"\\Quillbay\\Renew\" was successfully deleted.\r\n"},
        Refused(Delete(), 1, kNotFound),
        Refused(Query(), 1, kNotFound),
        Refused(Schtasks(L"/Run /TN \\Quillbay\\Renew"), 1, kNotFound),
        {Via::Sbx, L"run-task \\Quillbay\\Renew", 1, L""},
    });
}

TEST(Schtasks, RefusesWhatTheRealToolRefusesAndSaysWhatItDoesNotSimulate) {
    const std::wstring good = DefinitionFile(Definition(kTask));
    const std::string xml = renew::TaskXml(kTask, {2026, 12, 6});
    const auto changed = [&xml](const std::string& from, const std::string& to, const wchar_t* name) {
        std::string text = xml;
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
        return DefinitionFile(quillbay::Utf16LeWithBom(text), name);
    };
    const std::wstring usage = L"Type \"SCHTASKS /CREATE /?\" for usage.\r\n";
    const std::wstring outOfRange = L"ERROR: The task XML contains a value which is incorrectly formatted or out of range.";
    Check({
        Sbx(L"seed"),
        Refused(Schtasks(L"/Bogus"), 1, L"ERROR: Invalid argument/option - '/Bogus'.\r\nType \"SCHTASKS /?\" for usage.\r\n"),
        Refused(Schtasks(L"/Create /TN x /XML"), 1, L"ERROR: Invalid syntax. Value expected for '/XML'.\r\n" + usage),
        Refused(Schtasks(L"/Create /TN a /tn b /XML \"" + good + L"\""), 1,
                L"ERROR: Invalid syntax. Option '/tn' not allowed more than '1' time(s).\r\n" + usage),
        Refused(Schtasks(L"/Create /XML \"" + good + L"\" /F"), 1, L"ERROR: Invalid syntax. Mandatory option '/TN' is missing.\r\n" + usage),
        Refused(Schtasks(L"/Create /TN x /XML \"" + good + L"\" /Q"), 1, L"ERROR: Invalid argument/option - '/Q'.\r\n" + usage),
        Refused(Schtasks(L"/Query /TN \\Quillbay\\Renew /XML TWO"), 1,
                L"ERROR: Invalid argument/option - 'TWO'.\r\nType \"SCHTASKS /QUERY /?\" for usage.\r\n"),
        Refused(Schtasks(L"/Run /TN"), 1, L"ERROR: Invalid syntax. Value expected for '/TN'.\r\nType \"SCHTASKS /RUN /?\" for usage.\r\n"),
        Refused(Schtasks(L"/Create /TN \\Quillbay\\..\\Renew /XML \"" + good + L"\" /F"), 1,
                L"ERROR: The filename, directory name, or volume label syntax is incorrect.\r\n"),
        Refused(Create(L"C:\\no such file.xml"), 1, kNotFound),
        // A definition in UTF-8 that declares UTF-16, as a writer that forgot the encoding leaves it.
        Refused(Create(DefinitionFile(xml, L"utf8.xml")), 1, L"ERROR: The task XML is malformed.\r\n(", Match::Has),
        Refused(Create(changed("Task", "Job", L"root.xml")), 1, L"ERROR: The task XML contains an unexpected node.", Match::Has),
        Refused(Create(changed("xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"", "", L"ns.xml")), 1,
                L"ERROR: The task XML contains an unexpected node.\r\n(", Match::Has),
        Refused(Create(changed("Command>", "Program>", L"command.xml")), 1,
                L"ERROR: The task XML is missing a required element or attribute.\r\n", Match::Has),
        Refused(Create(changed("HighestAvailable", "Highest", L"runlevel.xml")), 1, outOfRange + L"\r\n(", Match::Has),
        Refused(Create(changed("<RunLevel>", "<LogonType>ServiceAccount</LogonType><RunLevel>", L"logon.xml")), 1, outOfRange,
                Match::Has),
        Refused(Create(changed("T04:30:00", "T4:30", L"start.xml")), 1, outOfRange, Match::Has),
        Refused(Create(changed("<DaysInterval>1<", "<DaysInterval>0<", L"days.xml")), 1, outOfRange, Match::Has),
        Refused(Create(changed("<StartWhenAvailable>true<", "<StartWhenAvailable>yes<", L"bool.xml")), 1, outOfRange, Match::Has),
        // Forms the real tool takes that the sandbox does not play.
        Refused(Schtasks(L"/Query /TN \\Quillbay\\Renew"), 1, L"is not simulated", Match::Has),
        Refused(Schtasks(L"/Query"), 1, L"is not simulated", Match::Has),
        Refused(Schtasks(L"/Delete /TN \\Quillbay\\Renew"), 1, L"is not simulated", Match::Has),
        Refused(Schtasks(L"/Create /TN x /SC DAILY /TR C:\\x.exe"), 1, L"is not simulated", Match::Has),
        Refused(Schtasks(L"/End /TN x"), 1, L"is not simulated", Match::Has),
        {Via::Process, Schtasks(L"/Create /?"), 0, L"SCHTASKS /Create", Match::Has},
        {Via::Sbx, L"tasks", 0, L""},
        // -TN and /tn are the same option; the name with or without its leading backslash the same task.
        {Via::Process, Schtasks(L"-create -tn Quillbay\\Renew -xml \"" + good + L"\" -f"), 0, L"SUCCESS", Match::Has},
        {Via::Process, Schtasks(L"/QUERY /TN \\quillbay\\renew /XML one"), 0, L"<!-- \\quillbay\\renew -->", Match::Has},
    });
}

}  // namespace
}  // namespace sandbox::test
