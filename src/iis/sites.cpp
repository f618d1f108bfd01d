#include "iis/sites.h"

#include "iis/appcmd.h"
#include "iis/bindings.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::iis {

SiteList ListSites(Machine& machine, Progress& progress) {
    const std::string appcmd = AppcmdPath(machine.fs);
    if (!machine.fs.FileExists(appcmd)) return {SiteListStatus::NoIis, {}};

    progress.Report({"MsgBox_LoadingIIS"});
    const std::string output =
        RunHiddenAndCapture(machine.shell, machine.fs, machine.log, ListSiteNamesCommand(appcmd));
    if (TrimBlanks(output).empty()) return {SiteListStatus::NoOutput, {}};

    SiteList list{SiteListStatus::Listed, {}};
    for (const std::string& line : Split(output, "\r\n")) {
        std::string name = TrimBlanks(line);
        if (name.empty()) continue;
        std::vector<std::string> hosts = SiteHostNames(machine, appcmd, name);
        list.sites.push_back({std::move(name), std::move(hosts)});
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
        return ContainsIgnoreCase(RunHiddenAndCapture(machine.shell, machine.fs, machine.log, kRewriteModuleCommand),
                                  "RewriteModule");
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog("CheckRewriteModuleInstalled", f.number, f.description);
        return false;
    }
}

}  // namespace quillbay::iis
