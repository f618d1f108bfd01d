// How appcmd reads its arguments: the verb and object, one identifier, then parameters that
// begin with "/" or "-" ("/name:value", "/+collection.[key='value']", "/-collection.[...]"),
// and the collection indexers inside them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sandbox::appcmd {

struct Parameter {
    wchar_t op = L'=';  // '=' set (or filter), '+' add to a collection, '-' remove from one
    std::wstring name;  // "site.name", "bindings.[protocol='https',...]", "[name='x'].action.url"
    std::wstring value;
    bool hasValue = false;
};

struct Options {
    std::optional<std::wstring> text;  // /text or /text:<attribute>
    bool xml = false;
    std::wstring section;  // -section:<path> of CONFIG commands
    std::wstring commit;
};

struct Command {
    std::wstring identifier;
    std::vector<Parameter> parameters;  // object parameters, general ones taken out into options
    Options options;
};

// Parses args[first...]; false with the offending argument when a second identifier appears.
bool ParseCommand(const std::vector<std::wstring>& args, size_t first, Command& command, std::wstring& problem);

struct Indexer {
    std::vector<std::pair<std::wstring, std::wstring>> attributes;  // in the order written
};

// Parses "[key='value',key2='value2']" at the start of text; consumed is its length.
bool ParseIndexer(std::wstring_view text, Indexer& indexer, size_t& consumed);

extern const wchar_t kMalformedIndexer[];

// A flags attribute value: a decimal number (sslFlags="1").
bool IsFlagsValue(std::wstring_view value);

}  // namespace sandbox::appcmd
