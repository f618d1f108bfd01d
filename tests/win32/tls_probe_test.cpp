#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <thread>
#include <utility>

#include "certs/inspect.h"
#include "support/text.h"
#include "test_support.h"
#include "win32/tls_probe_win32.h"

namespace quillbay::win32::testing {
namespace {

// What tls-servers.sh, which runs these tests beside its TLS servers, tells of them.
std::string FromServers(const std::string& name) {
    const char* value = std::getenv(("QUILLBAY_TLS_" + name).c_str());
    if (!value) throw std::runtime_error("QUILLBAY_TLS_" + name + " is not set: run the tests through tls-servers.sh");
    return value;
}

// A listener on [::1] whose connections wait in its backlog unanswered, unless it has a reply:
// then it reads the first request's head and sends the reply.
class Listener {
public:
    explicit Listener(std::string reply = "") {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        sockaddr_in6 address{AF_INET6, 0, 0, in6addr_loopback, {}};
        int length = sizeof address;
        const auto name = reinterpret_cast<sockaddr*>(&address);
        if ((socket_ = socket(AF_INET6, SOCK_STREAM, IPPROTO_TCP)) == INVALID_SOCKET || bind(socket_, name, length) ||
            listen(socket_, 4) || getsockname(socket_, name, &length))
            throw std::runtime_error("no loopback listener: " + std::to_string(WSAGetLastError()));
        port = ntohs(address.sin6_port);
        if (!reply.empty()) answering_ = std::thread([this, reply] {
            const SOCKET client = accept(socket_, nullptr, nullptr);
            if (client == INVALID_SOCKET) return;
            char buffer[4096];
            for (int n; request_.find("\r\n\r\n") == std::string::npos && (n = recv(client, buffer, 4096, 0)) > 0;)
                request_.append(buffer, n);
            send(client, reply.data(), static_cast<int>(reply.size()), 0);
            closesocket(client);
        });
    }
    ~Listener() { Request(); WSACleanup(); }
    // The request it answered, once it has stopped listening.
    const std::string& Request() {
        closesocket(std::exchange(socket_, INVALID_SOCKET));  // ends an accept still waiting
        if (answering_.joinable()) answering_.join();
        return request_;
    }
    int port = 0;

private:
    SOCKET socket_ = INVALID_SOCKET;
    std::thread answering_;
    std::string request_;
};

int RefusingPort() { return Listener().port; }

TEST(Win32TlsProbe, HandshakeReturnsWhatTheServerSentAndHowItsChainFares) {
    std::map<std::string, std::string> names;
    for (const std::string name : {"leaf", "inter", "root"})
        names[certs::CertificateBlobs(ReadRaw(FixturePath(name + ".crt"))).at(0)] = name;
    names[Base64Decode(FromServers("OTHER_CERT")).value()] = "other";
    const int sni = std::stoi(FromServers("SNI_PORT")), bare = std::stoi(FromServers("BARE_PORT")),
              refusing = std::stoi(FromServers("REFUSING_PORT"));
    Listener silent;
    using R = HandshakeResult;
    // Wine trusts only the host's roots, and none added at run time: a chain that passes, and a name
    // that does not match (judged after trust), are seen on Windows only.
    const struct {
        const char *what, *address, *name;
        int port, timeoutMs;
        R result;
        std::int32_t error, chainError;
        std::vector<std::string> chain;
    } cases[] = {
        {"chain", "127.0.0.1", "www.example.com", sni, 5000, R::Completed, 0, CERT_E_UNTRUSTEDROOT,
         {"leaf", "inter", "root"}},
        {"SNI", "127.0.0.1", "other.example.com", sni, 5000, R::Completed, 0, CERT_E_UNTRUSTEDROOT, {"other"}},
        {"leaf alone", "127.0.0.1", "www.example.com", bare, 5000, R::Completed, 0, CERT_E_CHAINING, {"leaf"}},
        {"refused", "::1", "www.example.com", RefusingPort(), 5000, R::NoListener, WSAECONNREFUSED, 0, {}},
        {"silent", "[::1]", "www.example.com", silent.port, 1000, R::Failed, WSAETIMEDOUT, 0, {}},
        // Windows tells the server's alert; Wine's Schannel reports every one as an internal error.
        {"client certificate demanded", "127.0.0.1", "www.example.com", refusing, 5000, R::Failed, SEC_E_INTERNAL_ERROR,
         0, {}},
    };
    Win32TlsProbe probe;
    for (const auto& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        const TlsHandshake got = probe.Handshake(c.address, c.port, c.name, c.timeoutMs);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::vector<std::string> sent;
        for (const auto& der : got.chain) sent.push_back(names.count(der) ? names[der] : "?");
        EXPECT_EQ(got.result, c.result) << c.what << ": " << got.message;
        EXPECT_EQ(got.error, c.error) << c.what << ": " << got.message;
        EXPECT_EQ(got.message.empty(), c.error == 0) << c.what;
        EXPECT_EQ(sent, c.chain) << c.what;
        EXPECT_EQ(got.chainError, c.chainError) << c.what;
        EXPECT_LT(ms.count(), c.timeoutMs + 1000) << c.what;
        EXPECT_TRUE(c.error != WSAETIMEDOUT || ms.count() >= c.timeoutMs - 100) << c.what << ": " << ms.count();
    }
}

TEST(Win32TlsProbe, PlainGetReturnsTheStatusAndLocationAsTheyCame) {
    Listener web("HTTP/1.1 301 Moved Permanently\r\nContent-Length: 0\r\nLOCATION:  https://www.example.com/a?b=1\r\n"
                 "\r\n");
    Listener silent;
    const struct {
        const char *what, *address;
        int port;
        PlainHttpAnswer answer;
    } cases[] = {
        {"redirect", "::1", web.port, {true, 0, 301, "https://www.example.com/a?b=1"}},
        {"TLS", "127.0.0.1", std::stoi(FromServers("SNI_PORT")), {false, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0, ""}},
        {"refused", "::1", RefusingPort(), {false, WSAECONNREFUSED, 0, ""}},
        {"silent", "::1", silent.port, {false, WSAETIMEDOUT, 0, ""}},
    };
    Win32TlsProbe probe;
    for (const auto& c : cases) {
        const PlainHttpAnswer got = probe.PlainGet(c.address, c.port, "www.example.com", "/old?x=1", 1000);
        EXPECT_EQ(got.answered, c.answer.answered) << c.what;
        EXPECT_EQ(got.error, c.answer.error) << c.what;
        EXPECT_EQ(got.status, c.answer.status) << c.what;
        EXPECT_EQ(got.location, c.answer.location) << c.what;
    }
    EXPECT_EQ(web.Request(), "GET /old?x=1 HTTP/1.1\r\nHost: www.example.com\r\nConnection: close\r\n\r\n");
}

// With a waiting function (the window's message pump), the probe runs on a thread of its own: the
// caller's messages are answered throughout, and a caller that stops waiting is not held.
TEST(Win32TlsProbe, TheCallerPumpsWhileItWaitsAndMayGiveUp) {
    Listener silent;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, nullptr);
    for (const int giveUpAfter : {0, 4}) {
        int calls = 0;
        Win32TlsProbe probe([&] {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            ++calls;
            return giveUpAfter == 0 || calls < giveUpAfter;
        });
        const auto start = std::chrono::steady_clock::now();
        const TlsHandshake got = probe.Handshake("::1", silent.port, "www.example.com", 1000);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (giveUpAfter) {
            EXPECT_EQ(got.error, ERROR_CANCELLED);
            EXPECT_EQ(calls, giveUpAfter);
            EXPECT_LT(ms.count(), 900);
        } else {
            EXPECT_EQ(got.error, WSAETIMEDOUT);
            EXPECT_GT(calls, 5);  // the timer's messages, every 50 ms of the second it waited
            const PlainHttpAnswer answer = probe.PlainGet("::1", silent.port, "www.example.com", "/", 300);
            EXPECT_EQ(answer.error, WSAETIMEDOUT);
        }
    }
    KillTimer(nullptr, timer);
}

}  // namespace
}  // namespace quillbay::win32::testing
