#include "json_reader.h"

#include <cstdlib>

namespace quillbay::testing {

namespace {

using cli::json::Value;

struct Reader {
    const std::string& s;
    std::size_t i = 0;
    bool ok = true;

    void Blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\r' || s[i] == '\n' || s[i] == '\t')) ++i;
    }
    bool Take(char c) {
        Blanks();
        if (i < s.size() && s[i] == c) return ++i, true;
        return false;
    }
    bool Word(const char* w) {
        const std::string word(w);
        if (s.compare(i, word.size(), word) != 0) return ok = false;
        i += word.size();
        return true;
    }
    void Utf8(std::string& out, unsigned c) {
        if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
        else
            out += {static_cast<char>(0xF0 | c >> 18), static_cast<char>(0x80 | (c >> 12 & 0x3F)),
                    static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    unsigned Hex4() {
        if (i + 4 > s.size()) return ok = false, 0;
        const unsigned v = static_cast<unsigned>(std::strtoul(s.substr(i, 4).c_str(), nullptr, 16));
        i += 4;
        return v;
    }
    std::string String() {
        std::string out;
        if (!Take('"')) return ok = false, out;
        while (ok && i < s.size() && s[i] != '"') {
            const unsigned char c = static_cast<unsigned char>(s[i++]);
            if (c >= 0x80 || c < 0x20) ok = false;  // the writer escapes everything else
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            const char e = i < s.size() ? s[i++] : '?';
            if (e == 'n') out += '\n';
            else if (e == 'r') out += '\r';
            else if (e == 't') out += '\t';
            else if (e == '"' || e == '\\' || e == '/') out += e;
            else if (e == 'u') {
                unsigned c1 = Hex4();
                if (c1 >= 0xD800 && c1 < 0xDC00 && Word("\\u")) c1 = 0x10000 + ((c1 - 0xD800) << 10) + (Hex4() - 0xDC00);
                Utf8(out, c1);
            } else ok = false;
        }
        if (!Take('"')) ok = false;
        return out;
    }
    Value Parse() {
        Blanks();
        if (i >= s.size()) return ok = false, Value();
        const char c = s[i];
        if (c == '{') {
            ++i;
            Value object = Value::Object();
            if (Take('}')) return object;
            do {
                const std::string name = String();
                if (!Take(':')) ok = false;
                object.Set(name, Parse());
            } while (ok && Take(','));
            if (!Take('}')) ok = false;
            return object;
        }
        if (c == '[') {
            ++i;
            Value array = Value::Array();
            if (Take(']')) return array;
            do array.Add(Parse());
            while (ok && Take(','));
            if (!Take(']')) ok = false;
            return array;
        }
        if (c == '"') return Value(String());
        if (c == 't') return Word("true"), Value(true);
        if (c == 'f') return Word("false"), Value(false);
        if (c == 'n') return Word("null"), Value();
        std::size_t end = i;
        const std::int64_t n = std::strtoll(s.c_str() + i, nullptr, 10);
        while (end < s.size() && (s[end] == '-' || (s[end] >= '0' && s[end] <= '9'))) ++end;
        if (end == i) ok = false;
        i = end;
        return Value(n);
    }
};

}  // namespace

cli::json::Value ParseJson(const std::string& text, bool& ok) {
    Reader reader{text};
    Value value = reader.Parse();
    reader.Blanks();
    ok = reader.ok && reader.i == text.size();
    return ok ? value : Value();
}

}  // namespace quillbay::testing
