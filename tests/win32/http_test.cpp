#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

#include "test_support.h"
#include "win32/http_win32.h"

namespace quillbay::win32::testing {
namespace {

// Posted to the test's thread when a held request reaches the server: the waiting side wakes.
constexpr UINT kHeldRequest = WM_APP + 1;
constexpr DWORD kHoldLimitMs = 15000;

std::string Reply(const std::string& status, const std::string& body, const std::string& headers = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

SOCKET BoundToLoopback(u_short& port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no loopback socket: " + std::to_string(WSAGetLastError()));
    port = ntohs(address.sin_port);
    return s;
}

// An HTTP server on a loopback port, one connection at a time, answering by request target
// ("/path?query"). An empty answer, and one under /held, is held until the test releases it (an
// empty one is never sent), the client goes away or the server stops, at most kHoldLimitMs, so
// that a client that never gives up fails the test instead of hanging it. The test's thread hears
// of each held request.
class LocalServer {
public:
    explicit LocalServer(std::map<std::string, std::string> answers) : answers_(std::move(answers)) {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("no Winsock");
        MSG m;
        PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its message queue
        listener_ = BoundToLoopback(port_);
        if (listen(listener_, SOMAXCONN) != 0) throw std::runtime_error("cannot listen");
        thread_ = std::thread([this] { Serve(); });
    }
    ~LocalServer() {
        SetEvent(stop_);
        closesocket(listener_);  // ends the accept
        thread_.join();
        CloseHandle(stop_);
        CloseHandle(release_);
        WSACleanup();
    }
    std::string Url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(port_) + target;
    }
    HANDLE release() const { return release_; }

private:
    void Serve() {
        for (;;) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            std::string request;
            char buffer[4096];
            for (int got; request.find("\r\n\r\n") == std::string::npos && (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
                request.append(buffer, got);
            std::string line = request.substr(0, request.find("\r\n"));  // GET target HTTP/1.1
            line = line.substr(0, line.rfind(' '));
            const std::string target = line.substr(line.find(' ') + 1);
            const auto answer = answers_.find(target);
            std::string reply = answer == answers_.end() ? Reply("400 Bad Request", "") : answer->second;
            if ((reply.empty() || target.rfind("/held", 0) == 0) && !Held(client)) reply.clear();
            for (size_t sent = 0; sent < reply.size();) {
                const int n = send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
                if (n <= 0) break;
                sent += n;
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }
    bool Held(SOCKET client) {  // true when released
        PostThreadMessageW(owner_, kHeldRequest, 0, 0);
        WSAEVENT gone = WSACreateEvent();
        WSAEventSelect(client, gone, FD_CLOSE);
        const HANDLE events[] = {release_, gone, stop_};
        const DWORD woke = WaitForMultipleObjects(3, events, FALSE, kHoldLimitMs);
        WSAEventSelect(client, nullptr, 0);
        u_long blocking = 0;
        ioctlsocket(client, FIONBIO, &blocking);
        WSACloseEvent(gone);
        return woke == WAIT_OBJECT_0;
    }

    std::map<std::string, std::string> answers_;
    SOCKET listener_ = INVALID_SOCKET;
    u_short port_ = 0;
    const DWORD owner_ = GetCurrentThreadId();
    HANDLE stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr), release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread_;
};

enum class Waiting { Blocked, Answering, Abandoning };

TEST(Win32HttpClient, ReturnsWhatTheServerAnsweredAndFailsWithWinHttpCodes) {
    std::string large(3 << 20, '\0');
    for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 2654435761u) >> 13);
    const std::string found = "/find?q=a%20b&n=1";
    LocalServer server({
        {found, Reply("200 OK", "hello")},
        {"/missing", Reply("404 Not Found", "no such page")},
        {"/moved", Reply("302 Found", "elsewhere", "Location: " + found + "\r\n")},
        {"/large", Reply("200 OK", large)},
        {"/silent", ""},
        {"/held", Reply("200 OK", "late")},
    });
    u_short closedPort = 0;
    closesocket(BoundToLoopback(closedPort));
    const std::string refused = "http://127.0.0.1:" + std::to_string(closedPort) + "/";

    const HttpTimeouts none, quick{3000, 5000, 5000, 1000}, bounded{0, 0, 0, 5000};
    const struct {
        const char* what;
        std::string url;
        HttpTimeouts timeouts;
        Waiting waiting;
        std::int32_t failure, status;  // status: when no failure
        std::string body;
        int withinMs;
    } cases[] = {
        {"ok", server.Url(found), none, Waiting::Blocked, 0, 200, "hello", 3000},
        {"404", server.Url("/missing"), none, Waiting::Blocked, 0, 404, "no such page", 3000},
        {"302", server.Url("/moved"), none, Waiting::Blocked, 0, 200, "hello", 3000},
        {"large", server.Url("/large"), quick, Waiting::Blocked, 0, 200, large, 5000},
        {"silent", server.Url("/silent"), quick, Waiting::Blocked, ERROR_WINHTTP_TIMEOUT, 0, "", 3000},
        {"refused", refused, quick, Waiting::Blocked, ERROR_WINHTTP_CANNOT_CONNECT, 0, "", 5000},
        {"answers", server.Url("/held"), bounded, Waiting::Answering, 0, 200, "late", 3000},
        // Last: Wine's WinHTTP holds an abandoned connection open until the server stops.
        {"abandoned", server.Url("/silent"), none, Waiting::Abandoning, ERROR_WINHTTP_OPERATION_CANCELLED, 0, "", 2000},
    };
    for (const auto& c : cases) {
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) {}
        ResetEvent(server.release());
        int calls = 0;
        Win32HttpClient client(c.waiting == Waiting::Blocked ? std::function<bool()>() : [&] {
            ++calls;  // the window has served what arrived: it goes on waiting, or gives up
            if (c.waiting == Waiting::Answering) SetEvent(server.release());
            return c.waiting == Waiting::Answering;
        });
        HttpResponse got;
        std::int32_t failure = 0;
        std::string description;
        const auto start = std::chrono::steady_clock::now();
        try {
            got = client.Get(c.url, c.timeouts);
        } catch (const Failure& f) {
            failure = f.number();
            description = f.description();
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        EXPECT_EQ(failure, c.failure) << c.what << ": " << description;
        EXPECT_LT(ms.count(), c.withinMs) << c.what;
        EXPECT_EQ(calls > 0, c.waiting != Waiting::Blocked) << c.what;
        if (c.failure) {
            EXPECT_FALSE(description.empty()) << c.what;
            continue;
        }
        EXPECT_EQ(got.status, c.status) << c.what;
        EXPECT_TRUE(got.body == c.body) << c.what << ": " << got.body.size() << " bytes, "
                                        << ::testing::PrintToString(got.body.substr(0, 40));
    }
}

}  // namespace
}  // namespace quillbay::win32::testing
