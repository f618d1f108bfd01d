#pragma once
// The JSON documents of --json: built as a tree, written as one line of ASCII (everything else
// escaped as \uXXXX) so that a reader gets the same text whatever its console code page.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quillbay::cli::json {

class Value {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : kind(Kind::Bool), boolean(b) {}
    Value(int n) : kind(Kind::Number), number(n) {}
    Value(std::int64_t n) : kind(Kind::Number), number(n) {}
    Value(std::string s) : kind(Kind::String), text(std::move(s)) {}
    Value(const char* s) : kind(Kind::String), text(s) {}
    static Value Array() { return Value(Kind::Array); }
    static Value Object() { return Value(Kind::Object); }
    static Value Strings(const std::vector<std::string>& items);

    // Appends to an array; returns the element added.
    Value& Add(Value item);
    // Sets a member of an object (replacing one of the same name, keeping the order); returns *this.
    Value& Set(const std::string& name, Value item);
    // The member of that name, or nullptr.
    const Value* Find(const std::string& name) const;

    Kind kind = Kind::Null;
    bool boolean = false;
    std::int64_t number = 0;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;

private:
    explicit Value(Kind k) : kind(k) {}
};

// One line, no blanks between tokens. Text is read as UTF-8; a byte that is not UTF-8
// becomes U+FFFD.
std::string Serialize(const Value& value);

}  // namespace quillbay::cli::json
