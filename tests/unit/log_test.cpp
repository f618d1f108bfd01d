#include <gtest/gtest.h>

#include "fakes.h"

using namespace quillbay;
using namespace quillbay::testing;

namespace {

const std::string kSep = "----------------------------------------\r\n";

TEST(Log, FirstRecordCreatesFileWithRecordAndSeparator) {
    World w;
    w.main.log.WriteLog("IsIIS8OrGreater", "IIS MajorVersion found in Registry: 10");
    EXPECT_EQ(w.InfoLog(),
              "[2026/12/6 9:05:07] 在过程 'IsIIS8OrGreater' 记录: IIS MajorVersion found in Registry: 10\r\n" + kSep);
    EXPECT_EQ(kSep.size(), 42u);  // 40 hyphens and CR LF
}

TEST(Log, ErrorRecordLayout) {
    World w;
    w.main.log.WriteErrorLog("RunHiddenAndCapture", -2147024894, "The system cannot find the file specified.");
    EXPECT_EQ(w.ErrorLog(),
              "[2026/12/6 9:05:07] 在过程 'RunHiddenAndCapture' 中发生错误: The system cannot find the file "
              "specified. (代码: -2147024894)\r\n" + kSep);
}

TEST(Log, EmptyMessageAndZeroNumber) {
    World w;
    w.main.log.WriteLog("P", "");
    w.main.log.WriteErrorLog("P", 0, "");
    EXPECT_EQ(w.InfoLog(), "[2026/12/6 9:05:07] 在过程 'P' 记录: \r\n" + kSep);
    EXPECT_EQ(w.ErrorLog(), "[2026/12/6 9:05:07] 在过程 'P' 中发生错误:  (代码: 0)\r\n" + kSep);
}

TEST(Log, RecordsAppendInCallOrderAndMultiLineMessagesStayWhole) {
    World w;
    w.main.log.WriteLog("A", "one");
    w.clock.text = "2026/12/6 9:05:08";
    w.main.log.WriteLog("B", "two\r\nlines");
    EXPECT_EQ(w.InfoLog(), "[2026/12/6 9:05:07] 在过程 'A' 记录: one\r\n" + kSep +
                               "[2026/12/6 9:05:08] 在过程 'B' 记录: two\r\nlines\r\n" + kSep);
    EXPECT_EQ(w.ErrorLog(), "");
}

TEST(Log, UnwritableFolderIsSilentAndCallerGoesOn) {
    World w;
    w.fs.readOnlyFolders.insert(w.host.appFolder);
    try {
        throw Failure(70, "Permission denied");
    } catch (const Failure& f) {
        EXPECT_NO_THROW(w.main.log.WriteErrorLog("X", f.number(), f.description()));
        // The error being handled is still intact afterwards.
        EXPECT_EQ(f.number(), 70);
        EXPECT_EQ(f.description(), "Permission denied");
    }
    EXPECT_FALSE(w.fs.FileExists(w.AppPath("log-error.txt")));
}

TEST(Log, AppFolderAtDriveRootGetsNoDoubleBackslash) {
    World w;
    w.host.appFolder = "D:\\";
    w.fs.AddFolder("D:");
    w.main.log.WriteLog("P", "m");
    EXPECT_TRUE(w.fs.FileExists("D:\\log.txt"));
}

}  // namespace
