#include "certs/server_files.h"

#include "certs/chain_files.h"
#include "certs/inspect.h"
#include "certs/pfx_encryption.h"
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
    if (!password) throw NoPasswordLine(passwordPath);
    return *password;
}

std::string DeploymentThumbprint(Machine& machine, const ServerFiles& files) {
    return GetPfxThumbprint_API(machine, files.pfx, ReadServerPassword(machine.fs, files.password));
}

PfxRead ReadPfx(Machine& machine, const ServerFiles& files) {
    PfxRead read;
    if (!machine.fs.FileExists(files.pfx)) return read;
    read.state = PfxState::NoPassword;
    if (!machine.fs.FileExists(files.password)) return read;
    try {
        const std::string password = ReadServerPassword(machine.fs, files.password);
        if (const std::optional<int> build = AesPfxTooNew(machine, files)) {
            read.state = PfxState::AesTooNew;
            read.osBuild = *build;
            return read;
        }
        read.certificates = machine.pkcs12.Open(machine.fs.ReadBytes(files.pfx), password);
        read.state = PfxState::Opened;
    } catch (const NoPasswordLine&) {
        read.failure = CurrentFailure();
        read.state = PfxState::EmptyPassword;
    } catch (...) {
        read.failure = CurrentFailure();
        read.state = PfxState::NotOpened;
    }
    return read;
}

std::vector<ChainFileRead> ReadChainFiles(Machine& machine, const std::string& folder) {
    std::vector<ChainFileRead> files;
    if (!machine.fs.FolderExists(folder)) return files;
    for (const std::string& name : FindChainFiles(machine, folder)) {
        ChainFileRead file{name, {}, true, {}};
        try {
            for (const std::string& der : CertificateBlobs(machine.fs.ReadBytes(JoinPath(folder, name))))
                for (PfxCertificate& certificate : machine.pkcs12.DecodeCertificates(der))
                    file.certificates.push_back(std::move(certificate));
        } catch (...) {
            file.readable = false;
            file.failure = CurrentFailure();
        }
        files.push_back(std::move(file));
    }
    return files;
}

}  // namespace quillbay::certs
