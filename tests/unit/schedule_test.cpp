// The daily renewal's task: the definition schtasks registers (read back by a real XML reader),
// the folders and programs a SYSTEM task must not trust, and register, show and remove against a
// scheduler of fakes. The stand-in schtasks is tried with the same lines in sandbox.Schtasks, the
// whole round under Wine in 96-schedule.
#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "cli/program.h"
#include "fakes.h"
#include "renew/schedule.h"

namespace quillbay::testing {
namespace {

using renew::TaskDefinition;

const LocalTime kToday{2026, 12, 6, 9, 5, 7};
const std::string kProgram = "C:\\Program Files\\Quillbay\\quillbay-cli.exe";

std::string Text(const XmlElement& root, const char* path) {
    const XmlElement* e = root.Find(path);
    return e ? e->text : "<no " + std::string(path) + ">";
}

TEST(ScheduleXml, SystemWithHighestPrivilegesDailyFromTodayRunningTheFolderAsGiven) {
    const TaskDefinition tasks[] = {
        {kProgram, "D:\\Certificates", "03:00", false},
        {"C:\\Q\\quillbay-cli.exe", "D:\\R&D <new> \"x\" 'y'", "23:59", true},  // markup in the folder
        {kProgram, "D:\\", "00:00", false},                                      // a root's backslash before the quote
        {kProgram, "D:\\x\\\"y", "12:30", true},                                 // and one before a quote inside
        {kProgram, "\\\\files\\certs\\\xE5\x95\x86\xE5\xBA\x97 \xF0\x9F\x98\x80", "04:30", false},
    };
    for (const TaskDefinition& task : tasks) {
        SCOPED_TRACE(task.folder);
        const std::string bytes = Utf16LeWithBom(renew::TaskXml(task, kToday));
        EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE<\0", 4));  // what schtasks /XML reads
        const XmlElement root = TestXmlReader().Parse(bytes);
        EXPECT_EQ(root.name, "Task");
        EXPECT_EQ(root.Attribute("version"), "1.2");
        EXPECT_EQ(Text(root, "Principals/Principal/UserId"), "S-1-5-18");
        EXPECT_EQ(Text(root, "Principals/Principal/RunLevel"), "HighestAvailable");
        EXPECT_EQ(root.Find("Principals/Principal/LogonType"), nullptr);  // no interactive token
        EXPECT_EQ(Text(root, "Triggers/CalendarTrigger/StartBoundary"), "2026-12-06T" + task.at + ":00");
        EXPECT_EQ(Text(root, "Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"), "1");
        EXPECT_EQ(Text(root, "Settings/StartWhenAvailable"), "true");
        EXPECT_EQ(Text(root, "Settings/ExecutionTimeLimit"), "PT2H");
        EXPECT_EQ(Text(root, "Actions/Exec/Command"), task.program);
        std::vector<std::string> expected{"renew", "--from", task.folder};
        if (task.retireOld) expected.push_back("--retire-old");
        EXPECT_EQ(SplitArguments(Text(root, "Actions/Exec/Arguments")), expected);
        // As a query prints it back, inside <Tasks>, read by the program's own reading.
        const std::string xml = renew::TaskXml(task, kToday);
        TestXmlReader reader;
        const renew::RegisteredTask read = renew::ReadTaskXml(
            reader, "\r\n<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Tasks>\r\n<!-- \\Quillbay\\Renew -->\r\n" +
                        xml.substr(xml.find("<Task ")) + "</Tasks>\r\n");
        // The definition's fields as the show command prints them are ScheduleConsole's.
        ASSERT_TRUE(read.definition);
        EXPECT_EQ(read.command, renew::TaskCommandLine(task));
    }
}

TEST(ScheduleXml, ATaskThatIsNoRenewalIsShownAsItsCommandAndGarbageIsRefused) {
    const auto task = [](const std::string& action) {
        return "<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\"><Triggers><CalendarTrigger>"
               "<StartBoundary>2026-01-01T03:00:00</StartBoundary></CalendarTrigger></Triggers><Actions>" +
               action + "</Actions></Task>";
    };
    const struct {
        std::string xml, command;
    } cases[] = {
        {task("<Exec><Command>C:\\Windows\\notepad.exe</Command><Arguments>x.txt</Arguments></Exec>"),
         "C:\\Windows\\notepad.exe x.txt"},
        {task("<Exec><Command>C:\\Q\\quillbay-cli.exe</Command><Arguments>renew --from D:\\x --replace AB</Arguments></Exec>"),
         "C:\\Q\\quillbay-cli.exe renew --from D:\\x --replace AB"},
        {task("<Exec><Command>C:\\Q\\quillbay-cli.exe</Command><Arguments>renew</Arguments></Exec>"), "C:\\Q\\quillbay-cli.exe renew"},
        {task("<ComHandler><ClassId>{00000000-0000-0000-0000-000000000000}</ClassId></ComHandler>"), ""},
    };
    TestXmlReader reader;
    for (const auto& c : cases) {
        const renew::RegisteredTask read = renew::ReadTaskXml(reader, c.xml);
        EXPECT_FALSE(read.definition) << c.xml;
        EXPECT_EQ(read.command, c.command);
    }
    EXPECT_THROW(renew::ReadTaskXml(reader, "ERROR: something else\r\n"), Failure);
    EXPECT_THROW(renew::ReadTaskXml(reader, "<!DOCTYPE Task><Task/>"), Failure);
}

TEST(ScheduleFolder, OnlyAFullPathNamesTheSameFolderWhereverTheTaskStarts) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"D:\\Certificates", "D:\\Certificates"},
        {"d:/certs/new/", "d:\\certs\\new"},
        {"D:\\a\\.\\b\\..\\c\\\\d", "D:\\a\\c\\d"},
        {"D:\\", "D:\\"},
        {"D:\\x\\..", "D:\\"},
        {"\\\\files\\certs\\renew", "\\\\files\\certs\\renew"},
        {"\\\\files\\certs\\..\\..", std::nullopt},  // above the share
        {"D:\\..", std::nullopt},
        {"certs", std::nullopt},
        {"D:certs", std::nullopt},  // relative to D:'s current folder
        {"\\certs", std::nullopt},  // relative to the current drive
        {"\\\\files", std::nullopt},
        {"\\\\?\\D:\\certs", std::nullopt},
        {"\\\\.\\pipe\\x", std::nullopt},
        {"D:\\a:stream", std::nullopt},
        {"D:\\a|b", std::nullopt},
        {"D:\\a\tb", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [given, expected] : cases) EXPECT_EQ(renew::AbsoluteFolder(given), expected) << given;
}

// Plays schtasks behind the fake shell: a definition registered from its file's UTF-16 bytes,
// printed back by /Query as /XML ONE prints it (through the output's code page, as UTF-8 here).
struct Scheduler {
    FakeMachine& w;
    std::map<std::string, std::string> tasks;  // name -> definition as UTF-8 text
    std::optional<Captured> answer;            // every run ends so instead
    bool startFails = false;
    std::vector<std::string> lines;

    explicit Scheduler(FakeMachine& machine) : w(machine) {
        w.shell.onCapture = [this](const std::string& line) { return Answer(line); };
    }
    Captured Answer(const std::string& line) {
        lines.push_back(line);
        if (startFails) throw Failure(kErrorFileNotFound, FakeFileSystem::kFileNotFound);
        if (answer) return *answer;
        const std::string tool = w.fs.systemFolder + "\\schtasks.exe ", name = renew::kTaskName;
        const std::vector<std::string> args = SplitArguments(line.substr(tool.size()));
        const Captured notFound{1, "ERROR: The system cannot find the file specified.\r\n"};
        if (args == std::vector<std::string>{"/Create", "/TN", name, "/XML", args.size() > 4 ? args[4] : "", "/F"}) {
            const std::string bytes = w.fs.Content(args[4]).value_or("");
            if (bytes.rfind("\xFF\xFE", 0) != 0) return {1, "ERROR: The task XML is malformed.\r\n"};
            tasks[name] = Utf16ToUtf8(bytes.substr(2), false);
            return {0, "SUCCESS: The scheduled task \"" + name + "\" has successfully been created.\r\n"};
        }
        if (args == std::vector<std::string>{"/Query", "/TN", name, "/XML", "ONE"}) {
            if (!tasks.count(name)) return notFound;
            const std::string& xml = tasks[name];
            return {0, "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Tasks>\r\n<!-- " + name + " -->\r\n" +
                           xml.substr(xml.find("<Task")) + "</Tasks>\r\n"};
        }
        if (args == std::vector<std::string>{"/Delete", "/TN", name, "/F"})
            return tasks.erase(name) ? Captured{0, "SUCCESS: The scheduled task \"" + name + "\" was successfully deleted.\r\n"}
                                     : notFound;
        ADD_FAILURE() << "unexpected command: " << line;
        return {1, "ERROR: Invalid argument/option - '" + line + "'.\r\n"};
    }
};

// A server whose program is in place and that holds D:\Renew for the task.
struct ScheduleHost : FakeMachine {
    Scheduler scheduler{*this};
    ScheduleHost() {
        fs.AddFile(host.ExePath(), "MZ");
        fs.AddFolder("D:\\Renew");
    }
    ~ScheduleHost() { lang::ResetLanguageState(); }
    int Run(std::vector<std::string> args, FakeConsole& console) {
        args.insert(args.begin(), "schedule");
        return cli::RunConsole(machine, console, args);
    }
};

TEST(ScheduleConsole, RegistersOnlyWhatNoOneButAdministratorsCanChange) {
    using Arrange = std::function<void(ScheduleHost&)>;
    const auto open = [](std::string path) { return [path](ScheduleHost& h) { h.fs.access[Lower(path)] = kOpenToUsers; }; };
    const std::vector<std::string> from{"--from", "D:\\Renew"}, restrict{"--from", "D:\\Renew", "--restrict-folder"};
    const struct {
        const char* what;
        std::vector<std::string> args;
        Arrange arrange;
        int exitCode;
        std::string error;  // the refusal's code
        std::string said;   // a part of what standard output and error say
    } cases[] = {
        {"registered", from, {}, 0, "", "Task \\Quillbay\\Renew: registered, runs daily at 03:00 as SYSTEM"},
        {"a relative folder", {"--from", "Renew"}, {}, 2, "from-not-absolute", "'Renew' is not the full path of a folder"},
        {"a folder that is not there", {"--from", "D:\\Gone\\"}, {}, 2, "from-missing", "The folder 'D:\\Gone' does not exist."},
        {"others may change the folder", from, open("D:\\Renew"), 2, "folder-writable",
         "can change 'D:\\Renew': the task would import what they place there with the rights of SYSTEM. Restrict the folder, "
         "for example: icacls \"D:\\Renew\" /inheritance:r"},
        {"others may change its password file", from,
         [](ScheduleHost& h) {
             h.fs.AddFile("D:\\Renew\\password.txt", "secret");
             h.fs.access[Lower("D:\\Renew\\password.txt")] = kOpenToUsers;
         },
         2, "folder-writable", "can change 'D:\\Renew\\password.txt'"},
        {"its chain folder is a junction", from,
         [](ScheduleHost& h) {
             h.fs.AddFolder("D:\\Renew\\chain");
             h.fs.access[Lower("D:\\Renew\\chain")] = kLink;
         },
         2, "folder-reparse-point", "'D:\\Renew\\chain' is a junction"},
        {"--restrict-folder leaves that folder alone", restrict, open("D:\\Renew"), 2, "folder-writable", ""},
        {"others may change the program folder", from, open("C:\\Tools\\Quillbay"), 2, "folder-writable", ""},
        {"which --restrict-folder restricts", restrict, open("C:\\Tools\\Quillbay"), 0, "", "Restricted 'C:\\Tools\\Quillbay'"},
        {"others may replace the program", from, open("C:\\Tools\\Quillbay\\Quillbay.exe"), 2, "folder-writable",
         "can change 'C:\\Tools\\Quillbay\\Quillbay.exe'"},
        {"which --restrict-folder puts right", restrict, open("C:\\Tools\\Quillbay\\Quillbay.exe"), 0, "", "Restricted"},
        {"schtasks refuses", from, [](ScheduleHost& h) { h.scheduler.answer = Captured{1, "ERROR: Access is denied.\r\n"}; }, 2,
         "schedule-failed", "schtasks failed for the task \\Quillbay\\Renew (exit code 1): ERROR: Access is denied."},
        {"schtasks does not start", from, [](ScheduleHost& h) { h.scheduler.startFails = true; }, 2, "schedule-failed",
         "(exit code 2)"},
    };
    for (const auto& c : cases)
        for (const bool json : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (json ? ", JSON" : ", text"));
            ScheduleHost h;
            if (c.arrange) c.arrange(h);
            FakeConsole console;
            std::vector<std::string> args = c.args;
            if (json) args.push_back("--json");
            EXPECT_EQ(h.Run(args, console), c.exitCode) << console.err;
            if (!json) EXPECT_THAT(console.out + console.err, HasSubstr(c.said));
            else if (c.error.empty()) EXPECT_THAT(console.out, HasSubstr("\"registered\":true,"));
            else EXPECT_THAT(console.out, HasSubstr("\"error\":{\"code\":\"" + c.error + "\""));
            EXPECT_EQ(h.scheduler.tasks.size(), c.exitCode == 0 ? 1u : 0u);
            // Refused before schtasks ran; its definition's file gone either way.
            EXPECT_EQ(h.scheduler.lines.empty(), c.exitCode == 2 && c.error != "schedule-failed");
            EXPECT_FALSE(h.fs.FileExists(renew::TaskFilePath(h.host)));
        }
}

TEST(ScheduleConsole, ShowsWhatTheSchedulerHoldsAndRemovesItOnce) {
    ScheduleHost h;
    h.fs.AddFolder("D:\\R&D 'x' (new)");
    const auto run = [&h](std::vector<std::string> args, int exitCode) {
        FakeConsole console;
        args.push_back("--json");
        EXPECT_EQ(h.Run(args, console), exitCode) << ::testing::PrintToString(args) << console.err;
        const std::size_t members = console.out.find(",\"exitCode\":");
        return members == std::string::npos ? console.out : console.out.substr(members);
    };
    const std::string none = R"j("task":{"name":"\\Quillbay\\Renew","at":null,"from":null,"retireOld":null,"command":null})j";
    EXPECT_EQ(run({"--show"}, 1), ",\"exitCode\":1,\"registered\":false," + none + "}\r\n");
    run({"--from", "D:\\R&D 'x' (new)"}, 0);
    EXPECT_EQ(run({"--show"}, 0), R"j(,"exitCode":0,"registered":true,"task":{"name":"\\Quillbay\\Renew","at":"03:00",)j"
                                  R"j("from":"D:\\R&D 'x' (new)","retireOld":false,)j"
                                  R"j("command":"C:\\Tools\\Quillbay\\Quillbay.exe renew --from \"D:\\R&D 'x' (new)\""}})j" "\r\n");
    run({"--from", "D:\\Renew", "--at", "05:15", "--retire-old"}, 0);  // in place of the first
    EXPECT_THAT(run({"--show"}, 0), HasSubstr("\"at\":\"05:15\",\"from\":\"D:\\\\Renew\",\"retireOld\":true,"));
    EXPECT_EQ(run({"--remove"}, 0), ",\"exitCode\":0,\"registered\":false,\"removed\":true," + none + "}\r\n");
    EXPECT_THAT(run({"--remove"}, 1), HasSubstr("\"removed\":false,"));
    run({"--show"}, 1);
    EXPECT_THAT(h.InfoLog(), HasSubstr("Registered \\Quillbay\\Renew, daily at 05:15 as SYSTEM: C:\\Tools\\Quillbay\\Quillbay.exe "
                                       "renew --from \"D:\\Renew\" --retire-old"));

    // What else a query can find: another program's task, a document no reader takes, a failure.
    const struct {
        const char* what;
        std::function<void()> arrange;
        int exitCode;
        std::string said;
    } found[] = {
        {"a task that is no renewal",
         [&] { h.scheduler.tasks[renew::kTaskName] = "<Task><Actions><Exec><Command>C:\\x.exe</Command></Exec></Actions></Task>"; },
         0, "Task \\Quillbay\\Renew: registered, but it does not run a renewal as quillbay-cli schedule writes it: C:\\x.exe"},
        {"an answer that is no XML", [&] { h.scheduler.answer = Captured{0, "INFO: nothing\r\n"}; }, 0,
         "Task \\Quillbay\\Renew: registered, but its definition could not be read (code "},
        {"schtasks fails otherwise", [&] { h.scheduler.answer = Captured{-2147024891, "ERROR: Access is denied.\r\n"}; }, 2,
         "schtasks failed for the task \\Quillbay\\Renew (exit code -2147024891): ERROR: Access is denied."},
    };
    for (const auto& c : found) {
        SCOPED_TRACE(c.what);
        c.arrange();
        FakeConsole console;
        EXPECT_EQ(h.Run({"--show"}, console), c.exitCode);
        EXPECT_THAT(console.out + console.err, HasSubstr(c.said));
    }
}

}  // namespace
}  // namespace quillbay::testing
