#include "certs/server_files.h"

#include "certs/thumbprint.h"
#include "support/password_file.h"
#include "support/paths.h"

namespace quillbay::certs {

ServerFiles DefaultServerFiles(Host& host) {
    const std::string base = WithTrailingBackslash(host.AppFolder());
    return {base + "fullchain.pfx", base + "password.txt"};
}

std::string ReadServerPassword(FileSystem& fs, const std::string& passwordPath) {
    const std::optional<std::string> password = ReadPasswordFile(fs, passwordPath);
    if (!password) throw Failure(62, "Input past end of file");
    return *password;
}

std::string DeploymentThumbprint(Machine& machine, const ServerFiles& files) {
    return GetPfxThumbprint_API(machine, files.pfx, ReadServerPassword(machine.fs, files.password));
}

}  // namespace quillbay::certs
