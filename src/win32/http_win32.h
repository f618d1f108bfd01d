#pragma once
// HTTP GET through WinHTTP (winhttp.dll from the system folder only).
#include <functional>

#include "support/ports.h"

namespace quillbay::win32 {

class Win32HttpClient : public HttpClient {
public:
    // The request runs on a worker thread. whileWaiting runs whenever messages arrive
    // meanwhile, so that a window stays responsive; when it returns false the request is
    // abandoned and Get throws Failure(ERROR_WINHTTP_OPERATION_CANCELLED) at once, without
    // waiting for the worker to let go (an exception from it abandons the request too, and
    // passes on). Without it the wait blocks.
    explicit Win32HttpClient(std::function<bool()> whileWaiting = {});

    // Errors carry WinHTTP's codes (12002 time-out, 12007 name not resolved, 12029 no
    // connection, 12175 TLS) and its texts.
    HttpResponse Get(const std::string& url, const HttpTimeouts& timeouts) override;

private:
    std::function<bool()> whileWaiting_;
};

}  // namespace quillbay::win32
