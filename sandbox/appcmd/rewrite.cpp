#include "appcmd/rewrite.h"

#include "common/text.h"

namespace sandbox::appcmd {

namespace {

const wchar_t kSection[] = L"system.webServer/rewrite/rules";

RewriteOutcome Fail(std::wstring_view message, DWORD code) {
    return {L"ERROR ( message:" + std::wstring(message) + L" )\r\n", code};
}

bool Boolean(std::wstring_view text, std::wstring& normalised) {
    if (EqualsNoCase(text, L"true")) normalised = L"true";
    else if (EqualsNoCase(text, L"false")) normalised = L"false";
    else return false;
    return true;
}

RewriteRule* Find(IisConfig& config, std::wstring_view site, std::wstring_view name) {
    for (RewriteRule& rule : config.rules)
        if (EqualsNoCase(rule.site, site) && EqualsNoCase(rule.name, name)) return &rule;
    return nullptr;
}

// The section exists only where the URL Rewrite module is installed (its schema file declares it).
//
// What the real tool answers for a section its schema does not know is quoted nowhere in the
// material available to us; the text follows appcmd's answer to an unknown attribute ("Unknown
// attribute "x".  Replace with -? for help."). The exit code 13 (ERROR_INVALID_DATA) is the closest
// documented behaviour: the configuration system fails a section it cannot read with 0x8007000D
// (wixtoolset/issues#3907, "Error 0x8007000d: Failed get sites section"), and appcmd exits with the
// Win32 part of the HRESULT it failed with (183 for 0x800700B7, see DuplicateEntryMessage).
constexpr DWORD kUnknownSection = ERROR_INVALID_DATA;

// A configuration path naming no site: the configuration system cannot map
// MACHINE/WEBROOT/APPHOST/<name> and says "Unrecognized configuration path '...'" (the answer that
// PowerShell's IIS provider passes on, as a FileNotFoundException, in
// dsccommunity/WebAdministrationDsc#164 and Esri/arcgis-powershell-dsc#403). appcmd shows such
// configuration errors as "Configuration error", "Filename:", "Line Number:", "Description:" lines
// (NuGet/NuGetGallery#4127), each ended by its CR CR LF. The exit code 2 is the Win32 part of
// 0x80070002, the HRESULT behind a FileNotFoundException; no quoted run of appcmd shows it.
constexpr DWORD kUnrecognizedPath = ERROR_FILE_NOT_FOUND;

RewriteOutcome CheckSection(const IisConfig& config, const Command& command, std::wstring& site) {
    if (command.options.section.empty())
        return Fail(L"Must specify the CONFIG object with the \"-section\" parameter.", ERROR_INVALID_PARAMETER);
    if (!EqualsNoCase(command.options.section, kSection) || !config.FindModule(L"RewriteModule"))
        return Fail(L"Unknown config section \"" + command.options.section + L"\".  Replace with ? for help.",
                    kUnknownSection);
    site = command.identifier;
    if (site.empty())
        return Fail(L"The sandbox host simulates rewrite rules at the level of a site only; name the site.",
                    ERROR_NOT_SUPPORTED);
    if (const Site* found = config.FindSite(site))
        site = found->name;
    else
        return Fail(L"Configuration error\r\r\nFilename: \r\r\nLine Number: 0\r\r\nDescription: Unrecognized configuration path "
                    L"'MACHINE/WEBROOT/APPHOST/" + site + L"'\r\r\n.",
                    kUnrecognizedPath);
    return {};
}

RewriteOutcome SetProperty(RewriteRule& rule, std::wstring_view path, const std::wstring& value) {
    std::wstring normalised;
    if (EqualsNoCase(path, L"stopProcessing")) {
        if (!Boolean(value, normalised)) return Fail(L"Invalid value for attribute \"stopProcessing\".", ERROR_INVALID_DATA);
        rule.stopProcessing = normalised;
    } else if (EqualsNoCase(path, L"match.url")) {
        rule.matchUrl = value;
    } else if (EqualsNoCase(path, L"action.type")) {
        for (const wchar_t* type : {L"None", L"Rewrite", L"Redirect", L"CustomResponse", L"AbortRequest"})
            if (EqualsNoCase(value, type)) normalised = type;
        if (normalised.empty()) return Fail(L"Invalid value for attribute \"type\".", ERROR_INVALID_DATA);
        rule.actionType = normalised;
    } else if (EqualsNoCase(path, L"action.url")) {
        rule.actionUrl = value;
    } else if (EqualsNoCase(path, L"action.appendQueryString")) {
        if (!Boolean(value, normalised))
            return Fail(L"Invalid value for attribute \"appendQueryString\".", ERROR_INVALID_DATA);
        rule.appendQueryString = normalised;
    } else {
        size_t dot = path.find_last_of(L'.');
        return Fail(L"Unknown attribute \"" + std::wstring(dot == std::wstring_view::npos ? path : path.substr(dot + 1)) +
                        L"\".  Replace with -? for help.",
                    ERROR_INVALID_PARAMETER);
    }
    return {};
}

RewriteOutcome Apply(IisConfig& config, const std::wstring& site, const Parameter& p) {
    Indexer indexer;
    size_t consumed = 0;
    if (!ParseIndexer(p.name, indexer, consumed)) return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    std::wstring name;
    for (const auto& [key, value] : indexer.attributes)
        if (EqualsNoCase(key, L"name")) name = value;
    if (name.empty()) return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    std::wstring_view tail = std::wstring_view(p.name).substr(consumed);
    RewriteRule* rule = Find(config, site, name);

    if (tail.empty()) {
        if (p.op == L'+') {
            // The rules collection has one key, the rule's name (compared without regard to case).
            if (rule)
                return Fail(DuplicateEntryMessage(L"rule", L"unique key attribute 'name' set to '" + name + L"'"),
                            ERROR_ALREADY_EXISTS);
            RewriteRule added;
            added.site = site;
            added.name = name;
            for (const auto& [key, value] : indexer.attributes) {
                if (EqualsNoCase(key, L"name")) continue;
                RewriteOutcome set = SetProperty(added, key, value);
                if (set.code) return set;
            }
            config.rules.push_back(std::move(added));
            return {};
        }
        if (p.op == L'-') {
            // As for a binding that is not there (appcmd/main.cpp): the tool's text, exit code 1168.
            if (!rule) return Fail(L"Cannot find requested collection element.", ERROR_NOT_FOUND);
            std::erase_if(config.rules, [rule](const RewriteRule& r) { return &r == rule; });
            return {};
        }
        return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    }
    if (!rule) return Fail(L"Cannot find requested collection element.", ERROR_NOT_FOUND);
    if (tail[0] != L'.') return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    tail.remove_prefix(1);
    if (StartsWithNoCase(tail, L"conditions")) {
        std::wstring_view rest = tail.substr(std::wstring_view(L"conditions").size());
        Indexer condition;
        size_t used = 0;
        if (rest.empty() || rest[0] != L'.' || !ParseIndexer(rest.substr(1), condition, used) ||
            used + 1 != rest.size() || p.op == L'=')
            return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
        RewriteCondition wanted;
        for (const auto& [key, value] : condition.attributes) {
            if (EqualsNoCase(key, L"input")) wanted.input = value;
            else if (EqualsNoCase(key, L"pattern")) wanted.pattern = value;
            else return Fail(L"Unknown attribute \"" + key + L"\".  Replace with -? for help.", ERROR_INVALID_PARAMETER);
        }
        if (p.op == L'+') {
            if (wanted.input.empty()) return Fail(L"New add object missing required attributes.", ERROR_INVALID_PARAMETER);
            rule->conditions.push_back(wanted);
            return {};
        }
        for (auto it = rule->conditions.begin(); it != rule->conditions.end(); ++it)
            if (EqualsNoCase(it->input, wanted.input) && it->pattern == wanted.pattern) {
                rule->conditions.erase(it);
                return {};
            }
        return Fail(L"Cannot find requested collection element.", ERROR_NOT_FOUND);
    }
    if (p.op != L'=' || !p.hasValue) return Fail(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    return SetProperty(*rule, tail, p.value);
}

std::wstring XmlAttribute(std::wstring_view text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'&') escaped += L"&amp;";
        else if (c == L'"') escaped += L"&quot;";
        else if (c == L'<') escaped += L"&lt;";
        else if (c == L'>') escaped += L"&gt;";
        else escaped += c;
    }
    return escaped;
}

}  // namespace

RewriteOutcome ApplyRewriteChanges(IisConfig& config, const Command& command) {
    std::wstring site;
    RewriteOutcome checked = CheckSection(config, command, site);
    if (checked.code) return checked;
    for (const Parameter& p : command.parameters) {
        RewriteOutcome applied = Apply(config, site, p);
        if (applied.code) return applied;
    }
    // The rules live under the site's location path; /commit:apphost keeps them in
    // applicationHost.config (a <location path="SITE"> there), without it they would go to the site's
    // web.config, whose path the answer then names. The sandbox keeps them per site either way.
    std::wstring path = L"MACHINE/WEBROOT/APPHOST/" + site;
    std::wstring commitPath = EqualsNoCase(command.options.commit, L"apphost") ? L"MACHINE/WEBROOT/APPHOST" : path;
    return {L"Applied configuration changes to section \"" + std::wstring(kSection) + L"\" for \"" + path +
                L"\" at configuration commit path \"" + commitPath + L"\"\r\n",
            0};
}

RewriteOutcome ListRewriteRules(const IisConfig& config, const Command& command) {
    std::wstring site;
    RewriteOutcome checked = CheckSection(config, command, site);
    if (checked.code) return checked;
    std::wstring out = L"<system.webServer>\r\n    <rewrite>\r\n        <rules>\r\n";
    for (const RewriteRule& rule : config.rules) {
        if (!EqualsNoCase(rule.site, site)) continue;
        out += L"            <rule name=\"" + XmlAttribute(rule.name) + L"\" stopProcessing=\"" + rule.stopProcessing + L"\">\r\n";
        out += L"                <match url=\"" + XmlAttribute(rule.matchUrl) + L"\" />\r\n";
        if (!rule.conditions.empty()) {
            out += L"                <conditions>\r\n";
            for (const RewriteCondition& c : rule.conditions)
                out += L"                    <add input=\"" + XmlAttribute(c.input) + L"\" pattern=\"" +
                       XmlAttribute(c.pattern) + L"\" />\r\n";
            out += L"                </conditions>\r\n";
        }
        out += L"                <action type=\"" + rule.actionType + L"\" url=\"" + XmlAttribute(rule.actionUrl) +
               L"\" appendQueryString=\"" + rule.appendQueryString + L"\" />\r\n            </rule>\r\n";
    }
    out += L"        </rules>\r\n    </rewrite>\r\n</system.webServer>\r\n";
    return {out, 0};
}

}  // namespace sandbox::appcmd
