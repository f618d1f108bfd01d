#pragma once
// The current language and the key-to-text store. Module-level state: one language at a
// time, the store rebuilt whole on every load. Keys compare ASCII case-insensitively.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbay::lang {

using LanguageId = int;
inline constexpr LanguageId kEnglish = 0;
inline constexpr LanguageId kSimplifiedChinese = 1;
inline constexpr LanguageId kTraditionalChinese = 2;

struct StringEntry {
    std::string_view key;
    std::string_view text;
};

// Table layout: the first kBaseKeyCount keys are the standard key list in its order; the
// kExtraKeyCount keys after them serve the import's outcome report, deployment and the console
// program. Each table holds kStringCount == kBaseKeyCount + kExtraKeyCount entries.
inline constexpr std::size_t kBaseKeyCount = 119;
inline constexpr std::size_t kExtraKeyCount = 198;

// The three tables: the same keys in the same order.
extern const StringEntry kEnglishStrings[];
extern const StringEntry kSimplifiedChineseStrings[];
extern const StringEntry kTraditionalChineseStrings[];
extern const std::size_t kStringCount;

std::string GetLangString(std::string_view key);
// The text of a key with "{1}", "{2}", ... replaced by the values.
std::string FormatLangString(std::string_view key, const std::vector<std::string>& values);
LanguageId GetCurrentLanguage();
// 1028 -> Traditional Chinese, 2052 -> Simplified Chinese, anything else English; then loads.
void InitLanguageFromSystem(std::uint16_t userUILanguage);
// Sets the current language and reloads the store (the caller re-captions the window).
void SetCurrentLanguage(LanguageId id);
void LoadLanguageStrings();
// Number of entries in the store (0 before the first load).
std::size_t StoreSize();
// Back to the state before start-up: language 0, no store. For tests.
void ResetLanguageState();

}  // namespace quillbay::lang
