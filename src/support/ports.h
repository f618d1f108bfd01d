#pragma once
// The program's only ways to reach the machine. Win32 adapters live in src/win32,
// in-memory fakes in tests/unit. Every failure is thrown as quillbay::Failure.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/failure.h"
#include "support/xml.h"

namespace quillbay {

enum class WindowStyle { Hidden = 0, Normal = 1 };
enum class SpecialFolder { Windows = 0, System = 1, Temporary = 2 };

// What a program run hidden to its end wrote and how it ended.
struct Captured {
    std::int32_t exitCode = 0;
    std::string output;  // standard output and standard error as written, ANSI code page to UTF-8
};

// Process start and registry.
class Shell {
public:
    virtual ~Shell() = default;
    // Starts a command line whose first token is the full path of an .exe (quoted when it
    // holds blanks): nothing is looked up on the search path or in the current folder, and
    // a line whose program is not such a path is refused. With wait, returns the process's
    // exit code; without, returns 0 once it has started. A line that cannot be started throws.
    virtual std::int32_t Run(const std::string& commandLine, WindowStyle style, bool wait) = 0;
    // Runs the command line as Run does, hidden, waits for it and returns its exit code with
    // everything it wrote to standard output and standard error.
    virtual Captured RunAndCapture(const std::string& commandLine) = 0;
    // The same for a tool that changes the machine: what it wrote is kept so that a failure's
    // record can carry the tool's own words. Every wait is bounded by the program's time-out
    // (ToolTimeoutSeconds): a tool still running then is ended and Failure(kErrorTimeout) thrown.
    virtual Captured RunTool(const std::string& commandLine) = 0;
    // Reads a value given as a full path "HKLM\...\Name". Missing key or value throws.
    // REG_DWORD values come back as decimal text.
    virtual std::string RegRead(const std::string& valuePath) = 0;
    // Whether a key given as a full path "HKLM\...\Key" exists.
    virtual bool RegKeyExists(const std::string& keyPath) = 0;
    // Whether a value given as RegRead takes it exists, whatever its type.
    virtual bool RegValueExists(const std::string& valuePath) = 0;
};

// Who may get at a file or folder besides Administrators, SYSTEM and its owner.
struct PathAccess {
    bool reparsePoint = false;    // a junction, symbolic link or mount point stands in its place
    bool othersMayWrite = false;  // change it, add to it, delete it or change its rights
    bool othersMayRead = false;
};

struct FileEntry {
    std::string path;  // full path
    std::string name;  // name with extension
};

// Files and folders. Text files are in the system ANSI code page on disk and UTF-8 here.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool FileExists(const std::string& path) = 0;
    virtual bool FolderExists(const std::string& path) = 0;
    virtual void CreateFolder(const std::string& path) = 0;
    // Creates the folder (never an existing one: that throws) with a protected DACL that lets
    // only Administrators and SYSTEM in, inherited by what is made in it.
    virtual void CreateAdminOnlyFolder(const std::string& path) = 0;
    // Files directly in the folder (not subfolders), in the file system's order.
    virtual std::vector<FileEntry> ListFiles(const std::string& folder) = 0;
    // No trailing backslash, except for a drive root.
    virtual std::string GetSpecialFolder(SpecialFolder which) = 0;
    // A fresh name (no folder) that is unique in the temporary folder.
    virtual std::string GetTempName() = 0;
    // Whole file as text (ANSI code page converted to UTF-8). Missing file throws.
    virtual std::string ReadAllText(const std::string& path) = 0;
    // Raw bytes of a file. Missing file throws.
    virtual std::string ReadBytes(const std::string& path) = 0;
    // Appends the text (converted to the ANSI code page), creating the file if needed.
    virtual void AppendText(const std::string& path, const std::string& text) = 0;
    // Creates or empties the file and writes the text (ANSI code page).
    virtual void WriteText(const std::string& path, const std::string& text) = 0;
    // Creates or empties the file and writes the bytes as they are.
    virtual void WriteBytes(const std::string& path, const std::string& bytes) = 0;
    // Creates the file and writes the bytes as they are; a file already there throws.
    virtual void WriteNewBytes(const std::string& path, const std::string& bytes) = 0;
    virtual void Copy(const std::string& from, const std::string& to, bool overwrite) = 0;
    // Deletes the file, also when it is read-only.
    virtual void Delete(const std::string& path) = 0;
    // What its attributes and DACL allow. A missing path throws.
    virtual PathAccess Access(const std::string& path) = 0;
    // Gives the folder a protected DACL for Administrators and SYSTEM, inherited by everything
    // in it, whose own entries are dropped.
    virtual void RestrictToAdministrators(const std::string& folder) = 0;
};

struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
    // The moment as the user's regional settings write it: short date, a blank, long time.
    virtual std::string TimestampText() = 0;
    // Seconds since 1970-01-01 00:00 UTC, the scale of certificate validity below.
    virtual std::int64_t UtcNow() = 0;
};

// The process and its executable.
class Host {
public:
    virtual ~Host() = default;
    // Folder of the executable as the platform reports it (no trailing backslash, except
    // for a drive root).
    virtual std::string AppFolder() = 0;
    // Full path of the executable, as the platform reports the running module's file.
    virtual std::string ExePath() = 0;
    virtual std::uint16_t UserUILanguage() = 0;
    // The product version text of a file's version record; empty when it has none.
    virtual std::string FileProductVersion(const std::string& path) = 0;
    // The executable's own version record as major.minor.build.revision.
    virtual std::vector<int> OwnVersion() = 0;
    // Ends the process at once, without closing the window in the ordinary way.
    virtual void EndProcess() = 0;
    // Whether the process runs with administrator rights (an elevated token).
    virtual bool IsElevated() = 0;
    // A choice kept for the user who runs the program, across runs; empty optional when none
    // was kept or it cannot be read.
    virtual std::optional<std::string> UserSetting(const std::string& name) = 0;
    // Keeps it; a failure throws.
    virtual void SetUserSetting(const std::string& name, const std::string& value) = 0;
};

// Milliseconds; 0 leaves the platform's default.
struct HttpTimeouts {
    int resolve = 0, connect = 0, send = 0, receive = 0;
};
struct HttpResponse {
    int status = 0;
    std::string body;  // bytes as received
};
class HttpClient {
public:
    virtual ~HttpClient() = default;
    // A GET of an http or https URL, redirects followed (never from https to http), the
    // server's certificate checked. Whatever status comes back is returned; a request that
    // gets no answer (name, connection, time-out, TLS, abandoned) throws Failure with the
    // platform's code.
    virtual HttpResponse Get(const std::string& url, const HttpTimeouts& timeouts) = 0;
};

// The platform's own cryptography, for what the program must authenticate before it trusts it.
class SignatureVerifier {
public:
    virtual ~SignatureVerifier() = default;
    // Whether the signature (r then s, 32 big-endian bytes each) is a valid ECDSA signature
    // over the SHA-256 of the data by the P-256 key given as its uncompressed point (0x04, X,
    // Y). Throws Failure when the platform cannot check such a signature at all.
    virtual bool VerifyP256(const std::string& point, const std::string& data, const std::string& signature) = 0;
};

// What a TLS client saw of a server.
enum class HandshakeResult { Completed, NoListener, Failed };
struct TlsHandshake {
    HandshakeResult result = HandshakeResult::Failed;
    std::int32_t error = 0;          // the platform's code when not completed
    std::string message;             // its text
    std::vector<std::string> chain;  // the DER certificates the server sent, its own first
    // 0 when the chain reaches a root the machine trusts and the certificate is valid now for
    // the server name; otherwise the platform's code (CERT_E_UNTRUSTEDROOT, CERT_E_CN_NO_MATCH, ...).
    std::int32_t chainError = 0;
};
// A plain HTTP answer, as it came: redirects are not followed.
struct PlainHttpAnswer {
    bool answered = false;
    std::int32_t error = 0;  // the platform's code when nothing answered
    int status = 0;
    std::string location;    // the Location header, "" when none
};
// Sees what a browser gets, through the platform's own TLS.
class TlsProbe {
public:
    virtual ~TlsProbe() = default;
    // Connects to the address (an IPv4 or IPv6 literal) and port, completes a TLS handshake
    // with the server name as SNI, and returns what the server sent; all within the time-out.
    virtual TlsHandshake Handshake(const std::string& address, int port, const std::string& serverName,
                                   int timeoutMilliseconds) = 0;
    // One HTTP/1.1 GET of the path over plain TCP with the Host header given.
    virtual PlainHttpAnswer PlainGet(const std::string& address, int port, const std::string& host,
                                     const std::string& path, int timeoutMilliseconds) = 0;
};

// The Application event log, under the program's own source.
enum class EventKind { Information, Warning, Error };
class EventLog {
public:
    virtual ~EventLog() = default;
    // Writes one record: its ID, its kind and the whole sentence it shows. A log that cannot
    // be written throws Failure.
    virtual void Report(EventKind kind, int id, const std::string& text) = 0;
};

// A real XML reader: the work never parses XML by hand.
class XmlReader {
public:
    virtual ~XmlReader() = default;
    // The document's root element and everything below it. The bytes are in the encoding the
    // document declares or its byte-order mark shows (UTF-8 when neither); a document type
    // declaration is refused. A document that is not well-formed throws Failure naming the line
    // and column.
    virtual XmlElement Parse(const std::string& bytes) = 0;
};

// What a pre-flight check reads of a certificate.
struct CertificateDetails {
    std::string subject;      // the names as the platform writes them: "CN=www.example.com, O=..."
    std::string issuer;
    std::string subjectName;  // the encoded names, compared byte for byte to link a chain
    std::string issuerName;
    std::vector<std::string> dnsNames;  // subject alternative names of type DNS, as encoded
    std::int64_t notBefore = 0;         // seconds since 1970-01-01 00:00 UTC
    std::int64_t notAfter = 0;
};

// Opens PKCS #12 data; lists certificates with a private key flag, SHA-1 and details.
struct PfxCertificate {
    bool hasPrivateKey = false;
    std::string sha1;  // 20 raw bytes
    CertificateDetails details = {};
};
class Pkcs12 {
public:
    virtual ~Pkcs12() = default;
    // Throws Failure when the data is not a PFX or the password is wrong.
    virtual std::vector<PfxCertificate> Open(const std::string& bytes, const std::string& password) = 0;
    // The certificates of one DER certificate or of a DER PKCS #7 bundle (none with a key).
    // Throws Failure when the data is neither.
    virtual std::vector<PfxCertificate> DecodeCertificates(const std::string& der) = 0;
    // Whether the machine's Trusted Root Certification Authorities store holds a certificate
    // with this encoded subject name. A store that cannot be opened throws Failure.
    virtual bool InTrustedRoots(const std::string& subjectName) = 0;
    // The certificates of the machine's Personal store, read in place; hasPrivateKey: its key
    // is there and is the partner of its public key. A store that cannot be opened throws Failure.
    virtual std::vector<PfxCertificate> PersonalCertificates() = 0;
};

}  // namespace quillbay
