// The tools split their raw command line themselves (to know where each argument stood), and
// keep their state as escaped tab-separated records.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "common/cmdline.h"
#include "common/text.h"

namespace sandbox {
namespace {

TEST(Common, SplitsCommandLinesAsThePlatformDoes) {
    // The lines the application sends are split end to end in the tools' tables; these are the rules' corners.
    for (const std::wstring line : {
             LR"("C:\Program Files\tool.exe" a\\\"b "c\\" d\\e "f""g" """ h""""i)",
             LR"("quoted"glued next)",
             LR"(prog  	  spaced	  "tab	inside"  )",
             LR"(prog a"b c"d e\\"f g"\ h)",
             LR"(prog """""" x)",
         }) {
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        std::vector<std::wstring> platform(argv, argv + count), ours;
        LocalFree(argv);
        for (const Argument& argument : SplitCommandLine(line)) ours.push_back(argument.value);
        EXPECT_EQ(ours, platform) << Narrow(line);
    }
}

TEST(Common, RecordFieldsSurviveEscaping) {
    std::vector<std::wstring> fields = {L"a\tb", L"C:\\temp\\new", L"line\r\nbreak", L"", L"\\t literal"};
    EXPECT_EQ(JoinRecord(fields).find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_EQ(SplitRecord(JoinRecord(fields)), fields);
}

}  // namespace
}  // namespace sandbox
