// appcmd.exe stand-in: the IIS command-line tool over the sandbox's iis.tsv.
//
// Modelled: SITE (list, set, add, delete, start, stop), MODULE (list), CONFIG (set, list) for the
// URL Rewrite rules of a site. Output forms, the ERROR lines and the exit codes follow the real
// tool: 0 success; 1 a list whose identifier matched nothing (no output); 1168 an object or
// collection element that does not exist; 183 a duplicate; 87 bad syntax; for CONFIG also 13 a
// section the schema does not know and 2 a configuration path that names no site (rewrite.cpp).
#include <windows.h>

#include <string>
#include <vector>

#include "appcmd/rewrite.h"
#include "appcmd/syntax.h"
#include "common/apphost.h"
#include "common/cmdline.h"
#include "common/console.h"
#include "common/iis_model.h"
#include "common/state.h"
#include "common/text.h"

using namespace sandbox;
using namespace sandbox::appcmd;

namespace {

const wchar_t kUsage[] =
    L"General purpose IIS command line administration tool.\r\r\n"
    L"\r\r\n"
    L"APPCMD (command) (object-type) <identifier> </parameter1:value1 ...>\r\r\n"
    L"\r\r\n"
    L"Supported object types:\r\r\n"
    L"\r\r\n"
    L"  SITE      Administration of virtual sites\r\r\n"
    L"  APP       Administration of applications\r\r\n"
    L"  VDIR      Administration of virtual directories\r\r\n"
    L"  APPPOOL   Administration of application pools\r\r\n"
    L"  CONFIG    Administration of general configuration sections\r\r\n"
    L"  WP        Administration of worker processes\r\r\n"
    L"  REQUEST   Administration of HTTP requests\r\r\n"
    L"  MODULE    Administration of server modules\r\r\n"
    L"  BACKUP    Administration of server configuration backups\r\r\n"
    L"  TRACE     Working with failed request trace logs\r\r\n"
    L"\r\r\n"
    L"(To list commands supported by each object use /?, e.g. 'appcmd.exe site /?')\r\r\n"
    L"\r\r\n"
    L"General parameters:\r\r\n"
    L"/?               Display context-sensitive help message.\r\r\n"
    L"/text<:value>    Generate output in text format (default).\r\r\n"
    L"                 /text:* shows all object properties in detail view.\r\r\n"
    L"                 /text:<attribute> shows the value of the specified\r\r\n"
    L"                 attribute for each object.\r\r\n"
    L"/xml             Generate output in XML format.\r\r\n"
    L"\r\r\n"
    L"(This host is the Quillbay sandbox: SITE, MODULE and the rewrite rules of CONFIG are\r\r\n"
    L"simulated; other objects are recognised but not modelled.)\r\r\n";

struct ObjectInfo {
    const wchar_t* name;
    std::vector<const wchar_t*> verbs;
};

const ObjectInfo kObjects[] = {
    {L"SITE", {L"list", L"set", L"add", L"delete", L"start", L"stop"}},
    {L"APP", {L"list", L"set", L"add", L"delete"}},
    {L"VDIR", {L"list", L"set", L"add", L"delete"}},
    {L"APPPOOL", {L"list", L"set", L"add", L"delete", L"start", L"stop", L"recycle"}},
    {L"CONFIG", {L"list", L"set", L"search", L"lock", L"unlock", L"clear", L"reset", L"migrate"}},
    {L"WP", {L"list"}},
    {L"REQUEST", {L"list"}},
    {L"MODULE", {L"list", L"set", L"add", L"delete", L"install", L"uninstall"}},
    {L"BACKUP", {L"list", L"add", L"delete", L"restore"}},
    {L"TRACE", {L"list", L"configure", L"inspect"}},
};

const ObjectInfo* FindObject(std::wstring_view name) {
    for (const ObjectInfo& object : kObjects) {
        std::wstring plural = std::wstring(object.name) + L"S";
        if (EqualsNoCase(name, object.name) || EqualsNoCase(name, plural)) return &object;
    }
    return nullptr;
}

bool IsHelp(std::wstring_view token) { return token == L"/?" || token == L"-?"; }

std::wstring ObjectNotSupported(std::wstring_view name) {
    return L"Object '" + ToUpper(name) + L"' is not supported.  Run 'appcmd.exe /?' to display supported objects.\r\r\n";
}

std::wstring CommandNotSupported(std::wstring_view verb, std::wstring_view object) {
    std::wstring o(object);
    return L"Command '" + ToUpper(verb) + L"' is not supported on object '" + o + L"'. Run 'appcmd.exe " + o +
           L" /?'\r\r\nto display supported commands.\r\r\n";
}

// A list that names an object ("list site "NAME"", "list module "RewriteModule"", or the same
// through /name:) and finds none prints nothing and fails. No stored documentation quotes the
// real tool's answer; public deployment scripts on GitHub (and the IIS web app task of
// microsoft/azure-pipelines-extensions) test existence by exactly that: an empty standard output,
// e.g. `if (-not (& appcmd list apppool "X" 2>$null))`, and a non-zero exit code, e.g.
// `appcmd list apppool "X" >nul 2>&1` followed by `if %errorlevel% neq 0`. An ERROR line on
// standard output would break the first kind, so there is none; the code itself is not quoted
// anywhere, and 1 is kept.
constexpr DWORD kNothingListed = 1;

// What a command gives back: text for standard output and the exit code.
struct Result {
    std::wstring out;
    DWORD code = 0;
};

Result Error(std::wstring_view message, DWORD code) {
    return {L"ERROR ( message:" + std::wstring(message) + L" )\r\n", code};
}

Result CannotFind(std::wstring_view object, std::wstring_view identifier) {
    return Error(L"Cannot find " + std::wstring(object) + L" object with identifier \"" + std::wstring(identifier) +
                     L"\".",
                 ERROR_NOT_FOUND);
}

Result UnknownAttribute(std::wstring_view name) {
    return Error(L"Unknown attribute \"" + std::wstring(name) + L"\".  Replace with -? for help.",
                 ERROR_INVALID_PARAMETER);
}

// One listed object: its type, identifier and the attributes of its one-line summary.
struct Listed {
    std::wstring type;
    std::wstring id;
    std::vector<std::pair<std::wstring, std::wstring>> summary;  // shown in the default form
    std::vector<std::pair<std::wstring, std::wstring>> all;      // also reachable with /text:<name>
    std::vector<std::pair<std::wstring, std::wstring>> xml;      // /xml; the summary when empty
    std::wstring detail;                                         // /text:*
};

std::wstring Attribute(const Listed& item, std::wstring_view name, bool* found) {
    for (const auto& [key, value] : item.all)
        if (EqualsNoCase(key, name)) {
            *found = true;
            return value;
        }
    *found = false;
    return {};
}

// Formats listed objects as the options ask: the summary line, one attribute, detail or XML.
Result Format(const std::vector<Listed>& items, const Options& options, bool moduleStyle) {
    Result result;
    if (options.xml) {
        result.out = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<appcmd>\r\n";
        for (const Listed& item : items) {
            result.out += L"    <" + item.type;
            for (const auto& [key, value] : item.xml.empty() ? item.summary : item.xml)
                result.out += L" " + key + L"=\"" + XmlAttributeValue(value) + L"\"";
            result.out += L" />\r\n";
        }
        result.out += L"</appcmd>\r\n";
        return result;
    }
    for (const Listed& item : items) {
        if (options.text.has_value() && *options.text == L"*") {
            result.out += item.detail;
        } else if (options.text.has_value() && !options.text->empty()) {
            bool found = false;
            result.out += Attribute(item, *options.text, &found) + L"\r\n";
        } else if (moduleStyle) {
            result.out += item.type + L" \"" + item.id + L"\" ( ";
            for (size_t i = 0; i < item.summary.size(); ++i) {
                if (i) result.out += L", ";
                const auto& [key, value] = item.summary[i];
                result.out += key.empty() ? value : key + L":" + value;
            }
            result.out += L" )\r\n";
        } else {
            result.out += item.type + L" \"" + item.id + L"\" (";
            for (size_t i = 0; i < item.summary.size(); ++i) {
                if (i) result.out += L",";
                result.out += item.summary[i].first + L":" + item.summary[i].second;
            }
            result.out += L")\r\n";
        }
    }
    return result;
}

Listed DescribeSite(const Site& site) {
    Listed item;
    item.type = L"SITE";
    item.id = site.name;
    std::wstring bindings = BindingsText(site);
    std::wstring id = std::to_wstring(site.id);
    item.summary = {{L"id", id}, {L"bindings", bindings}, {L"state", site.state}};
    item.all = {{L"SITE.NAME", site.name}, {L"SITE.ID", id},       {L"name", site.name},
                {L"id", id},               {L"bindings", bindings}, {L"state", site.state},
                {L"serverAutoStart", L"true"}};
    item.xml = {{L"SITE.NAME", site.name}, {L"SITE.ID", id}, {L"bindings", bindings}, {L"state", site.state}};
    item.detail = L"SITE\r\n  SITE.NAME:\"" + site.name + L"\"\r\n  SITE.ID:\"" + id + L"\"\r\n  bindings:\"" +
                  bindings + L"\"\r\n  state:\"" + site.state + L"\"\r\n  [site]\r\n    name:\"" + site.name +
                  L"\"\r\n    id:\"" + id + L"\"\r\n    serverAutoStart:\"true\"\r\n    [bindings]\r\n";
    for (const Binding& binding : site.bindings)
        item.detail += L"      [binding]\r\n        protocol:\"" + binding.protocol +
                       L"\"\r\n        bindingInformation:\"" + binding.information + L"\"\r\n        sslFlags:\"" +
                       binding.sslFlags + L"\"\r\n";
    return item;
}

Listed DescribeModule(const Module& module) {
    Listed item;
    item.type = L"MODULE";
    item.id = module.name;
    if (module.type.empty())
        item.summary = {{L"", L"native"}, {L"preCondition", module.preCondition}};
    else
        item.summary = {{L"type", module.type}, {L"preCondition", module.preCondition}};
    item.all = {{L"MODULE.NAME", module.name}, {L"name", module.name}, {L"type", module.type},
                {L"preCondition", module.preCondition}};
    item.detail = L"MODULE\r\n  MODULE.NAME:\"" + module.name + L"\"\r\n  type:\"" + module.type +
                  L"\"\r\n  preCondition:\"" + module.preCondition + L"\"\r\n";
    return item;
}

// ---- SITE ----------------------------------------------------------------------------------

Result ListSites(const Command& command) {
    IisConfig config = IisConfig::Load();
    std::wstring identifier = command.identifier;
    std::vector<std::pair<std::wstring, std::wstring>> filters;
    for (const Parameter& p : command.parameters) {
        if (p.op != L'=') return UnknownAttribute(p.name);
        if (EqualsNoCase(p.name, L"site.name") || EqualsNoCase(p.name, L"name"))
            identifier = p.value;
        else if (EqualsNoCase(p.name, L"id") || EqualsNoCase(p.name, L"site.id") || EqualsNoCase(p.name, L"state") ||
                 EqualsNoCase(p.name, L"bindings") || EqualsNoCase(p.name, L"serverAutoStart"))
            filters.emplace_back(p.name, p.value);
        else
            return UnknownAttribute(p.name);
    }
    std::vector<Listed> items;
    for (const Site& site : config.sites) {
        if (!identifier.empty() && !EqualsNoCase(site.name, identifier)) continue;
        Listed item = DescribeSite(site);
        bool keep = true;
        for (const auto& [name, value] : filters) {
            bool found = false;
            std::wstring actual = Attribute(item, name, &found);
            if (EqualsNoCase(name, L"bindings")) {
                bool any = false;
                for (const Binding& binding : site.bindings)
                    any = any || EqualsNoCase(binding.protocol + L"/" + binding.information, value);
                keep = keep && (any || EqualsNoCase(actual, value));
            } else {
                keep = keep && EqualsNoCase(actual, value);
            }
        }
        if (keep) items.push_back(std::move(item));
    }
    Result result = Format(items, command.options, false);
    if (items.empty() && !identifier.empty()) result.code = kNothingListed;
    return result;
}

// Applies /+bindings.[...], /-bindings.[...], /bindings:<text> and /bindings.[...].attr:value.
Result ChangeBindings(Site& site, const Parameter& p, DWORD iisMajor) {
    std::wstring rest = p.name.substr(std::wstring(L"bindings").size());
    if (rest.empty()) {
        if (p.op != L'=') return Error(kMalformedIndexer, ERROR_INVALID_PARAMETER);
        std::vector<Binding> bindings;
        if (!ParseBindingsText(p.value, bindings))
            return Error(L"Invalid value for attribute \"bindings\".", ERROR_INVALID_DATA);
        site.bindings = bindings;
        return {};
    }
    Indexer indexer;
    size_t consumed = 0;
    if (rest[0] != L'.' || !ParseIndexer(std::wstring_view(rest).substr(1), indexer, consumed))
        return Error(kMalformedIndexer, ERROR_INVALID_PARAMETER);
    std::wstring tail = rest.substr(1 + consumed);
    for (const auto& [key, value] : indexer.attributes) {
        if (EqualsNoCase(key, L"protocol") || EqualsNoCase(key, L"bindingInformation")) continue;
        if (EqualsNoCase(key, L"sslFlags") && iisMajor >= 8) continue;
        return UnknownAttribute(key);
    }
    auto get = [&indexer](std::wstring_view key) -> const std::wstring* {
        for (const auto& [k, v] : indexer.attributes)
            if (EqualsNoCase(k, key)) return &v;
        return nullptr;
    };
    auto matches = [&](const Binding& binding) {
        for (const auto& [key, value] : indexer.attributes) {
            if (EqualsNoCase(key, L"protocol") && !EqualsNoCase(binding.protocol, value)) return false;
            if (EqualsNoCase(key, L"bindingInformation") && !EqualsNoCase(binding.information, value)) return false;
            if (EqualsNoCase(key, L"sslFlags") && binding.sslFlags != value) return false;
        }
        return true;
    };
    if (p.op == L'+') {
        if (!tail.empty()) return Error(kMalformedIndexer, ERROR_INVALID_PARAMETER);
        const std::wstring* protocol = get(L"protocol");
        const std::wstring* information = get(L"bindingInformation");
        if (!protocol || !information || protocol->empty())
            return Error(L"New binding object missing required attributes.", ERROR_INVALID_PARAMETER);
        Binding added{*protocol, *information, L"0"};
        if (const std::wstring* flags = get(L"sslFlags")) {
            if (!IsFlagsValue(*flags)) return Error(L"Invalid value for attribute \"sslFlags\".", ERROR_INVALID_DATA);
            added.sslFlags = *flags;
        }
        for (const Binding& binding : site.bindings)
            if (SameBinding(binding, added))
                return Error(DuplicateEntryMessage(L"binding", L"combined key attributes 'protocol, bindingInformation' respectively set to '" +
                                                                   added.protocol + L", " + added.information + L"'"),
                             ERROR_ALREADY_EXISTS);
        site.bindings.push_back(added);
        return {};
    }
    for (auto it = site.bindings.begin(); it != site.bindings.end(); ++it) {
        if (!matches(*it)) continue;
        if (p.op == L'-') {
            if (!tail.empty()) return Error(kMalformedIndexer, ERROR_INVALID_PARAMETER);
            site.bindings.erase(it);
            return {};
        }
        // /bindings.[...].attribute:value
        if (tail.size() < 2 || tail[0] != L'.') return Error(kMalformedIndexer, ERROR_INVALID_PARAMETER);
        std::wstring attribute = tail.substr(1);
        if (EqualsNoCase(attribute, L"bindingInformation"))
            it->information = p.value;
        else if (EqualsNoCase(attribute, L"protocol"))
            it->protocol = p.value;
        else if (EqualsNoCase(attribute, L"sslFlags") && iisMajor >= 8 && IsFlagsValue(p.value))
            it->sslFlags = p.value;
        else
            return UnknownAttribute(attribute);
        return {};
    }
    // The text is the real tool's (microsoft/MSLab#491, a "/-" of an element that is not there); its
    // exit code is quoted nowhere: 1168 is the Win32 part of 0x80070490 ("Element not found"), the
    // code appcmd's "Cannot find ... object" answers exit with.
    return Error(L"Cannot find requested collection element.", ERROR_NOT_FOUND);
}

Site* RequireSite(IisConfig& config, const Command& command, std::wstring& identifier, Result& failure) {
    identifier = command.identifier;
    for (const Parameter& p : command.parameters)
        if (p.op == L'=' && EqualsNoCase(p.name, L"site.name")) identifier = p.value;
    if (identifier.empty()) {
        failure = Error(L"Must specify the SITE object with identifier or \"SITE.NAME\" parameter.",
                        ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Site* site = config.FindSite(identifier);
    if (!site) failure = CannotFind(L"SITE", identifier);
    return site;
}

Result SetSite(const Command& command) {
    StateLock lock;
    IisConfig config = IisConfig::Load();
    std::wstring identifier;
    Result failure;
    Site* site = RequireSite(config, command, identifier, failure);
    if (!site) return failure;
    DWORD iisMajor = IisMajorVersion();
    for (const Parameter& p : command.parameters) {
        if (p.op == L'=' && EqualsNoCase(p.name, L"site.name")) continue;
        if (StartsWithNoCase(p.name, L"bindings")) {
            Result changed = ChangeBindings(*site, p, iisMajor);
            if (changed.code) return changed;
        } else if (p.op == L'=' && EqualsNoCase(p.name, L"name")) {
            site->name = p.value;
        } else if (p.op == L'=' && EqualsNoCase(p.name, L"serverAutoStart")) {
            // Accepted; the simulated sites always start with the service.
        } else {
            return UnknownAttribute(p.name);
        }
    }
    config.Save();
    return {L"SITE object \"" + site->name + L"\" changed\r\n", 0};
}

Result AddSite(const Command& command) {
    StateLock lock;
    IisConfig config = IisConfig::Load();
    Site site;
    site.id = config.NextSiteId();
    std::wstring name = command.identifier;
    for (const Parameter& p : command.parameters) {
        if (p.op != L'=') return UnknownAttribute(p.name);
        if (EqualsNoCase(p.name, L"name") || EqualsNoCase(p.name, L"site.name")) {
            name = p.value;
        } else if (EqualsNoCase(p.name, L"id")) {
            site.id = static_cast<unsigned>(wcstoul(p.value.c_str(), nullptr, 10));
        } else if (EqualsNoCase(p.name, L"bindings")) {
            if (!ParseBindingsText(p.value, site.bindings))
                return Error(L"Invalid value for attribute \"bindings\".", ERROR_INVALID_DATA);
        } else if (!EqualsNoCase(p.name, L"physicalPath")) {
            return UnknownAttribute(p.name);
        }
    }
    if (name.empty()) return Error(L"Must specify the name attribute.", ERROR_INVALID_PARAMETER);
    if (config.FindSite(name))
        return Error(L"Failed to add duplicate collection element \"" + name + L"\".", ERROR_ALREADY_EXISTS);
    site.name = name;
    config.sites.push_back(site);
    config.Save();
    return {L"SITE object \"" + name + L"\" added\r\nAPP object \"" + name + L"/\" added\r\nVDIR object \"" + name +
                L"/\" added\r\n",
            0};
}

Result DeleteSite(const Command& command) {
    StateLock lock;
    IisConfig config = IisConfig::Load();
    std::wstring identifier;
    Result failure;
    Site* site = RequireSite(config, command, identifier, failure);
    if (!site) return failure;
    std::wstring name = site->name;
    std::erase_if(config.sites, [&](const Site& s) { return &s == site; });
    std::erase_if(config.rules, [&](const RewriteRule& r) { return EqualsNoCase(r.site, name); });
    config.Save();
    return {L"SITE object \"" + name + L"\" deleted\r\n", 0};
}

Result StartStopSite(const Command& command, bool start) {
    StateLock lock;
    IisConfig config = IisConfig::Load();
    std::wstring identifier;
    Result failure;
    Site* site = RequireSite(config, command, identifier, failure);
    if (!site) return failure;
    site->state = start ? L"Started" : L"Stopped";
    config.Save();
    return {L"\"" + site->name + (start ? L"\" successfully started.\r\n" : L"\" successfully stopped\r\n"), 0};
}

// ---- MODULE --------------------------------------------------------------------------------

Result ListModules(const Command& command) {
    IisConfig config = IisConfig::Load();
    std::wstring identifier = command.identifier;
    for (const Parameter& p : command.parameters) {
        if (p.op != L'=') return UnknownAttribute(p.name);
        if (EqualsNoCase(p.name, L"module.name") || EqualsNoCase(p.name, L"name"))
            identifier = p.value;
        else if (!EqualsNoCase(p.name, L"app.name"))
            return UnknownAttribute(p.name);
    }
    std::vector<Listed> items;
    for (const Module& module : config.modules)
        if (identifier.empty() || EqualsNoCase(module.name, identifier)) items.push_back(DescribeModule(module));
    Result result = Format(items, command.options, true);
    if (items.empty() && !identifier.empty()) result.code = kNothingListed;
    return result;
}

// ---- CONFIG --------------------------------------------------------------------------------

Result SetConfig(const Command& command) {
    StateLock lock;
    IisConfig config = IisConfig::Load();
    RewriteOutcome outcome = ApplyRewriteChanges(config, command);
    if (outcome.code != 0) return {outcome.message, outcome.code};
    config.Save();
    return {outcome.message, 0};
}

Result ListConfig(const Command& command) {
    IisConfig config = IisConfig::Load();
    RewriteOutcome outcome = ListRewriteRules(config, command);
    return {outcome.message, outcome.code};
}

Result Dispatch(const std::vector<std::wstring>& args) {
    if (args.empty()) return {kUsage, ERROR_INVALID_PARAMETER};
    if (IsHelp(args[0])) return {kUsage, 1};
    if (args.size() == 1) {
        if (const ObjectInfo* object = FindObject(args[0]))
            return {CommandNotSupported(L"", object->name), ERROR_INVALID_PARAMETER};
        return {ObjectNotSupported(args[0]), ERROR_INVALID_PARAMETER};
    }
    const std::wstring& verb = args[0];
    const ObjectInfo* object = FindObject(args[1]);
    if (IsHelp(args[1])) {
        if (const ObjectInfo* helped = FindObject(verb)) {
            std::wstring text = L"Administration of " + ToLower(helped->name) + L" objects.\r\r\n\r\r\nSupported commands:\r\r\n\r\r\n";
            for (const wchar_t* v : helped->verbs) text += L"  " + std::wstring(v) + L"\r\r\n";
            return {text, 1};
        }
        return {ObjectNotSupported(verb), ERROR_INVALID_PARAMETER};
    }
    if (!object) return {ObjectNotSupported(args[1]), ERROR_INVALID_PARAMETER};
    bool knownVerb = false;
    for (const wchar_t* v : object->verbs) knownVerb = knownVerb || EqualsNoCase(verb, v);
    if (!knownVerb) return {CommandNotSupported(verb, object->name), ERROR_INVALID_PARAMETER};
    if (args.size() > 2 && IsHelp(args[2]))
        return {L"Usage: appcmd " + ToLower(verb) + L" " + ToLower(object->name) +
                    L" <identifier> </parameter:value ...>\r\r\n",
                1};

    Command command;
    std::wstring problem;
    if (!ParseCommand(args, 2, command, problem))
        return {L"Failed to process input: The parameter '" + problem +
                    L"' must begin with a / or - (HRESULT=80070057).\r\n",
                ERROR_INVALID_PARAMETER};

    std::wstring name = object->name;
    if (name == L"SITE") {
        if (EqualsNoCase(verb, L"list")) return ListSites(command);
        if (EqualsNoCase(verb, L"set")) return SetSite(command);
        if (EqualsNoCase(verb, L"add")) return AddSite(command);
        if (EqualsNoCase(verb, L"delete")) return DeleteSite(command);
        if (EqualsNoCase(verb, L"start")) return StartStopSite(command, true);
        if (EqualsNoCase(verb, L"stop")) return StartStopSite(command, false);
    } else if (name == L"MODULE" && EqualsNoCase(verb, L"list")) {
        return ListModules(command);
    } else if (name == L"CONFIG" && EqualsNoCase(verb, L"set")) {
        return SetConfig(command);
    } else if (name == L"CONFIG" && EqualsNoCase(verb, L"list")) {
        return ListConfig(command);
    }
    return Error(L"The sandbox host does not simulate " + ToUpper(verb) + L" " + name + L".", ERROR_NOT_SUPPORTED);
}

}  // namespace

int wmain() {
    std::wstring raw = GetCommandLineW();
    std::vector<std::wstring> args = ArgumentValues(raw);
    Result result = Dispatch(args);
    // Injected fault: every answer goes to standard error, so a caller that captures only
    // standard output sees nothing at all.
    if (HasFault(L"appcmd", L"stderr-only"))
        Err(result.out);
    else
        Out(result.out);
    LogInvocation(L"appcmd", raw, result.code);
    return static_cast<int>(result.code);
}
