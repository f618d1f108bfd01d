#include "appcmd/syntax.h"

#include "common/text.h"

namespace sandbox::appcmd {

const wchar_t kMalformedIndexer[] =
    L"Malformed collection indexer; format is [@position,name='value',name2='value2',...].  The @position "
    L"specifier is optional, and be '@start', '@end', or '@N' where N is a numeric index into the collection.";

namespace {

// The first ':' outside an indexer separates a parameter's name from its value; binding
// information inside an indexer has colons of its own.
size_t NameValueSeparator(std::wstring_view text) {
    int depth = 0;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (depth > 0 && c == L'\'') quoted = !quoted;
        if (quoted) continue;
        if (c == L'[') ++depth;
        if (c == L']' && depth > 0) --depth;
        if (c == L':' && depth == 0) return i;
    }
    return std::wstring_view::npos;
}

}  // namespace

bool ParseCommand(const std::vector<std::wstring>& args, size_t first, Command& command, std::wstring& problem) {
    bool haveIdentifier = false;
    for (size_t i = first; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (arg.empty() || (arg[0] != L'/' && arg[0] != L'-')) {
            if (haveIdentifier) {
                problem = arg;
                return false;
            }
            command.identifier = arg;
            haveIdentifier = true;
            continue;
        }
        Parameter p;
        std::wstring_view body = std::wstring_view(arg).substr(1);
        if (body.size() > 1 && (body[0] == L'+' || body[0] == L'-')) {
            p.op = body[0];
            body.remove_prefix(1);
        }
        size_t colon = NameValueSeparator(body);
        p.name = std::wstring(body.substr(0, colon));
        if (colon != std::wstring_view::npos) {
            p.value = std::wstring(body.substr(colon + 1));
            p.hasValue = true;
        }
        if (p.op == L'=' && EqualsNoCase(p.name, L"text")) {
            command.options.text = p.value;
        } else if (p.op == L'=' && EqualsNoCase(p.name, L"xml")) {
            command.options.xml = true;
        } else if (p.op == L'=' && EqualsNoCase(p.name, L"section")) {
            command.options.section = p.value;
        } else if (p.op == L'=' && EqualsNoCase(p.name, L"commit")) {
            command.options.commit = p.value;
        } else if (p.op == L'=' && (EqualsNoCase(p.name, L"apphostconfig") || EqualsNoCase(p.name, L"config") ||
                                    EqualsNoCase(p.name, L"metadata") || EqualsNoCase(p.name, L"in"))) {
            // Accepted and without effect on the simulated host.
        } else {
            command.parameters.push_back(std::move(p));
        }
    }
    return true;
}

bool ParseIndexer(std::wstring_view text, Indexer& indexer, size_t& consumed) {
    indexer.attributes.clear();
    if (text.empty() || text[0] != L'[') return false;
    size_t i = 1;
    for (;;) {
        size_t equals = text.find(L'=', i);
        if (equals == std::wstring_view::npos) return false;
        std::wstring key = Trim(text.substr(i, equals - i));
        if (key.empty() || equals + 1 >= text.size() || text[equals + 1] != L'\'') return false;
        size_t close = text.find(L'\'', equals + 2);
        if (close == std::wstring_view::npos) return false;
        indexer.attributes.emplace_back(key, std::wstring(text.substr(equals + 2, close - equals - 2)));
        i = close + 1;
        if (i >= text.size()) return false;
        if (text[i] == L']') {
            consumed = i + 1;
            return true;
        }
        if (text[i] != L',') return false;
        ++i;
    }
}

bool IsFlagsValue(std::wstring_view value) {
    if (value.empty() || value.size() > 9) return false;
    for (wchar_t c : value)
        if (c < L'0' || c > L'9') return false;
    return true;
}

}  // namespace sandbox::appcmd
