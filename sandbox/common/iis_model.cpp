#include "common/iis_model.h"

#include "common/apphost.h"
#include "common/text.h"

namespace sandbox {

namespace {
const wchar_t kFile[] = L"iis.tsv";

RewriteRule* FindRule(std::vector<RewriteRule>& rules, std::wstring_view site, std::wstring_view name) {
    for (RewriteRule& rule : rules)
        if (EqualsNoCase(rule.site, site) && EqualsNoCase(rule.name, name)) return &rule;
    return nullptr;
}
}  // namespace

IisConfig IisConfig::Load() {
    IisConfig config;
    for (Record& record : ReadRecords(StatePath(kFile))) {
        const std::wstring& kind = record[0];
        auto field = [&record](size_t i) { return i < record.size() ? record[i] : std::wstring(); };
        if (kind == L"site" && record.size() >= 4) {
            Site site;
            site.id = static_cast<unsigned>(wcstoul(record[1].c_str(), nullptr, 10));
            site.name = record[2];
            site.state = record[3];
            config.sites.push_back(std::move(site));
        } else if (kind == L"binding" && record.size() >= 4) {
            unsigned id = static_cast<unsigned>(wcstoul(record[1].c_str(), nullptr, 10));
            for (Site& site : config.sites)
                if (site.id == id) site.bindings.push_back({record[2], record[3], field(4).empty() ? L"0" : field(4)});
        } else if (kind == L"module" && record.size() >= 2) {
            config.modules.push_back({record[1], field(2), field(3)});
        } else if (kind == L"rule" && record.size() >= 3) {
            RewriteRule rule;
            rule.site = record[1];
            rule.name = record[2];
            rule.stopProcessing = field(3);
            rule.matchUrl = field(4);
            rule.actionType = field(5);
            rule.actionUrl = field(6);
            rule.appendQueryString = field(7);
            config.rules.push_back(std::move(rule));
        } else if (kind == L"condition" && record.size() >= 5) {
            if (RewriteRule* rule = FindRule(config.rules, record[1], record[2]))
                rule->conditions.push_back({record[3], record[4]});
        } else {
            config.unknown.push_back(std::move(record));
        }
    }
    return config;
}

bool IisConfig::Save() const { return SaveRecords() && WriteApplicationHostConfig(*this); }

bool IisConfig::SaveRecords() const {
    std::vector<Record> records;
    for (const Site& site : sites) {
        records.push_back({L"site", std::to_wstring(site.id), site.name, site.state});
        for (const Binding& binding : site.bindings)
            records.push_back({L"binding", std::to_wstring(site.id), binding.protocol, binding.information,
                               binding.sslFlags});
    }
    for (const Module& module : modules) records.push_back({L"module", module.name, module.type, module.preCondition});
    for (const RewriteRule& rule : rules) {
        records.push_back({L"rule", rule.site, rule.name, rule.stopProcessing, rule.matchUrl, rule.actionType,
                           rule.actionUrl, rule.appendQueryString});
        for (const RewriteCondition& condition : rule.conditions)
            records.push_back({L"condition", rule.site, rule.name, condition.input, condition.pattern});
    }
    records.insert(records.end(), unknown.begin(), unknown.end());
    CreateDirectories(StateDirectory());
    return WriteRecords(StatePath(kFile), records);
}

Site* IisConfig::FindSite(std::wstring_view name) {
    for (Site& site : sites)
        if (EqualsNoCase(site.name, name)) return &site;
    return nullptr;
}

const Site* IisConfig::FindSite(std::wstring_view name) const {
    for (const Site& site : sites)
        if (EqualsNoCase(site.name, name)) return &site;
    return nullptr;
}

const Module* IisConfig::FindModule(std::wstring_view name) const {
    for (const Module& module : modules)
        if (EqualsNoCase(module.name, name)) return &module;
    return nullptr;
}

unsigned IisConfig::NextSiteId() const {
    unsigned next = 1;
    for (const Site& site : sites)
        if (site.id >= next) next = site.id + 1;
    return next;
}

std::wstring BindingsText(const Site& site) {
    std::wstring text;
    for (const Binding& binding : site.bindings) {
        if (!text.empty()) text += L',';
        text += binding.protocol + L"/" + binding.information;
    }
    return text;
}

bool ParseBindingsText(std::wstring_view text, std::vector<Binding>& bindings) {
    bindings.clear();
    if (Trim(text).empty()) return true;
    for (const std::wstring& entry : Split(text, L',')) {
        size_t slash = entry.find(L'/');
        if (slash == std::wstring::npos || slash == 0) return false;
        bindings.push_back({entry.substr(0, slash), entry.substr(slash + 1), L"0"});
    }
    return true;
}

DWORD IisMajorVersion() {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\InetStp", L"MajorVersion", RRF_RT_REG_DWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS)
        return 10;
    return value;
}

// The one quoted answer (microsoft/azure-pipelines-extensions#677, an appcmd "set site
// /+bindings.[...]" of an existing binding, exit code 183):
//   ERROR ( message:New binding object missing required attributes. Cannot add duplicate collection
//   entry of type 'binding' with combined key attributes 'protocol, bindingInformation' respectively
//   set to 'http, *:80:www.example.com'
//   <empty line>
//   . )
// The configuration system's message ends in CR LF CR LF (the same text reached through
// Microsoft.Web.Administration, as the tests of jexuswebserver's IIS manager quote it), which is the
// empty line. Other collections follow the same form with their element's name and, for a single
// key, "with unique key attribute 'name' set to 'value'" (Microsoft KB 949349).
std::wstring DuplicateEntryMessage(std::wstring_view element, std::wstring_view keyText) {
    return L"New " + std::wstring(element) + L" object missing required attributes. Cannot add duplicate collection entry of type '" +
           std::wstring(element) + L"' with " + std::wstring(keyText) + L"\r\n\r\n.";
}

bool SameBinding(const Binding& a, const Binding& b) {
    return EqualsNoCase(a.protocol, b.protocol) && EqualsNoCase(a.information, b.information);
}

}  // namespace sandbox
