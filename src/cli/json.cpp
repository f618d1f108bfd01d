#include "cli/json.h"

#include <cstdio>

namespace quillbay::cli::json {

namespace {

void Hex4(std::string& out, unsigned unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", unit & 0xFFFF);
    out += buffer;
}

void WriteString(std::string& out, const std::string& s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            if (c == '"') out += "\\\"";
            else if (c == '\\') out += "\\\\";
            else if (c == '\n') out += "\\n";
            else if (c == '\r') out += "\\r";
            else if (c == '\t') out += "\\t";
            else if (c < 0x20 || c == 0x7F) Hex4(out, c);
            else out += static_cast<char>(c);
            continue;
        }
        const int extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
        const std::size_t width = static_cast<std::size_t>(extra);
        bool valid = extra > 0 && i + width < s.size();
        char32_t point = valid ? c & (0x3F >> extra) : 0;
        for (std::size_t k = 1; valid && k <= width; ++k) {
            const unsigned char next = static_cast<unsigned char>(s[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            point = 0xFFFD;
            i += 1;
        } else {
            i += width + 1;
        }
        if (point >= 0x10000) {
            point -= 0x10000;
            Hex4(out, 0xD800 + (point >> 10));
            Hex4(out, 0xDC00 + (point & 0x3FF));
        } else {
            Hex4(out, point);
        }
    }
    out += '"';
}

void Write(std::string& out, const Value& v) {
    switch (v.kind) {
        case Value::Kind::Null: out += "null"; break;
        case Value::Kind::Bool: out += v.boolean ? "true" : "false"; break;
        case Value::Kind::Number: out += std::to_string(v.number); break;
        case Value::Kind::String: WriteString(out, v.text); break;
        case Value::Kind::Array:
            out += '[';
            for (std::size_t i = 0; i < v.items.size(); ++i) {
                if (i) out += ',';
                Write(out, v.items[i]);
            }
            out += ']';
            break;
        case Value::Kind::Object:
            out += '{';
            for (std::size_t i = 0; i < v.members.size(); ++i) {
                if (i) out += ',';
                WriteString(out, v.members[i].first);
                out += ':';
                Write(out, v.members[i].second);
            }
            out += '}';
            break;
    }
}

}  // namespace

Value Value::Strings(const std::vector<std::string>& items) {
    Value array = Array();
    for (const std::string& item : items) array.Add(item);
    return array;
}

Value& Value::Add(Value item) {
    items.push_back(std::move(item));
    return items.back();
}

Value& Value::Set(const std::string& name, Value item) {
    for (auto& member : members)
        if (member.first == name) {
            member.second = std::move(item);
            return *this;
        }
    members.emplace_back(name, std::move(item));
    return *this;
}

const Value* Value::Find(const std::string& name) const {
    for (const auto& member : members)
        if (member.first == name) return &member.second;
    return nullptr;
}

std::string Serialize(const Value& value) {
    std::string out;
    Write(out, value);
    return out;
}

}  // namespace quillbay::cli::json
