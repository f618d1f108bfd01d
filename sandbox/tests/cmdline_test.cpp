// The tools split their raw command line themselves (to know where each argument stood); the
// split must be the platform's, argument for argument.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "common/cmdline.h"
#include "common/text.h"

namespace sandbox {
namespace {

std::vector<std::wstring> Platform(const std::wstring& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> args(argv, argv + count);
    LocalFree(argv);
    return args;
}

std::vector<std::wstring> Ours(const std::wstring& line) {
    std::vector<std::wstring> args;
    for (const Argument& a : SplitCommandLine(line)) args.push_back(a.value);
    return args;
}

TEST(CommandLine, SplitsAsThePlatformDoes) {
    const std::wstring lines[] = {
        LR"(C:\windows\system32\inetsrv\appcmd.exe list site /text:name )",
        LR"(appcmd.exe list site "Default Web Site" /text:bindings)",
        LR"(appcmd.exe list site "Café [Test] "Q"" /text:bindings )",
        LR"(appcmd set site /site.name:"My Site" /+bindings.[protocol='https',bindingInformation='*:443:a',sslFlags='1'])",
        LR"(appcmd set config "S" -section:system.webServer/rewrite/rules /-"[name='HTTPS Redirect']" /commit:apphost)",
        LR"(certutil.exe -f -p "a&b|c^d<e>f %X% (g) !h " -importpfx "C:\Sandbox Fixtures\awkward.pfx")",
        LR"(certutil.exe -f -p "ab"cd" -importpfx "C:\x y\quote.pfx")",
        LR"(certutil.exe -f -p "trail\" -importpfx "C:\x y\b.pfx")",
        LR"("C:\Program Files\tool.exe" a\\\"b "c\\" d\\e "f""g" """ h""""i)",
        LR"("quoted"glued next)",
        LR"(prog  	  spaced	  "tab	inside"  )",
        LR"(prog a"b c"d e\\"f g"\ h)",
        LR"(prog """""" x)",
    };
    for (const std::wstring& line : lines) EXPECT_EQ(Platform(line), Ours(line)) << Narrow(line);
}

TEST(CommandLine, SpansRecoverEachArgumentFromTheRawText) {
    std::wstring line = LR"(certutil.exe -f   -p "pa ss"word -importpfx "C:\a b\c.pfx" tail)";
    std::vector<Argument> args = SplitCommandLine(line);
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(line.substr(args[3].begin, args[3].end - args[3].begin), LR"("pa ss"word)");
    EXPECT_EQ(args[3].value, L"pa ssword");
    for (size_t i = 1; i < args.size(); ++i)
        EXPECT_EQ(SplitCommandLine(L"x " + line.substr(args[i].begin, args[i].end - args[i].begin))[1].value,
                  args[i].value);
}

TEST(CommandLine, QuotedArgumentsComeBackUnchanged) {
    const std::wstring values[] = {L"plain", L"two words", L"", L"quote\"inside", L"trail\\", L"both \\\"x\\\\",
                                   L"Café [Test] \"Q\"", L"tab\there"};
    for (const std::wstring& value : values) {
        std::vector<std::wstring> args = Platform(L"prog " + QuoteArgument(value) + L" next");
        ASSERT_EQ(args.size(), 3u) << Narrow(value);
        EXPECT_EQ(args[1], value);
    }
}

TEST(Records, FieldsSurviveEscaping) {
    std::vector<std::wstring> fields = {L"a\tb", L"C:\\temp\\new", L"line\r\nbreak", L"", L"\\t literal"};
    std::wstring line = JoinRecord(fields);
    EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_EQ(SplitRecord(line), fields);
}

}  // namespace
}  // namespace sandbox
