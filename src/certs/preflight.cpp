#include "certs/preflight.h"
#include "support/text.h"

#include "certs/inspect.h"
#include "support/command_line.h"

namespace quillbay::certs {

namespace {

std::string Joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : separator) + item;
    return text;
}

Finding ValidityOf(const PfxCertificate& server, std::int64_t now) {
    const ValidityFinding validity = CheckValidity(server.details, now);
    const std::string until = UtcText(server.details.notAfter), days = std::to_string(validity.daysLeft);
    switch (validity.validity) {
        case Validity::ExpiresSoon: return {Level::Warning, Check::ExpiresSoon, {until, days}};
        case Validity::Expired: return {Level::Error, Check::Expired, {until}};
        case Validity::NotYetValid: return {Level::Error, Check::NotYetValid, {UtcText(server.details.notBefore)}};
        case Validity::Valid: break;
    }
    return {Level::Ok, Check::Valid, {until, days}};
}

void CheckChain(const PfxRead& pfx, const PfxCertificate& server, const std::vector<ChainFileRead>& chain,
                const std::string& chainFolder, Pkcs12& trust, std::vector<Finding>& findings) {
    std::vector<CertificateDetails> pool;
    for (const PfxCertificate& c : pfx.certificates) pool.push_back(c.details);
    if (chain.empty()) findings.push_back({Level::Error, Check::NoChainFiles, {chainFolder}});
    for (const ChainFileRead& file : chain) {
        if (!file.readable)
            findings.push_back({Level::Warning, Check::ChainFileUnreadable, {file.name, std::to_string(file.failure.number)}});
        for (const PfxCertificate& c : file.certificates) pool.push_back(c.details);
    }
    const ChainFinding links = FollowChain(server.details, pool);
    std::vector<std::string> path{server.details.subject};
    path.insert(path.end(), links.path.begin(), links.path.end());
    if (links.complete) {
        findings.push_back({Level::Ok, Check::ChainComplete, {Joined(path, " <- ")}});
        if (!trust.InTrustedRoots(links.rootName)) findings.push_back({Level::Warning, Check::RootUntrusted, {path.back()}});
    } else
        findings.push_back({Level::Warning, Check::ChainIncomplete, {Joined(path, " <- "), links.missingIssuer}});
}

}  // namespace

std::vector<Finding> CheckPfx(const PfxRead& pfx, const ServerFiles& files) {
    switch (pfx.state) {
        case PfxState::NoPfx: return {{Level::Error, Check::PfxMissing, {files.pfx}}};
        case PfxState::NoPassword: return {{Level::Error, Check::PasswordMissing, {files.password}}};
        case PfxState::EmptyPassword: return {{Level::Error, Check::PasswordEmpty, {files.password}}};
        case PfxState::NotOpened:
            return {{Level::Error, Check::PfxNotOpened, {std::to_string(pfx.failure.number), pfx.failure.description}}};
        case PfxState::AesTooNew: return {{Level::Error, Check::PfxAesTooNew, {std::to_string(pfx.osBuild)}}};
        case PfxState::Opened: break;
    }
    if (!ServerCertificate(pfx.certificates)) return {{Level::Error, Check::NoServerCertificate, {}}};
    return {};
}

std::vector<Finding> CheckServerCertificate(const PfxRead& pfx, const ServerFiles& files,
                                            const std::vector<ChainFileRead>& chain, const std::string& chainFolder,
                                            std::int64_t now, Pkcs12& trust) {
    std::vector<Finding> findings = CheckPfx(pfx, files);
    if (!findings.empty()) return findings;
    const PfxCertificate& server = *ServerCertificate(pfx.certificates);
    findings.push_back({Level::Ok, Check::PfxOpened, {server.details.subject, UpperHex(server.sha1)}});
    findings.push_back(ValidityOf(server, now));
    CheckChain(pfx, server, chain, chainFolder, trust, findings);
    return findings;
}

std::vector<Finding> CheckSiteHosts(const std::vector<SiteHosts>& sites, const PfxCertificate* server) {
    std::vector<Finding> findings;
    for (const SiteHosts& site : sites) {
        if (!site.bindingsRead) {
            findings.push_back({Level::Warning, Check::BindingsUnread, {site.name}, site.name});
            continue;
        }
        if (site.hostNames.empty()) findings.push_back({Level::Info, Check::NoHostNames, {site.name}, site.name});
        for (const std::string& host : site.hostNames) {
            if (!IsDeployableHostName(host))
                findings.push_back({Level::Warning, Check::HostSkipped, {site.name, host}, site.name, host});
            else if (server && CertificateCovers(server->details, host))
                findings.push_back({Level::Ok, Check::HostCovered, {site.name, host}, site.name, host});
            else if (server)
                findings.push_back({Level::Error, Check::HostNotCovered,
                                    {site.name, host, Joined(server->details.dnsNames, ", ")}, site.name, host});
        }
    }
    return findings;
}

LevelCounts CountLevels(const std::vector<Finding>& findings) {
    LevelCounts counts;
    for (const Finding& f : findings) ++counts.counts[static_cast<int>(f.level)];
    return counts;
}

}  // namespace quillbay::certs
