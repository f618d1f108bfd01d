#include "common/apphost.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "common/state.h"
#include "common/text.h"

namespace sandbox {

namespace {

const char kBom[] = "\xEF\xBB\xBF";
const wchar_t kDeclaration[] = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

using Attributes = std::vector<std::pair<const wchar_t*, std::wstring>>;

// Indented lines of four blanks a level, as the configuration system writes its files.
class XmlLines {
public:
    void Open(const wchar_t* name, const Attributes& attributes = {}) {
        Line(Tag(name, attributes) + L">");
        ++depth_;
    }
    void Empty(const wchar_t* name, const Attributes& attributes = {}) { Line(Tag(name, attributes) + L" />"); }
    void Close(const wchar_t* name) {
        --depth_;
        Line(L"</" + std::wstring(name) + L">");
    }
    void Line(std::wstring_view content) {
        text_.append(static_cast<size_t>(depth_) * 4, L' ');
        text_ += content;
        text_ += L"\r\n";
    }
    const std::wstring& Text() const { return text_; }

private:
    static std::wstring Tag(const wchar_t* name, const Attributes& attributes) {
        std::wstring tag = L"<" + std::wstring(name);
        for (const auto& [key, value] : attributes)
            tag += L" " + std::wstring(key) + L"=\"" + XmlAttributeValue(value) + L"\"";
        return tag;
    }

    std::wstring text_;
    int depth_ = 0;
};

struct NativeModule {
    const wchar_t* name;
    const wchar_t* image;
    bool locked;  // the server's own modules are locked in <modules>; added ones are not
};

const NativeModule kNativeModules[] = {
    {L"HttpLoggingModule", L"%windir%\\System32\\inetsrv\\loghttp.dll", true},
    {L"UriCacheModule", L"%windir%\\System32\\inetsrv\\cachuri.dll", true},
    {L"FileCacheModule", L"%windir%\\System32\\inetsrv\\cachfile.dll", true},
    {L"TokenCacheModule", L"%windir%\\System32\\inetsrv\\cachtokn.dll", true},
    {L"HttpCacheModule", L"%windir%\\System32\\inetsrv\\cachhttp.dll", true},
    {L"StaticCompressionModule", L"%windir%\\System32\\inetsrv\\compstat.dll", true},
    {L"DefaultDocumentModule", L"%windir%\\System32\\inetsrv\\defdoc.dll", true},
    {L"DirectoryListingModule", L"%windir%\\System32\\inetsrv\\dirlist.dll", true},
    {L"ProtocolSupportModule", L"%windir%\\System32\\inetsrv\\protsup.dll", true},
    {L"StaticFileModule", L"%windir%\\System32\\inetsrv\\static.dll", true},
    {L"AnonymousAuthenticationModule", L"%windir%\\System32\\inetsrv\\authanon.dll", true},
    {L"RequestFilteringModule", L"%windir%\\System32\\inetsrv\\modrqflt.dll", true},
    {L"CustomErrorModule", L"%windir%\\System32\\inetsrv\\custerr.dll", true},
    {L"RewriteModule", L"%SystemRoot%\\system32\\inetsrv\\rewrite.dll", false},
};

const NativeModule* FindNative(std::wstring_view name) {
    for (const NativeModule& module : kNativeModules)
        if (EqualsNoCase(module.name, name)) return &module;
    return nullptr;
}

void ConfigSections(XmlLines& xml, bool rewrite) {
    auto section = [&xml](const wchar_t* name, const wchar_t* definition, const wchar_t* mode) {
        Attributes attributes = {{L"name", name}};
        if (definition) attributes.push_back({L"allowDefinition", definition});
        attributes.push_back({L"overrideModeDefault", mode});
        xml.Empty(L"section", attributes);
    };
    xml.Open(L"configSections");
    xml.Open(L"sectionGroup", {{L"name", L"system.applicationHost"}});
    section(L"applicationPools", L"AppHostOnly", L"Deny");
    section(L"sites", L"AppHostOnly", L"Deny");
    xml.Close(L"sectionGroup");
    xml.Open(L"sectionGroup", {{L"name", L"system.webServer"}});
    section(L"globalModules", L"AppHostOnly", L"Deny");
    section(L"modules", L"MachineToApplication", L"Deny");
    if (rewrite) {
        xml.Open(L"sectionGroup", {{L"name", L"rewrite"}});
        section(L"globalRules", L"AppHostOnly", L"Deny");
        for (const wchar_t* name : {L"rules", L"outboundRules", L"providers", L"rewriteMaps"})
            section(name, nullptr, L"Allow");
        section(L"allowedServerVariables", nullptr, L"Deny");
        xml.Close(L"sectionGroup");
    }
    xml.Close(L"sectionGroup");
    xml.Close(L"configSections");
}

void SiteElement(XmlLines& xml, const Site& site) {
    Attributes attributes = {{L"name", site.name}, {L"id", std::to_wstring(site.id)}};
    if (EqualsNoCase(site.state, L"Stopped")) attributes.push_back({L"serverAutoStart", L"false"});
    xml.Open(L"site", attributes);
    xml.Open(L"application", {{L"path", L"/"}});
    xml.Empty(L"virtualDirectory", {{L"path", L"/"}, {L"physicalPath", L"%SystemDrive%\\inetpub\\wwwroot"}});
    xml.Close(L"application");
    if (!site.bindings.empty()) {
        xml.Open(L"bindings");
        for (const Binding& binding : site.bindings) {
            Attributes b = {{L"protocol", binding.protocol}, {L"bindingInformation", binding.information}};
            if (!binding.sslFlags.empty() && binding.sslFlags != L"0") b.push_back({L"sslFlags", binding.sslFlags});
            xml.Empty(L"binding", b);
        }
        xml.Close(L"bindings");
    }
    xml.Close(L"site");
}

void ApplicationHost(XmlLines& xml, const IisConfig& config) {
    xml.Open(L"system.applicationHost");
    xml.Open(L"applicationPools");
    xml.Empty(L"add", {{L"name", L"DefaultAppPool"}});
    xml.Open(L"applicationPoolDefaults", {{L"managedRuntimeVersion", L"v4.0"}});
    xml.Empty(L"processModel", {{L"identityType", L"ApplicationPoolIdentity"}});
    xml.Close(L"applicationPoolDefaults");
    xml.Close(L"applicationPools");
    xml.Open(L"sites");
    for (const Site& site : config.sites) SiteElement(xml, site);
    xml.Open(L"siteDefaults");
    xml.Empty(L"logFile", {{L"logFormat", L"W3C"}, {L"directory", L"%SystemDrive%\\inetpub\\logs\\LogFiles"}});
    xml.Empty(L"traceFailedRequestsLogging", {{L"directory", L"%SystemDrive%\\inetpub\\logs\\FailedReqLogFiles"}});
    xml.Close(L"siteDefaults");
    xml.Empty(L"applicationDefaults", {{L"applicationPool", L"DefaultAppPool"}});
    xml.Empty(L"virtualDirectoryDefaults", {{L"allowSubDirConfig", L"true"}});
    xml.Close(L"sites");
    xml.Close(L"system.applicationHost");
}

void WebServer(XmlLines& xml, const IisConfig& config) {
    xml.Open(L"system.webServer");
    xml.Open(L"globalModules");
    for (const Module& module : config.modules) {
        if (!module.type.empty()) continue;
        const NativeModule* native = FindNative(module.name);
        std::wstring image = native ? native->image : L"%windir%\\System32\\inetsrv\\" + ToLower(module.name) + L".dll";
        Attributes attributes = {{L"name", module.name}, {L"image", image}};
        if (!module.preCondition.empty()) attributes.push_back({L"preCondition", module.preCondition});
        xml.Empty(L"add", attributes);
    }
    xml.Close(L"globalModules");
    xml.Open(L"modules");
    for (const Module& module : config.modules) {
        Attributes attributes = {{L"name", module.name}};
        if (!module.type.empty()) {
            attributes.push_back({L"type", module.type});
            if (!module.preCondition.empty()) attributes.push_back({L"preCondition", module.preCondition});
        } else if (const NativeModule* native = FindNative(module.name); native && native->locked) {
            attributes.push_back({L"lockItem", L"true"});
        }
        xml.Empty(L"add", attributes);
    }
    xml.Close(L"modules");
    xml.Close(L"system.webServer");
}

// Only what differs from the schema's defaults is written, as the configuration system does.
void RuleElement(XmlLines& xml, const RewriteRule& rule) {
    Attributes attributes = {{L"name", rule.name}};
    if (EqualsNoCase(rule.stopProcessing, L"true")) attributes.push_back({L"stopProcessing", L"true"});
    xml.Open(L"rule", attributes);
    if (!rule.matchUrl.empty()) xml.Empty(L"match", {{L"url", rule.matchUrl}});
    if (!rule.conditions.empty()) {
        xml.Open(L"conditions");
        for (const RewriteCondition& condition : rule.conditions) {
            Attributes c = {{L"input", condition.input}};
            if (!condition.pattern.empty()) c.push_back({L"pattern", condition.pattern});
            xml.Empty(L"add", c);
        }
        xml.Close(L"conditions");
    }
    Attributes action;
    if (!rule.actionType.empty() && rule.actionType != L"None") action.push_back({L"type", rule.actionType});
    if (!rule.actionUrl.empty()) action.push_back({L"url", rule.actionUrl});
    if (EqualsNoCase(rule.appendQueryString, L"false")) action.push_back({L"appendQueryString", L"false"});
    if (!action.empty()) xml.Empty(L"action", action);
    xml.Close(L"rule");
}

// /commit:apphost keeps a site's rules in a <location> of its own, added when its first rule is.
void Locations(XmlLines& xml, const IisConfig& config) {
    std::vector<std::wstring> sites;
    for (const RewriteRule& rule : config.rules) {
        bool seen = false;
        for (const std::wstring& site : sites) seen = seen || EqualsNoCase(site, rule.site);
        if (!seen) sites.push_back(rule.site);
    }
    for (const std::wstring& site : sites) {
        xml.Open(L"location", {{L"path", site}, {L"overrideMode", L"Allow"}});
        xml.Open(L"system.webServer");
        xml.Open(L"rewrite");
        xml.Open(L"rules");
        for (const RewriteRule& rule : config.rules)
            if (EqualsNoCase(rule.site, site)) RuleElement(xml, rule);
        xml.Close(L"rules");
        xml.Close(L"rewrite");
        xml.Close(L"system.webServer");
        xml.Close(L"location");
    }
}

std::wstring XmlUnescape(std::wstring_view text) {
    static const std::pair<std::wstring_view, wchar_t> kEntities[] = {
        {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}};
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t end = text[i] == L'&' ? text.find(L';', i) : std::wstring_view::npos;
        if (end == std::wstring_view::npos) {
            plain += text[i];
            continue;
        }
        std::wstring entity(text.substr(i + 1, end - i - 1));
        wchar_t c = L'?';
        for (const auto& [name, value] : kEntities)
            if (entity == name) c = value;
        if (entity.starts_with(L"#x")) c = static_cast<wchar_t>(wcstoul(entity.c_str() + 2, nullptr, 16));
        else if (entity.starts_with(L"#")) c = static_cast<wchar_t>(wcstoul(entity.c_str() + 1, nullptr, 10));
        plain += c;
        i = end;
    }
    return plain;
}

// The value of one attribute of an element's start tag as written by WriteRedirectionConfig.
std::wstring AttributeOf(std::wstring_view tag, std::wstring_view name) {
    std::wstring marker = L" " + std::wstring(name) + L"=\"";
    size_t at = tag.find(marker);
    if (at == std::wstring_view::npos) return {};
    size_t begin = at + marker.size();
    size_t end = tag.find(L'"', begin);
    return end == std::wstring_view::npos ? std::wstring() : XmlUnescape(tag.substr(begin, end - begin));
}

bool WriteXml(const std::wstring& path, const std::wstring& xml) {
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos) CreateDirectories(path.substr(0, slash));
    return ReplaceFileBytes(path, kBom + Narrow(xml));
}

}  // namespace

std::wstring XmlAttributeValue(std::wstring_view text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += L"&quot;"; break;
            case L'\r': escaped += L"&#xD;"; break;
            case L'\n': escaped += L"&#xA;"; break;
            case L'\t': escaped += L"&#x9;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::wstring ApplicationHostXml(const IisConfig& config) {
    XmlLines xml;
    xml.Line(kDeclaration);
    xml.Open(L"configuration");
    ConfigSections(xml, config.FindModule(L"RewriteModule") != nullptr);
    ApplicationHost(xml, config);
    WebServer(xml, config);
    Locations(xml, config);
    xml.Close(L"configuration");
    return xml.Text();
}

std::wstring LocalConfigDirectory() { return InetsrvDirectory() + L"\\config"; }
std::wstring RedirectionConfigPath() { return LocalConfigDirectory() + L"\\redirection.config"; }

std::optional<std::wstring> RedirectedConfigFolder() {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(RedirectionConfigPath(), bytes, nullptr)) return std::nullopt;
    std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (utf8.starts_with(kBom)) utf8.remove_prefix(3);
    std::wstring text = Widen(utf8);
    size_t begin = text.find(L"<configurationRedirection ");
    size_t end = text.find(L'>', begin);
    if (begin == std::wstring::npos || end == std::wstring::npos) return std::nullopt;
    std::wstring_view tag = std::wstring_view(text).substr(begin, end - begin);
    std::wstring folder = AttributeOf(tag, L"path");
    if (!EqualsNoCase(AttributeOf(tag, L"enabled"), L"true") || folder.empty()) return std::nullopt;
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

std::wstring ApplicationHostConfigPath() {
    return RedirectedConfigFolder().value_or(LocalConfigDirectory()) + L"\\applicationHost.config";
}

bool WriteApplicationHostConfig(const IisConfig& config) {
    return WriteXml(ApplicationHostConfigPath(), ApplicationHostXml(config));
}

bool WriteRedirectionConfig(std::wstring_view folder) {
    XmlLines xml;
    xml.Line(kDeclaration);
    xml.Open(L"configuration");
    xml.Open(L"configSections");
    xml.Empty(L"section", {{L"name", L"configurationRedirection"}});
    xml.Close(L"configSections");
    xml.Empty(L"configurationRedirection", {{L"enabled", L"true"}, {L"path", std::wstring(folder)}});
    xml.Close(L"configuration");
    return WriteXml(RedirectionConfigPath(), xml.Text());
}

}  // namespace sandbox
