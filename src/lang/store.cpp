#include "lang/store.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <utility>

namespace quillbay::lang {
namespace {

// The language names below must reach the program as UTF-8 bytes (MSVC: compile with /utf-8).
static_assert(sizeof("中") == 4 && "中"[0] == '\xE4', "UTF-8 execution character set required");

constexpr char AsciiLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Keys are ASCII: folding A-Z to a-z is the whole case-insensitive rule. Bytes outside
// ASCII compare as they are. Transparent, so lookups by string_view allocate nothing.
struct AsciiCaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
            const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
            if (ca != cb) return ca < cb;
        }
        return a.size() < b.size();
    }
};

using Store = std::map<std::string, std::string, AsciiCaseInsensitiveLess>;

// Module-level state: the current language and the store, absent before the
// first load.
LanguageId g_currentLanguage = kEnglish;
std::unique_ptr<Store> g_store;

// Adding a key that is already present is an error; no table ever does so.
void AddEntry(Store& store, std::string_view key, std::string_view text) {
    const auto [it, inserted] = store.emplace(std::string(key), std::string(text));
    (void)it;
    if (!inserted) {
        throw std::logic_error("duplicate language string key: " + std::string(key));
    }
}

void AddTable(Store& store, const StringEntry* table) {
    for (std::size_t i = 0; i < kStringCount; ++i) {
        AddEntry(store, table[i].key, table[i].text);
    }
}

const StringEntry* TableFor(LanguageId id) noexcept {
    switch (id) {
        case kSimplifiedChinese:
            return kSimplifiedChineseStrings;
        case kTraditionalChinese:
            return kTraditionalChineseStrings;
        default:  // 0, and any other value, takes the English table
            return kEnglishStrings;
    }
}

}  // namespace

std::string GetLangString(std::string_view key) {
    if (!g_store) {
        std::string text = "Error: Language strings not loaded for key ";
        text += key;
        return text;
    }
    if (const auto it = g_store->find(key); it != g_store->end()) {
        return it->second;
    }
    std::string text = "[MISSING_TRANSLATION:";
    text += key;
    text += ']';
    return text;
}

std::string FormatLangString(std::string_view key, const std::vector<std::string>& values) {
    const std::string pattern = GetLangString(key);
    // One pass: a value that itself holds "{1}" (a site's name, say) is never read as a mark.
    std::string text;
    for (std::size_t at = 0; at < pattern.size();) {
        const std::size_t close = pattern[at] == '{' ? pattern.find('}', at) : std::string::npos;
        std::size_t index = 0;
        bool mark = close != std::string::npos && close > at + 1 && close - at <= 3;
        for (std::size_t i = at + 1; mark && i < close; ++i) {
            mark = pattern[i] >= '0' && pattern[i] <= '9';
            index = index * 10 + static_cast<std::size_t>(pattern[i] - '0');
        }
        if (mark && index >= 1 && index <= values.size()) {
            text += values[index - 1];
            at = close + 1;
        } else {
            text += pattern[at++];
        }
    }
    return text;
}

LanguageId GetCurrentLanguage() { return g_currentLanguage; }

void InitLanguageFromSystem(std::uint16_t userUILanguage) {
    if (userUILanguage == 1028) {         // 0x0404, Chinese (Taiwan)
        g_currentLanguage = kTraditionalChinese;
    } else if (userUILanguage == 2052) {  // 0x0804, Chinese (PRC)
        g_currentLanguage = kSimplifiedChinese;
    } else {                              // everything else, Hong Kong SAR and Singapore too
        g_currentLanguage = kEnglish;
    }
    LoadLanguageStrings();
}

void SetCurrentLanguage(LanguageId id) {
    g_currentLanguage = id;
    LoadLanguageStrings();
}

void LoadLanguageStrings() {
    // The old store is thrown away and a new one built whole, never patched.
    g_store.reset();
    auto store = std::make_unique<Store>();
    AddTable(*store, TableFor(g_currentLanguage));
    // The same in every language, each naming its language in that language's own script.
    AddEntry(*store, "mnuLanguageEnglish_Caption", "&English");
    AddEntry(*store, "mnuLanguageSimplifiedChinese_Caption", "简体中文");
    AddEntry(*store, "mnuLanguageTraditionalChinese_Caption", "繁體中文");
    g_store = std::move(store);
}

std::size_t StoreSize() { return g_store ? g_store->size() : 0; }

void ResetLanguageState() {
    g_store.reset();
    g_currentLanguage = kEnglish;
}

}  // namespace quillbay::lang
