#include "iis/sites.h"

#include "iis/appcmd.h"
#include "iis/bindings.h"
#include "iis/configuration.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

SiteList ListSites(Machine& machine, Progress& progress) {
    const std::string appcmd = AppcmdPath(machine.fs);
    if (!machine.fs.FileExists(appcmd)) return {SiteListStatus::NoIis, {}};

    progress.Report({"MsgBox_LoadingIIS"});
    if (const std::optional<IisConfiguration> configuration = ReadIisConfigurationOrLog(machine, "PopulateSitesList")) {
        // What appcmd would print, read from what it reads: the same list without a tool run.
        SiteList list{configuration->sites.empty() ? SiteListStatus::NoOutput : SiteListStatus::Listed, {}};
        for (const ConfiguredSite& configured : configuration->sites) {
            const std::string bindings = BindingsText(configured);
            list.sites.push_back({configured.name, CollectSiteHostNames(bindings), true, CollectBindings(bindings, "https"),
                                  CollectBindings(bindings, "http"), configured.redirectRule});
        }
        return list;
    }
    const ToolRun run = RunHiddenAndCapture(machine.shell, machine.log, ListSiteNamesCommand(appcmd));
    // Only a listing that succeeded names sites; an error text is not a list of them.
    if (!run.Succeeded()) throw Failure(run.exitCode, "The sites could not be listed: " + run.FirstLine());
    const std::string& output = run.output;
    if (TrimBlanks(output).empty()) return {SiteListStatus::NoOutput, {}};

    SiteList list{SiteListStatus::Listed, {}};
    for (const std::string& line : Split(output, "\r\n")) {
        std::string name = TrimBlanks(line);
        if (name.empty()) continue;
        Site site{name, {}, true};
        try {
            const std::string bindings = AppcmdBindingsText(machine, appcmd, name);
            site.hostNames = CollectSiteHostNames(bindings);
            site.httpsBindings = CollectBindings(bindings, "https");
            site.httpBindings = CollectBindings(bindings, "http");
        } catch (const Failure& f) {
            // One site appcmd cannot answer for (a name the code page could not carry, say)
            // stays in the list, known to have unread bindings; the others are not lost.
            site.bindingsRead = false;
            machine.log.WriteErrorLog("PopulateSitesList", f.number(), f.description());
        }
        list.sites.push_back(std::move(site));
        // Once per site, so that a window stays responsive on a server with hundreds of them.
        progress.Report({"MsgBox_LoadingIIS"});
    }
    return list;
}

std::string SiteListText(const Site& site) {
    const std::string domains = FormatDomains(site.hostNames);
    return domains.empty() ? site.name : site.name + " " + domains;
}

bool IsRewriteModuleInstalled(Machine& machine) {
    try {
        // An unknown module is answered with an error line that names it too: only a listed
        // module counts, and only from a query that succeeded.
        const std::string appcmd = AppcmdPath(machine.fs);
        if (!machine.fs.FileExists(appcmd)) return false;  // no IIS: nothing to ask
        if (const auto configuration = ReadIisConfigurationOrLog(machine, "CheckRewriteModuleInstalled"))
            return configuration->rewriteInstalled;
        const ToolRun run = RunHiddenAndCapture(machine.shell, machine.log, RewriteModuleCommand(appcmd));
        if (!run.Succeeded()) return false;
        for (const std::string& line : Split(run.output, "\n"))
            if (line.rfind("MODULE \"RewriteModule\"", 0) == 0) return true;
        return false;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("CheckRewriteModuleInstalled", f.number, f.description);
        return false;
    }
}

}  // namespace quillbay::iis
