#pragma once
// The pre-flight check: what a deployment of the server certificate would meet, found without
// changing anything. Each finding is a level, a code and the details its text names; the
// console program renders them, the renewal acts on them.
#include <cstdint>
#include <string>
#include <vector>

#include "certs/server_files.h"

namespace quillbay::certs {

enum class Level { Ok, Info, Warning, Error };

enum class Check {
    // the server certificate's files; details: the file's path
    PfxMissing, PasswordMissing, PasswordEmpty,
    PfxNotOpened,         // the failure's number, its description
    PfxAesTooNew,         // the system's build; the PFX is encrypted with AES
    NoServerCertificate,  // none
    PfxOpened,            // subject, thumbprint
    // its validity
    Valid, ExpiresSoon,   // not after, days left
    Expired,              // not after
    NotYetValid,          // not before
    // its chain
    NoChainFiles,         // the chain folder
    ChainFileUnreadable,  // the file's name, the failure's number
    ChainComplete,        // the path from the certificate up
    ChainIncomplete,      // the path as far as it goes, the issuer nothing names
    RootUntrusted,        // the root's subject
    // the sites; details: the site first
    NoIis,                // none
    SitesUnlisted,        // the failure's description
    UnknownSite, BindingsUnread, NoHostNames,
    HostSkipped, HostCovered,  // site, host
    HostNotCovered,            // site, host, the certificate's DNS names
    // the program folder
    FolderReparsePoint,  // the path
    FolderWritable,      // the path, then the two commands that restrict the folder by hand
    SecretReadable,      // the path
    // the TLS profile an import would set
    TlsReenabled,        // the protocols Compatible would switch back on, joined
};

struct Finding {
    Level level = Level::Ok;
    Check check = Check::PfxOpened;
    std::vector<std::string> details;  // in the order the comments above give them
    std::string site = {};
    std::string host = {};
};

// A problem of the PFX that stops any use of it (its files, its password, a server
// certificate with its key); none when it opened and holds one.
std::vector<Finding> CheckPfx(const PfxRead& pfx, const ServerFiles& files);

// The PFX, then the server certificate's validity at `now` and its chain through the PFX and
// the chain files (a file that cannot be read is a warning; no chain file at all an error). A
// chain that ends in a root the machine does not trust is a warning: the import adds no root.
std::vector<Finding> CheckServerCertificate(const PfxRead& pfx, const ServerFiles& files,
                                            const std::vector<ChainFileRead>& chain, const std::string& chainFolder,
                                            std::int64_t now, Pkcs12& trust);

// A site as the check sees it.
struct SiteHosts {
    std::string name;
    std::vector<std::string> hostNames;
    bool bindingsRead = true;
};
// Each site's host names against the server certificate (null: the PFX did not open, so only
// what the deployment would skip is found).
std::vector<Finding> CheckSiteHosts(const std::vector<SiteHosts>& sites, const PfxCertificate* server);

// How many findings of each level: ok, info, warning, error.
struct LevelCounts {
    int counts[4] = {0, 0, 0, 0};
    int Of(Level level) const { return counts[static_cast<int>(level)]; }
};
LevelCounts CountLevels(const std::vector<Finding>& findings);

}  // namespace quillbay::certs
