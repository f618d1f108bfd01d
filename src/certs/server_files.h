#pragma once
// The server certificate's files: fullchain.pfx and password.txt beside the program, unless
// the console program was given other paths. The window and the console read them alike.
#include <string>

#include "support/machine.h"

namespace quillbay::certs {

struct ServerFiles {
    std::string pfx;
    std::string password;
};
ServerFiles DefaultServerFiles(Host& host);

// The password file's first line. A file that holds no line fails as reading past its end
// does (62, "Input past end of file"); a missing or unreadable one with its own failure.
std::string ReadServerPassword(FileSystem& fs, const std::string& passwordPath);

// The thumbprint a deployment binds by: the PFX opened with the password file's first line.
// "" when the PFX holds no certificate with its key or does not open (logged by
// GetPfxThumbprint_API); a password file without a line throws as ReadServerPassword does.
std::string DeploymentThumbprint(Machine& machine, const ServerFiles& files);

}  // namespace quillbay::certs
