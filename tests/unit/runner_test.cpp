#include <gtest/gtest.h>

#include "fakes.h"
#include "support/runner.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

// Pulls the capture path out of a wrapped line: the text between the last pair of quotes.
std::string CapturePath(const std::string& line) {
    auto end = line.rfind('"');
    auto start = line.rfind('"', end - 1);
    return line.substr(start + 1, end - start - 1);
}

std::string Capture(World& w, const std::string& command) {
    return RunHiddenAndCapture(w.shell, w.fs, w.main.log, command);
}

TEST(RunHiddenAndCapture, WrapsTheCommandExactlyAndRunsItHiddenAndWaited) {
    World w;
    w.shell.onRun = [&](const std::string& line) {
        w.fs.AddFile(CapturePath(line), "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n");
        return 0;
    };
    const std::string out = Capture(w, "%windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\"");
    ASSERT_EQ(w.shell.runs.size(), 1u);
    const RunCall& call = w.shell.runs[0];
    EXPECT_EQ(call.commandLine,
              "cmd.exe /c %windir%\\system32\\inetsrv\\appcmd.exe list module \"RewriteModule\" > \"" +
                  w.fs.tempFolder + "\\rad1.tmp\"");
    EXPECT_EQ(call.windowStyle, 0);
    EXPECT_TRUE(call.wait);
    EXPECT_EQ(out, "MODULE \"RewriteModule\" ( type:, preCondition: )\r\n");  // final line break kept
    EXPECT_FALSE(w.fs.FileExists(CapturePath(call.commandLine)));
}

TEST(RunHiddenAndCapture, NoOutputAndNonZeroExitCode) {
    World w;
    // Nothing printed: the redirection still creates an empty file.
    w.shell.onRun = [&](const std::string& line) {
        w.fs.AddFile(CapturePath(line), "");
        return 0;
    };
    EXPECT_EQ(Capture(w, "x"), "");
    EXPECT_TRUE(w.fs.files.empty() || !w.fs.FileExists(CapturePath(w.shell.runs[0].commandLine)));

    // A failing tool's standard output is returned all the same; the exit code is not looked at.
    w.shell.onRun = [&](const std::string& line) {
        w.fs.AddFile(CapturePath(line), "ERROR ( message:x )\r\n");
        return 1;
    };
    EXPECT_EQ(Capture(w, "y"), "ERROR ( message:x )\r\n");
    EXPECT_EQ(w.ErrorLog(), "");
}

TEST(RunHiddenAndCapture, EachCallHasItsOwnCaptureFile) {
    World w;
    w.shell.onRun = [&](const std::string& line) {
        w.fs.AddFile(CapturePath(line), line);
        return 0;
    };
    Capture(w, "a");
    Capture(w, "b");
    EXPECT_NE(CapturePath(w.shell.runs[0].commandLine), CapturePath(w.shell.runs[1].commandLine));
}

TEST(RunHiddenAndCapture, StartFailureIsLoggedAndGivesEmpty) {
    World w;
    w.shell.onRun = [&](const std::string&) -> std::int32_t { throw Failure(2, "The system cannot find the file specified."); };
    EXPECT_EQ(Capture(w, "a"), "");
    EXPECT_NE(w.ErrorLog().find("在过程 'RunHiddenAndCapture' 中发生错误: The system cannot find the file specified. (代码: 2)"),
              std::string::npos);
}

TEST(RunHiddenAndCapture, UnreadableCaptureIsLoggedAndStillDeleted) {
    World w;
    std::string capture;
    class FailingRead : public FakeFileSystem {
    public:
        std::string ReadAllText(const std::string&) override { throw Failure(70, "Permission denied"); }
    } fs;
    fs.AddFolder(fs.tempFolder);
    fs.AddFolder(w.host.appFolder);
    Log log(fs, w.host, w.clock);
    w.shell.onRun = [&](const std::string& line) {
        capture = CapturePath(line);
        fs.AddFile(capture, "data");
        return 0;
    };
    EXPECT_EQ(RunHiddenAndCapture(w.shell, fs, log, "a"), "");
    EXPECT_FALSE(fs.FileExists(capture));
    EXPECT_NE(fs.Content(w.AppPath("log-error.txt")).value_or("").find("Permission denied (代码: 70)"),
              std::string::npos);
}

}  // namespace
