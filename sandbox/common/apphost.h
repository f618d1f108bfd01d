// IIS's own configuration files, kept in step with iis.tsv for programs that read the server's
// configuration instead of asking appcmd: applicationHost.config in %windir%\System32\inetsrv\config
// (or in the folder that redirection.config names, when the configuration is shared). They are
// written in the configuration system's form and never read back by the stand-ins: iis.tsv stays
// their truth.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/iis_model.h"

namespace sandbox {

// An attribute value as the platform's XML writer escapes it: the markup characters and quote as
// entities, CR, LF and tab as character references (so that they survive attribute normalisation).
std::wstring XmlAttributeValue(std::wstring_view text);

// The whole of applicationHost.config for this state, lines ended by CR LF, without the BOM.
std::wstring ApplicationHostXml(const IisConfig& config);

std::wstring LocalConfigDirectory();  // %windir%\System32\inetsrv\config
std::wstring RedirectionConfigPath();
// The folder redirection.config sends the configuration to; none when it is absent or disabled.
std::optional<std::wstring> RedirectedConfigFolder();
// Where applicationHost.config is, after the redirection.
std::wstring ApplicationHostConfigPath();

// Writes applicationHost.config (UTF-8 with BOM) through a temporary file; the caller holds the
// state lock.
bool WriteApplicationHostConfig(const IisConfig& config);
bool WriteRedirectionConfig(std::wstring_view folder);

}  // namespace sandbox
