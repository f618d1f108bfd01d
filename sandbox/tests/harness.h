// Runs the sandbox's tools inside Wine the ways the application does and checks their answers
// against tables: a row is a command line, the way it is started, the exit code and the output.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sandbox::test {

enum class Via {
    Process,  // CreateProcessW, as the application starts them; standard error must stay empty
    Refused,  // the same, judged by standard error; standard output must stay empty
    Sbx,      // sbx.exe LINE; its output decoded from UTF-8
    Stores,   // no command: the output is Stores()
};
enum class Match { Exact, Has, Any };

struct Row {
    Via via;
    std::wstring line;
    DWORD code = 0;
    std::wstring out = L"";
    Match match = Match::Exact;
};
// Runs the rows in order, each on the state the rows before it left, and checks every one.
void Check(const std::vector<Row>& rows);
// A process row judged by its exit code and, when given, a part of its output.
inline Row Ran(const std::wstring& line, DWORD code, const std::wstring& says = L"") {
    return {Via::Process, line, code, says, says.empty() ? Match::Any : Match::Has};
}
inline Row Sbx(const std::wstring& line, DWORD code = 0) { return {Via::Sbx, line, code, L"", Match::Any}; }
// A process row that fails with this exit code and says so on standard error.
inline Row Refused(const std::wstring& line, DWORD code, const std::wstring& says, Match match = Match::Exact) {
    return {Via::Refused, line, code, says, match};
}

// Records of "sbx log" for one tool, oldest first: time, tool, exit code, command line.
std::vector<std::vector<std::wstring>> LogOf(const std::wstring& tool);
// A path of that name in the prefix's temporary folder, for files a test writes.
std::wstring TempPath(const std::wstring& name);
// "store/name" per stored certificate, "+key" when its private key came with it, sorted and
// joined by blanks; name is the fixture's (root, inter, leaf) or else the thumbprint.
std::wstring Stores();

std::wstring AppcmdPath();  // as the application builds it: system folder + "\inetsrv\appcmd.exe"
std::wstring Fixture(const std::wstring& name);     // full path in the prefix
std::wstring Thumbprint(const std::wstring& name);  // as openssl computed it
std::wstring Password(const std::wstring& pfxName);
// A PFX import line with the password as one argument; the leaf's with its own password.
std::wstring PfxImport(const std::wstring& password, const std::wstring& file);
inline std::wstring LeafImport() { return PfxImport(Password(L"leaf"), Fixture(L"leaf.pfx")); }

}  // namespace sandbox::test
