#pragma once
// The TLS probe through the platform's own TLS: Schannel through SSPI, Winsock for the
// connection, both from the system folder.
#include "support/ports.h"

namespace quillbay::win32 {

class Win32TlsProbe : public TlsProbe {
public:
    TlsHandshake Handshake(const std::string& address, int port, const std::string& serverName,
                           int timeoutMilliseconds) override;
    PlainHttpAnswer PlainGet(const std::string& address, int port, const std::string& host, const std::string& path,
                             int timeoutMilliseconds) override;
};

}  // namespace quillbay::win32
