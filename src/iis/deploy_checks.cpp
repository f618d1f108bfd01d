#include "iis/deploy_checks.h"

#include <algorithm>

#include "iis/deploy.h"
#include "support/text.h"

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

namespace {

void ConfirmBeforeChanges(Machine& machine, DeployThumbprint& read) {
    std::vector<PfxCertificate> store;
    try {
        store = machine.pkcs12.PersonalCertificates();
    } catch (const Failure& f) {
        read.refusal = DeployRefusal::StoreUnread;
        read.failure = {f.number(), f.description()};
        machine.log.WriteErrorLog("cmdDeploy_Click", f.number(), "The Personal store could not be read: " + f.description() +
                                                                     "; nothing was changed");
        return;
    }
    try {
        const bool there = std::any_of(store.begin(), store.end(), [&](const PfxCertificate& c) {
            return c.hasPrivateKey && UpperHex(c.sha1) == read.thumbprint;
        });
        if (!there) {
            read.refusal = DeployRefusal::NotInStore;
            machine.log.WriteErrorLog("cmdDeploy_Click", 0,
                                      "The certificate " + read.thumbprint +
                                          " is not in the machine's Personal store with its private key; nothing was changed");
            return;
        }
        read.current = ListSslCertBindings(machine);
    } catch (const Failure& f) {
        read.refusal = DeployRefusal::BindingsUnlisted;
        read.failure = {f.number(), f.description()};
        machine.log.WriteErrorLog("cmdDeploy_Click", f.number(), f.description() + "; nothing was changed");
    }
}

}  // namespace

DeployThumbprint ReadDeployThumbprint(Machine& machine, const certs::ServerFiles& files) {
    DeployThumbprint read;
    try {
        read.thumbprint = certs::DeploymentThumbprint(machine, files);
        if (read.thumbprint.empty()) read.refusal = DeployRefusal::NoThumbprint;
        else ConfirmBeforeChanges(machine, read);
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
