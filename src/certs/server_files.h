#pragma once
// The server certificate's files: fullchain.pfx and password.txt beside the program, unless
// the console program was given other paths. The window and the console read them alike.
#include <string>
#include <vector>

#include "support/errors.h"
#include "support/machine.h"

namespace quillbay::certs {

struct ServerFiles {
    std::string pfx;
    std::string password;
};
ServerFiles DefaultServerFiles(Host& host);

// A password file that holds no line: there is no password to open the PFX with.
class NoPasswordLine : public Failure {
public:
    explicit NoPasswordLine(const std::string& path)
        : Failure(kErrorHandleEof, "The password file holds no password: " + path) {}
};

// The password file's first line. A file that holds no line throws NoPasswordLine; a missing
// or unreadable one its own failure.
std::string ReadServerPassword(FileSystem& fs, const std::string& passwordPath);

// The thumbprint a deployment binds by: the PFX opened with the password file's first line.
// "" when the PFX holds no certificate with its key or does not open (logged by
// GetPfxThumbprint_API); the password file's failures are thrown as ReadServerPassword throws them.
std::string DeploymentThumbprint(Machine& machine, const ServerFiles& files);

// The PFX opened with its password, as the import and the deployment will open it.
// AesTooNew: encrypted with AES on a release that cannot read that (it is not opened: the
// platform would blame the password).
enum class PfxState { Opened, NoPfx, NoPassword, EmptyPassword, NotOpened, AesTooNew };
struct PfxRead {
    PfxState state = PfxState::NoPfx;
    FailureInfo failure;  // NotOpened: why (a wrong password, a damaged file, an unreadable one)
    int osBuild = 0;      // AesTooNew: the system's build
    std::vector<PfxCertificate> certificates;
};
PfxRead ReadPfx(Machine& machine, const ServerFiles& files);

// The certificates of the chain folder's files, each file read and decoded on its own.
struct ChainFileRead {
    std::string name;
    std::vector<PfxCertificate> certificates;
    bool readable = true;
    FailureInfo failure;  // when not readable
};
// The chain files of the folder in the chain list's order; none when the folder is not there.
std::vector<ChainFileRead> ReadChainFiles(Machine& machine, const std::string& folder);

}  // namespace quillbay::certs
