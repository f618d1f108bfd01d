#pragma once
// What the console's commands share: the files and sites the options choose, the text and
// JSON of certificates and of the pre-flight's findings.
#include <optional>
#include <string>
#include <vector>

#include "certs/folder_check.h"
#include "certs/import.h"
#include "certs/preflight.h"
#include "certs/server_files.h"
#include "cli/commands.h"
#include "iis/sites.h"
#include "iis/verify.h"
#include "lang/store.h"
#include "render/findings.h"

namespace quillbay::cli {

// The text of a language key with "{1}", "{2}", ... replaced by the values.
inline std::string Say(std::string_view key, const std::vector<std::string>& values = {}) {
    return lang::FormatLangString(key, values);
}
// A line of output: the text and CR LF.
inline std::string Line(const std::string& text) { return text + "\r\n"; }

json::Value FailureJson(const FailureInfo& failure);

// The files the options name, or those beside the program.
certs::ServerFiles FilesOf(Host& host, const Options& options);
std::string ChainFolderOf(Host& host, const Options& options);

// The sites the options name (all without --site), in the list's order and spelling; names
// that no site has are returned apart.
std::vector<iis::Site> ChooseSites(const iis::SiteList& list, const Options& options, std::vector<std::string>& unknown);
// The sites into list; or the finding of why they could not be listed: no IIS, or a listing
// appcmd refused (logged).
std::optional<certs::Finding> ListSitesFor(Machine& machine, Progress& progress, iis::SiteList& list);
// The sites, or that finding as a refusal.
iis::SiteList ListSitesOrRefuse(Machine& machine, Progress& progress);

json::Value CertificateJson(const PfxCertificate& certificate);
// What the probe found, as JSON members (allHold, hosts) and as lines.
void RenderVerification(const iis::Verification& verification, Outcome& out);
std::string CertificateText(const PfxCertificate& certificate, const std::string& indent);

// A finding of the pre-flight: its stable code for JSON, its text in the current language.
using render::FindingCode;
using render::FindingText;
// The finding as a command's refusal.
Refusal RefusalOf(const certs::Finding& finding);

// An import's or a TLS change's failed step, as a line and as JSON names it.
std::string ImportProblemLine(const certs::ImportFailure& f);
const char* ImportProblemName(certs::ImportProblem problem);
// What setting a TLS profile did, as import's "security" member and tls --apply's.
json::Value SecurityJson(const certs::SecurityOutcome& security, const std::vector<std::string>& reenabled);

// The program folder and the files the options name, checked before a command that changes
// the machine uses them: a refusal for a junction, or for rights that let others change them
// unless --restrict-folder restricts the program folder first (said on standard error; never
// in a dry run).
void CheckFolderOrRefuse(Machine& machine, Console& console, const Options& options);

}  // namespace quillbay::cli
