#include "win32/http_win32.h"

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "win32/system_library.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

// WinHTTP's own texts live in winhttp.dll, not in the system's message table.
Failure HttpFailure(DWORD code) {
    // Wine's WinHTTP passes the socket's time-out through where Windows reports its own.
    if (code == WSAETIMEDOUT) code = ERROR_WINHTTP_TIMEOUT;
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        WinHttpApi::Get().module, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0,
                                        nullptr);
    std::wstring message;
    if (length > 0 && buffer) message.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    if (message.empty()) return MakeFailure(code);
    return Failure(static_cast<std::int32_t>(code), WideToUtf8(message));
}

// One request, shared by the worker that performs it and the waiting thread that may abandon
// it. Closing a handle in use makes the worker's blocking call fail on Windows; Wine's WinHTTP
// goes on waiting for the server, so an abandoned worker is left to end on its own.
struct Exchange {
    std::mutex lock;
    bool abandoned = false;
    HINTERNET session = nullptr, connection = nullptr, request = nullptr;
    std::optional<Failure> failure;
    HttpResponse response;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);

    Exchange() = default;
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;
    ~Exchange() {
        if (done) CloseHandle(done);
    }

    // Keeps a freshly opened handle unless the request was abandoned meanwhile.
    HINTERNET Keep(HINTERNET& slot, HINTERNET handle) {
        const WinHttpApi& api = WinHttpApi::Get();
        const DWORD code = handle ? 0 : GetLastError();
        std::lock_guard<std::mutex> guard(lock);
        if (!handle) throw HttpFailure(abandoned ? ERROR_WINHTTP_OPERATION_CANCELLED : code);
        if (abandoned) {
            api.WinHttpCloseHandle(handle);
            throw HttpFailure(ERROR_WINHTTP_OPERATION_CANCELLED);
        }
        slot = handle;
        return handle;
    }
    void CloseAll() {
        const WinHttpApi& api = WinHttpApi::Get();
        std::lock_guard<std::mutex> guard(lock);
        for (HINTERNET* h : {&request, &connection, &session})
            if (*h) {
                api.WinHttpCloseHandle(*h);
                *h = nullptr;
            }
    }
    void Abandon() {
        {
            std::lock_guard<std::mutex> guard(lock);
            abandoned = true;
        }
        CloseAll();
    }
    void Check(BOOL ok) {
        if (ok) return;
        const DWORD code = GetLastError();
        std::lock_guard<std::mutex> guard(lock);
        throw HttpFailure(abandoned ? ERROR_WINHTTP_OPERATION_CANCELLED : code);
    }
};

void Perform(Exchange& x, const std::wstring& url, const HttpTimeouts& timeouts) {
    const WinHttpApi& api = WinHttpApi::Get();
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
        static_cast<DWORD>(-1);
    if (!api.WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) throw HttpFailure(GetLastError());
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        throw HttpFailure(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    HINTERNET session = x.Keep(x.session, api.WinHttpOpen(L"Quillbay", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (timeouts.resolve || timeouts.connect || timeouts.send || timeouts.receive) {
        // A zero keeps WinHTTP's default for that phase (WinHttpSetTimeouts would read it as
        // "wait for ever").
        auto pick = [](int value, int fallback) { return value > 0 ? value : fallback; };
        const int receive = pick(timeouts.receive, 30000);
        x.Check(api.WinHttpSetTimeouts(session, pick(timeouts.resolve, 0), pick(timeouts.connect, 60000),
                                       pick(timeouts.send, 30000), receive));
        // Without it a server that accepts and never answers holds the request far longer.
        DWORD responseTimeout = static_cast<DWORD>(receive);
        x.Check(api.WinHttpSetOption(session, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                                     sizeof responseTimeout));
    }
    HINTERNET connection = x.Keep(x.connection, api.WinHttpConnect(session, host.c_str(), parts.nPort, 0));
    const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HINTERNET request = x.Keep(x.request, api.WinHttpOpenRequest(connection, L"GET", path.c_str(), nullptr,
                                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    x.Check(api.WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0));
    x.Check(api.WinHttpReceiveResponse(request, nullptr));
    DWORD status = 0, size = sizeof status;
    x.Check(api.WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                    WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX));
    x.response.status = static_cast<int>(status);
    for (;;) {
        DWORD available = 0;
        x.Check(api.WinHttpQueryDataAvailable(request, &available));
        if (available == 0) break;
        const size_t at = x.response.body.size();
        x.response.body.resize(at + available);
        DWORD read = 0;
        x.Check(api.WinHttpReadData(request, x.response.body.data() + at, available, &read));
        x.response.body.resize(at + read);
        if (read == 0) break;
    }
}

}  // namespace

Win32HttpClient::Win32HttpClient(std::function<bool()> whileWaiting) : whileWaiting_(std::move(whileWaiting)) {}

HttpResponse Win32HttpClient::Get(const std::string& url, const HttpTimeouts& timeouts) {
    WinHttpApi::Get();  // a missing winhttp.dll fails here, on the caller's thread
    auto x = std::make_shared<Exchange>();
    if (!x->done) ThrowLastError();
    // The worker owns copies of what it needs: an abandoned request may outlive this call.
    std::thread([x, wideUrl = Utf8ToWide(url), timeouts] {
        try {
            Perform(*x, wideUrl, timeouts);
        } catch (const Failure& failure) {
            x->failure = failure;
        } catch (...) {
            x->failure = MakeFailure(ERROR_OUTOFMEMORY);
        }
        x->CloseAll();
        SetEvent(x->done);
    }).detach();
    for (;;) {
        const DWORD woke =
            whileWaiting_ ? MsgWaitForMultipleObjectsEx(1, &x->done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
                          : WaitForSingleObject(x->done, INFINITE);
        if (woke == WAIT_OBJECT_0) break;
        if (woke == WAIT_FAILED) {
            const DWORD code = GetLastError();
            x->Abandon();
            throw MakeFailure(code);
        }
        bool goOn = false;
        try {
            goOn = whileWaiting_();
        } catch (...) {
            x->Abandon();
            throw;
        }
        if (!goOn) {
            x->Abandon();
            throw HttpFailure(ERROR_WINHTTP_OPERATION_CANCELLED);
        }
    }
    if (x->failure) throw *x->failure;
    return std::move(x->response);
}

}  // namespace quillbay::win32
