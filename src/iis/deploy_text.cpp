#include "iis/deploy_text.h"

#include "lang/store.h"

namespace quillbay::iis {

using lang::GetLangString;

std::string EntryFailureText(const std::string& site, const EntryResult& entry) {
    const std::string label = entry.Wildcard() ? GetLangString("lblStatus_DomainWildcard") : entry.entry;
    switch (entry.status) {
        case EntryStatus::AppcmdFailed:
            return GetLangString("MsgBox_Deploy_AppCmdFailed") + site + GetLangString("MsgBox_Deploy_AppCmdFailed_Error") +
                   label + GetLangString("MsgBox_Deploy_AppCmdFailed_CheckLog");
        case EntryStatus::BindingsUnread:
            return GetLangString("MsgBox_Deploy_BindingsUnread") + site + GetLangString("MsgBox_Deploy_BindingsUnread_End");
        default:  // netsh refused the binding, or the host name cannot be bound
            return GetLangString("MsgBox_Deploy_NetshFailed") + site + GetLangString("MsgBox_Deploy_NetshFailed_Error") +
                   label + GetLangString("MsgBox_Deploy_NetshFailed_CheckLog");
    }
}

std::string RedirectFailureText(const std::string& site, bool adding) {
    const std::string key = adding ? "MsgBox_Deploy_HttpRedirectFailed" : "MsgBox_Deploy_HttpRedirectDisableFailed";
    return GetLangString(key) + site + GetLangString(key + (adding ? "_CheckModule" : "_CheckIIS"));
}

}  // namespace quillbay::iis
