#include "win32/tls_probe_win32.h"

#include <windows.h>

namespace quillbay::win32 {

// Not yet built: every probe reports that the platform cannot do it.
TlsHandshake Win32TlsProbe::Handshake(const std::string&, int, const std::string&, int) {
    return {HandshakeResult::Failed, ERROR_NOT_SUPPORTED, "The TLS probe is not available.", {}, 0};
}

PlainHttpAnswer Win32TlsProbe::PlainGet(const std::string&, int, const std::string&, const std::string&, int) {
    return {false, ERROR_NOT_SUPPORTED, 0, ""};
}

}  // namespace quillbay::win32
