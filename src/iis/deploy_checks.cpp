#include "iis/deploy_checks.h"

#include "iis/deploy.h"

namespace quillbay::iis {

DeployRefusal CheckDeployChoice(FileSystem& fs, const DeployChoice& choice, const certs::ServerFiles& files) {
    if (choice.sites.empty()) return DeployRefusal::NoSite;
    if (!choice.iis8OrGreater && choice.sites.size() > 1) return DeployRefusal::OneSiteBelowIis8;
    if (!fs.FileExists(files.pfx)) return DeployRefusal::NoPfx;
    if (!fs.FileExists(files.password)) return DeployRefusal::NoPassword;
    // The port goes into every command: a value left from elsewhere is refused before any runs.
    if (!ParsePort(choice.port)) return DeployRefusal::BadPort;
    return DeployRefusal::None;
}

DeployThumbprint ReadDeployThumbprint(Machine& machine, const certs::ServerFiles& files) {
    DeployThumbprint read;
    try {
        read.thumbprint = certs::DeploymentThumbprint(machine, files);
        if (read.thumbprint.empty()) read.refusal = DeployRefusal::NoThumbprint;
        return read;
    } catch (const certs::NoPasswordLine&) {
        read.refusal = DeployRefusal::EmptyPassword;
        read.failure = CurrentFailure();
    } catch (...) {
        read.refusal = DeployRefusal::PasswordUnreadable;
        read.failure = CurrentFailure();
    }
    machine.log.WriteErrorLog("cmdDeploy_Click", read.failure.number, read.failure.description);
    return read;
}

}  // namespace quillbay::iis
