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
        const std::int32_t removed = machine.shell.Run(removal, WindowStyle::Hidden, true);
        if (!add) {
            if (removed == 0 || NothingToRemove(removed)) return true;
            machine.log.WriteErrorLog(kProc, removed, "Failed to remove redirect rule for site '" + siteName + "' : " + removal);
            return false;
        }
        static const char* const kPrefixes[] = {"Failed to create redirect rule for site '",
                                                "Failed to set match URL for site '",
                                                "Failed to set conditions for site '",
                                                "Failed to set action for site '"};
        for (int step = 1; step <= 4; ++step) {
            const std::string line = RedirectCommand(appcmd, siteName, step, port);
            const std::int32_t code = machine.shell.Run(line, WindowStyle::Hidden, true);
            if (code != 0) {
                machine.log.WriteErrorLog(kProc, code, kPrefixes[step - 1] + siteName + "'" + " : " + line);
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
