#include "iis/configuration.h"

#include "iis/redirect.h"
#include "support/errors.h"
#include "support/paths.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

namespace {

bool IsTrue(const std::optional<std::string>& value) { return value && EqualsIgnoreCase(TrimBlanks(*value), "true"); }

int Number(const std::optional<std::string>& value) {
    int n = 0;
    for (char c : value.value_or(""))
        if (c >= '0' && c <= '9' && n < 100000) n = n * 10 + (c - '0');
    return n;
}

ConfiguredSite SiteOf(const XmlElement& element) {
    ConfiguredSite site{element.Attribute("name").value_or(""), {}};
    if (const XmlElement* bindings = element.Child("bindings"))
        for (const XmlElement& binding : bindings->children) {
            if (binding.name == "clear") site.bindings.clear();
            if (binding.name != "binding") continue;
            site.bindings.push_back({binding.Attribute("protocol").value_or(""),
                                     binding.Attribute("bindingInformation").value_or(""),
                                     Number(binding.Attribute("sslFlags"))});
        }
    return site;
}

// add, remove and clear, in order, as the configuration system merges a collection.
bool ModuleListed(const XmlElement* modules, const std::string& name) {
    bool listed = false;
    if (!modules) return false;
    for (const XmlElement& entry : modules->children) {
        if (entry.name == "clear") listed = false;
        if ((entry.name == "add" || entry.name == "remove") && EqualsIgnoreCase(entry.Attribute("name").value_or(""), name))
            listed = entry.name == "add";
    }
    return listed;
}

std::string Described(const Failure& f, const std::string& path) {
    return "IIS's configuration could not be read from " + path + ": " + f.description();
}

}  // namespace

std::string ConfigurationPath(Machine& machine) {
    const std::string folder = SystemProgram(machine.fs, "inetsrv\\config");
    const std::string redirection = JoinPath(folder, "redirection.config");
    if (machine.fs.FileExists(redirection)) {
        const XmlElement root = machine.xml.Parse(machine.fs.ReadBytes(redirection));
        const XmlElement* redirect = root.Child("configurationRedirection");
        if (redirect && IsTrue(redirect->Attribute("enabled")))
            return JoinPath(TrimBlanks(redirect->Attribute("path").value_or("")), "applicationHost.config");
    }
    return JoinPath(folder, "applicationHost.config");
}

IisConfiguration ParseIisConfiguration(const XmlElement& root) {
    if (root.name != "configuration") throw Failure(kErrorBadFormat, "The document is not an IIS configuration.");
    IisConfiguration configuration;
    if (const XmlElement* sites = root.Find("system.applicationHost/sites"))
        for (const XmlElement& element : sites->children)
            if (element.name == "site") configuration.sites.push_back(SiteOf(element));
    configuration.rewriteInstalled = ModuleListed(root.Find("system.webServer/globalModules"), "RewriteModule");
    for (const XmlElement& location : root.children) {
        const XmlElement* rules = location.Find("system.webServer/rewrite/rules");
        if (location.name != "location" || !rules) continue;
        for (ConfiguredSite& site : configuration.sites)
            if (EqualsIgnoreCase(site.name, location.Attribute("path").value_or("")))
                for (const XmlElement& rule : rules->children)
                    site.redirectRule = site.redirectRule || (rule.name == "rule" && rule.Attribute("name") == kRedirectRuleName);
    }
    return configuration;
}

IisConfiguration ReadIisConfiguration(Machine& machine) {
    std::string path = "redirection.config";
    try {
        path = ConfigurationPath(machine);
        IisConfiguration configuration = ParseIisConfiguration(machine.xml.Parse(machine.fs.ReadBytes(path)));
        configuration.path = path;
        return configuration;
    } catch (const Failure& f) {
        throw Failure(f.number(), Described(f, path));
    }
}

std::optional<IisConfiguration> ReadIisConfigurationOrLog(Machine& machine, const char* procedure) {
    try {
        return ReadIisConfiguration(machine);
    } catch (const Failure& f) {
        machine.log.WriteErrorLog(procedure, f.number(), f.description() + "; appcmd is asked instead");
        return std::nullopt;
    }
}

const ConfiguredSite* FindSite(const IisConfiguration& configuration, const std::string& name) {
    for (const ConfiguredSite& site : configuration.sites)
        if (EqualsIgnoreCase(site.name, name)) return &site;
    return nullptr;
}

std::string BindingsText(const ConfiguredSite& site) {
    std::string text;
    for (const ConfiguredBinding& binding : site.bindings)
        text += (text.empty() ? "" : ",") + binding.protocol + "/" + binding.information;
    return text;
}

}  // namespace quillbay::iis
