#include "iis/bindings.h"

#include "iis/appcmd.h"
#include "iis/configuration.h"
#include "support/errors.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

std::string AppcmdBindingsText(Machine& machine, const std::string& appcmd, const std::string& siteName) {
    const ToolRun run = RunHiddenAndCapture(machine.shell, machine.log, ListSiteBindingsCommand(appcmd, siteName));
    // A failed query is no answer: its error text must not be read as bindings.
    if (!run.Succeeded())
        throw Failure(run.exitCode, "The bindings of site \"" + siteName + "\" could not be read: " + run.FirstLine());
    return run.output;
}

std::string SiteBindingsText(Machine& machine, const std::string& appcmd, const std::string& siteName) {
    const std::optional<IisConfiguration> configuration = ReadIisConfigurationOrLog(machine, "cmdDeploy_Click");
    if (!configuration) return AppcmdBindingsText(machine, appcmd, siteName);
    // A site deleted since it was listed is not one without host names.
    const ConfiguredSite* site = FindSite(*configuration, siteName);
    if (!site)
        throw Failure(kErrorNotFound,
                      "The site \"" + siteName + "\" is not in IIS's configuration (" + configuration->path + ").");
    return BindingsText(*site);
}

std::vector<std::string> SiteHostNames(Machine& machine, const std::string& appcmd, const std::string& siteName) {
    // A line break at the end of the tool's output never becomes part of a name, and
    // duplicates are recognised the same way for the list and for deployment.
    return CollectSiteHostNames(SiteBindingsText(machine, appcmd, siteName));
}

std::vector<std::string> CollectBindings(const std::string& bindingsText, const std::string& protocol) {
    std::vector<std::string> found;
    for (const std::string& piece : Split(bindingsText, ",")) {
        std::string entry;
        for (char c : piece)
            if (c != '\r' && c != '\n') entry += c;
        entry = TrimBlanks(entry);
        const std::size_t slash = entry.find('/');
        if (slash != std::string::npos && EqualsIgnoreCase(entry.substr(0, slash), protocol))
            found.push_back(entry.substr(slash + 1));
    }
    return found;
}

bool CollectionContains(const std::vector<std::string>& items, const std::string& value) {
    const std::string v = AsciiLower(value);
    for (const auto& item : items)
        if (AsciiLower(item) == v) return true;
    return false;
}

std::vector<std::string> CollectSiteHostNames(const std::string& bindingsText) {
    std::vector<std::string> hosts;
    if (bindingsText.empty()) return hosts;
    for (const std::string& piece : Split(bindingsText, ",")) {
        std::vector<std::string> fields = Split(TrimBlanks(piece), ":");
        if (fields.size() != 3) continue;
        std::string cleaned;
        for (char c : fields[2])
            if (c != '\r' && c != '\n' && c != '\t' && c != '\0') cleaned += c;
        const std::string host = TrimBlanks(cleaned);
        if (host.empty() || host == "*") continue;
        if (!CollectionContains(hosts, host)) hosts.push_back(host);
    }
    return hosts;
}

std::string FormatDomains(const std::vector<std::string>& hosts) {
    if (hosts.empty()) return "";
    std::string out = "(";
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (i) out += ", ";
        out += hosts[i];
    }
    return out + ")";
}

}  // namespace quillbay::iis
