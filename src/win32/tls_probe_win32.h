#pragma once
// The TLS probe through the platform's own TLS: Schannel through SSPI, Winsock for the
// connection, both from the system folder.
#include <functional>

#include "support/ports.h"

namespace quillbay::win32 {

class Win32TlsProbe : public TlsProbe {
public:
    Win32TlsProbe() = default;
    // With whileWaiting, each probe runs on a thread of its own, and the caller's thread calls
    // whileWaiting whenever a message arrives (the window repaints and answers); when it returns
    // false the probe is abandoned and reported as cancelled.
    explicit Win32TlsProbe(std::function<bool()> whileWaiting);
    TlsHandshake Handshake(const std::string& address, int port, const std::string& serverName,
                           int timeoutMilliseconds) override;
    PlainHttpAnswer PlainGet(const std::string& address, int port, const std::string& host, const std::string& path,
                             int timeoutMilliseconds) override;

private:
    template <class Result>
    Result Await(std::function<Result()> probe, Result cancelled);
    std::function<bool()> whileWaiting_;
};

}  // namespace quillbay::win32
