#include "iis/redirect.h"

#include "support/command_line.h"
#include "support/errors.h"
#include "support/runner.h"

namespace quillbay::iis {

namespace {
constexpr const char* kProc = "ConfigureHttpToHttpsRedirect";
constexpr const char* kSection = " -section:system.webServer/rewrite/rules ";
constexpr const char* kCommit = " /commit:apphost";
}  // namespace

std::string RedirectCommand(const std::string& appcmd, const std::string& siteName, int which,
                            const std::string& port) {
    // The name is one argument by the platform's rules: quoted as written for ordinary
    // names, escaped where it holds a quote or ends in a backslash.
    std::string line = ProgramToken(appcmd) + " set config " + QuoteArg(siteName) + kSection;
    const std::string rule = "[name='" + std::string(kRedirectRuleName) + "']";
    switch (which) {
        case 0: line += "/-\"" + rule + "\""; break;
        case 1: line += "/+\"[name='" + std::string(kRedirectRuleName) + "',stopProcessing='True']\""; break;
        case 2: line += "\"/" + rule + ".match.url:(.*)\""; break;
        case 3: line += "/+\"" + rule + ".conditions.[input='{HTTPS}',pattern='^OFF$']\""; break;
        default:
            line += "\"/" + rule + ".action.type:Redirect\" \"/" + rule + ".action.url:https://{HTTP_HOST}" +
                    (port == "443" ? "" : ":" + port) + "{REQUEST_URI}\" \"/" + rule +
                    ".action.appendQueryString:False\"";
            break;
    }
    return line + kCommit;
}

bool NothingToRemove(std::int32_t exitCode) {
    return exitCode == kErrorNotFound || exitCode == -2147023728 || exitCode == 4312;
}

bool ConfigureHttpToHttpsRedirect(Machine& machine, const std::string& appcmd, const std::string& siteName,
                                  const std::string& port, bool add) {
    try {
        // An earlier rule of that name is replaced, never duplicated. Only its removal on its
        // own is judged: before an add, the add's own steps say whether the rule is right.
        const std::string removal = RedirectCommand(appcmd, siteName, 0, port);
        const Captured removed = machine.shell.RunTool(removal);
        if (!add) {
            if (removed.exitCode == 0 || NothingToRemove(removed.exitCode)) return true;
            machine.log.WriteErrorLog(kProc, removed.exitCode,
                                      WithToolWords("Failed to remove redirect rule for site '" + siteName + "' : " + removal,
                                                    removed.output));
            return false;
        }
        static const char* const kPrefixes[] = {"Failed to create redirect rule for site '",
                                                "Failed to set match URL for site '",
                                                "Failed to set conditions for site '",
                                                "Failed to set action for site '"};
        for (int step = 1; step <= 4; ++step) {
            const std::string line = RedirectCommand(appcmd, siteName, step, port);
            const Captured run = machine.shell.RunTool(line);
            if (run.exitCode != 0) {
                machine.log.WriteErrorLog(kProc, run.exitCode,
                                          WithToolWords(kPrefixes[step - 1] + siteName + "'" + " : " + line, run.output));
                return false;
            }
        }
        return true;
    } catch (...) {
        const FailureInfo f = CurrentFailure();
        machine.log.WriteErrorLog(kProc, f.number, f.description);
        return false;
    }
}

}  // namespace quillbay::iis
