#pragma once
// What must hold before a deployment runs a command: sites chosen, the server certificate's
// files there, a usable port, a thumbprint read from the PFX. The window and the console
// program ask these in the same order and render the same refusals.
#include <string>
#include <vector>

#include "certs/server_files.h"
#include "iis/inventory.h"
#include "support/machine.h"

namespace quillbay::iis {

enum class DeployRefusal {
    None,
    NoSite,              // nothing chosen
    OneSiteBelowIis8,    // HTTP.sys holds one certificate per address and port there
    NoPfx,
    NoPassword,
    BadPort,             // not a whole number 1..65535
    EmptyPassword,       // the password file holds no line
    PasswordUnreadable,  // the password file could not be read (failure below)
    NoThumbprint,        // the PFX does not open, or holds no certificate with its key
    NotInStore,          // the certificate is not in the machine's Personal store with its key
    StoreUnread,         // that store could not be read (failure below)
    BindingsUnlisted,    // HTTP.sys's bindings could not be listed (failure below): none could be put back
};

// The checks that read nothing but the choice and whether the files exist, in this order.
struct DeployChoice {
    std::vector<std::string> sites;
    std::string port;  // as typed
    bool iis8OrGreater = false;
};
DeployRefusal CheckDeployChoice(FileSystem& fs, const DeployChoice& choice, const certs::ServerFiles& files);

struct DeployThumbprint {
    DeployRefusal refusal = DeployRefusal::None;
    std::string thumbprint;  // 40 upper-case hexadecimal digits when there is no refusal
    FailureInfo failure;     // EmptyPassword, PasswordUnreadable, StoreUnread, BindingsUnlisted: logged under cmdDeploy_Click
    std::vector<SslCertBinding> current;  // what HTTP.sys holds before the run
};
// The thumbprint a deployment binds by (GetPfxThumbprint_API logs why there is none). Before
// anything is deleted, the certificate must be in the machine's Personal store with its key
// (else every add would fail and leave its endpoint empty), and HTTP.sys's bindings are read, so
// that a binding whose replacement fails can be put back.
DeployThumbprint ReadDeployThumbprint(Machine& machine, const certs::ServerFiles& files);

}  // namespace quillbay::iis
