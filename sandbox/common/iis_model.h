// The simulated IIS configuration: sites with their bindings, installed modules and URL
// Rewrite rules, kept in iis.tsv. Record kinds this version does not know are kept as they are,
// so that an older tool never drops what a newer one wrote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/state.h"

namespace sandbox {

struct Binding {
    std::wstring protocol;
    std::wstring information;  // address:port:host for http and https
    std::wstring sslFlags = L"0";
};

struct Site {
    unsigned id = 0;
    std::wstring name;
    std::wstring state = L"Started";
    std::vector<Binding> bindings;
};

struct Module {
    std::wstring name;
    std::wstring type;  // empty for a native module
    std::wstring preCondition;
};

struct RewriteCondition {
    std::wstring input;
    std::wstring pattern;
};

// One rule of system.webServer/rewrite/rules at a site's level.
struct RewriteRule {
    std::wstring site;
    std::wstring name;
    std::wstring stopProcessing = L"false";
    std::wstring matchUrl;
    std::wstring actionType = L"None";
    std::wstring actionUrl;
    std::wstring appendQueryString = L"true";
    std::vector<RewriteCondition> conditions;
};

struct IisConfig {
    std::vector<Site> sites;
    std::vector<Module> modules;
    std::vector<RewriteRule> rules;
    std::vector<Record> unknown;

    static IisConfig Load();
    // iis.tsv and, from it, applicationHost.config (see apphost.h); the caller holds the state lock.
    bool Save() const;
    // iis.tsv alone: a host without IIS has no configuration file.
    bool SaveRecords() const;

    Site* FindSite(std::wstring_view name);
    const Site* FindSite(std::wstring_view name) const;
    const Module* FindModule(std::wstring_view name) const;
    unsigned NextSiteId() const;
};

// "http/*:80:,https/*:443:www.example.com" as the tool prints a site's bindings.
std::wstring BindingsText(const Site& site);
// The same form back; false when an entry lacks its protocol.
bool ParseBindingsText(std::wstring_view text, std::vector<Binding>& bindings);

// The IIS major version of the simulated host: HKLM\SOFTWARE\Microsoft\InetStp MajorVersion, 10
// when the key or value is missing. It also stands for the Windows release the host runs (IIS 7.5
// comes with Windows Server 2008 R2, 8 with 2012, 10 with 2016 and later), which decides what
// netsh's HTTP context knows.
DWORD IisMajorVersion();

// appcmd's text for an element added to a collection that already holds its key: "New <element>
// object missing required attributes. " followed by the configuration system's own message,
// which ends in CR LF CR LF, before appcmd's closing ". )". keyText names the key, e.g.
// "combined key attributes 'protocol, bindingInformation' respectively set to 'https, *:443:'".
std::wstring DuplicateEntryMessage(std::wstring_view element, std::wstring_view keyText);

// Binding identity: protocol and binding information, compared as the configuration system
// compares unique keys (without regard to letter case).
bool SameBinding(const Binding& a, const Binding& b);

}  // namespace sandbox
