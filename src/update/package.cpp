#include "update/package.h"

#include <cstdint>
#include <initializer_list>

namespace quillbay::update {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEnd = 0x06054b50;
constexpr std::uint32_t kZip64End = 0x06064b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::size_t kEndSize = 22, kLocatorSize = 20, kZip64EndSize = 56, kCentralSize = 46, kLocalSize = 30;

class Reader {
public:
    explicit Reader(const std::string& bytes) : b_(bytes) {}
    bool Has(std::uint64_t at, std::uint64_t length) const { return at <= b_.size() && length <= b_.size() - at; }
    std::uint64_t Get(std::uint64_t at, int width) const {
        std::uint64_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(b_[at + i]);
        return value;
    }
    std::size_t Size() const { return b_.size(); }

private:
    const std::string& b_;
};

struct Directory {
    std::uint64_t entries = 0, size = 0, offset = 0, end = 0;  // end: where the records that close it begin
};

std::optional<std::string> FindDirectory(const Reader& r, Directory& d) {
    if (r.Size() < kEndSize) return "too short for a zip";
    // The record ends the file, followed only by its comment of at most 65,535 bytes.
    std::uint64_t at = r.Size() - kEndSize;
    const std::uint64_t lowest = r.Size() > kEndSize + 0xFFFF ? r.Size() - kEndSize - 0xFFFF : 0;
    for (;; --at) {
        if (r.Get(at, 4) == kEnd && at + kEndSize + r.Get(at + 20, 2) == r.Size()) break;
        if (at == lowest) return "no end-of-central-directory record";
    }
    if (r.Get(at + 4, 2) != 0 || r.Get(at + 6, 2) != 0) return "spans several disks";
    d.entries = r.Get(at + 10, 2);
    if (r.Get(at + 8, 2) != d.entries) return "entry counts disagree";
    d.size = r.Get(at + 12, 4);
    d.offset = r.Get(at + 16, 4);
    d.end = at;
    if (d.entries != 0xFFFF && d.size != 0xFFFFFFFF && d.offset != 0xFFFFFFFF) return std::nullopt;

    if (at < kLocatorSize || r.Get(at - kLocatorSize, 4) != kZip64Locator) return "zip64 fields without a zip64 locator";
    const std::uint64_t record = r.Get(at - kLocatorSize + 8, 8);
    if (record >= at - kLocatorSize || !r.Has(record, kZip64EndSize) || r.Get(record, 4) != kZip64End)
        return "zip64 locator points to no zip64 record";
    if (r.Get(record + 16, 4) != 0 || r.Get(record + 20, 4) != 0) return "spans several disks";
    d.entries = r.Get(record + 32, 8);
    if (r.Get(record + 24, 8) != d.entries) return "entry counts disagree";
    d.size = r.Get(record + 40, 8);
    d.offset = r.Get(record + 48, 8);
    d.end = record;
    return std::nullopt;
}

// The zip64 extra field holds the 64-bit values of the full 32-bit fields, only those, in
// the order uncompressed size, compressed size, local header offset.
bool Widen(const Reader& r, std::uint64_t extra, std::uint64_t length, std::initializer_list<std::uint64_t*> fields) {
    bool needed = false;
    for (std::uint64_t* f : fields) needed = needed || *f == 0xFFFFFFFF;
    if (!needed) return true;
    for (std::uint64_t at = extra; at + 4 <= extra + length;) {
        const std::uint64_t id = r.Get(at, 2), size = r.Get(at + 2, 2);
        if (at + 4 + size > extra + length) return false;
        if (id == 1) {
            std::uint64_t field = at + 4;
            for (std::uint64_t* f : fields) {
                if (*f != 0xFFFFFFFF) continue;
                if (field + 8 > at + 4 + size) return false;
                *f = r.Get(field, 8);
                field += 8;
            }
            return true;
        }
        at += 4 + size;
    }
    return false;
}

// The script copies each entry to the program folder by its name: an absolute name, a drive
// or a ".." segment would write elsewhere.
bool EscapesFolder(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find_first_of("/\\", start);
        if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

std::string NameAt(const std::string& bytes, std::uint64_t at, std::uint64_t length) {
    return bytes.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(length));
}

}  // namespace

std::optional<std::string> ZipProblem(const std::string& bytes) {
    const Reader r(bytes);
    Directory d;
    if (auto problem = FindDirectory(r, d)) return problem;
    if (d.entries == 0) return "holds no entry";
    if (d.offset > d.end || d.size != d.end - d.offset) return "central directory does not end where its record begins";

    std::uint64_t at = d.offset;
    for (std::uint64_t i = 0; i < d.entries; ++i) {
        auto bad = [&](const std::string& what) { return "entry " + std::to_string(i + 1) + ": " + what; };
        if (!r.Has(at, kCentralSize) || at + kCentralSize > d.end || r.Get(at, 4) != kCentralHeader)
            return bad("no central header");
        const std::uint64_t flags = r.Get(at + 8, 2), method = r.Get(at + 10, 2);
        std::uint64_t compressed = r.Get(at + 20, 4), uncompressed = r.Get(at + 24, 4);
        const std::uint64_t nameLength = r.Get(at + 28, 2), extraLength = r.Get(at + 30, 2),
                            commentLength = r.Get(at + 32, 2);
        std::uint64_t local = r.Get(at + 42, 4);
        const std::uint64_t next = at + kCentralSize + nameLength + extraLength + commentLength;
        if (next > d.end) return bad("header runs past the directory");
        if (nameLength == 0) return bad("no name");
        if (EscapesFolder(NameAt(bytes, at + kCentralSize, nameLength))) return bad("a name outside the folder");
        if (flags & 1) return bad("encrypted");
        if (method != 0 && method != 8) return bad("compression method " + std::to_string(method));
        if (!Widen(r, at + kCentralSize + nameLength, extraLength, {&uncompressed, &compressed, &local}))
            return bad("bad zip64 field");
        if (!r.Has(local, kLocalSize) || local + kLocalSize > d.offset || r.Get(local, 4) != kLocalHeader)
            return bad("no local header");
        const std::uint64_t localName = r.Get(local + 26, 2);
        if (local + kLocalSize + localName > d.offset || EscapesFolder(NameAt(bytes, local + kLocalSize, localName)))
            return bad("a name outside the folder");
        const std::uint64_t data = local + kLocalSize + localName + r.Get(local + 28, 2);
        if (data > d.offset || compressed > d.offset - data) return bad("data runs past the directory");
        at = next;
    }
    return std::nullopt;
}

}  // namespace quillbay::update
