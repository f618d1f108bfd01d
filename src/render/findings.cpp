#include "render/findings.h"

#include <iterator>

#include "lang/store.h"

namespace quillbay::render {

namespace {

struct FindingEntry {
    certs::Check check;
    const char* code;
    const char* key;
};
// Indexed by certs::Check.
constexpr FindingEntry kFindings[] = {
    {certs::Check::PfxMissing, "pfx-missing", "Cli_NoPfx"},
    {certs::Check::PasswordMissing, "password-missing", "Cli_NoPassword"},
    {certs::Check::PasswordEmpty, "password-empty", "Cli_EmptyPassword"},
    {certs::Check::PfxNotOpened, "pfx-not-opened", "Cli_PfxNotOpened"},
    {certs::Check::PfxAesTooNew, "pfx-aes-unsupported", "Pfx_AesTooNew"},
    {certs::Check::NoServerCertificate, "no-server-certificate", "Cli_NoServerCertificate"},
    {certs::Check::PfxOpened, "pfx-opened", "Cli_PfxOpened"},
    {certs::Check::Valid, "valid", "Cli_Valid"},
    {certs::Check::ExpiresSoon, "expires-soon", "Cli_ExpiresSoon"},
    {certs::Check::Expired, "expired", "Cli_Expired"},
    {certs::Check::NotYetValid, "not-yet-valid", "Cli_NotYetValid"},
    {certs::Check::NoChainFiles, "no-chain-files", "Cli_NoChainFiles"},
    {certs::Check::ChainFileUnreadable, "chain-file-unreadable", "Cli_ChainFileUnreadable"},
    {certs::Check::ChainComplete, "chain-complete", "Cli_ChainComplete"},
    {certs::Check::ChainIncomplete, "chain-incomplete", "Cli_ChainIncomplete"},
    {certs::Check::RootUntrusted, "root-untrusted", "Cli_RootUntrusted"},
    {certs::Check::NoIis, "no-iis", "Cli_NoIis"},
    {certs::Check::SitesUnlisted, "sites-unlisted", "Cli_SitesUnlisted"},
    {certs::Check::UnknownSite, "unknown-site", "Cli_UnknownSite"},
    {certs::Check::BindingsUnread, "bindings-unread", "Cli_SiteBindingsUnread"},
    {certs::Check::NoHostNames, "no-host-names", "Cli_SiteNoHostNames"},
    {certs::Check::HostSkipped, "host-skipped", "Cli_HostSkipped"},
    {certs::Check::HostCovered, "host-covered", "Cli_HostCovered"},
    {certs::Check::HostNotCovered, "host-not-covered", "Cli_HostNotCovered"},
    {certs::Check::FolderReparsePoint, "folder-reparse-point", "MsgBox_Folder_ReparsePoint"},
    {certs::Check::FolderWritable, "folder-writable", "Cli_Folder_Writable"},
    {certs::Check::SecretReadable, "secret-readable", "Cli_Folder_Readable"},
    {certs::Check::TlsReenabled, "tls-reenabled", "Tls_CompatibleReenables"},
};
constexpr bool InCheckOrder() {
    for (std::size_t i = 0; i < std::size(kFindings); ++i)
        if (static_cast<std::size_t>(kFindings[i].check) != i) return false;
    return true;
}
static_assert(InCheckOrder() && std::size(kFindings) == static_cast<std::size_t>(certs::Check::TlsReenabled) + 1);

}  // namespace

const char* FindingCode(certs::Check check) { return kFindings[static_cast<int>(check)].code; }

std::string FindingText(const certs::Finding& f) {
    return lang::FormatLangString(kFindings[static_cast<int>(f.check)].key, f.details);
}

}  // namespace quillbay::render
