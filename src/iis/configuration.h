#pragma once
// IIS's own configuration, read in place from the file IIS reads (never written): the sites
// with their bindings and the global modules, with names exact in every language and no tool
// run, however many sites there are.
#include <optional>
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::iis {

struct ConfiguredBinding {
    std::string protocol;
    std::string information;  // "address:port:host" for http and https
    int sslFlags = 0;         // 1: the host name is sent by SNI
};

struct ConfiguredSite {
    std::string name;  // a stopped site is listed as any other, as appcmd lists it
    std::vector<ConfiguredBinding> bindings;
    bool redirectRule = false;  // the deployment's HTTP-to-HTTPS rule is in its location
};

struct IisConfiguration {
    std::string path;  // the file it was read from
    std::vector<ConfiguredSite> sites;
    bool rewriteInstalled = false;  // RewriteModule among the global modules
};

// inetsrv\config\applicationHost.config, or the one in the folder redirection.config names when
// it enables a shared configuration. A redirection.config that cannot be read throws.
std::string ConfigurationPath(Machine& machine);
// The sites and modules of a parsed applicationHost.config; a document of another kind throws.
IisConfiguration ParseIisConfiguration(const XmlElement& root);
// Reads and parses the file; one that cannot be read or parsed throws, naming it.
IisConfiguration ReadIisConfiguration(Machine& machine);
// As ReadIisConfiguration, but a failure is logged under the procedure's name, saying that
// appcmd is asked instead, and gives none.
std::optional<IisConfiguration> ReadIisConfigurationOrLog(Machine& machine, const char* procedure);
// The site of this name, compared as IIS compares them (letter case aside); null when none.
const ConfiguredSite* FindSite(const IisConfiguration& configuration, const std::string& name);
// The bindings as appcmd prints them: "protocol/information" joined by commas.
std::string BindingsText(const ConfiguredSite& site);

}  // namespace quillbay::iis
