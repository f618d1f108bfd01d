// tls --show: the audit of the machine's TLS settings against the profiles; changes nothing.
#include "certs/tls_profiles.h"
#include "cli/common.h"

namespace quillbay::cli {

using lang::GetLangString;

namespace {

constexpr const char* kProfileKeys[] = {"TlsProfile_Compatible", "TlsProfile_Modern", "TlsProfile_Unchanged"};
constexpr const char* kProfileNames[] = {"compatible", "modern", "unchanged"};

json::Value Optional(const std::optional<std::string>& text) { return text ? json::Value(*text) : json::Value(); }

std::string Shown(const std::optional<std::string>& text, const char* absent) {
    return text ? *text : GetLangString(absent);
}

}  // namespace

Outcome RunTls(Machine& machine, Console&, const Options&) {
    const certs::TlsAudit audit = certs::AuditTls(machine);
    Outcome out;
    json::Value values = json::Value::Array();
    for (const certs::TlsAuditRow& r : audit.rows) {
        values.Add(json::Value::Object()
                       .Set("key", r.value.key)
                       .Set("name", r.value.name)
                       .Set("type", r.value.type)
                       .Set("current", Optional(r.current))
                       .Set("compatible", Optional(r.compatible))
                       .Set("modern", Optional(r.modern)));
        out.text += Line(Say("Cli_Tls_Value", {r.value.key, r.value.name, Shown(r.current, "Cli_Tls_NotSet"),
                                               Shown(r.compatible, "Cli_Tls_LeftAlone"), Shown(r.modern, "Cli_Tls_LeftAlone")}));
    }
    const std::optional<certs::TlsProfile> matches = audit.Matches();
    out.json.Set("osBuild", audit.osBuild).Set("values", values);
    out.json.Set("differ", json::Value::Object().Set("compatible", audit.compatibleDiffers).Set("modern", audit.modernDiffers));
    out.json.Set("matches", matches ? json::Value(kProfileNames[static_cast<int>(*matches)]) : json::Value());
    out.text += Line(Say("Cli_Tls_Summary", {std::to_string(audit.compatibleDiffers), std::to_string(audit.modernDiffers),
                                             std::to_string(audit.osBuild)}));
    if (matches) out.text += Line(Say("Cli_Tls_Matches", {GetLangString(kProfileKeys[static_cast<int>(*matches)])}));
    out.exitCode = matches ? kDone : kPartlyDone;
    return out;
}

}  // namespace quillbay::cli
