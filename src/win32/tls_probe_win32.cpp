#include "win32/tls_probe_win32.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "support/text.h"
#include "win32/system_library.h"
#include "win32/text_win32.h"

namespace quillbay::win32 {

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// Bounds on what a server may make the probe hold: one TLS record and the start of the next,
// and a response head.
constexpr size_t kHandshakeBytes = 64 * 1024;
constexpr size_t kHeadBytes = 16 * 1024;

int MillisecondsLeft(Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

class Socket {
public:
    Socket() = default;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() {
        if (handle != INVALID_SOCKET) WinsockApi::Get().closesocket(handle);
    }
    SOCKET handle = INVALID_SOCKET;
};

enum class Readiness { Connected, Readable, Writable };

// 0 once the socket is ready, or the Winsock code: the connection's own error when it failed,
// WSAETIMEDOUT when the deadline passes first.
int Wait(SOCKET socket, Readiness readiness, Deadline deadline) {
    const auto& api = WinsockApi::Get();
    // One socket a set, and select() leaves only the ready ones in a set: its count tells.
    fd_set ready{}, failed{};
    ready.fd_count = failed.fd_count = 1;
    ready.fd_array[0] = failed.fd_array[0] = socket;
    const int left = MillisecondsLeft(deadline);
    timeval wait{left / 1000, (left % 1000) * 1000};
    // A connection that fails is reported among the exceptions, not as writable.
    const int count = api.select(0, readiness == Readiness::Readable ? &ready : nullptr,
                                 readiness == Readiness::Readable ? nullptr : &ready,
                                 readiness == Readiness::Connected ? &failed : nullptr, &wait);
    if (count < 0) return api.WSAGetLastError();
    if (count == 0) return WSAETIMEDOUT;
    if (readiness != Readiness::Connected || ready.fd_count > 0) return 0;
    int error = 0, length = sizeof error;
    if (api.getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        return api.WSAGetLastError();
    return error ? error : WSAECONNREFUSED;
}

// A non-blocking TCP connection to the address literal (IPv4, or IPv6 with or without brackets):
// 0, or the Winsock code.
int Connect(Socket& socket, std::string address, int port, Deadline deadline) {
    const auto& api = WinsockApi::Get();
    if (api.startup) return api.startup;
    if (port < 1 || port > 65535) return WSAEINVAL;
    if (address.size() > 2 && address.front() == '[' && address.back() == ']')
        address = address.substr(1, address.size() - 2);
    ADDRINFOW hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (const int error = api.GetAddrInfoW(Utf8ToWide(address).c_str(), std::to_wstring(port).c_str(), &hints, &found))
        return error;
    const std::unique_ptr<ADDRINFOW, decltype(&::FreeAddrInfoW)> owned(found, api.FreeAddrInfoW);
    socket.handle = api.socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    u_long nonBlocking = 1;
    if (socket.handle == INVALID_SOCKET || api.ioctlsocket(socket.handle, FIONBIO, &nonBlocking) != 0)
        return api.WSAGetLastError();
    if (api.connect(socket.handle, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0) return 0;
    const int error = api.WSAGetLastError();
    return error == WSAEWOULDBLOCK ? Wait(socket.handle, Readiness::Connected, deadline) : error;
}

bool NoListener(int error) { return error == WSAECONNREFUSED || error == WSAENETUNREACH || error == WSAEHOSTUNREACH; }

int SendAll(SOCKET socket, const char* data, size_t size, Deadline deadline) {
    const auto& api = WinsockApi::Get();
    for (size_t sent = 0; sent < size;) {
        const int n = api.send(socket, data + sent, static_cast<int>(std::min<size_t>(size - sent, 1 << 20)), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        const int error = api.WSAGetLastError();
        if (error != WSAEWOULDBLOCK) return error;
        if (const int waited = Wait(socket, Readiness::Writable, deadline)) return waited;
    }
    return 0;
}

// Appends what the server sends next, keeping at most limit bytes: 0, or the Winsock code
// (WSAEDISCON once the server has closed, WSAEMSGSIZE when the limit is reached).
int Receive(SOCKET socket, std::string& into, size_t limit, Deadline deadline) {
    const auto& api = WinsockApi::Get();
    if (into.size() >= limit) return WSAEMSGSIZE;
    if (const int error = Wait(socket, Readiness::Readable, deadline)) return error;
    char buffer[16 * 1024];
    const int n = api.recv(socket, buffer, static_cast<int>(std::min(sizeof buffer, limit - into.size())), 0);
    if (n > 0) into.append(buffer, static_cast<size_t>(n));
    return n > 0 ? 0 : n == 0 ? WSAEDISCON : api.WSAGetLastError();
}

struct Credentials {
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    // Schannel client credentials that offer no certificate of this machine's and judge nothing
    // themselves: the chain is judged afterwards, as a browser would.
    Credentials() {
        wchar_t package[] = UNISP_NAME_W;
        constexpr DWORD flags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        SCH_CREDENTIALS current{};
        current.dwVersion = SCH_CREDENTIALS_VERSION;
        current.dwFlags = flags;
        status = sspi.AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current, nullptr,
                                                nullptr, &handle, nullptr);
        if (status == SEC_E_OK) return;
        // Releases before Windows 10 1809 know only the older structure, which offers no TLS 1.3.
        SCHANNEL_CRED older{};
        older.dwVersion = SCHANNEL_CRED_VERSION;
        older.dwFlags = flags;
        status = sspi.AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older, nullptr,
                                                nullptr, &handle, nullptr);
    }
    ~Credentials() {
        if (status == SEC_E_OK) sspi.FreeCredentialsHandle(&handle);
    }
    const SspiApi& sspi = SspiApi::Get();
    CredHandle handle{};
    SECURITY_STATUS status = SEC_E_INTERNAL_ERROR;
};

struct Context {
    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    ~Context() {
        if (made) SspiApi::Get().DeleteSecurityContext(&handle);
    }
    CtxtHandle handle{};
    bool made = false;
};

// One call of the token exchange: sends the token it gives, keeps in received what Schannel has
// not consumed. Returns its status, or the Winsock code when the token could not be sent.
std::int32_t Step(SOCKET socket, Credentials& credentials, Context& context, wchar_t* target, std::string& received,
                  Deadline deadline) {
    const auto& sspi = SspiApi::Get();
    constexpr ULONG wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                             ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                             ISC_REQ_USE_SUPPLIED_CREDS | ISC_REQ_MANUAL_CRED_VALIDATION;
    SecBuffer in[2] = {{static_cast<ULONG>(received.size()), SECBUFFER_TOKEN, received.data()},
                       {0, SECBUFFER_EMPTY, nullptr}};
    SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc input{SECBUFFER_VERSION, 2, in}, output{SECBUFFER_VERSION, 1, out};
    ULONG granted = 0;
    const SECURITY_STATUS status = sspi.InitializeSecurityContextW(
        &credentials.handle, context.made ? &context.handle : nullptr, target, wanted, 0, 0,
        context.made ? &input : nullptr, 0, context.made ? nullptr : &context.handle, &output, &granted, nullptr);
    if (!context.made) context.made = status >= 0;
    int sendError = 0;
    if (out[0].pvBuffer) {
        // Also an alert that tells the server why the client gives up.
        sendError = SendAll(socket, static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer, deadline);
        sspi.FreeContextBuffer(out[0].pvBuffer);
    }
    if (status < 0) return status;
    if (sendError) return sendError;
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) return status;  // the same input goes again
    if (in[1].BufferType == SECBUFFER_EXTRA)
        received.erase(0, received.size() - std::min<size_t>(in[1].cbBuffer, received.size()));
    else
        received.clear();
    return status;
}

// The client side of the handshake, every read within the deadline: SEC_E_OK, or the SSPI
// status or Winsock code it ended with.
std::int32_t Negotiate(SOCKET socket, Credentials& credentials, Context& context, const std::string& serverName,
                       Deadline deadline) {
    std::wstring target = Utf8ToWide(serverName);  // sent as SNI
    std::string received;
    while (MillisecondsLeft(deadline) > 0) {
        const std::int32_t status =
            Step(socket, credentials, context, target.empty() ? nullptr : target.data(), received, deadline);
        // The server asked for a client certificate: go on without one.
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;
        // Otherwise done, failed, or a Winsock code.
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) return status;
        if (status == SEC_E_INCOMPLETE_MESSAGE || received.empty())
            if (const int error = Receive(socket, received, kHandshakeBytes, deadline)) return error;
    }
    return WSAETIMEDOUT;
}

std::string Bytes(const BYTE* data, DWORD size) { return std::string(reinterpret_cast<const char*>(data), size); }

// The server's certificate, then the others it sent: each one's issuer next as far as a chain
// goes, the rest as the store lists them.
std::vector<std::string> SentCertificates(PCCERT_CONTEXT server) {
    const auto& crypt = Crypt32Api::Get();
    struct Sent {
        std::string der, subject, issuer;
    };
    std::vector<Sent> others;
    const std::string own = Bytes(server->pbCertEncoded, server->cbCertEncoded);
    for (PCCERT_CONTEXT c = nullptr;
         server->hCertStore && (c = crypt.CertEnumCertificatesInStore(server->hCertStore, c));) {
        Sent sent{Bytes(c->pbCertEncoded, c->cbCertEncoded),
                  Bytes(c->pCertInfo->Subject.pbData, c->pCertInfo->Subject.cbData),
                  Bytes(c->pCertInfo->Issuer.pbData, c->pCertInfo->Issuer.cbData)};
        if (sent.der != own) others.push_back(std::move(sent));
    }
    std::vector<std::string> chain{own};
    std::string issuer = Bytes(server->pCertInfo->Issuer.pbData, server->pCertInfo->Issuer.cbData);
    for (;;) {
        const auto next =
            std::find_if(others.begin(), others.end(), [&](const Sent& s) { return s.subject == issuer; });
        if (next == others.end()) break;
        chain.push_back(next->der);
        issuer = next->issuer;
        others.erase(next);
    }
    for (const auto& sent : others) chain.push_back(sent.der);
    return chain;
}

// What the platform's SSL policy says of the chain for the server name: 0, or its error.
std::int32_t ChainError(PCCERT_CONTEXT server, const std::string& serverName) {
    const auto& crypt = Crypt32Api::Get();
    char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuthentication};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage = {1, usages};
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // Only what the machine holds: the probe keeps to its time-out and, elevated, fetches
    // nothing from addresses a server's certificate names. The certificates sent join in.
    if (!crypt.CertGetCertificateChain(nullptr, server, nullptr, server->hCertStore, &para,
                                       CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain))
        return HRESULT_FROM_WIN32(GetLastError());
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, decltype(&::CertFreeCertificateChain)> owned(
        chain, crypt.CertFreeCertificateChain);
    std::wstring name = Utf8ToWide(serverName);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.empty() ? nullptr : name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!crypt.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        return HRESULT_FROM_WIN32(GetLastError());
    // Wine's SSL policy passes a chain that stops short of any root; Windows' reports it.
    if (status.dwError == 0 && (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN)) return CERT_E_CHAINING;
    return static_cast<std::int32_t>(status.dwError);
}

TlsHandshake NotCompleted(HandshakeResult result, std::int32_t error) {
    return {result, error, ErrorText(static_cast<DWORD>(error)), {}, 0};
}

TlsHandshake ShakeHands(const std::string& address, int port, const std::string& serverName, Deadline deadline) {
    Socket socket;
    if (const int error = Connect(socket, address, port, deadline))
        return NotCompleted(NoListener(error) ? HandshakeResult::NoListener : HandshakeResult::Failed, error);
    Credentials credentials;
    if (credentials.status != SEC_E_OK) return NotCompleted(HandshakeResult::Failed, credentials.status);
    Context context;
    if (const std::int32_t status = Negotiate(socket.handle, credentials, context, serverName, deadline))
        return NotCompleted(HandshakeResult::Failed, status);
    PCCERT_CONTEXT server = nullptr;
    const SECURITY_STATUS status =
        SspiApi::Get().QueryContextAttributesW(&context.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server);
    if (status != SEC_E_OK || !server)
        return NotCompleted(HandshakeResult::Failed, status ? status : SEC_E_CERT_UNKNOWN);
    const std::unique_ptr<const CERT_CONTEXT, decltype(&::CertFreeCertificateContext)> owned(
        server, Crypt32Api::Get().CertFreeCertificateContext);
    return {HandshakeResult::Completed, 0, "", SentCertificates(server), ChainError(server, serverName)};
}

// The status and Location of a response head; anything else answers nothing.
PlainHttpAnswer ReadHead(const std::string& head) {
    PlainHttpAnswer answer{false, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0, ""};
    std::vector<std::string> lines = Split(head.substr(0, head.find("\r\n\r\n")), "\n");
    for (auto& line : lines)
        if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string& first = lines.front();  // "HTTP/1.1 301 Moved Permanently"
    const size_t code = first.find(' ') + 1;
    if (first.rfind("HTTP/", 0) != 0 || code == 0 || first.size() < code + 3 ||
        (first.size() > code + 3 && first[code + 3] != ' ') ||
        !std::all_of(first.begin() + code, first.begin() + code + 3, [](char c) { return c >= '0' && c <= '9'; }))
        return answer;
    answer = {true, 0, std::stoi(first.substr(code, 3)), ""};
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon != std::string::npos && EqualsIgnoreCase(lines[i].substr(0, colon), "Location")) {
            answer.location = TrimBlanks(lines[i].substr(colon + 1));
            break;
        }
    }
    return answer;
}

PlainHttpAnswer AskPlainly(const std::string& address, int port, const std::string& host, const std::string& path,
                           Deadline deadline) {
    if ((host + path).find_first_of("\r\n") != std::string::npos) return {false, ERROR_INVALID_PARAMETER, 0, ""};
    Socket socket;
    if (const int error = Connect(socket, address, port, deadline)) return {false, error, 0, ""};
    const std::string request =
        "GET " + (path.empty() ? "/" : path) + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
    if (const int error = SendAll(socket.handle, request.data(), request.size(), deadline))
        return {false, error, 0, ""};
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        const int error = Receive(socket.handle, head, kHeadBytes, deadline);
        if (error == WSAEDISCON || error == WSAEMSGSIZE) break;  // what came is all there is
        if (error) return {false, error, 0, ""};
    }
    return ReadHead(head);
}


// What a probe's thread and the caller share: an abandoned probe finishes on its own, within its
// time-out, and frees this with its last reference.
template <class Result>
struct PendingProbe {
    PendingProbe() : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~PendingProbe() {
        if (done) CloseHandle(done);
    }
    HANDLE done;
    Result result{};
};

}  // namespace

Win32TlsProbe::Win32TlsProbe(std::function<bool()> whileWaiting) : whileWaiting_(std::move(whileWaiting)) {}

template <class Result>
Result Win32TlsProbe::Await(std::function<Result()> probe, Result cancelled) {
    if (!whileWaiting_) return probe();
    if (!whileWaiting_()) return cancelled;
    auto pending = std::make_shared<PendingProbe<Result>>();
    if (!pending->done) return probe();
    std::thread([pending, probe = std::move(probe)] {
        pending->result = probe();
        SetEvent(pending->done);
    }).detach();
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &pending->done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0) return std::move(pending->result);
        if (woke == WAIT_FAILED || !whileWaiting_()) return cancelled;
    }
}

TlsHandshake Win32TlsProbe::Handshake(const std::string& address, int port, const std::string& serverName,
                                      int timeoutMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    return Await<TlsHandshake>(
        [=]() -> TlsHandshake {
            try {
                return ShakeHands(address, port, serverName, deadline);
            } catch (const Failure& failure) {  // a system library that would not load
                return {HandshakeResult::Failed, failure.number(), failure.description(), {}, 0};
            } catch (...) {  // nothing may escape a thread
                return {HandshakeResult::Failed, ERROR_OUTOFMEMORY, "", {}, 0};
            }
        },
        {HandshakeResult::Failed, ERROR_CANCELLED, "", {}, 0});
}

PlainHttpAnswer Win32TlsProbe::PlainGet(const std::string& address, int port, const std::string& host,
                                        const std::string& path, int timeoutMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    return Await<PlainHttpAnswer>(
        [=]() -> PlainHttpAnswer {
            try {
                return AskPlainly(address, port, host, path, deadline);
            } catch (const Failure& failure) {
                return {false, failure.number(), 0, ""};
            } catch (...) {
                return {false, ERROR_OUTOFMEMORY, 0, ""};
            }
        },
        {false, ERROR_CANCELLED, 0, ""});
}

}  // namespace quillbay::win32
